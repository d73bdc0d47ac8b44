// SPDX-License-Identifier: GPL-3.0-or-later
// What assistive tools get from the program's windows, read through their accessible interfaces:
// controls called by what a sighted operator reads, names that follow the text, reports read out
// the moment they appear, and message boxes that take no text but the program's.
#include "logic/Controls.h"
#include "models/Models.h"
#include "ui/WindowDefinitions.h"
#include "support/TestContext.h"
#include "ui/ConfigWindow.h"
#include "ui/Dialogs.h"
#include "ui/MainWindow.h"
#include "ui/WindowBuilder.h"

#include <QAccessible>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QTest>
#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

using namespace gpibconfig;

namespace {

// Every alert raised: its sender and the name the sender had at that moment.
std::vector<std::pair<QPointer<QObject>, QString>> g_alerts;

void listen(QAccessibleEvent& event)
{
    if (event.type() == QAccessible::Alert)
        g_alerts.emplace_back(event.object(), event.accessibleInterface()->text(QAccessible::Name));
}

QStringList alertsFor(QWidget* w)
{
    QStringList names;
    for (const auto& [object, name] : g_alerts)
        if (object == w)
            names << name;
    return names;
}

QAccessibleInterface* accessible(QWidget* w)
{
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w);
    if (!iface || !iface->isValid())
        qFatal("no accessible interface for %s", qPrintable(w->objectName()));
    return iface;
}

QString nameOf(QWidget* w) { return accessible(w)->text(QAccessible::Name); }

// What a screen reader reads from a text box: the text interface, which the value must match.
QString textOf(QWidget* w)
{
    QAccessibleInterface* iface = accessible(w);
    QAccessibleTextInterface* text = iface->textInterface();
    if (!text)
        return QStringLiteral("<no text interface>");
    const QString all = text->text(0, text->characterCount());
    return iface->text(QAccessible::Value) == all ? all : QStringLiteral("<value differs>");
}

} // namespace

class AccessibilityTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::FakeDriver> driver;
    std::unique_ptr<test::TestContext> ctx;
    std::unique_ptr<QWidget> window;

    // One of the program's windows, shown: main, config (for a 7374A), channel or notice.
    void open(const QString& which)
    {
        if (which == QLatin1String("main")) {
            window = std::make_unique<MainWindow>(ctx->app);
        } else if (which == QLatin1String("config")) {
            ctx->state.modelCode = 7374;
            window = std::make_unique<ConfigWindow>(ctx->app);
        } else if (which == QLatin1String("channel")) {
            window = std::make_unique<ChannelDialog>(ctx->app, *modelForEntry(QStringLiteral("7379")));
        } else {
            window = std::make_unique<NoticeDialog>(
                QStringLiteral("    Interface only.\r\n    Set the printer on the printer."));
        }
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get()))
            qFatal("window %s not shown", qPrintable(which));
    }

    QWidget* w(const QString& name) const
    {
        auto* widget = window->findChild<QWidget*>(name);
        if (!widget)
            qFatal("no control %s", qPrintable(name));
        return widget;
    }

    Screen& screen() const
    {
        if (auto* main = qobject_cast<MainWindow*>(window.get()))
            return main->screen();
        if (auto* config = qobject_cast<ConfigWindow*>(window.get()))
            return config->screen();
        return qobject_cast<ChannelDialog*>(window.get())->screen();
    }

    // The logic's control behind the widget of that object name, for tables that name controls
    // as tests and assistive tools see them.
    Control& control(const QString& name) const
    {
        for (Control* c : screen().controls())
            if (c->name() == name)
                return *c;
        qFatal("no control %s in the logic", qPrintable(name));
    }

    void press(const QString& button) { QTest::mouseClick(w(button), Qt::LeftButton); }

private slots:
    void initTestCase() { setAccessibilityListener(listen); }
    void cleanupTestCase() { setAccessibilityListener({}); }

    void init()
    {
        driver = std::make_unique<test::FakeDriver>();
        ctx = std::make_unique<test::TestContext>(*driver);
        g_alerts.clear();
    }

    void cleanup()
    {
        window.reset();
        ctx.reset();
        driver.reset();
    }

    void noControlIsCalledByItsObjectName()
    {
        MainScreen mainScreen;
        ConfigScreen configScreen;
        ChannelScreen channelScreen;
        NoticeScreen noticeScreen;
        const std::pair<const char*, WindowDef> windows[] = {
            {"main", mainWindowDef(mainScreen)},
            {"config", configWindowDef(configScreen)},
            {"channel", channelDialogDef(channelScreen, *modelForEntry(QStringLiteral("7379")))},
            {"notice", noticeDialogDef(noticeScreen)}};
        for (const auto& [which, def] : windows) {
            open(QString::fromLatin1(which));
            QCOMPARE(nameOf(window.get()), def.title);
            for (const ControlDef& c : def.controls) {
                const QString& name = c.control->name();
                QVERIFY2(nameOf(w(name)) != name, qPrintable(name));
            }
        }
    }

    void controlsAreCalledByWhatTheyShow_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("labelledBy");
        QTest::addColumn<QString>("text"); // text boxes only
        const QString select = QStringLiteral(
            "Select a Model to configure from the following list and press Configure:");
        const QString address = QStringLiteral("Enter Device Address and press Set Address button");
        const QString channel =
            QStringLiteral("Enter a 7379 channel from 1 to 4 and press Continue");
        const auto row = [](const char* window, const QString& control, const QString& name,
                            const QString& label = {}, const QString& text = {}) {
            QTest::addRow("%s %s", window, qPrintable(control))
                << QString::fromLatin1(window) << control << name << label << text;
        };
        row("main", ctl::labelRev, QStringLiteral("Revised 12-01-2008"));
        row("main", ctl::listUnit, select, ctl::labelSelect);
        row("main", ctl::txtGPIBErr, QString());
        row("main", ctl::ImageZEB, QStringLiteral("ZEB"));
        row("config", ctl::txtTitle, QStringLiteral("7374 CONFIGURATION ROUTINE"), {},
            QStringLiteral(" 7374  CONFIGURATION ROUTINE"));
        row("config", ctl::frameAddr, QString());
        row("config", ctl::txtAddr, address, ctl::Label1);
        row("config", ctl::lstFunction, QStringLiteral("Unit function - Choices Current Setting"),
            ctl::labelFunction);
        // Its label is hidden until a menu runs: no caption on the screen, none for the tools.
        row("config", ctl::txtChoice, QString(), ctl::labelChoice);
        row("config", ctl::cmdSRQ, QStringLiteral("Save ESE and SRE"));
        row("channel", ctl::txtChNum, channel, ctl::Label1);
        row("notice", ctl::txtNotice,
            QStringLiteral("Interface only. Set the printer on the printer."), {},
            QStringLiteral("    Interface only.\n    Set the printer on the printer."));
    }

    void controlsAreCalledByWhatTheyShow()
    {
        QFETCH(QString, window);
        QFETCH(QString, control);
        QFETCH(QString, labelledBy);
        open(window);
        QWidget* c = w(control);
        QTEST(nameOf(c), "name");
        if (accessible(c)->role() == QAccessible::EditableText)
            QTEST(textOf(c), "text");
        if (!labelledBy.isEmpty() && !w(labelledBy)->isHidden()) {
            bool related = false;
            for (const auto& [other, relation] :
                 accessible(w(labelledBy))->relations(QAccessible::Labelled))
                related = related || (other == accessible(c) && relation == QAccessible::Labelled);
            QVERIFY2(related, "the label is not related to the control it captions");
        }
    }

    void namesFollowTheTextTheLogicPuts_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("captioned"); // a control the label names too
        QTest::newRow("revision") << "main" << ctl::labelRev << "Revised  01-02-2025"
                                  << "Revised 01-02-2025"
                                  << "";
        QTest::newRow("two-line report") << "main" << ctl::txtGPIBErr << "First\r\n  second"
                                         << "First second"
                                         << "";
        QTest::newRow("title") << "config" << ctl::txtTitle << " 7311  CONFIGURATION ROUTINE"
                               << "7311 CONFIGURATION ROUTINE"
                               << "";
        QTest::newRow("caption") << "channel" << ctl::Label1 << "  Pick a channel"
                                 << "Pick a channel" << ctl::txtChNum;
    }

    void namesFollowTheTextTheLogicPuts()
    {
        QFETCH(QString, window);
        QFETCH(QString, control);
        QFETCH(QString, text);
        QFETCH(QString, captioned);
        open(window);
        this->control(control).setText(text);
        QTEST(nameOf(w(control)), "name");
        if (accessible(w(control))->role() == QAccessible::EditableText)
            QCOMPARE(textOf(w(control)),
                     text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
        if (!captioned.isEmpty())
            QTEST(nameOf(w(captioned)), "name");
    }

    void aControlLosesItsCaptionWithItsLabel()
    {
        open(QStringLiteral("config"));
        ConfigScreen& config = qobject_cast<ConfigWindow*>(window.get())->screen();
        config.labelChoice.setVisible(true);
        QCOMPARE(nameOf(w(ctl::txtChoice)),
                 QStringLiteral("Enter a new value or click Enter/Advance to keep current value"));
        config.labelChoice.setVisible(false);
        QCOMPARE(nameOf(w(ctl::txtChoice)), QString());
    }

    void aFailedConfigureIsReadOutEachTime()
    {
        driver->statusFor = test::failing(BusCall::Kind::SendIFC, err::ENEB);
        open(QStringLiteral("main"));
        window->findChild<QListWidget*>(ctl::listUnit)->setCurrentRow(0);
        const QString report = QStringLiteral(
            "SendIFC Error ibsta = &H8100 < ERR CMPL >iberr = 7 ENEB <No GPIB board>ibcnt = 0");
        press(ctl::cmdConfig);
        QCOMPARE(alertsFor(w(ctl::txtGPIBErr)), QStringList{report});
        // Configure hides the report first: the same words again are a new report.
        press(ctl::cmdConfig);
        QCOMPARE(alertsFor(w(ctl::txtGPIBErr)), QStringList({report, report}));
        QCOMPARE(g_alerts.size(), 2u);
    }

    void configurationMessagesAreReadOutEachTime()
    {
        open(QStringLiteral("config"));
        QVERIFY(g_alerts.empty()); // loading reports nothing
        auto* address = static_cast<QLineEdit*>(w(ctl::txtAddr));
        for (const char* typed : {"99", "-1"}) {
            address->clear();
            QTest::keyClicks(address, QString::fromLatin1(typed));
            press(ctl::cmdSet);
        }
        const QString outOfRange = QStringLiteral("Address out of range, re-enter");
        QCOMPARE(alertsFor(w(ctl::txtErrMsg)), QStringList({outOfRange, outOfRange}));
        press(ctl::cmdDone);
        QCOMPARE(alertsFor(w(ctl::txtGPIBErr)),
                 QStringList{QStringLiteral("Exit without saving? Press Done again to exit")});
    }

    void aRejectedChannelIsReadOutEachTime()
    {
        open(QStringLiteral("channel"));
        for (const char* typed : {"0", "5"}) {
            QTest::keyClicks(w(ctl::txtChNum), QString::fromLatin1(typed));
            press(ctl::cmdChSel);
        }
        const QString rejected = QStringLiteral("Number out of range, Re-enter");
        QCOMPARE(alertsFor(w(ctl::txtErrMsg)), QStringList({rejected, rejected}));
    }

    void aReportIsReadOutWhenItComesIntoSightNotBefore()
    {
        MainWindow main(ctx->app);
        QWidget* report = main.findChild<QWidget*>(ctl::txtGPIBErr);
        main.screen().txtGPIBErr.setText(QStringLiteral("Waiting"));
        main.screen().txtGPIBErr.setVisible(true);
        QVERIFY(g_alerts.empty()); // the window is not on the screen yet
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        QCOMPARE(alertsFor(report), QStringList{QStringLiteral("Waiting")});

        main.screen().txtGPIBErr.setVisible(false);
        main.screen().txtGPIBErr.setText(QStringLiteral("Later"));
        QCOMPARE(g_alerts.size(), 1u);
        main.screen().txtGPIBErr.setVisible(true);
        QCOMPARE(alertsFor(report),
                 QStringList({QStringLiteral("Waiting"), QStringLiteral("Later")}));
        // Emptied, or shown with nothing in it: nothing to read.
        main.screen().txtGPIBErr.setText(QString());
        main.screen().txtGPIBErr.setVisible(false);
        main.screen().txtGPIBErr.setVisible(true);
        QCOMPARE(g_alerts.size(), 2u);
    }

    void messageBoxesTakeNoTextButTheProgramsOwn_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("text");
        QTest::newRow("title") << "config" << ctl::txtTitle << " 7374  CONFIGURATION ROUTINE";
        QTest::newRow("message line") << "config" << ctl::txtErrMsg << "";
        QTest::newRow("status report") << "main" << ctl::txtGPIBErr << "";
        QTest::newRow("notice") << "notice" << ctl::txtNotice
                                << "    Interface only.\n    Set the printer on the printer.";
    }

    void messageBoxesTakeNoTextButTheProgramsOwn()
    {
        QFETCH(QString, window);
        QFETCH(QString, control);
        QFETCH(QString, text);
        open(window);
        QWidget* box = w(control);
        box->setVisible(true);
        QAccessibleInterface* iface = accessible(box);
        // Still a text box to the tools, one they are told they cannot change.
        QCOMPARE(iface->role(), QAccessible::EditableText);
        QVERIFY(iface->state().readOnly);

        QTest::mouseClick(box, Qt::LeftButton);
        QTest::keyClicks(box, QStringLiteral("typed"));
        QTest::keyClick(box, Qt::Key_Backspace);
        QTest::keyClick(box, Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(textOf(box), text);

        // A tool writing through the accessible interface, as voice control does.
        iface->setText(QAccessible::Value, QStringLiteral("written"));
        QCOMPARE(textOf(box), text);
        QAccessibleEditableTextInterface* editable = iface->editableTextInterface();
        QVERIFY(editable);
        const int end = static_cast<int>(std::min<qsizetype>(text.size(), 3));
        editable->insertText(0, QStringLiteral("inserted"));
        editable->replaceText(0, end, QStringLiteral("replaced"));
        editable->deleteText(0, end);
        QCOMPARE(textOf(box), text);
    }
};

QTEST_MAIN(AccessibilityTest)
#include "tst_accessibility.moc"
