// What assistive tools get from the program's windows, read through their accessible interfaces:
// every control called by what a sighted operator reads, names that follow the text, reports read
// out the moment they appear, and message boxes that take no text but the program's.
#include "config/Controls.h"
#include "config/WindowLayouts.h"
#include "support/TestContext.h"
#include "ui/ConfigWindow.h"
#include "ui/Dialogs.h"
#include "ui/MainWindow.h"
#include "ui/WindowBuilder.h"

#include <QAccessible>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

using namespace gpibconfig;

namespace {

// The names the alerts raised for each control carried, in order.
std::vector<std::pair<QPointer<QObject>, QString>> g_alerts;

void listen(QAccessibleEvent& event)
{
    if (event.type() != QAccessible::Alert)
        return;
    QAccessibleInterface* iface = event.accessibleInterface();
    g_alerts.emplace_back(event.object(),
                          iface && iface->isValid() ? iface->text(QAccessible::Name) : QString());
}

QAccessibleInterface* accessible(QWidget* w)
{
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w);
    if (!iface || !iface->isValid())
        qFatal("no accessible interface for %s", qPrintable(w->objectName()));
    return iface;
}

QString nameOf(QWidget* w) { return accessible(w)->text(QAccessible::Name); }

// The text a screen reader reads from a text box: its text interface, which must agree with the
// value.
QString textOf(QWidget* w)
{
    QAccessibleInterface* iface = accessible(w);
    QAccessibleTextInterface* text = iface->textInterface();
    if (!text)
        return QStringLiteral("<no text interface>");
    const QString all = text->text(0, text->characterCount());
    if (iface->text(QAccessible::Value) != all)
        return QStringLiteral("<value differs: %1>").arg(iface->text(QAccessible::Value));
    return all;
}

// What was read out for the control, in order.
QStringList alertsFor(QWidget* w)
{
    QStringList names;
    for (const auto& [object, name] : g_alerts)
        if (object == w)
            names << name;
    return names;
}

int alertCount() { return static_cast<int>(g_alerts.size()); }

const QString kNotice = QStringLiteral("    This menu sets the interface only.\r\n    Set the "
                                       "printer's own options on the printer.");

} // namespace

class AccessibilityTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::FakeDriver> driver;
    std::unique_ptr<test::TestContext> ctx;
    std::unique_ptr<QWidget> window;

    // One of the program's windows, shown: main, config (for a 7374A), channel or notice.
    QWidget* open(const QString& which)
    {
        if (which == QLatin1String("main")) {
            window = std::make_unique<MainWindow>(ctx->app);
        } else if (which == QLatin1String("config")) {
            ctx->state.ModelCode = 7374;
            ctx->state.ModelNumber = QStringLiteral("7374A");
            window = std::make_unique<ConfigWindow>(ctx->app);
        } else if (which == QLatin1String("channel")) {
            window = std::make_unique<ChannelDialog>(ctx->app);
        } else {
            window = std::make_unique<NoticeDialog>(kNotice);
        }
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get()))
            qFatal("window %s not shown", qPrintable(which));
        return window.get();
    }

    QWidget* w(const QString& name) const
    {
        auto* widget = window->findChild<QWidget*>(name);
        if (!widget)
            qFatal("no control %s", qPrintable(name));
        return widget;
    }

    Screen& screenOf(const QString& which) const
    {
        if (which == QLatin1String("main"))
            return static_cast<MainWindow*>(window.get())->screen();
        if (which == QLatin1String("config"))
            return static_cast<ConfigWindow*>(window.get())->screen();
        return static_cast<ChannelDialog*>(window.get())->screen();
    }

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

    void everyControlIsCalledByWhatItShows_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("labelledBy"); // empty: no label
        QTest::addColumn<QString>("text");       // text boxes only
        const QString select = QStringLiteral(
            "Select a Model to configure from the following list and press Configure:");
        const QString address = QStringLiteral("Enter Device Address and press Set Address button");
        const QString function = QStringLiteral("Unit function - Choices Current Setting");
        const QString channel =
            QStringLiteral("Enter a 7379 channel from 1 to 4 and press Continue");
        const auto row = [](const char* window, const QString& control, const QString& name,
                            const QString& label = {}, const QString& text = {}) {
            QTest::addRow("%s %s", window, qPrintable(control))
                << QString::fromLatin1(window) << control << name << label << text;
        };
        row("main", ctl::labelTitle, QStringLiteral("WELCOME TO ZEB's GPIB CONFIGUATION PROGRAM"));
        row("main", ctl::labelRev, QStringLiteral("Revised 12-01-2008"));
        row("main", ctl::labelSelect, select);
        row("main", ctl::listUnit, select, ctl::labelSelect);
        row("main", ctl::cmdConfig, QStringLiteral("Configure"));
        row("main", ctl::cmdContinue, QStringLiteral("Continue"));
        row("main", ctl::txtGPIBErr, QString(), {}, QString());
        row("main", ctl::ImageZEB, QStringLiteral("ZEB"));
        row("main", ctl::cmdExit, QStringLiteral("Exit"));
        row("config", ctl::txtTitle, QStringLiteral("7374 CONFIGURATION ROUTINE"), {},
            QStringLiteral(" 7374  CONFIGURATION ROUTINE"));
        row("config", ctl::frameAddr, QString());
        row("config", ctl::Label1, address);
        row("config", ctl::txtAddr, address, ctl::Label1, QString());
        row("config", ctl::cmdSet, QStringLiteral("Set Address"));
        row("config", ctl::txtErrMsg, QString(), {}, QString());
        row("config", ctl::frameMenu, QString());
        row("config", ctl::labelFunction, function);
        row("config", ctl::lstFunction, function, ctl::labelFunction);
        row("config", ctl::labelChoice,
            QStringLiteral("Enter a new value or click Enter/Advance to keep current value"));
        // Its label is hidden until a menu runs: no caption on the screen, none for the tools.
        row("config", ctl::txtChoice, QString(), ctl::labelChoice, QString());
        row("config", ctl::cmdEnter, QStringLiteral("Enter or Advance"));
        row("config", ctl::cmdRedo, QStringLiteral("Redo from Start"));
        row("config", ctl::cmdNextCh, QStringLiteral("Next Channel"));
        row("config", ctl::txtGPIBErr, QString(), {}, QString());
        row("config", ctl::cmdSRQ, QStringLiteral("Save ESE and SRE"));
        row("config", ctl::cmdNoSRQ, QStringLiteral("Don't Save SRE"));
        row("config", ctl::cmdLock, QStringLiteral("Lock Settings"));
        row("config", ctl::cmdSav, QStringLiteral("Save Configuration"));
        row("config", ctl::cmdDone, QStringLiteral("Done"));
        row("channel", ctl::Label1, channel);
        row("channel", ctl::txtChNum, channel, ctl::Label1, QString());
        row("channel", ctl::cmdChSel, QStringLiteral("Continue"));
        row("channel", ctl::txtErrMsg, QString(), {}, QString());
        row("notice", ctl::txtNotice,
            QStringLiteral("This menu sets the interface only. Set the printer's own options on "
                           "the printer."),
            {},
            QStringLiteral("    This menu sets the interface only.\n    Set the printer's own "
                           "options on the printer."));
        row("notice", ctl::cmdCancel, QStringLiteral("Cancel"));
    }

    void everyControlIsCalledByWhatItShows()
    {
        QFETCH(QString, window);
        QFETCH(QString, control);
        QFETCH(QString, labelledBy);
        QFETCH(QString, text);
        open(window);
        QWidget* c = w(control);
        QTEST(nameOf(c), "name");
        const QAccessible::Role role = accessible(c)->role();
        if (role == QAccessible::EditableText)
            QCOMPARE(textOf(c), text);
        // The tools relate a shown label to the control it captions.
        if (!labelledBy.isEmpty() && !w(labelledBy)->isHidden()) {
            QAccessibleInterface* iface = accessible(c);
            bool related = false;
            for (const auto& [other, relation] :
                 accessible(w(labelledBy))->relations(QAccessible::Labelled)) {
                Q_UNUSED(relation)
                related = related || other == iface;
            }
            QVERIFY2(related, "the label is not related to the control it captions");
        }
    }

    void noControlIsCalledByItsObjectName_data()
    {
        QTest::addColumn<QString>("window");
        for (const char* which : {"main", "config", "channel", "notice"})
            QTest::newRow(which) << QString::fromLatin1(which);
    }

    void noControlIsCalledByItsObjectName()
    {
        QFETCH(QString, window);
        const WindowDef def = window == QLatin1String("main")      ? mainWindowDef()
                              : window == QLatin1String("config")  ? configWindowDef()
                              : window == QLatin1String("channel") ? channelDialogDef()
                                                                   : noticeDialogDef();
        QWidget* top = open(window);
        QCOMPARE(nameOf(top), def.title);
        for (const ControlDef& c : def.controls)
            QVERIFY2(nameOf(w(c.name)) != c.name, qPrintable(c.name));
    }

    void namesFollowTheTextTheLogicPuts_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("labelled"); // a control the label captions
        QTest::newRow("revision line") << "main" << ctl::labelRev << "Revised  01-02-2025"
                                       << "Revised 01-02-2025"
                                       << "";
        QTest::newRow("two-line report")
            << "main" << ctl::txtGPIBErr << "First line\r\n  second line"
            << "First line second line"
            << "";
        QTest::newRow("button caption") << "main" << ctl::cmdConfig << "Configure\r\nagain"
                                        << "Configure again"
                                        << "";
        QTest::newRow("title") << "config" << ctl::txtTitle << " 7311  CONFIGURATION ROUTINE"
                               << "7311 CONFIGURATION ROUTINE"
                               << "";
        QTest::newRow("address label") << "config" << ctl::Label1 << "   Enter the address"
                                       << "Enter the address" << ctl::txtAddr;
        QTest::newRow("message line")
            << "config" << ctl::txtErrMsg << "Bad Model Number, Configuration halted"
            << "Bad Model Number, Configuration halted"
            << "";
        QTest::newRow("channel label") << "channel" << ctl::Label1 << "Pick a channel"
                                       << "Pick a channel" << ctl::txtChNum;
    }

    void namesFollowTheTextTheLogicPuts()
    {
        QFETCH(QString, window);
        QFETCH(QString, control);
        QFETCH(QString, text);
        QFETCH(QString, name);
        QFETCH(QString, labelled);
        open(window);
        screenOf(window).setText(control, text);

        QWidget* c = w(control);
        QCOMPARE(nameOf(c), name);
        if (accessible(c)->role() == QAccessible::EditableText)
            QCOMPARE(textOf(c),
                     QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
        if (!labelled.isEmpty())
            QCOMPARE(nameOf(w(labelled)), name);
    }

    void aControlLosesItsCaptionWithItsLabel()
    {
        open(QStringLiteral("config"));
        Screen& screen = screenOf(QStringLiteral("config"));
        screen.setVisible(ctl::labelChoice, true);
        QCOMPARE(nameOf(w(ctl::txtChoice)),
                 QStringLiteral("Enter a new value or click Enter/Advance to keep current value"));
        screen.setVisible(ctl::labelChoice, false);
        QCOMPARE(nameOf(w(ctl::txtChoice)), QString());
    }

    void aFailedConfigureIsReadOutEachTime()
    {
        driver->statusFor = test::failing({QStringLiteral("SendIFC")}, err::ENEB);
        open(QStringLiteral("main"));
        auto* list = window->findChild<QListWidget*>(ctl::listUnit);
        list->setCurrentRow(0);
        QWidget* report = w(ctl::txtGPIBErr);
        const QString expected = QStringLiteral(
            "SendIFC Error ibsta = &H8100 < ERR CMPL >iberr = 7 ENEB <No GPIB board>ibcnt = 0");

        QTest::mouseClick(w(ctl::cmdConfig), Qt::LeftButton);
        QCOMPARE(alertsFor(report), QStringList{expected});
        QCOMPARE(textOf(report), QStringLiteral("SendIFC Error ibsta = &H8100 <   ERR CMPL >iberr "
                                                "=  7 ENEB <No GPIB board>ibcnt =  0"));
        // Configure hides the report first: the same words again are a new report.
        QTest::mouseClick(w(ctl::cmdConfig), Qt::LeftButton);
        QCOMPARE(alertsFor(report), QStringList({expected, expected}));
        QCOMPARE(alertCount(), 2);
    }

    void thePowerCycleRequestIsReadOut()
    {
        open(QStringLiteral("main"));
        auto* list = window->findChild<QListWidget*>(ctl::listUnit);
        list->setCurrentItem(list->findItems(QStringLiteral("7374B"), Qt::MatchExactly).front());
        QTest::mouseClick(w(ctl::cmdConfig), Qt::LeftButton);
        QCOMPARE(alertsFor(w(ctl::txtGPIBErr)),
                 QStringList{
                     QStringLiteral("Turn unit off and back on Press Continue when RDY LED on.")});
        QCOMPARE(textOf(w(ctl::txtGPIBErr)),
                 QStringLiteral("Turn unit off and back on\nPress Continue when RDY LED on."));
    }

    void configurationMessagesAreReadOut()
    {
        open(QStringLiteral("config"));
        QCOMPARE(alertCount(), 0); // loading reports nothing
        auto* address = static_cast<QLineEdit*>(w(ctl::txtAddr));
        const QString outOfRange = QStringLiteral("Address out of range, re-enter");
        for (const char* typed : {"99", "-1"}) {
            address->clear();
            QTest::keyClicks(address, QString::fromLatin1(typed));
            QTest::mouseClick(w(ctl::cmdSet), Qt::LeftButton);
        }
        QCOMPARE(alertsFor(w(ctl::txtErrMsg)), QStringList({outOfRange, outOfRange}));
        QCOMPARE(textOf(w(ctl::txtErrMsg)), outOfRange);

        QTest::mouseClick(w(ctl::cmdDone), Qt::LeftButton);
        QCOMPARE(alertsFor(w(ctl::txtGPIBErr)),
                 QStringList{QStringLiteral("Exit without saving? Press Done again to exit")});
    }

    void aRejectedChannelIsReadOutEachTime()
    {
        open(QStringLiteral("channel"));
        auto* edit = static_cast<QLineEdit*>(w(ctl::txtChNum));
        for (const char* typed : {"0", "5"}) {
            QTest::keyClicks(edit, QString::fromLatin1(typed));
            QTest::mouseClick(w(ctl::cmdChSel), Qt::LeftButton);
        }
        const QString rejected = QStringLiteral("Number out of range, Re-enter");
        QCOMPARE(alertsFor(w(ctl::txtErrMsg)), QStringList({rejected, rejected}));
    }

    void aReportIsReadOutWhenItComesIntoSightNotBefore()
    {
        MainWindow main(ctx->app);
        QWidget* report = main.findChild<QWidget*>(ctl::txtGPIBErr);
        main.screen().setText(ctl::txtGPIBErr, QStringLiteral("Waiting"));
        main.screen().setVisible(ctl::txtGPIBErr, true);
        QCOMPARE(alertCount(), 0); // the window is not on the screen yet
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        QCOMPARE(alertsFor(report), QStringList{QStringLiteral("Waiting")});

        // Put in while hidden: read out when shown, once.
        main.screen().setVisible(ctl::txtGPIBErr, false);
        main.screen().setText(ctl::txtGPIBErr, QStringLiteral("Later"));
        QCOMPARE(alertCount(), 1);
        main.screen().setVisible(ctl::txtGPIBErr, true);
        QCOMPARE(alertsFor(report),
                 QStringList({QStringLiteral("Waiting"), QStringLiteral("Later")}));
        // Emptied, or shown with nothing in it: nothing to read.
        main.screen().setText(ctl::txtGPIBErr, QString());
        main.screen().setVisible(ctl::txtGPIBErr, false);
        main.screen().setVisible(ctl::txtGPIBErr, true);
        QCOMPARE(alertCount(), 2);
    }

    void messageBoxesTakeNoTextButTheProgramsOwn_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("text");
        QTest::newRow("title") << "config" << ctl::txtTitle << " 7374  CONFIGURATION ROUTINE";
        QTest::newRow("message line") << "config" << ctl::txtErrMsg << "";
        QTest::newRow("status report") << "config" << ctl::txtGPIBErr << "";
        QTest::newRow("main report") << "main" << ctl::txtGPIBErr << "";
        QTest::newRow("notice") << "notice" << ctl::txtNotice
                                << "    This menu sets the interface only.\n    Set the printer's "
                                   "own options on the printer.";
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
        // Still a text box to the tools, and one they are told they cannot change.
        QCOMPARE(iface->role(), QAccessible::EditableText);
        if (auto* line = qobject_cast<QLineEdit*>(box))
            QVERIFY(line->hasFrame());
        QVERIFY(iface->state().readOnly);

        // The keyboard.
        QTest::mouseClick(box, Qt::LeftButton);
        QTest::keyClicks(box, QStringLiteral("typed"));
        QTest::keyClick(box, Qt::Key_Backspace);
        QTest::keyClick(box, Qt::Key_Delete);
        QTest::keyClick(box, Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(textOf(box), text);

        // A tool writing through the accessible interface.
        iface->setText(QAccessible::Value, QStringLiteral("written"));
        QCOMPARE(textOf(box), text);
        if (QAccessibleEditableTextInterface* editable = iface->editableTextInterface()) {
            editable->insertText(0, QStringLiteral("inserted"));
            QCOMPARE(textOf(box), text);
            const int end = static_cast<int>(std::min<qsizetype>(text.size(), 3));
            editable->replaceText(0, end, QStringLiteral("replaced"));
            QCOMPARE(textOf(box), text);
            editable->deleteText(0, end);
            QCOMPARE(textOf(box), text);
        }
        if (window != QLatin1String("notice"))
            QCOMPARE(screenOf(window).text(control).replace(QStringLiteral("\r\n"),
                                                            QStringLiteral("\n")),
                     text);
    }
};

QTEST_MAIN(AccessibilityTest)
#include "tst_accessibility.moc"
