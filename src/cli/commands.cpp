#include "cli/commands.h"

#include <cmath>
#include <fmt/format.h>

#include "cli/choices.h"
#include "cli/options_cmd.h"
#include "cli/rules.h"
#include "engine/interval.h"
#include "engine/intervalrow.h"
#include "engine/period.h"
#include "engine/series.h"
#include "platform/format.h"

namespace clx::cli {

const CLI::Validator& WholeNumber() {
    static const CLI::Validator v(
        [](std::string& s) -> std::string {
            std::size_t i = (!s.empty() && (s[0] == '-' || s[0] == '+')) ? 1 : 0;
            bool ok = i < s.size();
            for (; i < s.size(); ++i) ok = ok && s[i] >= '0' && s[i] <= '9';
            return ok ? std::string() : fmt::format("'{}' is not a whole number", s);
        },
        "");
    return v;
}

void WriteJson(std::ostream& out, const Json& value) {
    out << value.dump(2, ' ', false, Json::error_handler_t::replace) << '\n';
}

namespace {

// Financial day counts are only defined from 1600 to 3999.
void CheckFinancialRange(TDateTime date, std::string_view what) {
    int year = DecodeDate(date).year;
    if (year < 1600 || year > 3999)
        throw UsageError(fmt::format("{}: the financial methods need dates from 1600 to 3999", what));
}

// ---------------------------------------------------------------------------------------------

class IntervalCommand : public Command {
public:
    void Register(CLI::App& app) override {
        sub = app.add_subcommand("interval", "Count the days, weeks and years between two dates");
        sub->add_option("FROM", from_, "First date")->required()->type_name("DATE");
        sub->add_option("TO", to_, "Last date")->required()->type_name("DATE");
        sub->add_option("--method", method_,
                        "Calculation method: " + ChoiceNames(MethodChoices()) + ", or 0-5 (default normal)")
            ->type_name("M");
        sub->add_flag("--exclude-first", excludeFirst_, "Do not count the first day");
        sub->add_flag("--include-last", includeLast_, "Count the last day");
        AddDaysPerYearOption(*sub, daysPerYear_);
        AddRuleOptions(*sub, rules_);
        sub->add_flag("--json", json_, "Print one JSON object");
    }

    int Execute(const Context& ctx, std::ostream& out, std::ostream& err) override {
        TDateTime first = ctx.ReadDate(from_, "FROM");
        TDateTime last = ctx.ReadDate(to_, "TO");
        int method = method_.empty() ? cmNormal : ReadChoice(method_, MethodChoices(), "method");
        int type = ResolveDaysPerYear(daysPerYear_, ctx, err);
        SkipRules rules = ReadRules(rules_, ctx);
        if (method != cmNormal) {
            // The financial methods never skip: refuse rules rather than ignore them.
            if (!rules.Empty()) throw UsageError("skip rules apply only to the normal method");
            CheckFinancialRange(first, "FROM");
            CheckFinancialRange(last, "TO");
        }
        auto skip = BuildSkipSet(rules, ctx);

        IntervalRowInput in;
        in.dFrom = first;
        in.dTo = last;
        in.includeFirst = !excludeFirst_;
        in.includeLast = includeLast_;
        in.method = method;
        in.daysPerYearType = type;
        in.skip = skip.get();
        in.invert = rules.invert;
        IntervalRowValues row = CalcIntervalRow(in, ctx.Loc());

        auto optDate = [](const std::optional<TDateTime>& d) { return d ? JsonDate(*d) : Json(nullptr); };
        auto fixed = [](const std::optional<double>& v) {
            return v ? Json(static_cast<int64_t>(std::llround(*v * 10000))) : Json(nullptr);
        };
        if (json_) {
            Json j;
            j["first"] = JsonDate(first);
            j["last"] = JsonDate(last);
            j["effective_start"] = optDate(row.dFromI);
            j["effective_end"] = optDate(row.dToI);
            j["days"] = row.days ? Json(*row.days) : Json(nullptr);
            j["weeks"] = row.weeks ? Json(*row.weeks) : Json(nullptr);
            j["years"] = row.years ? Json(*row.years) : Json(nullptr);
            j["weeks_e4"] = fixed(row.weeks);
            j["years_e4"] = row.years ? fixed(row.years) : Json(row.days ? Json(0) : Json(nullptr));
            j["skipped"] = row.skipped;
            j["comment"] = row.comments;
            j["sentence"] = row.commentsPlus;
            WriteJson(out, j);
            return 0;
        }
        const Locale& loc = ctx.Loc();
        auto dateText = [&](const std::optional<TDateTime>& d) { return d ? ctx.DisplayDate(*d) : "-"; };
        out << fmt::format("Days:       {}\n", row.days ? std::to_string(*row.days) : "-");
        out << fmt::format("Weeks:      {}\n", row.weeks ? FormatFloat("####0.#0", *row.weeks, loc) : "-");
        out << fmt::format("Years:      {}\n", row.years ? FormatFloat("###0.0000", *row.years, loc) : "-");
        out << fmt::format("First day:  {}\n", dateText(row.dFromI));
        out << fmt::format("Last day:   {}\n", dateText(row.dToI));
        out << fmt::format("Skipped:    {}\n", row.skipped);
        out << fmt::format("Comment:    {}\n", row.comments);
        out << row.commentsPlus << '\n';
        return 0;
    }

private:
    std::string from_, to_, method_;
    DaysPerYearOption daysPerYear_;
    bool excludeFirst_ = false, includeLast_ = false, json_ = false;
    RuleOptions rules_;
};

// ---------------------------------------------------------------------------------------------

// Steps through the plain period as the period arithmetic does (days, then months, then years)
// and refuses a period whose result leaves the calendar, which would otherwise come back as
// the empty date.
void CheckPlainPeriod(TDateTime date, int years, int months, int days, bool subtract) {
    const std::string_view outside = "the result lies outside the calendar (years 1 to 9999)";
    int s = subtract ? -1 : 1;
    long long serial = WholeDays(date) + (long long)s * days;
    if (serial < kMinDateSerial || serial > kMaxDateSerial) throw Failure(std::string(outside));
    CivilDate c = DecodeDate(double(serial));
    long long monthIndex = (long long)c.year * 12 + (c.month - 1) + (long long)s * months;
    long long year = monthIndex / 12 + (long long)s * years;
    if (monthIndex < 12 || year < kMinYear || year > kMaxYear) throw Failure(std::string(outside));
}

// The skip extension gives up after a fixed number of passes and returns wherever it got to,
// for example when the rules skip every day. Such a date is no answer: refuse it.
void CheckPeriodReached(TDateTime start, TDateTime result, bool subtract, const SkipSet* skip, bool invert,
                        int type, TDateTime plain) {
    // The counting flags of the extension: the start is never counted, the result always is.
    bool includeFirst = subtract, includeLast = !subtract;
    int32_t target = IntervalCalc(cmNormal, start, plain, includeFirst, includeLast, type, 4, nullptr, invert).days;
    int32_t counted = IntervalCalc(cmNormal, start, result, includeFirst, includeLast, type, 4, skip, invert).days;
    if (counted != target)
        throw Failure(fmt::format("the skip rules leave too few counted days to reach the end of the period "
                                  "(gave up at {})", IsoDate(result)));
}

class AddCommand : public Command {
public:
    void Register(CLI::App& app) override {
        sub = app.add_subcommand("add", "Add or subtract years, months and days to a date");
        sub->add_option("DATE", date_, "Start date")->required()->type_name("DATE");
        sub->add_option("--years", years_, "Years to add")->check(WholeNumber())->type_name("N");
        sub->add_option("--months", months_, "Months to add (-32768 to 32767)")->check(WholeNumber())->type_name("N");
        sub->add_option("--days", days_, "Days to add")->check(WholeNumber())->type_name("N");
        sub->add_flag("--subtract", subtract_, "Subtract the period instead");
        AddDaysPerYearOption(*sub, daysPerYear_);
        AddRuleOptions(*sub, rules_);
        sub->add_flag("--json", json_, "Print one JSON object");
    }

    int Execute(const Context& ctx, std::ostream& out, std::ostream& err) override {
        TDateTime start = ctx.ReadDate(date_, "DATE");
        if (months_ < -32768 || months_ > 32767)
            throw UsageError(fmt::format("--months: {} is outside -32768 to 32767", months_));
        int type = ResolveDaysPerYear(daysPerYear_, ctx, err);
        SkipRules rules = ReadRules(rules_, ctx);
        auto skip = BuildSkipSet(rules, ctx);
        CheckPlainPeriod(start, years_, months_, days_, subtract_);

        int years = years_, months = months_, days = days_;
        bool subtract = subtract_;
        TDateTime plain = AddPeriod(start, years, months, days, subtract, nullptr, false, type);
        // The skip extension moves on in the direction of the subtract flag alone, so a negative
        // period added would be pushed back towards (and past) its start. Stated as the same
        // period subtracted, the plain result is unchanged and the extension moves away from it.
        if (skip && (subtract ? plain > start : plain < start)) {
            subtract = !subtract;
            years = -years;
            months = -months;
            days = -days;
        }
        TDateTime result = AddPeriod(start, years, months, days, subtract, skip.get(), rules.invert, type);
        CheckResultDate(result);
        if (skip) CheckPeriodReached(start, result, subtract, skip.get(), rules.invert, type, plain);
        if (json_) {
            Json j;
            // The period was checked to stay in the calendar, so even day 0 is a real date.
            j["start"] = IsoDate(start);
            j["result"] = IsoDate(result);
            WriteJson(out, j);
        } else {
            out << ctx.Format(ctx.Cfg().DateDisplayFormat(), result) << '\n';
        }
        return 0;
    }

private:
    std::string date_;
    DaysPerYearOption daysPerYear_;
    int years_ = 0, months_ = 0, days_ = 0;
    bool subtract_ = false, json_ = false;
    RuleOptions rules_;
};

// ---------------------------------------------------------------------------------------------

class SeriesCommand : public Command {
public:
    void Register(CLI::App& app) override {
        sub = app.add_subcommand("series", "List the dates of a recurring series");
        sub->add_option("--first", first_, "First date of the span, or of the first repeat")
            ->required()->type_name("DATE");
        auto* final = sub->add_option("--final", final_, "Last date of the span")->type_name("DATE");
        auto* repeats = sub->add_option("--repeats", repeats_, "Number of dates from the first date")
                            ->check(WholeNumber())->type_name("N");
        final->excludes(repeats);
        sub->add_option("--frequency", frequency_,
                        "Step rule: " + ChoiceNames(FrequencyChoices()) + ", or 0-10 (default months)")
            ->type_name("F");
        sub->add_option("--units", units_, "Frequency units between two dates (default 1)")
            ->check(WholeNumber())->type_name("N");
        sub->add_option("--synch", synch_, "Synchronise the span's dates with this date")->type_name("DATE");
        sub->add_flag("--always-first", alwaysFirst_, "List the first date even when it is not a series date");
        sub->add_flag("--always-last", alwaysLast_, "List the final date even when it is not a series date");
        AddDaysPerYearOption(*sub, daysPerYear_);
        AddRuleOptions(*sub, rules_);
        sub->add_flag("--json", json_, "Print one JSON object");
        finalOption_ = final;
        repeatsOption_ = repeats;
    }

    int Execute(const Context& ctx, std::ostream& out, std::ostream& err) override {
        bool span = finalOption_->count() > 0;
        if (!span && repeatsOption_->count() == 0)
            throw UsageError("series needs --final DATE or --repeats N");
        SeriesRequest req;
        req.style = span ? kSeriesSpan : kSeriesRepeats;
        req.firstDate = ctx.ReadDate(first_, "--first");
        if (span) {
            req.finalDate = ctx.ReadDate(final_, "--final");
            if (req.finalDate < req.firstDate) throw UsageError("--final: the final date is before the first date");
        } else if (repeats_ < 0) {
            throw UsageError(fmt::format("--repeats: {} is not a number of dates", repeats_));
        }
        req.repeatCount = repeats_;
        req.frequency = static_cast<TFrequency>(
            frequency_.empty() ? int(fqNMonth) : ReadChoice(frequency_, FrequencyChoices(), "frequency"));
        req.units = units_;
        req.synchDate = synch_.empty() ? 0 : ctx.ReadDate(synch_, "--synch");
        req.alwaysFirst = alwaysFirst_;
        req.alwaysLast = alwaysLast_;
        // Requests the generator answers with an empty list are refused: an empty answer to them
        // would read as "no dates fall in the span".
        bool usesUnits = req.frequency >= fqNDay && req.frequency <= fqCalMonth;
        if (usesUnits && req.units == 0) throw UsageError("--units: 0 units between dates gives no series");
        TDateTime synch = req.synchDate > 0 ? req.synchDate : req.firstDate;
        if (span && req.frequency != fqNone && synch <= EncodeDate(1900, 1, 1))
            throw UsageError(fmt::format("{}: a span series must start after 1900-01-01",
                                         req.synchDate > 0 ? "--synch" : "--first"));
        SkipRules rules = ReadRules(rules_, ctx);
        auto skip = BuildSkipSet(rules, ctx);
        req.skip = skip.get();

        std::vector<TDateTime> dates;
        try {
            dates = GenerateSeriesDates(req, ResolveDaysPerYear(daysPerYear_, ctx, err));
        } catch (const SeriesError& e) {
            throw Failure(e.Detail().empty() ? std::string(e.what())
                                             : fmt::format("{} ({})", e.what(), e.Detail()));
        }
        for (TDateTime d : dates) CheckResultDate(d);
        if (json_) {
            Json list = Json::array();
            for (TDateTime d : dates) list.push_back(IsoDate(d));
            Json j;
            j["dates"] = std::move(list);
            WriteJson(out, j);
        } else {
            for (TDateTime d : dates) out << ctx.Format(ctx.Cfg().DateDisplayFormat(), d) << '\n';
        }
        return 0;
    }

private:
    std::string first_, final_, frequency_, synch_;
    int repeats_ = 0, units_ = 1;
    bool alwaysFirst_ = false, alwaysLast_ = false, json_ = false;
    DaysPerYearOption daysPerYear_;
    RuleOptions rules_;
    CLI::Option* finalOption_ = nullptr;
    CLI::Option* repeatsOption_ = nullptr;
};

}  // namespace

std::unique_ptr<Command> MakeIntervalCommand() { return std::make_unique<IntervalCommand>(); }
std::unique_ptr<Command> MakeAddCommand() { return std::make_unique<AddCommand>(); }
std::unique_ptr<Command> MakeSeriesCommand() { return std::make_unique<SeriesCommand>(); }

}  // namespace clx::cli
