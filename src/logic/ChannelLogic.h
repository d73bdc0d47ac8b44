// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "AppContext.h"
#include "Screen.h"
#include "models/Models.h"

namespace gpibconfig {

class ChannelHost {
public:
    virtual ~ChannelHost() = default;
    // Unloads the dialog after an accepted channel.
    virtual void closeChannelDialog() = 0;
};

// frmChannels: which channel of a multi-channel unit (`model`) to configure. Its only output is
// the state's unit.channel.
class ChannelLogic {
public:
    ChannelLogic(AppContext& app, const Model& model, ChannelScreen& screen, ChannelHost& host);

    // The dialog opens: empty channel, focus in it.
    void reset();
    // The channel text changed (by the operator or the program).
    void channelEdited();
    // Continue: a channel the unit has (0 < channel <= its channel count) closes the dialog;
    // anything else is refused.
    void acceptChannel();

private:
    void setChannelText(const QString& text);

    AppContext& m_app;
    const Model& m_model;
    ChannelScreen& m_screen;
    ChannelHost& m_host;
    // Edits made while the dialog is being set up do not move the focus.
    bool m_ready = false;
};

} // namespace gpibconfig
