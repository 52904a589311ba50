// clx plan show / run / key / merge: the master plans of a master plan file, the dated plan one
// of them gives for the key dates of a matter, and a document's own plan.
#include <fmt/format.h>

#include <algorithm>
#include <charconv>
#include <map>
#include <optional>
#include <sstream>

#include "app/document_session.h"
#include "cli/commands.h"
#include "cli/document_support.h"
#include "cli/options_cmd.h"
#include "cli/rules.h"
#include "engine/skipset.h"
#include "files/fileio.h"
#include "platform/richtext.h"
#include "platform/format.h"
#include "plans/plan_engine.h"
#include "plans/plan_file.h"
#include "plans/plan_sheet.h"
#include "platform/text.h"

namespace clx::cli {

namespace {

std::string Join(const std::vector<std::string>& items, std::string_view separator) {
    std::string s;
    for (const std::string& i : items) s += (s.empty() ? "" : std::string(separator)) + i;
    return s;
}

// A period far beyond the calendar gives no date; show none rather than a wrong one.
bool InCalendar(TDateTime d) { return d != 0 && IsValidSerial(WholeDays(d)); }
Json DateJson(TDateTime d) { return InCalendar(d) ? Json(IsoDate(d)) : Json(nullptr); }

// Reads the whole file into the engine; half a file would give a plausible but wrong plan.
void OpenMasterPlans(TPln& e, const std::string& file, const Context& ctx) {
    const std::string path = ctx.Cfg().ExpandPathMacros(file);
    PlanOpenResult r;
    try {
        r = OpenPlanFile(e, nullptr, path, {}, false);
    } catch (const std::exception& ex) {
        throw UsageError(fmt::format("FILE: '{}' is not a master plan file ({})", file, OneLine(ex.what())));
    }
    if (!r.opened) throw UsageError(fmt::format("FILE: '{}' does not exist or is not a file", file));
    if (!r.report.Complete())
        throw UsageError(fmt::format("FILE: '{}' is not a whole master plan file ({})", file,
                                     OneLine(Join(r.report.problems, "; "))));
}

struct PlanEntry {
    int64_t number;
    std::string name;
};

std::vector<PlanEntry> MasterPlanList(TPln& e) {
    MemTable& t = e.MasterPlans();
    const int ui = t.FieldIndex("Ukey"), ni = t.FieldIndex("Name");
    std::vector<PlanEntry> plans;
    for (int i = 0; i < t.RecordCount(); ++i) {
        const auto& v = t.RowValues(i);
        auto u = std::get_if<int64_t>(&v[static_cast<size_t>(ui)]);
        auto n = std::get_if<std::string>(&v[static_cast<size_t>(ni)]);
        plans.push_back({u ? *u : 0, n ? *n : std::string()});
    }
    return plans;
}

std::string PlanListText(TPln& e) {
    std::vector<std::string> items;
    for (const PlanEntry& p : MasterPlanList(e)) items.push_back(fmt::format("{} {}", p.number, p.name));
    return items.empty() ? "it holds no master plans" : "its plans: " + Join(items, ", ");
}

// "28 days after Issue Proceedings", "2 months 1 day before Trial".
std::string PeriodText(int64_t years, int64_t months, int64_t days, bool before, const std::string& key) {
    std::vector<std::string> parts;
    if (years) parts.push_back(Plural(years, "year", "years"));
    if (months) parts.push_back(Plural(months, "month", "months"));
    if (days || parts.empty()) parts.push_back(Plural(days, "day", "days"));
    return fmt::format("{} {} {}", Join(parts, " "), before ? "before" : "after", key);
}

// ---- plan show --------------------------------------------------------------------------------

Json MasterPlanJson(TPln& e) {
    MemTable& plan = e.MasterPlans();
    Json j;
    j["number"] = plan.FieldByName("Ukey").AsInteger();
    j["name"] = plan.FieldByName("Name").AsString();
    j["inMenu"] = plan.FieldByName("Use").AsBoolean();
    j["people"] = e.WhoChoices();
    const std::string skip = plan.FieldByName("SkipFName").AsString();
    j["skipFile"] = skip.empty() ? Json(nullptr) : Json(skip);
    j["customTextReport"] = plan.FieldByName("RTFActive").AsBoolean();

    std::map<int64_t, std::string> keyNames;
    Json keys = Json::array();
    MemTable& k = e.MasterKeyDates();
    for (int i = 1; i <= k.RecordCount(); ++i) {
        k.SetRecNo(i);
        keyNames[k.FieldByName("Ukey").AsInteger()] = k.FieldByName("Name").AsString();
        keys.push_back({{"name", k.FieldByName("Name").AsString()},
                        {"exampleDate", DateJson(k.FieldByName("Date").AsDateTime())}});
    }
    j["keyDates"] = std::move(keys);

    Json steps = Json::array();
    MemTable& s = e.MasterSteps();
    for (int i = 1; i <= s.RecordCount(); ++i) {
        s.SetRecNo(i);
        const int64_t to = s.FieldByName("RelativeTo").AsInteger();
        auto it = keyNames.find(to);
        const std::string key = it != keyNames.end() ? it->second : fmt::format("key date {} (not in this plan)", to);
        const bool before = s.FieldByName("Relativity").AsInteger() == srBefore;
        const int64_t years = s.FieldByName("Years").AsInteger(), months = s.FieldByName("Months").AsInteger(),
                      days = s.FieldByName("Days").AsInteger();
        const bool calendar = s.FieldByName("Skipping").AsInteger() == 1;
        steps.push_back({{"step", s.FieldByName("Step").AsString()},
                         {"who", s.FieldByName("Who").AsString()},
                         {"period", PeriodText(years, months, days, before, key) + (calendar ? ", no dates skipped" : "")},
                         {"skipDates", !calendar},
                         {"years", years},
                         {"months", months},
                         {"days", days},
                         {"relativity", before ? "before" : "after"},
                         {"keyDate", it != keyNames.end() ? Json(it->second) : Json(nullptr)},
                         {"exampleDate", DateJson(s.FieldByName("Date").AsDateTime())}});
    }
    j["steps"] = std::move(steps);

    Json fields = Json::array();
    MemTable& f = e.MasterFields();
    for (int i = 1; i <= f.RecordCount(); ++i) {
        f.SetRecNo(i);
        fields.push_back({{"name", f.FieldByName("Name").AsString()}, {"default", f.FieldByName("Value").AsString()}});
    }
    j["fields"] = std::move(fields);
    return j;
}

size_t Widest(const Json& rows, const char* key) {
    size_t w = 0;
    for (const Json& r : rows) w = std::max(w, r[key].get<std::string>().size());
    return w;
}

void WriteShowText(const Json& j, const Context& ctx, std::ostream& out) {
    auto date = [&](const Json& d) {
        return d.is_null() ? std::string("-") : ctx.DisplayDate(*ParseIsoDate(d.get<std::string>()));
    };
    out << "Master plan file: " << j["file"].get<std::string>() << '\n';
    out << Plural(static_cast<long long>(j["plans"].size()), "master plan", "master plans") << '\n';
    for (const Json& p : j["plans"]) {
        out << fmt::format("\nPlan {}: {}{}\n", p["number"].get<int64_t>(), p["name"].get<std::string>(),
                           p["inMenu"].get<bool>() ? "" : "  (not in the menu)");
        std::vector<std::string> people = p["people"].get<std::vector<std::string>>();
        out << "  People:              " << (people.empty() ? "none" : Join(people, ", ")) << '\n';
        out << "  Skip dates:          " << (p["skipFile"].is_null() ? "none" : p["skipFile"].get<std::string>()) << '\n';
        out << "  Custom text report:  " << (p["customTextReport"].get<bool>() ? "active" : "not active") << '\n';

        const Json& keys = p["keyDates"];
        out << "  Key dates (example dates):" << (keys.empty() ? " none" : "") << '\n';
        const size_t kw = Widest(keys, "name");
        for (const Json& k : keys)
            out << fmt::format("    {:<{}}  {}\n", k["name"].get<std::string>(), kw, date(k["exampleDate"]));

        const Json& steps = p["steps"];
        out << "  Steps (example dates):" << (steps.empty() ? " none" : "") << '\n';
        const size_t sw = Widest(steps, "step"), ww = Widest(steps, "who");
        for (const Json& s : steps)
            out << fmt::format("    {}  {:<{}}  {:<{}}  {}\n", date(s["exampleDate"]), s["step"].get<std::string>(), sw,
                               s["who"].get<std::string>(), ww, s["period"].get<std::string>());

        const Json& fields = p["fields"];
        out << "  Merge fields:" << (fields.empty() ? " none" : "") << '\n';
        const size_t fw = Widest(fields, "name");
        for (const Json& f : fields)
            out << fmt::format("    {:<{}}  {}\n", f["name"].get<std::string>(), fw,
                               OneLine(f["default"].get<std::string>()));
    }
}

// ---- plan run ---------------------------------------------------------------------------------

struct KeyEntry {
    std::string name;
    std::optional<TDateTime> date;   // none: back to the example date
};

KeyEntry ReadKey(const std::string& text, const Context& ctx) {
    const size_t eq = text.rfind('=');
    if (eq == std::string::npos || eq == 0)
        throw UsageError(fmt::format("--key: '{}' is not NAME=DATE", text));
    KeyEntry k{text.substr(0, eq), std::nullopt};
    const std::string value = text.substr(eq + 1);
    if (!value.empty()) k.date = ctx.ReadDate(value, fmt::format("--key {}", k.name));
    return k;
}

// Read as text: a number past the integers must not turn into another plan's number.
int64_t ReadPlanNumber(const std::string& text) {
    int64_t n = 0;
    const char* begin = text.data() + (text.starts_with('+') ? 1 : 0);
    auto [end, ec] = std::from_chars(begin, text.data() + text.size(), n);
    if (ec != std::errc() || end != text.data() + text.size())
        throw UsageError(fmt::format("--plan: '{}' is not a plan number", text));
    return n;
}

// The plan's skip rules: --skip-file, else the master plan's own file; null for none.
std::unique_ptr<SkipSet> PlanSkipSet(const std::string& given, const std::string& planFile, bool invert,
                                     const Context& ctx, std::ostream& err) {
    std::unique_ptr<SkipSet> set;
    if (!given.empty()) {
        RuleOptions o;
        o.skipFile = given;
        set = BuildSkipSet(ReadRules(o, ctx), ctx);
    } else if (!planFile.empty()) {
        // The Plan sheet too goes on without skip dates when the plan's file cannot be read.
        try {
            SkipRules rules;
            rules.file = ReadSkipFile(planFile, ctx, "the plan's skip-date file");
            set = BuildSkipSet(rules, ctx);
        } catch (const UsageError& e) {
            err << "clx plan: note: " << OneLine(e.what()) << "; the plan is dated without skip dates\n";
        }
    }
    if (invert) {
        // Inverting no rules would skip every day: surely not what was meant.
        if (!set) throw UsageError("--invert needs skip dates: the plan has none (give --skip-file)");
        set->ref->invert = true;
    }
    return set;
}

void EnterKeyDates(TPln& e, const std::vector<KeyEntry>& keys, int64_t plan) {
    MemTable& k = e.PlanKeyDates();
    std::vector<std::string> names;
    for (int i = 1; i <= k.RecordCount(); ++i) {
        k.SetRecNo(i);
        names.push_back(k.FieldByName("Name").AsString());
    }
    for (const KeyEntry& key : keys) {
        if (std::none_of(names.begin(), names.end(), [&](const std::string& n) { return SameTextNoCase(n, key.name); }))
            throw UsageError(fmt::format("--key: plan {} has no key date '{}' ({})", plan, key.name,
                                         names.empty() ? "it has no key dates" : "its key dates: " + Join(names, ", ")));
    }
    for (const KeyEntry& key : keys) {
        for (uint64_t id : VisibleRowIds(k)) {
            if (!k.GotoRecordId(id) || !SameTextNoCase(k.FieldByName("Name").AsString(), key.name)) continue;
            k.Edit();
            if (key.date)
                k.FieldByName("Date").SetDateTime(*key.date);
            else
                k.FieldByName("Date").Clear();
            k.Post();
        }
    }
}

Json RunJson(TPln& e) {
    Json j;
    j["plan"] = e.MasterPlans().FieldByName("Name").AsString();
    Json steps = Json::array();
    MemTable& s = e.PlanSteps();
    for (int i = 1; i <= s.RecordCount(); ++i) {
        s.SetRecNo(i);
        steps.push_back({{"Date", DateJson(s.FieldByName("Date").AsDateTime())},
                         {"Step", s.FieldByName("Step").AsString()},
                         {"Who", s.FieldByName("Who").AsString()},
                         {"Lock", s.FieldByName("Lock").AsBoolean()},
                         {"mUkey", s.FieldByName("mUkey").AsInteger()},
                         {"Origin", s.FieldByName("Origin").AsInteger()}});
    }
    j["steps"] = std::move(steps);
    Json keys = Json::array();
    MemTable& k = e.PlanKeyDates();
    for (int i = 1; i <= k.RecordCount(); ++i) {
        k.SetRecNo(i);
        keys.push_back({{"Name", k.FieldByName("Name").AsString()},
                        {"Date", DateJson(k.FieldByName("Date").AsDateTime())},
                        {"Status", k.FieldByName("Status").AsInteger()}});
    }
    j["keys"] = std::move(keys);
    return j;
}

void WriteRunText(const Json& j, int64_t number, const Context& ctx, std::ostream& out) {
    auto date = [&](const Json& d) {
        return d.is_null() ? std::string("-") : ctx.DisplayDate(*ParseIsoDate(d.get<std::string>()));
    };
    const Json& steps = j["steps"];
    out << fmt::format("Plan {}: {}\n\n", number, j["plan"].get<std::string>());
    size_t dw = 4, sw = 4;
    for (const Json& s : steps) {
        dw = std::max(dw, date(s["Date"]).size());
        sw = std::max(sw, s["Step"].get<std::string>().size());
    }
    out << fmt::format("{:<{}}  {:<{}}  Who\n", "Date", dw, "Step", sw);
    for (const Json& s : steps) {
        std::string line = fmt::format("{:<{}}  {:<{}}  {}", date(s["Date"]), dw, s["Step"].get<std::string>(), sw,
                                       s["Who"].get<std::string>());
        line.erase(line.find_last_not_of(' ') + 1);
        out << line << '\n';
    }
    const Json& keys = j["keys"];
    out << "\nKey dates:" << (keys.empty() ? " none" : "") << '\n';
    for (const Json& k : keys)
        out << fmt::format("  {:<{}}  {}{}\n", date(k["Date"]), dw, k["Name"].get<std::string>(),
                           k["Status"].get<int64_t>() ? "" : "  (no step uses it)");
}

// ---------------------------------------------------------------------------------------------

class PlanCommand : public Command {
public:
    void Register(CLI::App& app) override {
        sub = app.add_subcommand("plan", "Master plan files (.cpz): show them, date a plan from them; a document's plan");
        sub->require_subcommand(1, 1);
        show_ = sub->add_subcommand("show", "List every master plan of a file: key dates, steps and merge fields");
        show_->add_option("FILE", showFile_, "The master plan file (<DAT> and the other folder macros allowed)")
            ->required()->type_name("FILE.cpz");
        show_->add_flag("--json", showJson_, "Print one JSON object");

        run_ = sub->add_subcommand("run", "Date the steps of a master plan from the key dates of a matter");
        run_->add_option("FILE", runFile_, "The master plan file (<DAT> and the other folder macros allowed)")
            ->required()->type_name("FILE.cpz");
        run_->add_option("--plan", planText_, "Number of the master plan (see 'clx plan show')")
            ->required()->check(WholeNumber())->type_name("N");
        run_->add_option("--key", keys_,
                         "Key date of the matter, by its name (any case); an empty DATE gives the example date "
                         "(repeatable; key dates not given keep their example dates)")
            ->allow_extra_args(false)->type_name("NAME=DATE");
        run_->add_option("--skip-file", skipFile_,
                         "Skip the dates of this skip-date file instead of the plan's own")
            ->allow_extra_args(false)->type_name("FILE.skx");
        run_->add_flag("--invert", invert_, "Count only the days the skip rules name");
        run_->add_flag("--json", runJson_, "Print one JSON object");

        key_ = sub->add_subcommand("key", "Enter key dates of a document's plan, recalculate it and save");
        key_->add_option("DOC", docFile_, "Document")->required()->type_name("FILE");
        key_->add_option("DATES", docKeys_, "Key date by its name (any case); an empty DATE gives the example date")
            ->required()->type_name("NAME=DATE");

        field_ = sub->add_subcommand("field", "Set merge field values of a document's plan, and save");
        field_->add_option("DOC", docFile_, "Document")->required()->type_name("FILE");
        field_->add_option("VALUES", docKeys_, "Merge field by its name (any case) and its value")
            ->required()->type_name("NAME=VALUE");

        merge_ = sub->add_subcommand("merge", "Write a document's plan as its master plan's custom text report");
        merge_->add_option("DOC", docFile_, "Document")->required()->type_name("FILE");
        merge_->add_option("OUT", outFile_, "The report to write (RTF)")->required()->type_name("OUT.rtf");
    }

    int Execute(const Context& ctx, std::ostream& out, std::ostream& err) override {
        if (show_->parsed()) return Show(ctx, out);
        if (key_->parsed()) return Key(ctx, out, err);
        if (merge_->parsed()) return Merge(ctx, out, err);
        if (field_->parsed()) return Field(ctx, out, err);
        return Run(ctx, out, err);
    }

private:
    int Show(const Context& ctx, std::ostream& out) {
        TPln e;
        OpenMasterPlans(e, showFile_, ctx);
        Json j;
        j["file"] = showFile_;
        Json plans = Json::array();
        for (const PlanEntry& p : MasterPlanList(e)) {
            e.LocateMaster(p.number);
            plans.push_back(MasterPlanJson(e));
        }
        j["plans"] = std::move(plans);
        if (showJson_)
            WriteJson(out, j);
        else
            WriteShowText(j, ctx, out);
        return 0;
    }

    int Run(const Context& ctx, std::ostream& out, std::ostream& err) {
        plan_ = ReadPlanNumber(planText_);
        std::vector<KeyEntry> keys;
        for (const std::string& k : keys_) keys.push_back(ReadKey(k, ctx));
        TPln e;
        OpenMasterPlans(e, runFile_, ctx);
        if (!e.LocateMaster(plan_))
            throw UsageError(fmt::format("--plan: '{}' has no master plan {} ({})", runFile_, plan_, PlanListText(e)));
        const std::string planSkip = e.MasterPlans().FieldByName("SkipFName").AsString();
        std::unique_ptr<SkipSet> skip = PlanSkipSet(skipFile_, planSkip, invert_, ctx, err);
        const bool invert = SkipInvert(skip.get());
        // The days per year never moves a plan date; a note about its fallback would only puzzle.
        std::ostringstream quiet;
        const int type = ResolveDaysPerYear(DaysPerYearOption{"plan", {}, {}}, ctx, quiet);

        e.Recalculate(type, skip.get(), invert);
        if (!keys.empty()) {
            EnterKeyDates(e, keys, plan_);
            e.Recalculate(type, skip.get(), invert);
        }
        Json j = RunJson(e);
        if (runJson_)
            WriteJson(out, j);
        else
            WriteRunText(j, plan_, ctx, out);
        return 0;
    }

    int Key(const Context& ctx, std::ostream& out, std::ostream& err) {
        std::vector<FieldAssignment> dates;
        for (const std::string& k : docKeys_) dates.push_back(Assignment(k, "DATES"));
        DocumentSession s(ctx.Cfg());
        OpenDocument(s, docFile_, true, "plan key", err);
        if (!s.Plan().HasMasterPlan())
            throw UsageError(fmt::format("DOC: {} has no master plan selected (clx set DOC planfile=FILE.cpz plan=N)",
                                         docFile_));
        try {
            s.EnterKeyDates(dates);
        } catch (const std::invalid_argument& e) {
            throw UsageError("DATES: " + OneLine(e.what()));
        }
        WriteNotes(s, "plan key", err);
        SaveDocumentFile(s, docFile_);
        MemTable& keys = s.PlanEngine().PlanKeyDates();
        for (int i = 0; i < keys.RecordCount(); ++i) {
            const auto& r = keys.RowValues(i);
            const auto* name = std::get_if<std::string>(&r[static_cast<size_t>(keys.FieldIndex("Name"))]);
            const auto* date = std::get_if<double>(&r[static_cast<size_t>(keys.FieldIndex("Date"))]);
            out << fmt::format("{:<16}{}\n", date ? FormatDateTime(ctx.Cfg().DateDisplayFormat(), *date, ctx.Cfg().GetLocale()) : "",
                               name ? *name : std::string());
        }
        return 0;
    }

    int Field(const Context& ctx, std::ostream& out, std::ostream& err) {
        std::vector<FieldAssignment> values;
        for (const std::string& v : docKeys_) values.push_back(Assignment(v, "VALUES"));
        DocumentSession s(ctx.Cfg());
        OpenDocument(s, docFile_, true, "plan field", err);
        if (!s.Plan().HasMasterPlan())
            throw UsageError(fmt::format("DOC: {} has no master plan selected (clx set DOC planfile=FILE.cpz plan=N)",
                                         docFile_));
        try {
            s.SetPlanFieldValues(values);
        } catch (const std::invalid_argument& e) {
            throw UsageError("VALUES: " + OneLine(e.what()));
        }
        WriteNotes(s, "plan field", err);
        SaveDocumentFile(s, docFile_);
        MemTable& fields = s.PlanEngine().PlanFields();
        for (int i = 0; i < fields.RecordCount(); ++i) {
            const auto& r = fields.RowValues(i);
            auto text = [&](const char* f) {
                const auto* p = std::get_if<std::string>(&r[static_cast<size_t>(fields.FieldIndex(f))]);
                return p ? *p : std::string();
            };
            out << fmt::format("{:<20}{}\n", text("Name"), text("Value"));
        }
        return 0;
    }

    int Merge(const Context& ctx, std::ostream& out, std::ostream& err) {
        DocumentSession s(ctx.Cfg());
        OpenDocument(s, docFile_, false, "plan merge", err);
        s.ShowResultPage(SheetKind::Plan);
        RichText report;
        try {
            report = s.PlanReport();
        } catch (const std::runtime_error& e) {
            throw Failure(fmt::format("{}: {}", docFile_, OneLine(e.what())));
        }
        WriteNotes(s, "plan merge", err);
        const std::string rtf = WriteRtf(report);
        try {
            WriteFileAtomic(outFile_, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(rtf.data()), rtf.size()));
        } catch (const FileError& e) {
            throw Failure(OneLine(e.what()));
        }
        out << fmt::format("{}: the report of {} ({} bytes)\n", outFile_, s.Plan().PlanName(), rtf.size());
        return 0;
    }

    CLI::App* show_ = nullptr;
    CLI::App* run_ = nullptr;
    CLI::App* key_ = nullptr;
    CLI::App* merge_ = nullptr;
    CLI::App* field_ = nullptr;
    std::string docFile_, outFile_;
    std::vector<std::string> docKeys_;
    std::string showFile_, runFile_, skipFile_, planText_;
    int64_t plan_ = 0;
    std::vector<std::string> keys_;
    bool showJson_ = false, runJson_ = false, invert_ = false;
};

}  // namespace

std::unique_ptr<Command> MakePlanCommand() { return std::make_unique<PlanCommand>(); }

}  // namespace clx::cli
