// SPDX-License-Identifier: GPL-3.0-or-later
#include "ConfigLogic.h"

#include "Controls.h"
#include "MenuLine.h"
#include "core/QtText.h"
#include "models/Models.h"

#include <array>

namespace gpibconfig {

namespace {

constexpr int kVisibleFunctions = 14;

// Shown in the status box by the first press of Done when nothing is saved: an empty line, then
// the two texts joined without anything between them.
const QString kLineBreak = QStringLiteral("\r\n");

} // namespace

class ConfigLogic::BusyScope {
public:
    explicit BusyScope(ConfigLogic& logic)
        : m_logic(logic)
    {
        ++m_logic.m_busy;
    }
    ~BusyScope() { --m_logic.m_busy; }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    ConfigLogic& m_logic;
};

ConfigLogic::ConfigLogic(AppContext& app, ConfigScreen& screen, ConfigHost& host)
    : m_app(app)
    , m_screen(screen)
    , m_host(host)
{
}

QString ConfigLogic::titleFor(std::int16_t modelCode)
{
    return decimalText(static_cast<int>(modelCode)) + QStringLiteral("  CONFIGURATION ROUTINE");
}

QString ConfigLogic::trimReply(const QString& reply) { return UnitSession::trimReply(reply); }

void ConfigLogic::reset()
{
    m_screen.txtTitle.setVisible(true);
    m_screen.txtTitle.setText(titleFor(m_app.state.modelCode));
    m_screen.txtErrMsg.setVisible(false);
    m_screen.txtAddr.setText(QString());
    m_screen.txtAddr.setEnabled(true);
    m_screen.cmdSet.setEnabled(true);
    for (Control* c : {&m_screen.cmdEnter, &m_screen.cmdLock, &m_screen.cmdSRQ, &m_screen.cmdNoSRQ,
                       &m_screen.cmdSav, &m_screen.cmdRedo})
        c->setEnabled(false);
    m_screen.labelChoice.setVisible(false);
    m_doneArmed = false;

    m_screen.txtGPIBErr.setVisible(false);
    m_screen.cmdNextCh.setVisible(false);
    m_screen.cmdNextCh.setEnabled(false);
    m_screen.txtAddr.setFocus();
}

void ConfigLogic::report(const BusFailure& failed)
{
    const FailureReport failure = m_app.reportFailure(failed);
    UnitSession::takeBoardOffline(m_app.gpib, m_app.state.board);
    showStatusLine(failure.report, failure.hint);
    if (failure.newHint)
        m_host.showHint(failure.hint, hintNextSteps(m_app.controllers != nullptr));
}

bool ConfigLogic::reportIfTheWindowDoes(const UnitSession::Failure& failure)
{
    if (!failure || !failure->windowReports)
        return false;
    report(*failure);
    return true;
}

void ConfigLogic::showStatusLine(const QString& line, const QString& hint)
{
    m_screen.txtGPIBErr.setText(line);
    m_screen.txtGPIBErr.setToolTip(hint);
    m_screen.txtGPIBErr.setVisible(true);
}

UnitSession ConfigLogic::session()
{
    ProgramState& st = m_app.state;
    return UnitSession(m_app.gpib, m_app.clock, *m_model, st.board, st.unit);
}

// ---------------------------------------------------------------------------------------------
// Address entry

void ConfigLogic::setAddress() { enterAddress(); }

ConfigLogic::AddressOutcome ConfigLogic::enterAddress()
{
    BusyScope busy(*this);
    ProgramState& st = m_app.state;
    UnitAddress& unit = st.unit;
    m_screen.txtGPIBErr.setVisible(false);

    const auto typed = readTypedAddress(m_screen.txtAddr.text());
    if (!typed) {
        m_screen.txtErrMsg.setText(QStringLiteral("Address out of range, re-enter"));
        m_screen.txtErrMsg.setVisible(true);
        m_app.notifier.beep();
        return AddressOutcome::Refused;
    }
    m_screen.txtErrMsg.setVisible(false);

    // The new address is worked out aside and only replaces the running one once the channel is
    // known: a channel dialog closed without Continue leaves the run talking to the unit it was
    // talking to.
    UnitAddress next = unit;
    next.primary = typed->primary;
    if (typed->secondary)
        next.secondary = *typed->secondary;
    next.word = typed->word;

    const Model* model = modelForEntry(st.modelEntry);
    if (model && model->multiChannel()) {
        // The dialog hands its channel back through the program state, also when the operator
        // typed a bad one and then closed it.
        const double before = unit.channel;
        const bool chosen = m_host.askChannel(*model);
        const double channel = unit.channel;
        unit.channel = before;
        if (!chosen)
            return AddressOutcome::Cancelled;
        // The dialog only accepts a channel the unit has, which has a secondary address.
        next.channel = channel;
        next.secondary = model->secondaryOf(channel).value_or(0);
        next.word = UnitAddress::wordOf(next.primary, next.secondary);
    }
    unit = next;

    if (reportIfTheWindowDoes(UnitSession::clearDevice(m_app.gpib, st.board, unit.word)))
        return AddressOutcome::Failed;

    m_screen.cmdEnter.setEnabled(true);
    m_screen.cmdRedo.setEnabled(true);
    m_screen.labelChoice.setVisible(true);

    if (!model) {
        m_screen.txtErrMsg.setText(QStringLiteral("Bad Model Number, Configuration halted"));
        m_screen.txtErrMsg.setVisible(true);
        m_app.clock.pause(UnitSession::kPauseSeconds);
        m_host.closeConfigWindow();
        return AddressOutcome::Failed;
    }
    startMenu(*model);
    return AddressOutcome::Started;
}

void ConfigLogic::startMenu(const Model& model)
{
    BusyScope busy(*this);
    ProgramState& st = m_app.state;
    m_model = &model;

    if (model.hasNotice())
        m_host.showNotice(model.notice());
    if (model.multiChannel()) {
        m_screen.cmdNextCh.setEnabled(false);
        m_screen.cmdNextCh.setVisible(false);
    } else {
        // The menu talks to the primary address alone, whatever secondary was typed.
        st.unit.word = st.unit.primary;
    }
    // The notice may have taken a while to read; the bus is cleared again after it. The window
    // does not look at that call's status.
    if (model.hasNotice())
        (void)session().clearBus();

    m_function = 1;
    m_scrollCount = 0;
    // Settings of this new menu are not saved yet, whatever an earlier menu of this window did.
    m_doneArmed = false;
    queryStep();
}

// ---------------------------------------------------------------------------------------------
// The menu engine

void ConfigLogic::enterOrAdvance()
{
    BusyScope busy(*this);
    m_screen.txtGPIBErr.setVisible(false);
    // A pasted value stays one message: its line breaks become blanks.
    const QString choice = UnitSession::oneMessage(m_screen.txtChoice.text());
    m_screen.txtChoice.setText(QString());

    if (!m_model)
        return;
    const int count = m_model->menu->count();
    if (m_function < 1 || m_function > count)
        return; // before the first Set Address, or past the end of the menu
    if (!choice.isEmpty()) {
        // The same function stays current: the operator may send another value or move on.
        setStep(choice);
        return;
    }
    ++m_function;
    if (m_function <= count)
        queryStep();
    else
        endOfMenu();
}

void ConfigLogic::focusChoice() { m_screen.txtChoice.setFocus(); }

void ConfigLogic::enterFromList()
{
    // Only while a menu runs; before Set Address or after the last function there is no function
    // to step.
    if (m_screen.cmdEnter.enabled())
        enterOrAdvance();
}

QString ConfigLogic::queriedAddress(const QString& reply)
{
    return UnitSession::queriedAddress(reply);
}

QString ConfigLogic::readBackAddress(const QString& reply)
{
    return UnitSession::readBackAddress(reply);
}

void ConfigLogic::queryStep()
{
    const int i = m_function;
    UnitSession unit = session();
    // The window does not look at the status of the start actions.
    if (i == 1)
        (void)unit.startActions();
    const auto reading = unit.query(i);
    if (!reading)
        return;
    reportIfTheWindowDoes(reading->failure);

    if (i > kVisibleFunctions) {
        if (m_screen.lstFunction.removeLine(0))
            ++m_scrollCount;
    }
    showLine(i - m_scrollCount - 1, reading->shown, false);
    m_screen.lstFunction.selectLine(m_screen.lstFunction.lineCount() - 1);
    m_screen.txtChoice.setFocus();
}

void ConfigLogic::setStep(const QString& choice)
{
    // The line shows what the unit made of the setting; the window does not look at the status
    // of the setting's calls (setting->failure), the command line does.
    const auto setting = session().set(m_function, choice);
    if (!setting)
        return;
    showLine(m_function - m_scrollCount - 1, setting->shown, true);
    m_screen.txtChoice.setFocus();
}

void ConfigLogic::showLine(int position, const QString& value, bool replace)
{
    const auto function = m_model->menu->function(m_function);
    const QString line =
        FormatMenuLine(function ? QLatin1String(function->prompt) : QString(), value);
    if (replace)
        m_screen.lstFunction.removeLine(position);
    if (!m_screen.lstFunction.insertLine(position, line))
        m_screen.lstFunction.insertLine(m_screen.lstFunction.lineCount(), line);
}

void ConfigLogic::endOfMenu()
{
    const ProgramState& st = m_app.state;
    if (m_model->multiChannel()) {
        // Compare the channel actually addressed: a fractional entry such as 3.5 addresses
        // channel 4.
        if (st.unit.secondary != m_model->secondaryOf(m_model->channelCount)) {
            m_screen.cmdNextCh.setVisible(true);
            m_screen.cmdNextCh.setEnabled(true);
            m_screen.cmdEnter.setEnabled(false);
        } else {
            m_screen.cmdEnter.setEnabled(false);
            m_screen.cmdSav.setEnabled(true);
        }
        return;
    }
    m_screen.cmdSet.setEnabled(false);
    m_screen.cmdEnter.setEnabled(false);
    if (m_model->lockable) {
        m_screen.cmdLock.setEnabled(true);
        m_screen.cmdSRQ.setEnabled(true);
        m_screen.cmdNoSRQ.setEnabled(true);
    }
    m_screen.cmdSav.setEnabled(true);
}

// ---------------------------------------------------------------------------------------------
// Finishing commands

void ConfigLogic::saveConfiguration()
{
    BusyScope busy(*this);
    m_screen.txtGPIBErr.setVisible(false);
    // Only a save the unit confirms counts: after a failed or refused one, Save Configuration
    // stays available so the operator can try again, and Done still asks.
    if (finish(session().save())) {
        m_doneArmed = true;
        m_screen.cmdSav.setEnabled(false);
    }
}

bool ConfigLogic::finish(const UnitSession::Verdict& verdict)
{
    if (verdict.failure)
        report(*verdict.failure);
    else if (!verdict.confirmed())
        showStatusLine(verdict.refusal);
    return verdict.confirmed();
}

void ConfigLogic::keepEnablesAtPowerOn()
{
    BusyScope busy(*this);
    m_screen.txtGPIBErr.setVisible(false);
    finish(session().powerOnStatus(true));
}

void ConfigLogic::clearEnablesAtPowerOn()
{
    BusyScope busy(*this);
    m_screen.txtGPIBErr.setVisible(false);
    finish(session().powerOnStatus(false));
}

void ConfigLogic::lockSettings()
{
    BusyScope busy(*this);
    m_screen.txtGPIBErr.setVisible(false);
    // A confirmed lock saved the settings as Save Configuration does, so Done closes without
    // asking; after a refused one the operator can press Lock Settings again.
    if (finish(session().lock()))
        m_doneArmed = true;
}

void ConfigLogic::leave()
{
    m_screen.txtGPIBErr.setVisible(false);
    if (m_doneArmed) {
        m_host.closeConfigWindow();
        return;
    }
    showStatusLine(kLineBreak + QStringLiteral("Exit without saving? ") +
                   QStringLiteral("Press Done again to exit"));
    m_doneArmed = true;
    m_app.notifier.beep();
}

void ConfigLogic::startOver()
{
    m_screen.lstFunction.clearLines();
    m_screen.txtAddr.setText(QString());
    m_screen.txtAddr.setEnabled(true);
    m_screen.txtAddr.setFocus();
    m_screen.cmdSet.setEnabled(true);
    for (Control* c : {&m_screen.cmdEnter, &m_screen.cmdLock, &m_screen.cmdSRQ, &m_screen.cmdNoSRQ,
                       &m_screen.cmdSav})
        c->setEnabled(false);
}

void ConfigLogic::nextChannel()
{
    // What the end of this channel's menu showed, to put back if the operator closes the channel
    // dialog instead of choosing the next channel.
    const QStringList lines = m_screen.lstFunction.lines();
    const int selected = m_screen.lstFunction.selectedLine();
    const QString address = m_screen.txtAddr.text();
    const std::array buttons{&m_screen.txtAddr, &m_screen.cmdSet, &m_screen.cmdEnter,
                             &m_screen.cmdLock, &m_screen.cmdSRQ, &m_screen.cmdNoSRQ,
                             &m_screen.cmdSav};
    std::array<bool, buttons.size()> wasEnabled{};
    for (std::size_t k = 0; k < buttons.size(); ++k)
        wasEnabled[k] = buttons[k]->enabled();

    m_screen.lstFunction.clearLines();
    m_screen.txtAddr.setText(decimalText(static_cast<int>(m_app.state.unit.primary)));
    m_screen.txtAddr.setEnabled(true);
    m_screen.cmdSet.setEnabled(true);
    m_screen.cmdEnter.setEnabled(true);
    for (Control* c : {&m_screen.cmdLock, &m_screen.cmdSRQ, &m_screen.cmdNoSRQ, &m_screen.cmdSav})
        c->setEnabled(false);
    if (enterAddress() != AddressOutcome::Cancelled)
        return;

    m_screen.lstFunction.setLines(lines);
    m_screen.lstFunction.selectLine(selected);
    m_screen.txtAddr.setText(address);
    for (std::size_t k = 0; k < buttons.size(); ++k)
        buttons[k]->setEnabled(wasEnabled[k]);
}

} // namespace gpibconfig
