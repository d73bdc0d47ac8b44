// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the hostile-unit and hostile-operator tests share: the bus check that every message is one
// of the run's, and a way to finish a run that a hostile unit or operator has disturbed.

#include "gpib/Gpib32.h"
#include "support/EntryPlan.h"
#include "support/Harness.h"
#include "support/ReportText.h"

#include <QApplication>
#include <QClipboard>
#include <set>

namespace gpibconfig::test {

// Every Send from trace position `from` on that is not a whole message of the run: a query of one
// of the entry's functions, the function's header with one of `typed` as its value (in the bytes
// the access layer makes of it), or one of the fixed messages; sent with the line feed ending and
// its exact byte count. Positions in `ignore` are messages the test itself put on the bus.
inline QStringList malformedSends(const Harness& h, const EntryPlan& plan, std::size_t from,
                                  const QStringList& typed,
                                  const std::set<std::size_t>& ignore = {})
{
    std::set<QByteArray> allowed = {"*ESR?",       "*SAV 0",     "*PSC 0", "*PSC 1",
                                    "CAL:LOCK ON", "CAL:LOCK 0", "*CLS"};
    for (int row = 1; row <= static_cast<int>(plan.rows.size()); ++row) {
        const QByteArray header = plan.busHeader(row).toLatin1();
        allowed.insert(header + '?');
        for (const QString& t : typed)
            allowed.insert(header + ' ' + GPIB32::toDriverBytes(t));
    }
    QStringList bad;
    const std::vector<BusCall> records = h.records();
    for (std::size_t i = from; i < records.size(); ++i) {
        const BusCall& call = records[i];
        if (ignore.count(i) || call.kind != BusCall::Kind::Send)
            continue;
        if (call.value != eot::NLend || !allowed.count(bytesOf(call)) ||
            (!call.failed() && call.ibcntl != static_cast<long>(call.bytes.size()) + 1))
            bad << lineOf(call);
    }
    return bad;
}

// Puts `text` into a line edit the way an operator pastes it (the edit's own paste, so Qt decides
// what a single-line field keeps of it).
inline void pasteInto(QLineEdit* edit, const QString& text)
{
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QGuiApplication::clipboard()->setText(text);
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
}

// Starts over at `address` and takes the menu to a successful save, the way an operator recovers
// from whatever happened before: Redo from Start when it is offered, Set Address, Enter through
// every function, Save Configuration (which the unit confirms), Done.
inline void finishAfresh(Harness& h, Run& run, const QString& address)
{
    if (run.enabled(ctl::cmdRedo))
        run.click(ctl::cmdRedo);
    run.setAddress(address);
    QVERIFY2(!run.visible(ctl::txtGPIBErr), qPrintable(run.gpibError()));
    for (int guard = 0; run.enabled(ctl::cmdEnter) && guard < 40; ++guard) {
        run.enter();
        QVERIFY2(!run.visible(ctl::txtGPIBErr), qPrintable(run.gpibError()));
    }
    QVERIFY(run.enabled(ctl::cmdSav));
    const std::size_t before = h.bench->trace().size();
    run.click(ctl::cmdSav);
    QVERIFY2(!run.visible(ctl::txtGPIBErr), qPrintable(run.gpibError()));
    const auto calls = h.calls(before);
    QCOMPARE(calls.size(), std::size_t{4}); // status cleared, the save, the unit's confirmation
    QVERIFY(calls.at(0).isSend("*CLS") && calls.at(1).isSend("*SAV 0") && !calls.at(1).failed());
    QVERIFY(calls.at(2).isSend("*ESR?") && calls.at(3).kind == BusCall::Kind::Receive);
    run.click(ctl::cmdDone);
    QVERIFY2(!run.w.isVisible(), "Done closes at once after a successful save");
}

} // namespace gpibconfig::test
