#pragma once
// The Plan sheet: the master plan file and master plan the document names, the plan's own
// skip-date file, the recalculation when the key dates or steps are shown, and the plan's
// values for the custom text report and the titles. Settings live in the document header.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "files/docheader.h"
#include "files/skipfile.h"
#include "plans/plan_engine.h"
#include "plans/plan_file.h"
#include "sheets/sheet_context.h"

namespace clx {

inline constexpr const char* kNoneSelected = "None Selected";
inline constexpr const char* kPlanMergeFieldList =
    "Plan Name|PlnName;Plan Date|PlnDate;Plan Key Dates|PlnKey;Plan Steps|PlnPlan;Skip File|PlnSkipName;"
    "Skip File Name|PlnSkipName";
inline constexpr const char* kPlanPrintColumns = "Date;Step;Who";
// Output destinations offered, as a bit set over the destination indexes.
inline constexpr int kPlanDestinations = 27;
inline constexpr int kPlanDestinationsWithMerge = 31;

// Defines taPln, taMpd and taPlf through the container.
TPln::DocumentTables DefinePlanTables(const TableMaker& make);

// A skip-date file as the titles see it: in use, and its full path.
struct PlanSkipFileState {
    bool inUse = false;
    std::string path;
};

class PlanSheet {
public:
    // The context's header holds the settings; tools (optional) the output records.
    PlanSheet(TPln& engine, SkipSet& planSkip, SkipFileConfig& config, const SheetContext& ctx,
              ToolRecs* tools = nullptr, UiServices* ui = nullptr);
    PlanSheet(const PlanSheet&) = delete;
    PlanSheet& operator=(const PlanSheet&) = delete;

    TPln& Engine() { return engine_; }
    SkipSet& PlanSkip() { return skip_; }

    // What the sheet shows.
    const std::string& PlanCaption() const { return planCaption_; }         // sbPlan
    const SkipButtonState& SkipButton() const { return skipButton_; }       // sbXdaPlan
    const std::vector<std::string>& WhoChoices() const { return who_; }    // edPlnWho
    bool AstroPanelVisible() const { return false; }                        // paAstro

    // The designer, opened on an engine (the document's, or a temporary one for a new file).
    std::function<void(TPln&)> openDesigner;
    // A data folder was added for a chosen file: the options are to be saved.
    std::function<void()> optionsChanged;
    // A choice of the master plan menu changed what the calculations show.
    std::function<void()> calcModified;

    // Entering "Dates" or "Steps".
    void RecalcPlan();
    void SelectPlanNumber(int32_t n);
    // keepPlan: the steps and key dates keep their rows (a document's header copied into the
    // sheet); otherwise the plan starts afresh (a file chosen from the menu). A name too long for
    // the document is refused with an error message and nothing changes.
    void SelectPlanFile(std::string_view name, bool keepPlan);
    void SelectPlanSkipFile(std::string_view name);
    // The header into the sheet: master plan file, master plan, skip-date file.
    void HeaderToControls();

    std::vector<PlanMenuItem> PlanMenu() const;
    void SetPlanChoice(const PlanMenuItem& item);
    std::vector<SkipMenuItem> SkipMenu() const;
    void SetExclusionChoicePlan(const SkipMenuItem& item, const SkipEditor& editor = {});

    // Key date colours: no rows, the window colour; the focused cell navy; a key date no step
    // uses the button face.
    CellColours KeyDateCellColours(int row, bool focused);

    // The selected master plan (none when the number is not in the file).
    bool HasMasterPlan();
    std::string PlanName();
    bool RtfActive();
    PlanSkipFileState SkipFile() const;
    // The plan's tokens: Name, Date, SkipName, SkipFile, Plan, Key.
    std::vector<std::pair<std::string, std::string>> PlanTokenValues();

private:
    DocumentHeader& Header() const;
    void MarkModified() const { ctx_.MarkModified(); }
    std::string DateText(TDateTime d, const std::string& format) const;

    TPln& engine_;
    SkipSet& skip_;
    SkipFileConfig& config_;
    const SheetContext& ctx_;
    ToolRecs* tools_;
    UiServices* ui_;
    std::string planCaption_ = kNoneSelected;
    SkipButtonState skipButton_{std::string(kNoSkippedDates), "Open file"};
    std::vector<std::string> who_;
    bool syncing_ = false;
    mutable DocumentHeader ownHeader_;
};

}  // namespace clx
