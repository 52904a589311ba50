// Documents on the command line: new, show, set, insert, series-insert, recalc and export.
#include <fmt/format.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <optional>

#include "app/document_session.h"
#include "cli/choices.h"
#include "cli/commands.h"
#include "cli/document_support.h"
#include "engine/interval.h"
#include "files/fileio.h"
#include "output/delimited.h"
#include "plans/plan_sheet.h"
#include "platform/format.h"
#include "platform/text.h"
#include "sheets/interval_sheet.h"
#include "sheets/multiple_sheet.h"

namespace clx::cli {

namespace fs = std::filesystem;

namespace {

// ---- values as JSON and as text ------------------------------------------------------------

std::string IsoTime(TDateTime t) {
    const TimeOfDay c = DecodeTime(t);
    return fmt::format("{:02}:{:02}:{:02}", c.hour, c.minute, c.second);
}

std::string IsoDateTime(TDateTime t) { return IsoDate(t) + "T" + IsoTime(t); }

bool InCalendar(double d) { return std::isfinite(d) && IsValidSerial(WholeDays(d)); }

Json ValueJson(const FieldDef& def, const Value& v) {
    if (std::holds_alternative<std::monostate>(v)) return nullptr;
    if (const auto* b = std::get_if<bool>(&v)) return *b;
    if (const auto* s = std::get_if<std::string>(&v)) {
        if (def.type == FieldType::BCD) {
            try {
                return std::stod(*s);
            } catch (const std::exception&) {
                return *s;
            }
        }
        return *s;
    }
    if (const auto* i = std::get_if<int64_t>(&v)) return *i;
    const double d = std::get<double>(v);
    switch (def.type) {
    case FieldType::Date: return InCalendar(d) ? Json(IsoDate(d)) : Json(nullptr);
    case FieldType::DateTime: return InCalendar(d) ? Json(IsoDateTime(d)) : Json(nullptr);
    case FieldType::Time: return std::isfinite(d) ? Json(IsoTime(d)) : Json(nullptr);
    default: return std::isfinite(d) ? Json(d) : Json(nullptr);
    }
}

std::string ValueText(const FieldDef& def, const Value& v, const Config& cfg) {
    if (std::holds_alternative<std::monostate>(v)) return "-";
    const Locale& loc = cfg.GetLocale();
    if (const auto* b = std::get_if<bool>(&v)) return *b ? "yes" : "no";
    if (const auto* s = std::get_if<std::string>(&v)) return *s;
    if (const auto* i = std::get_if<int64_t>(&v)) return std::to_string(*i);
    const double d = std::get<double>(v);
    switch (def.type) {
    case FieldType::Date:
    case FieldType::DateTime: {
        if (!InCalendar(d)) return "-";
        std::string text = FormatDateTime(cfg.DateDisplayFormat(), d, loc);
        if (def.type == FieldType::DateTime && d != std::trunc(d)) text += " " + IsoTime(d);
        return text;
    }
    case FieldType::Time: return std::isfinite(d) ? IsoTime(d) : "-";
    default: return NumberText(d, -9, loc);
    }
}

Json RowJson(const MemTable& t, int row) {
    Json j = Json::object();
    const std::vector<Value>& values = t.RowValues(row);
    for (size_t i = 0; i < t.Fields().size(); ++i) j[t.Fields()[i].name] = ValueJson(t.Fields()[i], values[i]);
    return j;
}

Json RowsJson(const MemTable& t) {
    Json rows = Json::array();
    for (int r = 0; r < t.RecordCount(); ++r) rows.push_back(RowJson(t, r));
    return rows;
}

void WriteRows(const MemTable& t, const Config& cfg, std::ostream& out) {
    size_t width = 0;
    for (const FieldDef& d : t.Fields()) width = std::max(width, d.name.size());
    for (int r = 0; r < t.RecordCount(); ++r) {
        out << fmt::format("#{}\n", r + 1);
        const std::vector<Value>& values = t.RowValues(r);
        for (size_t i = 0; i < t.Fields().size(); ++i) {
            std::string text = ValueText(t.Fields()[i], values[i], cfg);
            // Continuation lines of a multi-line text line up under its first line.
            std::string shown;
            for (size_t k = 0; k < text.size(); ++k) {
                if (text[k] == '\r') continue;
                shown += text[k];
                if (text[k] == '\n') shown += std::string(width + 4, ' ');
            }
            out << fmt::format("  {:<{}}  {}\n", t.Fields()[i].name, width, shown);
        }
    }
}

Json HeaderJson(const DocumentHeader& h, std::string_view name) {
    const HeaderFieldInfo& f = HeaderFieldByName(name);
    const HeaderValue v = GetHeaderValue(h, f);
    if (f.type == HeaderFieldType::Date) {
        const double d = std::get<double>(v);
        if (d == 0 || !InCalendar(d)) return nullptr;
        return d == std::trunc(d) ? Json(IsoDate(d)) : Json(IsoDateTime(d));
    }
    return std::visit([](const auto& x) { return Json(x); }, v);
}

// ---- what each sheet shows -------------------------------------------------------------------

std::vector<std::string_view> SettingNames(SheetKind kind) {
    switch (kind) {
    case SheetKind::Interval: return {"edCalcMethod", "SkipFile", "cbInvertSkip"};
    case SheetKind::Math: return {"SkipFile", "cbInvertSkip"};
    case SheetKind::Multiple:
        return {"cbFirstDayMulti", "cbLastdayMulti", "cbMiddleDatesAreTo", "cbMulRdg", "cbProRataAMt",
                "edProRataAmt", "SkipFile", "cbInvertSkip"};
    case SheetKind::Repeat:
        return {"rgRcrStyle", "lmFreq", "lmUnits", "lmClipLo", "lmClipHi", "lmSynch", "lmAlwaysFirst",
                "lmAlwaysLast", "edNumRep", "edRcrSeriesTitle", "cbRcrAmount", "edRcrAmount",
                "RcrSeriesCounter", "SkipFile", "cbInvertSkip"};
    case SheetKind::Chronology:
        return {"cbUseTime", "cbZone", "cbDosToday", "edDos", "cbAge", "edDob", "ChrDateFormat", "ChrSheet",
                "edChrHdg", "SkipFile", "cbInvertSkip"};
    case SheetKind::Birthdays: return {};
    case SheetKind::ProRata:
        return {"edProAmt", "edProDFrom", "edProDTo", "cbProIncludeFirst", "cbProIncludeLast", "edCalcMethod",
                "SkipFile", "cbInvertSkip"};
    case SheetKind::Plan:
        return {"PlanFile", "PlanUkey", "cbPlanCollate", "edPlanLocalorCollated", "cbPlanRestrictDate",
                "edPlanFrom", "edPlanTo", "cbPlanRestrictWho", "edPlanSeriesName", "SkipFilePlan",
                "cbInvertSkipPlan"};
    }
    return {};
}

bool UsesCalculatorSkip(SheetKind kind) {
    return kind != SheetKind::Birthdays && kind != SheetKind::Plan;
}

Json SettingsJson(DocumentSession& s, SheetKind kind) {
    Json j = Json::object();
    for (std::string_view name : SettingNames(kind)) j[std::string(name)] = HeaderJson(s.Doc().header, name);
    if (UsesCalculatorSkip(kind)) j["skipActive"] = IsSkipActive(&s.CalculatorSkip());
    if (kind == SheetKind::Interval || kind == SheetKind::ProRata) {
        const int m = ReadIntervalSettings(s.Doc().header).calcMethod;
        j["calcMethodName"] = CalcMethodItems()[static_cast<size_t>(m)];
    }
    // The installation's days per year, with which the sheet counts years.
    if (UsesCalculatorSkip(kind)) j["daysPerYearType"] = s.DaysPerYearType();
    return j;
}

Json TotalsJson(DocumentSession& s, SheetKind kind) {
    Json j = Json::object();
    if (kind != SheetKind::Multiple) return j;
    const DocumentHeader& h = s.Doc().header;
    for (std::string_view name : {"MulFirstStart", "MulLastEnd", "MulTotalDays", "MulTotalWeeks", "MulTotalYears"})
        j[std::string(name)] = HeaderJson(h, name);
    const MultipleFooter& f = s.Multiple().Footer();
    j["footer"] = {{"DFrom", f.dFrom}, {"DTo", f.dTo},         {"Days", f.days},
                   {"Weeks", f.weeks}, {"Years", f.years},     {"Amount", f.amount},
                   {"Comments", f.comments}};
    return j;
}

// Tables a sheet shows besides its rows.
std::vector<std::pair<std::string, std::string_view>> ExtraTables(SheetKind kind) {
    switch (kind) {
    case SheetKind::Multiple: return {{"dates", "taMin"}};
    case SheetKind::Chronology: return {{"zones", "taZon"}};
    case SheetKind::Plan: return {{"keyDates", "taMpd"}, {"fields", "taPlf"}};
    default: return {};
    }
}

MemTable& TableOf(DocumentSession& s, std::string_view name) {
    return s.Doc().Table(name);
}

// ---- opening and saving ----------------------------------------------------------------------

const SheetInfo& ReadSheet(const std::string& name) {
    const SheetInfo* s = FindSheet(name);
    if (!s) throw UsageError(fmt::format("--sheet: unknown sheet '{}' (the sheets: {})", name, SheetNames()));
    return *s;
}

// ---------------------------------------------------------------------------------------------

class NewCommand : public Command {
public:
    void Register(CLI::App& app) override {
        sub = app.add_subcommand("new", "Make a new document from the template");
        sub->add_option("DOC", file_, "Document to create (.cxz)")->required()->type_name("FILE");
        sub->add_flag("--force", force_, "Replace an existing file (its backup is kept)");
    }

    int Execute(const Context& ctx, std::ostream& out, std::ostream& err) override {
        std::error_code ec;
        if (fs::exists(file_, ec) && !force_)
            throw UsageError(fmt::format("DOC: {} exists (use --force to replace it)", file_));
        DocumentSession s(ctx.Cfg());
        try {
            s.NewDocument();
        } catch (const DocumentError& e) {
            throw Failure(fmt::format("the template cannot be read: {}", OneLine(e.what())));
        }
        WriteNotes(s, "new", err);
        SaveDocumentFile(s, file_);
        out << fmt::format("Created {} from the template\n", file_);
        return 0;
    }

private:
    std::string file_;
    bool force_ = false;
};

class ShowCommand : public Command {
public:
    void Register(CLI::App& app) override {
        sub = app.add_subcommand("show", "Print a sheet of a document, or a summary of all sheets");
        sub->add_option("DOC", file_, "Document")->required()->type_name("FILE");
        sub->add_option("--sheet", sheet_, "Sheet: " + SheetNames())->type_name("S");
        sub->add_flag("--json", json_, "Print one JSON object");
    }

    int Execute(const Context& ctx, std::ostream& out, std::ostream& err) override {
        const SheetInfo* info = sheet_.empty() ? nullptr : &ReadSheet(sheet_);
        DocumentSession s(ctx.Cfg());
        OpenDocument(s, file_, false, "show", err);
        if (info) {
            s.ShowResultPage(info->kind);
            ShowSheet(s, *info, out);
        } else {
            for (const SheetInfo& i : DocumentSheets()) s.ShowResultPage(i.kind);
            ShowSummary(s, out);
        }
        WriteNotes(s, "show", err);
        return 0;
    }

private:
    void ShowSheet(DocumentSession& s, const SheetInfo& info, std::ostream& out) {
        MemTable& t = s.ShownTable(info.kind);
        if (json_) {
            Json j;
            j["sheet"] = info.name;
            j["rows"] = RowsJson(t);
            j["totals"] = TotalsJson(s, info.kind);
            j["settings"] = SettingsJson(s, info.kind);
            for (const auto& [key, table] : ExtraTables(info.kind)) j[key] = RowsJson(TableOf(s, table));
            WriteJson(out, j);
            return;
        }
        const Config& cfg = s.Cfg();
        if (info.kind == SheetKind::Plan) {
            ShowPlan(s, out);
        } else {
            out << fmt::format("{} sheet ({}): {}\n", info.caption, t.Name(),
                               Plural(t.RecordCount(), "row", "rows"));
            WriteRows(t, cfg, out);
        }
        for (const auto& [key, table] : ExtraTables(info.kind)) {
            MemTable& extra = TableOf(s, table);
            if (extra.IsEmpty() || info.kind == SheetKind::Plan) continue;
            out << fmt::format("\n{} ({}): {}\n", key, extra.Name(), Plural(extra.RecordCount(), "row", "rows"));
            WriteRows(extra, cfg, out);
        }
        const Json totals = TotalsJson(s, info.kind);
        if (!totals.empty()) {
            out << "\nTotals\n";
            for (auto it = totals.begin(); it != totals.end(); ++it)
                if (!it->is_object()) out << fmt::format("  {:<14} {}\n", it.key(), PlainJson(*it));
            if (totals.contains("footer"))
                for (auto it = totals["footer"].begin(); it != totals["footer"].end(); ++it)
                    out << fmt::format("  footer {:<9} {}\n", it.key(), PlainJson(*it));
        }
        out << "\nSettings\n";
        const Json settings = SettingsJson(s, info.kind);
        for (auto it = settings.begin(); it != settings.end(); ++it)
            out << fmt::format("  {:<22} {}\n", it.key(), PlainJson(*it));
    }

    // The plan as the "Steps" page shows it, then its key dates and merge field values.
    static void ShowPlan(DocumentSession& s, std::ostream& out) {
        const Config& cfg = s.Cfg();
        const std::string file = s.Doc().header.Get(hdr::PlanFile);
        out << fmt::format("Plan sheet: {}{}\n", s.Plan().HasMasterPlan() ? s.Plan().PlanName() : "no master plan selected",
                           file.empty() ? "" : " (" + file + ")");
        auto text = [](const Value& v) { auto p = std::get_if<std::string>(&v); return p ? *p : std::string(); };
        auto date = [&](const Value& v) {
            auto p = std::get_if<double>(&v);
            return p && *p != 0 ? FormatDateTime(cfg.DateDisplayFormat(), *p, cfg.GetLocale()) : std::string();
        };
        MemTable& steps = s.ShownTable(SheetKind::Plan);
        size_t wide = 4;
        for (int i = 0; i < steps.RecordCount(); ++i)
            wide = std::max(wide, text(steps.RowValues(i)[static_cast<size_t>(steps.FieldIndex("Step"))]).size());
        out << fmt::format("\n{:<16}{:<{}}  {:<12}{}\n", "Date", "Step", wide, "Who", "Lock");
        for (int i = 0; i < steps.RecordCount(); ++i) {
            const auto& r = steps.RowValues(i);
            const auto* lock = std::get_if<bool>(&r[static_cast<size_t>(steps.FieldIndex("Lock"))]);
            out << fmt::format("{:<16}{:<{}}  {:<12}{}\n", date(r[static_cast<size_t>(steps.FieldIndex("Date"))]),
                               text(r[static_cast<size_t>(steps.FieldIndex("Step"))]), wide,
                               text(r[static_cast<size_t>(steps.FieldIndex("Who"))]), lock && *lock ? "yes" : "");
        }
        MemTable& keys = TableOf(s, "taMpd");
        if (!keys.IsEmpty()) {
            out << "\nKey dates\n";
            for (int i = 0; i < keys.RecordCount(); ++i) {
                const auto& r = keys.RowValues(i);
                const auto* status = std::get_if<int64_t>(&r[static_cast<size_t>(keys.FieldIndex("Status"))]);
                out << fmt::format("  {:<16}{}{}\n", date(r[static_cast<size_t>(keys.FieldIndex("Date"))]),
                                   text(r[static_cast<size_t>(keys.FieldIndex("Name"))]),
                                   status && *status == 0 ? "  (no step uses it)" : "");
            }
        }
        MemTable& fields = TableOf(s, "taPlf");
        if (!fields.IsEmpty()) {
            out << "\nMerge fields\n";
            for (int i = 0; i < fields.RecordCount(); ++i) {
                const auto& r = fields.RowValues(i);
                out << fmt::format("  {:<20}{}\n", text(r[static_cast<size_t>(fields.FieldIndex("Name"))]),
                                   text(r[static_cast<size_t>(fields.FieldIndex("Value"))]));
            }
        }
    }

    static std::string PlainJson(const Json& v) {
        if (v.is_null()) return "-";
        if (v.is_string()) return v.get<std::string>();
        return v.dump();
    }

    void ShowSummary(DocumentSession& s, std::ostream& out) {
        const DocumentHeader& h = s.Doc().header;
        const auto key = [&](SheetKind k) -> std::string {
            switch (k) {
            case SheetKind::Interval:
                return "method " + CalcMethodItems()[static_cast<size_t>(ReadIntervalSettings(h).calcMethod)];
            case SheetKind::Multiple:
                return fmt::format("{} dates, {} days in all", TableOf(s, "taMin").RecordCount(),
                                   h.Get(hdr::MulTotalDays));
            case SheetKind::Repeat:
                return fmt::format("{} series inserted", h.Get(hdr::RcrSeriesCounter));
            case SheetKind::Chronology:
                return fmt::format("{}, use time {}, time zones {}", Plural(TableOf(s, "taZon").RecordCount(), "zone", "zones"),
                                   h.Get(hdr::cbUseTime) ? "on" : "off", h.Get(hdr::cbZone) ? "on" : "off");
            case SheetKind::ProRata:
                return fmt::format("amount {} over {} to {}", NumberText(h.Get(hdr::edProAmt), -2, s.Cfg().GetLocale()),
                                   PlainJson(HeaderJson(h, "edProDFrom")), PlainJson(HeaderJson(h, "edProDTo")));
            case SheetKind::Plan: {
                const std::string plan = h.Get(hdr::PlanFile);
                return plan.empty() ? "no master plan" : "master plan " + plan;
            }
            default: return {};
            }
        };
        const SkipFileRef skip = h.SkipRef(SkipSlot::Calculator);
        if (json_) {
            Json j;
            j["file"] = s.Doc().FileName();
            j["skipFile"] = skip.fileName;
            j["skipActive"] = IsSkipActive(&s.CalculatorSkip());
            j["invert"] = skip.invert;
            Json sheets = Json::array();
            for (const SheetInfo& i : DocumentSheets()) {
                Json one;
                one["sheet"] = i.name;
                one["rows"] = s.ShownTable(i.kind).RecordCount();
                one["settings"] = SettingsJson(s, i.kind);
                sheets.push_back(std::move(one));
            }
            j["sheets"] = std::move(sheets);
            WriteJson(out, j);
            return;
        }
        out << fmt::format("Document:   {}\n", s.Doc().FileName());
        out << fmt::format("Skip dates: {}{}\n", skip.fileName.empty() ? "none" : skip.fileName,
                           skip.fileName.empty() ? "" : (IsSkipActive(&s.CalculatorSkip()) ? "" : " (not readable)"));
        if (skip.invert) out << "            inverted\n";
        for (const SheetInfo& i : DocumentSheets()) {
            const std::string k = key(i.kind);
            out << fmt::format("{:<11} {:>10}{}{}\n", i.caption, Plural(s.ShownTable(i.kind).RecordCount(), "row", "rows"),
                               k.empty() ? "" : "   ", k);
        }
    }

    std::string file_, sheet_;
    bool json_ = false;
};

class SetCommand : public Command {
public:
    void Register(CLI::App& app) override {
        sub = app.add_subcommand("set", "Change document settings by their control names, and save");
        sub->add_option("DOC", file_, "Document")->required()->type_name("FILE");
        sub->add_option("SETTINGS", settings_, "NAME=VALUE, for example edCalcMethod=2 or lmClipLo=2024-01-31; planfile=FILE.cpz and plan=N choose the master plan as the Plan sheet does")
            ->required()
            ->type_name("NAME=VALUE");
    }

    int Execute(const Context& ctx, std::ostream& out, std::ostream& err) override {
        std::vector<std::pair<std::string, std::string>> assignments;
        for (const std::string& a : settings_) assignments.push_back(Assignment(a, "SETTINGS"));
        DocumentSession s(ctx.Cfg());
        OpenDocument(s, file_, true, "set", err);
        // "planfile" and "plan" choose as the Plan sheet's master plan menu does.
        std::optional<std::string> planFile;
        std::optional<int32_t> planNumber;
        for (auto it = assignments.begin(); it != assignments.end();) {
            if (SameTextNoCase(it->first, "planfile")) {
                planFile = it->second;
            } else if (SameTextNoCase(it->first, "plan")) {
                planNumber = PlanNumber(it->second);
            } else {
                ++it;
                continue;
            }
            it = assignments.erase(it);
        }
        if (planFile && !planFile->empty()) {
            std::error_code ec;
            const std::string full = s.Cfg().ExpandPathMacros(*planFile);
            if (!IsRegularFile(full))
                throw UsageError(fmt::format("planfile: cannot locate the master plan file {}", full));
            *planFile = s.Cfg().ContractPathMacros(fs::absolute(full, ec).lexically_normal().string());
        }
        // File settings are kept in the folder macro form, as choosing the file keeps them.
        for (auto& [name, value] : assignments) {
            const HeaderFieldInfo* f = FindHeaderField(name);
            const bool isFile = f && (f->name == "SkipFile" || f->name == "SkipFilePlan" || f->name == "PlanFile");
            if (isFile && !value.empty() && value.front() != '<') {
                std::error_code ec;
                const fs::path full = fs::absolute(value, ec);
                value = s.Cfg().ContractPathMacros(ec ? value : full.lexically_normal().string());
            }
        }
        // All or nothing: every value is checked on a copy before the document takes any.
        DocumentHeader h = s.Doc().header;
        for (const auto& [name, value] : assignments) {
            try {
                SetHeaderText(h, name, value);
            } catch (const HeaderFieldError& e) {
                throw UsageError(OneLine(e.what()));
            }
        }
        s.Doc().header = h;
        s.Doc().MarkModified();
        s.ReloadSkipSet();
        if (planFile || planNumber) {
            s.ChoosePlan(planFile, planNumber);
            if (planNumber && *planNumber != -1 && !s.Plan().HasMasterPlan())
                throw UsageError(fmt::format("plan: the master plan file {} has no master plan {}",
                                             s.Doc().header.Get(hdr::PlanFile), *planNumber));
        }
        WriteNotes(s, "set", err);
        SaveDocumentFile(s, file_);
        for (const auto& [name, value] : assignments)
            out << fmt::format("{} = {}\n", FindHeaderField(name)->name, HeaderValueText(s.Doc().header, name));
        if (planFile) out << fmt::format("PlanFile = {}\n", s.Doc().header.Get(hdr::PlanFile));
        if (planFile || planNumber)
            out << fmt::format("PlanUkey = {}{}\n", s.Doc().header.Get(hdr::PlanUkey),
                               s.Plan().HasMasterPlan() ? " (" + s.Plan().PlanName() + ")" : std::string());
        return 0;
    }

private:
    static int32_t PlanNumber(const std::string& text) {
        int32_t n = 0;
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
        if (ec != std::errc() || end != text.data() + text.size() || (n < 1 && n != -1))
            throw UsageError(fmt::format("plan: '{}' is not a master plan number (1 or more, or -1 for none)", text));
        return n;
    }

    std::string file_;
    std::vector<std::string> settings_;
};

class InsertCommand : public Command {
public:
    void Register(CLI::App& app) override {
        sub = app.add_subcommand("insert", "Append a row to a sheet of a document, and save");
        sub->add_option("DOC", file_, "Document")->required()->type_name("FILE");
        sub->add_option("--sheet", sheet_, "Sheet: " + SheetNames())->required()->type_name("S");
        sub->add_option("FIELDS", fields_, "FIELD=VALUE, for example DFrom=2024-01-31; others keep their defaults")
            ->type_name("FIELD=VALUE");
    }

    int Execute(const Context& ctx, std::ostream& out, std::ostream& err) override {
        const SheetInfo& info = ReadSheet(sheet_);
        std::vector<FieldAssignment> values;
        for (const std::string& f : fields_) values.push_back(Assignment(f, "FIELDS"));
        DocumentSession s(ctx.Cfg());
        OpenDocument(s, file_, true, "insert", err);
        MemTable& t = s.Doc().Table(info.inputTable.empty() ? info.table : info.inputTable);
        try {
            s.InsertRow(info.kind, values);
        } catch (const FieldValueError& e) {
            throw UsageError(OneLine(e.what()));
        } catch (const TableError& e) {
            throw UsageError(fmt::format("the row was refused: {}", OneLine(e.what())));
        } catch (const std::invalid_argument& e) {
            throw UsageError(OneLine(e.what()));
        }
        WriteNotes(s, "insert", err);
        SaveDocumentFile(s, file_);
        out << fmt::format("Added a row to {}; it has {} now\n", t.Name(), Plural(t.RecordCount(), "row", "rows"));
        return 0;
    }

private:
    std::string file_, sheet_;
    std::vector<std::string> fields_;
};

class SeriesInsertCommand : public Command {
public:
    void Register(CLI::App& app) override {
        sub = app.add_subcommand("series-insert",
                                 "Insert a series on the Repeat sheet from the document's settings, and save");
        sub->add_option("DOC", file_, "Document")->required()->type_name("FILE");
    }

    int Execute(const Context& ctx, std::ostream& out, std::ostream& err) override {
        DocumentSession s(ctx.Cfg());
        OpenDocument(s, file_, true, "series-insert", err);
        int added = 0;
        try {
            added = s.InsertSeries();
        } catch (const std::exception& e) {
            throw UsageError(fmt::format("the series cannot be made from the document's settings: {}",
                                         OneLine(e.what())));
        }
        if (added == 0) err << "clx series-insert: note: the settings give no dates; only the series number advanced\n";
        WriteNotes(s, "series-insert", err);
        SaveDocumentFile(s, file_);
        out << fmt::format("Inserted series {}: {}\n", s.Doc().header.Get(hdr::RcrSeriesCounter),
                           Plural(added, "row", "rows"));
        return 0;
    }

private:
    std::string file_;
};

class RecalcCommand : public Command {
public:
    void Register(CLI::App& app) override {
        sub = app.add_subcommand("recalc", "Recalculate every sheet of a document, and save");
        sub->add_option("DOC", file_, "Document")->required()->type_name("FILE");
    }

    int Execute(const Context& ctx, std::ostream& out, std::ostream& err) override {
        DocumentSession s(ctx.Cfg());
        OpenDocument(s, file_, true, "recalc", err);
        s.RecalculateAll();
        WriteNotes(s, "recalc", err);
        SaveDocumentFile(s, file_);
        out << fmt::format("Recalculated {}\n", file_);
        return 0;
    }

private:
    std::string file_;
};

const std::vector<Choice>& DelimiterChoices() {
    static const std::vector<Choice> c = {
        {"locale", static_cast<int>(CsvDelimiter::ControlPanel)},
        {"comma", static_cast<int>(CsvDelimiter::Comma)},
        {"semicolon", static_cast<int>(CsvDelimiter::Semicolon)},
        {"tab", static_cast<int>(CsvDelimiter::Tab)},
    };
    return c;
}

class ExportCommand : public Command {
public:
    void Register(CLI::App& app) override {
        sub = app.add_subcommand("export", "Write a sheet of a document as delimited text");
        sub->add_option("DOC", file_, "Document")->required()->type_name("FILE");
        sub->add_option("--sheet", sheet_, "Sheet: " + SheetNames())->required()->type_name("S");
        sub->add_option("--csv", csv_, "File to write")->required()->type_name("OUT");
        sub->add_option("--delimiter", delimiter_,
                        "Delimiter: comma (default), semicolon, tab, or locale (the list separator)")
            ->type_name("D");
        sub->add_flag("--names", names_, "Start with a line of the field names");
    }

    int Execute(const Context& ctx, std::ostream& out, std::ostream& err) override {
        const SheetInfo& info = ReadSheet(sheet_);
        const int choice = delimiter_.empty() ? static_cast<int>(CsvDelimiter::Comma)
                                              : ReadChoice(delimiter_, DelimiterChoices(), "delimiter", false);
        DocumentSession s(ctx.Cfg());
        OpenDocument(s, file_, false, "export", err);
        s.ShowResultPage(info.kind);
        MemTable& t = s.ShownTable(info.kind);
        const Config& cfg = s.Cfg();
        try {
            WriteDelimited(t, csv_, SheetCsvFields(info.kind), names_, DelimiterText(choice, cfg.GetLocale()),
                           cfg.DateEntryFormat(), cfg.GetLocale());
        } catch (const FileError& e) {
            throw Failure(OneLine(e.what()));
        }
        WriteNotes(s, "export", err);
        out << fmt::format("Wrote {} of the {} sheet to {}\n", Plural(t.RecordCount(), "row", "rows"), info.caption,
                           csv_);
        return 0;
    }

private:
    std::string file_, sheet_, csv_, delimiter_;
    bool names_ = false;
};

}  // namespace

// ---- opening and saving, shared with the plan commands ---------------------------------------

namespace {
std::string SectionName(size_t index) {
    const DocumentSection& s = kDocumentSections.at(index);
    return fmt::format("{} ({})", s.label, s.object);
}

}  // namespace

void OpenDocument(DocumentSession& s, const std::string& file, bool forWriting, std::string_view command,
                  std::ostream& err) {
    LoadReport report;
    try {
        report = s.Open(file);
    } catch (const DocumentMissingError&) {
        throw UsageError(fmt::format("DOC: cannot locate file {}", file));
    } catch (const DocumentError& e) {
        throw UsageError(fmt::format("DOC: {}", OneLine(e.what())));
    }
    std::string damaged;
    for (const SectionOutcome& o : report)
        if (o.result == SectionResult::Damaged)
            damaged += (damaged.empty() ? "" : "; ") + SectionName(o.index) + ": " + OneLine(o.error);
    if (damaged.empty()) return;
    if (forWriting)
        throw Failure(fmt::format("{} has damaged parts ({}); it is left as it is", file, damaged));
    err << "clx " << command << ": note: " << file << " has damaged parts (" << damaged
        << "); they show what the document held before them\n";
}

void WriteNotes(DocumentSession& s, std::string_view command, std::ostream& err) {
    std::vector<std::string> told;
    for (const std::string& n : s.TakeNotes()) {
        if (std::find(told.begin(), told.end(), n) != told.end()) continue;   // a file reloaded twice
        told.push_back(n);
        err << "clx " << command << ": note: " << OneLine(n) << '\n';
    }
}

void SaveDocumentFile(DocumentSession& s, const std::string& file) {
    try {
        s.Save(file);
    } catch (const DocumentError& e) {
        throw Failure(fmt::format("{} (the document file is unchanged)", OneLine(e.what())));
    }
}

std::pair<std::string, std::string> Assignment(const std::string& text, std::string_view what) {
    const size_t eq = text.find('=');
    if (eq == std::string::npos || eq == 0)
        throw UsageError(fmt::format("{}: '{}' is not NAME=VALUE", what, text));
    return {text.substr(0, eq), text.substr(eq + 1)};
}


std::vector<std::unique_ptr<Command>> MakeDocumentCommands() {
    std::vector<std::unique_ptr<Command>> v;
    v.push_back(std::make_unique<NewCommand>());
    v.push_back(std::make_unique<ShowCommand>());
    v.push_back(std::make_unique<SetCommand>());
    v.push_back(std::make_unique<InsertCommand>());
    v.push_back(std::make_unique<SeriesInsertCommand>());
    v.push_back(std::make_unique<RecalcCommand>());
    v.push_back(std::make_unique<ExportCommand>());
    return v;
}

}  // namespace clx::cli
