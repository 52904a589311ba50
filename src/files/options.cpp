#include "files/options.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <system_error>

#include "files/fileio.h"
#include "files/tablestream.h"
#include "platform/ui.h"

namespace clx {
namespace fs = std::filesystem;

void OptionsHeader::WriteSignature() {
    signature[0] = static_cast<uint8_t>(kOptionsSignature.size());
    std::memcpy(signature + 1, kOptionsSignature.data(), kOptionsSignature.size());
}

const std::array<std::string_view, kDaysPerYearChoiceCount>& DaysPerYearNames() {
    static const std::array<std::string_view, kDaysPerYearChoiceCount> v = {
        "", "365.25 days/year", "366 days/year", "365 days/year", "360 days/year"};
    return v;
}

const std::array<std::string_view, kDateEntryFormatCount>& DateEntryFormatNames() {
    static const std::array<std::string_view, kDateEntryFormatCount> v = {
        "Use Control Panel Setting", "mm/dd/yyyy", "dd/mm/yyyy", "yyyy/mm/dd"};
    return v;
}

const std::array<std::string_view, 8>& FirstDayOfWeekNames() {
    static const std::array<std::string_view, 8> v = {
        "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday", "Locale Default"};
    return v;
}

namespace {

bool Blank(MemTable& t, const char* field) { return t.FieldByName(field).AsString().empty(); }

// Handlers are added to the ones already set, so a layout's own rules still run.
void Chain(TableEvent& slot, TableEvent extra) {
    if (!slot) {
        slot = std::move(extra);
        return;
    }
    slot = [first = std::move(slot), then = std::move(extra)](MemTable& t) {
        first(t);
        then(t);
    };
}

void ResortSorted(MemTable& t) {
    if (!t.SortField().empty()) ResortKeepingRow(t);
}

// The row number, unless a row already carries it as its key: then one past the highest key.
// Keys of loaded rows are kept as stored while row numbers start again at 1, so the plain row
// number could repeat a key that categories refer to.
int64_t UnusedKey(MemTable& t, const char* keyField) {
    const int64_t recNo = t.RecordNumber();
    const int k = t.FieldIndex(keyField);
    int64_t max = 0;
    bool taken = false;
    for (int i = 0; i < t.RecordCount(); ++i) {
        const Value& v = t.RowValues(i)[static_cast<size_t>(k)];
        if (const auto* n = std::get_if<int64_t>(&v)) {
            max = std::max(max, *n);
            taken = taken || *n == recNo;
        }
    }
    return taken ? max + 1 : recNo;
}

std::string StripQuotes(std::string s) {
    while (!s.empty() && s.back() == '"') s.pop_back();
    size_t i = 0;
    while (i < s.size() && s[i] == '"') ++i;
    return s.substr(i);
}

bool IsBlankLine(const std::string& s) {
    return std::all_of(s.begin(), s.end(), [](unsigned char c) { return c < 33; });
}

// The inflated image of an options file; throws FileError or StreamError.
std::vector<uint8_t> ReadOptionsImage(const fs::path& file) {
    std::vector<uint8_t> image = ReadFileBytes(file);
    try {
        PackStream(image, kOptionsPackLevel, PackDirection::Unpack);
    } catch (const StreamError& e) {
        throw StreamError(file.string() + ": not an options file (" + e.what() + ")");
    }
    return image;
}

std::vector<SectionResult> StreamOptionsCollecting(Options& o, SectionStream& s,
                                                   std::vector<std::string>* errors) {
    std::vector<SectionResult> r;
    auto note = [&](SectionResult res) {
        r.push_back(res);
        if (errors && res == SectionResult::Damaged) errors->push_back(s.LastError());
    };
    const auto& sec = kOptionsSections;
    note(s.StreamSection(o.header.Bytes(), sec[0].id, sec[0].label));
    note(s.StreamSection(o.taDaa, sec[1].id, sec[1].label));
    note(s.StreamSection(o.taAno, sec[2].id, sec[2].label));
    note(s.StreamSection(o.taFmt, sec[3].id, sec[3].label));
    note(s.StreamSection(o.taRpt, sec[4].id, sec[4].label));
    note(s.StreamSection(o.taWrd, sec[5].id, sec[5].label));
    SectionResult paths = s.StreamSection(o.paths, sec[6].id, sec[6].label);
    if (paths == SectionResult::Loaded)
        o.paths.erase(std::remove_if(o.paths.begin(), o.paths.end(), IsBlankLine), o.paths.end());
    note(paths);
    return r;
}

std::string UpperAscii(std::string_view s) {
    std::string u(s);
    for (char& c : u)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return u;
}

}  // namespace

// ---------------------------------------------------------------------------------------------

int32_t QuickAddSort(int64_t days, int64_t months, int64_t years) {
    long double total = static_cast<long double>(days) +
                        static_cast<long double>(months) * 365.25L / 12.0L +
                        static_cast<long double>(years) * 365.25L;
    long double whole = std::trunc(total);
    if (whole > std::numeric_limits<int32_t>::max() || whole < std::numeric_limits<int32_t>::min())
        throw TableError("the quick-add period is too long to be counted in days");
    return static_cast<int32_t>(whole);
}

void SetupQuickAddTable(MemTable& t) {
    t.AddField("Days", FieldType::Integer);
    t.AddField("Months", FieldType::Integer);
    t.AddField("Years", FieldType::Integer);
    t.AddField("MenuCaption", FieldType::String, 48);
    t.AddField("Sort", FieldType::Integer);
    t.SetSortField("Sort");
    t.handlers.beforePost = [](MemTable& m) {
        int32_t sort = QuickAddSort(m.FieldByName("Days").AsInteger(), m.FieldByName("Months").AsInteger(),
                                    m.FieldByName("Years").AsInteger());
        m.FieldByName("Sort").SetInteger(sort);
        if (Blank(m, "MenuCaption")) m.FieldByName("MenuCaption").SetString(std::to_string(sort) + " Days");
    };
    t.handlers.afterPost = ResortSorted;
}

void SetupNotesTable(MemTable& t) { t.AddField("Format", FieldType::String, 80); }

void SetupDateFormatTable(MemTable& t) {
    t.AddField("Format", FieldType::String, 48);
    t.AddField("Approx", FieldType::Boolean);
}

void SetupReportFormatTable(MemTable& t) {
    t.AddField("Menu", FieldType::String, 80);
    t.AddField("Ukey", FieldType::Integer);
    t.AddField("ImageIndex", FieldType::Integer);
    t.AddField("InternalName", FieldType::String, 80);
    t.AddField("Hide", FieldType::Boolean);
    t.AddField("Body", FieldType::Blob);
    t.AddField("FactoryBody", FieldType::Blob);
    t.AddField("AllowUserEdit", FieldType::Boolean);
    t.AddField("AllowUserSee", FieldType::Boolean);
    t.AddField("ForceDisclaimer", FieldType::Boolean);
    t.AddField("Comments", FieldType::Blob);
    t.AddField("ImageOnly", FieldType::Boolean);
    t.AddField("Landscape", FieldType::Boolean);
    t.AddField("Disabled", FieldType::Boolean);
    t.AddField("UseHeader", FieldType::Boolean);
    t.AddField("AppendBefore", FieldType::String, 32);
    t.AddField("AppendAfter", FieldType::String, 32);
    t.AddField("Sequence", FieldType::String, 80);
    t.AddField("Light", FieldType::Blob);
    t.SetSortField("Ukey");
    t.handlers.onNewRecord = [](MemTable& m) {
        for (const char* f : {"Hide", "UseHeader", "Disabled", "Landscape"}) m.FieldByName(f).SetBoolean(false);
        m.FieldByName("ImageIndex").SetInteger(4);
        for (const char* f : {"ForceDisclaimer", "AllowUserEdit", "AllowUserSee"}) m.FieldByName(f).SetBoolean(true);
        m.FieldByName("Sequence").SetString("-1;0;1");
    };
    t.handlers.afterPost = ResortSorted;
}

void SetupWordTable(MemTable& t) {
    t.AddField("Token", FieldType::String, 64);
    t.AddField("Menu", FieldType::String, 64);
    t.AddField("Value", FieldType::Memo);
    t.AddField("Sort", FieldType::Integer);
    t.AddField("BlankOk", FieldType::Boolean);
    t.AddField("xFmt", FieldType::Boolean);
    t.AddField("xInt", FieldType::Boolean);
    t.AddField("xOut", FieldType::Boolean);
    t.AddField("xRep", FieldType::Boolean);
    t.AddField("Hint", FieldType::Memo);
    t.AddField("Select", FieldType::Boolean);
    t.AddField("xVar", FieldType::Boolean);
    t.AddField("xFirstRun", FieldType::Boolean);
    t.AddField("AltValue", FieldType::Memo);
    t.AddField("AllowUserEdit", FieldType::Boolean);
    t.AddField("AllowUserSee", FieldType::Boolean);
    t.SetSortField("Token");
    t.handlers.onNewRecord = [](MemTable& m) {
        m.FieldByName("Sort").SetInteger(int64_t{m.RecordCount()} * 10 + 10);
        for (const char* f : {"xOut", "xFmt", "AllowUserEdit", "AllowUserSee"}) m.FieldByName(f).SetBoolean(true);
        for (const char* f : {"BlankOk", "xVar", "xFirstRun"}) m.FieldByName(f).SetBoolean(false);
    };
    t.handlers.beforePost = [](MemTable& m) {
        if (Blank(m, "Token")) {
            if (!Blank(m, "Menu")) m.FieldByName("Token").SetString(m.FieldByName("Menu").AsString());
        } else if (Blank(m, "Menu")) {
            m.FieldByName("Menu").SetString(m.FieldByName("Token").AsString());
        }
    };
    t.handlers.afterPost = ResortSorted;
}

// ---------------------------------------------------------------------------------------------

Options::Options() {
    SetupQuickAddTable(taDaa);
    SetupNotesTable(taAno);
    SetupDateFormatTable(taFmt);
    SetupReportFormatTable(taRpt);
    SetupWordTable(taWrd);
    Wire(taDaa, true);
    Wire(taAno, true);
    Wire(taFmt, true);
}

void Options::Wire(MemTable& t, bool confirmDelete) {
    if (confirmDelete) {
        Chain(t.handlers.beforeDelete, [this](MemTable&) {
            if (ui && !ui->Ask(kDeleteRecordQuestion)) throw TableAbort();
        });
    }
    auto changed = [this](MemTable& m) {
        ResortSorted(m);
        if (onModified) onModified();
    };
    // The layout's own after-post re-sort is folded into this one.
    t.handlers.afterPost = changed;
    Chain(t.handlers.afterDelete, changed);
}

std::optional<std::string> Options::FindWord(std::string_view key) const {
    const std::string wanted = UpperAscii(key);
    const int tokenField = taWrd.FieldIndex("Token");
    const int valueField = taWrd.FieldIndex("Value");
    for (int i = 0; i < taWrd.RecordCount(); ++i) {
        const auto& row = taWrd.RowValues(i);
        const auto* token = std::get_if<std::string>(&row[static_cast<size_t>(tokenField)]);
        if (token && *token == wanted) {
            const auto* value = std::get_if<std::string>(&row[static_cast<size_t>(valueField)]);
            return value ? *value : std::string();
        }
    }
    return std::nullopt;
}

std::optional<int> Options::DaysPerYearType() const {
    if (header.daysPerYearType >= kDaysPerYearChoiceCount) return std::nullopt;
    return header.daysPerYearType;
}

std::optional<int> Options::DateEntryFormat() const {
    if (header.dateEntryFormat >= kDateEntryFormatCount) return std::nullopt;
    return header.dateEntryFormat;
}

void Options::PostPending() {
    for (MemTable* t : {&taAno, &taRpt, &taWrd, &taFmt, &taDaa})
        if (t->State() == TableState::Edit || t->State() == TableState::Insert) t->Post();
}

std::vector<SectionResult> StreamOptions(Options& options, SectionStream& stream) {
    return StreamOptionsCollecting(options, stream, nullptr);
}

std::vector<uint8_t> OptionsImage(Options& options) {
    options.header.WriteSignature();
    SectionStream stream;
    StreamOptions(options, stream);
    std::vector<uint8_t> image = stream.TakeImage();
    PackStream(image, kOptionsPackLevel, PackDirection::Pack);
    return image;
}

OptionsLoadReport LoadOptions(Options& options, fs::path file, const fs::path& factoryFile,
                              UiServices* ui) {
    std::optional<BusyCursor> busy;
    if (ui) busy.emplace(*ui);
    OptionsLoadReport report;
    file = StripQuotes(file.string());
    options.header.Clear();

    auto fail = [&](std::string error) {
        report.error = std::move(error);
        report.file.clear();
        if (ui) ui->Error(report.error);
        return report;
    };

    fs::path chosen = file;
    if (!IsRegularFile(chosen)) {
        chosen = factoryFile;
        report.usedFactory = true;
    }
    if (!IsRegularFile(chosen)) return fail(std::string(kCouldNotLocateOptions) + "\n" + chosen.string());

    std::vector<uint8_t> image;
    try {
        image = ReadOptionsImage(chosen);
    } catch (const std::exception& e) {
        // A file that cannot be read at all gives way to the factory options, as a missing one does.
        if (report.usedFactory || !IsRegularFile(factoryFile)) return fail(e.what());
        chosen = factoryFile;
        report.usedFactory = true;
        try {
            image = ReadOptionsImage(chosen);
        } catch (const std::exception& e2) {
            return fail(e2.what());
        }
    }

    report.file = chosen;
    // The file replaces the rows, so an unposted edit has nothing left to go to.
    for (MemTable* t : {&options.taDaa, &options.taAno, &options.taFmt, &options.taRpt, &options.taWrd})
        if (t->State() != TableState::Browse) t->Cancel();
    SectionStream stream(std::move(image));
    report.sections = StreamOptionsCollecting(options, stream, &report.sectionErrors);

    // Options without date formats (an older or damaged file) take the factory's.
    const bool formatsLoaded = report.sections[3] == SectionResult::Loaded;
    if (!report.usedFactory && !formatsLoaded && options.taFmt.IsEmpty() && IsRegularFile(factoryFile)) {
        try {
            Options factory;
            SectionStream factoryStream(ReadOptionsImage(factoryFile));
            auto r = StreamOptions(factory, factoryStream);
            if (r[3] == SectionResult::Loaded && !factory.taFmt.IsEmpty()) {
                options.taFmt.EmptyTable();
                options.taFmt.CopyRowsFrom(factory.taFmt);
                options.taFmt.First();
                report.formatsFromFactory = true;
            }
        } catch (const std::exception&) {
            // The factory file is no help here; the formats stay empty.
        }
    }
    return report;
}

SaveOutcome SaveOptions(Options& options, const fs::path& target, UiServices* ui) {
    std::optional<BusyCursor> busy;
    if (ui) busy.emplace(*ui);
    options.PostPending();
    std::error_code ec;
    const fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    if (!fs::is_directory(folder, ec) || fs::is_empty(folder, ec)) {
        if (ui) ui->Information(target.string());
        return SaveOutcome::FolderMissing;
    }
    // Built before the backups move, so a failure here leaves every file as it was.
    std::vector<uint8_t> image = OptionsImage(options);
    WriteFileWithBackups(target, image, kOptionsBackupExtensions);
    return SaveOutcome::Written;
}

std::optional<OptionsLoadReport> RestoreDefaults(Options& options, const fs::path& factoryFile,
                                                 UiServices& ui) {
    if (!ui.Ask(kRestoreDefaultsQuestion)) return std::nullopt;
    return LoadOptions(options, factoryFile, factoryFile, &ui);
}

// ---------------------------------------------------------------------------------------------

void SetupLinkTable(MemTable& t) {
    t.AddField("Menu", FieldType::String, 255);
    t.AddField("PC", FieldType::SmallInt);
    t.AddField("SNB", FieldType::String, 20);
    t.AddField("NB", FieldType::Integer);
    t.AddField("Ukey", FieldType::Integer);
    t.AddField("Search", FieldType::String, 255);
    t.AddField("Hint", FieldType::Blob);
    t.AddField("UseHint", FieldType::Boolean);
    t.SetSortField("Menu", false, true);
    t.handlers.onNewRecord = [](MemTable& m) {
        m.FieldByName("Ukey").SetInteger(UnusedKey(m, "Ukey"));
        m.FieldByName("PC").SetInteger(0);
        m.FieldByName("NB").Clear();
        m.FieldByName("UseHint").SetBoolean(false);
    };
    t.handlers.afterPost = ResortSorted;
    t.handlers.afterDelete = ResortSorted;
}

void SetupLinkCategoryTable(MemTable& t) {
    t.AddField("Menu", FieldType::String, 255);
    t.AddField("Use", FieldType::Boolean);
    t.AddField("Ukey", FieldType::Integer);
    t.AddField("Filter", FieldType::Memo);
    t.SetSortField("Menu", false, true);
    t.handlers.onNewRecord = [](MemTable& m) {
        m.FieldByName("Ukey").SetInteger(UnusedKey(m, "Ukey"));
        m.FieldByName("Use").SetBoolean(true);
    };
    t.handlers.afterPost = ResortSorted;
    t.handlers.afterDelete = ResortSorted;
}

Links::Links() {
    SetupLinkTable(taAdl);
    SetupLinkCategoryTable(taAdc);
    for (MemTable* t : {&taAdl, &taAdc}) {
        auto changed = [this](MemTable&) {
            if (onChanged) onChanged();
        };
        Chain(t->handlers.afterPost, changed);
        Chain(t->handlers.afterDelete, changed);
    }
}

std::vector<SectionResult> StreamLinks(Links& links, SectionStream& stream) {
    return {stream.StreamSection(links.taAdl, kLinkEntries, "taAdl"),
            stream.StreamSection(links.taAdc, kLinkCategories, "taAdc")};
}

std::vector<uint8_t> LinksImage(Links& links) {
    SectionStream stream;
    StreamLinks(links, stream);
    return stream.TakeImage();
}

LinksLoadReport LoadLinks(Links& links, fs::path file, UiServices* ui) {
    std::optional<BusyCursor> busy;
    if (ui) busy.emplace(*ui);
    LinksLoadReport report;
    file = StripQuotes(file.string());
    std::vector<uint8_t> image;
    try {
        if (!IsRegularFile(file)) throw FileError(std::string(kCouldNotLocateOptions) + "\n" + file.string());
        image = ReadFileBytes(file);
    } catch (const FileError& e) {
        report.error = e.what();
        if (ui) ui->Error(report.error);
        return report;
    }
    for (MemTable* t : {&links.taAdl, &links.taAdc})
        if (t->State() != TableState::Browse) t->Cancel();
    SectionStream stream(std::move(image));
    report.sections = StreamLinks(links, stream);
    return report;
}

std::vector<int64_t> FilterKeys(std::string_view filter) {
    std::vector<int64_t> keys;
    size_t start = 0;
    while (start <= filter.size()) {
        size_t end = filter.find_first_of("\r\n", start);
        if (end == std::string_view::npos) end = filter.size();
        std::string_view line = filter.substr(start, end - start);
        while (!line.empty() && static_cast<unsigned char>(line.front()) < 33) line.remove_prefix(1);
        while (!line.empty() && static_cast<unsigned char>(line.back()) < 33) line.remove_suffix(1);
        int64_t n = 0;
        auto [p, ec] = std::from_chars(line.data(), line.data() + line.size(), n);
        if (!line.empty() && ec == std::errc() && p == line.data() + line.size()) keys.push_back(n);
        start = end + 1;
    }
    return keys;
}

}  // namespace clx
