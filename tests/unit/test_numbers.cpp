// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/Numbers.h"

#include "support/ParamNames.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

using namespace gpibconfig;

namespace {

struct ReadCase {
    const char16_t* text;
    double expected;
};

class ReadNumber : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ReadNumber, ReadsTheLeadingNumber)
{
    const ReadCase& c = GetParam();
    EXPECT_DOUBLE_EQ(readNumber(c.text), c.expected) << std::string(c.text, c.text + std::char_traits<char16_t>::length(c.text)).c_str();
}

INSTANTIATE_TEST_SUITE_P(
    Rules, ReadNumber,
    ::testing::Values(
        // plain numbers, signs, fractions, exponents
        ReadCase{u"5", 5}, ReadCase{u"-12", -12}, ReadCase{u"+7", 7}, ReadCase{u"3.25", 3.25},
        ReadCase{u".5", 0.5}, ReadCase{u"-.5", -0.5}, ReadCase{u"5.", 5}, ReadCase{u"1E3", 1000},
        ReadCase{u"1e3", 1000}, ReadCase{u"2.5E-1", 0.25}, ReadCase{u"1E+2", 100},
        ReadCase{u"1E", 1}, ReadCase{u"1E+", 1}, ReadCase{u"1.E2", 100},
        // blanks, tabs and line feeds are skipped anywhere, even between digits
        ReadCase{u"  42", 42}, ReadCase{u"1 2 3", 123}, ReadCase{u"\t-\n4 .\t5", -4.5},
        ReadCase{u"37\n", 37}, ReadCase{u"5\n              ", 5},
        // reading stops at the first character that cannot continue the number
        ReadCase{u"12abc", 12}, ReadCase{u"7374A", 7374}, ReadCase{u"3x", 3},
        ReadCase{u"1.5.3", 1.5}, ReadCase{u"1-2", 1}, ReadCase{u"4,5", 4},
        // other blanks (carriage return, non-breaking space) are not skipped
        ReadCase{u"1\r2", 1}, ReadCase{u"1\u00A02", 1},
        // no number at all
        ReadCase{u"", 0}, ReadCase{u"   ", 0}, ReadCase{u"abc", 0}, ReadCase{u"-", 0},
        ReadCase{u".", 0}, ReadCase{u"--5", 0}, ReadCase{u"E5", 0}, ReadCase{u"No response", 0},
        // hexadecimal and octal integers
        ReadCase{u"&H1F", 31}, ReadCase{u"&hff", 255}, ReadCase{u" & H 1 0", 16},
        ReadCase{u"&HFFFF", 65535}, ReadCase{u"&O17", 15}, ReadCase{u"&o777", 511},
        ReadCase{u"&O19", 1}, ReadCase{u"&HG", 0}, ReadCase{u"&H", 0}, ReadCase{u"&12", 0},
        ReadCase{u"&X12", 0},
        // huge and tiny values
        ReadCase{u"1E308", 1e308}, ReadCase{u"1E-320", 1e-320}, ReadCase{u"1E-400", 0},
        ReadCase{u"-1E-400", 0}, ReadCase{u"99999999999999999999", 1e20}),
    test::namedBy([](const ReadCase& c) { return std::u16string_view(c.text); }));

TEST(ReadNumber, OverflowGivesInfinityNotGarbage)
{
    EXPECT_EQ(readNumber(u"1E400"), std::numeric_limits<double>::infinity());
    EXPECT_EQ(readNumber(u"-9E99999999"), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(readNumber(std::u16string(10000, u'9')), std::numeric_limits<double>::infinity());
    EXPECT_EQ(readNumber(u"&H" + std::u16string(400, u'F')), std::numeric_limits<double>::infinity());
}

TEST(ReadNumber, ManyDigitsOutweighTheExponentsSign)
{
    // A huge mantissa with a small negative exponent is still huge, a fraction with thousands of
    // leading zeros and a small positive exponent still tiny.
    EXPECT_EQ(readNumber(u"1" + std::u16string(400, u'0') + u"E-10"),
              std::numeric_limits<double>::infinity());
    EXPECT_EQ(readNumber(u"0." + std::u16string(9997, u'0') + u"5"), 0.0);
    EXPECT_EQ(readNumber(u"0." + std::u16string(500, u'0') + u"5E+10"), 0.0);
    EXPECT_DOUBLE_EQ(readNumber(u"0." + std::u16string(300, u'0') + u"5E+300"), 0.5);
}

TEST(ReadNumber, ExponentsWithLeadingZerosAndManyDigits)
{
    EXPECT_DOUBLE_EQ(readNumber(u"1E0000000005"), 1e5);
    EXPECT_DOUBLE_EQ(readNumber(u"2E-00000001"), 0.2);
    EXPECT_EQ(readNumber(u"1E123456789012"), std::numeric_limits<double>::infinity());
    EXPECT_EQ(readNumber(u"1E-123456789012"), 0.0);
    EXPECT_DOUBLE_EQ(readNumber(u"5E0"), 5);
}

TEST(ReadNumber, LongTextsOfDigitsAndNoiseDoNotBreakIt)
{
    std::u16string noise(10000, u' ');
    noise += u"17";
    EXPECT_DOUBLE_EQ(readNumber(noise), 17);
    EXPECT_DOUBLE_EQ(readNumber(u"0." + std::u16string(5000, u'0') + u"1E5000"), 1e-1);
}

struct RoundCase {
    double value;
    std::optional<std::int16_t> expected;
};

class ToInt16 : public ::testing::TestWithParam<RoundCase> {};

TEST_P(ToInt16, RoundsHalfToEvenAndRefusesOutOfRange)
{
    EXPECT_EQ(toInt16(GetParam().value), GetParam().expected) << GetParam().value;
}

INSTANTIATE_TEST_SUITE_P(
    Rules, ToInt16,
    ::testing::Values(RoundCase{2.5, 2}, RoundCase{3.5, 4}, RoundCase{-2.5, -2},
                      RoundCase{-3.5, -4}, RoundCase{0.5, 0}, RoundCase{1.5, 2},
                      RoundCase{2.4999, 2}, RoundCase{2.5001, 3}, RoundCase{-0.4, 0},
                      RoundCase{12.5, 12}, RoundCase{10.5, 10}, RoundCase{32767, 32767},
                      RoundCase{32767.4, 32767}, RoundCase{32767.5, std::nullopt},
                      RoundCase{32768, std::nullopt}, RoundCase{-32768, -32768},
                      RoundCase{-32768.5, -32768}, RoundCase{-32768.6, std::nullopt},
                      RoundCase{-32769, std::nullopt}, RoundCase{1e300, std::nullopt},
                      RoundCase{std::numeric_limits<double>::infinity(), std::nullopt},
                      RoundCase{-std::numeric_limits<double>::infinity(), std::nullopt},
                      RoundCase{std::numeric_limits<double>::quiet_NaN(), std::nullopt}),
    test::namedBy([](const RoundCase& c) {
        char shortest[32];
        std::snprintf(shortest, sizeof shortest, "%g", c.value);
        return std::string(shortest);
    }));

TEST(DecimalForm, LeadingBlankForZeroAndPositive)
{
    EXPECT_EQ(decimalForm(std::int64_t{7374}), u" 7374");
    EXPECT_EQ(decimalForm(std::int64_t{0}), u" 0");
    EXPECT_EQ(decimalForm(std::int64_t{-5}), u"-5");
    EXPECT_EQ(decimalForm(std::int64_t{-32768}), u"-32768");
}

TEST(DecimalForm, DoublesAsWholeNumbersFractionsAndExponents)
{
    EXPECT_EQ(decimalForm(5.0), u" 5");
    EXPECT_EQ(decimalForm(-0.0), u" 0");
    EXPECT_EQ(decimalForm(5.5), u" 5.5");
    EXPECT_EQ(decimalForm(-0.25), u"-0.25");
    EXPECT_EQ(decimalForm(1e20), u" 1E+20");
    EXPECT_EQ(decimalForm(-1.5e-7), u"-1.5E-7");
    EXPECT_EQ(decimalForm(0.1), u" 0.1");
    EXPECT_EQ(decimalForm(123456789012.0), u" 123456789012");
    EXPECT_EQ(decimalForm(std::numeric_limits<double>::infinity()), u" Infinity");
}

TEST(TrimLeadingBlanks, OnlyBlanksAtTheStartGo)
{
    EXPECT_EQ(trimLeadingBlanks(u"  5/31 "), u"5/31 ");
    EXPECT_EQ(trimLeadingBlanks(u"    "), u"");
    EXPECT_EQ(trimLeadingBlanks(u"\t5"), u"\t5");
}

} // namespace

namespace {

TEST(ScanNumber, TellsANumberFromNoNumber)
{
    EXPECT_TRUE(scanNumber(u"0").found);
    EXPECT_TRUE(scanNumber(u" -0.0").found);
    EXPECT_TRUE(scanNumber(u"&H0").found);
    EXPECT_FALSE(scanNumber(u"abc").found);
    EXPECT_FALSE(scanNumber(u"").found);
    EXPECT_FALSE(scanNumber(u"&H").found);
    EXPECT_FALSE(scanNumber(u"-.").found);
    EXPECT_DOUBLE_EQ(scanNumber(u"12abc").value, 12);
}

} // namespace
