// resgen options SOURCE.json OUTPUT.dcz...: the factory options (default.dcz and the first
// options.dcz), every output with the same content.
#include <fmt/format.h>

#include "files/options.h"
#include "resgen.h"

namespace clx::resgen {

namespace {

int Choice(const Json& header, const char* key, int count, std::string_view where) {
    const Json& v = header.at(key);
    if (!v.is_number_integer() || v.get<int>() < 0 || v.get<int>() >= count)
        throw SourceError(fmt::format("{}: \"{}\" must be a whole number from 0 to {}", where, key, count - 1));
    return v.get<int>();
}

void ReadHeader(const Json& h, OptionsHeader& header) {
    const char* where = "header";
    CheckKeys(h, {"daysPerYearType", "dateEntryFormat", "firstDayOfWeek", "showTips", "nextTip"}, where);
    for (const char* key : {"daysPerYearType", "dateEntryFormat", "firstDayOfWeek", "showTips"})
        if (!h.contains(key)) throw SourceError(fmt::format("{}: \"{}\" is missing", where, key));
    header.daysPerYearType = static_cast<uint8_t>(Choice(h, "daysPerYearType", kDaysPerYearChoiceCount, where));
    header.dateEntryFormat = static_cast<uint8_t>(Choice(h, "dateEntryFormat", kDateEntryFormatCount, where));
    header.firstDayOfWeek = static_cast<uint8_t>(Choice(h, "firstDayOfWeek", 8, where));
    header.SetShowTips(h.at("showTips").get<bool>());
    header.nextTip = h.value("nextTip", 0);
}

template <class Fill>
void AddRows(MemTable& t, const Json& rows, std::string_view section, Fill&& fill) {
    if (!rows.is_array()) throw SourceError(fmt::format("{}: a list is expected", section));
    for (size_t i = 0; i < rows.size(); ++i) {
        const std::string where = fmt::format("{}[{}]", section, i);
        t.Append();
        try {
            fill(rows[i], where);
            t.Post();
        } catch (const SourceError&) {
            t.Cancel();
            throw;
        } catch (const std::exception& e) {
            t.Cancel();
            throw SourceError(fmt::format("{}: {}", where, e.what()));
        }
    }
}

void ReadTables(const Json& src, Options& o) {
    AddRows(o.taDaa, src.at("quickAdd"), "quickAdd", [&](const Json& r, const std::string& where) {
        CheckKeys(r, {"days", "months", "years", "caption"}, where);
        o.taDaa.FieldByName("Days").SetInteger(r.value("days", 0));
        o.taDaa.FieldByName("Months").SetInteger(r.value("months", 0));
        o.taDaa.FieldByName("Years").SetInteger(r.value("years", 0));
        if (r.contains("caption")) SetText(o.taDaa, "MenuCaption", r.at("caption").get<std::string>(), where);
    });
    AddRows(o.taAno, src.at("notes"), "notes", [&](const Json& r, const std::string& where) {
        SetText(o.taAno, "Format", TextOf(r, where), where);
    });
    AddRows(o.taFmt, src.at("dateFormats"), "dateFormats", [&](const Json& r, const std::string& where) {
        CheckKeys(r, {"format", "approx"}, where);
        SetText(o.taFmt, "Format", r.at("format").get<std::string>(), where);
        o.taFmt.FieldByName("Approx").SetBoolean(r.value("approx", false));
    });
    AddRows(o.taRpt, src.at("reportFormats"), "reportFormats", [&](const Json& r, const std::string& where) {
        CheckKeys(r, {"ukey", "menu", "internalName", "imageIndex", "body", "comments", "landscape", "useHeader",
                      "forceDisclaimer", "appendBefore", "appendAfter", "sequence"},
                  where);
        MemTable& t = o.taRpt;
        t.FieldByName("Ukey").SetInteger(r.at("ukey").get<int>());
        SetText(t, "Menu", r.at("menu").get<std::string>(), where);
        SetText(t, "InternalName", r.at("internalName").get<std::string>(), where);
        if (r.contains("imageIndex")) t.FieldByName("ImageIndex").SetInteger(r.at("imageIndex").get<int>());
        std::string body = RtfFromParagraphs(r.at("body"), where + ".body");
        SetText(t, "Body", body, where);
        SetText(t, "FactoryBody", body, where);
        if (r.contains("comments")) SetText(t, "Comments", RtfFromParagraphs(r.at("comments"), where + ".comments"), where);
        t.FieldByName("Landscape").SetBoolean(r.value("landscape", false));
        t.FieldByName("UseHeader").SetBoolean(r.value("useHeader", false));
        t.FieldByName("ForceDisclaimer").SetBoolean(r.value("forceDisclaimer", true));
        for (const char* f : {"appendBefore", "appendAfter", "sequence"}) {
            if (!r.contains(f)) continue;
            std::string field(f);
            field[0] = static_cast<char>(field[0] - 'a' + 'A');
            SetText(t, field.c_str(), r.at(f).get<std::string>(), where);
        }
    });
    AddRows(o.taWrd, src.at("words"), "words", [&](const Json& r, const std::string& where) {
        CheckKeys(r, {"token", "menu", "value", "hint"}, where);
        MemTable& t = o.taWrd;
        std::string token = r.at("token").get<std::string>();
        for (char c : token)
            if (c >= 'a' && c <= 'z')
                throw SourceError(fmt::format("{}: the token \"{}\" must be written in capitals", where, token));
        SetText(t, "Token", token, where);
        if (r.contains("menu")) SetText(t, "Menu", r.at("menu").get<std::string>(), where);
        SetText(t, "Value", TextOf(r.at("value"), where + ".value"), where);
        if (r.contains("hint")) SetText(t, "Hint", TextOf(r.at("hint"), where + ".hint"), where);
    });
}

}  // namespace

int RunOptions(const Args& args) {
    if (args.size() < 2) throw SourceError("usage: resgen options SOURCE.json OUTPUT.dcz...");
    const Json src = ReadJson(args[0]);
    try {
        CheckKeys(src, {"header", "quickAdd", "notes", "dateFormats", "reportFormats", "words", "paths"}, "options");
        Options options;
        ReadHeader(src.at("header"), options.header);
        ReadTables(src, options);
        for (const Json& p : src.value("paths", Json::array())) options.paths.push_back(p.get<std::string>());
        for (MemTable* t : {&options.taDaa, &options.taAno, &options.taFmt, &options.taRpt, &options.taWrd}) t->First();
        std::vector<uint8_t> image = OptionsImage(options);
        for (size_t i = 1; i < args.size(); ++i) WriteOutput(args[i], image);
    } catch (const Json::exception& e) {
        throw SourceError(args[0] + ": " + e.what());
    } catch (const SourceError& e) {
        throw SourceError(args[0] + ": " + e.what());
    }
    return 0;
}

}  // namespace clx::resgen
