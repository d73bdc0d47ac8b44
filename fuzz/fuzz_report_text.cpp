// SPDX-License-Identifier: GPL-3.0-or-later
// The texts the program builds around driver status and unit replies: the one-line failure report,
// the function-list line, and the reply cut after its first line feed. The input gives the status
// words first (little end first), then the texts, split at the byte 0x00.
#include "logic/MenuLine.h"
#include "FuzzSupport.h"
#include "logic/ConfigLogic.h"
#include "core/QtText.h"
#include "gpib/StatusReport.h"

#include <QString>
#include <array>
#include <cstring>

namespace {

using namespace gpibconfig;

std::string show(const QString& text) { return fuzz::show(u16view(text)); }

bool hasLineBreak(const QString& text)
{
    return text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'));
}

// The status bits by the names the report gives them, most significant first.
constexpr std::array<const char*, 16> kBitNames = {"ERR",   "TIMO", "END",  "SRQI", "RQS", "SPOLL",
                                                   "EVENT", "CMPL", "LOK",  "REM",  "CIC", "ATN",
                                                   "TACS",  "LACS", "DTAS", "DCAS"};

void checkBitNames(std::int16_t ibsta)
{
    const QString names = statusBitNames(ibsta);
    // Each set bit once, as " NAME", in the order of the bits from the top.
    QString expected;
    for (std::size_t i = 0; i < kBitNames.size(); ++i) {
        if (static_cast<std::uint16_t>(ibsta) & (0x8000u >> i))
            expected += QLatin1Char(' ') + QLatin1String(kBitNames[i]);
    }
    FUZZ_CHECK(names == expected, "statusBitNames(0x%04X) = %s, expected %s",
               static_cast<unsigned>(static_cast<std::uint16_t>(ibsta)), show(names).c_str(),
               show(expected).c_str());
}

void checkErrorName(int iberr)
{
    const QString name = errorName(iberr);
    if (name.isEmpty())
        return;
    // " CODE <words>": the report runs it straight into "ibcnt".
    const qsizetype open = name.indexOf(QLatin1String(" <"));
    FUZZ_CHECK(name.startsWith(QLatin1Char(' ')) && name.size() > 4 &&
                   name[1] == QLatin1Char('E') && open > 1 && name.endsWith(QLatin1Char('>')) &&
                   !hasLineBreak(name),
               "errorName(%d) = %s", iberr, show(name).c_str());
    FUZZ_CHECK(iberr >= 0 && iberr <= 20, "errorName(%d) = %s names a code NI-488.2 does not have",
               iberr, show(name).c_str());
}

void checkReport(const QString& title, std::int16_t ibsta, std::int16_t iberr, std::int32_t ibcntl)
{
    const QString report = formatStatusReport(title, ibsta, iberr, ibcntl);
    const auto fail = [&](const char* what) {
        FUZZ_CHECK(false, "%s: report(%s, 0x%04X, %d, %d) = %s", what, show(title).c_str(),
                   static_cast<unsigned>(static_cast<std::uint16_t>(ibsta)), iberr, ibcntl,
                   show(report).c_str());
    };
    if (!report.startsWith(title))
        fail("the report does not start with its title");
    if (!hasLineBreak(title) && hasLineBreak(report))
        fail("the report is not one line");

    // What follows the title is the program's own, so it can be read back.
    const QString rest = report.mid(title.size());
    const QString head = QStringLiteral(" ibsta = &H");
    if (!rest.startsWith(head))
        fail("no ibsta after the title");
    const qsizetype hexEnd = rest.indexOf(QLatin1Char(' '), head.size());
    const QString hex = rest.mid(head.size(), hexEnd - head.size());
    bool ok = false;
    if (hex.isEmpty() || hex != hex.toUpper() || (hex.size() > 1 && hex[0] == QLatin1Char('0')) ||
        hex.toUInt(&ok, 16) != static_cast<std::uint16_t>(ibsta) || !ok)
        fail("ibsta is not its upper-case hexadecimal value");
    const QString bits = QStringLiteral(" <  ") + statusBitNames(ibsta) + QStringLiteral(" >");
    if (rest.mid(hexEnd, bits.size()) != bits)
        fail("the bit names do not follow ibsta");

    const QString afterBits = rest.mid(hexEnd + bits.size());
    const QString errHead = QStringLiteral("iberr = ");
    if (!afterBits.startsWith(errHead))
        fail("no iberr after the bit names");
    const qsizetype cntAt = afterBits.lastIndexOf(QStringLiteral("ibcnt = "));
    const QString errPart = afterBits.mid(errHead.size(), cntAt - errHead.size());
    if (readNumber(errPart) != iberr || !errPart.endsWith(errorName(iberr)) ||
        !errPart.startsWith(iberr < 0 ? QLatin1Char('-') : QLatin1Char(' ')))
        fail("iberr and its name do not read back");
    const QString cntPart = afterBits.mid(cntAt + 8);
    if (readNumber(cntPart) != ibcntl || cntPart != decimalText(static_cast<std::int64_t>(ibcntl)))
        fail("ibcnt does not read back");
}

void checkMenuLine(const QString& prompt, const QString& value)
{
    const QString line = FormatMenuLine(prompt, value);
    // The value starts in column 36 (counted from 1), or after one blank when the prompt is longer.
    const qsizetype valueAt = std::max<qsizetype>(35, prompt.size() + 1);
    QString shown = value;
    if (shown.endsWith(QLatin1Char('\n')) || shown.endsWith(QLatin1Char(' ')))
        shown.chop(1);
    const bool ok = line.size() == valueAt + shown.size() && line.startsWith(prompt) &&
                    line.mid(prompt.size(), valueAt - prompt.size()) ==
                        QString(valueAt - prompt.size(), QLatin1Char(' ')) &&
                    line.mid(valueAt) == shown;
    FUZZ_CHECK(ok, "FormatMenuLine(%s, %s) = %s", show(prompt).c_str(), show(value).c_str(),
               show(line).c_str());
}

void checkTrimReply(const QString& reply)
{
    const QString kept = ConfigLogic::trimReply(reply);
    const qsizetype lf = reply.indexOf(QLatin1Char('\n'));
    const bool ok = reply.startsWith(kept) &&
                    (lf < 0 ? kept.size() == reply.size()
                            : kept.size() == lf + 1 && kept.count(QLatin1Char('\n')) == 1);
    FUZZ_CHECK(ok, "TrimReply(%s) = %s", show(reply).c_str(), show(kept).c_str());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    constexpr std::size_t kStatusBytes = 2 + 2 + 4;
    if (size < kStatusBytes)
        return 0;
    std::uint16_t ibsta = 0;
    std::uint16_t iberr = 0;
    std::uint32_t ibcntl = 0;
    std::memcpy(&ibsta, data, 2);
    std::memcpy(&iberr, data + 2, 2);
    std::memcpy(&ibcntl, data + 4, 4);
    data += kStatusBytes;
    size -= kStatusBytes;

    // Up to three texts: title (and reply), prompt, value.
    std::array<QString, 3> texts;
    std::size_t field = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= size && field < texts.size(); ++i) {
        if (i == size || data[i] == 0x00) {
            const std::u16string t = fuzz::textFrom(data + start, i - start);
            texts[field++] = QString::fromStdU16String(t);
            start = i + 1;
        }
    }

    checkBitNames(static_cast<std::int16_t>(ibsta));
    checkErrorName(static_cast<std::int16_t>(iberr));
    checkReport(texts[0], static_cast<std::int16_t>(ibsta), static_cast<std::int16_t>(iberr),
                static_cast<std::int32_t>(ibcntl));
    checkMenuLine(texts[1], texts[2]);
    checkMenuLine(texts[0], texts[1]);
    checkTrimReply(texts[0]);
    checkTrimReply(texts[2]);
    return 0;
}
