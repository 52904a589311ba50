#include "sheets/money.h"

#include "platform/format.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace clx {
namespace {

TEST(RoundDecimals, HalvesAwayFromZeroOnDecimalDigits) {
    struct Case { double x; int n; double want; };
    const Case cases[] = {
        {0.125, 2, 0.13},
        {-0.125, 2, -0.13},
        {2.675, 2, 2.67},                 // held just below 2.675
        {1.005, 2, 1.0},                  // held just below 1.005
        {299.99999999999994, 2, 300.0},
        {-299.99999999999994, 2, -300.0},
        {2.5, 0, 3.0},
        {-2.5, 0, -3.0},
        {0.5, 0, 1.0},
        {0.4999, 0, 0.0},
        {9.995, 2, 9.99},                 // held below
        {99.5, 0, 100.0},
        {0.0049, 2, 0.0},
        {0.005, 2, 0.01},
        {0.0004, 2, 0.0},
        {1234.5678, 3, 1234.568},
        {1e20, 2, 1e20},
        {123.456, 16, 123.456},
        {0.1 + 0.2, 2, 0.3},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RoundDecimals(c.x, c.n), c.want) << c.x << " to " << c.n;
    }
}

TEST(RoundDecimals, LeavesWhatItCannotRound) {
    EXPECT_EQ(RoundDecimals(1.23456, 17), 1.23456);
    EXPECT_EQ(RoundDecimals(0.0, 2), 0.0);
    EXPECT_TRUE(std::isnan(RoundDecimals(std::nan(""), 2)));
    EXPECT_EQ(RoundDecimals(INFINITY, 2), INFINITY);
    EXPECT_THROW(RoundDecimals(1.5, -1), std::invalid_argument);
    // A value that rounds to zero keeps its sign, but compares equal to 0.
    EXPECT_EQ(RoundDecimals(-0.001, 2), 0.0);
    EXPECT_TRUE(std::signbit(RoundDecimals(-0.001, 2)));
}

TEST(RoundDecimals, ResultIsTheNearestDouble) {
    // Adding 0.01 in binary would give 0.30000000000000004 for 0.295 -> 0.30.
    for (int cents = 0; cents < 100000; cents += 7) {
        const double exact = cents / 100.0;
        EXPECT_EQ(RoundDecimals(exact + 0.004, 2), exact) << cents;
        EXPECT_EQ(RoundDecimals(exact - 0.004, 2), cents == 0 ? -0.0 : exact) << cents;
    }
}

MoneyFormat Dollars(int neg = 1) {
    MoneyFormat f;
    f.symbol = "$";
    f.digits = 2;
    f.positiveFormat = 0;
    f.negativeFormat = neg;
    f.decimalSeparator = '.';
    f.thousandSeparator = ',';
    return f;
}

TEST(MoneyText, NegativeFormats) {
    struct Case { int neg; const char* want; };
    const Case cases[] = {
        {0, "($1,234.50)"}, {1, "-$1,234.50"}, {2, "$-1,234.50"}, {3, "$1,234.50-"},
        {4, "(1,234.50$)"}, {5, "-1,234.50$"}, {6, "1,234.50-$"}, {7, "1,234.50$-"},
        {8, "-1,234.50$"}, {9, "-$1,234.50"}, {10, "1,234.50$-"}, {11, "$1,234.50-"},
        {12, "$-1,234.50"}, {13, "1,234.50-$"}, {14, "($1,234.50)"}, {15, "(1,234.50$)"},
        {16, "($1,234.50)"}, {-3, "($1,234.50)"},
    };
    for (const Case& c : cases) {
        const std::string text = MoneyText(-1234.5, Dollars(c.neg));
        EXPECT_EQ(text, c.want) << "pattern " << c.neg;
        // Exactly one minus sign, or parentheses and none.
        const auto minus = std::count(text.begin(), text.end(), '-');
        const bool parens = text.front() == '(' && text.back() == ')';
        EXPECT_TRUE((minus == 1 && !parens) || (minus == 0 && parens)) << text;
    }
}

TEST(MoneyText, PositiveFormatsAndGrouping) {
    struct Case { double v; int pos; const char* want; };
    const Case cases[] = {
        {1234.5, 0, "$1,234.50"}, {1234.5, 1, "1,234.50$"}, {1234.5, 2, "$1,234.50"},
        {1234.5, 3, "1,234.50$"}, {1234.5, 7, "$1,234.50"}, {0, 0, "$0.00"},
        {999.995, 0, "$1,000.00"}, {123, 0, "$123.00"}, {1234567.891, 0, "$1,234,567.89"},
        {100000, 0, "$100,000.00"}, {0.5, 0, "$0.50"},
    };
    for (const Case& c : cases) {
        MoneyFormat f = Dollars();
        f.positiveFormat = c.pos;
        EXPECT_EQ(MoneyText(c.v, f), c.want) << c.v << " pattern " << c.pos;
    }
}

TEST(MoneyText, NegativeThatRoundsToZeroIsPositive) {
    EXPECT_EQ(MoneyText(-0.001, Dollars(0)), "$0.00");
    EXPECT_EQ(MoneyText(-0.004, Dollars(1)), "$0.00");
    EXPECT_EQ(MoneyText(-0.005, Dollars(1)), "-$0.01");
}

TEST(MoneyText, LocalesWithOtherSeparatorsAndBlanks) {
    Locale de;
    de.currencySymbol = "\xE2\x82\xAC";   // euro sign
    de.currencyDigits = 2;
    de.currencyFormat = 3;                  // "1 €"
    de.negCurrencyFormat = 8;               // "-1 €"
    de.decimalSeparator = ',';
    de.thousandSeparator = '.';
    EXPECT_EQ(MoneyText(1234567.5, de), "1.234.567,50\xE2\x82\xAC");
    EXPECT_EQ(MoneyText(-1234.5, de), "-1.234,50\xE2\x82\xAC");

    Locale fr = de;
    fr.thousandSeparator = ' ';             // blanks from the separator are removed too
    EXPECT_EQ(MoneyText(1234567.5, fr), "1234567,50\xE2\x82\xAC");

    Locale ch;
    ch.currencySymbol = "SFr. ";            // a blank inside the symbol goes
    ch.currencyFormat = 2;
    ch.negCurrencyFormat = 2;
    ch.thousandSeparator = '\'';
    EXPECT_EQ(MoneyText(-1234.5, ch), "SFr.-1'234.50");

    Locale jp;
    jp.currencySymbol = "\xC2\xA5";         // yen sign, no decimals
    jp.currencyDigits = 0;
    EXPECT_EQ(RoundMoney(2.5, jp), 3.0);
    EXPECT_EQ(MoneyText(2.5, jp), "\xC2\xA5" "3");
    EXPECT_EQ(MoneyText(-1234.4, jp), "(\xC2\xA5" "1,234)");

    Locale bhd;
    bhd.currencyDigits = 3;
    EXPECT_EQ(MoneyText(1.0625, bhd), "$1.063");
    EXPECT_EQ(MoneyText(1.0005, bhd), "$1.000");   // held just below
}

TEST(MoneyFormat, FromLocale) {
    Locale loc;
    loc.currencySymbol = "ABCDEFG";
    EXPECT_EQ(MoneyFormat::FromLocale(loc).symbol, "ABCDE");
    loc.currencySymbol = "\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC";
    EXPECT_EQ(MoneyFormat::FromLocale(loc).symbol.size(), 15u);   // five euro signs
    loc.currencyDigits = -1;
    EXPECT_THROW(MoneyFormat::FromLocale(loc), std::invalid_argument);
    EXPECT_THROW(MoneyText(std::nan(""), Dollars()), std::invalid_argument);
}

TEST(CurrencyPicture, ShowsWhatMoneyTextWrites) {
    for (int pos = 0; pos < 4; ++pos)
        for (int neg = 0; neg < 16; ++neg)
            for (int digits : {0, 2, 3}) {
                Locale loc;
                loc.currencySymbol = "kr";
                loc.currencyFormat = pos;
                loc.negCurrencyFormat = neg;
                loc.currencyDigits = digits;
                loc.decimalSeparator = ',';
                loc.thousandSeparator = '.';
                const std::string picture = CurrencyPicture(loc);
                for (double v : {1234567.125, -1234.5, 0.0, -0.0004, 7.0})
                    EXPECT_EQ(FormatFloat(picture, v, loc), MoneyText(v, loc))
                        << picture << " " << v;
            }
}

}  // namespace
}  // namespace clx
