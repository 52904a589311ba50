#include "output/delimited.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "files/fileio.h"
#include "sheets/interval_sheet.h"
#include "sheets/math_sheet.h"

namespace clx {
namespace {

namespace fs = std::filesystem;

TDateTime D(int y, int m, int d) { return EncodeDate(y, m, d); }

Locale German() {
    Locale l;
    l.language = "de";
    l.country = "DE";
    l.decimalSeparator = ',';
    l.thousandSeparator = '.';
    l.listSeparator = ';';
    l.currencySymbol = "EUR";
    l.currencyFormat = 3;
    l.negCurrencyFormat = 8;
    return l;
}

// One field of every kind the writer tells apart.
class Mixed : public ::testing::Test {
protected:
    Mixed() {
        t.AddField("S", FieldType::String, 40);
        t.AddField("N", FieldType::Integer);
        t.AddField("W", FieldType::SmallInt);
        t.AddField("B", FieldType::Boolean);
        t.AddField("F", FieldType::Float);
        t.AddField("C", FieldType::Currency);
        t.AddField("D", FieldType::Date);
        t.AddField("DT", FieldType::DateTime);
        t.AddField("T", FieldType::Time);
        t.AddField("P", FieldType::BCD, 4);
        t.AddField("M", FieldType::Memo);
        t.AddField("X", FieldType::Blob);
    }
    std::string Text(const std::string& field, const Value& v, const Locale& loc = Locale::Default()) {
        const FieldDef& def = t.Fields()[static_cast<size_t>(t.FieldIndex(field))];
        return DelimitedValueText(def, v, "dd/mm/yyyy", loc);
    }
    MemTable t{"taMixed"};
};

TEST_F(Mixed, ValueTextByFieldType) {
    struct Case {
        const char* field;
        Value value;
        std::string text;
    };
    const std::vector<Case> cases = {
        {"S", std::string("plain text"), "plain text"},
        {"S", Value{}, ""},
        {"N", int64_t{-42}, "-42"},
        {"W", int64_t{7}, "7"},
        {"B", true, "True"},
        {"B", false, "False"},
        {"B", Value{}, ""},
        {"F", 1.5, "1.5"},
        {"F", 2.0, "2"},
        {"F", 1.0 / 3.0, "0.333333333"},
        {"F", Value{}, ""},
        {"C", 1234.5, "$1,234.50"},
        {"C", -1234.5, "($1,234.50)"},
        {"D", D(2003, 12, 25), "25/12/2003"},
        // The date format passed decides: no time is written.
        {"DT", D(2003, 12, 25) + 0.75, "25/12/2003"},
        {"DT", Value{}, ""},
        {"T", 0.5 + 1.0 / 1440, "12:01:00"},
        // Packed decimals keep their exact digits, trailing zeros dropped.
        {"P", std::string("1.5000"), "1.5"},
        {"P", std::string("-12.0000"), "-12"},
        {"P", std::string("0.0000"), "0"},
        {"M", std::string("line one\r\nline two"), "line one\r\nline two"},
        {"X", std::string("\x01\x02"), ""},
    };
    for (const Case& c : cases) EXPECT_EQ(Text(c.field, c.value), c.text) << c.field;
}

TEST_F(Mixed, NumbersFollowTheLocale) {
    const Locale de = German();
    EXPECT_EQ(Text("F", 1.5, de), "1,5");
    EXPECT_EQ(Text("P", std::string("2.2500"), de), "2,25");
    EXPECT_EQ(Text("C", 1234.5, de), "1.234,50EUR");
    EXPECT_EQ(Text("C", -1234.5, de), "-1.234,50EUR");
}

TEST(DelimitedField, QuotesOnlyWhatWouldBreakTheLine) {
    struct Case {
        std::string text, delimiter, written;
    };
    const std::vector<Case> cases = {
        {"plain", ",", "plain"},
        {"", ",", ""},
        {"Smith, John", ",", "\"Smith, John\""},
        {"Smith, John", ";", "Smith, John"},
        {"a;b", ";", "\"a;b\""},
        {"say \"no\"", ",", "\"say \"\"no\"\"\""},
        {"two\r\nlines", ",", "\"two\r\nlines\""},
        {"line\nfeed", "\t", "\"line\nfeed\""},
        {"tab\there", "\t", "\"tab\there\""},
        {"tab\there", ",", "tab\there"},
    };
    for (const Case& c : cases) EXPECT_EQ(DelimitedField(c.text, c.delimiter), c.written) << c.text;
}

TEST(DelimiterText, ChoicesOfTheOutputSettings) {
    const Locale de = German();
    EXPECT_EQ(DelimiterText(CsvDelimiter::ControlPanel, de), ";");
    EXPECT_EQ(DelimiterText(CsvDelimiter::ControlPanel, Locale::Default()), ",");
    EXPECT_EQ(DelimiterText(1, de), ",");
    EXPECT_EQ(DelimiterText(2, de), ";");
    EXPECT_EQ(DelimiterText(3, de), "\t");
    EXPECT_THROW(DelimiterText(4, de), std::invalid_argument);
    EXPECT_THROW(DelimiterText(-1, de), std::invalid_argument);
}

TEST(SplitFieldList, DropsEmptyNames) {
    EXPECT_EQ(SplitFieldList("A;B;;C;"), (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_TRUE(SplitFieldList("").empty());
}

// The Interval sheet's table with its calculations, as the export sees it.
class IntervalExport : public ::testing::Test {
protected:
    IntervalExport() {
        DefineIntervalFields(taOne);
        ctx.dateEntryFormat = "dd/mm/yyyy";
        sheet = std::make_unique<IntervalSheet>(taOne, ctx);
    }
    void Add(TDateTime from, TDateTime to, bool first, bool last, const std::string& description, int order) {
        taOne.Append();
        taOne.FieldByName("DFrom").SetDateTime(from);
        taOne.FieldByName("DTo").SetDateTime(to);
        taOne.FieldByName("IncludeFirst").SetBoolean(first);
        taOne.FieldByName("IncludeLast").SetBoolean(last);
        taOne.FieldByName("Description").SetString(description);
        taOne.FieldByName("Order").SetInteger(order);
        taOne.Post();
    }
    std::string Csv(bool names, const std::string& delimiter = ",", const Locale& loc = Locale::Default()) {
        return DelimitedText(taOne, IntervalCsvFields(), names, delimiter, "dd/mm/yyyy", loc);
    }

    MemTable taOne{"taOne"};
    SheetContext ctx;
    std::unique_ptr<IntervalSheet> sheet;
};

TEST_F(IntervalExport, HeaderRowsAndLineEnds) {
    Add(D(2001, 1, 1), D(2001, 1, 31), true, true, "January", 1);
    Add(D(2003, 12, 25), D(2003, 12, 25), false, true, "Christmas", 2);
    const std::string csv = Csv(true);
    EXPECT_EQ(csv,
              "DFrom,IncludeFirst,DTo,IncludeLast,Days,Years,Description,CommentsPlus\r\n"
              "01/01/2001,True,31/01/2001,True,31,0.0821,January,From Monday 1 January 2001 until Wednesday 31 "
              "January 2001 is 31 days or 4.4 weeks or 0.082 years inclusive using normal method.\r\n"
              "25/12/2003,False,25/12/2003,True,1,0.0027,Christmas,From Thursday 25 December 2003 until Thursday 25 "
              "December 2003 is 1 day or 0.1 weeks or 0.002 years inclusive using normal method.\r\n");
    // Without names the rows alone.
    EXPECT_EQ(Csv(false), csv.substr(csv.find("\r\n") + 2));
}

TEST_F(IntervalExport, EmptyTableWritesOnlyTheNames) {
    EXPECT_EQ(Csv(true), "DFrom,IncludeFirst,DTo,IncludeLast,Days,Years,Description,CommentsPlus\r\n");
    EXPECT_EQ(Csv(false), "");
}

TEST_F(IntervalExport, ValuesHoldingTheDelimiterStayOneValue) {
    Add(D(2001, 1, 1), D(2001, 1, 31), true, true, "Smith, \"the elder\"", 1);
    const std::string csv = Csv(false);
    EXPECT_NE(csv.find(",\"Smith, \"\"the elder\"\"\",From Monday"), std::string::npos) << csv;
    // With the semicolon its double quotes alone make it quoted.
    const std::string semi = Csv(false, ";");
    EXPECT_NE(semi.find(";\"Smith, \"\"the elder\"\"\";From Monday"), std::string::npos) << semi;
}

TEST_F(IntervalExport, DecimalCommaIsQuotedWhenCommaDelimits) {
    Add(D(2001, 1, 1), D(2001, 1, 31), true, true, "x", 1);
    const std::string csv = Csv(false, ",", German());
    EXPECT_NE(csv.find(",31,\"0,0821\",x,"), std::string::npos) << csv;
    EXPECT_NE(Csv(false, ";", German()).find(";31;0,0821;x;"), std::string::npos);
}

TEST_F(IntervalExport, PostsAPendingEditAndKeepsTheCurrentRow) {
    Add(D(2001, 1, 1), D(2001, 1, 31), true, true, "first", 1);
    Add(D(2001, 2, 1), D(2001, 2, 28), true, true, "second", 2);
    taOne.First();
    const uint64_t current = taOne.RecordId();
    taOne.Edit();
    taOne.FieldByName("Description").SetString("edited");
    const std::string csv = Csv(false);
    EXPECT_NE(csv.find(",edited,"), std::string::npos);
    EXPECT_EQ(taOne.State(), TableState::Browse);
    EXPECT_EQ(taOne.RecordId(), current);
}

TEST(MathExport, NamesTheTableLacksAreLeftOut) {
    MemTable taMth{"taMth"};
    DefineMathFields(taMth);
    SheetContext ctx;
    MathSheet sheet(taMth, ctx);
    taMth.Append();
    taMth.FieldByName("DFrom").SetDateTime(D(2001, 1, 31));
    taMth.FieldByName("Months").SetInteger(1);
    taMth.FieldByName("Description").SetString("one month");
    taMth.Post();
    EXPECT_EQ(DelimitedText(taMth, MathCsvFields(), true, ",", "dd/mm/yyyy", Locale::Default()),
              "DFrom,Days,Months,Years,DTo,Description\r\n31/01/2001,0,1,0,28/02/2001,one month\r\n");
}

class WriteDelimitedFile : public ::testing::Test {
protected:
    WriteDelimitedFile() {
        dir = fs::temp_directory_path() / ("clx_delimited_" + std::to_string(::getpid()));
        fs::create_directories(dir);
        t.AddField("Name", FieldType::String, 20);
        t.Append();
        t.FieldByName("Name").SetString("Ann");
        t.Post();
    }
    ~WriteDelimitedFile() override { fs::remove_all(dir); }
    static std::string Read(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    fs::path dir;
    MemTable t{"t"};
};

TEST_F(WriteDelimitedFile, ReplacesTheFileAtOnce) {
    const fs::path file = dir / "out.csv";
    { std::ofstream(file) << "an older and much longer content\n"; }
    WriteDelimited(t, file, "Name;Missing", true, ",", "dd/mm/yyyy", Locale::Default());
    EXPECT_EQ(Read(file), "Name\r\nAnn\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

TEST_F(WriteDelimitedFile, AFailedWriteIsReported) {
    EXPECT_THROW(WriteDelimited(t, dir / "no such folder" / "out.csv", "Name", true, ",", "dd/mm/yyyy",
                                Locale::Default()),
                 FileError);
}

}  // namespace
}  // namespace clx
