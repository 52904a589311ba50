#pragma once
// The document file: its 25 sections, the document object that holds every sheet's table,
// rich text and settings record, and the document's life cycle (new, load, save, the
// "Save changes?" decision, the caption and the recent-files list).
//
// The container is generic: the sheets define the fields of the tables they own (a table is
// found by name with Table()). A table without fields carries its section's bytes from load
// to save unchanged, so a document keeps tables no module has defined yet.
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "files/docheader.h"
#include "files/sectionstream.h"
#include "platform/datetime.h"
#include "platform/ini.h"
#include "platform/memtable.h"
#include "platform/ui.h"

namespace clx {

// A document that cannot be read or written; the message says what and names the file.
class DocumentError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The file to load does not exist. The message is "Cannot locate file:" and, on a new line,
// the name.
class DocumentMissingError : public DocumentError {
public:
    explicit DocumentMissingError(const std::string& name);
};

enum class SectionKind { Raw, Table, Text };

struct DocumentSection {
    int32_t id;
    std::string_view label;
    SectionKind kind;
    std::string_view object;   // table name, rich-text name, or "DocumentHeader" / "ToolRec"
};

// In file order; readers go by position (ids repeat and 20 is missing).
inline constexpr std::array<DocumentSection, 25> kDocumentSections = {{
    {0, "Header", SectionKind::Raw, "DocumentHeader"},
    {13, "Zones", SectionKind::Table, "taZon"},
    {1, "Chronology", SectionKind::Table, "taChr"},
    {2, "Notes", SectionKind::Text, "redNote"},
    {3, "Single", SectionKind::Table, "taOne"},
    {4, "Multiple", SectionKind::Table, "taMul"},
    {5, "Recurring", SectionKind::Table, "taRcr"},
    {6, "Header", SectionKind::Text, "redHeader"},
    {7, "Footer", SectionKind::Text, "redFooter"},
    {8, "Multi Dates", SectionKind::Table, "taMin"},
    {9, "Calc Title", SectionKind::Text, "redCalcTitle"},
    {10, "Mul Title", SectionKind::Text, "redMulTitle"},
    {11, "Rcr Title", SectionKind::Text, "redRcrTitle"},
    {12, "Chr Title", SectionKind::Text, "redChrTitle"},
    {13, "Birthdays", SectionKind::Table, "taSta"},
    {14, "taPln", SectionKind::Table, "taPln"},
    {15, "taMpd", SectionKind::Table, "taMpd"},
    {16, "taMth", SectionKind::Table, "taMth"},
    {17, "Chr Title", SectionKind::Text, "redPlnTitle"},
    {18, "Chr Title", SectionKind::Text, "redMthTitle"},
    {19, "Chr Title", SectionKind::Text, "redStaTitle"},
    {0, "ToolRec2", SectionKind::Raw, "ToolRec"},
    {21, "taPlf", SectionKind::Table, "taPlf"},
    {22, "taPro", SectionKind::Table, "taPro"},
    {23, "Pro Title", SectionKind::Text, "redProTitle"},
}};

// What happened to each section of a read.
struct SectionOutcome {
    size_t index;              // into kDocumentSections
    SectionResult result;
    std::string error;         // for Damaged
};
using LoadReport = std::vector<SectionOutcome>;

// Deflated when the last character of the name, upper-cased, is "Z" (.cxz, .~dz); the name,
// not the content, decides.
bool IsCompressedDocumentName(std::string_view fileName);
// "~dz" for a compressed name, "~dc" otherwise.
std::string_view DocumentBackupExtension(std::string_view fileName);

// "Chronolex"; with a name " (name)", with a size above 0 " (name 20480 bytes)".
std::string DocumentCaption(std::string_view fileName, int64_t size);

// The open and save dialogs' settings.
inline constexpr std::string_view kDocumentDefaultExt = "cxz";
inline constexpr std::string_view kDocumentFilter =
    "CLX V2 Files (*.cxz)|*.cxz|QDK V1 Files (*.qdk)|*.qdk|Backup Files (*.~dc)|*.~dc|All Files (*.*)|*.*";
inline constexpr std::string_view kSaveChanges = "Save changes?";

// The recently used documents, newest first, at most 15.
class RecentFiles {
public:
    static constexpr size_t kMax = 15;
    static constexpr std::string_view kSection = "mru1";

    const std::vector<std::string>& Items() const { return items_; }
    // Puts the name first; the same name already listed (any letter case) moves up instead of
    // appearing twice; beyond 15 the oldest drops off. An empty name is ignored.
    void Add(std::string_view name);
    bool Remove(std::string_view name);
    void Clear() { items_.clear(); }
    // Section "mru1", keys "File1" ... "File15", newest first. Reading skips empty values
    // and repeats.
    void Read(const IniFile& store);
    void Write(IniFile& store) const;

private:
    std::vector<std::string> items_;
};

// The fixed file names, as full paths: the template <RSC>/new.cxz, the name of an unsaved
// document <DAT>/new.cxz, the demonstration document <RSC>/demo.cxz, and the data folder.
struct DocumentPaths {
    std::string templateFile;
    std::string dataNewFile;
    std::string demoFile;
    std::string dataFolder;
};

// What the document asks of the window that shows it; an unset hook does nothing.
struct DocumentHooks {
    std::function<void()> controlsToHeader;     // the window's controls into the header
    std::function<void()> headerToControls;     // and back (reselects skip files, plan, places)
    std::function<void()> clearSkipSelection;   // the calculator sheets' skip set, before a load
    std::function<void()> afterLoad;            // visibility, grid footers, the sheet-change handler
    std::function<void()> showStartSheet;       // New switches to the Start sheet first
    std::function<void()> reevaluateControls;   // visibility and enabled state (after New)
    std::function<void()> afterOpen;            // guided view and layout, after the open dialog
    std::function<void(const std::string&)> captionChanged;
    std::function<void(const std::string&)> storeLastFile;   // "IniLastFile"
    std::function<void()> recentChanged;        // the recent-files list is to be stored
    std::function<int()> chrDateFormat;         // "ChrDateFormat" of the settings; unset: -10
    std::function<TDateTime()> today;           // unset: the system's local date
};

// The default sheet settings a new document gets; mask bits as below, 0 = all of them.
enum NewDefaults : int {
    ndMultipleTables = 2, ndChronology = 4, ndCalendarDate = 8, ndRepeatPeriod = 16,
    ndRunningNumber = 32,
};

enum class SaveSender { None, Save, SaveAs, SaveDirect };

class Document {
public:
    explicit Document(DocumentPaths paths = {});
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;
    ~Document();

    DocumentHeader header;
    ToolRecs tools;
    DocumentHooks hooks;
    RecentFiles recent;
    bool initFileOnOpen = false;   // the File menu's "Initialize File on Open"

    const DocumentPaths& Paths() const { return paths_; }
    void SetPaths(DocumentPaths p) { paths_ = std::move(p); }

    // The document's tables and rich texts by name (those of kDocumentSections); an unknown
    // name throws DocumentError.
    MemTable& Table(std::string_view name);
    const MemTable& Table(std::string_view name) const;
    std::string& Rtf(std::string_view name);            // the RTF of a rich text
    const std::string& Rtf(std::string_view name) const;
    // The stored bytes of a table nobody has defined (empty when there are none).
    std::span<const uint8_t> CarriedTable(std::string_view name) const;

    // Settings by control name (the header registry); Set marks the document modified.
    std::string Get(std::string_view name) const { return HeaderValueText(header, name); }
    void Set(std::string_view name, std::string_view text);
    void SetValue(std::string_view name, const HeaderValue& v);

    // Document state.
    const std::string& FileName() const { return fileName_; }
    void SetFileName(std::string name) { fileName_ = std::move(name); }
    bool Modified() const { return modified_; }
    void MarkModified() { modified_ = true; }           // every user change
    void SetModified(bool v) { modified_ = v; }
    bool CalcModified() const { return calcModified_; }
    void SetCalcModified(bool v) { calcModified_ = v; }
    int32_t Size() const { return size_; }               // 0: no size shown
    bool NameUnconfirmed() const { return nameUnconfirmed_; }
    void SetNameUnconfirmed(bool v) { nameUnconfirmed_ = v; }
    std::string Caption() const { return DocumentCaption(fileName_, size_); }
    // One of the two "new.cxz" names (never stored as the last file or a recent file).
    bool IsNewDocumentName(std::string_view name) const;

    // The whole file image, and reading one: the sections in order, then (reading) the
    // output-record rule and a refresh of taPro. A damaged section is skipped and its object
    // keeps what it held; a compressed image that cannot be inflated throws StreamError and
    // changes nothing.
    std::vector<uint8_t> WriteImage(bool compressed);
    LoadReport ReadImage(std::vector<uint8_t> image, bool compressed);

    // Loads a file (surrounding double quotes removed). Throws DocumentMissingError (the
    // document is unchanged but takes the name) or DocumentError for a file that cannot be
    // read or inflated (the document is unchanged, and the next Ctrl+S asks for a name).
    LoadReport Load(std::string_view fileName);
    // Writes the document to the file (which becomes its name; NameUnconfirmed tells whether
    // that differs from the name it had): backup of an existing file, signature, atomic replace;
    // clears the modified flags and sets the size. The recent list and the last file are
    // updated even when writing fails; then DocumentError is thrown and the flags stay.
    void Save(const std::string& fileName);

    // Copies the controls into the header, applies the defaults of the mask's groups, and
    // copies the header back into the controls.
    void ApplyNewDefaults(int mask = 0);
    // Every table emptied (definitions kept), texts, header and output records cleared.
    void Clear();

    // A save through the dialog or without it (the decision of which is below). Step by step:
    // pending edits posted, controls into the header, the dialog's proposal, the dialog.
    struct SavePlan {
        bool direct = false;           // write to FileName() without showing the dialog
        FileDialogOptions dialog;      // the proposal when the dialog is shown
        int filterIndex = 0;           // 1 .cxz, 2 .qdk, 3 .~dc; 0 leaves the dialog's choice
    };
    // Pending edits of every table posted (errors ignored), controls copied into the header.
    void PrepareSave();
    // Names an unnamed document <DAT>/new.cxz first.
    SavePlan PlanSave(SaveSender sender);

private:
    struct Slot;
    void CancelPendingEdits();
    void StoreLastFile(const std::string& name);
    void CaptionChanged();
    TDateTime Today() const;
    Slot& SlotOf(std::string_view name, SectionKind kind) const;

    DocumentPaths paths_;
    std::map<std::string, std::unique_ptr<Slot>, std::less<>> slots_;
    std::string fileName_;
    bool modified_ = false;
    bool calcModified_ = false;
    int32_t size_ = 0;
    bool nameUnconfirmed_ = false;
};

// ---- The document commands with their dialogs and messages --------------------------------

// What "Save changes?" leads to: for an unmodified document Proceed without asking.
enum class SaveDecision { Proceed, SaveFirst, Cancel };
SaveDecision DecideSaveChanges(bool modified, UiServices& ui);

// SaveDocument: shows the save dialog unless the sender is SaveDirect and the name is confirmed
// and exists; a write error is shown as an error message. True when the file was written.
bool SaveDocument(Document& doc, UiServices& ui, SaveSender sender = SaveSender::None);
// LoadDocument: a missing or unreadable file is shown as an error message; true when loaded.
bool LoadDocument(Document& doc, UiServices& ui, std::string_view fileName);
// True to go on: not modified, or the user answered No, or Yes and the save succeeded.
bool AskSave(Document& doc, UiServices& ui);
// acNew: Start sheet, AskSave, the template, the defaults; false when cancelled.
bool NewDocument(Document& doc, UiServices& ui);
// acOpen: the open dialog, then LoadDocument; Open does not ask to save. False when cancelled.
bool OpenDocumentDialog(Document& doc, UiServices& ui);
// mru1 and acOpenDemo: "Save changes?" first, then the file; the demonstration document then
// shows its information text (the word token LOADDEMO, fetched by the caller).
bool OpenRecentDocument(Document& doc, UiServices& ui, std::string_view fileName);
bool OpenDemoDocument(Document& doc, UiServices& ui, std::string_view information);

}  // namespace clx
