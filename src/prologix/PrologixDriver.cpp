// SPDX-License-Identifier: GPL-3.0-or-later
#include "PrologixDriver.h"

#include <QDeadlineTimer>
#include <algorithm>
#include <array>
#include <cstring>

namespace gpibconfig::prologix {

Q_LOGGING_CATEGORY(lcPrologix, "gpibconfig.prologix", QtWarningMsg)

namespace {

constexpr char kEsc = 0x1B;
constexpr int kStopOnEndOnly = 0x0100;
// ++trg takes at most 15 addresses (Prologix manual, "trg"; AR488 command reference, "++trg").
constexpr std::size_t kMaxTriggerAddresses = 15;

// NI-488.2 time-out codes 0 (none) to 17, in microseconds.
constexpr std::array<long long, 18> kTimeoutMicros = {
    0,         10,         30,         100,         300,         1'000,
    3'000,     10'000,     30'000,     100'000,     300'000,     1'000'000,
    3'000'000, 10'000'000, 30'000'000, 100'000'000, 300'000'000, 1'000'000'000};

struct BusAddress {
    int primary;
    int secondaryByte; // 0x60-0x7E as it goes on the bus, 0 for none
};

std::optional<BusAddress> decode(Addr4882 address)
{
    const int primary = address & 0xFF;
    const int high = (address >> 8) & 0xFF;
    if (primary > 30 || (high != 0 && (high < 0x60 || high > 0x7E)))
        return std::nullopt;
    return BusAddress{primary, high};
}

QString hexByte(unsigned value)
{
    return QString::number(value, 16).rightJustified(2, QLatin1Char('0')).toUpper();
}

// The exchange as a person reads it in the log.
QString printable(const QByteArray& bytes)
{
    QString out;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        switch (b) {
        case '\n':
            out += QStringLiteral("\\n");
            break;
        case '\r':
            out += QStringLiteral("\\r");
            break;
        case '\\':
            out += QStringLiteral("\\\\");
            break;
        default:
            if (b >= 0x20 && b < 0x7F)
                out += QLatin1Char(static_cast<char>(b));
            else
                out += QStringLiteral("\\x") + hexByte(b);
        }
    }
    return out;
}

QString withDetail(const QString& text, const QString& detail)
{
    return detail.isEmpty() ? text : text + QStringLiteral(" (") + detail + QLatin1Char(')');
}

} // namespace

PrologixDriver::PrologixDriver(std::unique_ptr<Transport> transport, Timing timing)
    : m_transport(std::move(transport))
    , m_timing(timing)
    , m_where(m_transport->where())
{
}

PrologixDriver::~PrologixDriver() = default;

std::unique_ptr<PrologixDriver> PrologixDriver::serial(const QString& port, Timing timing)
{
    return std::make_unique<PrologixDriver>(makeSerialTransport(port), timing);
}

std::unique_ptr<PrologixDriver> PrologixDriver::tcp(const QString& host, quint16 port,
                                                    Timing timing)
{
    return std::make_unique<PrologixDriver>(makeTcpTransport(host, port, timing.connectMs), timing);
}

std::optional<int> PrologixDriver::readTimeoutFor(int ibtmoCode)
{
    if (ibtmoCode < 0 || ibtmoCode >= static_cast<int>(kTimeoutMicros.size()))
        return std::nullopt;
    const long long micros = kTimeoutMicros[static_cast<std::size_t>(ibtmoCode)];
    if (micros == 0)
        return kMaxReadTimeoutMs; // "no time-out" is as long as the controller can wait
    const long long ms = (micros + 999) / 1000;
    return static_cast<int>(std::clamp<long long>(ms, 1, kMaxReadTimeoutMs));
}

QByteArray PrologixDriver::escapedLine(const QByteArray& data)
{
    // Prologix GPIB-USB manual, 7.1 "Binary Data Transmission": CR, LF, ESC and '+' in data
    // are preceded by ESC; the AR488 command reference says the same.
    QByteArray out;
    out.reserve(data.size() * 2 + 1);
    for (const char c : data) {
        if (c == '\r' || c == '\n' || c == kEsc || c == '+')
            out += kEsc;
        out += c;
    }
    out += '\n';
    return out;
}

// ---------------------------------------------------------------------------------------------
// Status

long PrologixDriver::stateBits() const { return m_ready ? sta::CIC : 0; }

bool PrologixDriver::isLinkProblem(Problem problem)
{
    switch (problem) {
    case Problem::NoController:
    case Problem::NoAnswer:
    case Problem::WrongAnswer:
    case Problem::Stopped:
    case Problem::SetupRefused:
        return true;
    case Problem::None:
    case Problem::NoCapability:
    case Problem::AddressRefused:
        break;
    }
    return false;
}

void PrologixDriver::succeed(long count, long extra)
{
    m_ibsta = sta::CMPL | sta::CIC | extra;
    m_ibcntl = count;
    m_problem = Problem::None;
}

void PrologixDriver::fail(int iberr, long count, long extra)
{
    // Without a controller nothing completed and no role is known; otherwise the call ended
    // with the controller still in charge.
    m_ibsta = iberr == err::EDVR ? sta::ERR : sta::ERR | sta::CMPL | extra | stateBits();
    m_iberr = iberr;
    m_ibcntl = count;
}

void PrologixDriver::failNoController()
{
    // What went wrong with the link was noted where it was found; otherwise the transport says.
    if (!isLinkProblem(m_problem)) {
        m_problem = Problem::NoController;
        m_transportFault = m_transport->fault();
        m_problemText = m_transport->detail();
    }
    fail(err::EDVR);
}

void PrologixDriver::failCapability(QString what)
{
    m_problem = Problem::NoCapability;
    m_problemText = std::move(what);
    fail(err::ECAP);
}

void PrologixDriver::failAddress(QString what)
{
    m_problem = Problem::AddressRefused;
    m_problemText = std::move(what);
    fail(err::EARG);
}

bool PrologixDriver::beginCall(int board)
{
    m_problem = Problem::None;
    if (board != 0) {
        // The controller is the only board there is.
        fail(err::ENEB);
        return false;
    }
    return true;
}

QString PrologixDriver::addressText(int primary, int secondaryByte) const
{
    return secondaryByte == 0
               ? QString::number(primary)
               : QStringLiteral("%1 secondary %2").arg(primary).arg(secondaryByte - 0x60);
}

// ---------------------------------------------------------------------------------------------
// The connection

void PrologixDriver::dropConnection()
{
    m_transport->close();
    m_ready = false;
    m_addressSent.reset();
    m_eoiSent.reset();
    m_readTimeoutSent.reset();
    m_pending.clear();
    m_pendingFrom.reset();
    m_input.takeRest();
}

void PrologixDriver::linkLost()
{
    m_problem = Problem::NoController;
    m_transportFault = m_transport->fault();
    m_problemText = m_transport->detail();
    dropConnection();
}

void PrologixDriver::stopped(const char* what)
{
    qCDebug(lcPrologix).noquote() << "the controller on" << m_where << "stopped answering:" << what;
    m_problem = Problem::Stopped;
    m_problemText = QString::fromLatin1(what);
    dropConnection();
}

bool PrologixDriver::ensureController()
{
    if (m_ready) {
        if (m_transport->isOpen())
            return true;
        qCWarning(lcPrologix).noquote()
            << "the controller on" << m_where << "went away; opening it again";
    }
    dropConnection();
    m_problem = Problem::None;
    if (!m_transport->open()) {
        qCDebug(lcPrologix).noquote() << m_where << "cannot be opened:" << m_transport->detail();
        linkLost();
        return false;
    }
    if (!handshake() || !identifyFamily() || !setUp()) {
        dropConnection();
        return false;
    }
    m_ready = true;
    return true;
}

std::optional<QByteArray> PrologixDriver::readLine(QDeadlineTimer& deadline)
{
    while (true) {
        if (auto line = m_input.next())
            return line;
        if (!m_transport->waitForBytes(static_cast<int>(deadline.remainingTime()))) {
            if (deadline.hasExpired() || !m_transport->isOpen())
                return std::nullopt;
            continue;
        }
        const QByteArray bytes = m_transport->takeAll();
        qCDebug(lcPrologix).noquote() << m_where << "<" << printable(bytes);
        m_input.append(bytes);
    }
}

bool PrologixDriver::quietLink()
{
    // Whatever the controller still sends (the end of an exchange the driver gave up on, the
    // banner of a board that just started) is let through until the link is quiet, and dropped.
    QByteArray dropped = m_input.takeRest();
    QDeadlineTimer settle(m_timing.settleMs);
    while (m_transport->waitForBytes(
        static_cast<int>(std::min<qint64>(m_timing.quietMs, settle.remainingTime())))) {
        dropped += m_transport->takeAll();
        if (settle.hasExpired())
            break;
    }
    if (!dropped.isEmpty())
        qCDebug(lcPrologix).noquote() << m_where << "< (late, discarded)" << printable(dropped);
    if (!m_transport->isOpen()) {
        linkLost();
        return false;
    }
    return true;
}

bool PrologixDriver::handshake()
{
    if (!quietLink())
        return false;
    QDeadlineTimer overall(m_timing.versionWaitMs);
    QByteArray otherAnswer;
    std::optional<ControllerIdentity> identity;
    int asked = 0;
    while (!identity && !overall.hasExpired()) {
        // ++ver is asked again now and then: a board that resets when its port opens (Arduino)
        // is deaf while it starts.
        if (!sendLine("++ver\n"))
            return false;
        ++asked;
        QDeadlineTimer retry(std::min<qint64>(m_timing.versionRetryMs, overall.remainingTime()));
        while (!identity) {
            const auto line = readLine(retry);
            if (!line)
                break;
            identity = versionAnswer(*line);
            if (!identity && controllerMessage(*line) == ControllerMessage::None &&
                !line->trimmed().isEmpty())
                otherAnswer = line->trimmed();
        }
        if (!m_transport->isOpen()) {
            linkLost();
            return false;
        }
    }
    if (!identity) {
        if (otherAnswer.isEmpty()) {
            m_problem = Problem::NoAnswer;
        } else {
            m_problem = Problem::WrongAnswer;
            m_problemText = QString::fromLatin1(otherAnswer.left(60));
        }
        qCWarning(lcPrologix).noquote()
            << "no Prologix-compatible controller answered ++ver on" << m_where;
        return false;
    }
    m_versionText = identity->text;
    m_version = QString::fromLatin1(identity->text);
    m_family = identity->family;
    // Answers to the ++ver asked before may still be on their way: one exchange more, on a quiet
    // link, pairs the question with its answer.
    return asked == 1 || resync("it did not answer ++ver again");
}

bool PrologixDriver::identifyFamily()
{
    if (m_family == Family::Ar488)
        return true;
    // An AR488 board may answer ++ver with any text (++id verstr), a Prologix controller's
    // included, but names itself in "++ver real". The ++addr query after it marks where that
    // answer ends, whatever a controller without "++ver real" makes of it.
    if (!sendLine("++ver real\n++addr\n"))
        return false;
    QList<QByteArray> before;
    AddressAnswer answer;
    if (!awaitAddress(before, answer, "it did not answer the ++addr query"))
        return false;
    for (const QByteArray& line : before) {
        if (const auto real = versionAnswer(line); real && real->family == Family::Ar488) {
            qCInfo(lcPrologix).noquote()
                << "the controller on" << m_where << "is an AR488 board:" << real->text;
            m_family = Family::Ar488;
        }
    }
    return true;
}

bool PrologixDriver::setUp()
{
    qCInfo(lcPrologix).noquote() << "controller on" << m_where << "answered:" << m_version;
    // Prologix saves every setting below in its EEPROM while savecfg is on, as it is after each
    // power-up; turned off first, none of them is written. Not on AR488: there ++savecfg itself
    // writes the EEPROM.
    QList<QByteArray> setup;
    if (m_family == Family::Prologix)
        setup << "++savecfg 0\n";
    // Controller mode; the program reads with ++read; EOI with the last byte and no terminator
    // added, as the program supplies its own line feed; an EOT character marks where a reply
    // ended with EOI.
    setup << "++mode 1\n"
          << "++auto 0\n"
          << "++eoi 1\n"
          << "++eos 3\n"
          << "++eot_enable 1\n"
          << "++eot_char " + QByteArray::number(kEotChar) + '\n'
          << "++read_tmo_ms " + QByteArray::number(m_readTimeoutMs) + '\n';
    QList<QByteArray> before;
    AddressAnswer answer;
    if (!commandsConfirmed(setup, before, answer))
        return false;
    for (const QByteArray& line : before) {
        if (controllerMessage(line) == ControllerMessage::Refusal) {
            m_problem = Problem::SetupRefused;
            m_problemText = QString::fromLatin1(line.trimmed().left(60));
            qCDebug(lcPrologix).noquote()
                << "the controller on" << m_where << "refused its set-up:" << m_problemText;
            return false;
        }
    }
    m_eoiSent = true;
    m_readTimeoutSent = m_readTimeoutMs;
    m_addressSent = static_cast<Addr4882>(answer.primary | (answer.secondary << 8));
    return true;
}

bool PrologixDriver::resync(const char* why)
{
    if (!quietLink() || !sendLine("++ver\n"))
        return false;
    QDeadlineTimer wait(m_timing.versionWaitMs);
    while (const auto line = readLine(wait)) {
        if (line->trimmed().endsWith(m_versionText))
            return true;
        qCDebug(lcPrologix).noquote()
            << m_where << "< (late, discarded)" << printable(*line + '\n');
    }
    if (!m_transport->isOpen())
        linkLost();
    else
        stopped(why);
    return false;
}

bool PrologixDriver::commandsConfirmed(const QList<QByteArray>& commands, QList<QByteArray>& before,
                                       AddressAnswer& answer)
{
    // Each group of commands is followed by a bare ++addr, whose answer says the controller got
    // that far, and any refusal comes before it. A group fits the 64-byte receive buffer of an
    // Arduino Uno: AR488 does not read its input while it carries out a command (++mode 1 alone
    // takes 80 ms), and what does not fit is lost.
    constexpr qsizetype kInputBuffer = 64;
    const QByteArray query = "++addr\n";
    QByteArray group;
    const auto confirm = [&] {
        return sendLine(std::exchange(group, QByteArray()) + query) &&
               awaitAddress(before, answer, "it did not answer the ++addr query");
    };
    for (const QByteArray& command : commands) {
        if (!group.isEmpty() && group.size() + command.size() + query.size() > kInputBuffer &&
            !confirm())
            return false;
        group += command;
    }
    return confirm();
}

bool PrologixDriver::awaitAddress(QList<QByteArray>& before, AddressAnswer& answer,
                                  const char* query)
{
    QDeadlineTimer wait(m_timing.answerMs);
    while (const auto line = readLine(wait)) {
        if (const auto address = addressAnswer(*line)) {
            answer = *address;
            return true;
        }
        if (!line->trimmed().isEmpty())
            before << line->trimmed();
    }
    if (!m_transport->isOpen())
        linkLost();
    else
        stopped(query);
    return false;
}

bool PrologixDriver::sendLine(const QByteArray& line)
{
    qCDebug(lcPrologix).noquote() << m_where << ">" << printable(line);
    if (m_transport->write(line, m_timing.writeMs)) {
        m_bytesWritten += line.size();
        return true;
    }
    linkLost();
    return false;
}

bool PrologixDriver::command(const QByteArray& text) { return sendLine(text + '\n'); }

// On false the call has failed: EDVR, EARG or ECAP with what explainFailure() says.
bool PrologixDriver::selectAddress(Addr4882 address)
{
    if (m_addressSent == address)
        return true;
    const auto where = decode(address);
    // Prologix manual, "addr": ++addr PAD [SAD], SAD given as 96-126; AR488 takes the same. The
    // bare ++addr after it answers what the controller took: AR488 refuses its own address (0)
    // and keeps the one before, and before 0.52.15 drops the secondary without a word.
    QByteArray text = "++addr " + QByteArray::number(where->primary);
    if (where->secondaryByte != 0)
        text += ' ' + QByteArray::number(where->secondaryByte);
    QList<QByteArray> before;
    AddressAnswer answer;
    if (!sendLine(text + "\n++addr\n") ||
        !awaitAddress(before, answer, "it did not answer the ++addr query")) {
        failNoController();
        return false;
    }
    const auto taken = static_cast<Addr4882>(answer.primary | (answer.secondary << 8));
    m_addressSent = taken;
    if (taken == address)
        return true;
    QString said;
    for (const QByteArray& line : before)
        if (controllerMessage(line) != ControllerMessage::Handshake)
            said += QStringLiteral(" (it answered \"%1\")").arg(QString::fromLatin1(line.left(60)));
    qCDebug(lcPrologix).noquote() << "the controller on" << m_where << "did not take" << text
                                  << "and answered" << printable(before.join('\n')) << "then"
                                  << answer.primary << answer.secondary;
    if (answer.primary == where->primary && where->secondaryByte != 0 && answer.secondary == 0) {
        failCapability(
            QStringLiteral(
                "The controller on %1 dropped the secondary address of GPIB address %2%3: its "
                "firmware (%4) is too old for secondary addresses, so the unit's channels "
                "cannot be reached through it. AR488 firmware takes secondary addresses from "
                "release 0.52.15 on.")
                .arg(m_where, addressText(where->primary, where->secondaryByte), said, m_version));
        return false;
    }
    QString text2 = QStringLiteral("The controller on %1 refused GPIB address %2%3 and kept "
                                   "address %4, so nothing was sent there.")
                        .arg(m_where, addressText(where->primary, where->secondaryByte), said,
                             addressText(answer.primary, answer.secondary));
    if (where->primary == 0)
        text2 += QStringLiteral(" An AR488 board keeps address 0 for itself; set the unit to an "
                                "address from 1 to 30.");
    failAddress(text2);
    return false;
}

bool PrologixDriver::setEoi(bool on)
{
    if (m_eoiSent == on)
        return true;
    if (!command(on ? "++eoi 1" : "++eoi 0"))
        return false;
    m_eoiSent = on;
    return true;
}

void PrologixDriver::discardLateBytes()
{
    // What a controller sends after the driver stopped waiting must not be taken for the answer
    // to the next command. On a link in a known state nothing is there.
    QByteArray late = m_input.takeRest();
    if (m_transport->waitForBytes(0))
        late += m_transport->takeAll();
    if (!late.isEmpty())
        qCWarning(lcPrologix).noquote()
            << m_where << "sent what nobody asked for (discarded):" << printable(late);
}

// ---------------------------------------------------------------------------------------------
// The calls

void PrologixDriver::sendIfc(int board)
{
    if (!beginCall(board))
        return;
    if (!ensureController() || !command("++ifc"))
        return failNoController();
    m_listeners.clear();
    m_pending.clear();
    m_pendingFrom.reset();
    succeed(0);
}

void PrologixDriver::devClear(int board, Addr4882 address)
{
    if (!beginCall(board))
        return;
    if (address == kNoAddress)
        return failCapability(QStringLiteral(
            "A Prologix-compatible controller clears one addressed device (++clr); it cannot "
            "send the device clear to all devices at once."));
    if (!decode(address))
        return fail(err::EARG);
    if (!ensureController())
        return failNoController();
    if (!selectAddress(address))
        return;
    if (!command("++clr"))
        return failNoController();
    // The selected device clear leaves the device addressed to listen.
    m_listeners = {{address & 0xFF, decode(address)->secondaryByte}};
    m_pending.clear();
    m_pendingFrom.reset();
    succeed(0);
}

void PrologixDriver::send(int board, Addr4882 address, const std::uint8_t* data, long count,
                          int eotMode)
{
    if (!beginCall(board))
        return;
    if (!decode(address) || count < 0 || (count > 0 && !data) || eotMode < eot::NULLend ||
        eotMode > eot::DABend)
        return fail(err::EARG);
    QByteArray payload(reinterpret_cast<const char*>(data), static_cast<qsizetype>(count));
    if (eotMode == eot::NLend)
        payload += '\n';
    m_pending.clear();
    m_pendingFrom.reset();
    if (!ensureController())
        return failNoController();
    if (!selectAddress(address))
        return;
    // An empty line is not sent at all by the controller; nothing goes on the bus either way.
    if (!payload.isEmpty() && (!setEoi(eotMode != eot::NULLend) || !sendLine(escapedLine(payload))))
        return failNoController();
    m_listeners = {{address & 0xFF, decode(address)->secondaryByte}};
    succeed(static_cast<long>(payload.size()));
}

void PrologixDriver::receive(int board, Addr4882 address, std::uint8_t* buffer, long count,
                             int termination)
{
    if (!beginCall(board))
        return;
    if (!decode(address) || count < 0 || (count > 0 && !buffer) || termination < 0 ||
        (termination > 0xFF && termination != kStopOnEndOnly))
        return fail(err::EARG);

    const auto deliver = [&](const QByteArray& bytes) {
        const long n = std::min<long>(count, static_cast<long>(bytes.size()));
        if (n > 0)
            std::memcpy(buffer, bytes.constData(), static_cast<std::size_t>(n));
        return n;
    };

    // The rest of a reply longer than the last buffer: a board leaves it with the talker, which
    // gives it on the next read.
    if (m_pendingFrom == address && !m_pending.isEmpty() && count > 0) {
        const long n = deliver(m_pending);
        m_pending.remove(0, n);
        const bool ended = m_pending.isEmpty() && m_pendingEnded;
        if (m_pending.isEmpty())
            m_pendingFrom.reset();
        return succeed(n, ended ? sta::END : 0);
    }
    m_pending.clear();
    m_pendingFrom.reset();

    if (!ensureController())
        return failNoController();
    if (!selectAddress(address))
        return;
    m_listeners.clear();
    if (count == 0)
        return succeed(0);

    discardLateBytes();
    // Prologix manual, "read": ++read eoi reads until EOI or until ++read_tmo_ms passes without
    // a character; with ++eot_enable the EOT character follows a reply that ended with EOI.
    if (!command("++read eoi"))
        return failNoController();
    QByteArray reply;
    const int silenceMs = m_readTimeoutMs + m_timing.readMarginMs;
    QDeadlineTimer silence(silenceMs);
    QDeadlineTimer afterEot(m_timing.eotQuietMs);
    bool maybeEnded = false;
    while (true) {
        // An EOT character at the end ends the reply once nothing follows it for a while.
        QDeadlineTimer& deadline = maybeEnded ? afterEot : silence;
        if (m_transport->waitForBytes(static_cast<int>(deadline.remainingTime()))) {
            const QByteArray bytes = m_transport->takeAll();
            qCDebug(lcPrologix).noquote() << m_where << "<" << printable(bytes);
            reply += bytes;
            silence.setRemainingTime(silenceMs);
            maybeEnded = readOutput(reply, kEotChar).endedWithEoi;
            if (maybeEnded)
                afterEot.setRemainingTime(m_timing.eotQuietMs);
            continue;
        }
        if (!m_transport->isOpen()) {
            const long n = deliver(readOutput(reply, kEotChar).data);
            linkLost();
            failNoController();
            m_ibcntl = n;
            return;
        }
        if (deadline.hasExpired())
            break;
    }
    const ReadOutput out = readOutput(reply, kEotChar);
    for (const QByteArray& line : out.controllerLines)
        qCWarning(lcPrologix).noquote()
            << "the controller on" << m_where << "said" << printable(line) << "(not data)";
    const long n = deliver(out.data);
    if (!out.endedWithEoi) {
        // The controller's read ended by its time-out, or it is still at it, or it is gone: the
        // link is brought back to a known state before anything else, and a controller that no
        // longer answers is reported as such, not as a silent unit.
        qCDebug(lcPrologix).noquote()
            << m_where << "read timed out after" << out.data.size() << "bytes";
        if (!resync("it did not answer ++ver after a read timed out")) {
            failNoController();
            m_ibcntl = n;
            return;
        }
        // A reply that stopped without EOI counts when its last byte is a line feed (a unit
        // that does not assert EOI); anything else stopped because the time ran out.
        if (!out.data.endsWith('\n'))
            return fail(err::EABO, n, sta::TIMO);
    }
    if (out.data.size() > n) {
        m_pending = out.data.mid(n);
        m_pendingFrom = address;
        m_pendingEnded = out.endedWithEoi;
        return succeed(n);
    }
    succeed(n, out.endedWithEoi ? sta::END : 0);
}

void PrologixDriver::sendCmds(int board, const std::uint8_t* commands, long count)
{
    if (!beginCall(board))
        return;
    if (count < 0 || (count > 0 && !commands))
        return fail(err::EARG);

    // The protocol has no way to put arbitrary command bytes on the bus. It addresses and
    // triggers listeners itself (++trg), so unlisten and listen addresses only change whom a
    // later group execute trigger reaches. Everything is checked before anything is sent.
    std::vector<std::pair<int, int>> listeners = m_listeners;
    std::vector<std::vector<std::pair<int, int>>> triggers;
    bool afterListenAddress = false;
    for (long i = 0; i < count; ++i) {
        const std::uint8_t byte = commands[i];
        if (byte == 0x3F) { // UNL
            listeners.clear();
            afterListenAddress = false;
        } else if (byte >= 0x20 && byte <= 0x3E) { // LAD
            const std::pair<int, int> listener{byte - 0x20, 0};
            if (std::find(listeners.begin(), listeners.end(), listener) == listeners.end())
                listeners.push_back(listener);
            afterListenAddress = true;
        } else if (byte >= 0x60 && byte <= 0x7E && afterListenAddress) { // SAD of that listener
            listeners.back().second = byte;
            afterListenAddress = false;
        } else if (byte == 0x08) { // GET
            triggers.push_back(listeners);
            afterListenAddress = false;
        } else {
            return failCapability(
                QStringLiteral("A Prologix-compatible controller cannot send the command byte "
                               "%1; it sends unlisten, listen addresses and group execute "
                               "trigger (++trg) only.")
                    .arg(QStringLiteral("0x") + hexByte(byte)));
        }
    }

    m_pending.clear();
    m_pendingFrom.reset();
    if (!ensureController())
        return failNoController();
    if (!checkTriggers(triggers))
        return;
    QList<QByteArray> lines;
    for (const auto& group : triggers) {
        // A trigger with no listener reaches no one, as on the bus.
        for (std::size_t from = 0; from < group.size(); from += kMaxTriggerAddresses) {
            QByteArray text = "++trg";
            const std::size_t to = std::min(group.size(), from + kMaxTriggerAddresses);
            for (std::size_t k = from; k < to; ++k) {
                text += ' ' + QByteArray::number(group[k].first);
                if (group[k].second != 0)
                    text += ' ' + QByteArray::number(group[k].second);
            }
            lines << text + '\n';
        }
    }
    if (!lines.isEmpty()) {
        // ++trg says nothing when it triggered; the ++addr query after it brings a refusal.
        QList<QByteArray> before;
        AddressAnswer answer;
        if (!commandsConfirmed(lines, before, answer))
            return failNoController();
        m_addressSent = static_cast<Addr4882>(answer.primary | (answer.secondary << 8));
        // AR488's optional handshake flags ("Send^OK") are no refusal.
        before.removeIf([](const QByteArray& line) {
            return controllerMessage(line) == ControllerMessage::Handshake;
        });
        if (!before.isEmpty())
            return failCapability(
                QStringLiteral("The controller on %1 refused the trigger \"%2\" (it answered "
                               "\"%3\").")
                    .arg(m_where, QString::fromLatin1(lines.join().trimmed().replace('\n', "; ")),
                         QString::fromLatin1(before.first().left(60))));
    }
    m_listeners = std::move(listeners);
    succeed(count);
}

bool PrologixDriver::checkTriggers(const std::vector<std::vector<std::pair<int, int>>>& triggers)
{
    // AR488 (0.51.09 and 0.53.04 alike) triggers primary addresses 1 to 30 only: ++trg checks
    // each with notInRange(param, 1, 30) and triggers none when one is out of range.
    if (m_family != Family::Ar488)
        return true;
    for (const auto& group : triggers) {
        for (const auto& [primary, secondary] : group) {
            if (secondary != 0) {
                failCapability(QStringLiteral("The AR488 controller on %1 triggers primary "
                                              "addresses only (++trg takes 1 to 30); it cannot "
                                              "trigger GPIB address %2.")
                                   .arg(m_where, addressText(primary, secondary)));
                return false;
            }
            if (primary == 0) {
                failAddress(QStringLiteral("The AR488 controller on %1 cannot trigger GPIB "
                                           "address 0, which it keeps for itself (++trg takes 1 "
                                           "to 30).")
                                .arg(m_where));
                return false;
            }
        }
    }
    return true;
}

void PrologixDriver::setOnline(int ud, int v)
{
    (void)v;
    if (ud != 0) {
        fail(err::EDVR);
        return;
    }
    // Nothing to take offline: the controller keeps the bus, and the next call goes on with
    // the same settings. The last failure stays for explainFailure().
    m_ibsta = sta::CMPL | stateBits();
    m_ibcntl = 0;
}

void PrologixDriver::setRemoteEnable(int ud, int v)
{
    m_problem = Problem::None;
    if (ud != 0) {
        fail(err::EDVR);
    } else if (v == 0) {
        failCapability(QStringLiteral("A Prologix-compatible controller keeps remote enable "
                                      "asserted; it cannot release it."));
    } else if (!ensureController()) {
        // In controller mode the controller asserts remote enable itself.
        failNoController();
    } else {
        succeed(0);
    }
}

void PrologixDriver::setTimeout(int ud, int v)
{
    m_problem = Problem::None;
    if (ud != 0) {
        fail(err::EDVR);
        return;
    }
    const auto ms = readTimeoutFor(v);
    if (!ms) {
        fail(err::EARG);
        return;
    }
    const long long asked = kTimeoutMicros[static_cast<std::size_t>(v)];
    if ((asked == 0 || asked > kMaxReadTimeoutMs * 1000LL) && !m_capReported) {
        m_capReported = true;
        qCWarning(lcPrologix).noquote()
            << QStringLiteral("time-out code %1 (%2) is longer than a Prologix controller can "
                              "wait for a reply; reads give up after %3 ms without a byte")
                   .arg(v)
                   .arg(asked == 0 ? QStringLiteral("none")
                                   : QStringLiteral("%1 s").arg(static_cast<double>(asked) / 1e6))
                   .arg(kMaxReadTimeoutMs);
    }
    m_readTimeoutMs = *ms;
    // A new connection sends the time-out as part of its setup.
    if (!ensureController() ||
        (m_readTimeoutSent != *ms && !command("++read_tmo_ms " + QByteArray::number(*ms)))) {
        failNoController();
    } else {
        m_readTimeoutSent = *ms;
        succeed(0);
    }
}

// ---------------------------------------------------------------------------------------------

QString PrologixDriver::explainFailure(int ibsta, int iberr, long ibcntl) const
{
    (void)ibsta;
    (void)ibcntl;
    if ((iberr == err::ECAP && m_problem == Problem::NoCapability) ||
        (iberr == err::EARG && m_problem == Problem::AddressRefused))
        return m_problemText;
    if (iberr != err::EDVR)
        return {};
    const bool network = m_transport->isNetwork();
    switch (m_problem) {
    case Problem::NoAnswer:
        return QStringLiteral("No Prologix-compatible controller answered on %1. Check that it "
                              "is powered and connected%2.")
            .arg(m_where, network ? QString()
                                  : QStringLiteral(" and that %1 is its port (gpibconfig --driver "
                                                   "list shows the serial ports)")
                                        .arg(m_where));
    case Problem::WrongAnswer:
        return QStringLiteral("The device on %1 answered \"%2\" to ++ver, which is not what a "
                              "Prologix-compatible controller answers.")
            .arg(m_where, m_problemText);
    case Problem::Stopped:
        return network ? QStringLiteral("The controller on %1 stopped answering: %2. The network "
                                        "link or the controller is down (cable, switch, power); "
                                        "the connection is opened again at the next bus call.")
                             .arg(m_where, m_problemText)
                       : QStringLiteral("The controller on %1 stopped answering: %2. Check that "
                                        "it is plugged in and powered; the port is opened again "
                                        "at the next bus call.")
                             .arg(m_where, m_problemText);
    case Problem::SetupRefused:
        return QStringLiteral("The controller on %1 refused part of the driver's set-up (it "
                              "answered \"%2\"), so its replies cannot be relied on. The driver "
                              "works with Prologix GPIB-USB and GPIB-ETHERNET controllers and "
                              "AR488 boards.")
            .arg(m_where, m_problemText);
    case Problem::NoController:
        break;
    case Problem::None:
    case Problem::NoCapability:
    case Problem::AddressRefused:
        return {};
    }
    switch (m_transportFault) {
    case Transport::Fault::CannotOpen:
        return withDetail(QStringLiteral("The serial port %1 could not be opened").arg(m_where),
                          m_problemText) +
               QStringLiteral(". Check that the controller is plugged in and that %1 is its port "
                              "(gpibconfig --driver list shows the serial ports).")
                   .arg(m_where);
    case Transport::Fault::NoPermission:
        return withDetail(QStringLiteral("The serial port %1 could not be opened").arg(m_where),
                          m_problemText) +
               QStringLiteral(": your user may not use it. On Debian, add yourself to the "
                              "dialout group (sudo adduser $USER dialout), then log out and in "
                              "again.");
    case Transport::Fault::PortBusy:
        return withDetail(QStringLiteral("The serial port %1 could not be opened").arg(m_where),
                          m_problemText) +
               QStringLiteral(": another program holds it. Close the program that uses it (a "
                              "terminal, another GPIB program) and try again.");
    case Transport::Fault::Refused:
        return QStringLiteral("Connection to %1 refused. Check the controller's address, and "
                              "that no other program holds its connection.")
            .arg(m_where);
    case Transport::Fault::HostNotFound:
        return withDetail(QStringLiteral("The controller's host in %1 was not found").arg(m_where),
                          m_problemText) +
               QLatin1Char('.');
    case Transport::Fault::ConnectTimeout:
        return QStringLiteral("No answer from %1: the connection timed out. Check the address "
                              "and that the controller is powered and on the network.")
            .arg(m_where);
    case Transport::Fault::Unreachable:
        return withDetail(QStringLiteral("%1 cannot be reached").arg(m_where), m_problemText) +
               QLatin1Char('.');
    case Transport::Fault::Closed:
        return network ? QStringLiteral("The connection to %1 was closed. It is opened again at "
                                        "the next bus call.")
                             .arg(m_where)
                       : QStringLiteral("The serial port %1 went away: is the controller still "
                                        "plugged in? It is opened again at the next bus call.")
                             .arg(m_where);
    case Transport::Fault::Io:
        return withDetail(QStringLiteral("Writing to the controller on %1 failed").arg(m_where),
                          m_problemText) +
               QLatin1Char('.');
    case Transport::Fault::None:
        break;
    }
    return {};
}

} // namespace gpibconfig::prologix
