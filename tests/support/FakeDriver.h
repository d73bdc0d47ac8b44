#pragma once

#include "gpib/Driver.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>

namespace gpibconfig::test {

// A driver that records every call with its arguments and answers with scripted status values.
// Receive copies the next scripted reply into the buffer (at most `count` bytes).
class FakeDriver : public Driver {
public:
    struct Status {
        long ibsta = sta::CMPL;
        long iberr = 0;
        long ibcnt = 0;
        long ibcntl = 0;
    };

    QStringList calls;
    std::deque<QByteArray> replies;
    // Status each call leaves; by default CMPL with the byte count of the call.
    std::function<Status(const QString& call)> statusFor;
    Status last;

    void SendIFC(int board) override { record(QStringLiteral("SendIFC(%1)").arg(board), 0); }
    void DevClear(int board, Addr4882 a) override
    {
        record(QStringLiteral("DevClear(%1, 0x%2)").arg(board).arg(a, 4, 16, QLatin1Char('0')), 0);
    }
    void Send(int board, Addr4882 a, const std::uint8_t* data, long count, int eotMode) override
    {
        sentBytes = QByteArray(reinterpret_cast<const char*>(data), static_cast<int>(count));
        record(QStringLiteral("Send(%1, 0x%2, \"%3\", %4, %5)")
                   .arg(board)
                   .arg(a, 4, 16, QLatin1Char('0'))
                   .arg(QString::fromLatin1(sentBytes))
                   .arg(count)
                   .arg(eotMode),
               count);
    }
    void Receive(int board, Addr4882 a, std::uint8_t* buffer, long count, int term) override
    {
        QByteArray reply = replies.empty() ? QByteArray() : replies.front();
        if (!replies.empty())
            replies.pop_front();
        const long n = std::min<long>(count, reply.size());
        std::copy_n(reply.constData(), n, reinterpret_cast<char*>(buffer));
        record(QStringLiteral("Receive(%1, 0x%2, %3, %4)")
                   .arg(board)
                   .arg(a, 4, 16, QLatin1Char('0'))
                   .arg(count)
                   .arg(term),
               n);
    }
    void SendCmds(int board, const std::uint8_t* cmds, long count) override
    {
        sentBytes = QByteArray(reinterpret_cast<const char*>(cmds), static_cast<int>(count));
        record(QStringLiteral("SendCmds(%1, %2)").arg(board).arg(QString::fromLatin1(sentBytes.toHex(' '))),
               count);
    }
    int ibonl(int ud, int v) override { return two(QStringLiteral("ibonl"), ud, v); }
    int ibsre(int ud, int v) override { return two(QStringLiteral("ibsre"), ud, v); }
    int ibtmo(int ud, int v) override { return two(QStringLiteral("ibtmo"), ud, v); }
    long ThreadIbsta() override { return last.ibsta; }
    long ThreadIberr() override { return last.iberr; }
    long ThreadIbcnt() override { return last.ibcnt; }
    long ThreadIbcntl() override { return last.ibcntl; }

    QByteArray sentBytes;

private:
    int two(const QString& name, int ud, int v)
    {
        record(QStringLiteral("%1(%2, %3)").arg(name).arg(ud).arg(v), 0);
        return static_cast<int>(last.ibsta);
    }
    void record(const QString& call, long count)
    {
        calls << call;
        if (statusFor) {
            last = statusFor(call);
        } else {
            last = Status{};
            last.ibcnt = last.ibcntl = count;
        }
    }
};

// Fails every call whose text starts with one of the given prefixes.
inline std::function<FakeDriver::Status(const QString&)> failing(QStringList prefixes, int iberr,
                                                                  long ibsta = sta::ERR | sta::CMPL)
{
    return [prefixes, iberr, ibsta](const QString& call) {
        for (const QString& p : prefixes)
            if (call.startsWith(p))
                return FakeDriver::Status{ibsta, iberr, 0, 0};
        return FakeDriver::Status{};
    };
}

} // namespace gpibconfig::test
