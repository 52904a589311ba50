// resgen links SOURCE.json OUTPUT.dat: the Start sheet's navigation tree (lnk.dat).
#include <fmt/format.h>

#include <array>
#include <map>
#include <set>

#include "files/options.h"
#include "resgen.h"

namespace clx::resgen {

namespace {

// The notebook pages of each sheet, by sheet index; a link names one of them or none.
const std::array<std::vector<std::string_view>, 13> kSheetPages = {{
    {"Intro", "Occupations", "Links", "Date Format"},
    {"CalcMethod", "CalcSkip", "CalcMain"},
    {"MathBlank", "MathMethod", "MathSkip", "MathGrid"},
    {},
    {"MulIntro", "MulSkip", "Dates", "Options", "ProRata", "Result"},
    {"RcrBlank", "RcrSpanOrRepeat", "RcrInterval", "RcrFirstDate", "RcrFinalDateOrRepeats", "RcrDateOptions",
     "RcrSynch", "RcrDescription", "RcrAmount", "RcrSkip", "RcrResult"},
    {"blank", "Intro", "Age", "Zones", "ChrSkip", "ChrGrid"},
    {"Blank", "Select Master Plan", "PlanSkip", "exAstroLL", "Dates", "Steps", "Collate", "Collate1",
     "CollateFilter", "CollateName", "CollateFinish", "What"},
    {"StaGrid"},
    {"Default"},
    {"Menu", "Julian", "Easter"},
    {"ProIntro", "ProBill", "ProSkip", "ProInfo", "ProResult"},
    {},
}};
constexpr int kHiddenSheet = 9;   // Astro: its tab is never shown

}  // namespace

int RunLinks(const Args& args) {
    if (args.size() != 2) throw SourceError("usage: resgen links SOURCE.json OUTPUT.dat");
    const Json src = ReadJson(args[0]);
    try {
        CheckKeys(src, {"entries", "categories"}, "links");
        Links links;
        std::map<std::string, int64_t> keys;

        const Json& entries = src.at("entries");
        for (size_t i = 0; i < entries.size(); ++i) {
            const Json& e = entries[i];
            const std::string where = fmt::format("entries[{}]", i);
            CheckKeys(e, {"key", "menu", "sheet", "page", "search", "hint"}, where);
            const std::string key = e.at("key").get<std::string>();
            if (keys.count(key)) throw SourceError(fmt::format("{}: the key \"{}\" is used twice", where, key));
            const int sheet = e.at("sheet").get<int>();
            if (sheet < 0 || sheet >= static_cast<int>(kSheetPages.size()) || sheet == kHiddenSheet)
                throw SourceError(fmt::format("{}: sheet {} cannot be shown", where, sheet));
            const std::string page = e.value("page", std::string());
            const auto& pages = kSheetPages[static_cast<size_t>(sheet)];
            if (!page.empty() && std::find(pages.begin(), pages.end(), page) == pages.end())
                throw SourceError(fmt::format("{}: sheet {} has no page \"{}\"", where, sheet, page));

            MemTable& t = links.taAdl;
            t.Append();
            try {
                SetText(t, "Menu", e.at("menu").get<std::string>(), where);
                t.FieldByName("PC").SetInteger(sheet);
                SetText(t, "SNB", page, where);
                if (e.contains("search")) SetText(t, "Search", e.at("search").get<std::string>(), where);
                if (e.contains("hint")) {
                    SetText(t, "Hint", RtfFromParagraphs(e.at("hint"), where + ".hint"), where);
                    t.FieldByName("UseHint").SetBoolean(true);
                }
                keys[key] = t.FieldByName("Ukey").AsInteger();
                t.Post();
            } catch (...) {
                t.Cancel();
                throw;
            }
        }

        const Json& categories = src.at("categories");
        std::set<std::string> listed;
        for (size_t i = 0; i < categories.size(); ++i) {
            const Json& c = categories[i];
            const std::string where = fmt::format("categories[{}]", i);
            CheckKeys(c, {"menu", "use", "entries"}, where);
            std::string filter;
            for (const Json& k : c.at("entries")) {
                auto it = keys.find(k.get<std::string>());
                if (it == keys.end())
                    throw SourceError(fmt::format("{}: no entry has the key \"{}\"", where, k.get<std::string>()));
                if (!filter.empty()) filter += "\r\n";
                filter += std::to_string(it->second);
                listed.insert(it->first);
            }
            MemTable& t = links.taAdc;
            t.Append();
            try {
                SetText(t, "Menu", c.at("menu").get<std::string>(), where);
                t.FieldByName("Use").SetBoolean(c.value("use", true));
                SetText(t, "Filter", filter, where);
                t.Post();
            } catch (...) {
                t.Cancel();
                throw;
            }
        }
        for (const auto& [key, ukey] : keys)
            if (!listed.count(key)) throw SourceError(fmt::format("the entry \"{}\" is in no category", key));

        links.taAdl.First();
        links.taAdc.First();
        WriteOutput(args[1], LinksImage(links));
    } catch (const Json::exception& e) {
        throw SourceError(args[0] + ": " + e.what());
    } catch (const SourceError& e) {
        throw SourceError(args[0] + ": " + e.what());
    } catch (const TableError& e) {
        throw SourceError(args[0] + ": " + e.what());
    }
    return 0;
}

}  // namespace clx::resgen
