#include "platform/richtext.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

using namespace clx;
namespace fs = std::filesystem;

namespace {

CharFormat Font(std::string name, int halfPoints, bool bold = false) {
    CharFormat f;
    f.fontName = std::move(name);
    f.halfPoints = halfPoints;
    f.bold = bold;
    return f;
}

CharFormat Bold() {
    CharFormat f;
    f.bold = true;
    return f;
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

fs::path DataFile(const std::string& name) { return fs::path(CLX_SOURCE_DIR) / "tests/platform/data" / name; }

// "Hello " plain, "World" bold / second paragraph "Line two".
RichText Sample() {
    RichText t;
    t.AppendText("Hello ", CharFormat{});
    t.AppendText("World", Bold());
    t.AppendText("\r\nLine two", CharFormat{});
    return t;
}

// The runs of a paragraph as "text|text" with bold runs in brackets, for compact checks.
std::string Runs(const Paragraph& p) {
    std::string s;
    for (const clx::Run& r : p.runs) {
        if (!s.empty()) s += '|';
        s += r.format.bold ? "[" + r.text + "]" : r.text;
    }
    return s;
}

// What the token engine does with a rich text: scan the plain text for %tokens%, then replace
// every occurrence found from the start, resuming two characters before the inserted value.
int MergeTokens(RichText& t, const std::map<std::string, std::string>& values) {
    std::vector<std::string> tokens;
    std::string plain = t.PlainText();
    std::size_t open = std::string::npos;
    for (std::size_t i = 0; i < plain.size(); ++i) {
        if (plain[i] != '%') continue;
        if (open == std::string::npos) {
            open = i;
        } else {
            std::string tok = plain.substr(open + 1, i - open - 1);
            if (std::find(tokens.begin(), tokens.end(), tok) == tokens.end()) tokens.push_back(tok);
            open = std::string::npos;
        }
    }
    int count = 0;
    for (const std::string& tok : tokens) {
        auto it = values.find(tok);
        std::string value = it == values.end() ? "" : it->second;
        std::size_t caret = 0;
        while (auto m = t.FindText("%" + tok + "%", caret)) {
            std::size_t end = t.ReplaceRange(m->pos, m->len, value);
            caret = end >= 2 ? end - 2 : 0;
            ++count;
        }
    }
    return count;
}

}  // namespace

// ---------------------------------------------------------------- model

TEST(RichTextModel, PositionsCountABreakAsOneCharacter) {
    RichText t = Sample();
    EXPECT_EQ(t.PlainText(), "Hello World\r\nLine two");
    EXPECT_EQ(t.PlainText("\n"), "Hello World\nLine two");
    EXPECT_EQ(t.Length(), 20u);  // 11 + break + 8
    EXPECT_EQ(t.PlainText(6, 7), "World\r\nL");
    EXPECT_EQ(t.FormatAt(6).bold, true);
    EXPECT_EQ(t.FormatAt(12).bold, false);  // "L": the break is position 11
    ASSERT_EQ(t.Paragraphs().size(), 2u);
    EXPECT_EQ(Runs(t.Paragraphs()[0]), "Hello |[World]");

    RichText empty;
    EXPECT_TRUE(empty.Empty());
    EXPECT_EQ(empty.Length(), 0u);
    EXPECT_EQ(empty.PlainText(), "");
    EXPECT_EQ(empty.Paragraphs().size(), 1u);
}

TEST(RichTextModel, FindText) {
    RichText t;
    t.AppendText("Größe: Ärger, Ärgernis\r\nnext line\r\n\r\nend_word", CharFormat{});
    struct Case {
        std::string needle;
        std::size_t from;
        FindOptions options;
        std::optional<TextRange> expected;
    };
    std::vector<Case> cases = {
        {"ärger", 0, {}, TextRange{7, 5}},                       // case ignored, also beyond ASCII
        {"ärger", 0, {true, false}, std::nullopt},
        {"Ärger", 8, {}, TextRange{14, 5}},                      // from skips the first
        {"ärger", 0, {false, true}, TextRange{7, 5}},
        {"ärger", 8, {false, true}, std::nullopt},               // "Ärgernis" is not the whole word
        {"GRÖSSE", 0, {}, std::nullopt},                         // simple folding: ß stays ß
        {"nis\r\nnext", 0, {}, TextRange{19, 8}},                // a break in the needle is one character
        {"nis\nnext", 0, {}, TextRange{19, 8}},
        {"line\r\n\r\nend", 0, {}, TextRange{28, 9}},           // across an empty paragraph
        {"\r\n", 24, {}, TextRange{32, 1}},
        {"end", 0, {false, true}, std::nullopt},                 // "_" is part of a word
        {"end_word", 0, {false, true}, TextRange{34, 8}},
        {"", 0, {}, std::nullopt},
        {"e", 100, {}, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.needle + " from " + std::to_string(c.from));
        EXPECT_EQ(t.FindText(c.needle, c.from, c.options), c.expected);
    }
    EXPECT_EQ(t.PlainText(19, 8), "nis\r\nnext");
}

TEST(RichTextModel, ReplaceKeepsTheFormatOfTheFirstReplacedCharacter) {
    RichText t = Sample();
    // Replacing the bold word keeps it bold; the result merges with nothing plain.
    std::size_t end = t.ReplaceRange(6, 5, "There");
    EXPECT_EQ(end, 11u);
    EXPECT_EQ(Runs(t.Paragraphs()[0]), "Hello |[There]");
    // A range starting in plain text takes the plain format for all of it.
    t.ReplaceRange(4, 4, "o, wh");
    EXPECT_EQ(Runs(t.Paragraphs()[0]), "Hello, wh|[ere]");
    // Inserting takes the character before; at the start of a paragraph its first character.
    t.ReplaceRange(12, 0, "!");
    EXPECT_EQ(Runs(t.Paragraphs()[0]), "Hello, wh|[ere!]");
    t.ReplaceRange(0, 0, ">");
    EXPECT_EQ(Runs(t.Paragraphs()[0]), ">Hello, wh|[ere!]");
    // Emptying a paragraph leaves the deleted text's format for what is typed next.
    t.ReplaceRange(9, 5, "");
    t.ReplaceRange(0, 9, "");
    EXPECT_TRUE(t.Paragraphs()[0].runs.empty());
    EXPECT_TRUE(t.Paragraphs()[0].markFormat.bold == false);
    t.ReplaceRange(0, 0, "x");
    EXPECT_EQ(Runs(t.Paragraphs()[0]), "x");

    RichText b;
    b.AppendText("bold", Bold());
    b.ReplaceRange(0, 4, "");
    b.ReplaceRange(0, 0, "still bold");
    EXPECT_EQ(Runs(b.Paragraphs()[0]), "[still bold]");
}

TEST(RichTextModel, ReplaceWithBreaksSplitsParagraphsKeepingTheirFormat) {
    RichText t = Sample();
    t.SetParagraphFormat(0, 0, [](ParaFormat& p) { p.alignment = Alignment::Centre; });
    // Replace "World\r\nLine" (crossing the break) by two lines.
    std::size_t end = t.ReplaceRange(6, 10, "Big\r\nNew\nWorld");
    EXPECT_EQ(t.PlainText(), "Hello Big\r\nNew\r\nWorld two");
    EXPECT_EQ(end, 6u + 13u);
    ASSERT_EQ(t.Paragraphs().size(), 3u);
    EXPECT_EQ(Runs(t.Paragraphs()[0]), "Hello |[Big]");
    EXPECT_EQ(Runs(t.Paragraphs()[1]), "[New]");
    EXPECT_EQ(Runs(t.Paragraphs()[2]), "[World]| two");
    for (const Paragraph& p : t.Paragraphs()) EXPECT_EQ(p.format.alignment, Alignment::Centre);
    // Control characters other than tab are not text; invalid UTF-8 becomes U+FFFD.
    t.ReplaceRange(0, t.Length(), std::string("a\tb\x01" "c\xff", 6));
    EXPECT_EQ(t.PlainText(), "a\tbc\xEF\xBF\xBD");
    EXPECT_EQ(t.Paragraphs().size(), 1u);
}

TEST(RichTextModel, TokenMergeReplacesEveryOccurrenceInTheTokensFormat) {
    RichText t;
    ParaFormat centred;
    centred.alignment = Alignment::Centre;
    t.SetParagraphFormat(0, 0, [&](ParaFormat& p) { p = centred; });
    t.AppendText("Dear ", CharFormat{});
    t.AppendText("%Name%", Bold());
    t.AppendText(", 50% off, now 20% more.\r\nSteps:\r\n%Steps%\r\nAgain %name% and %Self%", CharFormat{});
    int n = MergeTokens(t, {{"Name", "Ann Lee"}, {"Steps", "one\r\ntwo"}, {"Self", "x%Self%"}});
    // "% off, now 20%" is a token that resolves to nothing; the second spelling of Name takes
    // the first one's value; a value holding its own token is inserted once.
    EXPECT_EQ(n, 5);
    EXPECT_EQ(t.PlainText(), "Dear Ann Lee, 50 more.\r\nSteps:\r\none\r\ntwo\r\nAgain Ann Lee and x%Self%");
    ASSERT_EQ(t.Paragraphs().size(), 5u);
    EXPECT_EQ(Runs(t.Paragraphs()[0]), "Dear |[Ann Lee]|, 50 more.");
    EXPECT_EQ(Runs(t.Paragraphs()[4]), "Again Ann Lee and x%Self%");
    for (const Paragraph& p : t.Paragraphs()) EXPECT_EQ(p.format, centred);
}

TEST(RichTextModel, RangeFormatSplitsAndMergesRuns) {
    RichText t = Sample();
    RichText before = t;
    auto bold = [](CharFormat& f) { f.bold = true; };
    auto notBold = [](CharFormat& f) { f.bold = false; };
    auto isBold = [](const CharFormat& f) { return f.bold; };

    EXPECT_FALSE(t.AllOf(2, 6, isBold));
    t.SetRangeFormat(2, 6, bold);            // "llo Wo" bold: joins the bold run
    EXPECT_EQ(Runs(t.Paragraphs()[0]), "He|[llo World]");
    EXPECT_TRUE(t.AllOf(2, 6, isBold));
    t.SetRangeFormat(2, 4, notBold);
    EXPECT_EQ(t, before);                   // back to the same runs, so equal

    // Across the break: the first paragraph's end and the next paragraph's start.
    t.SetRangeFormat(8, 6, [](CharFormat& f) { f.underline = true; });
    EXPECT_TRUE(t.AllOf(8, 6, [](const CharFormat& f) { return f.underline; }));
    EXPECT_FALSE(t.FormatAt(14).underline);
    // An empty range: the format that typing there would get.
    EXPECT_TRUE(t.AllOf(11, 0, isBold));
    EXPECT_FALSE(t.AllOf(12, 0, isBold));
    EXPECT_TRUE(t.InsertionFormat(12).underline);

    // An empty paragraph's format is its end.
    RichText e;
    e.AppendText("a\r\n\r\nb", CharFormat{});
    e.SetRangeFormat(0, e.Length(), bold);
    EXPECT_TRUE(e.Paragraphs()[1].markFormat.bold);
    e.ReplaceRange(2, 0, "typed");
    EXPECT_EQ(Runs(e.Paragraphs()[1]), "[typed]");
}

TEST(RichTextModel, ParagraphFormatAppliesToTouchedParagraphs) {
    RichText t;
    t.AppendText("one\r\ntwo\r\nthree", CharFormat{});
    auto bullet = [](ParaFormat& p) { p.bullet = true; };
    t.SetParagraphFormat(1, 4, bullet);  // "ne\r\nt": the first two
    EXPECT_TRUE(t.ParagraphFormatAt(0).bullet);
    EXPECT_TRUE(t.ParagraphFormatAt(5).bullet);
    EXPECT_FALSE(t.ParagraphFormatAt(9).bullet);
    // A whole line with its break does not reach into the next paragraph.
    t.SetParagraphFormat(4, 4, [](ParaFormat& p) { p.alignment = Alignment::Right; });
    EXPECT_EQ(t.ParagraphFormatAt(4).alignment, Alignment::Right);
    EXPECT_EQ(t.ParagraphFormatAt(8).alignment, Alignment::Left);
    t.SetParagraphFormat(9, 0, [](ParaFormat& p) { p.leftIndent = 720; });
    EXPECT_EQ(t.Paragraphs()[2].format.leftIndent, 720);
}

TEST(RichTextModel, InsertRichTextKeepsBothFormats) {
    RichText target;
    target.AppendText("left right", CharFormat{});
    RichText inline_;
    inline_.AppendText("BOLD", Bold());
    RichText t = target;
    EXPECT_EQ(t.InsertRichText(5, inline_), 9u);
    EXPECT_EQ(Runs(t.Paragraphs()[0]), "left |[BOLD]|right");

    RichText two;
    two.SetParagraphFormat(0, 0, [](ParaFormat& p) { p.alignment = Alignment::Centre; });
    two.AppendText("Title", Bold());
    two.AppendParagraph(ParaFormat{});
    two.AppendText("body", CharFormat{});
    t = target;
    t.SetParagraphFormat(0, 0, [](ParaFormat& p) { p.alignment = Alignment::Right; });
    EXPECT_EQ(t.InsertRichText(5, two), 15u);
    EXPECT_EQ(t.PlainText(), "left Title\r\nbodyright");
    ASSERT_EQ(t.Paragraphs().size(), 2u);
    // The paragraph that ends in the inserted break is the inserted one; the last keeps the target's.
    EXPECT_EQ(t.Paragraphs()[0].format.alignment, Alignment::Centre);
    EXPECT_EQ(Runs(t.Paragraphs()[0]), "left |[Title]");
    EXPECT_EQ(t.Paragraphs()[1].format.alignment, Alignment::Right);

    t = target;
    t.InsertRichText(3, RichText());
    EXPECT_EQ(t, target);
}

TEST(RichTextModel, ConstructionNormalises) {
    CharFormat verdana = Font("Verdana", 18);
    RichText t(verdana);
    EXPECT_EQ(t.Paragraphs()[0].markFormat, verdana);
    t.AppendText("x", Bold());
    t.Clear();
    EXPECT_EQ(t.Paragraphs()[0].markFormat, verdana);

    std::vector<Paragraph> ps(1);
    ps[0].runs = {{"a", {}}, {"", Bold()}, {"b\r\nc", {}}, {"d", Bold()}};
    RichText n = RichText::FromParagraphs(ps);
    ASSERT_EQ(n.Paragraphs().size(), 2u);
    EXPECT_EQ(Runs(n.Paragraphs()[0]), "ab");
    EXPECT_EQ(Runs(n.Paragraphs()[1]), "c|[d]");
    EXPECT_TRUE(n.Paragraphs()[1].markFormat.bold);
    EXPECT_EQ(RichText::FromParagraphs({}), RichText());
    EXPECT_EQ(RichText::FromPlainText("a\nb").Paragraphs().size(), 2u);
}

// ---------------------------------------------------------------- reader

TEST(RtfReader, Text) {
    struct Case {
        const char* rtf;
        const char* text;
    };
    const Case cases[] = {
        {R"({\rtf1 Hello\par World})", "Hello\r\nWorld"},
        {R"({\rtf1 Hello\par})", "Hello"},                          // the last \par ends the text
        {R"({\rtf1 Hello\par\par})", "Hello\r\n"},
        {R"({\rtf1 })", ""},
        {"{\\rtf1 a\r\nb\\\r\nc}", "ab\r\nc"},                        // raw line ends are not text; \<newline> is \par
        {R"({\rtf1 \{\}\\ a\tab b\line c\~d\_e\-f})", "{}\\ a\tb\vc\xC2\xA0" "d\xE2\x80\x91" "ef"},
        {R"({\rtf1 \emdash\endash\bullet\lquote\rquote\ldblquote\rdblquote})", "—–•‘’“”"},
        {R"({\rtf1\ansi caf\'e9 \'80 \'93x\'94})", "café € “x”"},
        {R"({\rtf1\ansi\ansicpg1251 \'cf\'f0\'e8})", "При"},
        {R"({\rtf1{\fonttbl{\f0\fcharset0 Arial;}{\f1\fcharset204 Arial Cyr;}}\f1\'cf\f0\'cf})", "ПÏ"},
        {R"({\rtf1{\fonttbl{\f0\fcharset0 Arial;}{\f1\cpg1253 Greek;}}\f1\'e1})", "α"},
        {R"({\rtf1\uc1 \u8364?\u-10179?\u-8704? x})", "€😀 x"},
        {R"({\rtf1\uc2 \u1055\'cf\'cf{\uc0\u1088}\u1080 xyz})", "Приz"},  // \uc is kept per group
        {R"({\rtf1 \u1055{\'cf}\u-10179 z})", "ПÏ\xEF\xBF\xBD"},         // braces end the fallback; lone surrogate
        {R"({\rtf1 a{\*\unknown hidden {nested}}b{\*\fldinst x}{\xyz shown}})", "abshown"},
        {R"({\rtf1 a{\info{\title T}}{\stylesheet{\s0 Normal;}}{\header H\par}{\pict 0a0b}b})", "ab"},
        {R"({\rtf1 {\field{\*\fldinst HYPERLINK "x"}{\fldrslt {\ul link}}} end})", "link end"},
        {R"({\rtf1 {\pict\bin4 }}{{x}after})", "after"},               // binary data may hold braces
        {R"({\rtf1 {\pntext\f1\'B7\tab}{\listtext 1.\tab}item})", "item"},
        {R"({\rtf1 A1\cell B1\cell\row A2\cell B2\cell\row})", "A1\tB1\r\nA2\tB2"},
        {R"({\rtf1 vis{\v hidden}ible})", "visible"},
        {R"({\rtf1 {\upr{ansi}{\*\ud{unicode}}}})", "unicode"},
        {R"({\rtf1 a{\*\ud b}c{\fonttbl{\*\ud{\f0 Arial;}}}})", "abc"},
        {R"({\rtf1 one\par\sect two\page three})", "one\r\ntwo\r\nthree"},
        {R"({\rtf1 cut short {\b bold)", "cut short bold"},
        {R"({\rtf1 done}trailing junk})", "done"},
        {"\xEF\xBB\xBF  {\\rtf1 bom}", "bom"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rtf);
        EXPECT_EQ(ReadRtf(c.rtf).PlainText(), c.text);
    }
}

TEST(RtfReader, CharacterFormatting) {
    RichText t = ReadRtf(
        R"({\rtf1\ansi\deff1{\fonttbl{\f0\fswiss Arial;}{\f1\froman\fcharset0 Times New Roman;}{\f2\fnil\fcharset2 Symbol;}})"
        R"({\colortbl;\red255\green0\blue0;\red0\green0\blue0;})"
        R"(default {\b bold {\i both}} \f0\fs21 arial {\ul u\ulnone n\uldb d\ul0 x} {\strike s}{\cf1 red}{\cf2 black}\cf0 auto\plain plain})");
    const auto& runs = t.Paragraphs()[0].runs;
    auto find = [&](std::string_view text) -> const CharFormat& {
        for (const clx::Run& r : runs)
            if (r.text == text) return r.format;
        ADD_FAILURE() << "no run " << text;
        return runs[0].format;
    };
    EXPECT_EQ(find("default ").fontName, "Times New Roman");  // \deff, RTF's 12 pt
    EXPECT_EQ(find("default ").halfPoints, 24);
    EXPECT_TRUE(find("bold ").bold);
    EXPECT_FALSE(find("bold ").italic);
    EXPECT_TRUE(find("both").bold && find("both").italic);
    EXPECT_EQ(find("arial ").fontName, "Arial");
    EXPECT_EQ(find("arial ").Points(), 10.5);
    EXPECT_TRUE(find("u").underline);
    EXPECT_FALSE(find("n").underline);
    EXPECT_TRUE(find("d").underline);
    EXPECT_TRUE(find("s").strikeout);
    EXPECT_EQ(find("red").color, (Rgb{255, 0, 0}));
    EXPECT_EQ(find("black").color, (Rgb{0, 0, 0}));        // explicit black is not automatic
    EXPECT_EQ(find("auto").color, std::nullopt);
    EXPECT_EQ(find("plain").fontName, "Times New Roman");
    EXPECT_EQ(find("plain").halfPoints, 24);

    // Without a font table the default format's font is used.
    CharFormat verdana = Font("Verdana", 18);
    EXPECT_EQ(ReadRtf(R"({\rtf1 x})", verdana).Paragraphs()[0].runs[0].format.fontName, "Verdana");
}

TEST(RtfReader, ParagraphFormattingAndBullets) {
    RichText t = ReadRtf(
        R"({\rtf1{\fonttbl{\f0 Arial;}{\f1\fcharset2 Symbol;}})"
        R"({\*\listtable{\list{\listlevel\levelnfc23{\leveltext\'01\u-3913 ?;}}\listid7}{\list{\listlevel\levelnfc0}\listid8}})"
        R"({\listoverridetable{\listoverride\listid7\ls1}{\listoverride\listid8\ls2}})"
        R"(\pard\qc\li720\fi-360\sb120\sa240 centred\par)"
        R"(\qr right, kept without \\pard\par)"
        R"(\pard\qj justified\par)"
        R"(\pard{\pntext\f1\'B7\tab}{\*\pn\pnlvlblt\pnf1\pnindent0{\pntxtb\'B7}}wordpad bullet\par)"
        R"({\pntext\f1\'B7\tab}continues\par)"
        R"(\pard{\*\pn\pnlvlbody\pndec{\pntxta .}}numbered\par)"
        R"(\pard{\listtext\'b7\tab}\ls1 word bullet\par)"
        R"(\pard{\listtext 1.\tab}\ls2 word numbered\par)"
        R"(\pard\ls5 unknown list\par)"
        R"(\pard plain})");
    const auto& p = t.Paragraphs();
    ASSERT_EQ(p.size(), 10u);
    EXPECT_EQ(p[0].format, (ParaFormat{Alignment::Centre, false, 720, -360, 120, 240}));
    EXPECT_EQ(p[1].format.alignment, Alignment::Right);
    EXPECT_EQ(p[1].format.leftIndent, 720);
    EXPECT_EQ(p[2].format, (ParaFormat{Alignment::Justify}));
    std::vector<bool> bullets;
    for (const Paragraph& q : p) bullets.push_back(q.format.bullet);
    EXPECT_EQ(bullets, (std::vector<bool>{false, false, false, true, true, false, true, false, true, false}));
    EXPECT_EQ(p[3].Text(), "wordpad bullet");
    EXPECT_EQ(p[6].Text(), "word bullet");
}

TEST(RtfReader, PlainTextAndErrors) {
    EXPECT_EQ(ReadRtf("").PlainText(), "");
    RichText plain = ReadRtf("first line\r\nsecond \xE2\x82\xAC\n", Font("Verdana", 18));
    EXPECT_EQ(plain.PlainText(), "first line\r\nsecond €\r\n");  // a loaded text keeps its last break
    EXPECT_EQ(plain.Paragraphs()[0].runs[0].format.fontName, "Verdana");
    EXPECT_EQ(ReadRtf("caf\xE9 \x80").PlainText(), "café €");          // not UTF-8: Windows-1252
    EXPECT_EQ(ReadRtf("\xEF\xBB\xBFtext").PlainText(), "text");

    std::string error;
    EXPECT_FALSE(TryReadRtf(std::string("PK\x03\x04\0\0", 6), &error));
    EXPECT_NE(error.find("binary"), std::string::npos) << error;
    EXPECT_THROW(ReadRtf(std::string("\x89PNG\r\n\x1a\n\0", 9)), RtfError);
    EXPECT_FALSE(TryReadRtf(std::string(1'000'000, '\n'), &error));  // would be a million paragraphs
    EXPECT_NE(error.find("more than 1000000 lines"), std::string::npos) << error;

    std::string deep = "{\\rtf1 ";
    for (int i = 0; i < 998; ++i) deep += '{';
    deep += "deep";
    EXPECT_EQ(ReadRtf(deep).PlainText(), "deep");  // 999 levels: fine
    deep.insert(7, "{{");
    EXPECT_FALSE(TryReadRtf(deep, &error));
    EXPECT_NE(error.find("nested deeper than 1000"), std::string::npos) << error;
    // Nothing to read after the limit: the error, not a half document.
    EXPECT_THROW(ReadRtf(deep), RtfError);
}

TEST(RtfReader, WordPadFixture) {
    RichText t = ReadRtf(ReadFile(DataFile("wordpad.rtf")));
    const auto& p = t.Paragraphs();
    ASSERT_EQ(p.size(), 7u);
    EXPECT_EQ(t.PlainText("|"), "Title|Normal italic under strike red|Bullet one|Bullet two|Привет|café € € 😀 end|");
    EXPECT_EQ(p[0].format.alignment, Alignment::Centre);
    EXPECT_EQ(p[0].runs[0].format, Font("Calibri", 28, true));
    EXPECT_EQ(p[1].format.spaceAfter, 200);
    EXPECT_TRUE(p[1].runs[1].format.italic);
    EXPECT_EQ(p[1].runs.back().format.color, (Rgb{255, 0, 0}));
    EXPECT_TRUE(p[2].format.bullet && p[3].format.bullet);
    EXPECT_EQ(p[2].format.leftIndent, 720);
    EXPECT_EQ(p[2].format.firstIndent, -360);
    EXPECT_EQ(Runs(p[3]), "Bullet |[two]");
    EXPECT_EQ(p[4].format.alignment, Alignment::Right);
    EXPECT_EQ(p[4].runs[0].format.fontName, "Times New Roman");
    EXPECT_EQ(p[4].runs[0].format.charset, 204);
    EXPECT_EQ(p[5].format.alignment, Alignment::Justify);
    // The trailing empty paragraph keeps the format set before its \par.
    EXPECT_EQ(p[6].markFormat.color, (Rgb{0, 77, 187}));
    EXPECT_EQ(p[6].markFormat.halfPoints, 20);
}

TEST(RtfReader, WordFixture) {
    RichText t = ReadRtf(ReadFile(DataFile("word.rtf")));
    const auto& p = t.Paragraphs();
    EXPECT_EQ(t.PlainText("|"),
              "Quarterly Report|Due on 2 January 2024 – the client’s “best” offer\xC2\xA0now.|First point|"
              "Second point|Numbered item|日本日本Šč unicode|Name\tValue|After pictures.");
    ASSERT_EQ(p.size(), 8u);
    EXPECT_EQ(p[0].format.alignment, Alignment::Centre);
    EXPECT_EQ(p[0].runs[0].format, Font("Calibri", 32, true));
    EXPECT_TRUE(p[0].runs[1].format.italic);
    EXPECT_EQ(p[0].runs[1].format.color, (Rgb{192, 80, 77}));
    EXPECT_EQ(p[1].format.spaceBefore, 120);
    EXPECT_TRUE(p[2].format.bullet);
    EXPECT_TRUE(p[3].format.bullet);
    EXPECT_FALSE(p[4].format.bullet);
    EXPECT_EQ(p[5].runs[0].format.fontName, "MS Mincho");
    EXPECT_EQ(p[5].runs[0].format.charset, 128);
}

// Written by LibreOffice 7.4 from an HTML page (bold title, character formats, aligned
// paragraphs, a bulleted list, Unicode text).
TEST(RtfReader, LibreOfficeFixtures) {
    RichText t = ReadRtf(ReadFile(DataFile("libreoffice_formats.rtf")));
    const auto& p = t.Paragraphs();
    EXPECT_EQ(t.PlainText("|"),
              "Interval Report|Plain, bold, italic, underlined, struck and red.|"
              "Right: café € 5 – “quoted” Привет|First bullet|Second bold bullet|Justified %PlnName% token.");
    ASSERT_EQ(p.size(), 6u);
    EXPECT_EQ(p[0].format.alignment, Alignment::Centre);
    EXPECT_TRUE(p[0].runs[0].format.bold);
    EXPECT_EQ(p[0].runs[0].format.fontName, "Arial");
    EXPECT_EQ(p[0].runs[0].format.halfPoints, 20);
    std::vector<std::string> styled;
    for (const clx::Run& r : p[1].runs) {
        const CharFormat& f = r.format;
        if (f.bold) styled.push_back("b:" + r.text);
        if (f.italic) styled.push_back("i:" + r.text);
        if (f.underline) styled.push_back("u:" + r.text);
        if (f.strikeout) styled.push_back("s:" + r.text);
        if (f.color == Rgb{255, 0, 0}) styled.push_back("red:" + r.text);
    }
    EXPECT_EQ(styled, (std::vector<std::string>{"b:bold", "i:italic", "u:underlined", "s:struck", "red:red"}));
    EXPECT_EQ(p[2].format.alignment, Alignment::Right);
    EXPECT_TRUE(p[3].format.bullet && p[4].format.bullet);
    EXPECT_EQ(p[3].format.leftIndent, 709);
    EXPECT_EQ(p[5].format.alignment, Alignment::Justify);
    EXPECT_EQ(t.FindText("%PlnName%")->pos, 141u);

    RichText u = ReadRtf(ReadFile(DataFile("libreoffice_table_link.rtf")));
    EXPECT_EQ(u.PlainText("|"), "Line one\vline two in Courier 14, see the link.|A1\tB1|A2\tB2|Greek αβγ and CJK 日本.");
    const auto& runs = u.Paragraphs()[0].runs;
    ASSERT_GE(runs.size(), 4u);
    EXPECT_EQ(runs[1].format.fontName, "Courier New");
    EXPECT_EQ(runs[1].format.halfPoints, 28);
    EXPECT_TRUE(runs[3].format.underline);  // the link text, from the field result
}

// ---------------------------------------------------------------- writer

TEST(RtfWriter, WritesStandardRtf) {
    RichText t;
    CharFormat cyr = Font("Times New Roman", 24);
    cyr.charset = 204;
    t.AppendText("a{b}\\c\td é€ Ж 😀", CharFormat{});
    t.AppendText(" Ж.", cyr);
    t.SetParagraphFormat(0, 0, [](ParaFormat& p) {
        p.alignment = Alignment::Centre;
        p.bullet = true;
        p.leftIndent = 720;
        p.firstIndent = -360;
    });
    t.AppendParagraph(ParaFormat{});
    CharFormat red = Bold();
    red.color = Rgb{255, 0, 0};
    t.AppendText("red", red);
    std::string rtf = WriteRtf(t);
    EXPECT_TRUE(rtf.starts_with(R"({\rtf1\ansi\ansicpg1252\deff0)")) << rtf;
    EXPECT_NE(rtf.find(R"({\fonttbl{\f0\fnil\fcharset0 Arial;}{\f1\fnil\fcharset204 Times New Roman;}{\f2\fnil\fcharset2 Symbol;}})"), std::string::npos) << rtf;
    EXPECT_NE(rtf.find(R"({\colortbl ;\red255\green0\blue0;})"), std::string::npos) << rtf;
    EXPECT_NE(rtf.find(R"(\viewkind4\uc1)"), std::string::npos);
    EXPECT_NE(rtf.find(R"(\pard\qc\li720\fi-360{\pntext\f2\'B7\tab}{\*\pn\pnlvlblt\pnf2\pnindent0{\pntxtb\'B7}}\f0\fs20 a\{b\}\\c\tab d \'e9\'80 \u1046?)"
                       R"( \u-10179?\u-8704?\f1\fs24  \u1046?.\par)"), std::string::npos) << rtf;
    EXPECT_NE(rtf.find(R"(\pard\f0\fs20\cf1\b red\par)"), std::string::npos) << rtf;
    EXPECT_EQ(ReadRtf(rtf), t);
}

namespace {

// Random texts over a few fonts, sizes, colours, styles and paragraph formats, with text that
// needs escaping and characters inside and beyond Windows-1252.
RichText RandomText(std::mt19937& rng) {
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    const char* pieces[] = {"plain", " ", "{", "}", "\\", "\t", "\v", "é", "€", "Ж", "日本", "😀", "%Tok%", "\xC2\xA0", ";", "?"};
    const char* fonts[] = {"Arial", "Times New Roman", "Courier New", "MS Mincho", "Ārial Ünicode"};
    const int charsets[] = {0, 0, 204, 128, 2};
    RichText t(Font("Verdana", 18));
    int paragraphs = 1 + pick(4);
    for (int p = 0; p < paragraphs; ++p) {
        if (p > 0) {
            ParaFormat pf;
            pf.alignment = static_cast<Alignment>(pick(4));
            pf.bullet = pick(3) == 0;
            pf.leftIndent = pick(3) * 360;
            pf.firstIndent = -pick(2) * 360;
            pf.spaceBefore = pick(2) * 120;
            pf.spaceAfter = pick(2) * 60;
            t.AppendParagraph(pf);
        }
        int runs = pick(4);
        for (int r = 0; r < runs; ++r) {
            CharFormat f;
            int fi = pick(5);
            f.fontName = fonts[fi];
            f.charset = charsets[fi];
            f.halfPoints = 16 + pick(10);
            f.bold = pick(2);
            f.italic = pick(2);
            f.underline = pick(3) == 0;
            f.strikeout = pick(4) == 0;
            if (pick(3) == 0) f.color = Rgb{static_cast<uint8_t>(pick(256)), 0, static_cast<uint8_t>(pick(2) * 255)};
            std::string text;
            for (int k = 1 + pick(4); k > 0; --k) text += pieces[pick(16)];
            t.AppendText(text, f);
        }
    }
    return t;
}

}  // namespace

TEST(RtfWriter, RoundTripsThroughTheReader) {
    std::mt19937 rng(12345);
    for (int i = 0; i < 300; ++i) {
        RichText t = RandomText(rng);
        std::string rtf = WriteRtf(t);
        RichText back = ReadRtf(rtf);
        ASSERT_EQ(back, t) << rtf;
        ASSERT_EQ(WriteRtf(back), rtf);
    }
    for (const char* name : {"wordpad.rtf", "word.rtf", "libreoffice_formats.rtf", "libreoffice_table_link.rtf"}) {
        SCOPED_TRACE(name);
        RichText t = ReadRtf(ReadFile(DataFile(name)));
        EXPECT_EQ(ReadRtf(WriteRtf(t)), t);
    }
}

// Inputs that once broke the reader: each must read (or fail cleanly) and, when read, write
// back to a document that reads the same.
TEST(RtfReader, FuzzRegressions) {
    fs::path dir = fs::path(CLX_SOURCE_DIR) / "fuzz/regressions/rtf_fuzz";
    ASSERT_TRUE(fs::is_directory(dir)) << dir;
    int files = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
        if (!entry.is_regular_file() || entry.path().filename().string().starts_with(".")) continue;
        SCOPED_TRACE(entry.path().filename().string());
        ++files;
        std::string error;
        std::optional<RichText> t = TryReadRtf(ReadFile(entry.path()), &error);
        if (!t) {
            EXPECT_FALSE(error.empty());
            continue;
        }
        std::string rtf = WriteRtf(*t);
        EXPECT_EQ(ReadRtf(rtf), *t);
    }
    EXPECT_GT(files, 0);
}
