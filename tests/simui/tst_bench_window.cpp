// SPDX-License-Identifier: GPL-3.0-or-later
// The bench window over a live bench: what it lists, its power switches, the trace view, the
// selected unit's settings, keeping up with bursts, lifetimes, placement and modal windows.
#include "logic/Controls.h"
#include "sim/Bench.h"
#include "simui/BenchWindow.h"
#include "support/TestContext.h"
#include "ui/ConfigWindow.h"
#include "ui/MainWindow.h"

#include <QAccessible>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

using namespace gpibconfig;
using namespace gpibconfig::sim;

class BenchWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<Bench> bench;
    std::unique_ptr<BenchWindow> window;

    template <typename T> T* find(const QString& name) const
    {
        auto* w = window->findChild<T*>(name);
        if (!w)
            qFatal("no control %s", qPrintable(name));
        return w;
    }
    QTableWidget* units() const { return find<QTableWidget>(QStringLiteral("tblUnits")); }
    QTableWidget* settings() const { return find<QTableWidget>(QStringLiteral("tblSettings")); }
    QPlainTextEdit* traceView() const { return find<QPlainTextEdit>(QStringLiteral("txtTrace")); }
    QPushButton* powerButton(const QString& model) const
    {
        return find<QPushButton>(QStringLiteral("btnPowerCycle_") + model);
    }
    int rowOf(const QString& model) const
    {
        return static_cast<int>(bench->unitId(model.toStdString()));
    }
    // A cell by its column title.
    static QString cell(QTableWidget* table, int row, const QString& title)
    {
        for (int c = 0; c < table->columnCount(); ++c) {
            if (table->horizontalHeaderItem(c)->text() == title)
                return table->item(row, c) ? table->item(row, c)->text() : QString();
        }
        qFatal("no column %s", qPrintable(title));
    }
    QString unitCell(const QString& model, const QString& title) const
    {
        return cell(units(), rowOf(model), title);
    }
    QStringList traceLines() const
    {
        const QString text = traceView()->toPlainText();
        return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
    }
    QString lastTraceLine() const
    {
        const QStringList lines = traceLines();
        return lines.isEmpty() ? QString() : lines.constLast();
    }
    // The settings table as "[channel ]header=current/saved" rows.
    QStringList settingsRows() const
    {
        QStringList rows;
        QTableWidget* t = settings();
        for (int r = 0; r < t->rowCount(); ++r) {
            const QString channel = t->verticalHeader()->isVisible()
                                        ? t->verticalHeaderItem(r)->text() + QLatin1Char(' ')
                                        : QString();
            rows << channel + cell(t, r, QStringLiteral("Setting")) + QLatin1Char('=') +
                        cell(t, r, QStringLiteral("Current")) + QLatin1Char('/') +
                        cell(t, r, QStringLiteral("Saved"));
        }
        return rows;
    }
    void send(Addr4882 address, const QByteArray& text)
    {
        bench->driver().Send(0, address, reinterpret_cast<const std::uint8_t*>(text.constData()),
                             text.size(), eot::NLend);
    }
    // Board prepared, unit triggered when it needs it, power-on bit read away: as the program
    // leaves a unit it is about to configure. Returns where it answers (a 7379: channel 11).
    Addr4882 ready(const QString& model)
    {
        const UnitView unit = bench->unit(bench->unitId(model.toStdString()));
        const int secondary = unit.channels.front().secondary;
        const auto address =
            static_cast<Addr4882>(unit.primary | (secondary < 0 ? 0 : (0x60 + secondary) << 8));
        bench->driver().SendIFC(0);
        bench->driver().ibtmo(0, 11);
        if (unit.needsTrigger) {
            const std::uint8_t trigger[] = {0x3F, static_cast<std::uint8_t>(0x20 + unit.primary),
                                            0x08};
            bench->driver().SendCmds(0, trigger, 3);
        }
        send(address, "*ESR?");
        std::uint8_t reply[32];
        bench->driver().Receive(0, address, reply, sizeof reply, 0);
        return address;
    }
    void select(const QString& model) { units()->selectRow(rowOf(model)); }

private slots:
    void init()
    {
        bench = makeDefaultBench();
        window = std::make_unique<BenchWindow>(*bench);
        window->resize(window->sizeHint());
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }

    void cleanup()
    {
        window.reset();
        bench.reset();
    }

    void listsEveryUnitOfTheDefaultBench_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<QString>("address");
        const std::vector<std::string> models = benchModels();
        for (std::size_t i = 0; i < models.size(); ++i) {
            QTest::newRow(models[i].c_str())
                << QString::fromStdString(models[i])
                << (models[i] == "7379" ? QStringLiteral("25 / 11-14") : QString::number(i + 1));
        }
    }

    void listsEveryUnitOfTheDefaultBench()
    {
        QFETCH(QString, model);
        QCOMPARE(units()->rowCount(), 27);
        QCOMPARE(unitCell(model, QStringLiteral("Model")), model);
        QTEST(unitCell(model, QStringLiteral("Address")), "address");
        const UnitView unit = bench->unit(bench->unitId(model.toStdString()));
        QCOMPARE(unitCell(model, QStringLiteral("Mode")),
                 unit.needsTrigger ? QStringLiteral("waiting for trigger")
                                   : QStringLiteral("ready"));
        QCOMPARE(unitCell(model, QStringLiteral("Lock")),
                 unit.lockable ? QStringLiteral("unlocked") : QStringLiteral("-"));
        QCOMPARE(unitCell(model, QStringLiteral("ESR")), unit.channels.size() == 4
                                                             ? QStringLiteral("128, 128, 128, 128")
                                                             : QStringLiteral("128"));
        QCOMPARE(powerButton(model)->accessibleName(), QStringLiteral("Power cycle ") + model);
    }

    void addressMovesAndTriggersShowInTheList()
    {
        const Addr4882 at = ready(QStringLiteral("7311"));
        send(at, "SYST:COMM:GPIB:ADDR 31");
        QTRY_COMPARE(unitCell(QStringLiteral("7311"), QStringLiteral("Address")),
                     QStringLiteral("sw 1"));
        send(at, "SYST:COMM:GPIB:ADDR 9");
        QTRY_COMPARE(unitCell(QStringLiteral("7311"), QStringLiteral("Address")),
                     QStringLiteral("9"));
        ready(QStringLiteral("7374B"));
        QTRY_COMPARE(unitCell(QStringLiteral("7374B"), QStringLiteral("Mode")),
                     QStringLiteral("triggered"));
    }

    void powerCycleButtonSwitchesItsUnitOffAndOn_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<QString>("event");
        QTest::addColumn<QString>("esr");
        QTest::addColumn<QString>("mode");
        QTest::newRow("single channel")
            << QStringLiteral("7311") << QStringLiteral("# 7311 at 1: power cycle")
            << QStringLiteral("128") << QStringLiteral("ready");
        QTest::newRow("needs a trigger")
            << QStringLiteral("7374B") << QStringLiteral("# 7374B at 23: power cycle")
            << QStringLiteral("128") << QStringLiteral("waiting for trigger");
        QTest::newRow("four channels")
            << QStringLiteral("7379") << QStringLiteral("# 7379 at 25: power cycle")
            << QStringLiteral("128, 128, 128, 128") << QStringLiteral("ready");
    }

    void powerCycleButtonSwitchesItsUnitOffAndOn()
    {
        QFETCH(QString, model);
        QFETCH(QString, event);
        QFETCH(QString, esr);
        ready(model);
        QTRY_VERIFY(unitCell(model, QStringLiteral("ESR")).startsWith(QLatin1Char('0')));

        QTest::mouseClick(powerButton(model), Qt::LeftButton);

        QCOMPARE(QString::fromStdString(bench->trace().lines().back()), event);
        QTRY_COMPARE(lastTraceLine(), event);
        QTRY_COMPARE(unitCell(model, QStringLiteral("ESR")), esr);
        QTEST(unitCell(model, QStringLiteral("Mode")), "mode");
        QCOMPARE(QString::fromStdString(bench->trace().text()).count(QStringLiteral("power cycle")),
                 1);
    }

    void traceViewShowsDriverCallsAndClearsOnlyItself()
    {
        bench->driver().SendIFC(0);
        QTRY_COMPARE(traceLines(),
                     QStringList({QStringLiteral("SendIFC(0) -> ibsta=0x0130 iberr=0 ibcntl=0")}));
        bench->driver().ibtmo(0, 11);
        QTRY_COMPARE(lastTraceLine(),
                     QStringLiteral("ibtmo(0, 11) -> ibsta=0x0130 iberr=0 ibcntl=0"));

        // A line still on its way to the view is cleared with the rest.
        bench->driver().ibsre(0, 1);
        QTest::mouseClick(find<QPushButton>(QStringLiteral("btnClearTrace")), Qt::LeftButton);
        QVERIFY(traceLines().isEmpty());
        QCOMPARE(bench->trace().size(), 3u);
        bench->driver().ibonl(0, 0);
        QTRY_COMPARE(traceLines().size(), 1);
        QVERIFY(lastTraceLine().startsWith(QStringLiteral("ibonl(0, 0) -> ")));
    }

    void traceViewFollowsTheNewestLineUnlessScrolledUp()
    {
        QScrollBar* bar = traceView()->verticalScrollBar();
        for (int i = 0; i < 300; ++i)
            bench->trace().addEvent("first " + std::to_string(i));
        QTRY_COMPARE(traceLines().size(), 300);
        QVERIFY(bar->maximum() > 0);
        QCOMPARE(bar->value(), bar->maximum());

        // Someone scrolled up to read: new lines must not pull the view away.
        bar->setValue(10);
        const int oldMaximum = bar->maximum();
        for (int i = 0; i < 300; ++i)
            bench->trace().addEvent("second " + std::to_string(i));
        QTRY_COMPARE(traceLines().size(), 600);
        QVERIFY(bar->maximum() > oldMaximum);
        QCOMPARE(bar->value(), 10);

        bar->setValue(bar->maximum());
        bench->trace().addEvent("third");
        QTRY_COMPARE(lastTraceLine(), QStringLiteral("# third"));
        QCOMPARE(bar->value(), bar->maximum());
    }

    void traceViewKeepsTheNewestLinesOnly()
    {
        const int total = BenchWindow::kTraceViewLines + 500;
        for (int i = 0; i < total; ++i)
            bench->trace().addEvent("line " + std::to_string(i));
        QTRY_COMPARE(lastTraceLine(), QStringLiteral("# line %1").arg(total - 1));
        QCOMPARE(traceView()->blockCount(), BenchWindow::kTraceViewLines);
        QCOMPARE(traceLines().constFirst(), QStringLiteral("# line 500"));
    }

    void settingsFollowTheSelection()
    {
        QCOMPARE(settingsRows().constFirst(),
                 QStringLiteral("SYSTem:COMMunicate:GPIB:ADDRess=1/1"));

        select(QStringLiteral("7379"));
        const QStringList rows = settingsRows();
        for (const int secondary : {11, 12, 13, 14}) {
            const QString channel = QStringLiteral("ch %1 ").arg(secondary);
            QVERIFY2(
                rows.contains(channel + QStringLiteral("SYSTem:COMMunicate:GPIB:ADDRess=25/25")),
                qPrintable(rows.join(QLatin1Char('\n'))));
            QVERIFY(rows.contains(channel + QStringLiteral("*ESE=0/0")));
        }

        select(QStringLiteral("7321"));
        QCOMPARE(settingsRows(),
                 QStringList({QStringLiteral("SYSTem:COMMunicate:GPIB:ADDRess=5/5"),
                              QStringLiteral("CALibration:LOCK=0/0"), QStringLiteral("*ESE=0/0"),
                              QStringLiteral("*SRE=0/0"), QStringLiteral("*PSC=1/1")}));
    }

    // Which unit a device clear (the program's Set Address) selects, however the bench is set
    // up; an empty model: the selection made by hand stays.
    void setAddressSelectsTheUnitTheRunTalksTo_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<int>("address");
        QTest::addColumn<QString>("expected");
        QTest::newRow("primary") << "" << 0x0005 << "7321";
        QTest::newRow("typed with a secondary") << "" << 0x6C05 << "7321";
        QTest::newRow("channel of the four-channel unit") << "" << 0x6C19 << "7379";
        QTest::newRow("four-channel unit without its secondary") << "" << 0x0019 << "7379";
        QTest::newRow("nobody at the address") << "" << 0x001C << "";
        QTest::newRow("no device named") << "" << 0xFFFF << "";
        QTest::newRow("device clear failed") << "fail" << 0x0005 << "";
        QTest::newRow("moved onto another unit: the first talks") << "move" << 0x0005 << "7311";
        QTest::newRow("the first switched off: the one that talks")
            << "move off" << 0x0005 << "7321";
        QTest::newRow("all there switched off: the first still") << "all off" << 0x0005 << "7311";
    }

    void setAddressSelectsTheUnitTheRunTalksTo()
    {
        QFETCH(QString, setup);
        QFETCH(int, address);
        QFETCH(QString, expected);
        if (setup.startsWith(QLatin1String("move")) || setup == QLatin1String("all off")) {
            send(ready(QStringLiteral("7311")), "SYST:COMM:GPIB:ADDR 5");
            if (setup != QLatin1String("move"))
                bench->setPower(bench->unitId("7311"), false);
            if (setup == QLatin1String("all off"))
                bench->setPower(bench->unitId("7321"), false);
        }
        if (setup == QLatin1String("fail"))
            bench->failNext(Call::DevClear, err::ENOL);
        select(QStringLiteral("7360"));
        QCoreApplication::processEvents();

        bench->driver().SendIFC(0);
        bench->driver().DevClear(0, static_cast<Addr4882>(address));
        QSignalSpy refreshes(window.get(), &BenchWindow::refreshed);
        QVERIFY(refreshes.wait());
        const QString selected = expected.isEmpty() ? QStringLiteral("7360") : expected;
        QCOMPARE(units()->selectedItems().value(0)->row(), rowOf(selected));
    }

    void settingsOfTheAddressedUnitFollowTheRunUntilAUnitIsPickedByHand()
    {
        const Addr4882 at = ready(QStringLiteral("7357"));
        bench->driver().DevClear(0, at);
        QTRY_COMPARE(units()->selectedItems().value(0)->row(), rowOf(QStringLiteral("7357")));
        send(at, "*ESE 16");
        QTRY_VERIFY(settingsRows().contains(QStringLiteral("*ESE=16/0")));
        // The run moves the unit: the row stays with it.
        send(at, "SYST:COMM:GPIB:ADDR 28");
        QTRY_VERIFY(
            settingsRows().contains(QStringLiteral("SYSTem:COMMunicate:GPIB:ADDRess=28/17")));
        QCOMPARE(units()->selectedItems().value(0)->row(), rowOf(QStringLiteral("7357")));

        // A look at another unit in the middle of the run is not taken away by the run.
        QTest::mouseClick(units()->viewport(), Qt::LeftButton, {},
                          units()->visualItemRect(units()->item(0, 0)).center());
        QCOMPARE(units()->selectedItems().value(0)->row(), 0);
        send(28, "*ESE 32");
        send(28, "*SRE 32");
        QTRY_VERIFY(unitCell(QStringLiteral("7357"), QStringLiteral("Address")) ==
                    QStringLiteral("28"));
        QTest::qWait(20);
        QCOMPARE(units()->selectedItems().value(0)->row(), 0);
        // ... until the next Set Address.
        bench->driver().DevClear(0, 28);
        QTRY_COMPARE(units()->selectedItems().value(0)->row(), rowOf(QStringLiteral("7357")));
        QVERIFY(settingsRows().contains(QStringLiteral("*ESE=32/0")));
    }

    void theChannelARunWorksOnComesIntoSight()
    {
        window->resize(window->width(), 500);
        bench->driver().SendIFC(0);
        for (const int secondary : {12, 14, 11}) {
            bench->driver().DevClear(0, static_cast<Addr4882>(25 | (0x60 + secondary) << 8));
            const QString channel = QStringLiteral("ch %1").arg(secondary);
            QTRY_COMPARE(units()->selectedItems().value(0)->row(), rowOf(QStringLiteral("7379")));
            QTRY_VERIFY2(settings()->verticalHeaderItem(settings()->rowAt(0)) &&
                             settings()->verticalHeaderItem(settings()->rowAt(0))->text() ==
                                 channel,
                         qPrintable(channel));
        }
    }

    void settingsShowCurrentAgainstSaved()
    {
        select(QStringLiteral("7357"));
        const Addr4882 at = ready(QStringLiteral("7357"));

        send(at, "*ESE 16");
        QTRY_VERIFY(settingsRows().contains(QStringLiteral("*ESE=16/0")));
        const int ese = static_cast<int>(settingsRows().indexOf(QStringLiteral("*ESE=16/0")));
        QVERIFY(settings()->item(ese, 1)->font().bold());
        // With power-on clear off a power cycle keeps the register.
        send(at, "*PSC 0");
        QTRY_VERIFY(settingsRows().contains(QStringLiteral("*ESE=16/16")));
        QVERIFY(!settings()->item(ese, 1)->font().bold());

        send(at, "CAL:LOCK 1");
        QTRY_VERIFY(settingsRows().contains(QStringLiteral("CALibration:LOCK=1/0")));
        QCOMPARE(unitCell(QStringLiteral("7357"), QStringLiteral("Lock")),
                 QStringLiteral("locked"));
        send(at, "*SAV 0");
        QTRY_VERIFY(settingsRows().contains(QStringLiteral("CALibration:LOCK=1/1")));
    }

    void aBurstOfCallsIsShownInOneRefresh()
    {
        const Addr4882 at = ready(QStringLiteral("7311"));
        QTRY_COMPARE(unitCell(QStringLiteral("7311"), QStringLiteral("ESR")), QStringLiteral("0"));
        QSignalSpy refreshes(window.get(), &BenchWindow::refreshed);
        const qsizetype linesBefore = traceLines().size();

        for (int i = 1; i <= 200; ++i)
            send(at, QByteArray("*ESE ") + QByteArray::number(i));
        send(at, "NO:SUCH:HEADER 1"); // command error

        // Nothing is redrawn while the calls run, everything once the event loop runs.
        QCOMPARE(refreshes.count(), 0);
        QCOMPARE(unitCell(QStringLiteral("7311"), QStringLiteral("ESR")), QStringLiteral("0"));
        QTRY_COMPARE(refreshes.count(), 1);
        QTest::qWait(20);
        QCOMPARE(refreshes.count(), 1);
        QCOMPARE(unitCell(QStringLiteral("7311"), QStringLiteral("ESR")), QStringLiteral("32"));
        QVERIFY(settingsRows().contains(QStringLiteral("*ESE=200/0")));
        QCOMPARE(traceLines().size(), linesBefore + 201);
    }

    void aWindowComesAndGoesWhileTheBenchCarriesOn()
    {
        window.reset();
        bench->driver().SendIFC(0);
        bench->powerCycle(0);
        QCoreApplication::processEvents();
        // A new window shows what happened before it opened.
        window = std::make_unique<BenchWindow>(*bench);
        QCOMPARE(traceLines().size(), 2);
        QCOMPARE(lastTraceLine(), QStringLiteral("# 7311 at 1: power cycle"));
    }

    void keyboardAndAssistiveTools()
    {
        QStringList expected = {QStringLiteral("tblUnits")};
        for (const std::string& model : benchModels())
            expected << QStringLiteral("btnPowerCycle_") + QString::fromStdString(model);
        expected << QStringLiteral("tblSettings") << QStringLiteral("txtTrace")
                 << QStringLiteral("btnClearTrace");
        QStringList seen;
        QWidget* w = units();
        for (qsizetype i = 0; i < expected.size(); ++i) {
            seen << w->objectName();
            QVERIFY2(!w->accessibleName().isEmpty() && !w->accessibleDescription().isEmpty(),
                     qPrintable(w->objectName()));
            if (qobject_cast<QPushButton*>(w))
                QVERIFY(!w->toolTip().isEmpty());
            do
                w = w->nextInFocusChain();
            while (!(w->focusPolicy() & Qt::TabFocus));
        }
        QCOMPARE(seen, expected);
        // Closing the bench alone must not end the program.
        QVERIFY(!window->testAttribute(Qt::WA_QuitOnClose));
    }

    void screenReadersReadTheBoardAndTheSettingsCaption()
    {
        const auto nameOf = [](QWidget* w) {
            return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name);
        };
        auto* board = find<QLabel>(QStringLiteral("lblBoard"));
        QCOMPARE(nameOf(board), QStringLiteral("Board 0: online, not controller in charge, remote "
                                               "enable off, time-out 10 s"));
        bench->driver().SendIFC(0);
        bench->driver().ibtmo(0, 11);
        QTRY_COMPARE(nameOf(board), QStringLiteral("Board 0: online, controller in charge, remote "
                                                   "enable off, time-out 1 s"));

        auto* label = find<QLabel>(QStringLiteral("lblSettings"));
        select(QStringLiteral("7379"));
        QCOMPARE(nameOf(settings()), QStringLiteral("Settings of the 7379 at 25 / 11-14"));
        QCOMPARE(nameOf(label), nameOf(settings()));
        units()->clearSelection();
        QCOMPARE(nameOf(settings()), QStringLiteral("Settings (no unit selected)"));
        QCOMPARE(nameOf(label), nameOf(settings()));
    }

    void opensBesideTheMainWindow_data()
    {
        QTest::addColumn<QRect>("mainFrame");
        QTest::addColumn<QRect>("available");
        QTest::addColumn<QRect>("expected");
        const QRect screen(0, 0, 1920, 1040);
        QTest::newRow("room on the right")
            << QRect(100, 50, 600, 500) << screen << QRect(708, 50, 1000, 700);
        QTest::newRow("narrower on the right, still beside")
            << QRect(900, 50, 600, 500) << screen << QRect(1508, 50, 412, 700);
        QTest::newRow("no room right, room left")
            << QRect(1300, 50, 600, 500) << screen << QRect(292, 50, 1000, 700);
        QTest::newRow("no room either side: at the screen's right edge")
            << QRect(400, 50, 1200, 500) << QRect(0, 0, 1800, 1000) << QRect(800, 50, 1000, 700);
        QTest::newRow("low main window: moved up to stay on screen")
            << QRect(100, 600, 600, 400) << screen << QRect(708, 340, 1000, 700);
        QTest::newRow("second screen to the right")
            << QRect(2000, 100, 600, 500) << QRect(1920, 0, 1920, 1040)
            << QRect(2608, 100, 1000, 700);
    }

    void opensBesideTheMainWindow()
    {
        QFETCH(QRect, mainFrame);
        QFETCH(QRect, available);
        const QRect placed =
            BenchWindow::placeBeside(mainFrame, available, QSize(1000, 700), QSize(400, 300), 8);
        QTEST(placed, "expected");
        QVERIFY(available.contains(placed));
    }

    void benchStaysUsableWhileTheConfigurationWindowIsOpen()
    {
        test::CountingNotifier notifier;
        ProgramState state;
        GPIB32 gpib(bench->driver());
        AppContext app{state, gpib, bench->clock(), notifier};
        MainWindow main(app);
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        keepBenchUsableUnderDialogs(main);
        auto* list = main.findChild<QListWidget*>(ctl::listUnit);
        list->setCurrentItem(list->findItems(QStringLiteral("7321"), Qt::MatchExactly).front());
        QPushButton* configure = main.findChild<QPushButton*>(ctl::cmdConfig);

        bool benchAnswered = false, mainBlocked = false, windowModal = false;
        QTimer::singleShot(0, this, [&] {
            ConfigWindow* config = main.configWindow();
            QVERIFY(config);
            windowModal = QApplication::activeModalWidget() == config &&
                          config->windowModality() == Qt::WindowModal;
            // Clicks as the window system delivers them, so a blocked window drops them.
            QPushButton* power = powerButton(QStringLiteral("7311"));
            QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {},
                              power->mapTo(window.get(), power->rect().center()));
            benchAnswered =
                bench->trace().text().find("# 7311 at 1: power cycle") != std::string::npos;
            const std::size_t before = bench->trace().size();
            QTest::mouseClick(main.windowHandle(), Qt::LeftButton, {},
                              configure->mapTo(&main, configure->rect().center()));
            mainBlocked = bench->trace().size() == before;
            config->logic().leave();
            if (main.configWindow())
                config->logic().leave();
        });
        QTest::mouseClick(configure, Qt::LeftButton);

        QVERIFY(!main.configWindow());
        QVERIFY(benchAnswered);
        QVERIFY(mainBlocked);
        QVERIFY(windowModal);
    }
};

QTEST_MAIN(BenchWindowTest)
#include "tst_bench_window.moc"
