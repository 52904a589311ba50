#include "plans/plan_file.h"

#include <fstream>

#include "files/bytestream.h"
#include "files/fileio.h"
#include "files/skipfile.h"
#include "platform/ui.h"

namespace clx {

namespace fs = std::filesystem;

namespace {

void Note(PlanReadReport& report, SectionResult r, const SectionStream& s, std::string_view what) {
    switch (r) {
    case SectionResult::Loaded:
    case SectionResult::Written: return;
    case SectionResult::End: report.problems.push_back(std::string(what) + ": missing (the file ends)"); return;
    case SectionResult::OtherId: report.problems.push_back(std::string(what) + ": another section in its place"); return;
    case SectionResult::Empty: report.problems.push_back(std::string(what) + ": empty"); return;
    case SectionResult::Damaged: report.problems.push_back(s.LastError().empty() ? std::string(what) + ": damaged" : s.LastError()); return;
    }
}

std::string Unquote(std::string s) {
    while (!s.empty() && s.back() == '"') s.pop_back();
    size_t b = 0;
    while (b < s.size() && s[b] == '"') ++b;
    return s.substr(b);
}

}  // namespace

std::vector<uint8_t> PlanFileImage(TPln& e) {
    e.RebuildMenuTable();
    SectionStream menu;
    menu.StreamSection(e.Menu(), kPlanMenuSection, "Menu");
    SectionStream packed;
    packed.StreamSection(e.HeaderBlock(), kPlanHeaderSection, "Header");
    packed.StreamSection(e.MasterPlans(), kPlanMastersSection, "Add Dates");
    packed.StreamSection(e.MasterSteps(), kPlanStepsSection, "Rcr Notes");
    packed.StreamSection(e.MasterKeyDates(), kPlanKeyDatesSection, "Date Formats");
    packed.StreamSection(e.MasterFields(), kPlanFieldsSection, "Fields");
    std::vector<uint8_t> body = packed.TakeImage();
    PackStream(body, kPackNormal, PackDirection::Pack);
    std::vector<uint8_t> image = menu.TakeImage();
    image.insert(image.end(), body.begin(), body.end());
    return image;
}

PlanReadReport ReadPlanFileImage(TPln& e, std::vector<uint8_t> image) {
    PlanReadReport report;
    SectionStream stream(std::move(image));
    Note(report, stream.StreamSection(e.Menu(), kPlanMenuSection, "Menu"), stream, "Menu");
    const std::vector<uint8_t>& all = stream.Image();
    std::vector<uint8_t> body(all.begin() + static_cast<std::ptrdiff_t>(std::min(stream.Pos(), all.size())),
                              all.end());
    PackStream(body, kPackNormal, PackDirection::Unpack);
    SectionStream packed(std::move(body));
    Note(report, packed.StreamSection(e.HeaderBlock(), kPlanHeaderSection, "Header"), packed, "Header");
    Note(report, packed.StreamSection(e.MasterPlans(), kPlanMastersSection, "Add Dates"), packed, "Add Dates");
    Note(report, packed.StreamSection(e.MasterSteps(), kPlanStepsSection, "Rcr Notes"), packed, "Rcr Notes");
    Note(report, packed.StreamSection(e.MasterKeyDates(), kPlanKeyDatesSection, "Date Formats"), packed,
         "Date Formats");
    Note(report, packed.StreamSection(e.MasterFields(), kPlanFieldsSection, "Fields"), packed, "Fields");
    if (!packed.AtEnd()) report.problems.push_back("data after the last section");
    return report;
}

void WritePlanFile(TPln& e, const fs::path& path) {
    e.PostAll();
    e.SetFileName(path.string());
    const std::vector<uint8_t> image = PlanFileImage(e);
    WriteFileAtomic(path, image);
}

bool SavePlanFile(TPln& e, UiServices* ui, const std::string& initialFolder, bool ask) {
    BusyCursor busy(ui);
    e.PostAll();
    std::string name = e.FileName();
    if (ask) {
        if (!ui) return false;
        FileDialogOptions opt;
        opt.filter = std::string(kPlanSaveFilter);
        opt.defaultExt = std::string(kPlanFileExt);
        opt.initialDir = initialFolder;
        opt.fileName = name;
        std::optional<std::string> chosen = ui->SaveFileDialog(opt);
        if (!chosen) return false;
        name = *chosen;
    } else if (!IsRegularFile(name)) {
        return false;
    }
    WritePlanFile(e, name);
    return true;
}

PlanOpenResult OpenPlanFile(TPln& e, UiServices* ui, std::string_view name, const std::string& initialFolder,
                            bool ask, const SkipFileConfig* config) {
    BusyCursor busy(ui);
    PlanOpenResult result;
    result.chosen = std::string(name);
    std::string path = Unquote(config ? config->ExpandPathMacros(name) : std::string(name));
    if (ask) {
        if (!ui) return result;
        FileDialogOptions opt;
        opt.filter = std::string(kPlanOpenFilter);
        opt.defaultExt = std::string(kPlanFileExt);
        opt.initialDir = initialFolder;
        opt.fileName = path;
        std::optional<std::string> chosen = ui->OpenFileDialog(opt);
        if (!chosen) return result;
        path = *chosen;
    } else if (!IsRegularFile(path)) {
        return result;
    }
    result.chosen = path;
    e.Reset();
    e.SetFileName(path);
    std::vector<uint8_t> image = ReadFileBytes(path);
    result.report = ReadPlanFileImage(e, std::move(image));
    result.opened = true;
    e.NextStepUkey(true);
    e.NextKeyDateUkey(true);
    e.RefreshAll();
    return result;
}

int ReadPlanFileMenu(const fs::path& path, MemTable& menu) {
    try {
        if (!IsRegularFile(path)) return 0;
        // Only the first section is wanted: read its header and payload alone.
        std::ifstream in(path, std::ios::binary);
        std::vector<uint8_t> image(kSectionHeaderSize);
        if (!in.read(reinterpret_cast<char*>(image.data()), static_cast<std::streamsize>(image.size()))) return 0;
        ByteReader header(image);
        header.ReadI32();
        header.ReadI32();
        const int32_t size = header.ReadI32();
        if (size <= 0 || static_cast<uintmax_t>(size) > fs::file_size(path) - kSectionHeaderSize) return 0;
        image.resize(kSectionHeaderSize + static_cast<size_t>(size));
        if (!in.read(reinterpret_cast<char*>(image.data() + kSectionHeaderSize), size)) return 0;
        SectionStream stream(std::move(image));
        if (stream.StreamSection(menu, kPlanMenuSection, "Menu") != SectionResult::Loaded) return 0;
        return menu.RecordCount();
    } catch (...) {
        return 0;
    }
}

std::string PlanMenuCaption(std::string_view path) {
    std::string name = fs::path(std::string(path)).filename().string();
    const size_t dot = name.find('.');
    if (dot != std::string::npos) name.resize(dot);
    std::string out;
    for (char c : name) {
        out += c;
        if (c == '&') out += '&';
    }
    return out;
}

std::vector<PlanMenuItem> BuildPlanMenu(const std::vector<std::string>& folders) {
    std::vector<PlanMenuItem> menu;
    PlanMenuItem separator;
    separator.caption = "-";
    separator.separator = true;
    menu.push_back(separator);
    const std::vector<std::string> files = FindDataFiles(folders, kPlanFileExt);
    MemTable table;
    DefineMenuFields(table);
    for (const std::string& f : files) {
        PlanMenuItem item;
        item.caption = PlanMenuCaption(f);
        item.hint = f;
        table.EmptyTable();
        if (ReadPlanFileMenu(f, table) > 0) {
            const int ui = table.FieldIndex("Ukey"), ni = table.FieldIndex("Name");
            for (int i = 0; i < table.RecordCount(); ++i) {
                const auto& v = table.RowValues(i);
                PlanMenuItem plan;
                auto name = std::get_if<std::string>(&v[static_cast<size_t>(ni)]);
                auto ukey = std::get_if<int64_t>(&v[static_cast<size_t>(ui)]);
                plan.caption = name ? *name : std::string();
                plan.tag = ukey ? static_cast<int>(*ukey) : 0;
                plan.clickable = true;
                plan.planIcon = true;
                plan.hint = f;
                item.items.push_back(std::move(plan));
            }
        }
        menu.push_back(std::move(item));
    }
    if (!files.empty()) menu.push_back(separator);
    auto command = [](std::string caption, int tag) {
        PlanMenuItem c;
        c.caption = std::move(caption);
        c.tag = tag;
        c.clickable = true;
        return c;
    };
    menu.insert(menu.begin(), command("No Master Plan", kPlanMenuNone));
    if (!files.empty()) {
        menu.push_back(command("Find Other Master Plan File...", kPlanMenuFindOther));
        PlanMenuItem last = separator;
        last.tag = kPlanMenuNone;
        menu.push_back(last);
    }
    menu.push_back(command("Edit Master Plan File...", kPlanMenuEdit));
    menu.push_back(command("Create New Master Plan File...", kPlanMenuCreate));
    return menu;
}

}  // namespace clx
