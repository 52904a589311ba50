#pragma once
// A document with every sheet attached, as the main window holds it but without a window: the
// sheets define the document's tables, the sheet objects work over them with one context filled
// from the configuration, the installation's options and the calculator skip set (loaded from
// the skip-date file the document names), and each sheet's calculation runs as the window runs
// it when the sheet's result page is shown.
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/config.h"
#include "engine/skipset.h"
#include "files/document.h"
#include "files/options.h"
#include "files/skipfile.h"
#include "output/tokens.h"
#include "platform/ui.h"
#include "sheets/sheet_context.h"

namespace clx {

class IntervalSheet;
class MathSheet;
class MultipleSheet;
class RepeatSheet;
class ProRataSheet;
class ChronologySheet;
class BirthdaysSheet;
class PlanSheet;
class TPln;

enum class SheetKind { Interval, Math, Multiple, Repeat, Chronology, Birthdays, ProRata, Plan };

struct SheetInfo {
    SheetKind kind;
    std::string_view name;         // as typed on the command line: "interval", "pro-rata" ...
    std::string_view caption;      // the tab
    std::string_view table;        // the rows the result page shows
    std::string_view inputTable;   // the rows the user adds; empty when rows come from elsewhere
    int outputRecord;              // the sheet's output settings record
};

// Interval, Math, Multiple, Repeat, Chronology, Birthdays, Pro-rata, Plan.
std::span<const SheetInfo> DocumentSheets();
const SheetInfo& SheetInfoOf(SheetKind kind);
// By name without regard to case; "prorata" and "pro-rata" both name the Pro-rata sheet.
const SheetInfo* FindSheet(std::string_view name);
// The names joined by ", ".
std::string SheetNames();

// The fields of a sheet's delimited export, joined by ";".
std::string_view SheetCsvFields(SheetKind kind);

// A value typed for a field that the field cannot take; the message names the field.
class FieldValueError : public std::invalid_argument {
public:
    using std::invalid_argument::invalid_argument;
};

// Sets a data field of the row being edited from text: dates as YYYY-MM-DD (date-times also
// YYYY-MM-DDThh:mm[:ss]) or typed in the entry format; times hh:mm[:ss]; booleans true/false,
// yes/no, 1/0, on/off; whole numbers within the field's range; numbers with a "." decimal point;
// text within the field's size and code page. Empty text clears the field. Calculated and
// automatically numbered fields are refused.
void SetFieldText(Field field, std::string_view text, const Config& config);

// Messages of a session without a window: every question gets the answer given, and every
// error and information text is kept (line breaks in place) for the caller to show.
class BatchUi : public UiServices {
public:
    explicit BatchUi(ConfirmResult answer = ConfirmResult::Yes) : answer_(answer) {}
    std::vector<std::string> errors;
    std::vector<std::string> messages;   // inform and information

    std::optional<std::string> OpenFileDialog(const FileDialogOptions&) override { return std::nullopt; }
    std::optional<std::string> SaveFileDialog(const FileDialogOptions&) override { return std::nullopt; }
    void SetClipboardText(std::string_view) override {}
    std::string ClipboardText() override { return {}; }
    bool OpenDocument(std::string_view) override { return false; }
    bool ShowHelp(std::string_view, int) override { return false; }
    void ProcessMessages() override {}

protected:
    ConfirmResult DoConfirm(std::string_view, std::string_view) override { return answer_; }
    bool DoAsk(std::string_view, std::string_view) override { return answer_ == ConfirmResult::Yes; }
    void DoShowMessage(MessageKind kind, std::string_view, std::string_view text) override;
    void DoWait(std::chrono::milliseconds) override {}
    void ApplyCursor(Cursor) override {}

private:
    ConfirmResult answer_;
};

// A field name and the text typed for it.
using FieldAssignment = std::pair<std::string, std::string>;

class DocumentSession {
public:
    // The options are the installation's (options.dcz, else its factory copy); when neither can
    // be read the program's defaults are used and Notes() says so. Their days per year and date
    // entry format choice reach the sheets.
    explicit DocumentSession(Config config);
    // With the options given (null: the program's defaults, 365.25 days per year and the
    // system's date format), nothing is read from the installation.
    DocumentSession(Config config, std::unique_ptr<Options> options);
    ~DocumentSession();
    DocumentSession(const DocumentSession&) = delete;
    DocumentSession& operator=(const DocumentSession&) = delete;

    Document& Doc() { return doc_; }
    const Document& Doc() const { return doc_; }
    const Config& Cfg() const { return config_; }
    const SheetContext& Context() const { return ctx_; }
    SkipSet& CalculatorSkip() { return *skip_; }
    int DaysPerYearType() const { return ctx_.daysPerYearType; }
    const Options* InstalledOptions() const { return options_.get(); }
    void SetDaysPerYearType(int type) { ctx_.daysPerYearType = type; }
    // Today's date for the sheets and the new-document defaults (unset: the system's).
    void SetToday(std::function<TDateTime()> today);
    // Whether a data folder added for a master plan file chosen elsewhere is written to the
    // installation's options (the desktop does; the session alone only keeps it in memory).
    void SetSaveNewDataFolders(bool save) { saveNewFolders_ = save; }

    IntervalSheet& Interval() { return *interval_; }
    MathSheet& Math() { return *math_; }
    MultipleSheet& Multiple() { return *multiple_; }
    RepeatSheet& Repeat() { return *repeat_; }
    ProRataSheet& ProRata() { return *proRata_; }
    ChronologySheet& Chronology() { return *chronology_; }
    BirthdaysSheet& Birthdays() { return *birthdays_; }
    PlanSheet& Plan() { return *plan_; }
    TPln& PlanEngine() { return *planEngine_; }
    SkipSet& PlanSkip() { return *planSkip_; }

    // The Plan sheet's master plan menu: the file (when given) chosen as the menu chooses it,
    // which starts a new plan, then the master plan by its number (-1: none).
    void ChoosePlan(const std::optional<std::string>& file, std::optional<int32_t> number);
    // Key dates typed on the "Dates" page: the plan recalculated, each named key date (names
    // compared without regard to case) given its date, and the plan recalculated again.
    // Throws std::invalid_argument for a name the plan does not have (the message lists them)
    // and FieldValueError for a date that cannot be read; nothing changes then.
    void EnterKeyDates(const std::vector<FieldAssignment>& dates);
    // Values of the plan's merge fields by name (without regard to case); the plan is
    // recalculated first so that the fields are those of the selected master plan. Throws
    // std::invalid_argument for a name the plan does not have (the message lists them).
    void SetPlanFieldValues(const std::vector<FieldAssignment>& values);
    // The custom text report of the plan: the master plan's template merged with the plan's
    // tokens and the document's merge field values. Throws std::runtime_error when no master
    // plan is selected or it has no template.
    RichText PlanReport();
    // The values the report titles merge.
    const TitleValues& Titles() const;

    // Notes worth telling the user: options that could not be read, a skip-date file that
    // could not be loaded, a calculation that refused its settings. Taken by TakeNotes.
    const std::vector<std::string>& Notes() const { return notes_; }
    std::vector<std::string> TakeNotes() { return std::exchange(notes_, {}); }

    // Document::Load, then the calculator skip set reloaded from the header and the Multiple
    // footer updated. Throws DocumentError (DocumentMissingError) as Document::Load does.
    LoadReport Open(const std::string& fileName);
    // The New command without its question: the template with the new-document defaults, the
    // document named <DAT>/new.cxz and unmodified. Throws DocumentMissingError when the
    // template is missing and DocumentError when it cannot be read (the document is then empty).
    void NewDocument();
    // Pending edits posted, then Document::Save: backup of the existing file, atomic replace.
    // Throws DocumentError; the file on disk is then as it was before.
    void Save(const std::string& fileName);

    // The skip-date file named in the header loaded into the calculator skip set (active when
    // it could be read; the set stays inactive and a note is added otherwise), and the
    // "Invert" flag taken from the header.
    void ReloadSkipSet();

    // The calculation the window runs when the sheet's result page is shown: Interval and Math
    // recompute every row with the skip set and "Invert"; Multiple runs RecalcDates; Pro-rata
    // runs its share calculation; the other sheets recompute their calculated fields. A
    // calculation that refuses its settings adds a note.
    void ShowResultPage(SheetKind kind);
    // Every sheet's result page, the Repeat sheet's balances recomputed and the Chronology's
    // report columns (time since and until the next event, day numbers) filled.
    void RecalculateAll();

    // The table of the sheet's result page.
    MemTable& ShownTable(SheetKind kind);

    // Appends one row to the sheet's input table through its events (its new-row defaults,
    // then the values, then the post), then runs the sheet's calculation as RecalculateAll
    // does for it. Throws FieldValueError for a value or field the table cannot take,
    // TableError when the table refuses the row (nothing is added then; the message is the
    // table's), and std::invalid_argument for a sheet without an input table.
    void InsertRow(SheetKind kind, const std::vector<FieldAssignment>& values);

    // Insert Series with the document's settings; the number of rows added. The generator's
    // refusal is thrown as std::runtime_error (the series counter has advanced, as in the
    // window).
    int InsertSeries();

private:
    void Attach();
    void Note(std::string text) { notes_.push_back(std::move(text)); }

    Config config_;
    std::unique_ptr<Options> options_;
    Document doc_;
    std::unique_ptr<SkipSet> skip_;
    SheetContext ctx_;
    std::unique_ptr<IntervalSheet> interval_;
    std::unique_ptr<MathSheet> math_;
    std::unique_ptr<MultipleSheet> multiple_;
    std::unique_ptr<RepeatSheet> repeat_;
    std::unique_ptr<ProRataSheet> proRata_;
    std::unique_ptr<ChronologySheet> chronology_;
    std::unique_ptr<BirthdaysSheet> birthdays_;
    class SessionFolders;
    std::unique_ptr<SkipFileConfig> planConfig_;
    std::unique_ptr<SkipSet> planSkip_;
    std::unique_ptr<TPln> planEngine_;
    std::unique_ptr<PlanSheet> plan_;
    BatchUi planUi_;
    bool saveNewFolders_ = false;
    class TitleSource;
    std::unique_ptr<TitleValues> titles_;
    void TakePlanMessages();
    std::vector<std::string> notes_;
};

}  // namespace clx
