#include "ConfigLogic.h"

#include "Controls.h"
#include "MenuLine.h"
#include "core/QtText.h"
#include "models/Models.h"

#include <QRegularExpression>
#include <array>
#include <cmath>

namespace gpibconfig {

namespace {

constexpr int kReplyLength = 18;
constexpr int kVisibleFunctions = 14;
constexpr double kPauseSeconds = 0.2;

// Status bits of the standard event status register that mean a setting was refused: query
// error, execution error, command error. The device-dependent error (8) is left to the unit.
constexpr std::int64_t kRefusedBits = 4 | 16 | 32;
// A save is trusted only without any error bit: a device-dependent error during *SAV means the
// memory was not written.
constexpr std::int64_t kSaveRefusedBits = 4 | 8 | 16 | 32;

QString blanks() { return QString(kReplyLength, QLatin1Char(' ')); }

// Shown in the status box by the first press of Done when nothing is saved: an empty line, then
// the two texts joined without anything between them.
const QString kLineBreak = QStringLiteral("\r\n");

// The bus address 0..30 a value typed for the address function stands for, if it is one. Only
// plain decimal digits count: the unit reads "&H1C", "28abc", "28.4" or "2.8E1" differently from
// us (or refuses them), and following such a value would leave the program talking to an address
// where nobody listens.
std::optional<std::int16_t> busAddress(const QString& typed)
{
    static const QRegularExpression plainDigits(QStringLiteral("^[ \\t]*([0-9]+)[ \\t]*$"));
    const QRegularExpressionMatch match = plainDigits.match(typed);
    if (!match.hasMatch())
        return std::nullopt;
    // Leading zeros are fine ("07"); a long run of digits is simply not an address.
    const QString digits = match.captured(1);
    bool ok = false;
    const int n = digits.size() <= 4 ? digits.toInt(&ok) : -1;
    if (!ok || n < 0 || n > 30)
        return std::nullopt;
    return static_cast<std::int16_t>(n);
}

// What an answer to "*ESR?" says: nothing came (the buffer is still blank), no usable number
// (text, or a value no 8-bit register can hold), or the register's value.
struct EventStatus {
    enum class Kind { NoAnswer, NoNumber, Value };
    Kind kind = Kind::NoAnswer;
    std::int64_t value = 0;

    static EventStatus read(const QString& reply)
    {
        if (reply == blanks())
            return {};
        const NumberScan scan = scanNumber(reply);
        const double e = roundHalfEven(scan.value);
        if (!scan.found || !std::isfinite(e) || std::fabs(e) > 2147483647.0)
            return {Kind::NoNumber, 0};
        return {Kind::Value, static_cast<std::int64_t>(e)};
    }
    bool confirms(std::int64_t refusedBits) const
    {
        return kind == Kind::Value && (value & refusedBits) == 0;
    }
};

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

QString ConfigLogic::trimReply(const QString& reply)
{
    const qsizetype lf = reply.indexOf(QLatin1Char('\n'));
    return lf < 0 ? reply : reply.left(lf + 1);
}

void ConfigLogic::reset()
{
    m_screen.txtTitle.setVisible(true);
    m_screen.txtTitle.setText(titleFor(m_app.state.ModelCode));
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

void ConfigLogic::report(const QString& title)
{
    const FailureReport failure = m_app.reportFailure(title);
    showStatusLine(failure.report, failure.hint);
    if (failure.newHint)
        m_host.showHint(failure.hint, hintNextSteps());
}

void ConfigLogic::showStatusLine(const QString& line, const QString& hint)
{
    m_screen.txtGPIBErr.setText(line);
    m_screen.txtGPIBErr.setToolTip(hint);
    m_screen.txtGPIBErr.setVisible(true);
}

GpibStatus ConfigLogic::send(const QString& text)
{
    const ProgramState& st = m_app.state;
    return m_app.gpib.Send(st.BoardIndex, st.unit.DeviceAddress, text, 1);
}

QString ConfigLogic::receive()
{
    const ProgramState& st = m_app.state;
    QString reply = blanks();
    (void)m_app.gpib.Receive(st.BoardIndex, st.unit.DeviceAddress, reply, 0);
    return reply;
}

bool ConfigLogic::sendChecked(const QString& text, const QString& errorTitle)
{
    if (send(text).failed()) {
        report(errorTitle);
        return false;
    }
    return true;
}

void ConfigLogic::pause() { m_app.clock.pause(kPauseSeconds); }

// ---------------------------------------------------------------------------------------------
// Address entry

void ConfigLogic::setAddress() { enterAddress(); }

ConfigLogic::AddressOutcome ConfigLogic::enterAddress()
{
    BusyScope busy(*this);
    ProgramState& st = m_app.state;
    UnitAddress& unit = st.unit;
    m_screen.txtGPIBErr.setVisible(false);

    const auto typed = textToInt16(m_screen.txtAddr.text());
    // Out of range: 31..99, 3000 and more, anything that does not fit 16 bits, a secondary
    // address above 31 in the primary * 100 + secondary form, which the address word cannot hold,
    // and negative numbers: as address words they are the driver's own values (-1 is "no address",
    // a device clear of every unit on the bus).
    const bool outOfRange = !typed || *typed < 0 || *typed >= 3000 ||
                            (*typed >= 31 && *typed <= 99) || (*typed >= 100 && *typed % 100 > 31);
    if (outOfRange) {
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
    if (*typed < 100) {
        next.PrimaryAddress = *typed;
        next.DeviceAddress = *typed;
    } else {
        next.PrimaryAddress = static_cast<std::int16_t>(*typed / 100);
        next.SecondaryAddress = static_cast<std::int16_t>(*typed - 100 * next.PrimaryAddress);
        next.DeviceAddress = UnitAddress::word(next.PrimaryAddress, next.SecondaryAddress);
    }

    const Model* model = modelForEntry(st.ModelNumber);
    if (model && model->multiChannel()) {
        // The dialog hands its channel back through the program state, also when the operator
        // typed a bad one and then closed it.
        const double before = unit.ChannelNumber;
        const bool chosen = m_host.askChannel();
        const double channel = unit.ChannelNumber;
        unit.ChannelNumber = before;
        if (!chosen)
            return AddressOutcome::Cancelled;
        // The dialog only accepts 0 < channel <= 4, so the secondary address is 10..14.
        next.ChannelNumber = channel;
        next.SecondaryAddress = toInt16(channel + 10).value_or(0);
        next.DeviceAddress = UnitAddress::word(next.PrimaryAddress, next.SecondaryAddress);
    }
    unit = next;

    (void)m_app.gpib.SendIFC(st.BoardIndex);
    if (m_app.gpib.DevClear(st.BoardIndex, unit.DeviceAddress).failed()) {
        report(QStringLiteral("DevClear Error"));
        return AddressOutcome::Failed;
    }

    m_screen.cmdEnter.setEnabled(true);
    m_screen.cmdRedo.setEnabled(true);
    m_screen.labelChoice.setVisible(true);

    if (!model) {
        m_screen.txtErrMsg.setText(QStringLiteral("Bad Model Number, Configuration halted"));
        m_screen.txtErrMsg.setVisible(true);
        pause();
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
        st.unit.DeviceAddress = st.unit.PrimaryAddress;
    }
    // The notice may have taken a while to read; the bus is cleared again after it.
    if (model.hasNotice())
        (void)m_app.gpib.SendIFC(st.BoardIndex);

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
    // A pasted line break would end the message inside the value and hand the unit the rest as a
    // second message: the value stays one message, its line breaks become blanks.
    QString choice = m_screen.txtChoice.text();
    choice.replace(QLatin1Char('\r'), QLatin1Char(' '))
        .replace(QLatin1Char('\n'), QLatin1Char(' '));
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

// A unit on its switch address answers 32 + that address; the list shows it as "n/31".
QString ConfigLogic::queriedAddress(const QString& reply)
{
    const double v = readNumber(reply);
    return withoutLeadingBlanks(v >= 32 ? decimalText(v - 32) + QStringLiteral("/31 ") : reply);
}

// After a setting only the first two characters are read: the address is at most two digits.
QString ConfigLogic::readBackAddress(const QString& reply)
{
    const double v = readNumber(reply.left(2));
    return withoutLeadingBlanks(v >= 32 ? decimalText(v - 32) + QStringLiteral("/31\n")
                                        : decimalText(v) + QStringLiteral("\n"));
}

void ConfigLogic::queryStep()
{
    const ProgramState& st = m_app.state;
    const Model& model = *m_model;
    const int i = m_function;
    const auto function = model.menu->function(i);
    if (!function)
        return;

    if (i == 1) {
        if (model.triggerAtStart) {
            const int listen = 0x20 + st.unit.DeviceAddress;
            const QChar unl(0x3F);
            const QChar lad(listen);
            const QChar get(0x08);
            for (const QString& commands :
                 {QString(unl), QString(lad), QString(unl), QString(lad) + get}) {
                (void)m_app.gpib.SendCmds(st.BoardIndex, commands);
                pause();
            }
        }
        if (model.lockable) {
            (void)send(QStringLiteral("CAL:LOCK 0"));
            (void)send(QStringLiteral("*CLS"));
        }
    }

    (void)send(model.busHeader(*function) + QLatin1Char('?'));
    QString reply = receive();
    if (st.status.failed()) {
        report(QStringLiteral("Receive Error"));
    } else {
        reply = trimReply(reply);
        if (i == model.menu->addressFunction)
            reply = queriedAddress(reply);
    }

    if (i > kVisibleFunctions) {
        if (m_screen.lstFunction.removeLine(0))
            ++m_scrollCount;
    }
    showLine(i - m_scrollCount - 1, reply, false);
    m_screen.lstFunction.selectLine(m_screen.lstFunction.lineCount() - 1);
    m_screen.txtChoice.setFocus();
}

void ConfigLogic::setStep(const QString& choice)
{
    ProgramState& st = m_app.state;
    const Model& model = *m_model;
    const int i = m_function;
    const auto function = model.menu->function(i);
    if (!function)
        return;
    const bool addressFunction = i == model.menu->addressFunction;

    (void)send(model.busHeader(*function) + QLatin1Char(' ') + choice);

    if (addressFunction) {
        // Follow the unit to its new address only when it can have one; 31 (back to the switch
        // address) and anything that is not a bus address keep the address we talk to.
        if (const auto n = busAddress(choice)) {
            st.unit.PrimaryAddress = *n;
            st.unit.DeviceAddress =
                model.multiChannel() ? UnitAddress::word(*n, st.unit.SecondaryAddress) : *n;
        }
        pause();
    }
    pause();

    (void)send(QStringLiteral("*ESR?"));
    const EventStatus status = EventStatus::read(receive());
    QString shown;
    if (status.kind == EventStatus::Kind::NoAnswer) {
        shown = QStringLiteral("No response");
    } else if (!status.confirms(kRefusedBits)) {
        // A reply that holds no number, or one that cannot be an event status register, is no
        // confirmation either.
        shown = QStringLiteral("Error - retry");
    } else {
        (void)send(model.busHeader(*function) + QLatin1Char('?'));
        shown = trimReply(receive());
        if (addressFunction)
            shown = readBackAddress(shown);
    }

    showLine(i - m_scrollCount - 1, shown, true);
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
        if (st.unit.SecondaryAddress - 10 != m_model->channelCount) {
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
    if (clearStatus() && sendChecked(QStringLiteral("*SAV 0"), QStringLiteral("Send SAV Error")) &&
        saveConfirmed(QStringLiteral("Save"))) {
        m_doneArmed = true;
        m_screen.cmdSav.setEnabled(false);
    }
}

bool ConfigLogic::clearStatus()
{
    // The event status register keeps what happened since it was last read: a reply an earlier
    // bus failure left unread, for one. Cleared first, what it holds after the save is the
    // save's own verdict.
    return sendChecked(QStringLiteral("*CLS"), QStringLiteral("Send CLS Error"));
}

bool ConfigLogic::saveConfirmed(const QString& what)
{
    if (!sendChecked(QStringLiteral("*ESR?"), QStringLiteral("Send ESR Error")))
        return false;
    const QString reply = receive();
    if (m_app.state.status.failed()) {
        report(QStringLiteral("Receive ESR Error"));
        return false;
    }
    const EventStatus status = EventStatus::read(reply);
    if (status.confirms(kSaveRefusedBits))
        return true;
    switch (status.kind) {
    case EventStatus::Kind::NoAnswer:
        showStatusLine(what + QStringLiteral(" not confirmed by the unit: no answer to *ESR?"));
        break;
    case EventStatus::Kind::NoNumber:
        showStatusLine(
            what + QStringLiteral(" not confirmed by the unit: no number in its answer to *ESR?"));
        break;
    case EventStatus::Kind::Value:
        showStatusLine(what + QStringLiteral(" refused by the unit: ESR = ") +
                       QString::number(status.value));
        break;
    }
    return false;
}

void ConfigLogic::keepEnablesAtPowerOn()
{
    BusyScope busy(*this);
    m_screen.txtGPIBErr.setVisible(false);
    sendChecked(QStringLiteral("*PSC 0"), QStringLiteral("Send ESE Error"));
}

void ConfigLogic::clearEnablesAtPowerOn()
{
    BusyScope busy(*this);
    m_screen.txtGPIBErr.setVisible(false);
    sendChecked(QStringLiteral("*PSC 1"), QStringLiteral("Send ESE Error"));
}

void ConfigLogic::lockSettings()
{
    BusyScope busy(*this);
    m_screen.txtGPIBErr.setVisible(false);
    // A refused lock is reported and nothing more is sent, so the report stays the one that
    // explains it; the operator can press Lock Settings again.
    if (!clearStatus() ||
        !sendChecked(QStringLiteral("CAL:LOCK ON"), QStringLiteral("Send LOCK Error")))
        return;
    // The lock's save stores the settings as Save Configuration does, so a confirmed one lets
    // Done close without asking. The unit's register cannot tell which of the two it refused.
    if (sendChecked(QStringLiteral("*SAV 0"), QStringLiteral("Send SAV Error")) &&
        saveConfirmed(QStringLiteral("Lock or save")))
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
    m_screen.txtAddr.setText(decimalText(static_cast<int>(m_app.state.unit.PrimaryAddress)));
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
