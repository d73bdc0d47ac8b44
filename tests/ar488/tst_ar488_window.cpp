// SPDX-License-Identifier: GPL-3.0-or-later
// The program's window over the Prologix driver and the real AR488 firmware (both releases) in
// front of the bench: the first query of every entry of the list and the 7352A's whole menu, as
// tests/prologix runs them over our simulated controller.
#include "Oracle.h"
#include "gpib/ThreadedDriver.h"
#include "models/Models.h"
#include "prologix/PrologixDriver.h"
#include "sim/BenchClock.h"
#include "sim/Trace.h"
#include "support/WindowOnDriver.h"

#include <map>

using namespace gpibconfig;
using namespace gpibconfig::test;

// The window on the firmware: the technician's power cycle and the record of the bus are the
// oracle's.
struct OracleWindow : WindowOnDriver {
    OracleWindow(Driver& driver, Clock& clock, Ar488Oracle& oracle)
        : WindowOnDriver(
              driver, clock,
              [&oracle](const QString& model) { oracle.ask(QStringLiteral("cycle ") + model); },
              [&oracle] { return static_cast<std::size_t>(oracle.messages().size()); })
    {
    }
};

class Ar488Window : public QObject {
    Q_OBJECT

    // One firmware per release for the whole sweep, as a bench keeps its controller; the window
    // opens the port anew for every entry, as the program does when started.
    std::map<QString, std::unique_ptr<Ar488Oracle>> m_oracles;
    sim::Trace m_trace;
    sim::BenchClock m_clock{m_trace, sim::BenchClock::Mode::Virtual};

private slots:
    void initTestCase()
    {
        for (const QString& release : kAr488Releases) {
            m_oracles[release] = std::make_unique<Ar488Oracle>(release);
            QVERIFY(!m_oracles[release]->pty().isEmpty());
        }
    }

    // Every entry of the list: the first function's value, asked through the firmware, is what
    // the unit holds; trigger-mode units got their GET through ++trg. The four-channel unit needs
    // secondary addresses, which 0.51 drops: the window reports ECAP instead of showing another
    // device's answer.
    void firstQueryOfEveryEntry_data()
    {
        QTest::addColumn<QString>("release");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<int>("address");
        const QStringList entries = modelEntries();
        for (const QString& release : kAr488Releases) {
            for (int n = 0; n < entries.size(); ++n)
                QTest::addRow("%s %s", qPrintable(release), qPrintable(entries.at(n)))
                    << release << entries.at(n) << n + 1;
        }
    }
    void firstQueryOfEveryEntry()
    {
        QFETCH(QString, release);
        QFETCH(QString, entry);
        QFETCH(int, address);
        Ar488Oracle& oracle = *m_oracles.at(release);
        ThreadedDriver driver(prologix::PrologixDriver::serial(oracle.pty()));
        OracleWindow window(driver, m_clock, oracle);
        const auto shown = window.firstQuery(entry, address);
        if (entry == QLatin1String("7379") && release == QLatin1String("0.51.09")) {
            QVERIFY2(shown.gpibError.contains(QStringLiteral("ECAP")), qPrintable(shown.gpibError));
            QVERIFY2(shown.explained.contains(QStringLiteral("too old for secondary addresses")),
                     qPrintable(shown.explained));
            return;
        }
        QVERIFY2(shown.gpibError.isEmpty(), qPrintable(shown.gpibError));

        QStringList texts;
        for (const QString& message : oracle.messages().mid(static_cast<qsizetype>(shown.start))) {
            if (message.section(QLatin1Char(' '), 0, 0).section(QLatin1Char('/'), 0, 0) == entry)
                texts << message.section(QLatin1Char(' '), 1);
        }
        const QString header = firstQueriedHeader(texts);
        QVERIFY2(!header.isEmpty(), qPrintable(texts.join(QLatin1Char('\n'))));
        const QString held = oracle.value(QStringLiteral("setting %1 %2").arg(entry, header));
        const auto view = oracle.unit(entry);
        const QString value = shownValue(
            view, header,
            held == QLatin1String("?") ? std::nullopt : std::optional(held.toStdString()));
        QVERIFY2(shown.firstLine.endsWith(QLatin1Char(' ') + value),
                 qPrintable(shown.firstLine + QStringLiteral(" / ") + header));
        if (view.needsTrigger)
            QVERIFY(view.triggered);
    }

    // The analog unit's whole menu through each release, as the other controllers run it.
    void analogUnitWalk_data()
    {
        QTest::addColumn<QString>("release");
        for (const QString& release : kAr488Releases)
            QTest::newRow(qPrintable(release)) << release;
    }
    void analogUnitWalk()
    {
        QFETCH(QString, release);
        Ar488Oracle& oracle = *m_oracles.at(release);
        ThreadedDriver driver(prologix::PrologixDriver::serial(oracle.pty()));
        OracleWindow window(driver, m_clock, oracle);
        const std::size_t start = window.walkAnalogUnit();
        const QString held = oracle.value(QStringLiteral("saved 7352A VOLT:OFFS"));
        checkAnalogWalk(oracle.messages().mid(static_cast<qsizetype>(start)), analogWalk::kEntry,
                        oracle.unit(analogWalk::kEntry),
                        held == QLatin1String("?") ? std::nullopt
                                                   : std::optional(held.toStdString()));
    }

    void cleanupTestCase()
    {
        for (const auto& [release, oracle] : m_oracles)
            QVERIFY2(oracle->eepromWrites() == 0, qPrintable(release));
    }
};

QTEST_MAIN(Ar488Window)
#include "tst_ar488_window.moc"
