// SPDX-License-Identifier: GPL-3.0-or-later
#include "gpib/Driver.h"
#include "gpib/GpibStatus.h"
#include "gpib/StatusReport.h"
#include "logic/MenuLine.h"
#include "support/ParamNames.h"

#include <gtest/gtest.h>

using namespace gpibconfig;

namespace {

TEST(StatusReport, ExampleOfTheSendIfcFailure)
{
    EXPECT_EQ(formatStatusReport(QStringLiteral("SendIFC Error"), static_cast<std::int16_t>(0x8100),
                                 7, 0),
              QStringLiteral("SendIFC Error ibsta = &H8100 <   ERR CMPL >iberr =  7 ENEB <No GPIB "
                             "board>ibcnt =  0"));
}

TEST(StatusReport, EveryBitNameInTableOrder)
{
    EXPECT_EQ(statusBitNames(static_cast<std::int16_t>(0xFFFF)),
              QStringLiteral(" ERR TIMO END SRQI RQS SPOLL EVENT CMPL LOK REM CIC ATN TACS LACS "
                             "DTAS DCAS"));
    EXPECT_EQ(statusBitNames(static_cast<std::int16_t>(0xC100)), QStringLiteral(" ERR TIMO CMPL"));
    EXPECT_EQ(statusBitNames(0), QString());
}

// Each bit alone, so a name tied to the wrong bit fails even where all bits together still read
// right.
TEST(StatusReport, EveryBitAloneHasItsOwnName)
{
    const char* const names[] = {" DCAS", " DTAS", " LACS", " TACS",  " ATN",   " CIC",
                                 " REM",  " LOK",  " CMPL", " EVENT", " SPOLL", " RQS",
                                 " SRQI", " END",  " TIMO", " ERR"};
    for (std::size_t bit = 0; bit < std::size(names); ++bit)
        EXPECT_EQ(statusBitNames(static_cast<std::int16_t>(1u << bit)),
                  QString::fromLatin1(names[bit]))
            << "bit " << bit;
}

TEST(StatusReport, StatusZeroLeavesOnlyTheBlanks)
{
    EXPECT_EQ(formatStatusReport(QStringLiteral("T"), 0, 2, 0),
              QStringLiteral("T ibsta = &H0 <   >iberr =  2 ENOL <No Listener>ibcnt =  0"));
}

TEST(StatusReport, HexIsUpperCaseWithoutLeadingZeros)
{
    EXPECT_EQ(formatStatusReport(QStringLiteral("X"), 0x0130, 0, 0).section(QLatin1Char('<'), 0, 0),
              QStringLiteral("X ibsta = &H130 "));
    EXPECT_TRUE(formatStatusReport(QStringLiteral("X"), static_cast<std::int16_t>(0xC100), 6, 0)
                    .startsWith(QStringLiteral("X ibsta = &HC100 <   ERR TIMO CMPL >")));
}

struct ErrorCase {
    int code;
    const char* name;
};

class ErrorNames : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(ErrorNames, NamedOrNothing)
{
    EXPECT_EQ(errorName(GetParam().code), QString::fromLatin1(GetParam().name));
}

INSTANTIATE_TEST_SUITE_P(
    Table, ErrorNames,
    ::testing::Values(
        ErrorCase{0, " EDVR <DOS Error>"}, ErrorCase{1, " ECIC <Not CIC>"},
        ErrorCase{2, " ENOL <No Listener>"}, ErrorCase{3, " EADR <Address error>"},
        ErrorCase{4, " EARG <Invalid argument>"}, ErrorCase{5, " ESAC <Not Sys Ctrlr>"},
        ErrorCase{6, " EABO <Op. aborted>"}, ErrorCase{7, " ENEB <No GPIB board>"},
        ErrorCase{10, " EOIP <Async I/O in prg>"}, ErrorCase{11, " ECAP <No capability>"},
        ErrorCase{12, " EFSO <File sys. error>"}, ErrorCase{14, " EBUS <Command error>"},
        ErrorCase{15, " ESTB <Status byte lost>"}, ErrorCase{16, " ESRQ <SRQ stuck on>"},
        ErrorCase{20, " ETAB <Table Overflow>"}, ErrorCase{8, ""}, ErrorCase{9, ""},
        ErrorCase{13, ""}, ErrorCase{17, ""}, ErrorCase{18, ""}, ErrorCase{19, ""},
        ErrorCase{21, ""}, ErrorCase{-1, ""}, ErrorCase{32767, ""}),
    test::namedBy([](const ErrorCase& c) { return "iberr " + std::to_string(c.code); }));

TEST(StatusReport, UnnamedErrorGoesStraightToTheCount)
{
    EXPECT_TRUE(formatStatusReport(QStringLiteral("T"), 0, 13, 5)
                    .endsWith(QStringLiteral(">iberr =  13ibcnt =  5")));
}

TEST(StatusReport, NegativeNumbersCarryAMinusInsteadOfTheBlank)
{
    EXPECT_TRUE(formatStatusReport(QStringLiteral("T"), 0, -3, -70000)
                    .endsWith(QStringLiteral(">iberr = -3ibcnt = -70000")));
}

TEST(StatusReport, OfAFailureIsItsTitleAndStatusAlone)
{
    const BusFailure failure{QStringLiteral("SendIFC Error"),
                             GpibStatus{static_cast<std::int16_t>(0x8100), err::ENEB, 0}};
    EXPECT_EQ(statusReport(failure),
              QStringLiteral("SendIFC Error ibsta = &H8100 <   ERR CMPL >iberr =  7 ENEB <No GPIB "
                             "board>ibcnt =  0"));
    // Whether the window reports it is no part of the text.
    BusFailure passed = failure;
    passed.windowReports = false;
    EXPECT_EQ(statusReport(passed), statusReport(failure));
}

TEST(FormatMenuLine, PadsPromptsToColumn36)
{
    const QString p10 = QStringLiteral("0123456789");
    EXPECT_EQ(FormatMenuLine(p10, QStringLiteral("5\n")),
              p10 + QString(25, QLatin1Char(' ')) + "5");
    const QString p33(33, QLatin1Char('p'));
    EXPECT_EQ(FormatMenuLine(p33, QStringLiteral("x")).size(), 36);
    const QString p34(34, QLatin1Char('p'));
    EXPECT_EQ(FormatMenuLine(p34, QStringLiteral("x")), p34 + " x");
    // A prompt of exactly 35 characters still keeps one blank before its value.
    const QString p35(35, QLatin1Char('p'));
    EXPECT_EQ(FormatMenuLine(p35, QStringLiteral("x")), p35 + " x");
    const QString p36(36, QLatin1Char('p'));
    EXPECT_EQ(FormatMenuLine(p36, QStringLiteral("x")), p36 + " x");
}

TEST(FormatMenuLine, DropsOneFinalLineFeedOrBlankOnly)
{
    const QString prompt = QStringLiteral("Bus Address - 0 to 30 or 31");
    EXPECT_EQ(FormatMenuLine(prompt, QStringLiteral("5/31 ")).size(), 35 + 4);
    EXPECT_EQ(FormatMenuLine(prompt, QStringLiteral("5  ")).size(), 35 + 2);
    EXPECT_EQ(FormatMenuLine(prompt, QStringLiteral("No response")).size(), 35 + 11);
    EXPECT_EQ(FormatMenuLine(prompt, QStringLiteral("Error - retry")).size(), 35 + 13);
    EXPECT_EQ(FormatMenuLine(prompt, QString(18, QLatin1Char(' '))).size(), 35 + 17);
    EXPECT_EQ(FormatMenuLine(prompt, QStringLiteral("abcdefghijklmnopq ")).size(), 52);
    EXPECT_EQ(FormatMenuLine(prompt, QStringLiteral("ab\r")).size(), 35 + 3);
    EXPECT_EQ(FormatMenuLine(prompt, QString()), prompt + QString(8, QLatin1Char(' ')));
}

} // namespace
