#include "platform/format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace clx;

namespace {

// A hand-built locale with separators that differ from every default.
Locale Dotted() {
    Locale l;
    l.shortDateFormat = "dd/MM/yyyy";
    l.dateSeparator = '.';
    l.timeSeparator = '.';
    l.decimalSeparator = ',';
    l.thousandSeparator = '.';
    l.timeAMString = "a.m.";
    l.timePMString = "p.m.";
    return l;
}

// Thursday 25 December 2003, 15:04:05.123
const TDateTime kXmas = EncodeDate(2003, 12, 25) + EncodeTime(15, 4, 5, 123);

}  // namespace

TEST(FormatDateTime, PatternLetters) {
    const Locale en = Locale::Default();
    struct Case { const char* pattern; const char* text; };
    const Case cases[] = {
        {"d/m/yyyy", "25/12/2003"},
        {"dd/mm/yy", "25/12/03"},
        {"yyyymmdd", "20031225"},
        {"ddd d mmm yyyy", "Thu 25 Dec 2003"},
        {"dddd d mmmm yyyy", "Thursday 25 December 2003"},
        {"DDD D MMM YYYY H:MM AM/PM", "Thu 25 Dec 2003 3:04 PM"},
        {"h:mm", "15:04"},                       // "m" after an hour is minutes
        {"hh mm", "15 04"},
        {"h'h'mm", "15h04"},                     // quoted text between does not break the link
        {"hxmm", "15x12"},                       // another letter does
        {"mm:ss", "12:05"},                      // no hour before: month
        {"hh:nn:ss.zzz", "15:04:05.123"},
        {"h\"hrs \"nn\"mins\"", "15hrs 04mins"},
        {"h:mm am/pm", "3:04 pm"},
        {"h:mm Am/Pm", "3:04 Pm"},
        {"h:mm a/p", "3:04 p"},
        {"hh:mm ampm", "03:04 PM"},
        {"ampm h", "PM 3"},
        {"ddddd", "12/25/2003"},
        {"dddddd", "Thursday, December 25, 2003"},
        {"t", "3:04 PM"},
        {"tt", "3:04:05 PM"},
        {"", "12/25/2003 3:04:05 PM"},
        {"\"dd\" 'mm' e", "dd mm e"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pattern);
        EXPECT_EQ(FormatDateTime(c.pattern, kXmas, en), c.text);
    }
}

TEST(FormatDateTime, TwelveHourClockAroundMidnightAndNoon) {
    const Locale en = Locale::Default();
    EXPECT_EQ(FormatDateTime("h:nn am/pm", EncodeTime(0, 30, 0), en), "12:30 am");
    EXPECT_EQ(FormatDateTime("h:nn am/pm", EncodeTime(12, 0, 0), en), "12:00 pm");
    EXPECT_EQ(FormatDateTime("h:nn am/pm", EncodeTime(11, 59, 0), en), "11:59 am");
    EXPECT_EQ(FormatDateTime("h:nn", EncodeTime(0, 30, 0), en), "0:30");
}

TEST(FormatDateTime, LocaleSeparatorsAndNames) {
    Locale l = Dotted();
    l.longMonthNames[11] = "Dezember";
    EXPECT_EQ(FormatDateTime("dd/mm/yyyy hh:nn", kXmas, l), "25.12.2003 15.04");
    EXPECT_EQ(FormatDateTime("d mmmm", kXmas, l), "25 Dezember");
    EXPECT_EQ(FormatDateTime("h:nn ampm", kXmas, l), "3.04 p.m.");
    // Without a time the general form is the short date alone.
    EXPECT_EQ(FormatDateTime("", EncodeDate(2003, 12, 25), l), "25.12.2003");
}

TEST(FormatDateTime, EdgesOfTheValue) {
    const Locale en = Locale::Default();
    // Before 1899-12-30 the fraction still counts forward from midnight.
    EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn", -1.25, en), "1899-12-29 06:00");
    EXPECT_EQ(FormatDateTime("yyyy", EncodeDate(5, 1, 1), en), "0005");
    // A time-only pattern needs no valid date; a date pattern does.
    EXPECT_EQ(FormatDateTime("hh:nn", 1e7 + 0.25, en), "06:00");
    EXPECT_THROW(FormatDateTime("yyyy", 1e7, en), ConvertError);
    EXPECT_THROW(FormatDateTime("hh", std::nan(""), en), ConvertError);
}

TEST(FormatDateTime, SelfReferringLocaleFormatsStop) {
    Locale l;
    l.shortDateFormat = "ddddd d";
    // Two levels of expansion, then the reference is left out.
    EXPECT_EQ(FormatDateTime("ddddd", kXmas, l), " 25 25");
}

TEST(FormatFloat, PatternsOfTheSheets) {
    const Locale en = Locale::Default();
    struct Case { const char* pattern; double value; const char* text; };
    const char* kShare = "########0.00;(########0.00);0.00";
    const Case cases[] = {
        {"####0.#0", 1.5, "1.50"},
        {"####0.#0", 12345.678, "12345.68"},
        {"####0.#0", 0, "0.00"},
        {"####0.#0", -2.004, "-2.00"},
        {"####0.#0", 0.125, "0.13"},
        {"###0.0000", 1.23456, "1.2346"},
        {"###0.0000", 1234567, "1234567.0000"},  // more digits than placeholders
        {"###0.0000", -0.00004, "0.0000"},       // rounds to zero: no minus sign
        {"###0.0000", -0.00005, "-0.0001"},
        {"##0.00%", 25, "25.00%"},               // the value is already a percentage
        {"##0.00%", 49.73, "49.73%"},
        {"##0.00%", 0, "0.00%"},
        {"##0.00%", 100, "100.00%"},
        {kShare, 497.27, "497.27"},
        {kShare, -497.27, "(497.27)"},
        {kShare, 0, "0.00"},
        {kShare, -0.001, "0.00"},
        {kShare, 1234567.891, "1234567.89"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.pattern << " " << c.value);
        EXPECT_EQ(FormatFloat(c.pattern, c.value, en), c.text);
    }
}

TEST(FormatFloat, PlaceholdersGroupingAndSections) {
    const Locale en = Locale::Default();
    struct Case { const char* pattern; double value; const char* text; };
    const Case cases[] = {
        {"#,##0.00", 1234567.891, "1,234,567.89"},
        {"#,##0", 999.5, "1,000"},
        {"#,##0", 999.4, "999"},
        {"#,##0.00", -1234.5, "-1,234.50"},
        {"0", 2.5, "3"},
        {"0", -2.5, "-3"},
        {"000", 7, "007"},
        {"#.##", 0.5, ".5"},
        {"#.##", 3, "3"},
        {"0.###", 1.5, "1.5"},
        {"0.0", 0.05, "0.1"},
        {".00", 12.5, "12.50"},
        {"0.00", 2.675, "2.67"},                 // the stored value lies below 2.675
        {"0.00", 299.99999999999994, "300.00"},
        {"$#,##0.00", -5, "-$5.00"},
        {"#,##0.00;;\"Zero\"", 0, "Zero"},
        {"#,##0.00;;\"Zero\"", -3, "-3.00"},     // empty negative section: the first one
        {"0 \"items;\"", 4, "4 items;"},         // a quoted ";" does not split
        {"", 1.25, "1.25"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.pattern << " " << c.value);
        EXPECT_EQ(FormatFloat(c.pattern, c.value, en), c.text);
    }
    EXPECT_EQ(FormatFloat("#,##0.00", 1234567.891, Dotted()), "1.234.567,89");
}

TEST(FloatToText, GeneralFormat) {
    const Locale en = Locale::Default();
    struct Case { double value; const char* text; };
    const Case cases[] = {
        {0, "0"},
        {1, "1"},
        {-1.5, "-1.5"},
        {0.1 + 0.2, "0.3"},
        {1.0 / 3, "0.333333333333333"},
        {2.0 / 3, "0.666666666666667"},
        {0.0001, "0.0001"},
        {1e-5, "1E-5"},
        {1.5e-7, "1.5E-7"},
        {123456789012345.0, "123456789012345"},
        {1e15, "1E15"},
        {1234567890123456.0, "1.23456789012346E15"},
        {1e20, "1E20"},
        {-2.5e100, "-2.5E100"},
        {std::numeric_limits<double>::quiet_NaN(), "NAN"},
        {-std::numeric_limits<double>::infinity(), "-INF"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(FloatToText(c.value, en), c.text);
    }
    EXPECT_EQ(FloatToText(-1.5, Dotted()), "-1,5");
    EXPECT_EQ(FloatToText(1.5e-7, Dotted()), "1,5E-7");
}

TEST(TextToFloat, ReadsOnlyWholeNumbers) {
    const Locale en = Locale::Default();
    EXPECT_EQ(TextToFloat(" 2 ", en), 2.0);
    EXPECT_EQ(TextToFloat("+3", en), 3.0);
    EXPECT_EQ(TextToFloat(".5", en), 0.5);
    EXPECT_EQ(TextToFloat("5.", en), 5.0);
    EXPECT_EQ(TextToFloat("-1.5e+3", en), -1500.0);
    EXPECT_EQ(TextToFloat("1,5", Dotted()), 1.5);
    for (double v : {1e20, 1.5e-7, -2.5e100, 0.0001, 123456789012345.0, -0.75})
        EXPECT_EQ(TextToFloat(FloatToText(v, Dotted()), Dotted()), v) << v;
    for (const char* bad : {"", " ", "abc", "1.5x", "1,5", "--1", "1e", "e5", ".", "-", "inf", "nan",
                            "1 000", "1e999", "0x10"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(TextToFloat(bad, en).has_value());
    }
    EXPECT_FALSE(TextToFloat("1.5", Dotted()).has_value());
}

TEST(ParseDate, OrderSeparatorsAndYears) {
    const Locale en = Locale::Default();
    const TDateTime xmas = EncodeDate(2003, 12, 25);
    struct Case { const char* text; const char* format; std::optional<TDateTime> date; };
    const Case cases[] = {
        {"25/12/2003", "dd/mm/yyyy", xmas},
        {"12/25/2003", "mm/dd/yyyy", xmas},
        {"2003/12/25", "yyyy/mm/dd", xmas},
        {"25.12.2003", "d.M.yyyy", xmas},
        {"25-12-2003", "dd/mm/yyyy", xmas},
        {" 25 12 03 ", "dd/mm/yyyy", xmas},
        {"5.1.2003", "dd/mm/yyyy", EncodeDate(2003, 1, 5)},
        {"25122003", "dd/mm/yyyy", xmas},
        {"122503", "mm/dd/yyyy", xmas},
        {"1/1/49", "dd/mm/yyyy", EncodeDate(2049, 1, 1)},
        {"1/1/50", "dd/mm/yyyy", EncodeDate(1950, 1, 1)},
        {"1/1/0150", "dd/mm/yyyy", EncodeDate(150, 1, 1)},
        {"25 Dec 2003", "dd/mm/yyyy", xmas},
        {"December 25, 2003", "mm/dd/yyyy", xmas},
        {"Thu 25/12/2003", "ddd dd/mm/yyyy", xmas},
        {"12/25/2003", "", xmas},                // the locale's short date order
        {"29/02/2024", "dd/mm/yyyy", EncodeDate(2024, 2, 29)},
        {"29/02/2023", "dd/mm/yyyy", std::nullopt},
        {"31/02/2003", "dd/mm/yyyy", std::nullopt},
        {"0/12/2003", "dd/mm/yyyy", std::nullopt},
        {"25/13/2003", "dd/mm/yyyy", std::nullopt},
        {"25/12/0000", "dd/mm/yyyy", std::nullopt},
        {"25/12/12345", "dd/mm/yyyy", std::nullopt},
        {"025/12/2003", "dd/mm/yyyy", std::nullopt},
        {"25/12", "dd/mm/yyyy", std::nullopt},
        {"25/12/2003/1", "dd/mm/yyyy", std::nullopt},
        {"25x12x2003", "dd/mm/yyyy", std::nullopt},
        {"25/Foo/2003", "dd/mm/yyyy", std::nullopt},
        {"", "dd/mm/yyyy", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.text << " as " << c.format);
        EXPECT_EQ(ParseDate(c.text, c.format, en), c.date);
    }
    Locale l = Dotted();
    l.dateSeparator = '|';
    EXPECT_EQ(ParseDate("25|12|2003", "", l), xmas);
}

TEST(ParseIsoDate, ExactFormOnly) {
    EXPECT_EQ(ParseIsoDate("2003-12-25"), EncodeDate(2003, 12, 25));
    for (const char* bad : {"2003-2-25", "2003-02-30", "20031225", "2003/12/25", "2003-12-25 ", "abcd-ef-gh"})
        EXPECT_FALSE(ParseIsoDate(bad).has_value()) << bad;
}

TEST(ParseTime, TwentyFourAndTwelveHour) {
    const Locale en = Locale::Default();
    struct Case { const char* text; std::optional<TDateTime> time; };
    const Case cases[] = {
        {"15:04", EncodeTime(15, 4, 0)},
        {"9", EncodeTime(9, 0, 0)},
        {"9:5", EncodeTime(9, 5, 0)},
        {"23:59:59", EncodeTime(23, 59, 59)},
        {"3:04 PM", EncodeTime(15, 4, 0)},
        {"3:04pm", EncodeTime(15, 4, 0)},
        {"PM 3:04", EncodeTime(15, 4, 0)},
        {"12:00 AM", 0.0},
        {"12:30 pm", EncodeTime(12, 30, 0)},
        {"24:00", std::nullopt},
        {"13:00 PM", std::nullopt},
        {"10:60", std::nullopt},
        {"10:00:00:00", std::nullopt},
        {"10:", std::nullopt},
        {"123", std::nullopt},
        {"", std::nullopt},
        {"PM", std::nullopt},
        {"ten", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ParseTime(c.text, en), c.time);
    }
    const Locale l = Dotted();
    EXPECT_EQ(ParseTime("15.04", l), EncodeTime(15, 4, 0));
    EXPECT_EQ(ParseTime("3.04 P.M.", l), EncodeTime(15, 4, 0));
}
