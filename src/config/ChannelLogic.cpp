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
    channelEdited();
}

void ChannelLogic::reset()
{
    m_ready = false;
    setChannelText(QString());
    m_screen.setEnabled(ctl::txtChNum, true);
    m_screen.setEnabled(ctl::cmdChSel, true);
    m_screen.setVisible(ctl::txtErrMsg, false);
    m_ready = true;
    m_screen.setFocus(ctl::txtChNum);
}

void ChannelLogic::channelEdited()
{
    // A channel is one digit: once it is typed, Continue is next.
    if (m_ready)
        m_screen.setFocus(ctl::cmdChSel);
}

void ChannelLogic::acceptChannel()
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
