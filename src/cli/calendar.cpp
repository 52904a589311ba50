// The calendar side tools: the Easter table and the Julian Date conversions.
#include <charconv>
#include <cmath>
#include <fmt/format.h>

#include "cli/commands.h"
#include "engine/julian.h"
#include "engine/skipset.h"
#include "platform/format.h"

namespace clx::cli {

namespace {

class EasterCommand : public Command {
public:
    void Register(CLI::App& app) override {
        sub = app.add_subcommand("easter", "List the dates of Easter Sunday for a run of years");
        sub->add_option("FIRST_YEAR", firstYear_, "First year (1753 to 3000)")->required()->check(WholeNumber())->type_name("YEAR");
        sub->add_option("COUNT", count_, "Number of years (0 to 500, default 1)")->check(WholeNumber())->type_name("N");
        sub->add_flag("--json", json_, "Print one JSON object");
    }

    int Execute(const Context& ctx, std::ostream& out, std::ostream&) override {
        if (firstYear_ < 1753 || firstYear_ > 3000)
            throw UsageError(fmt::format("FIRST_YEAR: {} is outside 1753 to 3000", firstYear_));
        if (count_ < 0 || count_ > 500)
            throw UsageError(fmt::format("COUNT: {} is outside 0 to 500", count_));
        std::string text = EasterTableText(firstYear_, count_, ctx.Cfg().DateDisplayFormat(), ctx.Loc());
        if (json_) {
            Json years = Json::array();
            for (int y = firstYear_; y < firstYear_ + count_; ++y) {
                auto astronomic = AstronomicEaster(y, 0);
                Json row;
                row["year"] = y;
                row["ecclesiastic"] = IsoDate(EcclesiasticEaster(y));
                row["astronomic"] = astronomic ? Json(IsoDate(*astronomic)) : Json(nullptr);
                years.push_back(std::move(row));
            }
            Json j;
            j["text"] = text;
            j["years"] = std::move(years);
            WriteJson(out, j);
        } else {
            out << text;   // exactly the clipboard's text
        }
        return 0;
    }

private:
    int firstYear_ = 0, count_ = 1;
    bool json_ = false;
};

// ---------------------------------------------------------------------------------------------

class JulianCommand : public Command {
public:
    void Register(CLI::App& app) override {
        sub = app.add_subcommand("julian", "Convert a Gregorian date and time to the astronomical Julian Date");
        sub->add_option("DATE", date_, "Date from 1600-01-01 to 3999-12-31")->required()->type_name("DATE");
        sub->add_option("TIME", time_, "Time of day, 24 hours (default 00:00:00)")->type_name("HH:MM:SS");
        sub->add_flag("--json", json_, "Print one JSON object");
    }

    int Execute(const Context& ctx, std::ostream& out, std::ostream& err) override {
        TDateTime date = ctx.ReadDate(date_, "DATE");
        CivilDate c = DecodeDate(date);
        if (c.year < 1600 || c.year > 3999)
            throw UsageError(fmt::format("DATE: '{}' is outside 1600-01-01 to 3999-12-31", date_));
        TDateTime time = 0;
        if (!time_.empty()) {
            auto parsed = ParseTime(time_, ctx.Loc());
            if (!parsed) throw UsageError(fmt::format("TIME: '{}' is not a time of day (use HH:MM:SS)", time_));
            time = *parsed;
        }
        double jd = GregorianToJulianDate(date, time);
        if (NeedsGregorianNote(date)) err << "Note: " << kFactoryBadGregText << '\n';
        if (json_) {
            Json j;
            j["julian_date"] = jd;
            WriteJson(out, j);
        } else {
            out << FormatFloat("0.#####", jd, ctx.Loc()) << '\n';
        }
        return 0;
    }

private:
    std::string date_, time_;
    bool json_ = false;
};

// ---------------------------------------------------------------------------------------------

std::optional<double> ReadNumber(std::string_view text, const Locale& loc) {
    double v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec == std::errc() && end == text.data() + text.size() && !text.empty()) return v;
    return TextToFloat(text, loc);
}

class GregorianCommand : public Command {
public:
    void Register(CLI::App& app) override {
        sub = app.add_subcommand("gregorian", "Convert an astronomical Julian Date to a Gregorian date and time");
        sub->add_option("JD", jd_, "Julian Date, e.g. 2451545.25")->required()->type_name("NUMBER");
        sub->add_flag("--json", json_, "Print one JSON object");
    }

    int Execute(const Context& ctx, std::ostream& out, std::ostream& err) override {
        auto jd = ReadNumber(jd_, ctx.Loc());
        if (!jd || !std::isfinite(*jd)) throw UsageError(fmt::format("JD: '{}' is not a number", jd_));
        auto g = TryJulianToGregorian(*jd);
        if (!g) {
            err << kBadDateText << '\n';
            return 1;
        }
        if (NeedsGregorianNote(g->date)) err << "Note: " << kFactoryBadGregText << '\n';
        // 30 December 1899 is a real answer here, not the empty date.
        TimeOfDay t = DecodeTime(g->time);
        if (json_) {
            Json j;
            j["date"] = IsoDate(g->date);
            j["time"] = fmt::format("{:02}:{:02}:{:02}", t.hour, t.minute, t.second);
            WriteJson(out, j);
        } else {
            out << ctx.Format(ctx.Cfg().DateDisplayFormat(), g->date) << ' '
                << ctx.Format("hh:nn:ss", g->time) << '\n';
        }
        return 0;
    }

private:
    std::string jd_;
    bool json_ = false;
};

}  // namespace

std::unique_ptr<Command> MakeEasterCommand() { return std::make_unique<EasterCommand>(); }
std::unique_ptr<Command> MakeJulianCommand() { return std::make_unique<JulianCommand>(); }
std::unique_ptr<Command> MakeGregorianCommand() { return std::make_unique<GregorianCommand>(); }

}  // namespace clx::cli
