#pragma once

#include "AppContext.h"
#include "Screen.h"

namespace gpibconfig {

class ChannelHost {
public:
    virtual ~ChannelHost() = default;
    // Unloads the dialog after an accepted channel.
    virtual void closeChannelDialog() = 0;
};

// frmChannels: which channel of the four-channel unit to configure. Its only output is the
// state's ChannelNumber.
class ChannelLogic {
public:
    ChannelLogic(AppContext& app, Screen& screen, ChannelHost& host);

    void Form_Load();
    void txtChNum_Change();
    void cmdChSel_Click();

private:
    void setChannelText(const QString& text);

    AppContext& m_app;
    Screen& m_screen;
    ChannelHost& m_host;
    int m_formReady = 0;
};

} // namespace gpibconfig
