// SPDX-License-Identifier: GPL-3.0-or-later
// Choosing the controller from the window, by keyboard as a screen-reader user does: the button
// in a driver's explanation and the main window's keys open the dialog, its controls are named
// and described, the choice is saved, and the next Configure goes through the new controller.
#include "app/ControllerDialog.h"
#include "app/Controllers.h"
#include "logic/Controls.h"
#include "support/TestContext.h"
#include "ui/HintBox.h"
#include "ui/MainWindow.h"
#include "ui/WindowDefinitions.h"

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace gpibconfig;

namespace {

QAccessibleInterface* accessible(QWidget* w) { return QAccessible::queryAccessibleInterface(w); }
QString nameOf(QWidget* w) { return accessible(w)->text(QAccessible::Name); }
QString descriptionOf(QWidget* w) { return accessible(w)->text(QAccessible::Description); }

// Presses a key where the keyboard focus is, as the operator's keyboard does.
void press(Qt::Key key)
{
    QWidget* focus = QApplication::focusWidget();
    QVERIFY(focus);
    QTest::keyClick(focus, key);
}

} // namespace

class ControllerDialogTest : public QObject {
    Q_OBJECT

    QTemporaryDir settingsDir;
    // The --driver forms the program made drivers for, and the form of the driver each bus call
    // went to.
    QStringList made;
    QStringList callsWent;

    ProgramControllers::MakeDriver fakeDrivers()
    {
        return [this](const DriverSpec& spec) -> std::unique_ptr<Driver> {
            made << spec.toString();
            auto driver = std::make_unique<test::FakeDriver>();
            // The system driver's every call fails the way a missing library does.
            const bool missing = spec.kind == DriverSpec::Kind::System;
            if (missing)
                driver->explanation =
                    QStringLiteral("No GPIB driver library was found (tried libgpib.so.0).");
            driver->statusFor = [this, missing, name = spec.toString()](const BusCall&) {
                callsWent << name;
                return missing ? test::FakeDriver::Status{sta::ERR, err::EDVR, 0}
                               : test::FakeDriver::Status{};
            };
            return driver;
        };
    }

    static std::optional<QList<prologix::SerialPort>> ports(QString*)
    {
        return QList<prologix::SerialPort>{{QStringLiteral("/dev/ttyUSB0"),
                                            QStringLiteral("Prologix GPIB-USB Controller"),
                                            QStringLiteral("Prologix"), {}, 0x0403, 0x6001}};
    }

    static void pickModel(MainWindow& w, const QString& entry)
    {
        auto* list = w.findChild<QListWidget*>(ctl::listUnit);
        list->setCurrentItem(list->findItems(entry, Qt::MatchExactly).front());
    }

private slots:
    void initTestCase()
    {
        QVERIFY(settingsDir.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsDir.path());
    }

    void init()
    {
        made.clear();
        callsWent.clear();
        QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("gpibconfig"),
                  QStringLiteral("gpibconfig"))
            .clear();
    }

    void explanationOffersTheChoiceWhichTheNextConfigureUses()
    {
        const DriverSpec system = std::get<DriverSpec>(DriverSpec::parse(QStringLiteral("system")));
        const auto make = fakeDrivers();
        ThreadedDriver bus([make, system] { return make(system); });
        ProgramControllers controllers(bus, DriverChoice{system, DriverSource::Default}, make,
                                       ports);
        test::TestContext ctx(bus);
        MainWindow w(ctx.app);
        w.show();
        controllers.attach(w);
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QCOMPARE(w.windowTitle(), QStringLiteral("GPIB Interface Configuration"));

        // Configure fails on the missing library: the explanation offers the choice, names the
        // keys for it, and its button is reached with Tab and pressed with Space.
        pickModel(w, QStringLiteral("7374A"));
        QTest::mouseClick(w.findChild<QPushButton*>(ctl::cmdConfig), Qt::LeftButton);
        auto* box = w.findChild<QMessageBox*>(QString::fromLatin1(kHintBoxName));
        QVERIFY(box);
        QTRY_VERIFY(box->isActiveWindow());
        QVERIFY(box->informativeText().contains(
            QStringLiteral("press Choose Controller... (or Ctrl+Shift+C in the main window)")));
        auto* choose = box->findChild<QPushButton*>(QString::fromLatin1(kChooseControllerButtonName));
        QVERIFY(choose);
        QCOMPARE(nameOf(choose), QStringLiteral("Choose Controller..."));
        QVERIFY(!descriptionOf(choose).isEmpty());
        for (int i = 0; i < 4 && QApplication::focusWidget() != choose; ++i)
            press(Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), choose);
        press(Qt::Key_Space);
        QTRY_VERIFY(controllers.dialog());
        ControllerDialog* dialog = controllers.dialog();
        QTRY_VERIFY(dialog->isActiveWindow());
        QCOMPARE(QApplication::activeModalWidget(), dialog);

        // What assistive tools get: every control named by its label or caption, and described.
        auto* list = dialog->findChild<QListWidget*>(ctl::listController);
        auto* host = dialog->findChild<QLineEdit*>(ctl::txtHost);
        auto* ok = dialog->findChild<QPushButton*>(ctl::cmdOK);
        auto* cancel = dialog->findChild<QPushButton*>(ctl::cmdCancel);
        QCOMPARE(nameOf(dialog), QStringLiteral("Choose GPIB Controller"));
        QCOMPARE(nameOf(list), QStringLiteral("Controller for the next Configure:"));
        QVERIFY(descriptionOf(list).startsWith(QStringLiteral("Where the bus goes: ")));
        QCOMPARE(nameOf(host),
                 QStringLiteral("Host name or address of a controller on the network:"));
        QCOMPARE(nameOf(ok), QStringLiteral("OK"));
        QCOMPARE(nameOf(cancel), QStringLiteral("Cancel"));
        for (QWidget* c : {static_cast<QWidget*>(host), static_cast<QWidget*>(ok),
                           static_cast<QWidget*>(cancel)})
            QVERIFY2(!descriptionOf(c).isEmpty(), qPrintable(c->objectName()));
        ControllerScreen names;
        for (const ControlDef& c : controllerDialogDef(names).controls) {
            const QString& name = c.control->name();
            QVERIFY2(nameOf(dialog->findChild<QWidget*>(name)) != name, qPrintable(name));
        }
        QCOMPARE(qobject_cast<QLabel*>(dialog->findChild<QWidget*>(ctl::labelHost))->buddy(), host);

        // The focus starts in the list on the library in use; the host box is closed to Tab
        // until the network line is picked.
        QCOMPARE(QApplication::focusWidget(), list);
        QCOMPARE(list->currentRow(), 0);
        press(Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), ok);
        press(Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), cancel);
        list->setFocus();
        press(Qt::Key_Down);
        QCOMPARE(list->currentItem()->text(),
                 QStringLiteral("Serial port /dev/ttyUSB0: Prologix GPIB-USB Controller, "
                                "Prologix, USB 0403:6001"));
        press(Qt::Key_Down);
        QCOMPARE(list->currentItem()->text(),
                 QStringLiteral("Prologix GPIB-ETHERNET on the network (host below)"));
        QVERIFY(host->isEnabled());
        QVERIFY(nameOf(host).startsWith(QStringLiteral("Host name or address of the GPIB-ETHERNET")));

        // Return with an empty host: refused, said, the focus in the box. Then typed and taken.
        press(Qt::Key_Return);
        auto* message = dialog->findChild<QWidget*>(ctl::txtErrMsg);
        QVERIFY(message->isVisible());
        QCOMPARE(nameOf(message), QStringLiteral("Type the host name or address of the controller."));
        QCOMPARE(QApplication::focusWidget(), host);
        QTest::keyClicks(host, QStringLiteral("lab.example:5000"));
        press(Qt::Key_Return);
        QTRY_VERIFY(!controllers.dialog());

        QCOMPARE(driverFromSettings().value_or(QStringLiteral("<none>")),
                 QStringLiteral("prologix-tcp:lab.example:5000"));
        QCOMPARE(w.windowTitle(),
                 QStringLiteral("GPIB Interface Configuration - Prologix lab.example:5000"));
        // Nothing changes on the bus before the next Configure.
        QCOMPARE(made, QStringList{QStringLiteral("system")});
        QVERIFY(!callsWent.contains(QStringLiteral("prologix-tcp:lab.example:5000")));

        QTest::mouseClick(w.findChild<QPushButton*>(ctl::cmdConfig), Qt::LeftButton);
        QCOMPARE(made, (QStringList{QStringLiteral("system"),
                                    QStringLiteral("prologix-tcp:lab.example:5000")}));
        // Interface clear, remote enable and the time-out all go to the new controller.
        QCOMPARE(callsWent.count(QStringLiteral("prologix-tcp:lab.example:5000")), 3);
        QVERIFY(!w.findChild<QMessageBox*>(QString::fromLatin1(kHintBoxName)));

        // The main window's keys open it again on the controller in use; Escape changes nothing.
        // (Without a window manager the main window is made active again by hand.)
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QTest::keyClick(&w, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
        QTRY_VERIFY(controllers.dialog());
        dialog = controllers.dialog();
        QTRY_VERIFY(dialog->isActiveWindow());
        host = dialog->findChild<QLineEdit*>(ctl::txtHost);
        QCOMPARE(host->text(), QStringLiteral("lab.example:5000"));
        press(Qt::Key_Up);
        press(Qt::Key_Escape);
        QTRY_VERIFY(!controllers.dialog());
        QCOMPARE(driverFromSettings().value_or(QString()),
                 QStringLiteral("prologix-tcp:lab.example:5000"));
        QCOMPARE(w.windowTitle(),
                 QStringLiteral("GPIB Interface Configuration - Prologix lab.example:5000"));
    }
};

QTEST_MAIN(ControllerDialogTest)
#include "tst_controller_dialog.moc"
