// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What a status report in txtGPIBErr must say about a failed call: its title, and the call's
// status word, error code and count in the report's own notation.

#include "gpib/BusCall.h"

#include <QString>
#include <QStringList>

namespace gpibconfig::test {

// The four-digit hex form of a status word as the report writes it ("8130").
inline QString reportHex(long ibsta) { return QString::number(ibsta & 0xFFFF, 16).toUpper(); }

// A number as the report writes it: a blank before zero or a positive value.
inline QString reportNumber(long value)
{
    return value < 0 ? QString::number(value) : QLatin1Char(' ') + QString::number(value);
}

// Why `report` (the first line of a txtGPIBErr box) does not describe `call` under `title`, or
// an empty text when it does.
inline QString reportMismatch(const QString& report, const QString& title, const BusCall& call)
{
    const QString head =
        title + QStringLiteral(" ibsta = &H") + reportHex(call.ibsta) + QStringLiteral(" <");
    if (!report.startsWith(head))
        return QStringLiteral("expected a report beginning \"%1\", the window shows \"%2\"")
            .arg(head, report);
    if (!report.contains(QStringLiteral(">iberr = ") + reportNumber(call.iberr)))
        return QStringLiteral("report \"%1\" does not give iberr %2").arg(report).arg(call.iberr);
    if (!report.endsWith(QStringLiteral("ibcnt = ") + reportNumber(call.ibcntl)))
        return QStringLiteral("report \"%1\" does not end with ibcnt %2")
            .arg(report)
            .arg(call.ibcntl);
    return {};
}

// The titles the program reports failed calls under.
inline const QStringList& reportTitles()
{
    static const QStringList titles = {
        QStringLiteral("SendIFC Error"),    QStringLiteral("DevClear Error"),
        QStringLiteral("Receive Error"),    QStringLiteral("Send SAV Error"),
        QStringLiteral("Send ESE Error"),   QStringLiteral("Send LOCK Error"),
        QStringLiteral("Send CLS Error"),   QStringLiteral("Send ESR Error"),
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

} // namespace gpibconfig::test
