// SPDX-License-Identifier: GPL-3.0-or-later
#include "logic/Controls.h"
#include "models/Models.h"
#include "support/TestContext.h"
#include "ui/ConfigWindow.h"
#include "ui/Dialogs.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

using namespace gpibconfig;

class DialogsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::FakeDriver> driver;
    std::unique_ptr<test::TestContext> ctx;

    template <typename T> static T* child(QWidget* w, const QString& name)
    {
        auto* c = w->findChild<T*>(name);
        if (!c)
            qFatal("no control %s", qPrintable(name));
        return c;
    }

private slots:
    void init()
    {
        driver = std::make_unique<test::FakeDriver>();
        ctx = std::make_unique<test::TestContext>(*driver);
    }

    void channelDialogAcceptsOneToFour_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<double>("channel");
        QTest::newRow("1") << "1" << true << 1.0;
        QTest::newRow("4") << "4" << true << 4.0;
        QTest::newRow("3x") << "3x" << true << 3.0;
        QTest::newRow("2.5") << "2.5" << true << 2.5;
        QTest::newRow("0.5") << "0.5" << true << 0.5;
        QTest::newRow("0") << "0" << false << 0.0;
        QTest::newRow("5") << "5" << false << 5.0;
        QTest::newRow("-1") << "-1" << false << -1.0;
        QTest::newRow("empty") << "" << false << 0.0;
        QTest::newRow("letters") << "abc" << false << 0.0;
        QTest::newRow("4.0001") << "4.0001" << false << 4.0001;
    }

    void channelDialogAcceptsOneToFour()
    {
        QFETCH(QString, typed);
        QFETCH(bool, accepted);
        QFETCH(double, channel);
        ChannelDialog dialog(ctx->app, *modelForEntry(QStringLiteral("7379")));
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Channels"));
        QCOMPARE(child<QLabel>(&dialog, ctl::Label1)->text(),
                 QStringLiteral("Enter a 7379 channel from 1 to 4 and press Continue"));
        auto* edit = child<QLineEdit>(&dialog, ctl::txtChNum);
        QTRY_COMPARE(QApplication::focusWidget(), edit);
        QVERIFY(!child<QLineEdit>(&dialog, ctl::txtErrMsg)->isVisible());

        QTest::keyClicks(edit, typed);
        if (!typed.isEmpty())
            QCOMPARE(QApplication::focusWidget(), child<QPushButton>(&dialog, ctl::cmdChSel));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(ctx->state.unit.channel, channel);
        if (accepted) {
            QCOMPARE(dialog.result(), int(QDialog::Accepted));
            QVERIFY(!dialog.isVisible());
            QCOMPARE(ctx->notifier.beeps, 0);
        } else {
            QVERIFY(dialog.isVisible());
            QCOMPARE(child<QLineEdit>(&dialog, ctl::txtErrMsg)->text(),
                     QStringLiteral("Number out of range, Re-enter"));
            QVERIFY(child<QLineEdit>(&dialog, ctl::txtErrMsg)->isVisible());
            QVERIFY(edit->text().isEmpty());
            QCOMPARE(QApplication::focusWidget(), edit);
            QCOMPARE(ctx->notifier.beeps, 1);
            // A later accepted value hides the message.
            QTest::keyClicks(edit, QStringLiteral("2"));
            QTest::mouseClick(child<QPushButton>(&dialog, ctl::cmdChSel), Qt::LeftButton);
            QVERIFY(!dialog.isVisible());
            QCOMPARE(ctx->state.unit.channel, 2.0);
        }
    }

    void noticeShowsTheWholeTextFromItsBeginningWrapped()
    {
        const QString notice = modelForEntry(QStringLiteral("7337B"))->notice();
        NoticeDialog dialog(notice);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("NOTICE"));
        auto* text = child<QPlainTextEdit>(&dialog, ctl::txtNotice);
        QCOMPARE(text->toPlainText(), notice);
        QVERIFY(notice.startsWith(QStringLiteral("    NOTE - This routine configures a 7337B")));
        QVERIFY(!notice.contains(QLatin1Char('\n')));
        QCOMPARE(text->lineWrapMode(), QPlainTextEdit::WidgetWidth);
        QCOMPARE(text->verticalScrollBar()->value(), 0);
        QCOMPARE(child<QPushButton>(&dialog, ctl::cmdCancel)->text(), QStringLiteral("Cancel"));
        QTest::mouseClick(child<QPushButton>(&dialog, ctl::cmdCancel), Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
    }

    void returnKeysDriveTheConfigurationWindow()
    {
        ctx->state.modelCode = 7357;
        ctx->state.modelEntry = QStringLiteral("7357");
        ConfigWindow window(ctx->app);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto* addr = child<QLineEdit>(&window, ctl::txtAddr);
        QTRY_COMPARE(QApplication::focusWidget(), addr);
        driver->replies = {"5\n", "0\n"};
        QTest::keyClicks(addr, QStringLiteral("5"));
        QTest::keyClick(addr, Qt::Key_Return);
        QCOMPARE(window.findChild<QListWidget*>(ctl::lstFunction)->count(), 1);
        auto* choice = child<QLineEdit>(&window, ctl::txtChoice);
        QCOMPARE(QApplication::focusWidget(), choice);
        QTest::keyClick(choice, Qt::Key_Return);
        QCOMPARE(window.findChild<QListWidget*>(ctl::lstFunction)->count(), 2);
        QCOMPARE(window.logic().currentFunction(), 2);
    }

    void closingTheChannelDialogLeavesTheAddressStage()
    {
        ctx->state.modelCode = 7379;
        ctx->state.modelEntry = QStringLiteral("7379");
        ConfigWindow window(ctx->app);
        window.setChannelDialogHook([](ChannelDialog& dialog) {
            QTimer::singleShot(0, &dialog, [&dialog] { dialog.close(); });
        });
        window.show();
        child<QLineEdit>(&window, ctl::txtAddr)->setText(QStringLiteral("25"));
        window.screen().txtAddr.userEditedText(QStringLiteral("25"));
        QTest::mouseClick(child<QPushButton>(&window, ctl::cmdSet), Qt::LeftButton);
        QVERIFY(driver->calls.empty());
        QVERIFY(!child<QPushButton>(&window, ctl::cmdEnter)->isEnabled());
        QVERIFY(window.isVisible());
    }
};

QTEST_MAIN(DialogsTest)
#include "tst_dialogs.moc"
