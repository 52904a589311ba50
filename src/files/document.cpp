#include "files/document.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <limits>
#include <system_error>

#include "files/fileio.h"
#include "platform/text.h"

namespace clx {

namespace fs = std::filesystem;

namespace {

void Call(const std::function<void()>& f) {
    if (f) f();
}

// An empty text would be written as an empty section, and reading an empty section keeps
// what the text held before: an empty text is written as an empty RTF document instead.
constexpr std::string_view kEmptyRtf = "{\\rtf1\\ansi }";

// Section payloads carried as bytes through the rich-text kind, which passes them unchanged.
class TextCarrier : public RtfContent {
public:
    explicit TextCarrier(std::string& text) : text_(text) {}
    std::string SaveRtf() const override { return text_.empty() ? std::string(kEmptyRtf) : text_; }
    void LoadRtf(std::string_view rtf) override { text_.assign(rtf); }

private:
    std::string& text_;
};

class BytesCarrier : public RtfContent {
public:
    explicit BytesCarrier(std::vector<uint8_t>& bytes) : bytes_(bytes) {}
    std::string SaveRtf() const override { return std::string(bytes_.begin(), bytes_.end()); }
    void LoadRtf(std::string_view b) override { bytes_.assign(b.begin(), b.end()); }

private:
    std::vector<uint8_t>& bytes_;
};

std::string StripQuotes(std::string_view name) {
    while (!name.empty() && name.back() == '"') name.remove_suffix(1);
    while (!name.empty() && name.front() == '"') name.remove_prefix(1);
    return std::string(name);
}

bool FileExists(const std::string& name) {
    std::error_code ec;
    return !name.empty() && fs::exists(fs::path(name), ec);
}

std::string FolderOf(const std::string& name, const std::string& fallback) {
    const std::string folder = fs::path(name).parent_path().string();
    return folder.empty() ? fallback : folder;
}

int32_t SizeOf(size_t n) {
    return static_cast<int32_t>(std::min<size_t>(n, std::numeric_limits<int32_t>::max()));
}

}  // namespace

DocumentMissingError::DocumentMissingError(const std::string& name)
    : DocumentError("Cannot locate file:\n" + name) {}

bool IsCompressedDocumentName(std::string_view fileName) {
    return !fileName.empty() && std::toupper(static_cast<unsigned char>(fileName.back())) == 'Z';
}

std::string_view DocumentBackupExtension(std::string_view fileName) {
    return IsCompressedDocumentName(fileName) ? "~dz" : "~dc";
}

std::string DocumentCaption(std::string_view fileName, int64_t size) {
    std::string c = "Chronolex";
    if (fileName.empty()) return c;
    c += " (";
    c += fileName;
    if (size > 0) c += " " + std::to_string(size) + " bytes";
    c += ")";
    return c;
}

// ---- RecentFiles ---------------------------------------------------------------------------

void RecentFiles::Add(std::string_view name) {
    if (name.empty()) return;
    Remove(name);
    items_.insert(items_.begin(), std::string(name));
    if (items_.size() > kMax) items_.resize(kMax);
}

bool RecentFiles::Remove(std::string_view name) {
    const auto it = std::find_if(items_.begin(), items_.end(), [&](const std::string& s) { return SameTextNoCase(s, name); });
    if (it == items_.end()) return false;
    items_.erase(it);
    return true;
}

void RecentFiles::Read(const IniFile& store) {
    items_.clear();
    for (size_t i = 1; i <= kMax; ++i) {
        const std::string name = store.ReadString(kSection, "File" + std::to_string(i));
        if (name.empty()) continue;
        if (std::none_of(items_.begin(), items_.end(), [&](const std::string& s) { return SameTextNoCase(s, name); }))
            items_.push_back(name);
    }
}

void RecentFiles::Write(IniFile& store) const {
    store.EraseSection(kSection);
    for (size_t i = 0; i < items_.size(); ++i)
        store.WriteString(kSection, "File" + std::to_string(i + 1), items_[i]);
}

// ---- Document ------------------------------------------------------------------------------

struct Document::Slot {
    SectionKind kind;
    std::unique_ptr<MemTable> table;
    std::vector<uint8_t> carried;   // the stored image of a table without fields
    std::string rtf;
};

Document::Document(DocumentPaths paths) : paths_(std::move(paths)) {
    for (const auto& s : kDocumentSections) {
        if (s.kind == SectionKind::Raw) continue;
        auto slot = std::make_unique<Slot>();
        slot->kind = s.kind;
        if (s.kind == SectionKind::Table) slot->table = std::make_unique<MemTable>(std::string(s.object));
        slots_.emplace(std::string(s.object), std::move(slot));
    }
}

Document::~Document() = default;

Document::Slot& Document::SlotOf(std::string_view name, SectionKind kind) const {
    const auto it = slots_.find(name);
    if (it == slots_.end() || it->second->kind != kind)
        throw DocumentError(std::string("The document has no ") + (kind == SectionKind::Table ? "table " : "text ") +
                            std::string(name));
    return *it->second;
}

MemTable& Document::Table(std::string_view name) { return *SlotOf(name, SectionKind::Table).table; }
const MemTable& Document::Table(std::string_view name) const { return *SlotOf(name, SectionKind::Table).table; }
std::string& Document::Rtf(std::string_view name) { return SlotOf(name, SectionKind::Text).rtf; }
const std::string& Document::Rtf(std::string_view name) const { return SlotOf(name, SectionKind::Text).rtf; }

std::span<const uint8_t> Document::CarriedTable(std::string_view name) const {
    return SlotOf(name, SectionKind::Table).carried;
}

void Document::Set(std::string_view name, std::string_view text) {
    SetHeaderText(header, name, text);
    MarkModified();
}

void Document::SetValue(std::string_view name, const HeaderValue& v) {
    SetHeaderValue(header, name, v);
    MarkModified();
}

bool Document::IsNewDocumentName(std::string_view name) const {
    return (!paths_.templateFile.empty() && SameTextNoCase(name, paths_.templateFile)) ||
           (!paths_.dataNewFile.empty() && SameTextNoCase(name, paths_.dataNewFile));
}

TDateTime Document::Today() const {
    if (hooks.today) return hooks.today();
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    return EncodeDate(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
}

void Document::StoreLastFile(const std::string& name) {
    if (hooks.storeLastFile) hooks.storeLastFile(name);
}

void Document::CaptionChanged() {
    if (hooks.captionChanged) hooks.captionChanged(Caption());
}

void Document::CancelPendingEdits() {
    for (auto& [name, slot] : slots_)
        if (slot->table && slot->table->State() != TableState::Browse) slot->table->Cancel();
}

void Document::PrepareSave() {
    for (auto& [name, slot] : slots_) {
        MemTable* t = slot->table.get();
        if (!t || (t->State() != TableState::Edit && t->State() != TableState::Insert)) continue;
        try {
            t->Post();
        } catch (const std::exception&) {
            // a refused post keeps the row being edited; the stored rows are saved
        }
    }
    Call(hooks.controlsToHeader);
}

std::vector<uint8_t> Document::WriteImage(bool compressed) {
    SectionStream s;
    for (const auto& sec : kDocumentSections) {
        if (sec.kind == SectionKind::Raw) {
            if (sec.object == "DocumentHeader") s.StreamSection(header.Bytes(), sec.id, sec.label);
            else s.StreamSection(tools.Bytes(), sec.id, sec.label);
            continue;
        }
        Slot& slot = SlotOf(sec.object, sec.kind);
        if (sec.kind == SectionKind::Text) {
            TextCarrier text(slot.rtf);
            s.StreamSection(text, sec.id, sec.label);
        } else if (slot.table->FieldCount() == 0 && !slot.carried.empty()) {
            BytesCarrier bytes(slot.carried);
            s.StreamSection(bytes, sec.id, sec.label);
        } else {
            s.StreamSection(*slot.table, sec.id, sec.label);
        }
    }
    std::vector<uint8_t> image = s.TakeImage();
    PackStream(image, compressed ? kPackNormal : kPackStored, PackDirection::Pack);
    return image;
}

LoadReport Document::ReadImage(std::vector<uint8_t> image, bool compressed) {
    if (compressed) PackStream(image, kPackNormal, PackDirection::Unpack);
    CancelPendingEdits();
    SectionStream s(std::move(image));
    LoadReport report;
    for (size_t i = 0; i < kDocumentSections.size(); ++i) {
        const auto& sec = kDocumentSections[i];
        SectionResult r;
        if (sec.kind == SectionKind::Raw) {
            r = sec.object == "DocumentHeader" ? s.StreamSection(header.Bytes(), sec.id, sec.label)
                                               : s.StreamSection(tools.Bytes(), sec.id, sec.label);
        } else {
            Slot& slot = SlotOf(sec.object, sec.kind);
            if (sec.kind == SectionKind::Text) {
                TextCarrier text(slot.rtf);
                r = s.StreamSection(text, sec.id, sec.label);
            } else if (slot.table->FieldCount() == 0) {
                std::vector<uint8_t> bytes;
                BytesCarrier carrier(bytes);
                r = s.StreamSection(carrier, sec.id, sec.label);
                if (r == SectionResult::Loaded) slot.carried = std::move(bytes);
            } else {
                r = s.StreamSection(*slot.table, sec.id, sec.label);
                if (r == SectionResult::Loaded) slot.carried.clear();
            }
        }
        report.push_back({i, r, r == SectionResult::Damaged ? s.LastError() : std::string()});
    }
    tools.ApplyOutputRecordRule(initFileOnOpen);
    Table("taPro").Refresh();
    return report;
}

LoadReport Document::Load(std::string_view rawName) {
    Call(hooks.clearSkipSelection);
    size_ = 0;
    const std::string name = StripQuotes(rawName);
    fileName_ = name;
    if (!IsNewDocumentName(name)) StoreLastFile(name);
    if (!FileExists(name)) throw DocumentMissingError(name);

    LoadReport report;
    size_t fileSize = 0;
    try {
        std::vector<uint8_t> bytes = ReadFileBytes(name);
        fileSize = bytes.size();
        report = ReadImage(std::move(bytes), IsCompressedDocumentName(name));
    } catch (const FileError& e) {
        nameUnconfirmed_ = true;   // the next Ctrl+S must not write over a file it did not read
        throw DocumentError(e.what());
    } catch (const StreamError& e) {
        nameUnconfirmed_ = true;
        throw DocumentError(name + ": not a readable document (" + e.what() + ")");
    }

    for (auto& [n, slot] : slots_) {
        if (!slot->table) continue;
        slot->table->Refresh();
        slot->table->First();
    }
    // Pro-rata dates after 1 January 2100 come from files of the older program: blank them.
    const TDateTime limit = EncodeDate(2100, 1, 1);
    const auto late = [&](TDateTime d) { return !std::isfinite(d) || d > limit; };
    if (late(header.Get(hdr::edProDFrom)) || late(header.Get(hdr::edProDTo))) {
        header.Set(hdr::edProDFrom, 0.0);
        header.Set(hdr::edProDTo, 0.0);
    }
    Call(hooks.headerToControls);
    Call(hooks.afterLoad);

    nameUnconfirmed_ = true;
    size_ = SizeOf(fileSize);
    if (!paths_.templateFile.empty() && SameTextNoCase(fileName_, paths_.templateFile) && !paths_.dataNewFile.empty())
        fileName_ = paths_.dataNewFile;
    CaptionChanged();
    modified_ = false;
    if (!IsNewDocumentName(fileName_)) {
        recent.Add(fileName_);
        Call(hooks.recentChanged);
        StoreLastFile(fileName_);
    }
    return report;
}

void Document::Save(const std::string& fileName) {
    nameUnconfirmed_ = fileName != fileName_;
    fileName_ = fileName;
    size_ = 0;
    std::string failure;
    try {
        if (FileExists(fileName)) RotateBackups(fileName, {std::string(DocumentBackupExtension(fileName))});
        header.WriteSignature();
        const std::vector<uint8_t> image = WriteImage(IsCompressedDocumentName(fileName));
        WriteFileAtomic(fileName, image);
        modified_ = false;
        calcModified_ = false;
        size_ = SizeOf(image.size());
        CaptionChanged();
    } catch (const std::exception& e) {
        failure = e.what();
        if (failure.empty()) failure = "Cannot write " + fileName;
    }
    if (!IsNewDocumentName(fileName)) {
        recent.Add(fileName);
        Call(hooks.recentChanged);
        StoreLastFile(fileName);
    }
    if (!failure.empty()) throw DocumentError(failure);
}

void Document::ApplyNewDefaults(int mask) {
    Call(hooks.controlsToHeader);
    const auto applies = [&](int bit) { return mask == 0 || (mask & bit) != 0; };
    const TDateTime today = Today();
    CancelPendingEdits();
    if (applies(ndCalendarDate)) header.Set(hdr::mcal1, today);
    if (applies(ndMultipleTables)) {
        Table("taMul").EmptyTable();
        Table("taMin").EmptyTable();
    }
    if (applies(ndChronology)) {
        header.Set(hdr::ChrDateFormat, hooks.chrDateFormat ? hooks.chrDateFormat() : -10);
        header.Set(hdr::edDos, today);
        Table("taChr").EmptyTable();
    }
    if (applies(ndRepeatPeriod)) {
        header.Set(hdr::lmClipLo, today);
        header.Set(hdr::lmClipHi, today + 183);
        header.Set(hdr::lmSynch, 0.0);
        header.Set(hdr::lmFreq, 2);
        header.Set(hdr::lmUnits, 2);
        header.Set(hdr::lmAlwaysFirst, false);
        header.Set(hdr::lmAlwaysLast, false);
    }
    if (applies(ndRunningNumber)) header.Set(hdr::RcrSeriesCounter, 0);
    Call(hooks.headerToControls);
}

void Document::Clear() {
    CancelPendingEdits();
    for (auto& [name, slot] : slots_) {
        if (slot->table) slot->table->EmptyTable();
        slot->carried.clear();
        slot->rtf.clear();
    }
    header = DocumentHeader{};
    tools = ToolRecs{};
}

Document::SavePlan Document::PlanSave(SaveSender sender) {
    if (fileName_.empty()) fileName_ = paths_.dataNewFile;
    SavePlan plan;
    plan.dialog.filter = std::string(kDocumentFilter);
    plan.dialog.defaultExt = std::string(kDocumentDefaultExt);
    plan.dialog.fileName = fileName_;
    plan.dialog.initialDir = FolderOf(fileName_, paths_.dataFolder);
    plan.direct = sender == SaveSender::SaveDirect && !nameUnconfirmed_ && FileExists(fileName_);
    const fs::path p(fileName_);
    const std::string ext = p.extension().string();
    static constexpr std::string_view kFilterExts[] = {".cxz", ".qdk", ".~dc"};
    for (int i = 0; i < 3; ++i) {
        if (!SameTextNoCase(ext, kFilterExts[i])) continue;
        plan.filterIndex = i + 1;
        plan.dialog.fileName = fileName_.substr(0, fileName_.size() - ext.size());
    }
    return plan;
}

// ---- Commands ------------------------------------------------------------------------------

SaveDecision DecideSaveChanges(bool modified, UiServices& ui) {
    if (!modified) return SaveDecision::Proceed;
    switch (ui.Confirm(kSaveChanges)) {
    case ConfirmResult::Yes: return SaveDecision::SaveFirst;
    case ConfirmResult::No: return SaveDecision::Proceed;
    case ConfirmResult::Cancel: break;
    }
    return SaveDecision::Cancel;
}

bool SaveDocument(Document& doc, UiServices& ui, SaveSender sender) {
    BusyCursor busy(ui);
    doc.PrepareSave();
    const Document::SavePlan plan = doc.PlanSave(sender);
    std::string chosen = doc.FileName();
    if (!plan.direct) {
        const auto r = ui.SaveFileDialog(plan.dialog);
        if (!r) return false;
        chosen = *r;
    }
    try {
        doc.Save(chosen);
        return true;
    } catch (const DocumentError& e) {
        ui.Error(e.what());
        return false;
    }
}

bool LoadDocument(Document& doc, UiServices& ui, std::string_view fileName) {
    BusyCursor busy(ui);
    try {
        doc.Load(fileName);
        return true;
    } catch (const DocumentError& e) {
        ui.Error(e.what());
        return false;
    }
}

bool AskSave(Document& doc, UiServices& ui) {
    switch (DecideSaveChanges(doc.Modified(), ui)) {
    case SaveDecision::Proceed: return true;
    // A save that was cancelled or failed must not let the changes be thrown away.
    case SaveDecision::SaveFirst: return SaveDocument(doc, ui) && !doc.Modified();
    case SaveDecision::Cancel: break;
    }
    return false;
}

bool NewDocument(Document& doc, UiServices& ui) {
    Call(doc.hooks.showStartSheet);
    if (!AskSave(doc, ui)) return false;
    if (!LoadDocument(doc, ui, doc.Paths().templateFile)) {
        // Without the template the new document starts empty rather than as the old one.
        doc.Clear();
        doc.tools.ApplyOutputRecordRule(true);
        doc.SetFileName(doc.Paths().dataNewFile);
        doc.SetNameUnconfirmed(true);
        if (doc.hooks.headerToControls) doc.hooks.headerToControls();
        if (doc.hooks.captionChanged) doc.hooks.captionChanged(doc.Caption());
    }
    doc.ApplyNewDefaults(0);
    Call(doc.hooks.reevaluateControls);
    doc.SetModified(false);
    doc.SetCalcModified(false);
    return true;
}

bool OpenDocumentDialog(Document& doc, UiServices& ui) {
    FileDialogOptions opt;
    opt.filter = std::string(kDocumentFilter);
    opt.defaultExt = std::string(kDocumentDefaultExt);
    opt.fileName = fs::path(doc.FileName()).filename().string();
    opt.initialDir = FolderOf(doc.FileName(), doc.Paths().dataFolder);
    const auto chosen = ui.OpenFileDialog(opt);
    bool loaded = false;
    if (chosen) loaded = LoadDocument(doc, ui, *chosen);
    Call(doc.hooks.afterOpen);
    doc.SetCalcModified(false);
    return loaded;
}

bool OpenRecentDocument(Document& doc, UiServices& ui, std::string_view fileName) {
    if (!AskSave(doc, ui)) return false;
    return LoadDocument(doc, ui, fileName);
}

bool OpenDemoDocument(Document& doc, UiServices& ui, std::string_view information) {
    if (!OpenRecentDocument(doc, ui, doc.Paths().demoFile)) return false;
    ui.Information(information);
    return true;
}

}  // namespace clx
