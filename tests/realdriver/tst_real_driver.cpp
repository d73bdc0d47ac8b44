// SPDX-License-Identifier: GPL-3.0-or-later
// The program's system-driver path end to end: a library with linux-gpib's C interface, loaded by
// path through the program's own loader and driven on the bus thread, configures two units.
#include "gpib/SystemDriver.h"
#include "gpib/ThreadedDriver.h"
#include "logic/Controls.h"
#include "support/TestContext.h"
#include "ui/ConfigWindow.h"
#include "ui/MainWindow.h"

#include <QLibrary>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

using namespace gpibconfig;

namespace {

QString libraryPath() { return QStringLiteral(FAKEGPIB_PATH); }

struct Fixture {
    std::unique_ptr<ThreadedDriver> driver;
    ProgramState state;
    std::unique_ptr<GPIB32> gpib;
    test::ManualClock clock;
    test::CountingNotifier notifier;
    std::unique_ptr<AppContext> app;
    QLibrary side{libraryPath()};
    const char* (*trace)() = nullptr;
    void (*powerCycle)(const char*) = nullptr;

    Fixture()
    {
        auto system = SystemDriver::load({libraryPath()});
        QVERIFY2(system->usable(), qPrintable(system->missingSymbols().join(QLatin1Char(','))));
        QCOMPARE(system->flavour(), DriverFlavour::LinuxGpib);
        driver = std::make_unique<ThreadedDriver>(std::move(system));
        gpib = std::make_unique<GPIB32>(*driver);
        app = std::make_unique<AppContext>(AppContext{state, *gpib, clock, notifier});
        QVERIFY(side.load());
        trace = reinterpret_cast<const char* (*)()>(side.resolve("fakegpib_trace"));
        powerCycle = reinterpret_cast<void (*)(const char*)>(side.resolve("fakegpib_power_cycle"));
        QVERIFY(trace && powerCycle);
    }

    QStringList traceLines() const
    {
        return QString::fromUtf8(trace()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
};

void click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton); }

// Closes the configuration window when the timer callback that drives it returns, also when a
// failed check returned early: the window is modal, and left open it would keep the test waiting
// until the runner's time limit instead of failing at once.
class CloseWhenDone {
public:
    explicit CloseWhenDone(ConfigWindow& window)
        : m_window(window)
    {
    }
    ~CloseWhenDone()
    {
        if (m_window.isVisible())
            m_window.done(QDialog::Rejected);
    }
    CloseWhenDone(const CloseWhenDone&) = delete;
    CloseWhenDone& operator=(const CloseWhenDone&) = delete;

private:
    ConfigWindow& m_window;
};

template <typename T = QWidget> T* child(QWidget* parent, const QString& name)
{
    auto* w = parent->findChild<T*>(name);
    if (!w)
        qFatal("no control %s", qPrintable(name));
    return w;
}

// Runs one configuration of `entry` at `address` through the real windows: every function
// advanced, `value` set on function `setRow`, then saved.
void configure(Fixture& f, const QString& entry, int address, int functions, int setRow,
               const QString& value)
{
    MainWindow main(*f.app);
    main.show();
    bool ran = false;
    main.setConfigWindowHook([&](ConfigWindow& window) {
        QTimer::singleShot(0, &window, [&] {
            const CloseWhenDone close(window);
            ran = true;
            auto* addr = child<QLineEdit>(&window, ctl::txtAddr);
            QTest::keyClicks(addr, QString::number(address));
            click(child(&window, ctl::cmdSet));
            QVERIFY2(!child(&window, ctl::txtGPIBErr)->isVisible(),
                     qPrintable(child<QPlainTextEdit>(&window, ctl::txtGPIBErr)->toPlainText()));
            for (int fn = 1; fn <= functions; ++fn) {
                if (fn == setRow) {
                    QTest::keyClicks(child<QLineEdit>(&window, ctl::txtChoice), value);
                    click(child(&window, ctl::cmdEnter));
                }
                click(child(&window, ctl::cmdEnter));
            }
            QVERIFY(child(&window, ctl::cmdSav)->isEnabled());
            click(child(&window, ctl::cmdSav));
            QVERIFY(!child(&window, ctl::txtGPIBErr)->isVisible());
            click(child(&window, ctl::cmdDone));
        });
    });
    auto* list = child<QListWidget>(&main, ctl::listUnit);
    list->setCurrentItem(list->findItems(entry, Qt::MatchExactly).front());
    click(child(&main, ctl::cmdConfig));
    auto* cont = child<QPushButton>(&main, ctl::cmdContinue);
    if (cont->isEnabled()) {
        f.powerCycle(entry.toLatin1().constData());
        click(cont);
    }
    QVERIFY(ran);
}

} // namespace

class RealDriverPath : public QObject {
    Q_OBJECT

private slots:
    void lockingModelThroughTheLoadedLibrary()
    {
        Fixture f;
        configure(f, QStringLiteral("7321"), 5, 3, 2, QStringLiteral("24"));
        const QStringList lines = f.traceLines();
        // The program's "line feed with END" arrived as such after two translations.
        QVERIFY(lines.contains(QStringLiteral(
            "Send(0, 0x0005, \"SYST:COMM:GPIB:ADDR?\", 1) -> ibsta=0x2128 iberr=0 ibcntl=21")));
        QVERIFY(lines.contains(QStringLiteral(
            "Receive(0, 0x0005, 18, 0) -> ibsta=0x2124 iberr=0 ibcntl=2 data=\"5\\n\"")));
        QVERIFY(lines.filter(QStringLiteral("\"*ESE 24\", 1)")).size() == 1);
        QVERIFY(lines.filter(QStringLiteral("\"*SAV 0\", 1) -> ibsta=0x2128")).size() == 1);
        for (const QString& l : lines.filter(QStringLiteral("Send(")))
            QVERIFY2(l.contains(QStringLiteral("\", 1) -> ")), qPrintable(l));
    }

    void triggerModelThroughTheLoadedLibrary()
    {
        Fixture f;
        configure(f, QStringLiteral("7374A"), 22, 17, 4, QStringLiteral("19200"));
        const QStringList lines = f.traceLines();
        QVERIFY(
            lines.contains(QStringLiteral("SendCmds(0, 36 08) -> ibsta=0x0130 iberr=0 ibcntl=2")));
        QVERIFY(lines.filter(QStringLiteral("\"SYST:COMM:SER:BAUD 19200\", 1)")).size() == 1);
        QVERIFY(
            lines.filter(QRegularExpression(QStringLiteral("^Receive.* -> ibsta=0xC"))).isEmpty());
    }

    // linux-gpib's FindLstn, bound from the library and run on the bus thread.
    void findListenersThroughTheLoadedLibrary()
    {
        Fixture f;
        QVERIFY(f.gpib->canFindListeners());
        QVERIFY(!f.gpib->SendIFC(0).failed());
        std::vector<std::int16_t> primaries;
        for (std::int16_t pad = 20; pad <= 30; ++pad)
            primaries.push_back(pad);
        std::vector<std::int16_t> found;
        const GpibStatus status = f.gpib->FindLstn(0, primaries, found, 16);
        QVERIFY(!status.failed());
        // 20 to 24, the 7379's channels at 25 (secondaries 11 to 14), 26 and 27.
        const std::vector<std::int16_t> expected{20,     21,     22,     23, 24, 0x6B19,
                                                 0x6C19, 0x6D19, 0x6E19, 26, 27};
        QCOMPARE(status.ibcntl, 11);
        QCOMPARE(found, expected);
    }

    void statusOfAFailureCrossesTheBoundary()
    {
        Fixture f;
        MainWindow main(*f.app);
        main.show();
        QString report;
        main.setConfigWindowHook([&](ConfigWindow& window) {
            QTimer::singleShot(0, &window, [&] {
                const CloseWhenDone close(window);
                QTest::keyClicks(child<QLineEdit>(&window, ctl::txtAddr), QStringLiteral("28"));
                click(child(&window, ctl::cmdSet));
                report = child<QPlainTextEdit>(&window, ctl::txtGPIBErr)->toPlainText();
            });
        });
        auto* list = child<QListWidget>(&main, ctl::listUnit);
        list->setCurrentRow(4); // 7321
        click(child(&main, ctl::cmdConfig));
        // Nothing answers at 28: the device clear goes through, the first query times out.
        QVERIFY2(
            report.startsWith(QStringLiteral("Receive Error ibsta = &HC124 <   ERR TIMO CMPL CIC "
                                             "LACS >iberr =  6 EABO <Op. aborted>ibcnt =  0")),
            qPrintable(report));
        // linux-gpib's board is reset, not closed.
        QVERIFY(f.traceLines().last().startsWith(QStringLiteral("ibonl(0, 1)")));
    }
};

QTEST_MAIN(RealDriverPath)
#include "tst_real_driver.moc"
