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
    address.word = UnitAddress::wordOf(address.primary, *address.secondary);
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

namespace {

// Notes a failed call of a step: the step hands back the first one the window reports, or else
// the first one.
void keep(UnitSession::Failure& kept, const GpibStatus& status, const QString& title,
          bool windowReports = false)
{
    if (status.failed() && (!kept || (windowReports && !kept->windowReports)))
        kept = BusFailure{title, status, windowReports};
}

} // namespace

GpibStatus UnitSession::send(const QString& text)
{
    return m_gpib.Send(m_board, m_unit.word, text, 1);
}

UnitSession::Reply UnitSession::receive()
{
    Reply reply{blanks(), {}};
    reply.status = m_gpib.Receive(m_board, m_unit.word, reply.text, 0);
    return reply;
}

QString UnitSession::Reply::value() const
{
    // What arrived is the start of the buffer; a driver's count is not trusted beyond it.
    const qsizetype arrived =
        std::clamp<qsizetype>(static_cast<qsizetype>(status.ibcntl), 0, text.size());
    QString value = text.left(arrived);
    const qsizetype lf = value.indexOf(QLatin1Char('\n'));
    if (lf >= 0)
        value.truncate(lf);
    return value;
}

void UnitSession::pause() { m_clock.pause(kPauseSeconds); }

UnitSession::Failure UnitSession::prepareBoard(GPIB32& gpib, std::int16_t board)
{
    const QString title = QStringLiteral("SendIFC Error");
    if (const GpibStatus clear = gpib.SendIFC(board); clear.failed())
        return BusFailure{title, clear};
    const GpibStatus remoteEnable = gpib.ibsre(board, 1);
    const GpibStatus timeout = gpib.ibtmo(board, 11);
    if (timeout.failed())
        return BusFailure{title, timeout};
    // Both calls go out back to back; a refused remote enable must not pass unnoticed just because
    // the time-out call after it succeeded, so its own status is reported then.
    if (remoteEnable.failed())
        return BusFailure{title, remoteEnable};
    return std::nullopt;
}

UnitSession::Failure UnitSession::clearDevice(GPIB32& gpib, std::int16_t board, std::int16_t word)
{
    Failure failure;
    const GpibStatus interfaceClear = gpib.SendIFC(board);
    keep(failure, gpib.DevClear(board, word), QStringLiteral("DevClear Error"), true);
    keep(failure, interfaceClear, QStringLiteral("SendIFC Error"));
    return failure;
}

UnitSession::Failure UnitSession::clearDevice()
{
    return clearDevice(m_gpib, m_board, m_unit.word);
}

UnitSession::Failure UnitSession::clearBus()
{
    Failure failure;
    keep(failure, m_gpib.SendIFC(m_board), QStringLiteral("SendIFC Error"));
    return failure;
}

void UnitSession::takeBoardOffline(GPIB32& gpib, std::int16_t board) { (void)gpib.ibonl(board, 0); }

UnitSession::Failure UnitSession::startActions()
{
    Failure failure;
    if (m_model.triggerAtStart) {
        const int listen = 0x20 + m_unit.word;
        const QChar unl(0x3F);
        const QChar lad(listen);
        const QChar get(0x08);
        for (const QString& commands :
             {QString(unl), QString(lad), QString(unl), QString(lad) + get}) {
            keep(failure, m_gpib.SendCmds(m_board, commands), QStringLiteral("SendCmds Error"));
            pause();
        }
    }
    if (m_model.lockable) {
        keep(failure, send(QStringLiteral("CAL:LOCK 0")), QStringLiteral("Send LOCK Error"));
        keep(failure, send(QStringLiteral("*CLS")), QStringLiteral("Send CLS Error"));
    }
    return failure;
}

std::optional<UnitSession::Reading> UnitSession::query(int number)
{
    const auto function = m_model.menu->function(number);
    if (!function)
        return std::nullopt;
    Reading reading;
    keep(reading.failure, send(m_model.busHeader(*function) + QLatin1Char('?')),
         QStringLiteral("Send Error"));
    const Reply reply = receive();
    keep(reading.failure, reply.status, QStringLiteral("Receive Error"), true);
    reading.value = reply.value();
    reading.shown = reply.text;
    if (!reply.status.failed()) {
        reading.shown = trimReply(reading.shown);
        if (number == m_model.menu->addressFunction)
            reading.shown = queriedAddress(reading.shown);
    }
    return reading;
}

std::optional<UnitSession::Setting> UnitSession::set(int number, const QString& value)
{
    const auto function = m_model.menu->function(number);
    if (!function)
        return std::nullopt;
    const bool addressFunction = number == m_model.menu->addressFunction;
    const QString header = m_model.busHeader(*function);

    Setting setting;
    keep(setting.failure, send(header + QLatin1Char(' ') + value), QStringLiteral("Send Error"));
    if (addressFunction) {
        // Follow the unit to its new address only when it can have one; 31 (back to the switch
        // address) and anything that is not a bus address keep the address we talk to.
        if (const auto n = busAddress(value)) {
            m_unit.primary = *n;
            m_unit.word = m_model.multiChannel() ? UnitAddress::wordOf(*n, m_unit.secondary) : *n;
        }
        pause();
    }
    pause();

    keep(setting.failure, send(QStringLiteral("*ESR?")), QStringLiteral("Send ESR Error"));
    const Reply esr = receive();
    keep(setting.failure, esr.status, QStringLiteral("Receive ESR Error"));
    setting.status = EventStatus::read(esr.text);
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
        keep(setting.failure, send(header + QLatin1Char('?')), QStringLiteral("Send Error"));
        const Reply readBack = receive();
        keep(setting.failure, readBack.status, QStringLiteral("Receive Error"));
        setting.value = readBack.value();
        setting.shown = trimReply(readBack.text);
        if (addressFunction)
            setting.shown = readBackAddress(setting.shown);
    }
    return setting;
}

bool UnitSession::sendChecked(const QString& text, const QString& title, Verdict& verdict)
{
    const GpibStatus status = send(text);
    if (!status.failed())
        return true;
    verdict.failure = BusFailure{title, status};
    return false;
}

UnitSession::Verdict UnitSession::confirmSave(const QString& what)
{
    Verdict verdict;
    if (!sendChecked(QStringLiteral("*ESR?"), QStringLiteral("Send ESR Error"), verdict))
        return verdict;
    const Reply reply = receive();
    if (reply.status.failed()) {
        verdict.failure = BusFailure{QStringLiteral("Receive ESR Error"), reply.status};
        return verdict;
    }
    verdict.status = EventStatus::read(reply.text);
    if (verdict.status.confirms(kSaveRefusedBits))
        return verdict;
    switch (verdict.status.kind) {
    case EventStatus::Kind::NoAnswer:
        verdict.refusal = what + QStringLiteral(" not confirmed by the unit: no answer to *ESR?");
        break;
    case EventStatus::Kind::NoNumber:
        verdict.refusal =
            what + QStringLiteral(" not confirmed by the unit: no number in its answer to *ESR?");
        break;
    case EventStatus::Kind::Value:
        verdict.refusal = what + QStringLiteral(" refused by the unit: ESR = ") +
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
