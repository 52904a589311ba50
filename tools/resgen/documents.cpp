// resgen documents SOURCE.json... OUTPUT.cxz...: the template and the demonstration document,
// the n-th source made into the n-th output. A source gives settings by their control names,
// rich texts as paragraphs, rows by field name, Repeat series to insert, and whether every
// sheet is then calculated; the rows go through the sheets' own events, so a document is made
// exactly as the program would make it.
#include <fmt/format.h>

#include <cmath>

#include "app/config.h"
#include "app/document_session.h"
#include "files/document.h"
#include "resgen.h"

namespace clx::resgen {

namespace {

// The default day for new-row defaults and for ages, so that a build gives the same bytes
// whatever day it runs on.
constexpr std::string_view kDefaultToday = "2024-07-01";

// A member's value as typed text.
std::string ValueText(const Json& v, std::string_view where) {
    if (v.is_string()) return v.get<std::string>();
    if (v.is_boolean()) return v.get<bool>() ? "true" : "false";
    if (v.is_number_integer()) return std::to_string(v.get<int64_t>());
    if (v.is_number_float()) {
        const double d = v.get<double>();
        if (!std::isfinite(d)) throw SourceError(fmt::format("{}: not a finite number", where));
        return fmt::format("{}", d);
    }
    if (v.is_null()) return {};
    throw SourceError(fmt::format("{}: a text, number or true/false is expected", where));
}

void ApplyHeader(Document& doc, const Json& header, std::string_view where) {
    if (!header.is_object()) throw SourceError(fmt::format("{}: an object of settings is expected", where));
    for (auto it = header.begin(); it != header.end(); ++it) {
        const std::string at = fmt::format("{}.{}", where, it.key());
        try {
            SetHeaderText(doc.header, it.key(), ValueText(it.value(), at));
        } catch (const HeaderFieldError& e) {
            throw SourceError(fmt::format("{}: {}", at, e.what()));
        }
    }
}

void AddRows(DocumentSession& s, const std::string& table, const Json& rows, std::string_view where) {
    MemTable& t = s.Doc().Table(table);
    if (t.FieldCount() == 0) throw SourceError(fmt::format("{}: no sheet defines the table {}", where, table));
    if (!rows.is_array()) throw SourceError(fmt::format("{}: a list of rows is expected", where));
    for (size_t i = 0; i < rows.size(); ++i) {
        const std::string at = fmt::format("{}[{}]", where, i);
        const Json& row = rows[i];
        if (!row.is_object()) throw SourceError(fmt::format("{}: an object of fields is expected", at));
        t.Append();
        try {
            for (auto it = row.begin(); it != row.end(); ++it) {
                const int f = t.FieldIndex(it.key());
                if (f < 0) throw SourceError(fmt::format("{}: {} has no field {}", at, table, it.key()));
                const std::string text = it.value().is_array() ? TextOf(it.value(), at) : ValueText(it.value(), at);
                SetFieldText(t.FieldAt(f), text, s.Cfg());
            }
            t.Post();
        } catch (const SourceError&) {
            t.Cancel();
            throw;
        } catch (const std::exception& e) {
            if (t.State() != TableState::Browse) t.Cancel();
            throw SourceError(fmt::format("{}: {}", at, e.what()));
        }
    }
}

// The document of one source, ready to be written.
void BuildDocument(DocumentSession& s, const Json& src, const std::string& name) {
    CheckKeys(src, {"comment", "today", "header", "texts", "tables", "series", "recalculate"}, name);
    Document& doc = s.Doc();
    doc.Clear();
    doc.tools.ApplyOutputRecordRule(true);

    const std::string today = src.value("today", std::string(kDefaultToday));
    const auto day = ParseIsoDate(today);
    if (!day) throw SourceError(fmt::format("{}.today: '{}' is not YYYY-MM-DD", name, today));
    s.SetToday([d = *day] { return d; });

    if (src.contains("header")) ApplyHeader(doc, src.at("header"), name + ".header");
    s.ReloadSkipSet();
    if (src.contains("texts")) {
        const Json& texts = src.at("texts");
        if (!texts.is_object()) throw SourceError(fmt::format("{}.texts: an object is expected", name));
        for (auto it = texts.begin(); it != texts.end(); ++it) {
            const std::string at = fmt::format("{}.texts.{}", name, it.key());
            try {
                doc.Rtf(it.key()) = RtfFromParagraphs(it.value(), at);
            } catch (const DocumentError& e) {
                throw SourceError(fmt::format("{}: {}", at, e.what()));
            }
        }
    }
    if (src.contains("tables")) {
        const Json& tables = src.at("tables");
        if (!tables.is_object()) throw SourceError(fmt::format("{}.tables: an object is expected", name));
        for (auto it = tables.begin(); it != tables.end(); ++it)
            AddRows(s, it.key(), it.value(), fmt::format("{}.tables.{}", name, it.key()));
    }
    if (src.contains("series")) {
        const Json& series = src.at("series");
        if (!series.is_array()) throw SourceError(fmt::format("{}.series: a list is expected", name));
        for (size_t i = 0; i < series.size(); ++i) {
            const std::string at = fmt::format("{}.series[{}]", name, i);
            ApplyHeader(doc, series[i], at);
            int added = 0;
            try {
                added = s.InsertSeries();
            } catch (const std::exception& e) {
                throw SourceError(fmt::format("{}: {}", at, e.what()));
            }
            if (added == 0) throw SourceError(fmt::format("{}: the settings give no dates", at));
        }
    }
    if (src.value("recalculate", true)) s.RecalculateAll();
    for (const std::string& note : s.TakeNotes()) throw SourceError(fmt::format("{}: {}", name, note));
    doc.SetModified(false);
}

}  // namespace

int RunDocuments(const Args& args) {
    if (args.empty() || args.size() % 2 != 0)
        throw SourceError("documents: give the sources, then as many outputs");
    const size_t n = args.size() / 2;
    // No installation: the program's defaults for the options, English regional settings.
    const Config config("/resgen/Bin/resgen", Locale::Default());
    for (size_t i = 0; i < n; ++i) {
        const std::filesystem::path source = args[i], target = args[n + i];
        const Json src = ReadJson(source);
        DocumentSession session(config, nullptr);
        BuildDocument(session, src, source.filename().string());
        const bool compressed = IsCompressedDocumentName(target.string());
        session.Doc().header.WriteSignature();
        const std::vector<uint8_t> image = session.Doc().WriteImage(compressed);

        // What the program reads back must be what was written.
        DocumentSession check(config, nullptr);
        const LoadReport report = check.Doc().ReadImage(image, compressed);
        for (const SectionOutcome& o : report)
            if (o.result == SectionResult::Damaged)
                throw SourceError(fmt::format("{}: section {} does not read back: {}", target.string(),
                                              kDocumentSections[o.index].label, o.error));
        if (check.Doc().WriteImage(compressed) != image)
            throw SourceError(fmt::format("{}: the document does not read back as written", target.string()));
        WriteOutput(target, image);
    }
    return 0;
}

}  // namespace clx::resgen
