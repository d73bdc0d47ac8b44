// SPDX-License-Identifier: GPL-3.0-or-later
#include "logic/Controls.h"
#include "models/Models.h"
#include "support/BusRecords.h"
#include "support/TestContext.h"
#include "ui/ConfigWindow.h"
#include "ui/HintBox.h"
#include "ui/MainWindow.h"
#include "ui/WindowBuilder.h"
#include "ui/WindowDefinitions.h"

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTextDocumentFragment>
#include <QTimer>
#include <algorithm>
#include <vector>

using namespace gpibconfig;

class MainWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::FakeDriver> driver;
    std::unique_ptr<test::TestContext> ctx;
    std::unique_ptr<MainWindow> window;
    QStringList modelsSeenByConfigWindow;

    template <typename T> T* find(const QString& name) const
    {
        auto* w = window->findChild<T*>(name);
        if (!w)
            qFatal("no control %s", qPrintable(name));
        return w;
    }
    QListWidget* list() const { return find<QListWidget>(ctl::listUnit); }
    QPushButton* button(const QString& name) const { return find<QPushButton>(name); }
    QString message() const { return find<QPlainTextEdit>(ctl::txtGPIBErr)->toPlainText(); }
    bool messageShown() const { return find<QPlainTextEdit>(ctl::txtGPIBErr)->isVisible(); }

    void clickRow(const QString& entry)
    {
        const auto items = list()->findItems(entry, Qt::MatchExactly);
        QVERIFY(!items.isEmpty());
        const QRect r = list()->visualItemRect(items.front());
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, r.center());
    }

private slots:
    void init()
    {
        driver = std::make_unique<test::FakeDriver>();
        ctx = std::make_unique<test::TestContext>(*driver);
        window = std::make_unique<MainWindow>(ctx->app);
        modelsSeenByConfigWindow.clear();
        // Every configuration window records its title and closes itself at once.
        window->setConfigWindowHook([this](ConfigWindow& config) {
            QTimer::singleShot(0, &config, [this, &config] {
                modelsSeenByConfigWindow << config.findChild<QLineEdit*>(ctl::txtTitle)->text();
                config.logic().leave();
                config.logic().leave();
            });
        });
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }

    void cleanup()
    {
        window.reset();
        ctx.reset();
        driver.reset();
    }

    // A definition can only name members of its screen; what the compiler cannot see is a member
    // left out (it would never show what the logic puts into it), one drawn twice (two widgets of
    // one object name), or a control placed in a frame drawn after it (it would have no parent).
    void everyControlOfTheLogicIsDrawnOnceAfterItsFrame()
    {
        MainScreen mainScreen;
        ConfigScreen configScreen;
        ChannelScreen channelScreen;
        NoticeScreen noticeScreen;
        ControllerScreen controllerScreen;
        const std::pair<WindowDef, const Screen*> windows[] = {
            {mainWindowDef(mainScreen), &mainScreen},
            {configWindowDef(configScreen), &configScreen},
            {channelDialogDef(channelScreen, *modelForEntry(QStringLiteral("7379"))), &channelScreen},
            {noticeDialogDef(noticeScreen), &noticeScreen},
            {controllerDialogDef(controllerScreen), &controllerScreen}};
        for (const auto& [def, screen] : windows) {
            std::vector<const Control*> drawn;
            for (const ControlDef& c : def.controls) {
                QVERIFY2(!c.container || std::count(drawn.begin(), drawn.end(), c.container) == 1,
                         qPrintable(def.title + QLatin1Char(' ') + c.control->name()));
                drawn.push_back(c.control);
            }
            std::vector<const Control*> members(screen->controls().begin(),
                                                screen->controls().end());
            std::sort(drawn.begin(), drawn.end());
            std::sort(members.begin(), members.end());
            QVERIFY2(drawn == members, qPrintable(def.title));
        }
    }

    void controlsCarryTheirNamesCaptionsAndToolTips()
    {
        const WindowDef def = mainWindowDef(window->screen());
        const int dpi = window->logicalDpiX();
        for (const ControlDef& c : def.controls) {
            QWidget* w = window->findChild<QWidget*>(c.control->name());
            QVERIFY2(w, qPrintable(c.control->name()));
            QCOMPARE(w->toolTip(), c.toolTip);
            QCOMPARE(w->geometry(),
                     QRect(twipsToPixels(c.rect.left, dpi), twipsToPixels(c.rect.top, dpi),
                           twipsToPixels(c.rect.width, dpi), twipsToPixels(c.rect.height, dpi)));
        }
        QCOMPARE(find<QLabel>(ctl::labelTitle)->text(),
                 QStringLiteral("WELCOME TO ZEB's GPIB CONFIGUATION PROGRAM"));
        QCOMPARE(find<QLabel>(ctl::labelRev)->text(), QStringLiteral("Revised  12-01-2008"));
        QCOMPARE(button(ctl::cmdConfig)->text(), QStringLiteral("Configure"));
        QCOMPARE(button(ctl::cmdContinue)->toolTip(),
                 QStringLiteral("Continues configuration after power cycling the device"));
        QCOMPARE(button(ctl::cmdExit)->text(), QStringLiteral("Exit"));
        QCOMPARE(window->size(), QSize(twipsToPixels(7725, dpi), twipsToPixels(6405, dpi)));
        const QPicture logo = find<QLabel>(ctl::ImageZEB)->picture();
        QCOMPARE(logo.boundingRect(), QRect(0, 0, 847, 275));
    }

    void tabOrderFollowsTheWindowDefinition()
    {
        QWidget* w = list();
        const QStringList expected = {ctl::cmdConfig, ctl::txtGPIBErr, ctl::cmdContinue,
                                      ctl::cmdExit};
        for (const QString& name : expected) {
            w = w->nextInFocusChain();
            while (w->focusPolicy() == Qt::NoFocus)
                w = w->nextInFocusChain();
            QCOMPARE(w->objectName(), name);
        }
    }

    void atLoadNothingIsSelectedEvenWithTheFocusInTheList()
    {
        QCOMPARE(list()->count(), 27);
        QVERIFY(list()->selectedItems().isEmpty());
        QVERIFY(!button(ctl::cmdConfig)->isEnabled());
        QVERIFY(!button(ctl::cmdContinue)->isEnabled());
        QVERIFY(!messageShown());
        list()->setFocus();
        QTest::qWait(10);
        QVERIFY(list()->selectedItems().isEmpty());
        QVERIFY(!button(ctl::cmdConfig)->isEnabled());
        QVERIFY(driver->calls.empty());
    }

    void clickingAnEntryEnablesConfigure()
    {
        clickRow(QStringLiteral("7357"));
        QVERIFY(button(ctl::cmdConfig)->isEnabled());
    }

    void keyboardSelectionCountsAsAClick()
    {
        list()->setFocus();
        QTest::keyClick(list(), Qt::Key_Down);
        QTest::keyClick(list(), Qt::Key_Down);
        QVERIFY(!list()->selectedItems().isEmpty());
        QVERIFY(button(ctl::cmdConfig)->isEnabled());
        QTest::mouseClick(button(ctl::cmdConfig), Qt::LeftButton);
        QCOMPARE(ctx->state.modelEntry, list()->selectedItems().front()->text());
    }

    void typingTheStartOfAModelNumberSelectsIt()
    {
        list()->setFocus();
        QTest::keyClicks(list(), QStringLiteral("7352"));
        QCOMPARE(list()->selectedItems().size(), 1);
        QCOMPARE(list()->selectedItems().front()->text(), QStringLiteral("7352A"));
        QVERIFY(button(ctl::cmdConfig)->isEnabled());
    }

    void enterOnAnEntryActsAsADoubleClick()
    {
        list()->setFocus();
        QTest::keyClicks(list(), QStringLiteral("7321"));
        QTest::keyClick(list(), Qt::Key_Return);
        QCOMPARE(modelsSeenByConfigWindow,
                 QStringList({QStringLiteral(" 7321  CONFIGURATION ROUTINE")}));
        QCOMPARE(test::requests(driver->calls),
                 (std::vector{BusCall::sendIfc(0), BusCall::ibsre(0, 1), BusCall::ibtmo(0, 11)}));
    }

    void doubleClickConfigures()
    {
        const auto item = list()->findItems(QStringLiteral("7385A"), Qt::MatchExactly).front();
        const QPoint at = list()->visualItemRect(item).center();
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list()->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(modelsSeenByConfigWindow,
                 QStringList({QStringLiteral(" 7385  CONFIGURATION ROUTINE")}));
    }

    void sendIfcFailureShowsTheReportAndKeepsConfigureUsable()
    {
        driver->statusFor = test::failing(BusCall::Kind::SendIFC, err::ENEB);
        clickRow(QStringLiteral("7311"));
        QTest::mouseClick(button(ctl::cmdConfig), Qt::LeftButton);
        QVERIFY(messageShown());
        QCOMPARE(message(), QStringLiteral("SendIFC Error ibsta = &H8100 <   ERR CMPL >iberr =  7 "
                                           "ENEB <No GPIB board>ibcnt =  0"));
        QVERIFY(modelsSeenByConfigWindow.isEmpty());
        QVERIFY(button(ctl::cmdConfig)->isEnabled());

        driver->statusFor = nullptr;
        QTest::mouseClick(button(ctl::cmdConfig), Qt::LeftButton);
        QVERIFY(!messageShown());
        QCOMPARE(modelsSeenByConfigWindow.size(), 1);
    }

    void powerCyclePathWithAChangedSelectionBeforeContinue()
    {
        clickRow(QStringLiteral("7374B"));
        QTest::mouseClick(button(ctl::cmdConfig), Qt::LeftButton);
        QVERIFY(messageShown());
        QCOMPARE(message(),
                 QStringLiteral("Turn unit off and back on\nPress Continue when RDY LED on."));
        QVERIFY(button(ctl::cmdContinue)->isEnabled());
        QVERIFY(modelsSeenByConfigWindow.isEmpty());

        clickRow(QStringLiteral("7311"));
        QTest::mouseClick(button(ctl::cmdContinue), Qt::LeftButton);
        QCOMPARE(modelsSeenByConfigWindow,
                 QStringList({QStringLiteral(" 7374  CONFIGURATION ROUTINE")}));
        QCOMPARE(ctx->state.modelEntry, QStringLiteral("7374B"));
        QVERIFY(!button(ctl::cmdContinue)->isEnabled());
        QVERIFY(!messageShown());
        QCOMPARE(driver->calls.size(), 3u);
        // Back from the configuration window the main window is as it was.
        QCOMPARE(list()->selectedItems().front()->text(), QStringLiteral("7311"));
        QVERIFY(button(ctl::cmdConfig)->isEnabled());
    }

    void aDriversExplanationComesUpOnceClearOfTheReport()
    {
        // Markup in a driver's words (a device's answer may be quoted) is shown as it is.
        const QString hint = QStringLiteral("No GPIB driver library was found (tried "
                                            "libgpib.so.0). Install the <b>GPIB</b> driver.");
        test::FakeDriver missing;
        missing.explanation = hint;
        missing.statusFor = test::failing(test::everyCall, err::EDVR, sta::ERR);
        test::TestContext local(missing);
        MainWindow w(local.app);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.findChild<QListWidget*>(ctl::listUnit)->setCurrentRow(0);
        auto* configure = w.findChild<QPushButton*>(ctl::cmdConfig);
        auto* status = w.findChild<QPlainTextEdit*>(ctl::txtGPIBErr);
        const QString report = QStringLiteral(
            "SendIFC Error ibsta = &H8000 <   ERR >iberr =  0 EDVR <DOS Error>ibcnt =  0");

        QTest::mouseClick(configure, Qt::LeftButton);
        QCOMPARE(status->toPlainText(), report);
        QCOMPARE(status->accessibleDescription(), hint);
        QCOMPARE(QTextDocumentFragment::fromHtml(status->toolTip()).toPlainText(), hint);
        auto* box = w.findChild<QMessageBox*>(QString::fromLatin1(kHintBoxName));
        QVERIFY(box);
        QTRY_VERIFY(box->isVisible());
        QCOMPARE(box->text(), hint);
        QCOMPARE(box->textFormat(), Qt::PlainText);
        QVERIFY(box->informativeText().contains(QStringLiteral("gpibconfig-sim")));
        QCOMPARE(QApplication::activeModalWidget(), box);
        const QRect statusOnScreen(status->mapToGlobal(QPoint(0, 0)), status->size());
        QVERIFY2(!box->frameGeometry().intersects(statusOnScreen), "the box hides the report");
        // Keyboard and screen-reader users: the focus is in the box, its words on a label that a
        // reader reaches and in its description, and Return closes it.
        QTRY_VERIFY(box->isActiveWindow());
        QWidget* focus = QApplication::focusWidget();
        QVERIFY(focus && box->isAncestorOf(focus));
        QStringList read;
        for (QLabel* label : box->findChildren<QLabel*>())
            read << QAccessible::queryAccessibleInterface(label)->text(QAccessible::Name);
        QVERIFY2(read.contains(hint), qPrintable(read.join(QLatin1Char('|'))));
        QCOMPARE(QAccessible::queryAccessibleInterface(box)->text(QAccessible::Description), hint);
        QTest::keyClick(focus, Qt::Key_Return);
        QTRY_VERIFY(!w.findChild<QMessageBox*>(QString::fromLatin1(kHintBoxName)));

        // Pressed again: the same report, the same tool tip, no box to close again.
        QTest::mouseClick(configure, Qt::LeftButton);
        QCOMPARE(status->toPlainText(), report);
        QCOMPARE(status->accessibleDescription(), hint);
        QCoreApplication::processEvents();
        QVERIFY(!w.findChild<QMessageBox*>(QString::fromLatin1(kHintBoxName)));
    }

    void theExplanationGoesWhereItLeavesTheReportInSight_data()
    {
        QTest::addColumn<QRect>("window");
        QTest::addColumn<QRect>("keepClear");
        QTest::addColumn<QPoint>("expected");
        QTest::newRow("above the report, centred over the window")
            << QRect(100, 100, 600, 500) << QRect(140, 450, 400, 40) << QPoint(200, 230);
        QTest::newRow("no room above: below the report")
            << QRect(100, 0, 600, 400) << QRect(140, 100, 400, 40) << QPoint(200, 160);
        QTest::newRow("no room either way: at the top of the screen")
            << QRect(100, 0, 600, 1000) << QRect(140, 200, 400, 700) << QPoint(200, 0);
        QTest::newRow("window at the screen's left edge: kept on the screen")
            << QRect(-300, 100, 400, 500) << QRect(-250, 450, 300, 40) << QPoint(0, 230);
    }

    void theExplanationGoesWhereItLeavesTheReportInSight()
    {
        QFETCH(QRect, window);
        QFETCH(QRect, keepClear);
        const QRect available(0, 0, 1920, 1040);
        const QSize size(400, 200);
        const QPoint at = placeClearOf(size, window, keepClear, available, 20);
        QTEST(at, "expected");
        const QRect box(at, size);
        if (QTest::currentDataTag() != QByteArray("no room either way: at the top of the screen"))
            QVERIFY(!box.intersects(keepClear));
        QVERIFY(available.contains(box));
    }

    void exitEndsTheProgram()
    {
        QSignalSpy destroyed(window.get(), &QObject::destroyed);
        QTest::mouseClick(button(ctl::cmdExit), Qt::LeftButton);
        QVERIFY(!window->isVisible());
        QVERIFY(driver->calls.empty());
    }
};

QTEST_MAIN(MainWindowTest)
#include "tst_main_window.moc"
