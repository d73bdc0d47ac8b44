// SPDX-License-Identifier: GPL-3.0-or-later
#include "ChannelLogic.h"

#include "Controls.h"
#include "core/QtText.h"

namespace gpibconfig {

ChannelLogic::ChannelLogic(AppContext& app, const Model& model, ChannelScreen& screen,
                           ChannelHost& host)
    : m_app(app)
    , m_model(model)
    , m_screen(screen)
    , m_host(host)
{
}

void ChannelLogic::setChannelText(const QString& text)
{
    // Setting the text is an edit like the operator's: it raises the change event.
    m_screen.txtChNum.setText(text);
    channelEdited();
}

void ChannelLogic::reset()
{
    m_ready = false;
    setChannelText(QString());
    m_screen.txtChNum.setEnabled(true);
    m_screen.cmdChSel.setEnabled(true);
    m_screen.txtErrMsg.setVisible(false);
    m_ready = true;
    m_screen.txtChNum.setFocus();
}

void ChannelLogic::channelEdited()
{
    // A channel is one digit: once it is typed, Continue is next.
    if (m_ready)
        m_screen.cmdChSel.setFocus();
}

void ChannelLogic::acceptChannel()
{
    double& channel = m_app.state.unit.channel;
    channel = readNumber(m_screen.txtChNum.text());
    if (channel > m_model.channelCount || !(channel > 0)) {
        m_screen.txtErrMsg.setText(QStringLiteral("Number out of range, Re-enter"));
        m_screen.txtErrMsg.setVisible(true);
        setChannelText(QString());
        m_screen.txtChNum.setFocus();
        m_app.notifier.beep();
        return;
    }
    m_screen.txtErrMsg.setVisible(false);
    m_host.closeChannelDialog();
}

} // namespace gpibconfig
