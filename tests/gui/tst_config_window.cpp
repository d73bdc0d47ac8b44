// SPDX-License-Identifier: GPL-3.0-or-later
#include "logic/Controls.h"
#include "ui/WindowDefinitions.h"
#include "support/TestContext.h"
#include "ui/ConfigWindow.h"
#include "ui/WindowBuilder.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

using namespace gpibconfig;

class ConfigWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::FakeDriver> driver;
    std::unique_ptr<test::TestContext> ctx;
    std::unique_ptr<ConfigWindow> window;

    QWidget* w(const QString& name) const
    {
        auto* widget = window->findChild<QWidget*>(name);
        if (!widget)
            qFatal("no control %s", qPrintable(name));
        return widget;
    }

private slots:
    void init()
    {
        driver = std::make_unique<test::FakeDriver>();
        ctx = std::make_unique<test::TestContext>(*driver);
        ctx->state.modelCode = 7374;
        ctx->state.modelEntry = QStringLiteral("7374A");
        window = std::make_unique<ConfigWindow>(ctx->app);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }

    void cleanup()
    {
        window.reset();
        ctx.reset();
        driver.reset();
    }

    void titleShowsTheModelCodeDigitsOnly()
    {
        QCOMPARE(window->windowTitle(), QStringLiteral("Configuration Form"));
        QCOMPARE(qobject_cast<QLineEdit*>(w(ctl::txtTitle))->text(),
                 QStringLiteral(" 7374  CONFIGURATION ROUTINE"));
        QVERIFY(w(ctl::txtTitle)->isVisible());
    }

    void everyControlHasItsCaptionToolTipAndPlace()
    {
        const WindowDef def = configWindowDef(window->screen());
        const int dpi = window->logicalDpiX();
        for (const ControlDef& c : def.controls) {
            QWidget* widget = w(c.control->name());
            QCOMPARE(widget->toolTip(), c.toolTip);
            QCOMPARE(widget->pos(),
                     QPoint(twipsToPixels(c.rect.left, dpi), twipsToPixels(c.rect.top, dpi)));
            QCOMPARE(widget->parentWidget()->objectName(),
                     c.container ? c.container->name() : QStringLiteral("frmConfig"));
            if (auto* b = qobject_cast<QPushButton*>(widget))
                QCOMPARE(b->text(), c.caption);
            if (auto* l = qobject_cast<QLabel*>(widget))
                QCOMPARE(l->text(), c.caption);
        }
        QCOMPARE(qobject_cast<QPushButton*>(w(ctl::cmdRedo))->text(),
                 QStringLiteral("    Redo from               Start"));
        QCOMPARE(qobject_cast<QLabel*>(w(ctl::Label1))->text(),
                 QStringLiteral("              Enter Device Address and press Set Address button"));
        QVERIFY(QFontInfo(w(ctl::lstFunction)->font()).fixedPitch());
    }

    void loadedStageStates()
    {
        for (const QString& name : {ctl::cmdEnter, ctl::cmdRedo, ctl::cmdLock, ctl::cmdSRQ,
                                    ctl::cmdNoSRQ, ctl::cmdSav, ctl::cmdNextCh})
            QVERIFY2(!w(name)->isEnabled(), qPrintable(name));
        for (const QString& name : {ctl::txtAddr, ctl::cmdSet, ctl::cmdDone})
            QVERIFY2(w(name)->isEnabled(), qPrintable(name));
        for (const QString& name :
             {ctl::labelChoice, ctl::txtErrMsg, ctl::txtGPIBErr, ctl::cmdNextCh})
            QVERIFY2(!w(name)->isVisible(), qPrintable(name));
        QVERIFY(qobject_cast<QLineEdit*>(w(ctl::txtAddr))->text().isEmpty());
        QTRY_COMPARE(QApplication::focusWidget(), w(ctl::txtAddr));
        QVERIFY(driver->calls.empty());
    }

    void tabOrderOfTheControlsTheOperatorWorksWith()
    {
        const QStringList order = {ctl::txtAddr,     ctl::cmdSet,  ctl::txtChoice, ctl::cmdEnter,
                                   ctl::cmdSav,      ctl::cmdDone, ctl::cmdSRQ,    ctl::cmdLock,
                                   ctl::lstFunction, ctl::cmdRedo, ctl::cmdNextCh, ctl::cmdNoSRQ};
        for (int i = 1; i < order.size(); ++i) {
            QWidget* next = w(order.at(i - 1))->nextInFocusChain();
            while (next->focusPolicy() != Qt::TabFocus && next->focusPolicy() != Qt::StrongFocus &&
                   next->focusPolicy() != Qt::WheelFocus)
                next = next->nextInFocusChain();
            QCOMPARE(next->objectName(), order.at(i));
        }
    }

    void doneAsksFirstThenCloses()
    {
        QTest::mouseClick(w(ctl::cmdDone), Qt::LeftButton);
        QVERIFY(window->isVisible());
        QVERIFY(w(ctl::txtGPIBErr)->isVisible());
        QCOMPARE(qobject_cast<QPlainTextEdit*>(w(ctl::txtGPIBErr))->toPlainText(),
                 QStringLiteral("\nExit without saving? Press Done again to exit"));
        QCOMPARE(window->screen().txtGPIBErr.text(),
                 QStringLiteral("\r\nExit without saving? Press Done again to exit"));
        QCOMPARE(ctx->notifier.beeps, 1);
        QTest::mouseClick(w(ctl::cmdDone), Qt::LeftButton);
        QVERIFY(!window->isVisible());
        QCOMPARE(window->result(), int(QDialog::Accepted));
    }

    void escapeAndTheCloseControlActLikeDone()
    {
        QTest::keyClick(window.get(), Qt::Key_Escape);
        QVERIFY(window->isVisible());
        QCOMPARE(ctx->notifier.beeps, 1);
        window->close();
        QVERIFY(!window->isVisible());
    }
};

QTEST_MAIN(ConfigWindowTest)
#include "tst_config_window.moc"
