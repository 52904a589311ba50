// resgen plans SOURCE.json... OUTPUT...: the factory master plan files of the data folder and
// the designer's sample reports, the n-th source made into the n-th output. An output ending
// in ".cpz" is a master plan file, its source:
//   {"comment": "...", "plans": [{"Name": "...", "Use": true, "Who": ["Partner", ...],
//     "SkipFName": "<DAT>...skx", "Description": [paragraphs], "RTFActive": true, "RTF": [paragraphs],
//     "KeyDates": [{"Name": "Trial", "Date": "2027-06-07"}],
//     "Steps": [{"Step": "...", "Who": "Partner", "Years": 0, "Months": 4, "Days": 0,
//                "Relativity": "After", "RelativeTo": "Trial", "Skipping": "Don't Skip Dates"}],
//     "Fields": [{"Name": "Court", "Value": "..."}]}]}
// An output ending in ".rtf" is a rich text document: {"comment": "...", "paragraphs": [...]}.
// Paragraphs are those of RtfFromParagraphs. The rows go in through the engine's own table
// events, as the designer enters them, and the file must read back byte for byte.
#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <system_error>

#include "files/fileio.h"
#include "output/tokens.h"
#include "plans/plan_engine.h"
#include "plans/plan_file.h"
#include "platform/format.h"
#include "platform/richtext.h"
#include "resgen.h"

namespace clx::resgen {

namespace {

namespace fs = std::filesystem;

// The default day of new key dates, so that nothing depends on the day of the build.
const TDateTime kBuildToday = EncodeDate(2026, 1, 5);

// The plan tokens the Plan sheet fills (by their names after "Pln").
constexpr std::array<std::string_view, 6> kPlanTokens = {"NAME", "DATE", "KEY", "PLAN", "SKIPNAME", "SKIPFILE"};

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool EndsWith(std::string_view s, std::string_view end) {
    return s.size() >= end.size() && Lower(s.substr(s.size() - end.size())) == end;
}

const Json& ListOf(const Json& src, const char* key, std::string_view where) {
    static const Json empty = Json::array();
    if (!src.contains(key)) return empty;
    const Json& v = src.at(key);
    if (!v.is_array()) throw SourceError(fmt::format("{}.{}: a list is expected", where, key));
    return v;
}

std::string StringOf(const Json& row, const char* key, std::string_view where, bool required) {
    if (!row.contains(key)) {
        if (required) throw SourceError(fmt::format("{}: \"{}\" is missing", where, key));
        return {};
    }
    const Json& v = row.at(key);
    if (!v.is_string()) throw SourceError(fmt::format("{}: \"{}\" must be a text", where, key));
    std::string s = v.get<std::string>();
    if (required && s.empty()) throw SourceError(fmt::format("{}: \"{}\" must not be empty", where, key));
    return s;
}

bool BoolOf(const Json& row, const char* key, bool otherwise, std::string_view where) {
    if (!row.contains(key)) return otherwise;
    if (!row.at(key).is_boolean()) throw SourceError(fmt::format("{}: \"{}\" must be true or false", where, key));
    return row.at(key).get<bool>();
}

int PeriodPart(const Json& row, const char* key, int most, std::string_view where) {
    if (!row.contains(key)) return 0;
    const Json& v = row.at(key);
    if (!v.is_number_integer() || v.get<int64_t>() < 0 || v.get<int64_t>() > most)
        throw SourceError(fmt::format("{}: \"{}\" must be a whole number from 0 to {}", where, key, most));
    return v.get<int>();
}

// The lines of Who: a text or a list of lines, no empty or repeated names.
std::vector<std::string> WhoLines(const std::string& who, std::string_view where) {
    std::vector<std::string> lines;
    size_t from = 0;
    while (from <= who.size()) {
        size_t to = who.find("\r\n", from);
        if (to == std::string::npos) to = who.size();
        std::string line = who.substr(from, to - from);
        if (line.empty()) throw SourceError(fmt::format("{}.Who: an empty line", where));
        if (std::find(lines.begin(), lines.end(), line) != lines.end())
            throw SourceError(fmt::format("{}.Who: \"{}\" is given twice", where, line));
        lines.push_back(std::move(line));
        from = to + 2;
    }
    return lines;
}

// Every "Pln" token of a template must be one the Plan sheet fills and, when the plan's fields
// are given, every "Alt" token must name one of them, so that a misspelt token does not
// silently print nothing.
void CheckTokens(const std::string& rtf, const std::vector<std::string>* fields, std::string_view where) {
    std::string error;
    const std::optional<RichText> text = TryReadRtf(rtf, &error);
    if (!text) throw SourceError(fmt::format("{}: the rich text does not read: {}", where, error));
    std::set<std::string> fieldTokens;
    if (fields)
        for (const std::string& f : *fields) fieldTokens.insert(AsciiUpper(TokenForm(f)));
    for (const std::string& raw : ScanTokens(text->PlainText("\r"))) {
        const TToken t = ParseToken(raw);
        if (t.Source == "PLN" &&
            std::find(kPlanTokens.begin(), kPlanTokens.end(), t.Name) == kPlanTokens.end())
            throw SourceError(fmt::format("{}: %{}% is not a plan token (PlnName, PlnDate, PlnKey, PlnPlan, "
                                          "PlnSkipName, PlnSkipFile)",
                                          where, raw));
        if (fields && t.Source == "ALT" && !fieldTokens.count(t.Name))
            throw SourceError(fmt::format("{}: %{}% names no merge field of the plan (a blank in a field name "
                                          "is written \"_\")",
                                          where, raw));
    }
}

// Posts the row the fill function set, cancelling it when anything fails.
template <class Fill>
void AddRow(MemTable& t, std::string_view where, Fill&& fill) {
    t.Append();
    try {
        fill();
        t.Post();
    } catch (const SourceError&) {
        if (t.State() != TableState::Browse) t.Cancel();
        throw;
    } catch (const std::exception& e) {
        if (t.State() != TableState::Browse) t.Cancel();
        throw SourceError(fmt::format("{}: {}", where, e.what()));
    }
}

void AddPlan(TPln& e, const Json& plan, std::string_view where, std::set<std::string>& planNames) {
    CheckKeys(plan, {"comment", "Name", "Use", "Who", "SkipFName", "Description", "RTFActive", "RTF", "KeyDates",
                     "Steps", "Fields"},
              where);
    const std::string name = StringOf(plan, "Name", where, true);
    const std::string at = fmt::format("{} \"{}\"", where, name);
    if (!planNames.insert(Lower(name)).second) throw SourceError(fmt::format("{}: a second plan of that name", at));

    const std::string who = plan.contains("Who") ? TextOf(plan.at("Who"), at + ".Who") : kNewMasterPlanWho;
    const std::vector<std::string> people = WhoLines(who, at);
    const std::string skipFile = StringOf(plan, "SkipFName", at, false);
    if (!skipFile.empty() && (skipFile.front() != '<' || !EndsWith(skipFile, ".skx")))
        throw SourceError(fmt::format("{}.SkipFName: \"{}\" must be a skip-date file (.skx) under a folder macro "
                                      "such as <DAT>",
                                      at, skipFile));

    // Merge field names first: the template's tokens are checked against them.
    std::vector<std::string> fieldNames;
    const Json& fields = ListOf(plan, "Fields", at);
    for (size_t i = 0; i < fields.size(); ++i) {
        const std::string fat = fmt::format("{}.Fields[{}]", at, i);
        CheckKeys(fields[i], {"Name", "Value"}, fat);
        const std::string f = StringOf(fields[i], "Name", fat, true);
        for (const std::string& other : fieldNames)
            if (Lower(other) == Lower(f)) throw SourceError(fmt::format("{}: a second field \"{}\"", fat, f));
        fieldNames.push_back(f);
    }

    std::string rtf;
    if (plan.contains("RTF")) {
        rtf = RtfFromParagraphs(plan.at("RTF"), at + ".RTF");
        CheckTokens(rtf, &fieldNames, at + ".RTF");
    }
    const bool rtfActive = BoolOf(plan, "RTFActive", !rtf.empty(), at);
    if (rtfActive && rtf.empty())
        throw SourceError(fmt::format("{}: \"RTFActive\" is true but the plan has no \"RTF\" template", at));

    MemTable& stm = e.MasterPlans();
    AddRow(stm, at, [&] {
        SetText(stm, "Name", name, at);
        stm.FieldByName("Use").SetBoolean(BoolOf(plan, "Use", true, at));
        SetText(stm, "Who", who, at);
        SetText(stm, "SkipFName", skipFile, at);
        if (plan.contains("Description"))
            SetText(stm, "Description", RtfFromParagraphs(plan.at("Description"), at + ".Description"), at);
        if (!rtf.empty()) SetText(stm, "RTF", rtf, at);
        stm.FieldByName("RTFActive").SetBoolean(rtfActive);
    });

    // Key dates, by name for the steps.
    std::vector<std::pair<std::string, int64_t>> keyDates;
    const Json& keys = ListOf(plan, "KeyDates", at);
    if (keys.empty()) throw SourceError(fmt::format("{}: a plan needs at least one key date", at));
    MemTable& mpx = e.MasterKeyDates();
    for (size_t i = 0; i < keys.size(); ++i) {
        const std::string kat = fmt::format("{}.KeyDates[{}]", at, i);
        CheckKeys(keys[i], {"Name", "Date"}, kat);
        const std::string k = StringOf(keys[i], "Name", kat, true);
        for (const auto& [other, _] : keyDates)
            if (Lower(other) == Lower(k)) throw SourceError(fmt::format("{}: a second key date \"{}\"", kat, k));
        const std::string iso = StringOf(keys[i], "Date", kat, true);
        const std::optional<TDateTime> date = ParseIsoDate(iso);
        if (!date) throw SourceError(fmt::format("{}: \"Date\" \"{}\" must be a date written YYYY-MM-DD", kat, iso));
        AddRow(mpx, kat, [&] {
            SetText(mpx, "Name", k, kat);
            mpx.FieldByName("Date").SetDateTime(*date);
        });
        keyDates.emplace_back(k, mpx.FieldByName("Ukey").AsInteger());
    }

    const Json& steps = ListOf(plan, "Steps", at);
    if (steps.empty()) throw SourceError(fmt::format("{}: a plan needs at least one step", at));
    std::set<int64_t> used;
    MemTable& mpl = e.MasterSteps();
    for (size_t i = 0; i < steps.size(); ++i) {
        const std::string sat = fmt::format("{}.Steps[{}]", at, i);
        const Json& s = steps[i];
        CheckKeys(s, {"Step", "Who", "Years", "Months", "Days", "Relativity", "RelativeTo", "Skipping"}, sat);
        const std::string text = StringOf(s, "Step", sat, true);
        const std::string person = StringOf(s, "Who", sat, false);
        if (!person.empty() && std::find(people.begin(), people.end(), person) == people.end())
            throw SourceError(fmt::format("{}: \"Who\" \"{}\" is not one of the plan's people", sat, person));
        const std::string relativity = StringOf(s, "Relativity", sat, true);
        const auto rel = std::find(kRelativityItems.begin(), kRelativityItems.end(), relativity);
        if (rel == kRelativityItems.end())
            throw SourceError(fmt::format("{}: \"Relativity\" \"{}\" must be \"Before\" or \"After\"", sat, relativity));
        const std::string skipping = s.contains("Skipping") ? StringOf(s, "Skipping", sat, true) : kSkippingItems[0];
        const auto skipIt = std::find(kSkippingItems.begin(), kSkippingItems.end(), skipping);
        if (skipIt == kSkippingItems.end())
            throw SourceError(fmt::format("{}: \"Skipping\" \"{}\" must be \"{}\" or \"{}\"", sat, skipping,
                                          kSkippingItems[0], kSkippingItems[1]));
        const std::string keyName = StringOf(s, "RelativeTo", sat, true);
        const auto key = std::find_if(keyDates.begin(), keyDates.end(),
                                      [&](const auto& k) { return k.first == keyName; });
        if (key == keyDates.end())
            throw SourceError(fmt::format("{}: \"RelativeTo\" \"{}\" is not a key date of the plan", sat, keyName));
        used.insert(key->second);
        const int years = PeriodPart(s, "Years", 200, sat), months = PeriodPart(s, "Months", 2400, sat),
                  days = PeriodPart(s, "Days", 73000, sat);
        AddRow(mpl, sat, [&] {
            SetText(mpl, "Step", text, sat);
            SetText(mpl, "Who", person, sat);
            mpl.FieldByName("RelativeTo").SetInteger(key->second);
            mpl.FieldByName("Years").SetInteger(years);
            mpl.FieldByName("Months").SetInteger(months);
            mpl.FieldByName("Days").SetInteger(days);
            mpl.FieldByName("Relativity").SetInteger(static_cast<int>(rel - kRelativityItems.begin()));
            mpl.FieldByName("Skipping").SetInteger(static_cast<int>(skipIt - kSkippingItems.begin()));
        });
    }
    for (const auto& [k, ukey] : keyDates)
        if (!used.count(ukey)) throw SourceError(fmt::format("{}: no step is relative to the key date \"{}\"", at, k));

    MemTable& fld = e.MasterFields();
    for (size_t i = 0; i < fields.size(); ++i) {
        const std::string fat = fmt::format("{}.Fields[{}]", at, i);
        AddRow(fld, fat, [&] {
            SetText(fld, "Name", fieldNames[i], fat);
            SetText(fld, "Value", StringOf(fields[i], "Value", fat, false), fat);
        });
    }
}

void WritePlans(const fs::path& source, const fs::path& target) {
    const std::string name = source.filename().string();
    const Json src = ReadJson(source);
    CheckKeys(src, {"comment", "plans"}, name);
    const Json& plans = ListOf(src, "plans", name);
    if (plans.empty()) throw SourceError(fmt::format("{}: \"plans\" lists no master plan", name));

    TPln e;
    e.today = [] { return kBuildToday; };
    std::set<std::string> planNames;
    for (size_t i = 0; i < plans.size(); ++i) AddPlan(e, plans[i], fmt::format("{}: plans[{}]", name, i), planNames);

    // Written beside the target and moved there only once it reads back as written.
    std::error_code ec;
    if (target.has_parent_path()) fs::create_directories(target.parent_path(), ec);
    fs::path temp = target;
    temp += ".new";
    WritePlanFile(e, temp);
    try {
        const std::vector<uint8_t> written = ReadFileBytes(temp);
        TPln check;
        const PlanOpenResult opened = OpenPlanFile(check, nullptr, temp.string(), {}, false);
        if (!opened.opened) throw SourceError(fmt::format("{}: the written file does not open", target.string()));
        for (const std::string& p : opened.report.problems)
            throw SourceError(fmt::format("{}: does not read back: {}", target.string(), p));
        if (check.MasterPlans().RecordCount() != static_cast<int>(plans.size()))
            throw SourceError(fmt::format("{}: {} master plans read back of {}", target.string(),
                                          check.MasterPlans().RecordCount(), plans.size()));
        if (PlanFileImage(check) != written)
            throw SourceError(fmt::format("{}: the master plan file does not read back as written", target.string()));
    } catch (...) {
        fs::remove(temp, ec);
        throw;
    }
    fs::rename(temp, target);
}

void WriteRtfDocument(const fs::path& source, const fs::path& target) {
    const std::string name = source.filename().string();
    const Json src = ReadJson(source);
    CheckKeys(src, {"comment", "paragraphs"}, name);
    if (!src.contains("paragraphs")) throw SourceError(fmt::format("{}: \"paragraphs\" is missing", name));
    const std::string rtf = RtfFromParagraphs(src.at("paragraphs"), name);
    CheckTokens(rtf, nullptr, name);
    WriteOutput(target, std::span(reinterpret_cast<const uint8_t*>(rtf.data()), rtf.size()));
}

}  // namespace

int RunPlans(const Args& args) {
    if (args.empty() || args.size() % 2 != 0)
        throw SourceError("usage: resgen plans SOURCE.json... OUTPUT.cpz|OUTPUT.rtf... (one output per source)");
    const size_t n = args.size() / 2;
    for (size_t i = 0; i < n; ++i) {
        const fs::path source = args[i], target = args[n + i];
        try {
            if (EndsWith(target.string(), ".cpz")) WritePlans(source, target);
            else if (EndsWith(target.string(), ".rtf")) WriteRtfDocument(source, target);
            else throw SourceError(fmt::format("{}: an output must end in .cpz or .rtf", target.string()));
        } catch (const Json::exception& e) {
            throw SourceError(source.string() + ": " + e.what());
        } catch (const TableError& e) {
            throw SourceError(source.string() + ": " + e.what());
        } catch (const FileError& e) {
            throw SourceError(target.string() + ": " + e.what());
        }
    }
    return 0;
}

}  // namespace clx::resgen
