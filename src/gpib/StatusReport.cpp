// SPDX-License-Identifier: GPL-3.0-or-later
#include "StatusReport.h"

#include "core/Numbers.h"

#include <array>
#include <utility>

namespace gpibconfig {

namespace {

constexpr std::array<std::pair<int, const char*>, 16> kBitNames{{
    {0x8000, " ERR"},
    {0x4000, " TIMO"},
    {0x2000, " END"},
    {0x1000, " SRQI"},
    {0x0800, " RQS"},
    {0x0400, " SPOLL"},
    {0x0200, " EVENT"},
    {0x0100, " CMPL"},
    {0x0080, " LOK"},
    {0x0040, " REM"},
    {0x0020, " CIC"},
    {0x0010, " ATN"},
    {0x0008, " TACS"},
    {0x0004, " LACS"},
    {0x0002, " DTAS"},
    {0x0001, " DCAS"},
}};

constexpr std::array<std::pair<int, const char*>, 15> kErrorNames{{
    {0, " EDVR <DOS Error>"},
    {1, " ECIC <Not CIC>"},
    {2, " ENOL <No Listener>"},
    {3, " EADR <Address error>"},
    {4, " EARG <Invalid argument>"},
    {5, " ESAC <Not Sys Ctrlr>"},
    {6, " EABO <Op. aborted>"},
    {7, " ENEB <No GPIB board>"},
    {10, " EOIP <Async I/O in prg>"},
    {11, " ECAP <No capability>"},
    {12, " EFSO <File sys. error>"},
    {14, " EBUS <Command error>"},
    {15, " ESTB <Status byte lost>"},
    {16, " ESRQ <SRQ stuck on>"},
    {20, " ETAB <Table Overflow>"},
}};

QString signedDecimal(std::int64_t value) { return QString::fromStdU16String(decimalForm(value)); }

} // namespace

QString statusBitNames(std::int16_t ibsta)
{
    const auto bits = static_cast<std::uint16_t>(ibsta);
    QString names;
    for (const auto& [bit, name] : kBitNames)
        if (bits & bit)
            names += QLatin1String(name);
    return names;
}

QString errorName(int iberr)
{
    for (const auto& [code, name] : kErrorNames)
        if (code == iberr)
            return QLatin1String(name);
    return {};
}

QString formatStatusReport(const QString& title, std::int16_t ibsta, std::int16_t iberr,
                           std::int32_t ibcntl)
{
    return title + QStringLiteral(" ibsta = &H") +
           QString::number(static_cast<std::uint16_t>(ibsta), 16).toUpper() + QStringLiteral(" <") +
           QStringLiteral("  ") + statusBitNames(ibsta) + QStringLiteral(" >") +
           QStringLiteral("iberr = ") + signedDecimal(iberr) + errorName(iberr) +
           QStringLiteral("ibcnt = ") + signedDecimal(ibcntl);
}

QString statusReport(const BusFailure& failure)
{
    const GpibStatus& s = failure.status;
    return formatStatusReport(failure.title, s.ibsta, s.iberr, s.ibcntl);
}

} // namespace gpibconfig
