// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "WindowBuilder.h"
#include "logic/ConfigLogic.h"
#include "logic/Screen.h"

#include <QDialog>
#include <functional>
#include <memory>

namespace gpibconfig {

class ChannelDialog;
class ControllerChooser;
class NoticeDialog;

// frmConfig: the window of one configuration run, shown modally over the main window.
class ConfigWindow final : public QDialog, private ConfigHost {
    Q_OBJECT
public:
    ConfigWindow(AppContext& app, QWidget* parent = nullptr);
    ~ConfigWindow() override;

    ConfigScreen& screen() { return m_screen; }
    ConfigLogic& logic() { return m_logic; }

    // Called with each dialog just before it is shown modally (tests script the dialogs so).
    void setChannelDialogHook(std::function<void(ChannelDialog&)> hook)
    {
        m_channelHook = std::move(hook);
    }
    void setNoticeDialogHook(std::function<void(NoticeDialog&)> hook)
    {
        m_noticeHook = std::move(hook);
    }
    // A driver's explanation offers the choice of controller (null: it does not).
    void setControllerChooser(ControllerChooser* chooser) { m_chooser = chooser; }

    // The window's close control and Escape act like Done, so unsaved settings are never left
    // behind without the confirmation; while the bus is busy they wait.
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void closeConfigWindow() override;
    bool askChannel(const Model& model) override;
    void showNotice(const QString& notice) override;
    void showHint(const QString& hint, const QString& nextSteps) override;
    void connectButton(const Control& button, void (ConfigLogic::*handler)());

    AppContext& m_app;
    ConfigScreen m_screen;
    ConfigLogic m_logic;
    std::unique_ptr<WindowBuilder> m_widgets;
    std::function<void(ChannelDialog&)> m_channelHook;
    std::function<void(NoticeDialog&)> m_noticeHook;
    ControllerChooser* m_chooser = nullptr;
    bool m_closing = false;
};

} // namespace gpibconfig
