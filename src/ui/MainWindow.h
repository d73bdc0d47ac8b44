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
};

} // namespace gpibconfig
