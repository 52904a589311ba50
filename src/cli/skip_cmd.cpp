// clx skip show / new: the rules of a skip-date file, and a new file from rules given.
#include <filesystem>
#include <fmt/format.h>

#include "cli/choices.h"
#include "cli/commands.h"
#include "cli/rules.h"
#include "files/skipfile.h"
#include "platform/format.h"

namespace clx::cli {

namespace {

Json OptionalDate(const Field& f) { return f.IsNull() ? Json(nullptr) : Json(IsoDate(f.AsDateTime())); }
Json OptionalInteger(const Field& f) { return f.IsNull() ? Json(nullptr) : Json(f.AsInteger()); }

// The rows of a table as JSON objects, the named fields first, then description and use.
Json Rows(MemTable& t, const std::vector<std::pair<const char*, const char*>>& fields, bool dates) {
    Json rows = Json::array();
    for (int i = 1; i <= t.RecordCount(); ++i) {
        t.SetRecNo(i);
        Json row;
        for (auto [key, field] : fields) {
            Field f = t.FieldByName(field);
            row[key] = dates ? OptionalDate(f) : OptionalInteger(f);
        }
        row["description"] = t.FieldByName("Description").AsString();
        row["use"] = t.FieldByName("Use").AsBoolean();
        rows.push_back(std::move(row));
    }
    return rows;
}

// Names of the set bits of a header byte, in the order of the choices.
Json Names(uint8_t bits, const std::vector<Choice>& choices) {
    Json names = Json::array();
    for (const Choice& c : choices)
        if ((bits >> c.value) & 1) names.push_back(std::string(c.name));
    return names;
}

std::string JoinNames(const Json& names) {
    std::string s;
    for (const auto& n : names) s += (s.empty() ? "" : ", ") + n.get<std::string>();
    return s.empty() ? "none" : s;
}

Json SkipSetJson(SkipSet& s) {
    Json j;
    j["weekdays"] = Names(s.header.WeekdayBits(), WeekdayChoices());
    j["holidays"] = Names(s.header.HolidayBits(), HolidayChoices());
    j["recurring"] = Rows(s.recurring, {{"day", "Day"}, {"month", "Month"}}, false);
    j["single"] = Rows(s.single, {{"date", "Date"}}, true);
    j["ranges"] = Rows(s.ranges, {{"from", "DFrom"}, {"to", "DTo"}}, true);
    j["inclusions"] = Rows(s.inclusions, {{"date", "Date"}}, true);
    return j;
}

void WriteText(const Json& j, const Context& ctx, std::ostream& out) {
    auto date = [&](const Json& d) {
        return d.is_null() ? std::string("-") : ctx.DisplayDate(*ParseIsoDate(d.get<std::string>()));
    };
    auto number = [](const Json& n) { return n.is_null() ? std::string("--") : fmt::format("{:02}", n.get<int64_t>()); };
    auto line = [&](const std::string& what, const Json& row) {
        std::string text = row["description"].get<std::string>();
        out << "  " << what << (text.empty() ? "" : "  " + text) << (row["use"].get<bool>() ? "" : "  (not used)")
            << '\n';
    };
    auto list = [&](const char* title, const Json& rows, auto&& what) {
        out << title << ':' << (rows.empty() ? " none" : "") << '\n';
        for (const auto& row : rows) line(what(row), row);
    };
    out << "Weekdays:   " << JoinNames(j["weekdays"]) << '\n';
    out << "Holidays:   " << JoinNames(j["holidays"]) << '\n';
    list("Every year (DD-MM)", j["recurring"],
         [&](const Json& r) { return number(r["day"]) + "-" + number(r["month"]); });
    list("Single dates", j["single"], [&](const Json& r) { return date(r["date"]); });
    list("Ranges", j["ranges"], [&](const Json& r) { return date(r["from"]) + " to " + date(r["to"]); });
    list("Never skipped", j["inclusions"], [&](const Json& r) { return date(r["date"]); });
}

class SkipCommand : public Command {
public:
    void Register(CLI::App& app) override {
        sub = app.add_subcommand("skip", "Show or write skip-date files (.skx)");
        sub->require_subcommand(1, 1);
        show_ = sub->add_subcommand("show", "List the rules of a skip-date file");
        show_->add_option("FILE", showFile_, "The skip-date file (<DAT> and the other folder macros allowed)")
            ->required()->type_name("FILE.skx");
        show_->add_flag("--json", json_, "Print one JSON object");
        new_ = sub->add_subcommand("new", "Write a skip-date file holding the skip rules given");
        new_->add_option("FILE", newFile_, "The file to write (<DAT> and the other folder macros allowed)")
            ->required()->type_name("FILE.skx");
        AddRuleOptions(*new_, rules_);
        new_->add_flag("--force", force_, "Replace the file when it exists");
    }

    int Execute(const Context& ctx, std::ostream& out, std::ostream&) override {
        if (show_->parsed()) return Show(ctx, out);
        return New(ctx);
    }

private:
    int Show(const Context& ctx, std::ostream& out) {
        auto set = ReadSkipFile(showFile_, ctx, "show");
        Json j = SkipSetJson(*set);
        if (json_)
            WriteJson(out, j);
        else
            WriteText(j, ctx, out);
        return 0;
    }

    int New(const Context& ctx) {
        // The invert flag belongs to the document, not to the file.
        if (rules_.invert) throw UsageError("new: --invert is not kept in a skip-date file; give it to the calculation");
        SkipRules rules = ReadRules(rules_, ctx);
        auto set = BuildSkipSet(rules, ctx);
        if (!set) set = CreateSkipSet(std::make_shared<SkipFileRef>(), ctx.Cfg().DateEntryFormat());
        const std::string path = ctx.Cfg().ExpandPathMacros(newFile_);
        std::error_code ec;
        auto status = std::filesystem::status(path, ec);
        if (std::filesystem::is_directory(status))
            throw UsageError(fmt::format("new: '{}' is a folder", newFile_));
        if (std::filesystem::exists(status) && !force_)
            throw UsageError(fmt::format("new: '{}' already exists (--force replaces it)", newFile_));
        SaveSkipFile(path, *set);
        return 0;
    }

    CLI::App* show_ = nullptr;
    CLI::App* new_ = nullptr;
    std::string showFile_, newFile_;
    bool json_ = false, force_ = false;
    RuleOptions rules_;
};

}  // namespace

std::unique_ptr<Command> MakeSkipCommand() { return std::make_unique<SkipCommand>(); }

}  // namespace clx::cli
