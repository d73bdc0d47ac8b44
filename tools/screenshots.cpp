// SPDX-License-Identifier: GPL-3.0-or-later
// Takes the README's screenshots: the main window, a configuration run in progress and the bench
// window, from the program running on the bench in virtual time; and what a new user meets on a
// machine without a GPIB library, with the choice of controller it offers. Usage:
// screenshots <directory>
#include "app/ControllerDialog.h"
#include "app/Controllers.h"
#include "gpib/SystemDriver.h"
#include "logic/Controls.h"
#include "sim/Bench.h"
#include "simui/BenchWindow.h"
#include "support/TestContext.h"
#include "ui/ConfigWindow.h"
#include "ui/HintBox.h"
#include "ui/MainWindow.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <cstdio>

using namespace gpibconfig;

namespace {

bool save(QWidget& w, const QString& path)
{
    QApplication::processEvents();
    const bool ok = w.grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "could not write", qPrintable(path));
    return ok;
}

void click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton); }

// A window with the message box over it, as they lie on the screen. The screenshot's display has
// no window manager, so the box gets a thin border to stand out from the window below.
bool saveWithBox(QWidget& window, QWidget& box, const QString& path)
{
    QApplication::processEvents();
    const QRect whole = window.geometry().united(box.geometry());
    const qreal ratio = window.devicePixelRatioF();
    QImage image((QSizeF(whole.size()) * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.drawPixmap(window.geometry().topLeft() - whole.topLeft(), window.grab());
    const QRect boxArea(box.geometry().topLeft() - whole.topLeft(), box.size());
    painter.drawPixmap(boxArea.topLeft(), box.grab());
    painter.setPen(QPen(QColor(96, 96, 96), 1));
    painter.drawRect(boxArea.adjusted(0, 0, -1, -1));
    painter.end();
    const bool ok = image.save(path);
    std::printf("%s %s\n", ok ? "wrote" : "could not write", qPrintable(path));
    return ok;
}

// gpibconfig on a machine without a GPIB library: the model picked, Configure pressed; then the
// choice of controller the explanation offers, on a machine with a Prologix GPIB-USB controller and
// an Arduino board plugged in.
bool newUserWithoutLibrary(const QString& hintPath, const QString& choicePath)
{
    const auto library = []() -> std::unique_ptr<Driver> {
        return std::make_unique<SystemDriver>(QStringList{QStringLiteral("libgpib.so.0")},
                                              QString());
    };
    ThreadedDriver bus(library());
    const auto listPorts = [](QString*) -> std::optional<QList<prologix::SerialPort>> {
        return QList<prologix::SerialPort>{
            {QStringLiteral("/dev/ttyS0"), {}, {}, {}, std::nullopt, std::nullopt},
            {QStringLiteral("/dev/ttyUSB0"), QStringLiteral("Prologix GPIB-USB Controller"),
             QStringLiteral("Prologix"), QStringLiteral("PX9A1B2C"), 0x0403, 0x6001},
            {QStringLiteral("/dev/ttyACM0"), QStringLiteral("Arduino Uno"),
             QStringLiteral("Arduino (www.arduino.cc)"), {}, 0x2341, 0x0043}};
    };
    ProgramControllers controllers(
        bus, DriverChoice{}, [library](const DriverSpec&) { return library(); }, listPorts);
    ProgramState state;
    GPIB32 gpib(bus);
    test::CountingNotifier notifier;
    test::ManualClock clock;
    AppContext app{state, gpib, clock, notifier};
    MainWindow main(app);
    main.show();
    controllers.attach(main);
    if (!QTest::qWaitForWindowExposed(&main))
        return false;
    auto* list = main.findChild<QListWidget*>(ctl::listUnit);
    list->setCurrentItem(list->findItems(QStringLiteral("7357"), Qt::MatchExactly).front());
    click(main.findChild<QPushButton*>(ctl::cmdConfig));
    auto* box = main.findChild<QMessageBox*>(QString::fromLatin1(kHintBoxName));
    if (!box || !QTest::qWaitForWindowExposed(box))
        return false;
    bool ok = saveWithBox(main, *box, hintPath);
    click(box->findChild<QPushButton*>(QString::fromLatin1(kChooseControllerButtonName)));
    for (int i = 0; i < 100 && !controllers.dialog(); ++i)
        QTest::qWait(20);
    ControllerDialog* dialog = controllers.dialog();
    if (!dialog || !QTest::qWaitForWindowExposed(dialog))
        return false;
    // The Prologix controller's line, as the operator picks it with the arrow keys.
    dialog->findChild<QListWidget*>(ctl::listController)->setCurrentRow(1);
    ok = save(*dialog, choicePath) && ok;
    dialog->reject();
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <directory>\n", argv[0]);
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QDir().mkpath(out.path());

    auto bench = sim::makeDefaultBench();
    ProgramState state;
    GPIB32 gpib(bench->driver());
    test::CountingNotifier notifier;
    AppContext app{state, gpib, bench->clock(), notifier};

    sim::BenchWindow benchWindow(*bench);
    MainWindow main(app);
    main.show();
    benchWindow.showBeside(main);
    auto* list = main.findChild<QListWidget*>(ctl::listUnit);
    list->setCurrentItem(list->findItems(QStringLiteral("7352A"), Qt::MatchExactly).front());
    bool ok = save(main, out.filePath(QStringLiteral("main-window.png")));

    main.setConfigWindowHook([&](ConfigWindow& window) {
        QTimer::singleShot(0, &window, [&] {
            QTest::keyClicks(window.findChild<QLineEdit*>(ctl::txtAddr), QStringLiteral("15"));
            click(window.findChild<QWidget*>(ctl::cmdSet));
            auto* enter = window.findChild<QWidget*>(ctl::cmdEnter);
            auto* choice = window.findChild<QLineEdit*>(ctl::txtChoice);
            click(enter);
            click(enter);
            QTest::keyClicks(choice, QStringLiteral("2.5"));
            click(enter);
            click(enter);
            click(enter);
            QTest::keyClicks(choice, QStringLiteral("11"));
            click(enter);
            click(enter);
            QTest::keyClicks(choice, QStringLiteral("-1.25"));
            ok = save(window, out.filePath(QStringLiteral("configuration-run.png"))) && ok;
            ok = save(benchWindow, out.filePath(QStringLiteral("bench-window.png"))) && ok;
            window.done(QDialog::Rejected);
        });
    });
    click(main.findChild<QPushButton*>(ctl::cmdConfig));
    main.hide();
    benchWindow.hide();
    ok = newUserWithoutLibrary(out.filePath(QStringLiteral("hint-without-gpib-library.png")),
                               out.filePath(QStringLiteral("choose-controller.png"))) &&
         ok;
    return ok ? 0 : 1;
}
