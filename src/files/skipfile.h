#pragma once
// Skip-date files (.skx): one rule set as five sections, loading a file into a set, choosing
// a file for a sheet group, the drop-down menu of the files found in the data folders, and the
// hand-over to the skip-dates editor.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/skipset.h"
#include "files/sectionstream.h"

namespace clx {

class UiServices;

// Section ids in file order.
enum SkipSectionId : int32_t {
    kSkipHeaderSection = 0,      // the 1024-byte SkipHeader
    kSkipSingleSection = 1,      // taXda
    kSkipRecurringSection = 2,   // taXrc
    kSkipRangesSection = 3,      // taXsp
    kSkipInclusionsSection = 4,  // taXin
};

// The document keeps the chosen file's name in a short string of this many single-byte
// characters.
inline constexpr size_t kSkipFileRefCapacity = 160;

inline constexpr std::string_view kFindOtherSkipFilter =
    "Exclusion Date Files (*.skx)|*.skx|All Files (*.*)|*.*";
inline constexpr std::string_view kEditorOpenSkipFilter = "Exclude Lists (*.skx)|*.skx|All Files (*.*)|*.*";
inline constexpr std::string_view kEditorSaveSkipFilter = "Exclude Lists (*.skx)|*.skx|All files (*.*)|*.*";
inline constexpr std::string_view kSkipFileExt = "skx";

inline constexpr std::string_view kNoSkippedDates = "No Skipped Dates";
inline constexpr std::string_view kEditWithoutSkipFile =
    "You can't edit a file here until you click the down-arrow to choose one first.";

// What a read of the five sections gave. Parts that did not load keep what they held.
struct SkipReadReport {
    std::vector<SectionResult> results; // per part in file order (header first), when read
    std::string fileError;              // the file itself could not be read
    std::vector<std::string> problems;  // one line per part that did not load, and trailing data
    bool Complete() const { return fileError.empty() && problems.empty(); }
    std::string Summary() const;        // the lines joined by "; "
};

// The five sections of the set in the stream's own mode. Write appends them; read takes
// them in order by id, skips a section with another id, and leaves every part whose section
// is absent, empty or damaged as it was.
void WriteSkipSections(SectionStream& stream, SkipSet& set);
SkipReadReport ReadSkipSections(SectionStream& stream, SkipSet& set);
// The whole file image of the set.
std::vector<uint8_t> SkipFileImage(SkipSet& set);
// Builds the image in memory and replaces the file safely, keeping no backup (throws
// FileError; StreamError for a set that cannot be written).
void SaveSkipFile(const std::filesystem::path& path, SkipSet& set);

// What the skip-date file code needs of the configuration above it.
class SkipFileConfig {
public:
    virtual ~SkipFileConfig() = default;
    virtual std::string ExpandPathMacros(std::string_view path) const = 0;
    virtual std::string ContractPathMacros(std::string_view path) const = 0;
    // The folders searched for skip-date files, in order, each once.
    virtual std::vector<std::string> DataFolderSearchList() const = 0;
    // True when the file's folder was new and was added (the options are then to be saved).
    virtual bool AddDataFolderOf(std::string_view file) = 0;
    virtual std::string DateEntryFormat() const = 0;
};

// The adapter over the program's configuration (or anything with the same members).
template <class Cfg>
class SkipFileConfigOf final : public SkipFileConfig {
public:
    explicit SkipFileConfigOf(Cfg& cfg) : cfg_(cfg) {}
    std::string ExpandPathMacros(std::string_view p) const override { return cfg_.ExpandPathMacros(p); }
    std::string ContractPathMacros(std::string_view p) const override { return cfg_.ContractPathMacros(p); }
    std::vector<std::string> DataFolderSearchList() const override { return cfg_.DataFolders(); }
    bool AddDataFolderOf(std::string_view file) override { return cfg_.AddDataFolderOf(file); }
    std::string DateEntryFormat() const override { return cfg_.DateEntryFormat(); }

private:
    Cfg& cfg_;
};

// Reads the file (name in folder macro form when config is given) into the set: when the set
// exists and the file is a readable regular file, the rules are cleared with their tables and
// the five sections read. True when the file was read; a damaged file still counts as read
// and loads as far as its sections allow. Active and the reference are left alone. A file
// that cannot be read at all leaves the set untouched.
bool LoadSkipFile(std::string_view fileName, SkipSet* set, const SkipFileConfig* config = nullptr,
                  SkipReadReport* report = nullptr);

// The skip-file button: caption and hint.
struct SkipButtonState {
    std::string caption;
    std::string hint;
    friend bool operator==(const SkipButtonState&, const SkipButtonState&) = default;
};

// The name up to its first point with every "&" doubled (the whole name when that is empty).
std::string SkipMenuCaption(std::string_view path);
// The menu caption in lower case with the first letter and each letter after a space,
// apostrophe, "(" or "-" in upper case: "vic holidays.2003.skx" gives "Vic Holidays".
std::string SkipButtonCaption(std::string_view path);

enum class SkipSelectOutcome {
    NoReference,  // the set has no file reference: nothing happened
    Selected,     // the file was loaded and the set is active
    Cleared,      // no file (or none that could be read): the set is reset and inactive
    Refused,      // the name cannot be kept in the document: nothing changed
};

struct SkipFileSelection {
    SkipSelectOutcome outcome = SkipSelectOutcome::NoReference;
    SkipButtonState button;         // what the button shows now (Selected, Cleared)
    bool documentModified = false;  // the stored name changed
    bool optionsChanged = false;    // a data folder was added: the options are to be saved
    SkipReadReport report;          // of the load (Selected)
    std::string error;              // for the error box; "|" breaks lines
};

// Chooses the file for the group whose set this is. The caller marks the document modified
// when asked, saves the options when a folder was added, shows the error, and for the
// calculator set refreshes the Interval and Math tables.
SkipFileSelection SelectSkipFile(std::string_view fileName, SkipSet& set, SkipFileConfig& config);

// The drop-down menu of a skip-file button.
enum SkipMenuTag : int {
    kSkipMenuChoose = 0,     // "No Skip-Dates" or a file (its hint)
    kSkipMenuFindOther = 1,
    kSkipMenuEdit = 2,
    kSkipMenuNoFile = 3,
    kSkipMenuCreate = 4,
};

struct SkipMenuItem {
    std::string caption;  // empty for a separator
    std::string hint;     // a file's full path
    int tag = kSkipMenuChoose;
    bool separator = false;
    friend bool operator==(const SkipMenuItem&, const SkipMenuItem&) = default;
};

// Every file with the extension skx (any case) in the folders and all their subfolders, in
// the order of the folders, each folder's files sorted by name before its subfolders. A file
// or folder reached twice (through two search folders, a link or another spelling of its
// name) is listed or searched once. Links to folders inside the folders are not followed;
// unreadable folders are passed over.
std::vector<std::string> FindSkipFiles(const std::vector<std::string>& folders);
// The same search for another extension (without the point).
std::vector<std::string> FindDataFiles(const std::vector<std::string>& folders, std::string_view ext);
// Built afresh each time the menu pops up.
std::vector<SkipMenuItem> BuildSkipFileMenu(const std::vector<std::string>& folders);

// The skip-dates editor, shown modally on the editor set with the file name; gives the file
// name at closing when the user accepted, nothing when cancelled.
using SkipEditor = std::function<std::optional<std::string>(SkipSet& editorSet, const std::string& fileName)>;

// Runs the editor on a temporary set: a copy of the given set, or an empty one with the name
// proposed. When accepted, the temporary set is copied back into the given set and the
// editor's name returned; otherwise the given name. Without an editor nothing is shown.
std::string EditSkipFile(SkipSet* set, const std::string& fileName, const SkipEditor& editor,
                         const std::string& dateEntryFormat);

// One sheet group's skip-file button with its menu.
struct SkipFileGroup {
    SkipSet& set;
    SkipFileConfig& config;
    UiServices& ui;
    SkipEditor editor;
};

// Acts on the chosen menu item; nothing when the user cancelled a dialog. An error of the
// selection has been shown already.
std::optional<SkipFileSelection> ChooseSkipMenuItem(SkipFileGroup& group, const SkipMenuItem& item);
// A click on the button itself edits the selected file, or shows the error when none exists.
std::optional<SkipFileSelection> ClickSkipFileButton(SkipFileGroup& group);

}  // namespace clx
