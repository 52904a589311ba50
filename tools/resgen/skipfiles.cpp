// resgen skipfiles SOURCE.json... OUTPUT.skx...: the factory skip-date files of the data folder,
// one output per source in the same order. A source reads like "clx skip show --json":
//   {"comment": "...", "weekdays": ["sun", "sat"], "holidays": ["christmas", ...],
//    "recurring": [{"day": 1, "month": 5, "description": "...", "use": true}],
//    "single": [{"date": "2027-03-01", "description": "..."}],
//    "ranges": [{"from": "2027-08-02", "to": "2027-08-27", "description": "..."}],
//    "inclusions": [{"date": "2027-03-13", "description": "..."}]}
// Every member is optional; "use" is true unless given.
#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <memory>

#include "engine/skipset.h"
#include "files/skipfile.h"
#include "platform/datetime.h"
#include "platform/format.h"
#include "resgen.h"

namespace clx::resgen {

namespace {

// The names of the command line's skip rules.
constexpr std::array<std::string_view, 7> kWeekdays = {"sun", "mon", "tue", "wed", "thu", "fri", "sat"};
constexpr std::array<std::pair<std::string_view, SkipHoliday>, 6> kHolidays = {{
    {"easter-sunday", hdEasterSunday},
    {"good-friday", hdGoodFriday},
    {"easter-monday", hdEasterMonday},
    {"christmas", hdChristmas},
    {"new-year", hdNewYear},
    {"boxing-day", hdBoxingDay},
}};

const Json& ListOf(const Json& src, const char* key) {
    static const Json empty = Json::array();
    if (!src.contains(key)) return empty;
    const Json& v = src.at(key);
    if (!v.is_array()) throw SourceError(fmt::format("\"{}\": a list is expected", key));
    return v;
}

std::string NameOf(const Json& v, std::string_view where) {
    if (!v.is_string()) throw SourceError(fmt::format("{}: a name is expected", where));
    return v.get<std::string>();
}

TDateTime DateOf(const Json& row, const char* key, std::string_view where) {
    if (!row.contains(key)) throw SourceError(fmt::format("{}: \"{}\" is missing", where, key));
    const Json& v = row.at(key);
    std::optional<TDateTime> d = v.is_string() ? ParseIsoDate(v.get<std::string>()) : std::nullopt;
    if (!d) throw SourceError(fmt::format("{}: \"{}\" must be a date written YYYY-MM-DD", where, key));
    return *d;
}

int NumberOf(const Json& row, const char* key, std::string_view where) {
    if (!row.contains(key) || !row.at(key).is_number_integer())
        throw SourceError(fmt::format("{}: \"{}\" must be a whole number", where, key));
    return row.at(key).get<int>();
}

// Appends one row per source row; fill sets the row's own fields, then description and use.
template <class Fill>
void AddRows(MemTable& t, const Json& rows, const char* section, std::initializer_list<std::string_view> keys,
             Fill&& fill) {
    for (size_t i = 0; i < rows.size(); ++i) {
        const Json& row = rows[i];
        const std::string where = fmt::format("{}[{}]", section, i);
        CheckKeys(row, keys, where);
        t.Append();
        try {
            fill(row, where);
            if (row.contains("description")) {
                if (!row.at("description").is_string())
                    throw SourceError(fmt::format("{}: \"description\" must be a text", where));
                SetText(t, "Description", row.at("description").get<std::string>(), where);
            }
            if (row.contains("use")) {
                if (!row.at("use").is_boolean()) throw SourceError(fmt::format("{}: \"use\" must be true or false", where));
                t.FieldByName("Use").SetBoolean(row.at("use").get<bool>());
            }
            t.Post();
        } catch (...) {
            t.Cancel();
            throw;
        }
    }
}

void SetDate(MemTable& t, const char* field, TDateTime d) { t.FieldByName(field).SetDateTime(d); }

std::unique_ptr<SkipSet> SkipSetFromSource(const Json& src) {
    CheckKeys(src, {"comment", "weekdays", "holidays", "recurring", "single", "ranges", "inclusions"}, "skip file");
    auto set = CreateSkipSet(std::make_shared<SkipFileRef>(), "dd/mm/yyyy");

    for (const Json& w : ListOf(src, "weekdays")) {
        const std::string name = NameOf(w, "weekdays");
        auto it = std::find(kWeekdays.begin(), kWeekdays.end(), name);
        if (it == kWeekdays.end())
            throw SourceError(fmt::format("weekdays: \"{}\" is not one of sun, mon, tue, wed, thu, fri, sat", name));
        set->header.SetWeekday(static_cast<int>(it - kWeekdays.begin()) + 1, true);
    }
    for (const Json& h : ListOf(src, "holidays")) {
        const std::string name = NameOf(h, "holidays");
        auto it = std::find_if(kHolidays.begin(), kHolidays.end(), [&](const auto& p) { return p.first == name; });
        if (it == kHolidays.end())
            throw SourceError(fmt::format("holidays: \"{}\" is not one of easter-sunday, good-friday, "
                                          "easter-monday, christmas, new-year, boxing-day",
                                          name));
        set->header.SetHoliday(it->second, true);
    }

    MemTable& rc = set->recurring;
    AddRows(rc, ListOf(src, "recurring"), "recurring", {"day", "month", "description", "use"},
            [&](const Json& row, const std::string& where) {
                const int day = NumberOf(row, "day", where), month = NumberOf(row, "month", where);
                // Checked against a leap year, so that 29 February is allowed.
                if (!IsValidDate(2000, month, day))
                    throw SourceError(fmt::format("{}: {} {} is not a day of the year", where, day, month));
                rc.FieldByName("Day").SetInteger(day);
                rc.FieldByName("Month").SetInteger(month);
            });
    for (auto [section, table] : {std::pair{"single", &set->single}, std::pair{"inclusions", &set->inclusions}}) {
        MemTable& t = *table;
        AddRows(t, ListOf(src, section), section, {"date", "description", "use"},
                [&](const Json& row, const std::string& where) { SetDate(t, "Date", DateOf(row, "date", where)); });
    }
    MemTable& sp = set->ranges;
    AddRows(sp, ListOf(src, "ranges"), "ranges", {"from", "to", "description", "use"},
            [&](const Json& row, const std::string& where) {
                const TDateTime from = DateOf(row, "from", where), to = DateOf(row, "to", where);
                if (to < from) throw SourceError(fmt::format("{}: the range ends before it starts", where));
                SetDate(sp, "DFrom", from);
                SetDate(sp, "DTo", to);
            });
    for (MemTable* t : {&set->recurring, &set->single, &set->ranges, &set->inclusions}) t->First();
    return set;
}

}  // namespace

int RunSkipFiles(const Args& args) {
    if (args.empty() || args.size() % 2 != 0)
        throw SourceError("usage: resgen skipfiles SOURCE.json... OUTPUT.skx... (one output per source)");
    const size_t n = args.size() / 2;
    for (size_t i = 0; i < n; ++i) {
        const std::string& source = args[i];
        const Json src = ReadJson(source);
        std::unique_ptr<SkipSet> set;
        try {
            set = SkipSetFromSource(src);
        } catch (const Json::exception& e) {
            throw SourceError(source + ": " + e.what());
        } catch (const SourceError& e) {
            throw SourceError(source + ": " + e.what());
        } catch (const TableError& e) {
            throw SourceError(source + ": " + e.what());
        }
        WriteOutput(args[n + i], SkipFileImage(*set));
    }
    return 0;
}

}  // namespace clx::resgen
