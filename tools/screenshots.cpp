// Takes the README's screenshots: the main window, a configuration run in progress and the bench
// window, from the program running on the bench in virtual time. Usage: screenshots <directory>
#include "logic/Controls.h"
#include "sim/Bench.h"
#include "simui/BenchWindow.h"
#include "support/TestContext.h"
#include "ui/ConfigWindow.h"
#include "ui/MainWindow.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
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
    return ok ? 0 : 1;
}
