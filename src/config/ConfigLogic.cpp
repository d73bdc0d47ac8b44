#include "ConfigLogic.h"

#include "Controls.h"
#include "core/QtText.h"

namespace gpibconfig {

ConfigLogic::ConfigLogic(AppContext& app, Screen& screen, ConfigHost& host)
    : m_app(app)
    , m_screen(screen)
    , m_host(host)
{
}

QString ConfigLogic::titleFor(std::int16_t modelCode)
{
    return decimalText(static_cast<int>(modelCode)) + QStringLiteral("  CONFIGURATION ROUTINE");
}

void ConfigLogic::Form_Load()
{
    m_crLf = QStringLiteral("\r\n");
    m_screen.setVisible(ctl::txtTitle, true);
    m_screen.setText(ctl::txtTitle, titleFor(m_app.state.ModelCode));
    m_screen.setVisible(ctl::txtErrMsg, false);
    m_screen.setText(ctl::txtAddr, QString());
    m_screen.setEnabled(ctl::txtAddr, true);
    m_screen.setEnabled(ctl::cmdSet, true);
    for (const QString& name : {ctl::cmdEnter, ctl::cmdLock, ctl::cmdSRQ, ctl::cmdNoSRQ, ctl::cmdSav,
                                ctl::cmdRedo})
        m_screen.setEnabled(name, false);
    m_screen.setVisible(ctl::labelChoice, false);
    m_app.state.run.EsrQuery = QStringLiteral("*ESR?");
    m_doneArmed = 0;

    m_screen.setVisible(ctl::txtGPIBErr, false);
    m_screen.setVisible(ctl::cmdNextCh, false);
    m_screen.setEnabled(ctl::cmdNextCh, false);
    m_screen.setFocus(ctl::txtAddr);
}

void ConfigLogic::cmdDone_Click()
{
    m_screen.setVisible(ctl::txtGPIBErr, false);
    if (m_doneArmed == 1) {
        m_host.closeConfigWindow();
        return;
    }
    m_screen.setText(ctl::txtGPIBErr, m_crLf + QStringLiteral("Exit without saving? ") +
                                          QStringLiteral("Press Done again to exit"));
    m_screen.setVisible(ctl::txtGPIBErr, true);
    m_doneArmed = 1;
    m_app.notifier.beep();
}

} // namespace gpibconfig
