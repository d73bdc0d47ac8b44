// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "WindowBuilder.h"
#include "logic/ChannelLogic.h"
#include "logic/Screen.h"

#include <QDialog>
#include <memory>

namespace gpibconfig {

// frmChannels.
class ChannelDialog final : public QDialog, private ChannelHost {
    Q_OBJECT
public:
    ChannelDialog(AppContext& app, const Model& model, QWidget* parent = nullptr);
    ~ChannelDialog() override;
    ChannelScreen& screen() { return m_screen; }
    ChannelLogic& logic() { return m_logic; }

private:
    void closeChannelDialog() override;

    ChannelScreen m_screen;
    ChannelLogic m_logic;
    std::unique_ptr<WindowBuilder> m_widgets;
};

// frmNotice: shows the notice of a model before its menu, until Cancel.
class NoticeDialog final : public QDialog {
    Q_OBJECT
public:
    NoticeDialog(const QString& notice, QWidget* parent = nullptr);
    ~NoticeDialog() override;

private:
    NoticeScreen m_screen;
    std::unique_ptr<WindowBuilder> m_widgets;
};

} // namespace gpibconfig
