// SPDX-License-Identifier: GPL-3.0-or-later
#include "UnitSession.h"

#include "core/QtText.h"
#include "models/Models.h"
#include "time/Clock.h"

#include <QRegularExpression>
#include <algorithm>
#include <cmath>

namespace gpibconfig {

namespace {

QString blanks() { return QString(UnitSession::kReplyLength, QLatin1Char(' ')); }

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

} // namespace

std::optional<TypedAddress> readTypedAddress(const QString& typed)
{
    const auto n = textToInt16(typed);
    if (!n || *n < 0 || *n >= 3000 || (*n >= 31 && *n <= 99) || (*n >= 100 && *n % 100 > 31))
        return std::nullopt;
    TypedAddress address;
    if (*n < 100) {
        address.primary = *n;
        address.word = *n;
        return address;
    }
    address.primary = static_cast<std::int16_t>(*n / 100);
    address.secondary = static_cast<std::int16_t>(*n % 100);
    address.word = UnitAddress::word(address.primary, *address.secondary);
    return address;
}

EventStatus EventStatus::read(const QString& reply)
{
    if (reply == blanks())
        return {};
    const NumberScan scan = scanNumber(reply);
    const double e = roundHalfEven(scan.value);
    if (!scan.found || !std::isfinite(e) || std::fabs(e) > 2147483647.0)
        return {Kind::NoNumber, 0};
    return {Kind::Value, static_cast<std::int64_t>(e)};
}

UnitSession::UnitSession(GPIB32& gpib, Clock& clock, const Model& model, std::int16_t board,
                         UnitAddress& unit)
    : m_gpib(gpib)
    , m_clock(clock)
    , m_model(model)
    , m_board(board)
    , m_unit(unit)
{
}

QString UnitSession::oneMessage(QString value)
{
    // A pasted line break would end the message inside the value and hand the unit the rest as a
    // second message.
    return value.replace(QLatin1Char('\r'), QLatin1Char(' '))
        .replace(QLatin1Char('\n'), QLatin1Char(' '));
}

QString UnitSession::trimReply(const QString& reply)
{
    const qsizetype lf = reply.indexOf(QLatin1Char('\n'));
    return lf < 0 ? reply : reply.left(lf + 1);
}

// A unit on its switch address answers 32 + that address; the list shows it as "n/31".
QString UnitSession::queriedAddress(const QString& reply)
{
    const double v = readNumber(reply);
    return withoutLeadingBlanks(v >= 32 ? decimalText(v - 32) + QStringLiteral("/31 ") : reply);
}

// After a setting only the first two characters are read: the address is at most two digits.
// Blanks a unit puts in front of its number are not among them, or "  7" would show as 0.
QString UnitSession::readBackAddress(const QString& reply)
{
    const double v = readNumber(withoutLeadingBlanks(reply).left(2));
    return withoutLeadingBlanks(v >= 32 ? decimalText(v - 32) + QStringLiteral("/31\n")
                                        : decimalText(v) + QStringLiteral("\n"));
}

void UnitSession::note(const GpibStatus& status, const QString& title)
{
    if (status.failed() && !m_unchecked)
        m_unchecked = BusFailure{title, status};
}

GpibStatus UnitSession::send(const QString& text)
{
    return m_gpib.Send(m_board, m_unit.DeviceAddress, text, 1);
}

void UnitSession::sendUnchecked(const QString& text, const QString& title)
{
    note(send(text), title);
}

QString UnitSession::receive(QString* value, const QString& uncheckedTitle)
{
    QString reply = blanks();
    const GpibStatus status = m_gpib.Receive(m_board, m_unit.DeviceAddress, reply, 0);
    if (!uncheckedTitle.isEmpty())
        note(status, uncheckedTitle);
    if (value) {
        // What arrived is the start of the buffer; a driver's count is not trusted beyond it.
        const qsizetype arrived =
            std::clamp<qsizetype>(static_cast<qsizetype>(status.ibcntl), 0, reply.size());
        *value = reply.left(arrived);
        const qsizetype lf = value->indexOf(QLatin1Char('\n'));
        if (lf >= 0)
            value->truncate(lf);
    }
    return reply;
}

void UnitSession::pause() { m_clock.pause(kPauseSeconds); }

bool UnitSession::prepareBoard(GPIB32& gpib, GpibStatus& status, std::int16_t board)
{
    if (gpib.SendIFC(board).failed())
        return false;
    (void)gpib.ibsre(board, 1);
    const GpibStatus afterRemoteEnable = status;
    (void)gpib.ibtmo(board, 11);
    // Both calls go out back to back; a refused remote enable must not pass unnoticed just because
    // the time-out call after it succeeded, so its own status is reported then.
    if (!status.failed() && afterRemoteEnable.failed())
        status = afterRemoteEnable;
    return !status.failed();
}

bool UnitSession::clearDevice(GPIB32& gpib, std::int16_t board, std::int16_t word,
                              std::optional<BusFailure>* unchecked)
{
    const GpibStatus ifc = gpib.SendIFC(board);
    if (unchecked && ifc.failed() && !*unchecked)
        *unchecked = BusFailure{QStringLiteral("SendIFC Error"), ifc};
    return !gpib.DevClear(board, word).failed();
}

bool UnitSession::clearDevice()
{
    return clearDevice(m_gpib, m_board, m_unit.DeviceAddress, &m_unchecked);
}

void UnitSession::clearBus() { note(m_gpib.SendIFC(m_board), QStringLiteral("SendIFC Error")); }

void UnitSession::startActions()
{
    if (m_model.triggerAtStart) {
        const int listen = 0x20 + m_unit.DeviceAddress;
        const QChar unl(0x3F);
        const QChar lad(listen);
        const QChar get(0x08);
        for (const QString& commands :
             {QString(unl), QString(lad), QString(unl), QString(lad) + get}) {
            note(m_gpib.SendCmds(m_board, commands), QStringLiteral("SendCmds Error"));
            pause();
        }
    }
    if (m_model.lockable) {
        sendUnchecked(QStringLiteral("CAL:LOCK 0"), QStringLiteral("Send LOCK Error"));
        sendUnchecked(QStringLiteral("*CLS"), QStringLiteral("Send CLS Error"));
    }
}

std::optional<UnitSession::Reading> UnitSession::query(int number)
{
    const auto function = m_model.menu->function(number);
    if (!function)
        return std::nullopt;
    sendUnchecked(m_model.busHeader(*function) + QLatin1Char('?'), QStringLiteral("Send Error"));
    Reading reading;
    QString reply = receive(&reading.value);
    reading.failed = m_gpib.status().failed();
    if (!reading.failed) {
        reply = trimReply(reply);
        if (number == m_model.menu->addressFunction)
            reply = queriedAddress(reply);
    }
    reading.shown = reply;
    return reading;
}

std::optional<UnitSession::Setting> UnitSession::set(int number, const QString& value)
{
    const auto function = m_model.menu->function(number);
    if (!function)
        return std::nullopt;
    const bool addressFunction = number == m_model.menu->addressFunction;
    const QString header = m_model.busHeader(*function);

    sendUnchecked(header + QLatin1Char(' ') + value, QStringLiteral("Send Error"));
    if (addressFunction) {
        // Follow the unit to its new address only when it can have one; 31 (back to the switch
        // address) and anything that is not a bus address keep the address we talk to.
        if (const auto n = busAddress(value)) {
            m_unit.PrimaryAddress = *n;
            m_unit.DeviceAddress =
                m_model.multiChannel() ? UnitAddress::word(*n, m_unit.SecondaryAddress) : *n;
        }
        pause();
    }
    pause();

    sendUnchecked(QStringLiteral("*ESR?"), QStringLiteral("Send ESR Error"));
    Setting setting;
    setting.status = EventStatus::read(receive(nullptr, QStringLiteral("Receive ESR Error")));
    if (setting.status.kind == EventStatus::Kind::NoAnswer) {
        setting.outcome = Setting::Outcome::NoResponse;
        setting.shown = QStringLiteral("No response");
    } else if (!setting.status.confirms(kRefusedBits)) {
        // A reply that holds no number, or one that cannot be an event status register, is no
        // confirmation either.
        setting.outcome = Setting::Outcome::NotConfirmed;
        setting.shown = QStringLiteral("Error - retry");
    } else {
        setting.outcome = Setting::Outcome::Taken;
        sendUnchecked(header + QLatin1Char('?'), QStringLiteral("Send Error"));
        setting.shown = trimReply(receive(&setting.value, QStringLiteral("Receive Error")));
        if (addressFunction)
            setting.shown = readBackAddress(setting.shown);
    }
    return setting;
}

bool UnitSession::sendChecked(const QString& text, const QString& title, Verdict& verdict)
{
    if (!send(text).failed())
        return true;
    verdict.kind = Verdict::Kind::BusFailed;
    verdict.title = title;
    return false;
}

UnitSession::Verdict UnitSession::confirmSave(const QString& what)
{
    Verdict verdict;
    if (!sendChecked(QStringLiteral("*ESR?"), QStringLiteral("Send ESR Error"), verdict))
        return verdict;
    const QString reply = receive();
    if (m_gpib.status().failed()) {
        verdict.kind = Verdict::Kind::BusFailed;
        verdict.title = QStringLiteral("Receive ESR Error");
        return verdict;
    }
    verdict.status = EventStatus::read(reply);
    if (verdict.status.confirms(kSaveRefusedBits))
        return verdict;
    verdict.kind = Verdict::Kind::NotConfirmed;
    switch (verdict.status.kind) {
    case EventStatus::Kind::NoAnswer:
        verdict.text = what + QStringLiteral(" not confirmed by the unit: no answer to *ESR?");
        break;
    case EventStatus::Kind::NoNumber:
        verdict.text =
            what + QStringLiteral(" not confirmed by the unit: no number in its answer to *ESR?");
        break;
    case EventStatus::Kind::Value:
        verdict.text = what + QStringLiteral(" refused by the unit: ESR = ") +
                       QString::number(verdict.status.value);
        break;
    }
    return verdict;
}

UnitSession::Verdict UnitSession::save()
{
    // The event status register keeps what happened since it was last read: a reply an earlier
    // bus failure left unread, for one. Cleared first, what it holds after the save is the
    // save's own verdict.
    Verdict verdict;
    if (!sendChecked(QStringLiteral("*CLS"), QStringLiteral("Send CLS Error"), verdict) ||
        !sendChecked(QStringLiteral("*SAV 0"), QStringLiteral("Send SAV Error"), verdict))
        return verdict;
    return confirmSave(QStringLiteral("Save"));
}

UnitSession::Verdict UnitSession::lock()
{
    // A refused lock ends it, so its report stays the one that explains it. The lock's save
    // stores the settings as a plain save does; the unit's register cannot tell which of the two
    // it refused.
    Verdict verdict;
    if (!sendChecked(QStringLiteral("*CLS"), QStringLiteral("Send CLS Error"), verdict) ||
        !sendChecked(QStringLiteral("CAL:LOCK ON"), QStringLiteral("Send LOCK Error"), verdict) ||
        !sendChecked(QStringLiteral("*SAV 0"), QStringLiteral("Send SAV Error"), verdict))
        return verdict;
    return confirmSave(QStringLiteral("Lock or save"));
}

UnitSession::Verdict UnitSession::powerOnStatus(bool keepEnables)
{
    Verdict verdict;
    sendChecked(keepEnables ? QStringLiteral("*PSC 0") : QStringLiteral("*PSC 1"),
                QStringLiteral("Send ESE Error"), verdict);
    return verdict;
}

} // namespace gpibconfig
