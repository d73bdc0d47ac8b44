#pragma once

#include "config/ConfigLogic.h"
#include "config/Screen.h"
#include "WindowBuilder.h"

#include <QDialog>

#include <memory>

namespace gpibconfig {

// frmConfig: the window of one configuration run, shown modally over the main window.
class ConfigWindow final : public QDialog, private ConfigHost {
    Q_OBJECT
public:
    ConfigWindow(AppContext& app, QWidget* parent = nullptr);
    ~ConfigWindow() override;

    Screen& screen() { return m_screen; }
    ConfigLogic& logic() { return m_logic; }

    // The window's close control and Escape act like Done, so unsaved settings are never left
    // behind without the confirmation.
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void closeConfigWindow() override;

    AppContext& m_app;
    Screen m_screen;
    ConfigLogic m_logic;
    std::unique_ptr<WindowBuilder> m_widgets;
    bool m_closing = false;
};

} // namespace gpibconfig
