// SPDX-License-Identifier: GPL-3.0-or-later
// Takes the README's screenshots: the main window, a configuration run in progress and the bench
// window, from the program running on the bench in virtual time; and what a new user meets on a
// machine without a GPIB library. Usage: screenshots <directory>
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

// gpibconfig on a machine without a GPIB library: the model picked, Configure pressed.
bool newUserWithoutLibrary(const QString& path)
{
    SystemDriver driver(QStringList{QStringLiteral("libgpib.so.0")}, QString());
    ProgramState state;
    GPIB32 gpib(driver, state.status);
    test::CountingNotifier notifier;
    test::ManualClock clock;
    AppContext app{state, gpib, clock, notifier};
    MainWindow main(app);
    main.show();
    if (!QTest::qWaitForWindowExposed(&main))
        return false;
    auto* list = main.findChild<QListWidget*>(ctl::listUnit);
    list->setCurrentItem(list->findItems(QStringLiteral("7357"), Qt::MatchExactly).front());
    click(main.findChild<QPushButton*>(ctl::cmdConfig));
    auto* box = main.findChild<QMessageBox*>(QString::fromLatin1(kHintBoxName));
    if (!box || !QTest::qWaitForWindowExposed(box))
        return false;
    const bool ok = saveWithBox(main, *box, path);
    box->close();
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
    GPIB32 gpib(bench->driver(), state.status);
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
    ok = newUserWithoutLibrary(out.filePath(QStringLiteral("hint-without-gpib-library.png"))) && ok;
    return ok ? 0 : 1;
}
