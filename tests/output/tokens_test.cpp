#include "output/tokens.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "files/options.h"
#include "platform/fake_ui.h"
#include "platform/memtable.h"
#include "platform/richtext.h"

namespace clx {
namespace {

// Wednesday 9 December 2026, 16:05.
TDateTime FixedNow() { return EncodeDate(2026, 12, 9) + EncodeTime(16, 5, 0); }

// Day before month, two-digit year in the short date format.
Locale DayFirst() {
    Locale l;
    l.language = "en";
    l.country = "AU";
    l.shortDateFormat = "d/MM/yy";
    return l;
}

// --- syntax ---------------------------------------------------------------------------------

TEST(ScanTokens, PairsDelimitersInOrderAndKeepsFirstSpelling) {
    const std::string longToken(300, 'x');
    struct Case {
        std::string text;
        std::vector<std::string> tokens;
    } cases[] = {
        {"%SYSDATE% for %PlnName%.", {"SYSDATE", "PlnName"}},
        {"%PlnName% %PLNNAME% %plnname% %b%", {"PlnName", "b"}},
        {"50% off, now 20% more", {" off, now 20"}},
        {"%%", {""}},
        {"%a%%b%", {"a", "b"}},
        {"a single % sign", {}},
        {"%a% and % unclosed", {"a"}},
        {"%" + longToken + "%", {std::string(255, 'x')}},
        // The cut counts characters, not bytes: the accented letter stays whole.
        {"%" + std::string(254, 'x') + "\xC3\xA9yz%", {std::string(254, 'x') + "\xC3\xA9"}},
    };
    for (const auto& c : cases) EXPECT_EQ(ScanTokens(c.text), c.tokens) << c.text;
}

TEST(ScanTokens, OtherDelimiters) {
    EXPECT_EQ(ScanTokens("<a> <<b>> %c%", {'<', '>'}), (std::vector<std::string>{"a", "<b"}));
}

TEST(ParseToken, SplitsSourceNameFormatAndAlternate) {
    struct Case {
        std::string text;
        std::string source, name, format, alternate;
    } cases[] = {
        {"PlnName", "PLN", "NAME", "", ""},
        {"%PlnName%", "PLN", "NAME", "", ""},
        {"SYS DATE", "SYS", "DATE", "", ""},
        {"DATE", "DAT", "E", "", ""},
        {"@", "@", "", "", ""},
        {"@@", "@@", "", "", ""},
        {"", "", "", "", ""},
        {"sysdate/dd mmm yyyy", "SYS", "DATE", "DD MMM YYYY", ""},
        {"SYSDATE/dd/mm/yyyy", "SYS", "DATE", "DD/MM/YYYY", ""},
        {"WrdFirm|x/U", "WRD", "FIRM", "U", "x"},
        {"WrdFirm/U|Other Text", "WRD", "FIRM", "U", "Other Text"},
        {"AltName|Left alone", "ALT", "NAME", "", "Left alone"},
        {"A/b", "A", "", "B", ""},
        {"Pl|x", "PL", "", "", "x"},
        {"S D", "S", "D", "", ""},
        {"AltClient Name", "ALT", "CLIENT NAME", "", ""},
        {"  PlnName  ", "PLN", "NAME", "", ""},
        {"AltCaf\xC3\xA9", "ALT", "CAF\xC3\xA9", "", ""},
        // Delimiters and blanks around a whole token do not shift the parts.
        {"% PlnName %", "PLN", "NAME", "", ""},
    };
    for (const auto& c : cases) {
        const TToken t = ParseToken(c.text);
        EXPECT_EQ(t.Source, c.source) << c.text;
        EXPECT_EQ(t.Name, c.name) << c.text;
        EXPECT_EQ(t.Format, c.format) << c.text;
        EXPECT_EQ(t.Alternate, c.alternate) << c.text;
    }
}

TEST(ParseToken, TextKeyAndMemoMarker) {
    TToken t = ParseToken(" Pln(memo)Name/u ");
    EXPECT_TRUE(t.IsMemo);
    EXPECT_EQ(t.Text, " PlnName/u ");
    EXPECT_EQ(t.Key, "PLNNAME/U");
    EXPECT_EQ(t.Name, "NAME");
    EXPECT_EQ(t.Format, "U");
    EXPECT_FALSE(ParseToken("PlnName").IsMemo);
}

TEST(TokenText, TrimAndTokenForm) {
    EXPECT_EQ(TokenTrim(" \t\r\n x y \x01"), "x y");
    EXPECT_EQ(TokenTrim("\xC2\xA0name\xC2\xA0"), "name");          // no-break spaces
    EXPECT_EQ(TokenTrim("\xC3\xA9t\xC3\xA9"), "\xC3\xA9t\xC3\xA9");  // letters stay
    EXPECT_EQ(TokenForm("Client Name"), "Client_Name");
    EXPECT_EQ(TokenForm("a%b/c|d e"), "a_b_c_d_e");
    EXPECT_EQ(TokenForm("<x>", {'<', '>'}), "_x_");
}

// --- formats --------------------------------------------------------------------------------

TEST(ApplyTextFormat, Flags) {
    struct Case {
        std::string text, format, result;
    } cases[] = {
        {"Smith & co", "U", "SMITH & CO"},
        {"Smith & CO", "L", "smith & co"},
        {"hello world", "C", "Hello world"},
        {"1st place", "C", "1st place"},
        {"o'brien-smith (jnr)", "M", "O'Brien-Smith (Jnr)"},
        {"As Stored", "", "As Stored"},
        {"As Stored", "X", "As Stored"},
        {"As Stored", "DD/MM", "As Stored"},
        {"caf\xC3\xA9", "U", "CAF\xC3\xA9"},   // letters a to z only
    };
    for (const auto& c : cases) EXPECT_EQ(ApplyTextFormat(c.text, c.format), c.result) << c.text << " /" << c.format;
}

TEST(NameCase, Names) {
    struct Case {
        std::string text, result;
    } cases[] = {
        {"mcdonald", "McDonald"},
        {"macdonald", "MacDonald"},
        {"JOHN MCDONALD", "John Mcdonald"},   // the Mc rule holds at the start only
        {"mary-jane o'neil", "Mary-Jane O'Neil"},
        {"smith (jnr)", "Smith (Jnr)"},
        {"a", "A"},
        {"", ""},
        {"x-", "X-"},
    };
    for (const auto& c : cases) EXPECT_EQ(NameCase(c.text), c.result) << c.text;
    EXPECT_EQ(NameCase(std::string(300, 'a')).size(), 255u);
}

TEST(SystemDateText, ShortDateOrderWithFourDigitYear) {
    Locale german;
    german.shortDateFormat = "dd.MM.yy";
    german.dateSeparator = '.';
    EXPECT_EQ(SystemDateText(EncodeDate(2026, 12, 9), german), "09.12.2026");
    EXPECT_EQ(SystemDateText(EncodeDate(2026, 12, 9), Locale::Default()), "12/9/2026");
    EXPECT_EQ(SystemDateText(EncodeDate(2026, 12, 9) + 0.5, DayFirst()), "9/12/2026");
    EXPECT_EQ(SystemDateText(0, DayFirst()), "");
}

TEST(FormatWithArguments, EachPercentSTakesTheNextArgument) {
    EXPECT_EQ(FormatWithArguments("Get %s, or look in %s.", {"a", "b"}), "Get a, or look in b.");
    EXPECT_EQ(FormatWithArguments("%s and %s", {"a"}), "a and ");
    EXPECT_EQ(FormatWithArguments("100%% of %s, 5% %d", {"it"}), "100% of it, 5% %d");
    EXPECT_EQ(FormatWithArguments("end %", {}), "end %");
}

// --- resolving ------------------------------------------------------------------------------

class MapProvider : public TokenProvider {
public:
    std::map<std::string, std::string> values;   // by Text
    std::vector<std::string> asked;
    bool throws = false;
    std::string TokenValue(const TToken& t) override {
        asked.push_back(t.Text);
        if (throws) throw std::runtime_error("provider failed");
        auto it = values.find(t.Text);
        return it == values.end() ? std::string() : it->second;
    }
};

RichText Plain(const std::string& s) { return RichText::FromPlainText(s); }

class TokenEngineTest : public ::testing::Test {
protected:
    TokenEngineTest() : engine(DayFirst()) { engine.SetClock(FixedNow); }

    std::string Merge(const std::string& s, int passes = 1) {
        RichText t = Plain(s);
        engine.MergeRichText(t, passes);
        return t.PlainText("\n");
    }

    TokenEngine engine;
};

TEST_F(TokenEngineTest, SystemTokens) {
    struct Case {
        std::string text, result;
    } cases[] = {
        {"%SYSDATE%", "9/12/2026"},
        {"%sysdate/dd mmm yyyy%", "09 Dec 2026"},
        {"%SYSDATE/dd/mm/yyyy%", "09/12/2026"},
        {"%SYSDATE/dddd%", "Wednesday"},
        {"%SYSDATETIME%", "Wed 9/12/2026 4:05 pm"},
        {"%SYSDATETIME/hh:nn am/pm%", "04:05 PM"},
        {"%SYS DATE%", "9/12/2026"},
        {"[%DATE%]", "[]"},
        {"[%SYSPAGEBREAK%][%SYSPADTOLINE%]", "[][]"},
    };
    for (const auto& c : cases) EXPECT_EQ(Merge(c.text), c.result) << c.text;
}

TEST_F(TokenEngineTest, ProviderAfterSystemTokensAndErrorsGiveEmptyText) {
    MapProvider p;
    p.values = {{"DATE", "provided"}, {"SYSDATE", "never asked"}, {"x", "...Result is Intentionally Blank..."}};
    engine.SetProvider(&p);
    EXPECT_EQ(Merge("%DATE% %SYSDATE% [%x%]"), "provided 9/12/2026 []");
    EXPECT_EQ(p.asked, (std::vector<std::string>{"DATE", "x"}));
    p.throws = true;
    EXPECT_EQ(Merge("[%DATE%] %SYSDATE%"), "[] 9/12/2026");
}

TEST_F(TokenEngineTest, TextsThatAreNotTokens) {
    struct Case {
        std::string text, result;
    } cases[] = {
        {"50% off, now 20% more", "50 more"},
        {"a%%b", "ab"},
        {"a single % sign", "a single % sign"},
        {"", ""},
        // Too long to be found again: stays as it is.
        {"<%" + std::string(300, 'q') + "%>", "<%" + std::string(300, 'q') + "%>"},
    };
    for (const auto& c : cases) EXPECT_EQ(Merge(c.text), c.result) << c.text;
}

TEST_F(TokenEngineTest, ReplacedValueKeepsTheTokensCharacterFormat) {
    MapProvider p;
    p.values = {{"PlnName", "Smith"}, {"Lines", "one\r\ntwo"}};
    engine.SetProvider(&p);
    CharFormat bold;
    bold.bold = true;
    CharFormat italic;
    italic.italic = true;
    italic.fontName = "Times New Roman";
    Paragraph para;
    para.runs = {{"Dear ", {}}, {"%PlnName%", bold}, {",", {}}, {"%Pln", italic}, {"Name%", bold}};
    RichText text = RichText::FromParagraphs({para});

    EXPECT_EQ(engine.MergeRichText(text, 1), 2);
    ASSERT_EQ(text.Paragraphs().size(), 1u);
    const auto& runs = text.Paragraphs()[0].runs;
    ASSERT_EQ(runs.size(), 4u);
    EXPECT_EQ(runs[0], (clx::Run{"Dear ", {}}));
    EXPECT_EQ(runs[1], (clx::Run{"Smith", bold}));
    EXPECT_EQ(runs[2], (clx::Run{",", {}}));
    EXPECT_EQ(runs[3], (clx::Run{"Smith", italic}));   // the format of the token's first character

    // A value with line breaks becomes paragraphs in the token's format.
    Paragraph lines;
    lines.runs = {{"<", {}}, {"%Lines%", bold}, {">", {}}};
    RichText multi = RichText::FromParagraphs({lines});
    engine.MergeRichText(multi, 1);
    EXPECT_EQ(multi.PlainText("\n"), "<one\ntwo>");
    EXPECT_TRUE(multi.FormatAt(1).bold);
    EXPECT_TRUE(multi.FormatAt(5).bold);
}

TEST_F(TokenEngineTest, AllSpellingsTakeTheFirstSpellingsValue) {
    MapProvider p;
    p.values = {{"d", "short"}};
    engine.SetProvider(&p);
    EXPECT_EQ(Merge("%d% then %D%"), "short then short");
    EXPECT_EQ(Merge("[%D%] then [%d%]"), "[] then []");
}

TEST_F(TokenEngineTest, ValueHoldingTokensIsInsertedOnceAPass) {
    MapProvider p;
    p.values = {{"T", "<%T%>"}};
    engine.SetProvider(&p);
    RichText t = Plain("%T% and %T%");
    EXPECT_EQ(engine.MergeRichText(t, 1), 2);
    EXPECT_EQ(t.PlainText(), "<%T%> and <%T%>");
    // Each further pass merges once more; ten at most.
    t = Plain("%T%");
    EXPECT_EQ(engine.MergeRichText(t, 3), 3);
    EXPECT_EQ(t.PlainText(), "<<<%T%>>>");
    t = Plain("%T%");
    EXPECT_EQ(engine.MergeRichText(t, 50), 10);
    t = Plain("%T%");
    EXPECT_EQ(engine.MergeRichText(t, 0), 1);
}

TEST_F(TokenEngineTest, ValuesThatWouldMergeForeverStop) {
    // An empty token whose value ends in an empty token: resuming inside the value would find
    // it again without end.
    MapProvider empty;
    empty.values = {{"", "x%%"}};
    engine.SetProvider(&empty);
    RichText t = Plain("a%%b");
    EXPECT_EQ(engine.MergeRichText(t, 1), 1);
    EXPECT_EQ(t.PlainText(), "ax%%b");

    // A one-character value is not merged again together with the text after it.
    MapProvider percent;
    percent.values = {{"A", "%"}};
    engine.SetProvider(&percent);
    t = Plain("x%A%A%");
    EXPECT_EQ(engine.MergeRichText(t, 1), 1);
    EXPECT_EQ(t.PlainText(), "x%A%");

    // A value with two copies of its own token doubles the text every pass: the merge stops
    // before the text outgrows the limit.
    MapProvider doubling;
    doubling.values = {{"T", "%T%%T%"}};
    engine.SetProvider(&doubling);
    engine.SetMaxTextLength(200);
    t = Plain("%T%");
    const int n = engine.MergeRichText(t, 10);
    EXPECT_LE(t.Length(), 200u);
    EXPECT_GT(n, 10);
    EXPECT_LT(n, 80);
}

class ReenteringProvider : public TokenProvider {
public:
    TokenEngine* engine = nullptr;
    int inner = -1;
    std::string TokenValue(const TToken&) override {
        RichText t = RichText::FromPlainText("%x%");
        inner = engine->MergeRichText(t, 1);
        return "v";
    }
};

TEST_F(TokenEngineTest, MergeWhileMergingDoesNothing) {
    ReenteringProvider p;
    p.engine = &engine;
    engine.SetProvider(&p);
    EXPECT_EQ(Merge("%a%"), "v");
    EXPECT_EQ(p.inner, 0);
    EXPECT_FALSE(engine.Busy());
    MapProvider failing;
    failing.throws = true;
    engine.SetProvider(&failing);
    EXPECT_EQ(Merge("%a%"), "");
    EXPECT_FALSE(engine.Busy());
}

TEST(TokenEngineUi, BusyCursorAndPendingEventsEveryTenTokens) {
    FakeUi ui;
    TokenEngine engine(DayFirst(), nullptr, &ui);
    std::string s;
    for (int i = 0; i < 21; ++i) s += "%t" + std::to_string(i) + "%";
    RichText t = RichText::FromPlainText(s);
    EXPECT_EQ(engine.MergeRichText(t, 1), 21);
    int pumps = 0;
    for (const auto& c : ui.Calls()) pumps += c.kind == UiCallKind::ProcessMessages;
    EXPECT_EQ(pumps, 3);   // before the 1st, 11th and 21st token
    EXPECT_EQ(ui.CursorHistory(), (std::vector<Cursor>{Cursor::HourGlass, Cursor::Default}));
}

// --- sources --------------------------------------------------------------------------------

MemTable& Words(MemTable& w, std::vector<std::pair<std::string, std::string>> rows) {
    SetupWordTable(w);
    for (auto& [token, value] : rows) {
        w.Append();
        w.FieldByName("Token").SetString(token);
        w.FieldByName("Value").SetString(value);
        w.Post();
    }
    return w;
}

class DataEngineTest : public ::testing::Test {
protected:
    DataEngineTest()
        : engine(Words(words, {{"FIRM", "smith & co"},
                               {"NOHLP", "Download the help from %s; it was expected at %s."},
                               {"BLANK", "...Result is Intentionally Blank..."},
                               {"Client Name", "word table"}}),
                 DayFirst()) {
        engine.SetClock(FixedNow);
    }

    std::string Merge(const std::string& s) {
        RichText t = RichText::FromPlainText(s);
        engine.MergeRichText(t, 1);
        return t.PlainText("\n");
    }

    MemTable words{"taWrd"};
    DataTokenEngine engine;
};

TEST_F(DataEngineTest, TokensFromPlanMergeFieldAndWordTables) {
    engine.SetPlanToken("Name", "Lease renewal");
    engine.SetAltToken(TokenForm("Client Name"), "Smith");
    struct Case {
        std::string text, result;
    } cases[] = {
        {"%PlnName%", "Lease renewal"},
        {"%plnname/u%", "LEASE RENEWAL"},
        {"%AltClient_Name%", "Smith"},
        {"%altclient_name/U%", "SMITH"},
        {"[%AltClient Name%]", "[]"},
        {"%WrdFirm/M%", "Smith & Co"},
        {"%WrdFirm|ignored/U%", "SMITH & CO"},
        {"[%WrdBlank%]", "[]"},
        {"[%WrdClient_Name%]", "[word table]"},   // stored names compare in token form
        {"[%Wrd Client_Name%]", "[word table]"},
        {"[%PlnMissing%][%XyzFirm%][%@%]", "[][][]"},
    };
    for (const auto& c : cases) EXPECT_EQ(Merge(c.text), c.result) << c.text;
}

TEST_F(DataEngineTest, LookupLeavesTheTablesCurrentRowAlone) {
    words.SetRecNo(2);
    words.Edit();
    words.FieldByName("Value").SetString("being edited");
    EXPECT_EQ(Merge("%WrdFirm%"), "smith & co");
    EXPECT_EQ(words.State(), TableState::Edit);
    EXPECT_EQ(words.RecNo(), 2);
    words.Cancel();
}

TEST_F(DataEngineTest, SetTokenFindsItsRowAgain) {
    engine.SetPlanToken("Date", "1");
    engine.SetPlanToken("key", "2");
    engine.SetPlanToken("DATE", "3");
    const std::string longName(70, 'n');
    engine.SetPlanToken(longName, "4");
    engine.SetPlanToken(longName, "5");
    MemTable& pln = engine.PlanTokens();
    ASSERT_EQ(pln.RecordCount(), 3);
    EXPECT_EQ(std::get<std::string>(pln.RowValues(0)[0]), "DATE");
    EXPECT_EQ(std::get<std::string>(pln.RowValues(0)[1]), "3");
    EXPECT_EQ(std::get<std::string>(pln.RowValues(1)[0]), "KEY");
    EXPECT_EQ(std::get<std::string>(pln.RowValues(2)[0]), std::string(64, 'N'));
    EXPECT_EQ(std::get<std::string>(pln.RowValues(2)[1]), "5");

    engine.SetAltToken("x", "y");
    engine.ClearTokenValues();
    EXPECT_TRUE(engine.PlanTokens().IsEmpty());
    EXPECT_TRUE(engine.AltTokens().IsEmpty());
    EXPECT_EQ(Merge("[%PlnDate%]"), "[]");
}

TEST_F(DataEngineTest, WordTextAndWordFormat) {
    EXPECT_EQ(engine.WordText("FIRM"), "smith & co");
    EXPECT_EQ(engine.WordText("firm"), "smith & co");
    EXPECT_NE(engine.WordText("NOHLP"), "");
    EXPECT_EQ(words.RecNo(), 4);   // the found row is current for the next question
    EXPECT_EQ(engine.WordText("MISSING"), "");
    EXPECT_EQ(engine.WordText("Client Name"), "");   // stored "Client Name" is not upper case
    EXPECT_EQ(engine.WordFormat("NOHLP", {"https://example.org/help", "/opt/clx/Help/clx.hlp"}),
              "Download the help from https://example.org/help; it was expected at /opt/clx/Help/clx.hlp.");
    EXPECT_EQ(engine.WordFormat("MISSING", {"a"}), "");

    // A filter that hides the row does not hide it from the lookup, and stays on.
    words.handlers.onFilterRecord = [](MemTable& t) { return t.FieldByName("Token").AsString() != "NOHLP"; };
    words.SetFiltered(true);
    ASSERT_EQ(words.RecordCount(), 3);
    EXPECT_NE(engine.WordText("NOHLP"), "");
    EXPECT_TRUE(words.Filtered());
    EXPECT_EQ(words.RecordCount(), 3);
}

// --- templates ------------------------------------------------------------------------------

RichText BoldTemplate() {
    CharFormat bold;
    bold.bold = true;
    Paragraph first, second;
    first.runs = {{"Plan: ", {}}, {"%PlnName%", bold}};
    second.format.alignment = Alignment::Centre;
    second.runs = {{"For %AltClient_Name% [%AltClient Name%] on %SYSDATE/dd mmm yyyy%", {}}};
    return RichText::FromParagraphs({first, second});
}

TEST_F(DataEngineTest, MergeTemplateCopiesTheCurrentRowsTemplate) {
    MemTable templates("taRpt");
    templates.AddField("Menu", FieldType::String, 80);
    templates.AddField("Body", FieldType::Blob);
    templates.AppendRaw({std::string("other"), WriteRtf(RichText::FromPlainText("wrong row"))});
    templates.AppendRaw({std::string("plan"), WriteRtf(BoldTemplate())});
    templates.Last();

    engine.SetPlanToken("Name", "Renewal");
    engine.SetAltToken("CLIENT_NAME", "Smith");
    RichText target = RichText::FromPlainText("old content");
    EXPECT_EQ(engine.MergeTemplate(templates, "Body", target), 4);
    EXPECT_EQ(target.PlainText("\n"), "Plan: Renewal\nFor Smith [] on 09 Dec 2026");
    EXPECT_TRUE(target.FormatAt(6).bold);
    EXPECT_FALSE(target.FormatAt(5).bold);
    EXPECT_EQ(target.ParagraphFormatAt(target.Length() - 1).alignment, Alignment::Centre);
    // The template itself is not touched.
    EXPECT_EQ(ReadRtf(std::get<std::string>(templates.RowValues(1)[1])), BoldTemplate());

    // No row, no field, or data that is not rich text: an empty target.
    EXPECT_EQ(engine.MergeTemplate(templates, "Missing", target), 0);
    EXPECT_TRUE(target.Empty());
    MemTable empty;
    empty.AddField("Body", FieldType::Blob);
    target = RichText::FromPlainText("old");
    engine.MergeTemplate(empty, "Body", target);
    EXPECT_TRUE(target.Empty());
}

TEST_F(DataEngineTest, CustomTextMergeLoadsMergeFieldsForOneMergeOnly) {
    MemTable templates;
    templates.AddField("Body", FieldType::Blob);
    templates.AppendRaw({WriteRtf(BoldTemplate())});
    MemTable fields("taPlf");
    fields.AddField("Name", FieldType::String, 64);
    fields.AddField("Value", FieldType::Memo);
    fields.AppendRaw({std::string("Client Name"), std::string("Smith")});

    engine.SetAltToken("STALE", "x");
    RichText result;
    const int n = engine.CustomTextMerge(
        [](DataTokenEngine& e) {
            e.ClearTokenValues();
            e.SetPlanToken("Name", "Renewal");
        },
        &fields, templates, "Body", result);
    EXPECT_EQ(n, 4);
    EXPECT_EQ(result.PlainText("\n"), "Plan: Renewal\nFor Smith [] on 09 Dec 2026");
    EXPECT_TRUE(engine.AltTokens().IsEmpty());
    EXPECT_EQ(engine.PlanTokens().RecordCount(), 1);   // plan values stay until the next merge

    // The merge field values go also when the preparing routine fails.
    engine.SetAltToken("STALE", "x");
    EXPECT_THROW(engine.CustomTextMerge([](DataTokenEngine&) { throw std::runtime_error("no"); },
                                        &fields, templates, "Body", result),
                 std::runtime_error);
    EXPECT_TRUE(engine.AltTokens().IsEmpty());
}

// --- titles ---------------------------------------------------------------------------------

class FakeTitleValues : public TitleValues {
public:
    std::string method = "Actual/365";
    SkipFileState calc, plan;
    bool failMethod = false;
    std::string CalcMethod() const override {
        if (failMethod) throw std::runtime_error("no method list");
        return method;
    }
    SkipFileState CalculatorSkipFile() const override { return calc; }
    SkipFileState PlanSkipFile() const override { return plan; }
    TDateTime Today() const override { return EncodeDate(2026, 12, 9); }
    TDateTime AsAtDate() const override { return EncodeDate(2026, 1, 31); }
    std::string PlanName() const override { return "Lease"; }
    std::string ReportDateText(TDateTime d) const override { return "long " + std::to_string(WholeDays(d)); }
    std::string ReportDateTextShort(TDateTime d) const override { return "short " + std::to_string(WholeDays(d)); }
};

TEST(TitleMerge, MainWindowTokens) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "clx_tokens_title";
    std::filesystem::create_directories(dir);
    const std::filesystem::path skx = dir / "Holidays 2026.skx";
    std::ofstream(skx) << "x";

    FakeTitleValues values;
    values.calc = {true, skx.string()};
    values.plan = {false, skx.string()};
    TitleTokenProvider provider(values);
    auto merged = [&](const std::string& s) {
        RichText out;
        TitleMerge(RichText::FromPlainText(s), out, &provider, DayFirst(), nullptr, FixedNow);
        return out.PlainText("\n");
    };
    const std::string today = std::to_string(WholeDays(EncodeDate(2026, 12, 9)));
    const std::string asAt = std::to_string(WholeDays(EncodeDate(2026, 1, 31)));
    struct Case {
        std::string text, result;
    } cases[] = {
        {"%CalcMethod%", "Actual/365"},
        {"%SkipInfo% | %SkipFile%", "Holidays 2026 | " + skx.string()},
        {"%PlanSkipInfo% | %PlanSkipFile%", "None | None"},
        {"%d% %dd%", "short " + today + " long " + today},
        {"%@% %@@%", "short " + asAt + " long " + asAt},
        {"%PlnName% %SYSDATE%", "Lease 9/12/2026"},
        {"%d% and later %D%", "short " + today + " and later short " + today},
        {"[%D%] and later [%d%]", "[] and later []"},
        {"[%calcmethod%][%Other%][%CalcMethod %]", "[][][]"},
    };
    for (const auto& c : cases) EXPECT_EQ(merged(c.text), c.result) << c.text;

    std::filesystem::remove(skx);
    EXPECT_EQ(merged("%SkipInfo% %SkipFile%"), "None None");   // the file has gone
    values.failMethod = true;
    EXPECT_EQ(merged("[%CalcMethod%]"), "[]");
    std::filesystem::remove_all(dir);
}

TEST(TitleMerge, KeepsTheTitlesFormatting) {
    CharFormat big;
    big.halfPoints = 32;
    big.bold = true;
    Paragraph p;
    p.format.alignment = Alignment::Centre;
    p.runs = {{"Report of %SYSDATE/yyyy%", big}};
    const RichText title = RichText::FromParagraphs({p});
    RichText out = RichText::FromPlainText("previous");
    EXPECT_EQ(TitleMerge(title, out, nullptr, DayFirst(), nullptr, FixedNow), 1);
    ASSERT_EQ(out.Paragraphs().size(), 1u);
    EXPECT_EQ(out.Paragraphs()[0].format.alignment, Alignment::Centre);
    EXPECT_EQ(out.Paragraphs()[0].runs, (std::vector<clx::Run>{{"Report of 2026", big}}));
}

}  // namespace
}  // namespace clx
