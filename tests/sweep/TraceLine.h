#pragma once

// Reading the bench's trace back: one driver call per line, in the form the bench writes
//   Send(0, 0x0005, "SYST:COMM:GPIB:ADDR?", 1) -> ibsta=0x2128 iberr=0 ibcntl=21
// so that checks can look at what really went over the bus rather than at what the program
// believes it sent.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <string>
#include <vector>

namespace gpibconfig::sweep {

struct CallLine {
    QString raw;
    QString name;       // SendIFC, DevClear, Send, Receive, SendCmds, ibonl, ibsre, ibtmo
    QString args;       // between the parentheses, as written
    int address = -1;   // address word of DevClear, Send and Receive
    QByteArray bytes;   // Send: the message bytes; Receive: the bytes received
    QString commands;   // SendCmds: the command bytes as hex pairs
    int ibsta = 0;
    int iberr = 0;
    long ibcntl = 0;

    bool failed() const { return (ibsta & 0x8000) != 0; }
    bool isSend(const char* text) const { return name == QLatin1String("Send") && bytes == text; }
};

// The bytes of a C-escaped string as the trace writes them.
inline QByteArray unescape(const QString& escaped)
{
    QByteArray out;
    const QByteArray in = escaped.toLatin1();
    for (qsizetype i = 0; i < in.size(); ++i) {
        const char c = in[i];
        if (c != '\\' || i + 1 >= in.size()) {
            out += c;
            continue;
        }
        const char e = in[++i];
        switch (e) {
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'x':
            if (i + 2 < in.size()) {
                out += static_cast<char>(in.mid(i + 1, 2).toInt(nullptr, 16));
                i += 2;
            }
            break;
        default: out += e; break;
        }
    }
    return out;
}

// nullopt for pauses, bench events and anything else that is not a driver call.
inline std::optional<CallLine> parseCall(const QString& line)
{
    const qsizetype open = line.indexOf(QLatin1Char('('));
    const qsizetype arrow = line.lastIndexOf(QStringLiteral(") -> ibsta=0x"));
    if (open <= 0 || arrow < open || line.startsWith(QLatin1String("# ")))
        return std::nullopt;
    CallLine call;
    call.raw = line;
    call.name = line.left(open);
    call.args = line.mid(open + 1, arrow - open - 1);

    const QString status = line.mid(arrow + 5); // "ibsta=0x.... iberr=n ibcntl=n[ data=...]"
    const QStringList words = status.split(QLatin1Char(' '));
    if (words.size() < 3)
        return std::nullopt;
    call.ibsta = words[0].mid(QStringLiteral("ibsta=0x").size()).toInt(nullptr, 16);
    call.iberr = words[1].mid(QStringLiteral("iberr=").size()).toInt();
    call.ibcntl = words[2].mid(QStringLiteral("ibcntl=").size()).toLong();

    const QStringList parts = call.args.split(QStringLiteral(", "));
    if (call.name == QLatin1String("DevClear") || call.name == QLatin1String("Send") ||
        call.name == QLatin1String("Receive")) {
        if (parts.size() >= 2)
            call.address = parts[1].mid(2).toInt(nullptr, 16);
    }
    if (call.name == QLatin1String("Send")) {
        const qsizetype first = call.args.indexOf(QLatin1Char('"'));
        const qsizetype last = call.args.lastIndexOf(QLatin1Char('"'));
        if (first >= 0 && last > first)
            call.bytes = unescape(call.args.mid(first + 1, last - first - 1));
    } else if (call.name == QLatin1String("Receive")) {
        const qsizetype data = status.indexOf(QStringLiteral(" data=\""));
        if (data >= 0)
            call.bytes = unescape(status.mid(data + 7, status.size() - data - 8));
    } else if (call.name == QLatin1String("SendCmds")) {
        call.commands = parts.mid(1).join(QStringLiteral(", "));
    }
    return call;
}

inline std::vector<CallLine> parseCalls(const std::vector<std::string>& lines, std::size_t from = 0,
                                        std::size_t to = static_cast<std::size_t>(-1))
{
    std::vector<CallLine> out;
    for (std::size_t i = from; i < lines.size() && i < to; ++i) {
        if (auto call = parseCall(QString::fromStdString(lines[i])))
            out.push_back(std::move(*call));
    }
    return out;
}

// The four-digit hex form of a status word as the report writes it ("8130").
inline QString reportHex(int ibsta)
{
    return QString::number(ibsta & 0xFFFF, 16).toUpper();
}

// A number as the report writes it: a blank before zero or a positive value.
inline QString reportNumber(long value)
{
    return value < 0 ? QString::number(value) : QLatin1Char(' ') + QString::number(value);
}

// Why `report` (the first line of a txtGPIBErr box) does not describe `call` under `title`, or
// an empty text when it does.
inline QString reportMismatch(const QString& report, const QString& title, const CallLine& call)
{
    const QString head = title + QStringLiteral(" ibsta = &H") + reportHex(call.ibsta) + QStringLiteral(" <");
    if (!report.startsWith(head))
        return QStringLiteral("expected a report beginning \"%1\", the window shows \"%2\"").arg(head, report);
    if (!report.contains(QStringLiteral(">iberr = ") + reportNumber(call.iberr)))
        return QStringLiteral("report \"%1\" does not give iberr %2").arg(report).arg(call.iberr);
    if (!report.endsWith(QStringLiteral("ibcnt = ") + reportNumber(call.ibcntl)))
        return QStringLiteral("report \"%1\" does not end with ibcnt %2").arg(report).arg(call.ibcntl);
    return {};
}

// The titles the program reports failed calls under.
inline const QStringList& reportTitles()
{
    static const QStringList titles = {
        QStringLiteral("SendIFC Error"),  QStringLiteral("DevClear Error"),
        QStringLiteral("Receive Error"),  QStringLiteral("Send SAV Error"),
        QStringLiteral("Send ESE Error"), QStringLiteral("Send LOCK Error"),
        QStringLiteral("Send CLS Error"), QStringLiteral("Send ESR Error"),
        QStringLiteral("Receive ESR Error")};
    return titles;
}

// The title a first line of txtGPIBErr starts with, or an empty text when it is no report.
inline QString reportTitleOf(const QString& firstLine)
{
    for (const QString& title : reportTitles()) {
        if (firstLine.startsWith(title + QStringLiteral(" ibsta = &H")))
            return title;
    }
    return {};
}

} // namespace gpibconfig::sweep
