#include "sheets/chronology_sheet.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include <fmt/format.h>

#include "engine/interval.h"
#include "files/options.h"
#include "platform/format.h"

namespace clx {

namespace {

// Day 1000 of the date scale, 26 September 1902: earlier local times are left empty and
// dates up to it print as an empty date.
constexpr TDateTime kFirstLocalDay = 1000;

class Frozen {
public:
    explicit Frozen(MemTable& t) : t_(t) { t_.FreezeViews(); }
    ~Frozen() { t_.ReleaseViews(); }
    Frozen(const Frozen&) = delete;
    Frozen& operator=(const Frozen&) = delete;
private:
    MemTable& t_;
};

class Flag {
public:
    explicit Flag(bool& b) : b_(b) { b_ = true; }
    ~Flag() { b_ = false; }
    Flag(const Flag&) = delete;
    Flag& operator=(const Flag&) = delete;
private:
    bool& b_;
};

void CancelQuietly(MemTable& t) {
    try {
        t.Cancel();
    } catch (...) {
    }
}

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

// The text of a field of a visible row, read without moving the table.
std::string RowText(const MemTable& t, int row, int field) {
    if (field < 0) return {};
    const Value& v = t.RowValues(row)[static_cast<size_t>(field)];
    if (auto s = std::get_if<std::string>(&v)) return *s;
    return {};
}

std::optional<int64_t> RowInteger(const MemTable& t, int row, int field) {
    if (field < 0) return std::nullopt;
    const Value& v = t.RowValues(row)[static_cast<size_t>(field)];
    if (auto i = std::get_if<int64_t>(&v)) return *i;
    return std::nullopt;
}

// The visible row of the zone with that identifier; -1 when there is none.
int FindZone(const MemTable& taZon, int64_t iZone) {
    const int field = taZon.FieldIndex("iZone");
    if (field < 0 || iZone == 0) return -1;
    for (int r = 0; r < taZon.RecordCount(); ++r)
        if (RowInteger(taZon, r, field) == iZone) return r;
    return -1;
}

// Time of a row as PrepareChronologyColumns reads it: unreadable counts as 0.
double LenientTime(std::string_view text, const Locale& loc) {
    try {
        return ParseSignedTime(text, loc);
    } catch (const ConvertError&) {
        return 0;
    }
}

bool HasTimeText(std::string_view text, const Locale& loc) {
    for (char c : text.substr(0, 16))
        if (c != ' ' && c != '\t' && c != '_' && c != ':' && c != loc.timeSeparator) return true;
    return false;
}

}  // namespace

// ---- settings --------------------------------------------------------------------------------

ChronologySettings ReadChronologySettings(const DocumentHeader& h) {
    ChronologySettings s;
    s.dob = h.Get(hdr::edDob);
    s.dos = h.Get(hdr::edDos);
    s.printAge = h.Get(hdr::cbAge);
    s.useZones = h.Get(hdr::cbZone);
    s.defaultSheet = h.Get(hdr::ChrSheet);
    s.useTime = h.Get(hdr::cbUseTime);
    s.defaultFormat = h.Get(hdr::ChrDateFormat);
    s.dosToday = h.Get(hdr::cbDosToday);
    return s;
}

void WriteChronologySettings(DocumentHeader& h, const ChronologySettings& s) {
    h.Set(hdr::edDob, s.dob);
    h.Set(hdr::edDos, s.dos);
    h.Set(hdr::cbAge, s.printAge);
    h.Set(hdr::cbZone, s.useZones);
    h.Set(hdr::ChrSheet, s.defaultSheet);
    h.Set(hdr::cbUseTime, s.useTime);
    h.Set(hdr::ChrDateFormat, s.defaultFormat);
    h.Set(hdr::cbDosToday, s.dosToday);
}

ChronologyVisibility ChronologyVisibilityFor(const ChronologySettings& s) {
    ChronologyVisibility v;
    v.timeColumn = s.useTime;
    v.zoneCheckBox = s.useTime;
    v.localTimeColumns = s.useTime && s.useZones;
    v.calculateAsAt = !s.dosToday;
    v.dateOfBirth = s.printAge;
    return v;
}

std::string_view ChronologyCsvFields() { return "Date;Time;Name;LocalDateTime"; }

// ---- tables ----------------------------------------------------------------------------------

void DefineChronologyFields(MemTable& t) {
    using T = FieldType;
    t.AddField("Date", T::Date);
    t.AddField("Time", T::String, kChrTimeSize);
    t.AddField("Name", T::Memo);
    t.AddField("LocalDateTime", T::DateTime);
    t.AddField("Adj", T::String, kChrAdjSize);
    t.AddField("iFormat", T::Integer);
    t.AddField("iZone", T::Integer);
    t.AddField("TimeDiff", T::String, kChrDerivedTextSize);
    t.AddField("Sheet", T::Integer);
    t.AddField("DayNumber", T::Integer);
    t.AddField("Print", T::Boolean);
    t.AddField("Styles", T::SmallInt);
    t.AddField("Ukey", T::AutoInc);
    t.AddField("Memo", T::Memo);
    t.AddField("Status", T::SmallInt);
    t.AddField("Ago", T::String, kChrDerivedTextSize);
    t.AddField("DateString", T::String, kChrDateStringSize);
    t.AddField("DateTo", T::DateTime);
    t.AddField("DateToString", T::String, kChrDateStringSize);
    t.AddField("Format", T::String, kChrFormatSize);
    t.AddField("pBold", T::Boolean);
    t.AddField("pItalic", T::Boolean);
    t.AddField("pUnderline", T::Boolean);
    t.AddField("pStrikeout", T::Boolean);
    t.AddField("CustomDateText", T::String, kChrDerivedTextSize);
    t.AddField("Approx", T::Boolean);
    t.AddField("Red", T::Boolean);
    t.AddField("caAdj", T::String, kChrAppliedAdjSize, FieldKind::Calculated);
    t.SetSortField("LocalDateTime");
}

void DefineZoneFields(MemTable& t) {
    t.AddField("Location", FieldType::String, kZoneLocationSize);
    t.AddField("Adj", FieldType::String, kChrAdjSize);
    t.AddField("iZone", FieldType::Integer);
}

ChronologyTables DefineChronologyTables(const TableMaker& make) {
    MemTable& taChr = make(kChronologyTableName);
    DefineChronologyFields(taChr);
    MemTable& taZon = make(kZoneTableName);
    DefineZoneFields(taZon);
    return {taChr, taZon};
}

std::vector<SheetColumn> ChronologyColumns(const SheetContext& ctx, const ChronologySettings& s) {
    const ChronologyVisibility v = ChronologyVisibilityFor(s);
    const std::string& general = ctx.dateEntryFormat;
    SheetColumn time = Column("Time", "Time", 5);
    time.visible = v.timeColumn;
    SheetColumn local = Column("LocalDateTime", "(Local) Time Here~" + general + " hh:mm", 19,
                               "ddd " + general + " hh:mm");
    local.visible = v.localTimeColumns;
    SheetColumn applied = Column("caAdj", "Zone", kChrAppliedAdjSize);
    applied.visible = v.localTimeColumns;
    auto hidden = [](const char* field, const char* title = "") {
        SheetColumn c = Column(field, title, 0);
        c.visible = false;
        return c;
    };
    return {
        Column("Date", "Date@Event~" + general, 12, general),
        time,
        Column("Name", "Event Description", 30),
        local,
        applied,
        hidden("Adj", "Zone"),
        hidden("iFormat"),
        hidden("iZone"),
        hidden("TimeDiff"),
        hidden("Sheet"),
        hidden("DayNumber"),
        hidden("Print"),
        hidden("Styles", "B"),
        hidden("Ukey"),
        hidden("Memo"),
        hidden("Status"),
        hidden("Ago"),
        hidden("DateString"),
        hidden("DateTo"),
        hidden("DateToString"),
        hidden("Format"),
        hidden("pBold"),
        hidden("pItalic"),
        hidden("pUnderline"),
        hidden("pStrikeout"),
        hidden("CustomDateText"),
        hidden("Approx"),
        hidden("Red"),
    };
}

bool ChronologyColumnCentred(std::string_view field) {
    return field == "Date" || field == "Time" || field == "LocalDateTime";
}

std::vector<SheetColumn> ZoneColumns(const Locale& loc) {
    SheetColumn zone = Column("iZone", {}, 0);
    zone.visible = false;
    return {
        Column("Location", "Location", 40),
        Column("Adj", "Zone~\u00B1" + loc.shortTimeFormat, 10),
        zone,
    };
}

// ---- zones, formats and times --------------------------------------------------------------

double ParseSignedTime(std::string_view text, const Locale& loc) {
    const std::string_view head = text.substr(0, 16);
    if (!HasTimeText(head, loc)) return 0;
    std::string rest(head);
    bool negative = false;
    if (const size_t p = rest.find('-'); p != std::string::npos) {
        rest.erase(p, 1);
        negative = true;
    } else if (const size_t q = rest.find('+'); q != std::string::npos) {
        rest.erase(q, 1);
    }
    const std::optional<TDateTime> t = ParseTime(rest, loc);
    if (!t) throw ConvertError("'" + std::string(TrimBlanks(head)) + "' is not a valid time");
    return negative ? -*t : *t;
}

std::string ZoneName(const MemTable& taZon, int64_t iZone) {
    if (iZone == 0) return kLocalTimeName;
    const int r = FindZone(taZon, iZone);
    return r < 0 ? std::string() : RowText(taZon, r, taZon.FieldIndex("Location"));
}

std::string ZoneAdjustment(const MemTable& taZon, int64_t iZone, std::string_view ownAdj) {
    const int r = FindZone(taZon, iZone);
    return r < 0 ? std::string(ownAdj) : RowText(taZon, r, taZon.FieldIndex("Adj"));
}

std::optional<std::string> DateFormatOfRecord(MemTable& taFmt, int64_t recordNumber) {
    if (recordNumber <= 0 || taFmt.FieldIndex("Format") < 0) return std::nullopt;
    if (taFmt.State() != TableState::Browse) {
        // Moving would post the edit: only the row being edited can be read.
        if (taFmt.RecordNumber() != recordNumber) return std::nullopt;
        return taFmt.FieldByName("Format").AsString();
    }
    if (taFmt.IsEmpty()) return std::nullopt;
    Frozen frozen(taFmt);
    const uint64_t keep = taFmt.RecordId();
    std::optional<std::string> found;
    for (int i = 1; i <= taFmt.RecordCount() && !found; ++i) {
        taFmt.SetRecNo(i);
        if (taFmt.RecordNumber() == recordNumber) found = taFmt.FieldByName("Format").AsString();
    }
    taFmt.GotoRecordId(keep);
    return found;
}

std::string DateFormatForCode(int code, const SheetContext& ctx, MemTable* taFmt) {
    switch (code) {
    case kFormatCustom: return {};
    case kFormatDisplay: return ctx.dateDisplayFormat;
    case kFormatLong: return ctx.locale.longDateFormat;
    case kFormatGeneral: return ctx.dateEntryFormat;
    default: break;
    }
    if (!taFmt) return {};
    return DateFormatOfRecord(*taFmt, std::llabs(static_cast<long long>(code))).value_or(std::string());
}

std::optional<TDateTime> ChronologyLocalTime(TDateTime date, std::string_view time,
                                             std::string_view adjustment, const Locale& loc) {
    const double t = ParseSignedTime(time, loc);
    const double a = ParseSignedTime(adjustment, loc);
    if (!std::isfinite(date)) return std::nullopt;
    const TDateTime local = std::trunc(date) + t + a;
    if (local < kFirstLocalDay) return std::nullopt;
    return local;
}

std::string IntervalText(TDateTime start, TDateTime end, double n, const SheetContext& ctx) {
    static const double lo = EncodeDate(1900, 1, 1), hi = EncodeDate(2200, 12, 31);
    auto inRange = [](TDateTime d) {
        return std::isfinite(d) && std::trunc(d) >= lo && std::trunc(d) <= hi;
    };
    if (!inRange(start) || !inRange(end) || !std::isfinite(n)) return {};
    const Locale& loc = ctx.locale;
    if (n >= 365.25) {
        const IntervalResult r = IntervalCalc(cmNormal, start, end, true, false, ctx.daysPerYearType, 4,
                                              ctx.skip, ctx.SetInvert());
        return NumberText(static_cast<double>(r.years) / 10000.0, 1, loc) + " years";
    }
    if (n >= 60.875) return NumberText(n / 30.4375, 1, loc) + " months";
    if (n >= 14) return NumberText(n / 7, 1, loc) + " weeks";
    if (WholeDays(start) == WholeDays(end)) return {};
    return fmt::format("{} days", static_cast<int64_t>(std::trunc(n)));
}

std::string HoursMinutesText(TDateTime difference) {
    // Whole minutes of the difference taken to the millisecond, as a time of day would be
    // decoded, so 3h15 computed from two day fractions does not come out as 3h14.
    const double ms = std::round(std::fabs(difference) * 86400000.0);
    const auto minutes = static_cast<int64_t>(ms / 60000.0);
    return fmt::format("{}hrs {:02}mins", minutes / 60, minutes % 60);
}

// ---- the sheet -------------------------------------------------------------------------------

ChronologySheet::ChronologySheet(MemTable& taChr, MemTable& taZon, const SheetContext& ctx,
                                 MemTable* taFmt, UiServices* ui)
    : taChr_(taChr), taZon_(taZon), ctx_(ctx), taFmt_(taFmt), ui_(ui) {
    auto confirmDelete = [this](MemTable&) {
        if (ui_ && !ui_->Ask(kChrDeleteQuestion)) throw TableAbort();
    };
    taChr_.handlers.onNewRecord = [this](MemTable& t) { taChrNewRecord(t); };
    taChr_.handlers.onCalcFields = [this](MemTable& t) { taChrCalcFields(t); };
    taChr_.handlers.beforePost = [this](MemTable& t) { taChrBeforePost(t); };
    taChr_.handlers.afterPost = [this](MemTable& t) { AfterChrChange(t, true); };
    taChr_.handlers.afterCancel = [this](MemTable& t) { AfterChrChange(t, false); };
    taChr_.handlers.beforeDelete = confirmDelete;
    taChr_.handlers.afterDelete = [this](MemTable& t) { AfterChrChange(t, false); };

    taZon_.handlers.onNewRecord = [this](MemTable& t) { taZonNewRecord(t); };
    taZon_.handlers.beforePost = [this](MemTable& t) { taZonBeforePost(t); };
    auto zonesChanged = [this](MemTable&) {
        ctx_.MarkModified();
        RecalcZoneRows();
    };
    taZon_.handlers.afterPost = zonesChanged;
    taZon_.handlers.beforeDelete = confirmDelete;
    taZon_.handlers.afterDelete = zonesChanged;
    visibility_ = ChronologyVisibilityFor(Settings());
}

ChronologySheet::~ChronologySheet() {
    for (MemTable* t : {&taChr_, &taZon_}) {
        TableHandlers& h = t->handlers;
        h.onNewRecord = h.onCalcFields = h.beforePost = h.afterPost = h.afterCancel = h.beforeDelete =
            h.afterDelete = nullptr;
    }
}

ChronologySettings ChronologySheet::Settings() const {
    return ctx_.header ? ReadChronologySettings(*ctx_.header) : settings_;
}

void ChronologySheet::SetSettings(const ChronologySettings& s) {
    settings_ = s;
    if (ctx_.header) WriteChronologySettings(*ctx_.header, s);
    ApplyVisibility();
}

void ChronologySheet::ApplyVisibility() {
    visibility_ = ChronologyVisibilityFor(Settings());
    if (onVisibility) onVisibility(visibility_);
}

void ChronologySheet::cbUseTimeClick(bool checked) {
    ChronologySettings s = Settings();
    s.useTime = checked;
    SetSettings(s);
}

void ChronologySheet::cbZoneClick(bool checked) {
    ChronologySettings s = Settings();
    s.useZones = checked;
    SetSettings(s);
}

void ChronologySheet::cbAgeClick(bool checked) {
    ChronologySettings s = Settings();
    s.printAge = checked;
    SetSettings(s);
}

void ChronologySheet::cbDosTodayClick(bool checked) {
    ChronologySettings s = Settings();
    s.dosToday = checked;
    SetSettings(s);
}

bool ChronologySheet::nbChrPageChanged(std::string_view page) {
    if (page != kChronologyGridPage) return false;
    ctx_.ApplyInvert();
    return true;
}

void ChronologySheet::NewDocument(const IniFile* settingsFile) {
    ChronologySettings s = Settings();
    s.dos = ctx_.Today();
    s.defaultFormat = settingsFile
                          ? settingsFile->ReadInteger(kChrSettingsSection, kChrDateFormatKey, kFormatGeneral)
                          : kFormatGeneral;
    CancelQuietly(taChr_);
    taChr_.EmptyTable();
    SetSettings(s);
}

void ChronologySheet::SetFileDefaultFormat(int code) {
    ChronologySettings s = Settings();
    s.defaultFormat = code;
    SetSettings(s);
}

void ChronologySheet::acChrEditExecute(const EditorCall& showEditor) {
    const ChronologySettings s = Settings();
    if (showEditor) showEditor(s.useTime, s.useZones);
    taChr_.Refresh();
    ctx_.MarkModified();
}

void ChronologySheet::InsertEvent(const EditorCall& showEditor) {
    try {
        taChr_.Insert();
    } catch (...) {
        CancelQuietly(taChr_);
        throw;
    }
    acChrEditExecute(showEditor);
}

void ChronologySheet::taChrNewRecord(MemTable& t) {
    const ChronologySettings s = Settings();
    t.FieldByName("Date").SetDateTime(ctx_.Today());
    t.FieldByName("Format").SetString(ctx_.dateEntryFormat);
    t.FieldByName("Print").SetBoolean(true);
    for (const char* f : {"pBold", "pItalic", "pUnderline", "pStrikeout", "Approx", "Red"})
        t.FieldByName(f).SetBoolean(false);
    t.FieldByName("iFormat").SetInteger(s.defaultFormat);
    t.FieldByName("Sheet").SetInteger(s.defaultSheet);
    t.FieldByName("iZone").SetInteger(0);
    CalcDerived(t);
}

void ChronologySheet::taChrCalcFields(MemTable& t) {
    t.FieldByName("caAdj").SetString(
        ZoneAdjustment(taZon_, t.FieldByName("iZone").AsInteger(), t.FieldByName("Adj").AsString()));
}

void ChronologySheet::taChrBeforePost(MemTable& t) {
    if (preparing_) return;
    CalcDerived(t);
}

void ChronologySheet::CalcDerived(MemTable& t) {
    if (calculating_) return;
    Flag guard(calculating_);
    static const TDateTime kFirstFormattedDay = EncodeDate(1600, 1, 1);
    const std::string format = t.FieldByName("Format").AsString();
    auto dateText = [&](const char* from, const char* to) {
        const Field src = t.FieldByName(from);
        const TDateTime d = src.AsDateTime();
        t.FieldByName(to).SetString(!src.IsNull() && d > kFirstFormattedDay
                                        ? FormatDateTime(format, d, ctx_.locale)
                                        : std::string());
    };
    dateText("Date", "DateString");
    dateText("DateTo", "DateToString");

    const std::string adj =
        ZoneAdjustment(taZon_, t.FieldByName("iZone").AsInteger(), t.FieldByName("Adj").AsString());
    std::optional<TDateTime> local;
    try {
        local = ChronologyLocalTime(t.FieldByName("Date").AsDateTime(), t.FieldByName("Time").AsString(),
                                    adj, ctx_.locale);
    } catch (const ConvertError& e) {
        throw TableError(e.what());
    }
    if (local) t.FieldByName("LocalDateTime").SetDateTime(*local);
    else t.FieldByName("LocalDateTime").Clear();

    if (t.FieldByName("Sheet").IsNull()) t.FieldByName("Sheet").SetInteger(Settings().defaultSheet);
}

void ChronologySheet::AfterChrChange(MemTable& t, bool resort) {
    if (preparing_) return;
    if (resort) ResortKeepingRow(t);
    if (!recalculating_) {
        ctx_.MarkModified();
        ApplyVisibility();
        if (zoneRowsPending_) RecalcZoneRows();
    }
}

int32_t ChronologySheet::NextZoneId() {
    const int field = taZon_.FieldIndex("iZone");
    int64_t highest = 0;
    bool taken = false;
    const int64_t own = taZon_.RecordNumber();
    for (int r = 0; r < taZon_.RecordCount(); ++r) {
        const int64_t id = RowInteger(taZon_, r, field).value_or(0);
        highest = std::max(highest, id);
        taken = taken || id == own;
    }
    // Record numbers start again at 1 whenever a document is read, so a new zone's number can
    // belong to a zone already in the document; events must never change zone that way.
    const int64_t id = taken || own <= 0 ? highest + 1 : own;
    if (id > INT32_MAX) throw TableError(std::string(kZoneTableName) + ": no zone identifier is left");
    return static_cast<int32_t>(id);
}

void ChronologySheet::taZonNewRecord(MemTable& t) {
    t.FieldByName("iZone").SetInteger(NextZoneId());
}

void ChronologySheet::taZonBeforePost(MemTable& t) {
    try {
        ParseSignedTime(t.FieldByName("Adj").AsString(), ctx_.locale);
    } catch (const ConvertError& e) {
        throw TableError(e.what());
    }
}

std::string ChronologySheet::FormatForCode(int code) {
    if (taChr_.IsEmpty() && taChr_.State() != TableState::Insert) return {};
    return DateFormatForCode(code, ctx_, taFmt_);
}

std::string ChronologySheet::ChrDateText(bool approximate, int code) {
    if (code == kFormatCustom) return taChr_.FieldByName("CustomDateText").AsString();
    const TDateTime date = taChr_.FieldByName("Date").AsDateTime();
    if (!(date > kFirstLocalDay)) return {};
    const std::string format = FormatForCode(code);
    if (format.empty()) return {};   // no such format: an empty date, not the default one
    std::string text = FormatDateTime(format, date, ctx_.locale);
    if (approximate || taChr_.FieldByName("Approx").AsBoolean()) text = kApproxPrefix + text;
    return text;
}

TDateTime ChronologySheet::CalculationDate() const {
    const ChronologySettings s = Settings();
    return s.dosToday ? ctx_.Today() : s.dos;
}

void ChronologySheet::PrepareChronologyColumns(TDateTime x) {
    taChr_.Post();
    if (taChr_.IsEmpty()) return;
    Frozen frozen(taChr_);
    Flag preparing(preparing_);
    const uint64_t keep = taChr_.RecordId();

    if (taChr_.RecordCount() == 1) {
        taChr_.First();
        taChr_.Edit();
        taChr_.FieldByName("TimeDiff").Clear();
        taChr_.Post();
        return;
    }

    struct Printed {
        uint64_t id;
        TDateTime date;
        std::string time;
        double local;    // day, time and zone adjustment as the local time here
        TDateTime stored;
        std::string ago, diff;
    };
    std::vector<Printed> rows;
    const int fPrint = taChr_.FieldIndex("Print"), fDate = taChr_.FieldIndex("Date"),
              fTime = taChr_.FieldIndex("Time"), fLocal = taChr_.FieldIndex("LocalDateTime"),
              fZone = taChr_.FieldIndex("iZone"), fAdj = taChr_.FieldIndex("Adj");
    for (int r = 0; r < taChr_.RecordCount(); ++r) {
        const auto& v = taChr_.RowValues(r);
        const auto* print = std::get_if<bool>(&v[static_cast<size_t>(fPrint)]);
        if (!print || !*print) continue;
        Printed p;
        p.id = taChr_.RowRecordId(r);
        const auto* d = std::get_if<double>(&v[static_cast<size_t>(fDate)]);
        p.date = d ? std::trunc(*d) : 0;
        p.time = RowText(taChr_, r, fTime);
        const auto* l = std::get_if<double>(&v[static_cast<size_t>(fLocal)]);
        p.stored = l ? *l : 0;
        const std::string adj =
            ZoneAdjustment(taZon_, RowInteger(taChr_, r, fZone).value_or(0), RowText(taChr_, r, fAdj));
        p.local = p.date + LenientTime(p.time, ctx_.locale) + LenientTime(adj, ctx_.locale);
        rows.push_back(std::move(p));
    }
    if (rows.empty()) return;

    const double base = std::trunc(rows.front().stored);
    for (size_t i = 0; i < rows.size(); ++i) {
        Printed& p = rows[i];
        if (p.date == 0) continue;
        const IntervalResult r = IntervalCalc(cmNormal, p.date, x, true, false, ctx_.daysPerYearType, 4,
                                              ctx_.skip, ctx_.SetInvert());
        p.ago = IntervalText(p.date, x, r.days, ctx_);
        if (i == 0 || rows[i - 1].date == 0) continue;
        const Printed& prev = rows[i - 1];
        p.diff = IntervalText(prev.date, p.date, p.date - prev.date, ctx_);
        const bool bothTimed = HasTimeText(p.time, ctx_.locale) && HasTimeText(prev.time, ctx_.locale);
        if (bothTimed) {
            const double t = LenientTime(p.time, ctx_.locale), pt = LenientTime(prev.time, ctx_.locale);
            if (t != pt && (t != 0 || pt != 0) && std::fabs(p.date - prev.date) <= 1)
                // Local times, so that events in different zones are compared on one clock.
                p.diff = HoursMinutesText(p.local - prev.local);
        }
    }

    for (size_t i = 0; i < rows.size(); ++i) {
        const Printed& p = rows[i];
        if (!taChr_.GotoRecordId(p.id)) continue;
        taChr_.Edit();
        const std::string& next = i + 1 < rows.size() ? rows[i + 1].diff : std::string();
        taChr_.FieldByName("TimeDiff").SetString(next);
        // A row without a date gets no age text rather than keeping one from an earlier date.
        taChr_.FieldByName("Ago").SetString(p.ago);
        taChr_.FieldByName("DayNumber").SetInteger(static_cast<int64_t>(std::trunc(p.stored - base + 1)));
        taChr_.Post();
    }
    taChr_.GotoRecordId(keep);
}

int ChronologySheet::RecalcZoneRows() {
    if (recalculating_) return 0;
    if (taChr_.State() != TableState::Browse) {
        zoneRowsPending_ = true;
        return 0;
    }
    zoneRowsPending_ = false;
    std::vector<uint64_t> ids;
    const int fZone = taChr_.FieldIndex("iZone");
    for (int r = 0; r < taChr_.RecordCount(); ++r)
        if (RowInteger(taChr_, r, fZone).value_or(0) != 0) ids.push_back(taChr_.RowRecordId(r));
    if (ids.empty()) return 0;

    Frozen frozen(taChr_);
    Flag recalculating(recalculating_);
    const uint64_t keep = taChr_.RecordId();
    int failed = 0;
    for (uint64_t id : ids) {
        if (!taChr_.GotoRecordId(id)) continue;
        try {
            taChr_.Edit();
            taChr_.Post();
        } catch (const TableError&) {
            CancelQuietly(taChr_);
            ++failed;
        }
    }
    taChr_.GotoRecordId(keep);
    return failed;
}

}  // namespace clx
