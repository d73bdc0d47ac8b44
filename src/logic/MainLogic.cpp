// SPDX-License-Identifier: GPL-3.0-or-later
#include "MainLogic.h"

#include "core/QtText.h"
#include "logic/Controls.h"
#include "logic/UnitSession.h"
#include "models/Models.h"

namespace gpibconfig {

MainLogic::MainLogic(AppContext& app, MainScreen& screen, MainHost& host)
    : m_app(app)
    , m_screen(screen)
    , m_host(host)
{
}

QString MainLogic::revisionCaption()
{
    return QStringLiteral("Revised  ") + QStringLiteral("12-01-2008");
}

void MainLogic::reset()
{
    m_app.state.board = 0;
    m_lineBreak = QStringLiteral("\r\n");
    m_screen.labelRev.setText(revisionCaption());
    m_screen.listUnit.setLines(modelEntries());
    m_screen.cmdConfig.setEnabled(false);
    m_screen.cmdContinue.setEnabled(false);
    m_screen.listUnit.setEnabled(true);
    m_screen.txtGPIBErr.setVisible(false);
}

void MainLogic::modelPicked() { m_screen.cmdConfig.setEnabled(true); }

void MainLogic::pickAndConfigure()
{
    m_screen.cmdConfig.setEnabled(true);
    configure();
}

void MainLogic::showMessage(const QString& text, const QString& hint)
{
    m_screen.txtGPIBErr.setText(text);
    m_screen.txtGPIBErr.setToolTip(hint);
    m_screen.txtGPIBErr.setVisible(true);
}

void MainLogic::reportFailure(const BusFailure& failed)
{
    // The report keeps the box to itself; the driver's explanation would only fit below its edge.
    const FailureReport failure = m_app.reportFailure(failed);
    UnitSession::takeBoardOffline(m_app.gpib, m_app.state.board);
    showMessage(failure.report, failure.hint);
    if (failure.newHint)
        m_host.showHint(failure.hint, hintNextSteps(m_app.controllers != nullptr));
}

void MainLogic::configure()
{
    ProgramState& st = m_app.state;
    const int row = m_screen.listUnit.selectedLine();
    const QStringList& entries = m_screen.listUnit.lines();
    // With nothing selected the entry text is empty, which names no row and is refused like any
    // other unknown model.
    const QString entry = (row >= 0 && row < entries.size()) ? entries.at(row) : QString();

    const Model* model = modelForEntry(entry);
    st.modelCode = model ? model->code : std::int16_t{0};
    st.modelEntry = entry;
    if (!model) {
        showMessage(QStringLiteral("Model number") + entry +
                    QStringLiteral("wrong, reselect model number"));
        return;
    }

    m_screen.txtGPIBErr.setVisible(false);
    if (m_app.controllers)
        m_app.controllers->takeChosenController();
    if (!prepareBoard())
        return;

    if (model->powerCycle) {
        showMessage(QStringLiteral("Turn unit off and back on") + m_lineBreak +
                    QStringLiteral("Press Continue when RDY LED on."));
        m_screen.cmdContinue.setEnabled(true);
        return;
    }
    m_host.openConfigWindow();
}

bool MainLogic::prepareBoard()
{
    ProgramState& st = m_app.state;
    m_busy = true;
    const auto done = [this](bool ok) {
        m_busy = false;
        return ok;
    };
    if (const auto failure = UnitSession::prepareBoard(m_app.gpib, st.board)) {
        reportFailure(*failure);
        return done(false);
    }
    return done(true);
}

void MainLogic::continueAfterPowerCycle()
{
    m_screen.cmdContinue.setEnabled(false);
    m_screen.txtGPIBErr.setVisible(false);
    m_host.openConfigWindow();
}

void MainLogic::exit() { m_host.closeMainWindow(); }

} // namespace gpibconfig
