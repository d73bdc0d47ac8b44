// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "drivers/ControllerLogic.h"
#include "drivers/DriverSpec.h"
#include "drivers/PrologixModule.h"
#include "gpib/ThreadedDriver.h"
#include "ui/MainWindow.h"

#include <QPointer>
#include <functional>
#include <memory>
#include <optional>

namespace gpibconfig {

class ControllerDialog;

// gpibconfig's controller while it runs: the one it started with, the choice made in the
// controller dialog (saved there), which takes over the bus at the next Configure, and the main
// window's title, which names the controller chosen.
class ProgramControllers final : public ControllerChooser {
public:
    // The driver for a choice, as the bus thread makes it (with the trace around it, say).
    using MakeDriver = std::function<std::unique_ptr<Driver>(const DriverSpec&)>;
    // The serial ports, as prologixSerialPorts() lists them.
    using ListPorts = std::function<std::optional<QList<prologix::SerialPort>>(QString* problem)>;

    // `bus` runs the driver of `start` (or nothing yet); a choice goes to it at the next Configure.
    ProgramControllers(ThreadedDriver& bus, DriverChoice start, MakeDriver makeDriver,
                       ListPorts listPorts = prologixSerialPorts);
    ~ProgramControllers() override;

    // Offers the choice in `window` and its configuration windows and titles it.
    void attach(MainWindow& window);

    void chooseController(QWidget* window) override;
    void takeChosenController() override;

    // The controller the bus goes through, or will from the next Configure.
    DriverSpec chosen() const { return m_pending.value_or(m_inUse); }
    // The dialog while it is open, else null.
    ControllerDialog* dialog() const;

private:
    void use(const DriverSpec& spec);
    void retitle();

    ThreadedDriver& m_bus;
    DriverChoice m_start;
    MakeDriver m_makeDriver;
    ListPorts m_listPorts;
    DriverSpec m_inUse;
    std::optional<DriverSpec> m_pending;
    QPointer<QWidget> m_window;
    QString m_baseTitle;
    QPointer<ControllerDialog> m_dialog;
};

} // namespace gpibconfig
