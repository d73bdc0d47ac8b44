// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "drivers/ControllerLogic.h"
#include "logic/Screen.h"
#include "ui/WindowBuilder.h"

#include <QDialog>
#include <functional>
#include <memory>

namespace gpibconfig {

// frmController: the system library, the serial ports found and a network controller's host;
// the choice is saved in the settings file and handed to `use`. Return is OK, Escape Cancel.
class ControllerDialog final : public QDialog, private ControllerHost {
    Q_OBJECT
public:
    ControllerDialog(ControllerSituation situation, std::function<void(const DriverSpec&)> use,
                     QWidget* parent = nullptr);
    ~ControllerDialog() override;

    ControllerScreen& screen() { return m_screen; }
    ControllerLogic& logic() { return m_logic; }

private:
    QString saveChoice(const DriverSpec& spec) override;
    void useChoice(const DriverSpec& spec) override;
    void closeControllerDialog() override;

    ControllerScreen m_screen;
    ControllerLogic m_logic;
    std::function<void(const DriverSpec&)> m_use;
    std::unique_ptr<WindowBuilder> m_widgets;
};

} // namespace gpibconfig
