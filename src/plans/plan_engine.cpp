#include "plans/plan_engine.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <map>

#include "engine/period.h"
#include "engine/skipset.h"
#include "platform/text.h"

namespace clx {

namespace {

int64_t Int(MemTable& t, const char* field) { return t.FieldByName(field).AsInteger(); }

void PostQuietly(MemTable& t) {
    if (t.State() != TableState::Edit && t.State() != TableState::Insert) return;
    try {
        t.Post();
    } catch (...) {
    }
}

}  // namespace

// ---- Field layouts ------------------------------------------------------------------------

void DefineMenuFields(MemTable& t) {
    t.AddField("Ukey", FieldType::Integer);
    t.AddField("Name", FieldType::String, 48);
    t.AddField("Use", FieldType::Boolean);
    t.SetSortField("Ukey");
}

void DefineMasterPlanFields(MemTable& t) {
    t.AddField("Ukey", FieldType::Integer);
    t.AddField("Name", FieldType::String, 48);
    t.AddField("Use", FieldType::Boolean);
    t.AddField("SkipStyle", FieldType::Integer);
    t.AddField("SkipFName", FieldType::String, 240);
    t.AddField("CsvRefDates", FieldType::String, 1024);
    t.AddField("QtyRefDates", FieldType::Integer);
    t.AddField("RTF", FieldType::Blob);
    t.AddField("Description", FieldType::Blob);
    t.AddField("RTFActive", FieldType::Boolean);
    t.AddField("Who", FieldType::Memo);
    t.AddField("Invert", FieldType::Boolean);
    t.AddField("AstroChoice", FieldType::SmallInt);
    t.AddField("TwilightChoice", FieldType::SmallInt);
    t.SetSortField("Ukey");
}

void DefineStepFields(MemTable& t) {
    t.AddField("Step", FieldType::String, 80);
    t.AddField("Who", FieldType::String, 32);
    t.AddField("Date", FieldType::DateTime);
    t.AddField("Lock", FieldType::Boolean);
    t.AddField("mUkey", FieldType::Integer);
    t.AddField("No", FieldType::String, 12);
    t.AddField("Days", FieldType::Integer);
    t.AddField("Months", FieldType::Integer);
    t.AddField("Years", FieldType::Integer);
    t.AddField("Relativity", FieldType::SmallInt);
    t.AddField("RelativeTo", FieldType::Integer);
    t.AddField("Use", FieldType::Boolean);
    t.AddField("Skipping", FieldType::Integer);
    t.AddField("Ukey", FieldType::Integer);
    t.AddField("Master", FieldType::Integer);
    t.AddField("Order", FieldType::Integer);
    t.AddField("itemp", FieldType::Integer);
    t.AddField("Origin", FieldType::SmallInt);
    t.AddField("Astro", FieldType::String, 255);
    t.AddField("Twilight", FieldType::Time, 0, FieldKind::Calculated);
    t.AddField("Series", FieldType::Integer);
    t.SetSortField("Date");
}

void DefineKeyDateFields(MemTable& t) {
    t.AddField("Name", FieldType::String, 48);
    t.AddField("Date", FieldType::DateTime);
    t.AddField("mUkey", FieldType::Integer);
    t.AddField("Ukey", FieldType::Integer);
    t.AddField("Master", FieldType::Integer);
    t.AddField("Status", FieldType::Integer);
    t.AddField("RelativeTo", FieldType::Integer);
    t.AddField("xdate", FieldType::DateTime);
    t.SetSortField("Date");
}

void DefineMergeFieldFields(MemTable& t) {
    t.AddField("Name", FieldType::String, 32);
    t.AddField("Value", FieldType::String, 4096);
    t.AddField("Master", FieldType::Integer);
    t.SetSortField("Name");
}

// ---- The "Edit Options" dialog --------------------------------------------------------------

const std::array<const char*, 3> EditOptionsDialog::kChoices{
    "Cancel changes & press Esc", "Proceed and lock", "Proceed, but don't lock"};

const std::vector<std::string> EditOptionsDialog::kParagraphs{
    "You are trying to change a step that corresponds to a key reference date.",
    "If you want to change the date then you should go back to the dates screen and change it there, "
    "otherwise the change will not flow through to the other steps.",
    "If you do not want the change to flow through to the other steps then you should lock the record, "
    "otherwise the edit will be lost as soon as the plan is recalculated. Therefore, choose",
    "If you want to change the text then it is best to go back to the Master Plan and change it there, "
    "otherwise the change will not persist when recalculated.",
    "If you do not want the change to flow through to the other steps then you should still lock the "
    "record, otherwise the edit will be lost as soon as the plan is recalculated. Therefore, choose",
    "Cancel changes & press Esc / To discontinue the attempted edit and make the changes elsewhere. You "
    "will have to press the Esc key.",
    "Proceed and lock / Make the changes, but lock the record so it the edits will survive recalculations.",
    "Proceed, but don't lock / Make the changes, but leave them susceptible to loss when recalculated.",
};

std::string EditOptionsDialog::ExplanationRtf() {
    std::string rtf =
        "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Verdana;}}{\\colortbl;\\red255\\green0\\blue0;}\\f0\\fs16 ";
    auto emphasise = [](std::string text, std::string_view phrase, std::string_view on, std::string_view off) {
        const size_t at = text.find(phrase);
        if (at == std::string::npos) return text;
        return text.substr(0, at) + std::string(on) + std::string(phrase) + std::string(off) +
               text.substr(at + phrase.size());
    };
    for (size_t i = 0; i < kParagraphs.size(); ++i) {
        std::string p = kParagraphs[i];
        if (i == 0) {
            p = "\\cf1\\b " + p + "\\b0\\cf0 ";
        } else if (i >= 5) {
            const std::string name = kChoices[i - 5];
            p = "\\ul " + name + "\\ulnone " + p.substr(name.size());
        } else {
            p = emphasise(p, "change the date", "\\b ", "\\b0 ");
            p = emphasise(p, "change the text", "\\b ", "\\b0 ");
        }
        rtf += p + "\\par ";
    }
    rtf += "}";
    return rtf;
}

// ---- The engine -------------------------------------------------------------------------------

// Keeps the detail views on the current master plan as the master plan table moves.
class TPln::MasterWatcher : public TableObserver {
public:
    explicit MasterWatcher(TPln& e) : e_(e) {}
    void DataChanged(MemTable&) override { Check(); }
    void Scrolled(MemTable&) override { Check(); }
    void StateChanged(MemTable&) override { Check(); }
private:
    void Check() {
        if (busy_) return;
        if (e_.CurrentMaster() == e_.viewMaster_) return;
        busy_ = true;
        try {
            e_.ApplyViews();
        } catch (...) {
            busy_ = false;
            throw;
        }
        busy_ = false;
    }
    TPln& e_;
    bool busy_ = false;
};

TPln::TPln(UiServices* ui) : TPln(DocumentTables{}, ui) {}

TPln::TPln(DocumentTables doc, UiServices* ui) : ui_(ui) {
    mnu_ = std::make_unique<MemTable>(kMenuTableName);
    stm_ = std::make_unique<MemTable>(kMasterPlanTableName);
    mpl_ = std::make_unique<MemTable>(kMasterStepTableName);
    mpx_ = std::make_unique<MemTable>(kMasterKeyDateTableName);
    fld_ = std::make_unique<MemTable>(kMasterFieldTableName);
    DefineMenuFields(*mnu_);
    DefineMasterPlanFields(*stm_);
    DefineStepFields(*mpl_);
    DefineKeyDateFields(*mpx_);
    DefineMergeFieldFields(*fld_);

    auto own = [](MemTable* given, std::unique_ptr<MemTable>& store, const char* name,
                  void (*define)(MemTable&)) -> MemTable* {
        if (!given) {
            store = std::make_unique<MemTable>(name);
            given = store.get();
        }
        if (given->FieldCount() == 0) define(*given);
        return given;
    };
    pln_ = own(doc.steps, ownPln_, kPlanStepTableName, DefineStepFields);
    mpd_ = own(doc.keyDates, ownMpd_, kPlanKeyDateTableName, DefineKeyDateFields);
    plf_ = own(doc.fields, ownPlf_, kPlanFieldTableName, DefineMergeFieldFields);

    InstallHandlers();
    watcher_ = std::make_unique<MasterWatcher>(*this);
    stm_->AddObserver(watcher_.get());
    ApplyDateFormats("ddd mm/dd/yyyy", "mm/dd/yyyy");
    Reset();
}

TPln::~TPln() {
    stm_->RemoveObserver(watcher_.get());
    // The document's tables outlive the engine: take its handlers off them.
    for (MemTable* t : {pln_, mpd_, plf_}) {
        t->handlers = TableHandlers{};
        if (t->Filtered()) t->SetFiltered(false);
    }
}

void TPln::SetFileName(std::string name) {
    if (name.size() > 255) name.resize(255);
    fileName_ = std::move(name);
}

bool TPln::SkipInvert() const { return clx::SkipInvert(skip_); }

TDateTime TPln::Today() const {
    if (today) return today();
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    return EncodeDate(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
}

std::optional<int64_t> TPln::CurrentMaster() const {
    if (stm_->IsEmpty()) return std::nullopt;
    return stm_->FieldByName("Ukey").AsInteger();
}

bool TPln::InMaster(MemTable& t) const {
    return viewMaster_ && t.FieldByName("Master").AsInteger() == *viewMaster_;
}

void TPln::ApplyViews() {
    viewMaster_ = CurrentMaster();
    for (MemTable* t : {mpl_.get(), mpx_.get(), fld_.get(), mpd_}) t->Refresh();
}

void TPln::RequireMasterPlan() {
    if (stm_->IsEmpty()) throw TableError(kNoMasterPlanYet);
    PostQuietly(*stm_);
}

void TPln::InstallHandlers() {
    const auto resort = [](MemTable& t) { ResortKeepingRow(t); };
    const auto refresh = [](MemTable& t) { t.Refresh(); };
    const auto master = [this]() -> int64_t { return CurrentMaster().value_or(0); };

    // Master plans.
    auto& hs = stm_->handlers;
    hs.onNewRecord = [this](MemTable& t) {
        // The record number unless a master plan (or the merge fields a deleted one left
        // behind) already has it; then the smallest number nobody has.
        std::set<int64_t> used;
        for (int i = 0; i < t.RecordCount(); ++i) {
            const Value& v = t.RowValues(i)[static_cast<size_t>(t.FieldIndex("Ukey"))];
            if (auto p = std::get_if<int64_t>(&v)) used.insert(*p);
        }
        {
            HandlerSuspension s(*fld_);
            const int mi = fld_->FieldIndex("Master");
            for (int i = 0; i < fld_->RecordCount(); ++i)
                if (auto p = std::get_if<int64_t>(&fld_->RowValues(i)[static_cast<size_t>(mi)])) used.insert(*p);
        }
        int64_t ukey = t.RecordNumber();
        if (ukey < 1 || used.count(ukey)) {
            ukey = 1;
            while (used.count(ukey)) ++ukey;
        }
        t.FieldByName("Ukey").SetInteger(ukey);
        t.FieldByName("RTFActive").SetBoolean(true);
        t.FieldByName("Invert").SetBoolean(false);
        for (const char* f : {"SkipStyle", "AstroChoice", "TwilightChoice", "QtyRefDates"})
            t.FieldByName(f).SetInteger(0);
        t.FieldByName("Use").SetBoolean(true);
        t.FieldByName("Who").SetString(kNewMasterPlanWho);
        t.FieldByName("Name").SetString(kNewMasterPlanName);
    };
    hs.beforeDelete = [this](MemTable& t) { pendingDeleteUkey_ = t.FieldByName("Ukey").AsInteger(); };
    hs.afterDelete = [this](MemTable&) {
        if (pendingDeleteUkey_ > 0) {
            DeleteDetailRows(*mpx_, pendingDeleteUkey_);
            DeleteDetailRows(*mpl_, pendingDeleteUkey_);
        }
        pendingDeleteUkey_ = 0;
    };
    hs.afterPost = resort;

    const auto filter = [this](MemTable& t) { return InMaster(t); };

    // Master steps.
    auto& hl = mpl_->handlers;
    hl.onNewRecord = [master](MemTable& t) {
        for (const char* f : {"Origin", "Days", "Skipping", "Months", "Years", "Relativity", "RelativeTo", "mUkey"})
            t.FieldByName(f).SetInteger(0);
        t.FieldByName("Master").SetInteger(master());
        t.FieldByName("Use").SetBoolean(true);
        t.FieldByName("Lock").SetBoolean(false);
        t.FieldByName("Step").SetString(kNewStepText);
    };
    hl.beforeInsert = [this](MemTable&) { RequireMasterPlan(); };
    hl.beforePost = [this](MemTable& t) {
        if (Int(t, "Ukey") <= 0) {
            const int64_t n = NextStepUkey(false);
            t.FieldByName("Ukey").SetInteger(n);
            stepUkeys_.insert(n);
        }
        t.FieldByName("Date").SetDateTime(
            AddRelativePeriod(t, *mpx_, daysPerYearType_, "Ukey", SkipInvert(), skip_));
    };
    hl.afterPost = resort;
    hl.afterDelete = refresh;
    hl.onFilterRecord = filter;

    // Master key dates.
    auto& hx = mpx_->handlers;
    hx.onNewRecord = [this, master](MemTable& t) {
        t.FieldByName("Master").SetInteger(master());
        t.FieldByName("Date").SetDateTime(Today());
    };
    hx.beforeInsert = [this](MemTable&) { RequireMasterPlan(); };
    const auto numberKeyDate = [this](MemTable& t) {
        if (Int(t, "Ukey") <= 0) {
            const int64_t n = NextKeyDateUkey(false);
            t.FieldByName("Ukey").SetInteger(n);
            keyDateUkeys_.insert(n);
        }
    };
    hx.beforePost = numberKeyDate;
    hx.beforeDelete = [this](MemTable& t) {
        const int64_t ukey = Int(t, "Ukey");
        const int ri = mpl_->FieldIndex("RelativeTo");
        for (int i = 0; i < mpl_->RecordCount(); ++i) {
            auto p = std::get_if<int64_t>(&mpl_->RowValues(i)[static_cast<size_t>(ri)]);
            if (p && *p == ukey) {
                if (ui_) ui_->Error(kKeyDateInUse);
                throw TableAbort();
            }
        }
    };
    hx.afterPost = resort;
    hx.onFilterRecord = filter;

    // Master merge fields.
    auto& hf = fld_->handlers;
    hf.onNewRecord = [master](MemTable& t) { t.FieldByName("Master").SetInteger(master()); };
    hf.beforeInsert = [this](MemTable&) { RequireMasterPlan(); };
    hf.afterDelete = refresh;
    hf.afterPost = resort;
    hf.onFilterRecord = filter;

    // Plan key dates.
    auto& hd = mpd_->handlers;
    hd.onNewRecord = hx.onNewRecord;
    hd.beforePost = numberKeyDate;
    const auto fixed = [this](MemTable&) {
        if (!keyDateEditAllowed_) throw TableError(kPlanKeyDatesFixed);
    };
    hd.beforeInsert = fixed;
    hd.beforeDelete = fixed;
    hd.afterPost = resort;
    hd.onFilterRecord = filter;

    // Plan steps.
    auto& hp = pln_->handlers;
    hp.onNewRecord = [](MemTable& t) {
        for (const char* f : {"Origin", "Days", "Skipping", "Months", "Years", "Relativity", "RelativeTo", "mUkey"})
            t.FieldByName(f).SetInteger(0);
        t.FieldByName("Use").SetBoolean(true);
        t.FieldByName("Lock").SetBoolean(true);
        t.FieldByName("Step").SetString(kNewStepText);
    };
    hp.beforePost = [this](MemTable& t) {
        if (Int(t, "mUkey") >= 0) return;
        EditOptionsDialog dialog;
        if (ui_) ui_->ShowModal(dialog);
        switch (dialog.choice) {
        case EditOptionsDialog::ProceedAndLock: t.FieldByName("Lock").SetBoolean(true); break;
        case EditOptionsDialog::ProceedUnlocked: t.FieldByName("Lock").SetBoolean(false); break;
        default: throw TableAbort();
        }
    };
    hp.afterPost = resort;

    // Merge field values.
    plf_->handlers.afterDelete = refresh;
    plf_->handlers.afterPost = resort;

    for (MemTable* t : {mpl_.get(), mpx_.get(), fld_.get(), mpd_}) t->SetFiltered(true);
}

void TPln::DeleteDetailRows(MemTable& t, int64_t masterUkey) {
    HandlerSuspension s(t);
    const int mi = t.FieldIndex("Master");
    for (int i = t.RecordCount(); i-- > 0;) {
        auto p = std::get_if<int64_t>(&t.RowValues(i)[static_cast<size_t>(mi)]);
        if (!p || *p != masterUkey) continue;
        t.SetRecNo(i + 1);
        t.Delete();
    }
}

void TPln::Reset() {
    fileName_.clear();
    pendingDeleteUkey_ = 0;
    headerBlock_.fill(0);
    for (MemTable* t : {mnu_.get(), stm_.get(), mpl_.get(), mpx_.get(), pln_, mpd_}) {
        if (t->State() != TableState::Browse) t->Cancel();
        t->EmptyTable();
    }
    stepUkeys_.clear();
    keyDateUkeys_.clear();
    ApplyViews();
}

bool TPln::LocateMaster(int64_t ukey) {
    bool found = false;
    if (!stm_->IsEmpty()) {
        PostQuietly(*stm_);
        const int ui = stm_->FieldIndex("Ukey");
        for (int i = 0; i < stm_->RecordCount(); ++i) {
            auto p = std::get_if<int64_t>(&stm_->RowValues(i)[static_cast<size_t>(ui)]);
            if (p && *p == ukey) {
                stm_->SetRecNo(i + 1);
                found = true;
                break;
            }
        }
        if (!found) stm_->Last();
    }
    ApplyViews();
    return found;
}

void TPln::PostAll() {
    for (MemTable* t : {mnu_.get(), stm_.get(), mpl_.get(), mpx_.get(), mpd_, pln_}) PostQuietly(*t);
}

void TPln::RefreshAll() {
    mnu_->Refresh();
    stm_->Refresh();
    ApplyViews();
    pln_->Refresh();
}

void TPln::RebuildMenuTable() {
    PostQuietly(*stm_);
    std::vector<std::vector<Value>> rows;
    const int ui = stm_->FieldIndex("Ukey"), ni = stm_->FieldIndex("Name"), usei = stm_->FieldIndex("Use");
    for (int i = 0; i < stm_->RecordCount(); ++i) {
        const auto& v = stm_->RowValues(i);
        auto use = std::get_if<bool>(&v[static_cast<size_t>(usei)]);
        if (!use || !*use) continue;
        rows.push_back({v[static_cast<size_t>(ui)], v[static_cast<size_t>(ni)], std::monostate{}});
    }
    if (mnu_->State() != TableState::Browse) mnu_->Cancel();
    mnu_->LoadRows(std::move(rows));
}

void TPln::ApplyDateFormats(const std::string& displayFormat, const std::string& entryFormat) {
    displayFormat_ = displayFormat;
    entryFormat_ = entryFormat;
}

std::string TPln::DateColumnTitle(const MemTable& table) const {
    if (&table == mpx_.get()) return "Example Date~" + entryFormat_;
    if (&table == mpl_.get()) return "Date~" + entryFormat_;
    return "Date~" + displayFormat_;
}

TDateTime TPln::KeyDateValue(int64_t key, MemTable& keyDates, const std::string& keyField) {
    if (keyDates.IsEmpty()) return 0;
    auto matches = [&] {
        Field f = keyDates.FieldByName(keyField);
        return !f.IsNull() && f.AsInteger() == key;
    };
    if (keyDates.State() == TableState::Browse && matches()) return keyDates.FieldByName("Date").AsDateTime();
    for (int i = 1; i <= keyDates.RecordCount(); ++i) {
        keyDates.SetRecNo(i);
        if (matches()) return keyDates.FieldByName("Date").AsDateTime();
    }
    return 0;
}

TDateTime TPln::AddRelativePeriod(MemTable& step, MemTable& keyDates, int daysPerYearType,
                                  const std::string& keyField, bool invert, const SkipSet* skip) {
    const int64_t relativeTo = Int(step, "RelativeTo");
    const TDateTime key = KeyDateValue(relativeTo, keyDates, keyField);
    const bool before = Int(step, "Relativity") == srBefore;
    // A step marked "Don't Skip Dates" counts calendar days whatever the plan's rules.
    if (Int(step, "Skipping") == 1) skip = nullptr;
    auto clampInt = [](int64_t v) {
        return static_cast<int>(std::clamp<int64_t>(v, -10000000, 10000000));
    };
    return AddPeriod(key, clampInt(Int(step, "Years")), clampInt(Int(step, "Months")), clampInt(Int(step, "Days")),
                     before, skip, invert, daysPerYearType);
}

int64_t TPln::NextFree(std::set<int64_t>& list, MemTable& table, bool rebuild) {
    if (rebuild) {
        HandlerSuspension s(table);
        list.clear();
        const int ui = table.FieldIndex("Ukey");
        for (int i = 0; i < table.RecordCount(); ++i)
            if (auto p = std::get_if<int64_t>(&table.RowValues(i)[static_cast<size_t>(ui)])) list.insert(*p);
    }
    int64_t n = 1;
    for (auto it = list.lower_bound(1); it != list.end() && *it == n && n <= kMaxPlanNumber; ++it) ++n;
    return n > kMaxPlanNumber ? 0 : n;
}

int64_t TPln::NextStepUkey(bool rebuild) { return NextFree(stepUkeys_, *mpl_, rebuild); }
int64_t TPln::NextKeyDateUkey(bool rebuild) { return NextFree(keyDateUkeys_, *mpx_, rebuild); }

std::vector<TPln::KeyDateChoice> TPln::FillKeyDateChoices(MemTable& keyDates) {
    if (keyDates.IsEmpty()) {
        keyDates.Append();
        keyDates.FieldByName("Name").SetString(kFinishDateName);
        keyDates.Post();
    }
    std::vector<KeyDateChoice> out;
    const int ni = keyDates.FieldIndex("Name"), ui = keyDates.FieldIndex("Ukey");
    for (int i = 0; i < keyDates.RecordCount(); ++i) {
        const auto& v = keyDates.RowValues(i);
        auto name = std::get_if<std::string>(&v[static_cast<size_t>(ni)]);
        if (!name || name->empty()) continue;
        const auto p = std::get_if<int64_t>(&v[static_cast<size_t>(ui)]);
        const int64_t ukey = p ? *p : 0;
        out.push_back({*name + "\t" + std::to_string(ukey), ukey});
    }
    return out;
}

void TPln::RecomputeExampleDates(MemTable& steps, MemTable& keyDates, std::vector<KeyDateChoice>* choices) {
    if (keyDates.IsEmpty()) {
        keyDates.Append();
        keyDates.FieldByName("Name").SetString(kFinishDateName);
        keyDates.Post();
        std::vector<KeyDateChoice> c = FillKeyDateChoices(keyDates);
        if (choices) *choices = std::move(c);
    }
    const std::string sort = steps.SortField();
    const bool desc = steps.SortDescending(), ci = steps.SortCaseInsensitive();
    const uint64_t current = steps.RecordId();
    steps.SetSortField(kRecordNumberField);
    struct Restore {
        MemTable& t;
        std::string sort;
        bool desc, ci;
        uint64_t id;
        ~Restore() {
            try {
                if (t.State() != TableState::Browse) t.Cancel();
                t.SetSortField(sort, desc, ci);
                if (id) t.GotoRecordId(id);
            } catch (...) {
            }
        }
    } restore{steps, sort, desc, ci, current};
    const TDateTime now = static_cast<TDateTime>(std::time(nullptr)) / 86400.0 + 25569.0;
    for (uint64_t id : VisibleRowIds(steps)) {
        if (!steps.GotoRecordId(id)) continue;
        steps.Edit();
        steps.FieldByName("Date").SetDateTime(now);
        steps.Post();
    }
}

void TPln::MergeKeyDateNames(std::string_view names, MemTable& steps, MemTable& keyDates) {
    // Names split at ";" or "," outside double quotes; quotes dropped, names trimmed.
    std::vector<std::string> list;
    std::string cur;
    bool quoted = false;
    auto flush = [&] {
        const auto b = cur.find_first_not_of(" \t\r\n");
        const auto e = cur.find_last_not_of(" \t\r\n");
        if (b != std::string::npos) list.push_back(cur.substr(b, e - b + 1));
        cur.clear();
    };
    for (char c : names) {
        if (c == '"') quoted = !quoted;
        else if (!quoted && (c == ';' || c == ',')) flush();
        else cur += c;
    }
    flush();

    std::set<int64_t> used;
    const int ri = steps.FieldIndex("RelativeTo");
    for (int i = 0; i < steps.RecordCount(); ++i)
        if (auto p = std::get_if<int64_t>(&steps.RowValues(i)[static_cast<size_t>(ri)])) used.insert(*p);
    const int ui = keyDates.FieldIndex("Ukey");
    for (int i = keyDates.RecordCount(); i-- > 0;) {
        auto p = std::get_if<int64_t>(&keyDates.RowValues(i)[static_cast<size_t>(ui)]);
        if (p && used.count(*p)) continue;
        keyDates.SetRecNo(i + 1);
        keyDates.Delete();
    }
    std::set<std::string> have;
    const int ni = keyDates.FieldIndex("Name");
    for (int i = 0; i < keyDates.RecordCount(); ++i)
        if (auto p = std::get_if<std::string>(&keyDates.RowValues(i)[static_cast<size_t>(ni)])) have.insert(LowerAsciiText(*p));
    for (const std::string& name : list) {
        if (have.count(LowerAsciiText(name))) continue;
        try {
            keyDates.Append();
            keyDates.FieldByName("Name").SetString(name);
            keyDates.Post();
            have.insert(LowerAsciiText(name));
        } catch (...) {
            if (keyDates.State() != TableState::Browse) keyDates.Cancel();
        }
    }
    keyDates.First();
}

void TPln::MarkUsedKeyDates(MemTable& steps, MemTable& keyDates, const std::string& keyField) {
    std::set<int64_t> used;
    {
        const int ri = steps.FieldIndex("RelativeTo");
        for (int i = 0; i < steps.RecordCount(); ++i)
            if (auto p = std::get_if<int64_t>(&steps.RowValues(i)[static_cast<size_t>(ri)])) used.insert(*p);
    }
    for (uint64_t id : VisibleRowIds(keyDates)) {
        if (!keyDates.GotoRecordId(id)) continue;
        Field f = keyDates.FieldByName(keyField);
        const bool isUsed = !f.IsNull() && used.count(f.AsInteger());
        keyDates.Edit();
        keyDates.FieldByName("Status").SetInteger(isUsed ? 1 : 0);
        keyDates.Post();
    }
    ResortKeepingRow(keyDates);
}

std::vector<std::string> TPln::WhoChoices() {
    std::vector<std::string> out;
    if (stm_->IsEmpty()) return out;
    const std::string who = stm_->FieldByName("Who").AsString();
    size_t start = 0;
    while (start <= who.size()) {
        size_t end = who.find('\n', start);
        if (end == std::string::npos) end = who.size();
        std::string line = who.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) out.push_back(line);
        start = end + 1;
    }
    return out;
}

void TPln::Recalculate(int daysPerYearType, const SkipSet* skip, bool invert) {
    BusyCursor busy(ui_);
    PostAll();

    // 1. The user's key dates, carried by the master key dates.
    std::map<int64_t, TDateTime> entered;
    {
        const int mi = mpd_->FieldIndex("mUkey"), di = mpd_->FieldIndex("Date");
        for (int i = 0; i < mpd_->RecordCount(); ++i) {
            const auto& v = mpd_->RowValues(i);
            auto m = std::get_if<int64_t>(&v[static_cast<size_t>(mi)]);
            if (!m) continue;
            auto d = std::get_if<double>(&v[static_cast<size_t>(di)]);
            entered.emplace(*m, d ? std::trunc(*d) : 0.0);
        }
    }
    if (!entered.empty()) {
        for (uint64_t id : VisibleRowIds(*mpx_)) {
            if (!mpx_->GotoRecordId(id)) continue;
            auto it = entered.find(Int(*mpx_, "Ukey"));
            if (it == entered.end()) continue;
            mpx_->Edit();
            mpx_->FieldByName("xdate").SetDateTime(it->second);
            mpx_->Post();
        }
    }

    // 2. The plan key dates afresh from the master key dates.
    {
        struct Allow {
            bool& flag;
            explicit Allow(bool& f) : flag(f) { flag = true; }
            ~Allow() { flag = false; }
        } allow(keyDateEditAllowed_);
        while (!mpd_->IsEmpty()) {
            mpd_->First();
            mpd_->Delete();
        }
        struct KeyDate { int64_t ukey; TDateTime date; std::string name; };
        std::vector<KeyDate> masters;
        for (int i = 1; i <= mpx_->RecordCount(); ++i) {
            mpx_->SetRecNo(i);
            const TDateTime x = mpx_->FieldByName("xdate").AsDateTime();
            masters.push_back({Int(*mpx_, "Ukey"), x > 0 ? x : mpx_->FieldByName("Date").AsDateTime(),
                               mpx_->FieldByName("Name").AsString()});
        }
        for (const KeyDate& k : masters) {
            mpd_->Append();
            mpd_->FieldByName("mUkey").SetInteger(k.ukey);
            mpd_->FieldByName("Date").SetDateTime(k.date);
            mpd_->FieldByName("RelativeTo").SetInteger(k.ukey);
            mpd_->FieldByName("Name").SetString(k.name);
            mpd_->Post();
        }
        ResortKeepingRow(*mpd_);
        mpd_->First();
    }

    // 3. The merge field values, carried by name.
    {
        std::vector<std::pair<std::string, std::string>> notes;
        const int ni = plf_->FieldIndex("Name"), vi = plf_->FieldIndex("Value");
        for (int i = 0; i < plf_->RecordCount(); ++i) {
            const auto& v = plf_->RowValues(i);
            auto n = std::get_if<std::string>(&v[static_cast<size_t>(ni)]);
            auto val = std::get_if<std::string>(&v[static_cast<size_t>(vi)]);
            notes.emplace_back(n ? *n : std::string(), val ? *val : std::string());
        }
        if (!notes.empty()) {
            for (uint64_t id : VisibleRowIds(*fld_)) {
                if (!fld_->GotoRecordId(id)) continue;
                const std::string name = fld_->FieldByName("Name").AsString();
                const bool noted = std::any_of(notes.begin(), notes.end(), [&](auto& p) { return p.first == name; });
                if (!noted) continue;
                auto first = std::find_if(notes.begin(), notes.end(), [&](auto& p) { return SameTextNoCase(p.first, name); });
                fld_->Edit();
                fld_->FieldByName("Value").SetString(first->second);
                fld_->Post();
            }
        }
        if (plf_->State() != TableState::Browse) plf_->Cancel();
        plf_->EmptyTable();
        std::vector<std::pair<std::string, std::string>> master;
        const int mni = fld_->FieldIndex("Name"), mvi = fld_->FieldIndex("Value");
        for (int i = 0; i < fld_->RecordCount(); ++i) {
            const auto& v = fld_->RowValues(i);
            auto n = std::get_if<std::string>(&v[static_cast<size_t>(mni)]);
            auto val = std::get_if<std::string>(&v[static_cast<size_t>(mvi)]);
            master.emplace_back(n ? *n : std::string(), val ? *val : std::string());
        }
        for (const auto& [name, value] : master) {
            plf_->Append();
            plf_->FieldByName("Name").SetString(name);
            plf_->FieldByName("Value").SetString(value);
            plf_->Post();
        }
        ResortKeepingRow(*plf_);
        plf_->First();
    }

    // 4. Unlocked generated rows go; the rest is kept.
    std::set<int64_t> kept;
    {
        HandlerSuspension s(*pln_);
        for (int i = pln_->RecordCount(); i-- > 0;) {
            pln_->SetRecNo(i + 1);
            if (Int(*pln_, "Origin") == soGenerated && !pln_->FieldByName("Lock").AsBoolean()) pln_->Delete();
        }
        const int mi = pln_->FieldIndex("mUkey");
        for (int i = 0; i < pln_->RecordCount(); ++i) {
            auto p = std::get_if<int64_t>(&pln_->RowValues(i)[static_cast<size_t>(mi)]);
            kept.insert(p ? *p : 0);
        }
    }

    // 5. The master steps not kept, dated from the plan key dates.
    for (uint64_t id : VisibleRowIds(*mpl_)) {
        if (!mpl_->GotoRecordId(id)) continue;
        if (kept.count(Int(*mpl_, "Ukey"))) continue;
        const TDateTime date = AddRelativePeriod(*mpl_, *mpd_, daysPerYearType, "RelativeTo", invert, skip);
        pln_->Append();
        pln_->FieldByName("RelativeTo").SetInteger(Int(*mpl_, "RelativeTo"));
        pln_->FieldByName("mUkey").SetInteger(Int(*mpl_, "Ukey"));
        pln_->FieldByName("Who").SetString(mpl_->FieldByName("Who").AsString());
        pln_->FieldByName("Step").SetString(mpl_->FieldByName("Step").AsString());
        pln_->FieldByName("Origin").SetInteger(soGenerated);
        pln_->FieldByName("Lock").SetBoolean(false);
        pln_->FieldByName("Date").SetDateTime(date);
        pln_->FieldByName("Astro").SetString(kLightingText);
        pln_->Post();
    }

    // 6. A row for each key date not kept.
    {
        HandlerSuspension s(*pln_);
        for (uint64_t id : VisibleRowIds(*mpd_)) {
            if (!mpd_->GotoRecordId(id)) continue;
            const int64_t m = Int(*mpd_, "mUkey");
            if (kept.count(-m)) continue;
            pln_->Append();
            pln_->FieldByName("mUkey").SetInteger(-m);
            pln_->FieldByName("Who").SetString("");
            pln_->FieldByName("Step").SetString(mpd_->FieldByName("Name").AsString());
            pln_->FieldByName("Origin").SetInteger(soGenerated);
            pln_->FieldByName("Lock").SetBoolean(false);
            pln_->FieldByName("Date").SetDateTime(mpd_->FieldByName("Date").AsDateTime());
            pln_->FieldByName("Astro").SetString(kLightingText);
            pln_->Post();
        }
        mpd_->First();
    }

    // 7, 8.
    MarkUsedKeyDates(*pln_, *mpd_, "RelativeTo");
    ResortKeepingRow(*pln_);
    pln_->First();
}

}  // namespace clx
