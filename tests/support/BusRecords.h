// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Looking at recorded bus calls in tests: printing them in failure messages (GoogleTest and Qt
// Test), the calls without their results, and short summaries of a run's traffic.

#include "gpib/BusCall.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <ostream>
#include <string_view>
#include <vector>

namespace gpibconfig {

// Failure messages show a call as its trace line.
inline void PrintTo(const BusCall& call, std::ostream* out) { *out << call.traceLine(); }
inline char* toString(const BusCall& call) { return qstrdup(call.traceLine().c_str()); }
inline char* toString(const std::vector<BusCall>& calls)
{
    std::string lines;
    for (const BusCall& call : calls)
        lines += "\n  " + call.traceLine();
    return qstrdup(lines.c_str());
}

namespace test {

// The calls as they were made, for comparing with calls written out in a test.
inline std::vector<BusCall> requests(const std::vector<BusCall>& calls)
{
    std::vector<BusCall> out;
    out.reserve(calls.size());
    for (const BusCall& call : calls)
        out.push_back(call.request());
    return out;
}

// The driver calls among the records: pauses and bench events left out.
inline std::vector<BusCall> driverCalls(const std::vector<BusCall>& records)
{
    std::vector<BusCall> out;
    for (const BusCall& record : records) {
        if (record.isDriverCall())
            out.push_back(record);
    }
    return out;
}

// An address word as the trace writes it ("0x6D19"); its low 16 bits, whatever the sign.
inline QString hexWord(int word)
{
    return QString::fromStdString(BusCall::hexWord(static_cast<unsigned>(word) & 0xFFFFu));
}
// Bytes as the trace writes command bytes ("3F 25 08").
inline QString hexBytes(std::string_view bytes)
{
    return QString::fromStdString(BusCall::hexBytes(bytes));
}
inline QByteArray bytesOf(const BusCall& call) { return QByteArray::fromStdString(call.bytes); }
inline QString lineOf(const BusCall& call) { return QString::fromStdString(call.traceLine()); }

// Only the messages sent, as "address text", e.g. "0x0005 *ESR?". A line feed that ends the
// bytes (a controller in front of the bench sends the program's line feed as a data byte) is left
// off, so a message reads the same whoever put it on the bus.
inline QStringList messages(const std::vector<BusCall>& records)
{
    QStringList out;
    for (const BusCall& call : records) {
        if (call.kind != BusCall::Kind::Send)
            continue;
        QByteArray bytes = bytesOf(call);
        if (bytes.endsWith('\n'))
            bytes.chop(1);
        out << hexWord(call.address) + QLatin1Char(' ') + QString::fromLatin1(bytes);
    }
    return out;
}

// The bus traffic in short: "0x0005 *ESR?" for a message, "IFC", "DevClear 0x0005", "Cmds 3F",
// "Pause(0.2)", "Receive 0x0005" (with " TIMEOUT" when it timed out). Board settings and bench
// events are left out.
inline QStringList flow(const std::vector<BusCall>& records)
{
    QStringList out;
    for (const BusCall& call : records) {
        switch (call.kind) {
        case BusCall::Kind::Send:
            out << hexWord(call.address) + QLatin1Char(' ') + QString::fromLatin1(bytesOf(call));
            break;
        case BusCall::Kind::SendIFC:
            out << QStringLiteral("IFC");
            break;
        case BusCall::Kind::DevClear:
            out << QStringLiteral("DevClear ") + hexWord(call.address);
            break;
        case BusCall::Kind::SendCmds:
            out << QStringLiteral("Cmds ") + hexBytes(call.bytes);
            break;
        case BusCall::Kind::Receive:
            out << QStringLiteral("Receive ") + hexWord(call.address) +
                       (call.failed() && call.timedOut() ? QStringLiteral(" TIMEOUT") : QString());
            break;
        case BusCall::Kind::Pause:
            out << lineOf(call);
            break;
        default:
            break;
        }
    }
    return out;
}

} // namespace test
} // namespace gpibconfig
