#pragma once
// Master plan files (.cpz): the menu list as a plain first section, then one raw DEFLATE
// stream holding the header block, the master plans, their steps, key dates and merge fields.
// Opening, saving, reading only the menu, and the Plan sheet's master plan menu.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "files/sectionstream.h"
#include "plans/plan_engine.h"

namespace clx {

class SkipFileConfig;
class UiServices;

enum PlanFileSectionId : int32_t {
    kPlanMenuSection = 0,        // plain part
    kPlanHeaderSection = 0,      // deflated part, in order
    kPlanMastersSection = 1,
    kPlanStepsSection = 2,
    kPlanKeyDatesSection = 3,
    kPlanFieldsSection = 4,
};

inline constexpr std::string_view kPlanFileExt = "cpz";
inline constexpr std::string_view kPlanOpenFilter = "Master Plans (*.cpz)|*.cpz|All Files (*.*)|*.*";
inline constexpr std::string_view kPlanSaveFilter = "Master Plans (*.cpz)|*.cpz";

// What a read of a master plan file gave: the sections that did not load (they keep what
// they held), one line each.
struct PlanReadReport {
    std::vector<std::string> problems;
    bool Complete() const { return problems.empty(); }
};

// The whole file image. Writing builds the menu table first and writes every row of every
// table, whatever the views show. Reading throws StreamError when the deflated part cannot be
// inflated (the menu stays read); a damaged section is skipped and its table keeps its rows.
std::vector<uint8_t> PlanFileImage(TPln& engine);
PlanReadReport ReadPlanFileImage(TPln& engine, std::vector<uint8_t> image);

// Writes the engine's file to the path safely (built in memory, atomic replace, no backup);
// FileName becomes the path. Throws FileError.
void WritePlanFile(TPln& engine, const std::filesystem::path& path);

// The designer's Save: the save dialog when asked (initial folder, the engine's FileName);
// without asking only an existing FileName is written. False when nothing was written
// (cancelled, or no file to replace); throws FileError when writing failed (FileName then
// names the new file already).
bool SavePlanFile(TPln& engine, UiServices* ui, const std::string& initialFolder, bool ask);

struct PlanOpenResult {
    bool opened = false;
    std::string chosen;          // the name opened, or the name passed in
    PlanReadReport report;
};
// Opens a master plan file into the engine (folder macros expanded through the config when
// given, surrounding double quotes removed); with ask, through the open dialog. A name that
// does not exist, or a cancelled dialog, leaves the engine unchanged. Otherwise the engine is
// reset, the file read, the number lists rebuilt and the views refreshed. Throws FileError
// for a file that cannot be read and StreamError for a deflated part that cannot be inflated.
PlanOpenResult OpenPlanFile(TPln& engine, UiServices* ui, std::string_view name, const std::string& initialFolder,
                            bool ask, const SkipFileConfig* config = nullptr);

// Reads only the menu section into the table (fields of DefineMenuFields); the number of rows,
// 0 when the file is missing or cannot be read. Never throws.
int ReadPlanFileMenu(const std::filesystem::path& path, MemTable& menu);

// The master plan menu.
enum PlanMenuTag : int {
    kPlanMenuCreate = -5,     // "Create New Master Plan File..."
    kPlanMenuNone = -4,       // "No Master Plan"
    kPlanMenuEdit = -3,       // "Edit Master Plan File..."
    kPlanMenuFindOther = -2,  // "Find Other Master Plan File..."
};

struct PlanMenuItem {
    std::string caption;      // "-" for a separator
    std::string hint;         // the file's full path (files and their plans)
    int tag = 0;              // a plan's Ukey, or one of PlanMenuTag
    bool separator = false;
    bool clickable = false;   // has the click handler
    bool planIcon = false;    // the Plan sheet's icon
    std::vector<PlanMenuItem> items;   // a file's master plans
};

// A file's caption: its name without folder and without everything from its first ".", each
// "&" doubled.
std::string PlanMenuCaption(std::string_view path);
// Built afresh each time the menu opens, over the folders and their subfolders.
std::vector<PlanMenuItem> BuildPlanMenu(const std::vector<std::string>& folders);

}  // namespace clx
