// SPDX-License-Identifier: GPL-3.0-or-later
// gpibconfig-cli show against the configuration window, entry by entry, each on a bench of its
// own: the command shows what the window's list shows, and gets there over the same bus calls,
// pauses included.
#include "models/Models.h"
#include "support/CliRig.h"
#include "support/Harness.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace gpibconfig;
using namespace gpibconfig::test;

namespace {

// The trace without the bench's own events (the technician's power cycle in the window run).
QStringList busLines(sim::Bench& bench)
{
    QStringList out;
    for (const BusCall& record : bench.trace().records())
        if (record.kind != BusCall::Kind::Event)
            out << lineOf(record);
    return out;
}

} // namespace

class CliAgainstWindow : public QObject {
    Q_OBJECT

private slots:
    void showIsWhatTheWindowsListShows_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<int>("address");
        const QStringList entries = modelEntries();
        for (int n = 0; n < entries.size(); ++n)
            QTest::newRow(qPrintable(entries.at(n))) << entries.at(n) << n + 1;
    }

    void showIsWhatTheWindowsListShows()
    {
        QFETCH(QString, entry);
        QFETCH(int, address);
        const Model* model = modelForEntry(entry);
        QVERIFY(model);
        const int functions = model->menu->count();

        // Through the window: every function advanced, on every channel.
        Harness h;
        QStringList windowLines;
        for (int ch = 1; ch <= model->channelCount; ++ch)
            h.channelAnswers.push_back(QString::number(ch));
        h.runAt(entry, QString::number(address), [&](Run& run) {
            for (int ch = 1; ch <= model->channelCount; ++ch) {
                if (ch > 1)
                    run.click(ctl::cmdNextCh);
                for (int f = 1; f <= functions; ++f) {
                    if (f > 1)
                        run.enter();
                    windowLines << run.lines().last();
                }
                if (ch < model->channelCount)
                    run.enter(); // past the last function: Next Channel
            }
        });

        // The same with the command line, on a bench of its own.
        BenchCli cli;
        QStringList arguments{QStringLiteral("--json"), QStringLiteral("show"), entry,
                              QString::number(address)};
        if (model->powerCycle)
            arguments << QStringLiteral("--power-cycled");
        QCOMPARE(cli.run(arguments), 0);
        QStringList cliLines;
        const QJsonArray channels = QJsonDocument::fromJson(cli.cli.out.toUtf8())
                                        .object()[QStringLiteral("channels")]
                                        .toArray();
        for (const QJsonValue& channel : channels)
            for (const QJsonValue& f : channel.toObject()[QStringLiteral("functions")].toArray())
                cliLines << listLine(f.toObject()[QStringLiteral("prompt")].toString(),
                                     f.toObject()[QStringLiteral("display")].toString());

        QCOMPARE(cliLines.size(), functions * model->channelCount);
        QCOMPARE(cliLines, windowLines);
        QCOMPARE(busLines(*cli.bench), busLines(*h.bench));
    }
};

QTEST_MAIN(CliAgainstWindow)
#include "tst_cli_window.moc"
