#include "ChannelLogic.h"

#include "Controls.h"
#include "core/QtText.h"

namespace gpibconfig {

ChannelLogic::ChannelLogic(AppContext& app, Screen& screen, ChannelHost& host)
    : m_app(app)
    , m_screen(screen)
    , m_host(host)
{
}

void ChannelLogic::setChannelText(const QString& text)
{
    // Setting the text is an edit like the operator's: it raises the change event.
    m_screen.setText(ctl::txtChNum, text);
    txtChNum_Change();
}

void ChannelLogic::Form_Load()
{
    m_formReady = 0;
    setChannelText(QString());
    m_screen.setEnabled(ctl::txtChNum, true);
    m_screen.setEnabled(ctl::cmdChSel, true);
    m_screen.setVisible(ctl::txtErrMsg, false);
    m_formReady = 1;
    m_screen.setFocus(ctl::txtChNum);
}

void ChannelLogic::txtChNum_Change()
{
    // A channel is one digit: once it is typed, Continue is next.
    if (m_formReady == 1)
        m_screen.setFocus(ctl::cmdChSel);
}

void ChannelLogic::cmdChSel_Click()
{
    double& channel = m_app.state.unit.ChannelNumber;
    channel = readNumber(m_screen.text(ctl::txtChNum));
    if (channel > 4 || !(channel > 0)) {
        m_screen.setText(ctl::txtErrMsg, QStringLiteral("Number out of range, Re-enter"));
        m_screen.setVisible(ctl::txtErrMsg, true);
        setChannelText(QString());
        m_screen.setFocus(ctl::txtChNum);
        m_app.notifier.beep();
        return;
    }
    m_screen.setVisible(ctl::txtErrMsg, false);
    m_host.closeChannelDialog();
}

} // namespace gpibconfig
