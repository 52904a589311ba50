#include "platform/locale.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/format.h"

using namespace clx;

namespace {

const TDateTime kXmas = EncodeDate(2003, 12, 25);

// The locale's short date reads back what it writes, in the locale's own order.
void ExpectShortDateOrder(const Locale& l, const char* typed) {
    EXPECT_EQ(ParseDate(typed, l.shortDateFormat, l), kXmas) << l.shortDateFormat;
    EXPECT_EQ(ParseDate(FormatDateTime("ddddd", kXmas, l), l.shortDateFormat, l), kXmas);
}

}  // namespace

TEST(LocaleFromName, AmericanEnglish) {
    const Locale l = Locale::FromName("en_US");
    EXPECT_EQ(l.language, "en");
    EXPECT_EQ(l.country, "US");
    EXPECT_EQ(l.longMonthNames[0], "January");
    EXPECT_EQ(l.shortMonthNames[11], "Dec");
    EXPECT_EQ(l.longDayNames[0], "Sunday");
    EXPECT_EQ(l.decimalSeparator, '.');
    EXPECT_EQ(l.thousandSeparator, ',');
    EXPECT_EQ(l.listSeparator, ',');
    EXPECT_EQ(l.dateSeparator, '/');
    EXPECT_EQ(l.currencySymbol, "$");
    EXPECT_EQ(l.currencyDigits, 2);
    EXPECT_EQ(l.currencyFormat, 0);      // $1
    EXPECT_EQ(l.negCurrencyFormat, 1);   // -$1
    EXPECT_EQ(FormatDateTime("t", EncodeTime(15, 4, 0), l), "3:04 PM");
    EXPECT_EQ(FormatDateTime("dddddd", kXmas, l), "Thursday, December 25, 2003");
    ExpectShortDateOrder(l, "12/25/2003");
}

TEST(LocaleFromName, BritishEnglish) {
    const Locale l = Locale::FromName("en_GB");
    EXPECT_EQ(l.country, "GB");
    EXPECT_EQ(l.countryName, "United Kingdom");
    EXPECT_EQ(l.longMonthNames[11], "December");
    EXPECT_EQ(l.decimalSeparator, '.');
    EXPECT_EQ(l.currencySymbol, "£");
    EXPECT_EQ(FormatDateTime("t", EncodeTime(15, 4, 0), l), "15:04");
    ExpectShortDateOrder(l, "25/12/2003");
}

TEST(LocaleFromName, German) {
    const Locale l = Locale::FromName("de_DE");
    EXPECT_EQ(l.language, "de");
    EXPECT_EQ(l.languageName, "German");
    EXPECT_EQ(l.longMonthNames[0], "Januar");
    EXPECT_EQ(l.longMonthNames[2], "März");
    EXPECT_EQ(l.longDayNames[4], "Donnerstag");
    EXPECT_EQ(l.decimalSeparator, ',');
    EXPECT_EQ(l.thousandSeparator, '.');
    EXPECT_EQ(l.listSeparator, ';');
    EXPECT_EQ(l.dateSeparator, '.');
    EXPECT_EQ(l.currencySymbol, "€");
    EXPECT_EQ(l.currencyFormat, 3);      // 1 €
    EXPECT_EQ(l.negCurrencyFormat, 8);   // -1 €
    EXPECT_EQ(FormatDateTime("dddddd", kXmas, l), "Donnerstag, 25. Dezember 2003");
    EXPECT_EQ(FormatFloat("#,##0.00", 1234.5, l), "1.234,50");
    ExpectShortDateOrder(l, "25.12.2003");
}

TEST(LocaleFromName, French) {
    const Locale l = Locale::FromName("fr_FR");
    EXPECT_EQ(l.longMonthNames[0], "janvier");
    EXPECT_EQ(l.longMonthNames[11], "décembre");
    EXPECT_EQ(l.decimalSeparator, ',');
    EXPECT_EQ(l.thousandSeparator, ' ');  // the no-break space, as a plain blank
    EXPECT_EQ(l.currencySymbol, "€");
    ExpectShortDateOrder(l, "25/12/2003");
}

TEST(LocaleFromName, ExplicitNegativeCurrencyPattern) {
    // Dutch money puts the sign between symbol and number: "€ -1,00".
    const Locale l = Locale::FromName("nl_NL");
    EXPECT_EQ(l.currencyFormat, 2);
    EXPECT_EQ(l.negCurrencyFormat, 12);
}

TEST(LocaleFromName, SpellingsOfTheName) {
    const Locale plain = Locale::FromName("de_DE");
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8@euro", "de-DE"}) {
        const Locale l = Locale::FromName(name);
        EXPECT_EQ(l.country, "DE") << name;
        EXPECT_EQ(l.shortDateFormat, plain.shortDateFormat) << name;
        EXPECT_EQ(l.longMonthNames, plain.longMonthNames) << name;
    }
}

TEST(LocaleFromName, CAndUnknownNamesGiveTheDefaults) {
    const Locale d = Locale::Default();
    for (const char* name : {"", "C", "POSIX", "C.UTF-8", "xx_YY", "not a locale"}) {
        const Locale l = Locale::FromName(name);
        EXPECT_EQ(l.shortDateFormat, d.shortDateFormat) << name;
        EXPECT_EQ(l.longMonthNames, d.longMonthNames) << name;
        EXPECT_EQ(l.decimalSeparator, d.decimalSeparator) << name;
    }
}

TEST(LocaleFromPosix, CLibraryData) {
    const auto l = Locale::FromPosix("C");
    ASSERT_TRUE(l.has_value());
    EXPECT_EQ(l->shortDateFormat, "mm/dd/yy");
    EXPECT_EQ(l->timeFormat, "hh:nn:ss");
    EXPECT_EQ(l->shortTimeFormat, "hh:nn");
    EXPECT_EQ(l->longMonthNames[8], "September");
    EXPECT_EQ(l->shortDayNames[6], "Sat");
    EXPECT_EQ(l->decimalSeparator, '.');
    EXPECT_EQ(FormatDateTime(l->shortDateFormat, kXmas, *l), "12/25/03");
    EXPECT_FALSE(Locale::FromPosix("no_SUCH.locale").has_value());
}

TEST(LocaleFromProcess, FollowsTheEnvironment) {
    const char* saved = std::getenv("LC_ALL");
    const std::string old = saved ? saved : "";
    setenv("LC_ALL", "fr_FR.UTF-8", 1);
    EXPECT_EQ(Locale::FromProcess().language, "fr");
    setenv("LC_ALL", "C", 1);
    EXPECT_EQ(Locale::FromProcess().shortDateFormat, Locale::Default().shortDateFormat);
    if (saved) setenv("LC_ALL", old.c_str(), 1);
    else unsetenv("LC_ALL");
}
