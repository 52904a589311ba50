#include "app/document_session.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

#include "files/fileio.h"
#include "files/skipfile.h"
#include "files/tablestream.h"
#include "output/delimited.h"
#include "plans/plan_file.h"
#include "plans/plan_sheet.h"

#include <fmt/format.h>

namespace clx {
namespace {

namespace fs = std::filesystem;

TDateTime D(int y, int m, int d) { return EncodeDate(y, m, d); }

class SessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        root = fs::temp_directory_path() / ("clx_session_" + std::to_string(::getpid()));
        fs::remove_all(root);
        fs::create_directories(root / "Bin" / "Rsc" / "Eng");
        fs::create_directories(root / "Data");
        config = std::make_unique<Config>((root / "Bin" / "clx").string(), Locale::Default());
    }
    void TearDown() override { fs::remove_all(root); }

    std::unique_ptr<DocumentSession> Session() {
        auto s = std::make_unique<DocumentSession>(*config, nullptr);
        s->SetToday([] { return D(2024, 7, 1); });
        return s;
    }
    std::string Path(const std::string& name) const { return (root / "Data" / name).string(); }

    static int64_t Int(MemTable& t, int row, const char* field) {
        const Value& v = t.RowValues(row)[static_cast<size_t>(t.FieldIndex(field))];
        return std::holds_alternative<int64_t>(v) ? std::get<int64_t>(v) : -1;
    }
    static double Float(MemTable& t, int row, const char* field) {
        const Value& v = t.RowValues(row)[static_cast<size_t>(t.FieldIndex(field))];
        return std::holds_alternative<double>(v) ? std::get<double>(v) : -1;
    }

    // Rows on every sheet that has a table module, entered as a user would.
    void Fill(DocumentSession& s) {
        s.Doc().tools.ApplyOutputRecordRule(true);
        s.InsertRow(SheetKind::Interval, {{"DFrom", "2024-01-01"}, {"DTo", "2024-03-31"}, {"IncludeLast", "yes"},
                                          {"Description", "First quarter, both days"}, {"Order", "1"}});
        s.InsertRow(SheetKind::Math, {{"DFrom", "2001-01-31"}, {"Months", "1"}, {"Description", "one month"}});
        for (const char* d : {"2024-01-01", "2024-04-01", "2024-07-01"})
            s.InsertRow(SheetKind::Multiple, {{"Date", d}, {"Event", "quarter day"}});
        SetHeaderText(s.Doc().header, "rgRcrStyle", "1");
        SetHeaderText(s.Doc().header, "lmClipLo", "2024-01-15");
        SetHeaderText(s.Doc().header, "lmFreq", "3");
        SetHeaderText(s.Doc().header, "lmUnits", "1");
        SetHeaderText(s.Doc().header, "edNumRep", "3");
        SetHeaderText(s.Doc().header, "edRcrSeriesTitle", "Payment %n of %q");
        SetHeaderText(s.Doc().header, "edRcrAmount", "-250.5");
        EXPECT_EQ(s.InsertSeries(), 3);
        s.InsertRow(SheetKind::Repeat, {{"Date", "2024-01-01"}, {"Comments", "Opening"}, {"Amount", "1000"}});
        SetHeaderText(s.Doc().header, "edProAmt", "1000");
        SetHeaderText(s.Doc().header, "edProDFrom", "2004-01-01");
        SetHeaderText(s.Doc().header, "edProDTo", "2004-12-31");
        SetHeaderText(s.Doc().header, "cbProIncludeFirst", "1");
        SetHeaderText(s.Doc().header, "cbProIncludeLast", "1");
        s.InsertRow(SheetKind::ProRata, {{"Name", "A"}, {"DFrom", "2004-01-01"}, {"DTo", "2004-06-30"}});
        s.InsertRow(SheetKind::ProRata, {{"Name", "B"}, {"DFrom", "2004-07-01"}, {"DTo", "2004-12-31"}});
        SetHeaderText(s.Doc().header, "cbUseTime", "1");
        SetHeaderText(s.Doc().header, "cbZone", "1");
        MemTable& zones = s.Doc().Table("taZon");
        zones.Append();
        SetFieldText(zones.FieldByName("Location"), "Sydney", s.Cfg());
        SetFieldText(zones.FieldByName("Adj"), "+10:00", s.Cfg());
        zones.Post();
        s.InsertRow(SheetKind::Chronology,
                    {{"Date", "2024-03-06"}, {"Time", "09:00"}, {"Name", "Letter sent"}, {"Memo", "By courier"}});
        s.InsertRow(SheetKind::Chronology,
                    {{"Date", "2024-03-05"}, {"Time", "14:30"}, {"iZone", "1"}, {"Name", "Call from Sydney"}});
        s.InsertRow(SheetKind::Birthdays, {{"Name", "Ann"}, {"DOB", "1970-05-10"}, {"DOD", "2020-05-11"}});
        s.InsertRow(SheetKind::Birthdays, {{"Name", "Bob"}, {"DOB", "1960-02-29"}, {"TOB", "06:30"}});
        s.Doc().Rtf("redNote") = "{\\rtf1\\ansi Notes of the matter\\par}";
        s.RecalculateAll();
    }

    fs::path root;
    std::unique_ptr<Config> config;
};

TEST_F(SessionTest, TheSheetsCalculateWhatTheyShow) {
    auto s = Session();
    Fill(*s);
    MemTable& one = s->ShownTable(SheetKind::Interval);
    ASSERT_EQ(one.RecordCount(), 1);
    EXPECT_EQ(Int(one, 0, "Days"), 91);
    MemTable& mth = s->ShownTable(SheetKind::Math);
    EXPECT_EQ(Float(mth, 0, "DTo"), D(2001, 2, 28));
    MemTable& mul = s->ShownTable(SheetKind::Multiple);
    ASSERT_EQ(mul.RecordCount(), 2);
    // "Count First Date" is off in a document that did not come from the template.
    EXPECT_EQ(s->Doc().header.Get(hdr::MulFirstStart), D(2024, 1, 2));
    MemTable& rcr = s->ShownTable(SheetKind::Repeat);
    ASSERT_EQ(rcr.RecordCount(), 4);
    // The opening row sorts first; the balance runs through all rows in date order.
    EXPECT_DOUBLE_EQ(Float(rcr, 0, "Balance"), 1000);
    EXPECT_DOUBLE_EQ(Float(rcr, 3, "Balance"), 1000 - 3 * 250.5);
    MemTable& pro = s->ShownTable(SheetKind::ProRata);
    ASSERT_EQ(pro.RecordCount(), 2);
    EXPECT_DOUBLE_EQ(Float(pro, 0, "Share"), 497.27);
    EXPECT_DOUBLE_EQ(Float(pro, 1, "Share"), 502.73);
    // The Sydney call comes first: 14:30 there is 00:30 the next day here.
    MemTable& chr = s->ShownTable(SheetKind::Chronology);
    ASSERT_EQ(chr.RecordCount(), 2);
    EXPECT_NEAR(Float(chr, 0, "LocalDateTime"), D(2024, 3, 6) + 0.5 / 24, 1e-9);
    EXPECT_NEAR(Float(chr, 1, "LocalDateTime"), D(2024, 3, 6) + 9.0 / 24, 1e-9);
    MemTable& sta = s->ShownTable(SheetKind::Birthdays);
    ASSERT_EQ(sta.RecordCount(), 2);
    EXPECT_EQ(std::get<std::string>(sta.RowValues(0)[static_cast<size_t>(sta.FieldIndex("StarSign"))]), "Pisces");
    EXPECT_DOUBLE_EQ(Float(sta, 1, "Age"), 50);
}

TEST_F(SessionTest, SaveLoadSaveGivesTheSameBytes) {
    for (const char* name : {"a.cxz", "a.qdk"}) {
        auto s = Session();
        Fill(*s);
        s->Save(Path(name));
        const std::vector<uint8_t> first = ReadFileBytes(Path(name));

        auto again = Session();
        const LoadReport report = again->Open(Path(name));
        for (const SectionOutcome& o : report) EXPECT_NE(o.result, SectionResult::Damaged) << o.error;
        EXPECT_EQ(again->ShownTable(SheetKind::Repeat).RecordCount(), 4);
        EXPECT_EQ(again->Doc().Rtf("redNote"), "{\\rtf1\\ansi Notes of the matter\\par}");
        const std::string copy = std::string("b") + (name + 1);
        again->Save(Path(copy));
        EXPECT_EQ(ReadFileBytes(Path(copy)), first) << name;
        EXPECT_TRUE(again->TakeNotes().empty());
    }
}

TEST_F(SessionTest, SavingOverADocumentKeepsItsBackup) {
    auto s = Session();
    Fill(*s);
    s->Save(Path("a.cxz"));
    const std::vector<uint8_t> first = ReadFileBytes(Path("a.cxz"));
    s->InsertRow(SheetKind::Interval, {{"DFrom", "2024-05-01"}, {"DTo", "2024-05-02"}});
    s->Save(Path("a.cxz"));
    EXPECT_EQ(ReadFileBytes(Path("a.~dz")), first);
    EXPECT_NE(ReadFileBytes(Path("a.cxz")), first);
    // A save that cannot be written leaves no file behind and throws.
    EXPECT_THROW(s->Save(Path("missing folder/a.cxz")), DocumentError);
    EXPECT_FALSE(fs::exists(root / "Data" / "missing folder"));
}

TEST_F(SessionTest, TheCalculatorSkipSetComesFromTheDocumentsFile) {
    {
        auto weekends = CreateSkipSet(std::make_shared<SkipFileRef>(), "dd/mm/yyyy");
        weekends->header.SetWeekday(1, true);
        weekends->header.SetWeekday(7, true);
        SaveSkipFile(Path("weekends.skx"), *weekends);
    }
    auto s = Session();
    s->Doc().tools.ApplyOutputRecordRule(true);
    s->Doc().header.SetSkipRef(SkipSlot::Calculator, {false, config->ContractPathMacros(Path("weekends.skx"))});
    s->ReloadSkipSet();
    EXPECT_TRUE(IsSkipActive(&s->CalculatorSkip()));
    // Monday 4 to Sunday 10 March 2024: the weekend is skipped.
    s->InsertRow(SheetKind::Interval, {{"DFrom", "2024-03-04"}, {"DTo", "2024-03-10"}, {"IncludeLast", "1"}});
    EXPECT_EQ(Int(s->ShownTable(SheetKind::Interval), 0, "Days"), 5);
    s->Save(Path("skip.cxz"));

    auto again = Session();
    again->Open(Path("skip.cxz"));
    again->ShowResultPage(SheetKind::Interval);
    EXPECT_EQ(Int(again->ShownTable(SheetKind::Interval), 0, "Days"), 5);

    // Inverted: only the weekend counts.
    again->Doc().header.Set(hdr::cbInvertSkip, true);
    again->ShowResultPage(SheetKind::Interval);
    EXPECT_EQ(Int(again->ShownTable(SheetKind::Interval), 0, "Days"), 2);

    // Without the file nothing is skipped, the user is told, and the document keeps the name.
    fs::remove(Path("weekends.skx"));
    auto missing = Session();
    missing->Open(Path("skip.cxz"));
    EXPECT_FALSE(IsSkipActive(&missing->CalculatorSkip()));
    const auto notes = missing->TakeNotes();
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_NE(notes[0].find("weekends.skx cannot be read"), std::string::npos) << notes[0];
    missing->ShowResultPage(SheetKind::Interval);
    EXPECT_EQ(Int(missing->ShownTable(SheetKind::Interval), 0, "Days"), 7);
    missing->Save(Path("skip2.cxz"));
    auto reread = Session();
    reread->Open(Path("skip2.cxz"));
    EXPECT_EQ(reread->Doc().header.SkipRef(SkipSlot::Calculator).fileName,
              config->ContractPathMacros(Path("weekends.skx")));
}

// A master plan file with one plan: key dates "Issue Proceedings" (1 March 2026) and "Trial"
// (1 June 2026), a step 28 days after issue, a merge field and a report template.
void WriteLitigationPlan(const std::string& path) {
    TPln e;
    MemTable& p = e.MasterPlans();
    p.Append();
    p.FieldByName("Name").SetString("Litigation");
    p.FieldByName("RTF").SetString("{\\rtf1\\ansi %PlnName% in %AltCourt%\\par %PlnPlan%\\par}");
    p.Post();
    MemTable& k = e.MasterKeyDates();
    int64_t issue = 0;
    for (int i = 0; i < 2; ++i) {
        k.Append();
        k.FieldByName("Name").SetString(i ? "Trial" : "Issue Proceedings");
        k.FieldByName("Date").SetDateTime(i ? D(2026, 6, 1) : D(2026, 3, 1));
        k.Post();
        if (!i) issue = k.FieldByName("Ukey").AsInteger();
    }
    MemTable& st = e.MasterSteps();
    st.Append();
    st.FieldByName("Step").SetString("Serve the claim form");
    st.FieldByName("Who").SetString("Me");
    st.FieldByName("RelativeTo").SetInteger(issue);
    st.FieldByName("Days").SetInteger(28);
    st.FieldByName("Relativity").SetInteger(srAfter);
    st.Post();
    MemTable& f = e.MasterFields();
    f.Append();
    f.FieldByName("Name").SetString("Court");
    f.FieldByName("Value").SetString("County Court");
    f.Post();
    WritePlanFile(e, path);
}

std::vector<std::string> PlanLines(MemTable& t) {
    std::vector<std::string> out;
    for (int i = 0; i < t.RecordCount(); ++i) {
        const auto& v = t.RowValues(i);
        const CivilDate c = DecodeDate(std::get<double>(v[static_cast<size_t>(t.FieldIndex("Date"))]));
        out.push_back(fmt::format("{:04}-{:02}-{:02} {}", c.year, c.month, c.day,
                                  std::get<std::string>(v[static_cast<size_t>(t.FieldIndex("Step"))])));
    }
    return out;
}

TEST_F(SessionTest, ThePlanTravelsWithTheDocument) {
    WriteLitigationPlan(Path("litigation.cpz"));
    {
        auto s = Session();
        s->Doc().tools.ApplyOutputRecordRule(true);
        s->ChoosePlan(Path("litigation.cpz"), 1);
        EXPECT_EQ(s->Doc().header.Get(hdr::PlanFile), "<DAT>litigation.cpz");
        EXPECT_EQ(s->Plan().PlanCaption(), "Litigation");
        // A template: the custom text report becomes the plan's output destination.
        EXPECT_EQ(s->Doc().tools[soPlan].Destination(), static_cast<uint8_t>(OutputDestination::MergeText));
        s->EnterKeyDates({{"issue proceedings", "2026-05-10"}});
        EXPECT_EQ(PlanLines(s->ShownTable(SheetKind::Plan)),
                  (std::vector<std::string>{"2026-05-10 Issue Proceedings", "2026-06-01 Trial",
                                            "2026-06-07 Serve the claim form"}));
        EXPECT_THROW(s->EnterKeyDates({{"Hearing", "2026-05-01"}}), std::invalid_argument);
        EXPECT_THROW(s->EnterKeyDates({{"Trial", "2026-13-01"}}), FieldValueError);
        // A row of the user's own.
        MemTable& steps = s->PlanEngine().PlanSteps();
        steps.Append();
        steps.FieldByName("Step").SetString("Call the client");
        steps.FieldByName("Date").SetDateTime(D(2026, 5, 20));
        steps.Post();
        EXPECT_EQ(s->Titles().PlanName(), "Litigation");
        EXPECT_EQ(s->PlanReport().PlainText().substr(0, 26), "Litigation in County Court");
        s->Save(Path("plan.cxz"));
    }
    const std::vector<std::string> expected{"2026-05-10 Issue Proceedings", "2026-05-20 Call the client",
                                            "2026-06-01 Trial", "2026-06-07 Serve the claim form"};
    auto s = Session();
    s->Open(Path("plan.cxz"));
    // Opening reloads the master plan file and keeps the plan's rows.
    EXPECT_EQ(s->Plan().PlanCaption(), "Litigation");
    EXPECT_EQ(PlanLines(s->ShownTable(SheetKind::Plan)), expected);
    s->ShowResultPage(SheetKind::Plan);
    EXPECT_EQ(PlanLines(s->ShownTable(SheetKind::Plan)), expected);
    EXPECT_TRUE(s->Notes().empty());
    s->Save(Path("plan2.cxz"));
    EXPECT_EQ(ReadFileBytes(Path("plan.cxz")).size(), ReadFileBytes(Path("plan2.cxz")).size());

    // The master plan file gone: the plan's rows stay, nothing is recalculated.
    fs::remove(Path("litigation.cpz"));
    auto t = Session();
    t->Open(Path("plan.cxz"));
    EXPECT_EQ(t->Plan().PlanCaption(), kNoneSelected);
    t->ShowResultPage(SheetKind::Plan);
    EXPECT_EQ(PlanLines(t->ShownTable(SheetKind::Plan)), expected);
    EXPECT_THROW(t->PlanReport(), std::runtime_error);

    // "No Master Plan" starts a new plan.
    s->ChoosePlan(std::string(), std::nullopt);
    EXPECT_EQ(s->ShownTable(SheetKind::Plan).RecordCount(), 0);
    EXPECT_EQ(s->Doc().header.Get(hdr::PlanUkey), -1);
}

TEST_F(SessionTest, RowsThatCannotBeAddedLeaveTheTableAsItWas) {
    auto s = Session();
    MemTable& one = s->Doc().Table("taOne");
    EXPECT_THROW(s->InsertRow(SheetKind::Interval, {{"Dfromm", "2024-01-01"}}), FieldValueError);
    EXPECT_THROW(s->InsertRow(SheetKind::Interval, {{"DFrom", "2024-02-30"}}), FieldValueError);
    EXPECT_THROW(s->InsertRow(SheetKind::Interval, {{"Days", "3"}}), FieldValueError);
    EXPECT_EQ(one.RecordCount(), 0);
    EXPECT_EQ(one.State(), TableState::Browse);
    // The new-row defaults fill what is not given.
    s->InsertRow(SheetKind::Interval, {});
    ASSERT_EQ(one.RecordCount(), 1);
    EXPECT_EQ(Int(one, 0, "Days"), 7);
}

TEST_F(SessionTest, FieldTextIsCheckedAgainstTheField) {
    MemTable t("t");
    t.AddField("S", FieldType::String, 5);
    t.AddField("N", FieldType::Integer);
    t.AddField("W", FieldType::SmallInt);
    t.AddField("B", FieldType::Boolean);
    t.AddField("F", FieldType::Float);
    t.AddField("D", FieldType::Date);
    t.AddField("DT", FieldType::DateTime);
    t.AddField("T", FieldType::Time);
    t.AddField("P", FieldType::BCD, 4);
    t.AddField("A", FieldType::AutoInc);
    t.AddField("C", FieldType::Integer, 0, FieldKind::Calculated);
    struct Case {
        const char* field;
        const char* text;
        bool ok;
        Value value;
    };
    const std::vector<Case> cases = {
        {"S", "abcde", true, std::string("abcde")},
        {"S", "abcdef", false, {}},
        {"S", "caf\xC3\xA9", true, std::string("caf\xC3\xA9")},
        {"S", "\xE2\x82\xAC", true, std::string("\xE2\x82\xAC")},   // the euro sign is in the code page
        {"S", "\xE4\xB8\xAD", false, {}},                             // a character outside it is not
        {"N", "-12", true, int64_t{-12}},
        {"N", "+7", true, int64_t{7}},
        {"N", "1.5", false, {}},
        {"N", "3000000000", false, {}},
        {"W", "40000", false, {}},
        {"B", "Yes", true, true},
        {"B", "off", true, false},
        {"B", "maybe", false, {}},
        {"F", "1.25", true, 1.25},
        {"F", "1,25", false, {}},
        {"F", "nan", false, {}},
        {"D", "2024-02-29", true, D(2024, 2, 29)},
        {"D", "02/29/2024", true, D(2024, 2, 29)},   // the entry format of the default locale
        {"D", "2023-02-29", false, {}},
        {"DT", "2024-03-05T14:30", true, D(2024, 3, 5) + 14.5 / 24},
        {"DT", "2024-03-05T25:00", false, {}},
        {"T", "09:15", true, 9.25 / 24},
        {"T", "9", false, {}},
        {"P", "-1.25", true, std::string("-1.2500")},
        {"P", "1e3", false, {}},
        {"A", "5", false, {}},
        {"C", "5", false, {}},
        {"N", "", true, Value{}},
    };
    for (const Case& c : cases) {
        t.Append();
        if (c.ok) {
            EXPECT_NO_THROW(SetFieldText(t.FieldByName(c.field), c.text, *config)) << c.field << " " << c.text;
            const Value& v = t.FieldByName(c.field).AsValue();
            if (std::holds_alternative<double>(c.value))
                EXPECT_NEAR(std::get<double>(v), std::get<double>(c.value), 1e-9) << c.field << " " << c.text;
            else
                EXPECT_EQ(v, c.value) << c.field << " " << c.text;
        } else {
            EXPECT_THROW(SetFieldText(t.FieldByName(c.field), c.text, *config), FieldValueError)
                << c.field << " " << c.text;
        }
        t.Cancel();
    }
}

TEST_F(SessionTest, ASeriesTheSettingsCannotMakeIsRefused) {
    auto s = Session();
    SetHeaderText(s->Doc().header, "rgRcrStyle", "0");
    SetHeaderText(s->Doc().header, "lmClipLo", "2024-01-01");
    SetHeaderText(s->Doc().header, "lmClipHi", "2400-01-01");
    SetHeaderText(s->Doc().header, "lmFreq", "1");
    SetHeaderText(s->Doc().header, "lmUnits", "1");
    EXPECT_THROW(s->InsertSeries(), std::runtime_error);
    EXPECT_EQ(s->Doc().Table("taRcr").RecordCount(), 0);
}

// ---- the factory documents of the build -----------------------------------------------------

class FactoryDocuments : public ::testing::Test {
protected:
    FactoryDocuments() : config(std::string(CLX_BUILD_ROOT) + "/Bin/clx", Locale::Default()) {}
    Config config;
};

TEST_F(FactoryDocuments, TheTemplateMakesAnEmptyNewDocument) {
    DocumentSession s(config);
    s.SetToday([] { return D(2024, 7, 1); });
    const LoadReport report = s.Open(config.Files().newTemplate);
    for (const SectionOutcome& o : report) EXPECT_EQ(o.result, SectionResult::Loaded) << o.index;
    for (const auto& sec : kDocumentSections) {
        if (sec.kind == SectionKind::Table) {
            EXPECT_EQ(s.Doc().Table(sec.object).RecordCount(), 0) << sec.object;
        }
    }
    for (int i = 0; i < kToolRecCount; ++i) EXPECT_TRUE(s.Doc().tools[i].Initialised());
    EXPECT_EQ(s.Doc().tools[soInterval].FileName(ToolFile::Csv), "<TMP>interval.csv");
    EXPECT_NE(s.Doc().Rtf("redCalcTitle").find("Interval Calculation"), std::string::npos);

    s.NewDocument();
    EXPECT_EQ(s.Doc().FileName(), config.Files().dataNew);
    EXPECT_FALSE(s.Doc().Modified());
    EXPECT_EQ(s.Doc().header.Get(hdr::lmClipLo), D(2024, 7, 1));
    EXPECT_EQ(s.Doc().header.Get(hdr::lmClipHi), D(2024, 7, 1) + 183);
    EXPECT_EQ(s.Doc().header.Get(hdr::edDos), D(2024, 7, 1));
    EXPECT_EQ(s.Doc().header.Get(hdr::edRcrSeriesTitle), "Date No. %n");
    EXPECT_TRUE(s.Doc().header.Get(hdr::cbProIncludeFirst));
}

TEST_F(FactoryDocuments, TheDemonstrationHasEverySheetAtWork) {
    DocumentSession s(config);
    const LoadReport report = s.Open(config.Files().demo);
    for (const SectionOutcome& o : report) EXPECT_EQ(o.result, SectionResult::Loaded) << o.index;
    s.RecalculateAll();
    EXPECT_TRUE(s.TakeNotes().empty());
    for (const SheetInfo& info : DocumentSheets()) {
        if (info.kind == SheetKind::Plan) continue;
        if (s.Doc().Table(info.table).FieldCount() == 0) continue;   // a sheet this build lacks
        EXPECT_GT(s.ShownTable(info.kind).RecordCount(), 0) << info.name;
    }
    // The loan runs down to nil on its last repayment.
    MemTable& rcr = s.ShownTable(SheetKind::Repeat);
    ASSERT_EQ(rcr.RecordCount(), 25);
    const int bal = rcr.FieldIndex("Balance");
    EXPECT_DOUBLE_EQ(std::get<double>(rcr.RowValues(0)[static_cast<size_t>(bal)]), 24000);
    EXPECT_DOUBLE_EQ(std::get<double>(rcr.RowValues(24)[static_cast<size_t>(bal)]), 0);
    // The premium is shared out to the cent.
    MemTable& mul = s.ShownTable(SheetKind::Multiple);
    ASSERT_EQ(mul.RecordCount(), 4);
    double shared = 0;
    for (int i = 0; i < 4; ++i) shared += std::get<double>(mul.RowValues(i)[static_cast<size_t>(mul.FieldIndex("Amount"))]);
    EXPECT_NEAR(shared, 12000, 1e-6);
    EXPECT_EQ(s.Doc().header.Get(hdr::MulTotalDays), 366);
}

}  // namespace
}  // namespace clx
