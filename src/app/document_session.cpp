#include "app/document_session.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>
#include <stdexcept>

#include <fmt/format.h>

#include "app/dataoptions.h"
#include "app/document_commands.h"
#include "files/codepage.h"
#include "files/skipfile.h"
#include "platform/format.h"
#include "output/plan_report.h"
#include "plans/plan_engine.h"
#include "plans/plan_sheet.h"
#include "platform/text.h"
#include "sheets/birthdays_sheet.h"
#include "sheets/chronology_sheet.h"
#include "sheets/interval_sheet.h"
#include "sheets/math_sheet.h"
#include "sheets/multiple_sheet.h"
#include "sheets/prorata_sheet.h"
#include "sheets/repeat_sheet.h"

namespace clx {

namespace {

constexpr int kDefaultDaysPerYear = 1;   // 365.25

constexpr SheetInfo kSheets[] = {
    {SheetKind::Interval, "interval", "Interval", "taOne", "taOne", soInterval},
    {SheetKind::Math, "math", "Math", "taMth", "taMth", soMath},
    {SheetKind::Multiple, "multiple", "Multiple", "taMul", "taMin", soMultiple},
    {SheetKind::Repeat, "repeat", "Repeat", "taRcr", "taRcr", soRepeat},
    {SheetKind::Chronology, "chronology", "Chronology", "taChr", "taChr", soChrono},
    {SheetKind::Birthdays, "birthdays", "Birthdays", "taSta", "taSta", soBirthday},
    {SheetKind::ProRata, "prorata", "Pro-rata", "taPro", "taPro", soProRata},
    {SheetKind::Plan, "plan", "Plan", "taPln", "", soPlan},
};

// ---- text to field values ------------------------------------------------------------------

[[noreturn]] void Refuse(const Field& f, std::string_view text, std::string_view why) {
    throw FieldValueError(fmt::format("{}: '{}' {}", f.Name(), text, why));
}

std::optional<int64_t> WholeNumber(std::string_view text) {
    std::string_view t = text;
    if (!t.empty() && t.front() == '+') t.remove_prefix(1);
    int64_t v = 0;
    const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
    if (t.empty() || ec != std::errc() || end != t.data() + t.size()) return std::nullopt;
    return v;
}

std::optional<double> DecimalNumber(std::string_view text) {
    std::string_view t = text;
    if (!t.empty() && t.front() == '+') t.remove_prefix(1);
    double v = 0;
    const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), v, std::chars_format::fixed);
    if (t.empty() || ec != std::errc() || end != t.data() + t.size() || !std::isfinite(v)) return std::nullopt;
    return v;
}

std::optional<bool> BooleanText(std::string_view text) {
    for (std::string_view yes : {"1", "true", "yes", "on"})
        if (SameTextNoCase(text, yes)) return true;
    for (std::string_view no : {"0", "false", "no", "off"})
        if (SameTextNoCase(text, no)) return false;
    return std::nullopt;
}

// hh:mm[:ss] as a fraction of a day.
std::optional<double> ClockTime(std::string_view text) {
    int part[3] = {0, 0, 0};
    int n = 0;
    size_t i = 0;
    while (n < 3) {
        size_t j = i;
        while (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j]))) ++j;
        if (j == i || j - i > 2) return std::nullopt;
        part[n++] = std::stoi(std::string(text.substr(i, j - i)));
        if (j == text.size()) break;
        if (text[j] != ':') return std::nullopt;
        i = j + 1;
    }
    if (n < 2 || i > text.size() || part[0] > 23 || part[1] > 59 || part[2] > 59) return std::nullopt;
    if (n == 3 && text.back() == ':') return std::nullopt;
    return (part[0] * 3600.0 + part[1] * 60.0 + part[2]) / 86400.0;
}

std::optional<double> DateText(std::string_view text, bool withTime, const Config& config) {
    std::string_view day = text, time;
    if (withTime) {
        const size_t t = text.find('T');
        if (t != std::string_view::npos) {
            day = text.substr(0, t);
            time = text.substr(t + 1);
        }
    }
    std::optional<TDateTime> d = ParseIsoDate(day);
    const bool isoShaped = day.size() == 10 && day[4] == '-' && day[7] == '-';
    if (!d && !isoShaped) d = ParseDate(day, config.DateEntryFormat(), config.GetLocale());
    if (!d) return std::nullopt;
    if (time.empty()) return *d;
    const auto fraction = ClockTime(time);
    if (!fraction) return std::nullopt;
    return *d + *fraction;
}

bool IsDecimalText(std::string_view text) {
    std::string_view t = text;
    if (!t.empty() && (t.front() == '-' || t.front() == '+')) t.remove_prefix(1);
    bool digits = false, point = false;
    for (char c : t) {
        if (std::isdigit(static_cast<unsigned char>(c))) digits = true;
        else if (c == '.' && !point) point = true;
        else return false;
    }
    return digits;
}

}  // namespace

std::span<const SheetInfo> DocumentSheets() { return kSheets; }

const SheetInfo& SheetInfoOf(SheetKind kind) {
    for (const SheetInfo& s : kSheets)
        if (s.kind == kind) return s;
    throw std::invalid_argument("unknown sheet");
}

const SheetInfo* FindSheet(std::string_view name) {
    if (SameTextNoCase(name, "pro-rata")) return &SheetInfoOf(SheetKind::ProRata);
    for (const SheetInfo& s : kSheets)
        if (SameTextNoCase(s.name, name)) return &s;
    return nullptr;
}

std::string SheetNames() {
    std::string out;
    for (const SheetInfo& s : kSheets) {
        if (!out.empty()) out += ", ";
        out += s.name;
    }
    return out;
}

std::string_view SheetCsvFields(SheetKind kind) {
    switch (kind) {
    case SheetKind::Interval: return IntervalCsvFields();
    case SheetKind::Math: return MathCsvFields();
    case SheetKind::Multiple: return MultipleCsvFields();
    case SheetKind::Repeat: return RepeatCsvFields();
    case SheetKind::Chronology: return ChronologyCsvFields();
    case SheetKind::Birthdays: return BirthdaysCsvFields();
    case SheetKind::ProRata: return ProRataCsvFields();
    case SheetKind::Plan: return "Date;Step;Who";
    }
    return {};
}

void SetFieldText(Field f, std::string_view text, const Config& config) {
    if (f.Kind() == FieldKind::Calculated) Refuse(f, text, "cannot be set: the field is calculated");
    if (f.Type() == FieldType::AutoInc) Refuse(f, text, "cannot be set: the field is numbered automatically");
    if (text.empty()) {
        f.Clear();
        return;
    }
    switch (f.Type()) {
    case FieldType::String:
    case FieldType::Memo:
    case FieldType::Blob: {
        const std::string stored = Utf8ToCp1252(text);
        if (Cp1252ToUtf8(stored) != text) Refuse(f, text, "has characters the document cannot keep");
        if (f.Type() == FieldType::String && stored.size() > static_cast<size_t>(f.Size()))
            Refuse(f, text, fmt::format("is {} characters long; the field holds {}", stored.size(), f.Size()));
        f.SetString(std::string(text));
        return;
    }
    case FieldType::SmallInt:
    case FieldType::Integer:
    case FieldType::Word:
    case FieldType::LargeInt: {
        const auto v = WholeNumber(text);
        if (!v) Refuse(f, text, "is not a whole number");
        int64_t lo = std::numeric_limits<int64_t>::min(), hi = std::numeric_limits<int64_t>::max();
        if (f.Type() == FieldType::SmallInt) lo = -32768, hi = 32767;
        if (f.Type() == FieldType::Word) lo = 0, hi = 65535;
        if (f.Type() == FieldType::Integer) lo = std::numeric_limits<int32_t>::min(), hi = std::numeric_limits<int32_t>::max();
        if (*v < lo || *v > hi) Refuse(f, text, fmt::format("is outside {} to {}", lo, hi));
        f.SetInteger(*v);
        return;
    }
    case FieldType::Boolean: {
        const auto v = BooleanText(text);
        if (!v) Refuse(f, text, "is not true or false");
        f.SetBoolean(*v);
        return;
    }
    case FieldType::Float:
    case FieldType::Currency: {
        const auto v = DecimalNumber(text);
        if (!v) Refuse(f, text, "is not a number (use a \".\" decimal point)");
        f.SetFloat(*v);
        return;
    }
    case FieldType::BCD:
        if (!IsDecimalText(text)) Refuse(f, text, "is not a number (use a \".\" decimal point)");
        f.SetString(std::string(text));
        return;
    case FieldType::Date:
    case FieldType::DateTime: {
        const auto v = DateText(text, f.Type() == FieldType::DateTime, config);
        if (!v)
            Refuse(f, text,
                   fmt::format("is not a valid date (use YYYY-MM-DD{} or {})",
                               f.Type() == FieldType::DateTime ? " or YYYY-MM-DDThh:mm:ss" : "",
                               config.DateEntryFormat()));
        f.SetDateTime(*v);
        return;
    }
    case FieldType::Time: {
        const auto v = ClockTime(text);
        if (!v) Refuse(f, text, "is not a time of day (use hh:mm or hh:mm:ss)");
        f.SetDateTime(*v);
        return;
    }
    case FieldType::AutoInc: break;
    }
    Refuse(f, text, "cannot be set");
}

void BatchUi::DoShowMessage(MessageKind kind, std::string_view, std::string_view text) {
    (kind == MessageKind::Error ? errors : messages).emplace_back(text);
}

// ---- DocumentSession -------------------------------------------------------------------------

DocumentSession::DocumentSession(Config config) : config_(std::move(config)) {
    auto options = std::make_unique<Options>();
    const ConfigFiles& f = config_.Files();
    const OptionsLoadReport r = LoadOptions(*options, f.options, f.defaultOptions);
    if (!r.Loaded()) {
        Note(fmt::format("the options cannot be read ({}); counting 365.25 days per year", r.error));
        options.reset();
    } else if (!r.HeaderLoaded() || !options->DaysPerYearType()) {
        Note(fmt::format("{} holds no days-per-year choice; counting 365.25 days per year", r.file.string()));
    }
    options_ = std::move(options);
    Attach();
}

// The configuration as the file choosers see it; a data folder added for a chosen file is
// written to the installation's options at once.
class DocumentSession::SessionFolders final : public SkipFileConfig {
public:
    explicit SessionFolders(DocumentSession& s) : s_(s) {}
    std::string ExpandPathMacros(std::string_view p) const override { return s_.config_.ExpandPathMacros(p); }
    std::string ContractPathMacros(std::string_view p) const override { return s_.config_.ContractPathMacros(p); }
    std::vector<std::string> DataFolderSearchList() const override { return s_.config_.DataFolders(); }
    bool AddDataFolderOf(std::string_view file) override {
        if (!s_.options_ || !s_.saveNewFolders_) return s_.config_.AddDataFolderOf(file);
        try {
            return clx::AddDataFolderOf(s_.config_, *s_.options_, file, nullptr);
        } catch (const std::exception& e) {
            s_.Note(fmt::format("the options cannot be saved ({})", e.what()));
            return false;
        }
    }
    std::string DateEntryFormat() const override { return s_.config_.DateEntryFormat(); }

private:
    DocumentSession& s_;
};

// The values the report titles merge.
class DocumentSession::TitleSource final : public TitleValues {
public:
    explicit TitleSource(DocumentSession& s) : s_(s) {}
    std::string CalcMethod() const override {
        const int m = ReadIntervalSettings(s_.doc_.header).calcMethod;
        const auto& items = CalcMethodItems();
        return m >= 0 && static_cast<size_t>(m) < items.size() ? items[static_cast<size_t>(m)] : std::string();
    }
    SkipFileState CalculatorSkipFile() const override {
        const SkipFileRef ref = s_.doc_.header.SkipRef(SkipSlot::Calculator);
        SkipFileState st;
        st.inUse = IsSkipActive(s_.skip_.get()) && !ref.fileName.empty();
        if (st.inUse) st.path = s_.config_.ExpandPathMacros(ref.fileName);
        return st;
    }
    SkipFileState PlanSkipFile() const override {
        const PlanSkipFileState p = s_.plan_->SkipFile();
        return {p.inUse, p.path};
    }
    TDateTime Today() const override { return s_.ctx_.Today(); }
    TDateTime AsAtDate() const override { return ReadChronologySettings(s_.doc_.header).dos; }
    std::string PlanName() const override { return s_.plan_->PlanName(); }
    std::string ReportDateText(TDateTime d) const override { return s_.config_.ReportDateText(d); }
    std::string ReportDateTextShort(TDateTime d) const override { return s_.config_.ReportDateTextShort(d); }

private:
    DocumentSession& s_;
};

DocumentSession::DocumentSession(Config config, std::unique_ptr<Options> options)
    : config_(std::move(config)), options_(std::move(options)) {
    Attach();
}

DocumentSession::~DocumentSession() {
    // The sheets take their handlers off the tables before the document goes.
    plan_.reset();
    planEngine_.reset();
    birthdays_.reset();
    chronology_.reset();
    proRata_.reset();
    repeat_.reset();
    multiple_.reset();
    math_.reset();
    interval_.reset();
}

void DocumentSession::Attach() {
    if (options_) {
        config_.SetPaths(options_->paths);
        // A choice the lists do not know means the system setting, as 0 does.
        config_.SetDateFormats(options_->DateEntryFormat().value_or(0));
        ctx_.daysPerYearType = options_->DaysPerYearType().value_or(kDefaultDaysPerYear);
    } else {
        config_.SetDateFormats(0);
        ctx_.daysPerYearType = kDefaultDaysPerYear;
    }
    doc_.SetPaths(DocumentPathsFrom(config_));

    skip_ = CreateSkipSet(std::make_shared<SkipFileRef>(), config_.DateEntryFormat());
    ctx_.locale = config_.GetLocale();
    ctx_.dateEntryFormat = config_.DateEntryFormat();
    ctx_.dateDisplayFormat = config_.DateDisplayFormat();
    ctx_.reportDateText = [this](TDateTime d) { return config_.ReportDateText(d); };
    ctx_.skip = skip_.get();
    ctx_.header = &doc_.header;
    ctx_.markModified = [this] { doc_.MarkModified(); };

    const TableMaker make = [this](const std::string& name) -> MemTable& { return doc_.Table(name); };
    interval_ = std::make_unique<IntervalSheet>(DefineIntervalTables(make), ctx_);
    math_ = std::make_unique<MathSheet>(DefineMathTables(make), ctx_);
    const MultipleTables mul = DefineMultipleTables(make);
    multiple_ = std::make_unique<MultipleSheet>(mul.taMin, mul.taMul, ctx_);
    repeat_ = std::make_unique<RepeatSheet>(DefineRepeatTables(make), ctx_);
    if (options_) repeat_->RefillDescriptions(options_->taAno);
    proRata_ = std::make_unique<ProRataSheet>(DefineProRataTables(make), ctx_);
    const ChronologyTables chr = DefineChronologyTables(make);
    chronology_ = std::make_unique<ChronologySheet>(chr.taChr, chr.taZon, ctx_, options_ ? &options_->taFmt : nullptr);
    birthdays_ = std::make_unique<BirthdaysSheet>(DefineBirthdayTables(make), ctx_);

    planConfig_ = std::make_unique<SessionFolders>(*this);
    planSkip_ = CreateSkipSet(std::make_shared<SkipFileRef>(), config_.DateEntryFormat());
    planEngine_ = std::make_unique<TPln>(DefinePlanTables(make), &planUi_);
    planEngine_->today = [this] { return ctx_.Today(); };
    plan_ = std::make_unique<PlanSheet>(*planEngine_, *planSkip_, *planConfig_, ctx_, &doc_.tools, &planUi_);
    plan_->calcModified = [this] { doc_.SetCalcModified(true); };
    titles_ = std::make_unique<TitleSource>(*this);

    doc_.hooks.clearSkipSelection = [this] {
        ResetSkipSet(*skip_);
        ClearSkipRules(*skip_, true);
    };
    doc_.hooks.headerToControls = [this] {
        ReloadSkipSet();
        plan_->HeaderToControls();
        TakePlanMessages();
    };
    doc_.hooks.afterLoad = [this] { multiple_->dbgMulUpdateFooter(); };
}

void DocumentSession::SetToday(std::function<TDateTime()> today) {
    ctx_.today = today;
    doc_.hooks.today = std::move(today);
}

LoadReport DocumentSession::Open(const std::string& fileName) {
    return doc_.Load(fileName);
}

void DocumentSession::NewDocument() {
    const std::string& templ = doc_.Paths().templateFile;
    try {
        doc_.Load(templ);
    } catch (const DocumentError&) {
        doc_.Clear();
        doc_.tools.ApplyOutputRecordRule(true);
        doc_.SetFileName(doc_.Paths().dataNewFile);
        doc_.SetNameUnconfirmed(true);
        ReloadSkipSet();
        throw;
    }
    doc_.ApplyNewDefaults(0);
    doc_.SetModified(false);
    doc_.SetCalcModified(false);
}

void DocumentSession::Save(const std::string& fileName) {
    doc_.PrepareSave();
    doc_.Save(fileName);
}

void DocumentSession::ReloadSkipSet() {
    const SkipFileRef ref = doc_.header.SkipRef(SkipSlot::Calculator);
    ResetSkipSet(*skip_);
    ClearSkipRules(*skip_, true);
    skip_->ref = std::make_shared<SkipFileRef>(ref);
    skip_->active = false;
    ctx_.invert = ref.invert;
    if (ref.fileName.empty()) return;
    SkipFileConfigOf<Config> adapter(config_);
    SkipReadReport report;
    if (LoadSkipFile(ref.fileName, skip_.get(), &adapter, &report)) {
        skip_->active = true;
        if (!report.Complete())
            Note(fmt::format("the skip-date file {} is damaged ({}); its readable rules are used",
                             config_.ExpandPathMacros(ref.fileName), report.Summary()));
    } else {
        // The reference stays in the document; only the dates are not skipped.
        Note(fmt::format("the skip-date file {} cannot be read{}; no dates are skipped",
                         config_.ExpandPathMacros(ref.fileName),
                         report.fileError.empty() ? std::string() : " (" + report.fileError + ")"));
    }
}

void DocumentSession::ShowResultPage(SheetKind kind) {
    ctx_.invert = doc_.header.Get(hdr::cbInvertSkip);
    switch (kind) {
    case SheetKind::Interval: interval_->nbCalcPageChanged(kIntervalGridPage); return;
    case SheetKind::Math: math_->nbMathPageChanged(kMathGridPage); return;
    case SheetKind::Multiple:
        try {
            multiple_->nbMulPageChanged(kMultipleResultPage);
        } catch (const std::invalid_argument& e) {
            Note(fmt::format("Multiple sheet: {}", e.what()));
        }
        return;
    case SheetKind::Repeat: doc_.Table(kRepeatTableName).Refresh(); return;
    case SheetKind::ProRata:
        try {
            proRata_->nbProPageChanged(ppResult);
        } catch (const std::invalid_argument& e) {
            Note(fmt::format("Pro-rata sheet: {}", e.what()));
        }
        return;
    case SheetKind::Chronology:
        chronology_->nbChrPageChanged(kChronologyGridPage);
        doc_.Table(kChronologyTableName).Refresh();
        return;
    case SheetKind::Birthdays: doc_.Table(kBirthdaysTableName).Refresh(); return;
    case SheetKind::Plan:
        try {
            plan_->RecalcPlan();
        } catch (const std::exception& e) {
            Note(fmt::format("Plan sheet: {}", e.what()));
        }
        TakePlanMessages();
        return;
    }
}

void DocumentSession::TakePlanMessages() {
    for (std::string& e : planUi_.errors) Note(fmt::format("Plan sheet: {}", e));
    planUi_.errors.clear();
    planUi_.messages.clear();
}

const TitleValues& DocumentSession::Titles() const { return *titles_; }

void DocumentSession::ChoosePlan(const std::optional<std::string>& file, std::optional<int32_t> number) {
    if (file) plan_->SelectPlanFile(*file, false);
    plan_->SelectPlanNumber(number.value_or(file ? -1 : doc_.header.Get(hdr::PlanUkey)));
    doc_.SetCalcModified(true);
    TakePlanMessages();
}

void DocumentSession::EnterKeyDates(const std::vector<FieldAssignment>& dates) {
    ShowResultPage(SheetKind::Plan);
    MemTable& keys = planEngine_->PlanKeyDates();
    std::vector<std::pair<uint64_t, std::string>> found;
    for (const auto& [name, text] : dates) {
        uint64_t id = 0;
        for (int i = 0; i < keys.RecordCount() && !id; ++i) {
            const auto* n = std::get_if<std::string>(&keys.RowValues(i)[static_cast<size_t>(keys.FieldIndex("Name"))]);
            if (n && SameTextNoCase(*n, name)) id = keys.RowRecordId(i);
        }
        if (!id) {
            std::string names;
            for (int i = 0; i < keys.RecordCount(); ++i) {
                const auto* n = std::get_if<std::string>(&keys.RowValues(i)[static_cast<size_t>(keys.FieldIndex("Name"))]);
                names += (names.empty() ? "" : ", ") + ("\"" + (n ? *n : std::string()) + "\"");
            }
            throw std::invalid_argument(keys.IsEmpty()
                                            ? fmt::format("the plan has no key date \"{}\" (no master plan is selected)", name)
                                            : fmt::format("the plan has no key date \"{}\"; its key dates are {}", name, names));
        }
        found.emplace_back(id, text);
    }
    // Checked on a copy first, so that a bad date changes nothing.
    for (const auto& [id, text] : found) {
        MemTable probe;
        DefineKeyDateFields(probe);
        probe.Append();
        SetFieldText(probe.FieldByName("Date"), text, config_);
        probe.Cancel();
    }
    for (const auto& [id, text] : found) {
        keys.GotoRecordId(id);
        keys.Edit();
        SetFieldText(keys.FieldByName("Date"), text, config_);
        keys.Post();
    }
    doc_.MarkModified();
    ShowResultPage(SheetKind::Plan);
}

void DocumentSession::SetPlanFieldValues(const std::vector<FieldAssignment>& values) {
    ShowResultPage(SheetKind::Plan);
    MemTable& fields = planEngine_->PlanFields();
    const size_t ni = static_cast<size_t>(fields.FieldIndex("Name"));
    auto nameAt = [&](int i) {
        const auto* n = std::get_if<std::string>(&fields.RowValues(i)[ni]);
        return n ? *n : std::string();
    };
    std::vector<std::pair<uint64_t, std::string>> found;
    for (const auto& [name, value] : values) {
        uint64_t id = 0;
        for (int i = 0; i < fields.RecordCount() && !id; ++i)
            if (SameTextNoCase(nameAt(i), name)) id = fields.RowRecordId(i);
        if (!id) {
            std::string names;
            for (int i = 0; i < fields.RecordCount(); ++i) names += (i ? ", \"" : "\"") + nameAt(i) + "\"";
            throw std::invalid_argument(fields.IsEmpty()
                                            ? fmt::format("the plan has no merge field \"{}\" (it has none)", name)
                                            : fmt::format("the plan has no merge field \"{}\"; its fields are {}", name, names));
        }
        if (value.size() > 4096) throw FieldValueError(fmt::format("Value: the text for \"{}\" is longer than 4096 characters", name));
        found.emplace_back(id, value);
    }
    for (const auto& [id, value] : found) {
        fields.GotoRecordId(id);
        fields.Edit();
        SetFieldText(fields.FieldByName("Value"), value, config_);
        fields.Post();
    }
    doc_.MarkModified();
    ShowResultPage(SheetKind::Plan);
}

RichText DocumentSession::PlanReport() {
    if (!plan_->HasMasterPlan()) throw std::runtime_error("no master plan is selected");
    MemTable& m = planEngine_->MasterPlans();
    if (m.FieldByName("RTF").AsString().empty())
        throw std::runtime_error(fmt::format("the master plan \"{}\" has no report template", plan_->PlanName()));
    MemTable noWords;
    MemTable* words = &noWords;
    if (options_) words = &options_->taWrd;
    else DefineTokenTable(noWords);
    DataTokenEngine engine(*words, config_.GetLocale());
    engine.SetClock([this] { return ctx_.Today(); });
    RichText result;
    MergePlanReport(engine, *plan_, result);
    return result;
}

void DocumentSession::RecalculateAll() {
    for (const SheetInfo& s : kSheets) ShowResultPage(s.kind);
    repeat_->Recalculate();
    try {
        chronology_->PrepareChronologyColumns();
    } catch (const std::exception& e) {
        Note(fmt::format("Chronology sheet: {}", e.what()));
    }
}

MemTable& DocumentSession::ShownTable(SheetKind kind) {
    return doc_.Table(SheetInfoOf(kind).table);
}

void DocumentSession::InsertRow(SheetKind kind, const std::vector<FieldAssignment>& values) {
    const SheetInfo& info = SheetInfoOf(kind);
    if (info.inputTable.empty())
        throw std::invalid_argument(fmt::format("the {} sheet's rows cannot be added here", info.caption));
    MemTable& t = doc_.Table(info.inputTable);
    if (t.FieldCount() == 0)
        throw std::invalid_argument(fmt::format("the {} sheet is not available in this build", info.caption));
    for (const auto& [name, text] : values)
        if (t.FieldIndex(name) < 0) {
            std::string fields;
            for (const FieldDef& d : t.Fields()) {
                if (d.kind == FieldKind::Calculated || d.type == FieldType::AutoInc) continue;
                if (!fields.empty()) fields += ", ";
                fields += d.name;
            }
            throw FieldValueError(fmt::format("{} has no field {} (its fields: {})", t.Name(), name, fields));
        }
    if (t.State() != TableState::Browse) t.Post();
    // The parties are typed on the page before the result, which drops the remainder row.
    if (kind == SheetKind::ProRata) proRata_->nbProPageChanged(ppInfo);
    t.Append();
    try {
        for (const auto& [name, text] : values) SetFieldText(t.FieldByName(name), text, config_);
    } catch (...) {
        t.Cancel();
        throw;
    }
    try {
        t.Post();
    } catch (const std::exception& e) {
        // The table's events refuse rows with their own errors (an unreadable time, say).
        if (t.State() != TableState::Browse) t.Cancel();
        if (dynamic_cast<const TableError*>(&e)) throw;
        throw TableError(e.what());
    }
    doc_.MarkModified();
    ShowResultPage(kind);
    if (kind == SheetKind::Repeat) repeat_->Recalculate();
}

int DocumentSession::InsertSeries() {
    BatchUi ui;
    ctx_.invert = doc_.header.Get(hdr::cbInvertSkip);
    const int added = repeat_->InsertSeries(ui);
    if (!ui.errors.empty()) {
        std::string text;
        for (const std::string& e : ui.errors) text += (text.empty() ? "" : " ") + e;
        for (char& c : text)
            if (c == '\n' || c == '\r') c = ' ';
        throw std::runtime_error(text);
    }
    return added;
}

}  // namespace clx
