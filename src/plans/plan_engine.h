#pragma once
// The plan engine: master plans (named key dates and steps relative to them) held in memory
// as one master plan file, the rules of their tables, and the turning of the selected master
// plan into the document's dated plan.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/datetime.h"
#include "platform/memtable.h"
#include "platform/ui.h"

namespace clx {

class SkipSet;

// Table names.
inline constexpr const char* kMenuTableName = "_taMnu";
inline constexpr const char* kMasterPlanTableName = "_taStm";
inline constexpr const char* kMasterStepTableName = "_taMpl";
inline constexpr const char* kMasterKeyDateTableName = "_taMpx";
inline constexpr const char* kMasterFieldTableName = "_taFld";
inline constexpr const char* kPlanStepTableName = "taPln";
inline constexpr const char* kPlanKeyDateTableName = "taMpd";
inline constexpr const char* kPlanFieldTableName = "taPlf";

// Messages.
inline constexpr const char* kNoMasterPlanYet = "You must enter a master plan record first!";
inline constexpr const char* kPlanKeyDatesFixed =
    "You are not allowed to do this, because the settings must be defined in the Master Plan!";
inline constexpr const char* kKeyDateInUse =
    "You are not allowed to delete this reference\r\nbecause it is currently used by at least one step.\r\n"
    "You will have to remove the step reference(s) first.";

// Defaults and fixed texts.
inline constexpr const char* kNewMasterPlanName = "New Master Plan...";
inline constexpr const char* kNewMasterPlanWho = "Me\r\nYou";
inline constexpr const char* kNewStepText = "Step...";
inline constexpr const char* kFinishDateName = "Finish Date";
inline constexpr const char* kLightingText = "Sunrise at 6:13am, Sunset at 5:58pm; Twilight to 6:43pm";
inline constexpr int kMaxPlanNumber = 100000;

// Relativity of a step.
enum StepRelativity : int { srBefore = 0, srAfter = 1 };
// Origin of a plan step.
enum StepOrigin : int { soUser = 0, soGenerated = 1 };

inline constexpr std::array<const char*, 2> kRelativityItems{"Before", "After"};
inline constexpr std::array<const char*, 2> kSkippingItems{"Use Default Settings", "Don't Skip Dates"};
inline constexpr std::array<const char*, 2> kAstroChoiceItems{"No", "Yes - Calculate Sunset and Twilight"};
inline constexpr std::array<const char*, 3> kTwilightChoiceItems{
    "Civil (6 degrees below the horizon)", "Nautical (12 degrees below the horizon)",
    "Astronomical (18 degrees below the horizon)"};

// Field layouts. A table gets the fields in order, their display labels and widths, and its
// sort field; the step layout serves the master steps and the plan steps, the key date layout
// the master and the plan key dates, the field layout the master fields and taPlf.
void DefineMenuFields(MemTable& t);
void DefineMasterPlanFields(MemTable& t);
void DefineStepFields(MemTable& t);
void DefineKeyDateFields(MemTable& t);
void DefineMergeFieldFields(MemTable& t);

// The "Edit Options" dialog, asked when the user edits a key date row of the plan steps.
class EditOptionsDialog : public ModalForm {
public:
    enum Choice : int { CancelChanges = 0, ProceedAndLock = 1, ProceedUnlocked = 2 };
    static constexpr const char* kCaption = "Edit Options";
    static const std::array<const char*, 3> kChoices;
    // The explanation, one paragraph per entry (the choices' own lines carry name and text).
    static const std::vector<std::string> kParagraphs;
    // The explanation as rich text (RTF): first line bold red, the key phrases bold, the
    // choice names underlined.
    static std::string ExplanationRtf();

    std::string_view FormName() const override { return "EditOptions"; }
    int choice = CancelChanges;   // edChoice, starts on the first choice
};

class TPln {
public:
    // The document's tables: plan steps, plan key dates and merge field values. Null pointers
    // make the engine own tables of its own (a temporary engine, or a plan without document).
    struct DocumentTables {
        MemTable* steps = nullptr;      // taPln
        MemTable* keyDates = nullptr;   // taMpd
        MemTable* fields = nullptr;     // taPlf
    };

    explicit TPln(UiServices* ui = nullptr);
    explicit TPln(DocumentTables doc, UiServices* ui = nullptr);
    ~TPln();
    TPln(const TPln&) = delete;
    TPln& operator=(const TPln&) = delete;

    MemTable& Menu() { return *mnu_; }
    MemTable& MasterPlans() { return *stm_; }
    MemTable& MasterSteps() { return *mpl_; }
    MemTable& MasterKeyDates() { return *mpx_; }
    MemTable& MasterFields() { return *fld_; }
    MemTable& PlanSteps() { return *pln_; }
    MemTable& PlanKeyDates() { return *mpd_; }
    MemTable& PlanFields() { return *plf_; }

    UiServices* Ui() const { return ui_; }
    void SetUi(UiServices* ui) { ui_ = ui; }

    // Engine state.
    const std::string& FileName() const { return fileName_; }
    void SetFileName(std::string name);            // cut to 255 characters
    std::array<uint8_t, 4096>& HeaderBlock() { return headerBlock_; }
    SkipSet* GetSkipSet() const { return skip_; }
    void SetSkipSet(SkipSet* set) { skip_ = set; }
    bool SkipInvert() const;
    uint8_t DaysPerYearType() const { return daysPerYearType_; }
    bool KeyDateEditAllowed() const { return keyDateEditAllowed_; }
    int64_t PendingDeleteUkey() const { return pendingDeleteUkey_; }
    const std::set<int64_t>& StepUkeys() const { return stepUkeys_; }
    const std::set<int64_t>& KeyDateUkeys() const { return keyDateUkeys_; }

    // Empties the file name, header block, the menu, master plans, steps, key dates, plan steps
    // and plan key dates, and the number lists; the merge fields and taPlf keep their rows.
    void Reset();

    // The Ukey of the current master plan; none when there are no master plans.
    std::optional<int64_t> CurrentMaster() const;
    // Makes the master plan with that number current and refreshes the views; false when there
    // is none (the last master plan is then current).
    bool LocateMaster(int64_t ukey);

    // Rebuilds taMpd, taPlf and taPln for the current master plan: locked rows and the user's
    // own rows survive, every unlocked generated row is made again from the master plan, and
    // the key dates the user entered are carried through the master key dates' xdate.
    void Recalculate(int daysPerYearType, const SkipSet* skip, bool invert);

    void PostAll();
    void RefreshAll();
    void RebuildMenuTable();
    // Date columns and their titles by the date formats.
    void ApplyDateFormats(const std::string& displayFormat, const std::string& entryFormat);
    const std::string& DisplayFormat() const { return displayFormat_; }
    // "Date~" + format for steps and plan key dates, "Example Date~" + format for master key dates.
    std::string DateColumnTitle(const MemTable& table) const;
    const std::string& EntryFormat() const { return entryFormat_; }

    // A step's date: the key date (by the step's RelativeTo, looked up in keyField of the key
    // date table) moved by the step's period before or after, through the skip rules unless the
    // step is marked "Don't Skip Dates" (Skipping 1).
    TDateTime AddRelativePeriod(MemTable& step, MemTable& keyDates, int daysPerYearType,
                                const std::string& keyField, bool invert, const SkipSet* skip);
    // The Date of the first row whose keyField equals key (the current row first); 0 when none.
    static TDateTime KeyDateValue(int64_t key, MemTable& keyDates, const std::string& keyField);

    // The smallest free number from 1 to 100000 (0 when all are taken); rebuild reads the
    // numbers of every row of the table first, all master plans included.
    int64_t NextStepUkey(bool rebuild);
    int64_t NextKeyDateUkey(bool rebuild);

    // Designer helpers.
    struct KeyDateChoice {
        std::string text;   // Name, a tab, Ukey
        int64_t ukey;
    };
    std::vector<KeyDateChoice> FillKeyDateChoices(MemTable& keyDates);
    void RecomputeExampleDates(MemTable& steps, MemTable& keyDates, std::vector<KeyDateChoice>* choices);
    void MergeKeyDateNames(std::string_view names, MemTable& steps, MemTable& keyDates);
    static void MarkUsedKeyDates(MemTable& steps, MemTable& keyDates, const std::string& keyField);

    // The master plan's people, one per line of Who.
    std::vector<std::string> WhoChoices();

    // Today for new key dates (unset: the system's local date).
    std::function<TDateTime()> today;

private:
    void InstallHandlers();
    void ApplyViews();
    bool InMaster(MemTable& t) const;
    TDateTime Today() const;
    int64_t NextFree(std::set<int64_t>& list, MemTable& table, bool rebuild);
    void RequireMasterPlan();
    void DeleteDetailRows(MemTable& t, int64_t master);

    UiServices* ui_;
    std::unique_ptr<MemTable> mnu_, stm_, mpl_, mpx_, fld_;
    std::unique_ptr<MemTable> ownPln_, ownMpd_, ownPlf_;
    MemTable* pln_;
    MemTable* mpd_;
    MemTable* plf_;
    std::string fileName_;
    std::array<uint8_t, 4096> headerBlock_{};
    SkipSet* skip_ = nullptr;
    uint8_t daysPerYearType_ = 0;
    bool keyDateEditAllowed_ = false;
    int64_t pendingDeleteUkey_ = 0;
    std::set<int64_t> stepUkeys_, keyDateUkeys_;
    std::optional<int64_t> viewMaster_;
    std::string displayFormat_, entryFormat_;
    class MasterWatcher;
    std::unique_ptr<MasterWatcher> watcher_;
};

}  // namespace clx
