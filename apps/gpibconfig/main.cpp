#include "time/RealClock.h"
#include "gpib/SystemDriver.h"
#include "gpib/ThreadedDriver.h"
#include "ui/Application.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("gpibconfig"));
    gpibconfig::ThreadedDriver driver(gpibconfig::SystemDriver::load());
    gpibconfig::RealClock clock;
    return gpibconfig::runGpibConfig(driver, clock);
}
