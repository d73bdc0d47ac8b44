// SPDX-License-Identifier: GPL-3.0-or-later
// The access layer hands the program's texts to the driver as bytes and copies received bytes back
// into the caller's buffer. Whatever the text (any UTF-16, lone surrogates included) and whatever
// a driver does within the count it was given, the buffer keeps its length, received bytes land
// at its start, and the status words are copied as the program expects them.
//
// Input: a scripted driver's behaviour (status words, how many bytes a Receive delivers), then a
// text to send and a buffer's initial contents, split at the byte 0x00.
#include "FuzzSupport.h"
#include "core/QtText.h"
#include "gpib/Gpib32.h"

#include <QByteArray>
#include <QString>
#include <fuzzer/FuzzedDataProvider.h>
#include <vector>

namespace {

using namespace gpibconfig;

std::string show(const QString& text) { return fuzz::show(u16view(text)); }

// A driver that reads every byte it is offered (so an overrun shows as a sanitizer report), writes
// a scripted reply into a Receive buffer, and reports scripted status words.
class ScriptedDriver final : public Driver {
public:
    std::vector<std::uint8_t> sent;
    long sentCount = -1;
    long receiveCount = -1;
    std::vector<std::uint8_t> reply;
    long ibsta = 0, iberr = 0, ibcntl = 0;

    DriverStatus status() const { return {ibsta, iberr, ibcntl}; }
    DriverStatus SendIFC(int) override { return status(); }
    DriverStatus DevClear(int, Addr4882) override { return status(); }
    DriverStatus Send(int, Addr4882, const std::uint8_t* data, long count, int) override
    {
        sentCount = count;
        sent.assign(data, data + count);
        return status();
    }
    DriverStatus Receive(int, Addr4882, std::uint8_t* buffer, long count, int) override
    {
        receiveCount = count;
        volatile std::uint8_t sink = 0;
        for (long i = 0; i < count; ++i)
            sink = sink ^ buffer[i];
        const long n = std::min<long>(count, static_cast<long>(reply.size()));
        for (long i = 0; i < n; ++i)
            buffer[i] = reply[static_cast<std::size_t>(i)];
        ibcntl = n;
        return status();
    }
    DriverStatus SendCmds(int, const std::uint8_t* commands, long count) override
    {
        return Send(0, 0, commands, count, 0);
    }
    DriverStatus ibonl(int, int) override { return status(); }
    DriverStatus ibsre(int, int) override { return status(); }
    DriverStatus ibtmo(int, int) override { return status(); }
};

char expectedByte(QChar c) { return c.unicode() <= 0xFF ? static_cast<char>(c.unicode()) : '?'; }

void checkDriverBytes(const QString& text)
{
    const QByteArray bytes = GPIB32::toDriverBytes(text);
    bool ok = bytes.size() == text.size();
    for (qsizetype i = 0; ok && i < text.size(); ++i)
        ok = bytes[i] == expectedByte(text[i]);
    FUZZ_CHECK(ok, "toDriverBytes(%s) = %s", show(text).c_str(),
               fuzz::show(std::string_view(bytes.constData(), bytes.size())).c_str());
}

void checkStatusCopy(const ScriptedDriver& driver, const GpibStatus& status, const char* call)
{
    const bool ok = status.ibsta == static_cast<std::int16_t>(driver.ibsta & 0xFFFF) &&
                    status.iberr == static_cast<std::int16_t>(driver.iberr & 0xFFFF) &&
                    status.ibcntl == static_cast<std::int32_t>(driver.ibcntl) &&
                    status.failed() == ((driver.ibsta & 0x8000) != 0);
    FUZZ_CHECK(ok, "%s: driver said ibsta=%ld iberr=%ld ibcntl=%ld, copied %d %d %d", call,
               driver.ibsta, driver.iberr, driver.ibcntl, status.ibsta, status.iberr,
               status.ibcntl);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    ScriptedDriver driver;
    driver.ibsta = in.ConsumeIntegral<long>();
    driver.iberr = in.ConsumeIntegral<long>();
    driver.ibcntl = in.ConsumeIntegral<long>();
    const std::string reply = in.ConsumeRandomLengthString(64);
    driver.reply.assign(reply.begin(), reply.end());
    const std::vector<std::uint8_t> rest = in.ConsumeRemainingBytes<std::uint8_t>();

    QString text;
    QString buffer;
    std::size_t split = 0;
    while (split < rest.size() && rest[split] != 0x00)
        ++split;
    text = QString::fromStdU16String(fuzz::textFrom(rest.data(), split));
    if (split < rest.size())
        buffer = QString::fromStdU16String(
            fuzz::textFrom(rest.data() + split + 1, rest.size() - split - 1));

    checkDriverBytes(text);
    checkDriverBytes(buffer);

    GPIB32 gpib(driver);

    const QString before = text;
    GpibStatus status = gpib.Send(0, 5, text, 1);
    const QByteArray expected = GPIB32::toDriverBytes(before);
    FUZZ_CHECK(text == before && driver.sentCount == before.size() &&
                   QByteArray(reinterpret_cast<const char*>(driver.sent.data()),
                              static_cast<qsizetype>(driver.sent.size())) == expected,
               "Send(%s) gave the driver %ld bytes %s", show(before).c_str(), driver.sentCount,
               fuzz::show(std::string_view(reinterpret_cast<const char*>(driver.sent.data()),
                                           driver.sent.size()))
                   .c_str());
    checkStatusCopy(driver, status, "Send");

    (void)gpib.SendCmds(0, text);
    FUZZ_CHECK(driver.sentCount == before.size(), "SendCmds(%s) gave the driver %ld bytes",
               show(before).c_str(), driver.sentCount);

    // A Receive: the driver writes up to the count it got; the rest of the buffer is what went in.
    const QString original = buffer;
    status = gpib.Receive(0, 5, buffer, 0);
    const auto written = static_cast<qsizetype>(driver.ibcntl);
    bool ok = buffer.size() == original.size() && driver.receiveCount == original.size();
    for (qsizetype i = 0; ok && i < buffer.size(); ++i) {
        const char16_t want = i < written ? driver.reply[static_cast<std::size_t>(i)]
                                          : static_cast<unsigned char>(expectedByte(original[i]));
        ok = buffer[i].unicode() == want;
    }
    FUZZ_CHECK(ok, "Receive into %s with reply %s left %s", show(original).c_str(),
               fuzz::show(reply).c_str(), show(buffer).c_str());
    checkStatusCopy(driver, status, "Receive");

    checkStatusCopy(driver, gpib.ibonl(0, 0), "ibonl");
    return 0;
}
