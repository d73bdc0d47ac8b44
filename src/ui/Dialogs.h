#pragma once

#include "config/ChannelLogic.h"
#include "config/Screen.h"
#include "WindowBuilder.h"

#include <QDialog>

#include <memory>

namespace gpibconfig {

// frmChannels.
class ChannelDialog final : public QDialog, private ChannelHost {
    Q_OBJECT
public:
    ChannelDialog(AppContext& app, QWidget* parent = nullptr);
    ~ChannelDialog() override;
    Screen& screen() { return m_screen; }
    ChannelLogic& logic() { return m_logic; }

private:
    void closeChannelDialog() override;

    Screen m_screen;
    ChannelLogic m_logic;
    std::unique_ptr<WindowBuilder> m_widgets;
};

// frmNotice: shows the notice a model routine stored, until Cancel.
class NoticeDialog final : public QDialog {
    Q_OBJECT
public:
    NoticeDialog(const QString& notice, QWidget* parent = nullptr);
    ~NoticeDialog() override;

private:
    Screen m_screen;
    std::unique_ptr<WindowBuilder> m_widgets;
};

} // namespace gpibconfig
