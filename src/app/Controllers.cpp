// SPDX-License-Identifier: GPL-3.0-or-later
#include "Controllers.h"

#include "ControllerDialog.h"

namespace gpibconfig {

ProgramControllers::ProgramControllers(ThreadedDriver& bus, DriverChoice start,
                                       MakeDriver makeDriver, ListPorts listPorts)
    : m_bus(bus)
    , m_start(std::move(start))
    , m_makeDriver(std::move(makeDriver))
    , m_listPorts(std::move(listPorts))
    , m_inUse(m_start.spec)
{
}

ProgramControllers::~ProgramControllers() = default;

void ProgramControllers::attach(MainWindow& window)
{
    m_window = &window;
    m_baseTitle = window.windowTitle();
    window.setControllerChooser(this);
    retitle();
}

ControllerDialog* ProgramControllers::dialog() const { return m_dialog.data(); }

void ProgramControllers::chooseController(QWidget* window)
{
    if (m_dialog) {
        m_dialog->raise();
        m_dialog->activateWindow();
        return;
    }
    ControllerSituation situation;
    situation.current = chosen();
    situation.startedWith = m_start;
    // Opens the Prologix module, and with it Qt Serial Port, the first time.
    situation.ports = m_listPorts(&situation.portsProblem);
    auto* dialog =
        new ControllerDialog(std::move(situation), [this](const DriverSpec& spec) { use(spec); },
                             window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    m_dialog = dialog;
    dialog->open();
}

void ProgramControllers::use(const DriverSpec& spec)
{
    // Choosing the controller in use again changes nothing.
    if (spec == m_inUse)
        m_pending.reset();
    else
        m_pending = spec;
    retitle();
}

void ProgramControllers::takeChosenController()
{
    if (!m_pending)
        return;
    m_inUse = *m_pending;
    m_pending.reset();
    m_bus.replaceInner([make = m_makeDriver, spec = m_inUse] { return make(spec); });
}

void ProgramControllers::retitle()
{
    if (!m_window)
        return;
    const QString suffix = driverTitleSuffix(chosen());
    m_window->setWindowTitle(suffix.isEmpty() ? m_baseTitle
                                              : m_baseTitle + QStringLiteral(" - ") + suffix);
}

} // namespace gpibconfig
