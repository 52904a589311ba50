#include "plans/plan_sheet.h"

#include <filesystem>

#include "engine/skipset.h"
#include "files/fileio.h"
#include "platform/format.h"
#include "platform/ui.h"

namespace clx {

namespace fs = std::filesystem;

namespace {

MemTable& Defined(const TableMaker& make, const char* name, void (*define)(MemTable&)) {
    MemTable& t = make(name);
    if (t.FieldCount() == 0) define(t);
    return t;
}

// Every row of a table, whatever its view shows.
std::vector<std::vector<Value>> AllRows(MemTable& t) {
    HandlerSuspension s(t);
    std::vector<std::vector<Value>> rows;
    for (int i = 0; i < t.RecordCount(); ++i) rows.push_back(t.RowValues(i));
    return rows;
}

void PutRows(MemTable& t, std::vector<std::vector<Value>> rows) {
    HandlerSuspension s(t);
    if (t.State() != TableState::Browse) t.Cancel();
    t.LoadRows(std::move(rows));
}

}  // namespace

TPln::DocumentTables DefinePlanTables(const TableMaker& make) {
    TPln::DocumentTables d;
    d.steps = &Defined(make, kPlanStepTableName, DefineStepFields);
    d.keyDates = &Defined(make, kPlanKeyDateTableName, DefineKeyDateFields);
    d.fields = &Defined(make, kPlanFieldTableName, DefineMergeFieldFields);
    return d;
}

PlanSheet::PlanSheet(TPln& engine, SkipSet& planSkip, SkipFileConfig& config, const SheetContext& ctx,
                     ToolRecs* tools, UiServices* ui)
    : engine_(engine), skip_(planSkip), config_(config), ctx_(ctx), tools_(tools), ui_(ui) {
    if (!skip_.ref) skip_.ref = std::make_shared<SkipFileRef>();
    engine_.SetSkipSet(&skip_);
    engine_.ApplyDateFormats(ctx_.dateDisplayFormat, ctx_.dateEntryFormat);
}

DocumentHeader& PlanSheet::Header() const { return ctx_.header ? *ctx_.header : ownHeader_; }

void PlanSheet::RecalcPlan() {
    skip_.ref->invert = Header().Get(hdr::cbInvertSkipPlan);
    if (!engine_.LocateMaster(Header().Get(hdr::PlanUkey))) return;
    engine_.Recalculate(ctx_.daysPerYearType, &skip_, SkipInvert(&skip_));
    who_ = engine_.WhoChoices();
    ctx_.FitColumns();
}

void PlanSheet::SelectPlanNumber(int32_t n) {
    if (n != Header().Get(hdr::PlanUkey)) MarkModified();
    Header().Set(hdr::PlanUkey, n);
    if (!engine_.LocateMaster(n)) {
        planCaption_ = kNoneSelected;
        SelectPlanSkipFile("");
        return;
    }
    MemTable& m = engine_.MasterPlans();
    planCaption_ = m.FieldByName("Name").AsString();
    if (tools_)
        (*tools_)[soPlan].SetDestination(static_cast<uint8_t>(
            m.FieldByName("RTFActive").AsBoolean() ? OutputDestination::MergeText : OutputDestination::Printer));
    SelectPlanSkipFile(m.FieldByName("SkipFName").AsString());
}

void PlanSheet::SelectPlanFile(std::string_view name, bool keepPlan) {
    const std::string expanded = name.empty() ? std::string() : config_.ExpandPathMacros(name);
    const std::string stored = expanded.empty() ? std::string() : config_.ContractPathMacros(expanded);
    if (stored != Header().Get(hdr::PlanFile)) {
        DocumentHeader probe = Header();
        try {
            probe.Set(hdr::PlanFile, stored);
        } catch (const std::exception&) {
            if (ui_) ui_->Error("The master plan file cannot be kept in the document:|" + expanded);
            return;
        }
        MarkModified();
        Header().Set(hdr::PlanFile, stored);
    }
    std::vector<std::vector<Value>> steps, keys;
    if (keepPlan) {
        steps = AllRows(engine_.PlanSteps());
        keys = AllRows(engine_.PlanKeyDates());
    }
    try {
        if (IsRegularFile(expanded)) {
            const std::vector<std::string> folders = config_.DataFolderSearchList();
            PlanOpenResult r =
                OpenPlanFile(engine_, ui_, expanded, folders.empty() ? std::string() : folders.front(), false, &config_);
            if (r.opened && !r.report.Complete() && ui_)
                ui_->Error("The master plan file is damaged:|" + expanded);
            if (config_.AddDataFolderOf(expanded) && optionsChanged) optionsChanged();
        } else {
            engine_.Reset();
        }
    } catch (const std::exception& e) {
        if (ui_) ui_->Error(std::string(e.what()));
    }
    if (keepPlan) {
        PutRows(engine_.PlanSteps(), std::move(steps));
        PutRows(engine_.PlanKeyDates(), std::move(keys));
    }
}

void PlanSheet::SelectPlanSkipFile(std::string_view name) {
    SkipFileSelection sel = SelectSkipFile(name, skip_, config_);
    if (sel.outcome == SkipSelectOutcome::Refused || sel.outcome == SkipSelectOutcome::NoReference) {
        if (!sel.error.empty() && ui_) ui_->Error(sel.error);
        return;
    }
    skipButton_ = sel.button;
    if (sel.documentModified) MarkModified();
    if (sel.optionsChanged && optionsChanged) optionsChanged();
    if (!sel.error.empty() && ui_) ui_->Error(sel.error);
    Header().SetSkipRef(SkipSlot::Plan, *skip_.ref);
}

void PlanSheet::HeaderToControls() {
    if (syncing_) return;
    syncing_ = true;
    try {
        // The document's own plan skip-date file, which choosing the master plan would replace
        // by the master plan's.
        const SkipFileRef own = Header().SkipRef(SkipSlot::Plan);
        SelectPlanFile(Header().Get(hdr::PlanFile), true);
        SelectPlanNumber(Header().Get(hdr::PlanUkey));
        skip_.ref->invert = own.invert;
        SelectPlanSkipFile(own.fileName);
        skip_.ref->invert = own.invert;
        Header().SetSkipRef(SkipSlot::Plan, *skip_.ref);
    } catch (...) {
        syncing_ = false;
        throw;
    }
    syncing_ = false;
}

std::vector<PlanMenuItem> PlanSheet::PlanMenu() const { return BuildPlanMenu(config_.DataFolderSearchList()); }

void PlanSheet::SetPlanChoice(const PlanMenuItem& item) {
    if (item.tag > 0) {
        SelectPlanFile(item.hint, false);
        SelectPlanNumber(item.tag);
    } else if (item.tag == kPlanMenuCreate) {
        if (openDesigner) {
            TPln temporary(ui_);
            openDesigner(temporary);
        }
    } else if (item.tag == kPlanMenuNone) {
        SelectPlanFile("", false);
        SelectPlanNumber(-1);
    } else if (item.tag == kPlanMenuEdit) {
        if (openDesigner) openDesigner(engine_);
    } else if (item.tag == kPlanMenuFindOther) {
        const std::string current = config_.ExpandPathMacros(Header().Get(hdr::PlanFile));
        const std::vector<std::string> folders = config_.DataFolderSearchList();
        std::string chosen = current;
        try {
            chosen = OpenPlanFile(engine_, ui_, current, folders.empty() ? std::string() : folders.front(), true,
                                  &config_)
                         .chosen;
        } catch (const std::exception& e) {
            if (ui_) ui_->Error(std::string(e.what()));
        }
        SelectPlanFile(chosen, false);
        SelectPlanNumber(-1);
    }
    if (calcModified) calcModified();
}

std::vector<SkipMenuItem> PlanSheet::SkipMenu() const { return BuildSkipFileMenu(config_.DataFolderSearchList()); }

void PlanSheet::SetExclusionChoicePlan(const SkipMenuItem& item, const SkipEditor& editor) {
    if (item.tag == kSkipMenuChoose || item.tag == kSkipMenuNoFile || !ui_) {
        if (item.tag == kSkipMenuChoose) SelectPlanSkipFile(item.hint);
        else if (item.tag == kSkipMenuNoFile) SelectPlanSkipFile("");
        return;
    }
    SkipFileGroup group{skip_, config_, *ui_, editor};
    std::optional<SkipFileSelection> sel = ChooseSkipMenuItem(group, item);
    if (!sel) return;
    if (sel->outcome == SkipSelectOutcome::Selected || sel->outcome == SkipSelectOutcome::Cleared) {
        skipButton_ = sel->button;
        if (sel->documentModified) MarkModified();
        if (sel->optionsChanged && optionsChanged) optionsChanged();
        Header().SetSkipRef(SkipSlot::Plan, *skip_.ref);
    }
}

CellColours PlanSheet::KeyDateCellColours(int row, bool focused) {
    MemTable& k = engine_.PlanKeyDates();
    if (k.IsEmpty()) return {SheetColour::Window, SheetColour::Black};
    if (focused) return {SheetColour::Navy, SheetColour::White};
    if (row >= 0 && row < k.RecordCount()) {
        const Value& v = k.RowValues(row)[static_cast<size_t>(k.FieldIndex("Status"))];
        auto s = std::get_if<int64_t>(&v);
        if (s && *s == 0) return {SheetColour::ButtonFace, SheetColour::Black};
    }
    return {SheetColour::Window, SheetColour::Black};
}

bool PlanSheet::HasMasterPlan() {
    const auto current = engine_.CurrentMaster();
    return current && *current == Header().Get(hdr::PlanUkey);
}

std::string PlanSheet::PlanName() {
    return HasMasterPlan() ? engine_.MasterPlans().FieldByName("Name").AsString() : std::string();
}

bool PlanSheet::RtfActive() {
    return HasMasterPlan() && engine_.MasterPlans().FieldByName("RTFActive").AsBoolean();
}

PlanSkipFileState PlanSheet::SkipFile() const {
    PlanSkipFileState s;
    if (!IsSkipActive(&skip_) || !skip_.ref || skip_.ref->fileName.empty()) return s;
    const std::string path = config_.ExpandPathMacros(skip_.ref->fileName);
    if (!IsRegularFile(path)) return s;
    s.inUse = true;
    s.path = path;
    return s;
}

std::string PlanSheet::DateText(TDateTime d, const std::string& format) const {
    if (d == 0) return {};
    return FormatDateTime(format, d, ctx_.locale);
}

std::vector<std::pair<std::string, std::string>> PlanSheet::PlanTokenValues() {
    std::vector<std::pair<std::string, std::string>> out;
    try {
        out.emplace_back("Name", PlanName());
        out.emplace_back("Date", DateText(ctx_.Today(), ctx_.dateEntryFormat));
        const PlanSkipFileState skip = SkipFile();
        out.emplace_back("SkipName", skip.inUse ? fs::path(skip.path).stem().string() : std::string("None"));
        out.emplace_back("SkipFile", skip.inUse ? skip.path : std::string("None"));
        auto lines = [](MemTable& t, auto&& line) {
            std::string text;
            for (int i = 0; i < t.RecordCount(); ++i) {
                if (i) text += "\r\n";
                text += line(t.RowValues(i));
            }
            return text;
        };
        MemTable& steps = engine_.PlanSteps();
        const size_t sd = static_cast<size_t>(steps.FieldIndex("Date")), ss = static_cast<size_t>(steps.FieldIndex("Step")),
                     sw = static_cast<size_t>(steps.FieldIndex("Who"));
        auto text = [](const Value& v) { auto p = std::get_if<std::string>(&v); return p ? *p : std::string(); };
        auto date = [](const Value& v) { auto p = std::get_if<double>(&v); return p ? *p : 0.0; };
        out.emplace_back("Plan", lines(steps, [&](const std::vector<Value>& r) {
                             return DateText(date(r[sd]), ctx_.dateDisplayFormat) + "\t" + text(r[ss]) + "\t" + text(r[sw]);
                         }));
        MemTable& keys = engine_.PlanKeyDates();
        const size_t kd = static_cast<size_t>(keys.FieldIndex("Date")), kn = static_cast<size_t>(keys.FieldIndex("Name"));
        out.emplace_back("Key", lines(keys, [&](const std::vector<Value>& r) {
                             return DateText(date(r[kd]), ctx_.dateDisplayFormat) + "\t" + text(r[kn]);
                         }));
    } catch (...) {
        // Whatever was filled stands.
    }
    return out;
}

}  // namespace clx
