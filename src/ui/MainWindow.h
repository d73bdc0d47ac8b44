// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "WindowBuilder.h"
#include "logic/MainLogic.h"
#include "logic/Screen.h"

#include <QWidget>
#include <functional>
#include <memory>

namespace gpibconfig {

class ConfigWindow;

// Choosing the controller the bus goes through from the windows: gpibconfig offers it, the bench
// (whose driver is the bench) does not.
class ControllerChooser : public ControllerSwitch {
public:
    // Shows the choice over `window`; returns at once.
    virtual void chooseController(QWidget* window) = 0;
};

// frmMain: the model list, board preparation and the power-cycle request.
class MainWindow final : public QWidget, private MainHost {
    Q_OBJECT
public:
    explicit MainWindow(AppContext& app, QWidget* parent = nullptr);
    ~MainWindow() override;

    MainScreen& screen() { return m_screen; }
    MainLogic& logic() { return m_logic; }
    // The configuration window while it is open (for tests and the bench), else null.
    ConfigWindow* configWindow() const { return m_configWindow; }
    // Called with every configuration window just before it is shown modally.
    void setConfigWindowHook(std::function<void(ConfigWindow&)> hook) { m_hook = std::move(hook); }
    // Offers the choice of controller: the main window's keys for it, and a button in every
    // driver's explanation, here and in the configuration window. Set once, before the first bus
    // call; the chooser outlives the window.
    void setControllerChooser(ControllerChooser* chooser);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void openConfigWindow() override;
    void closeMainWindow() override;
    void showHint(const QString& hint, const QString& nextSteps) override;

    AppContext& m_app;
    MainScreen m_screen;
    MainLogic m_logic;
    std::unique_ptr<WindowBuilder> m_widgets;
    ConfigWindow* m_configWindow = nullptr;
    std::function<void(ConfigWindow&)> m_hook;
    ControllerChooser* m_chooser = nullptr;
};

} // namespace gpibconfig
