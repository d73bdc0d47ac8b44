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

// A version line of a controller that speaks the protocol: Prologix answers e.g. "Prologix
// GPIB-USB Controller version 6.107", AR488 boards "AR488 GPIB controller, ver. 0.51.09" (or
// what ++id verstr set, which the AR488 manual suggests to contain "GPIB-USB" for programs that
// look for it). An echo of the command is not an answer.
bool isControllerVersion(const QByteArray& line)
{
    if (line.startsWith("++"))
        return false;
    const QByteArray lower = line.toLower();
    return lower.contains("prologix") || lower.contains("ar488") || lower.contains("gpib");
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
    if (m_problem == Problem::None || m_problem == Problem::NoCapability) {
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

bool PrologixDriver::beginCall(int board)
{
    if (board != 0) {
        // The controller is the only board there is.
        fail(err::ENEB);
        return false;
    }
    return true;
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
        m_problem = Problem::NoController;
        m_transportFault = m_transport->fault();
        m_problemText = m_transport->detail();
        return false;
    }
    if (!handshake()) {
        dropConnection();
        return false;
    }
    m_ready = true;
    return true;
}

bool PrologixDriver::handshake()
{
    discardLateBytes();
    QDeadlineTimer overall(m_timing.versionWaitMs);
    QByteArray got;
    QByteArray otherAnswer;
    while (!overall.hasExpired()) {
        // ++ver is asked again now and then: a board that resets when its port opens (Arduino)
        // misses what comes while it starts.
        if (!sendLine("++ver\n"))
            return false;
        QDeadlineTimer retry(std::min<qint64>(m_timing.versionRetryMs, overall.remainingTime()));
        while (!retry.hasExpired()) {
            if (!m_transport->waitForBytes(static_cast<int>(retry.remainingTime()))) {
                if (!m_transport->isOpen()) {
                    m_problem = Problem::NoController;
                    m_transportFault = m_transport->fault();
                    m_problemText = m_transport->detail();
                    return false;
                }
                continue;
            }
            const QByteArray bytes = m_transport->takeAll();
            qCDebug(lcPrologix).noquote() << m_where << "<" << printable(bytes);
            got += bytes;
            qsizetype lf = -1;
            while ((lf = got.indexOf('\n')) >= 0) {
                const QByteArray line = got.left(lf).trimmed();
                got.remove(0, lf + 1);
                if (line.isEmpty())
                    continue;
                if (isControllerVersion(line)) {
                    m_version = QString::fromLatin1(line);
                    qCInfo(lcPrologix).noquote()
                        << "controller on" << m_where << "answered:" << m_version;
                    // Controller mode; the program reads with ++read; EOI with the last byte
                    // and no terminator added, as the program supplies its own line feed; an
                    // EOT character marks where a reply ended with EOI.
                    const QByteArray setup = "++mode 1\n++auto 0\n++eoi 1\n++eos 3\n"
                                             "++eot_enable 1\n++eot_char " +
                                             QByteArray::number(kEotChar) + "\n";
                    for (const QByteArray& setting : setup.split('\n'))
                        if (!setting.isEmpty() && !sendLine(setting + '\n'))
                            return false;
                    m_eoiSent = true;
                    if (!sendLine("++read_tmo_ms " + QByteArray::number(m_readTimeoutMs) + '\n'))
                        return false;
                    m_readTimeoutSent = m_readTimeoutMs;
                    return true;
                }
                otherAnswer = line;
            }
        }
    }
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

bool PrologixDriver::sendLine(const QByteArray& line)
{
    qCDebug(lcPrologix).noquote() << m_where << ">" << printable(line);
    if (m_transport->write(line, m_timing.writeMs)) {
        m_bytesWritten += line.size();
        return true;
    }
    m_problem = Problem::NoController;
    m_transportFault = m_transport->fault();
    m_problemText = m_transport->detail();
    dropConnection();
    return false;
}

bool PrologixDriver::command(const QByteArray& text) { return sendLine(text + '\n'); }

bool PrologixDriver::selectAddress(Addr4882 address)
{
    if (m_addressSent == address)
        return true;
    const auto where = decode(address);
    // Prologix manual, "addr": ++addr PAD [SAD], SAD given as 96-126.
    QByteArray text = "++addr " + QByteArray::number(where->primary);
    if (where->secondaryByte != 0)
        text += ' ' + QByteArray::number(where->secondaryByte);
    if (!command(text))
        return false;
    m_addressSent = address;
    return true;
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
    // What a controller sends after the driver stopped waiting (a reply after its time-out)
    // must not be taken for the answer to the next command.
    if (!m_transport->waitForBytes(0))
        return;
    const QByteArray late = m_transport->takeAll();
    qCDebug(lcPrologix).noquote() << m_where << "< (late, discarded)" << printable(late);
}

// ---------------------------------------------------------------------------------------------
// The calls

void PrologixDriver::SendIFC(int board)
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

void PrologixDriver::DevClear(int board, Addr4882 address)
{
    if (!beginCall(board))
        return;
    if (address == kNoAddress)
        return failCapability(QStringLiteral(
            "A Prologix-compatible controller clears one addressed device (++clr); it cannot "
            "send the device clear to all devices at once."));
    if (!decode(address))
        return fail(err::EARG);
    if (!ensureController() || !selectAddress(address) || !command("++clr"))
        return failNoController();
    // The selected device clear leaves the device addressed to listen.
    m_listeners = {{address & 0xFF, decode(address)->secondaryByte}};
    m_pending.clear();
    m_pendingFrom.reset();
    succeed(0);
}

void PrologixDriver::Send(int board, Addr4882 address, const std::uint8_t* data, long count,
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
    if (!ensureController() || !selectAddress(address))
        return failNoController();
    // An empty line is not sent at all by the controller; nothing goes on the bus either way.
    if (!payload.isEmpty() && (!setEoi(eotMode != eot::NULLend) || !sendLine(escapedLine(payload))))
        return failNoController();
    m_listeners = {{address & 0xFF, decode(address)->secondaryByte}};
    succeed(static_cast<long>(payload.size()));
}

void PrologixDriver::Receive(int board, Addr4882 address, std::uint8_t* buffer, long count,
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

    if (!ensureController() || !selectAddress(address))
        return failNoController();
    m_listeners.clear();
    if (count == 0)
        return succeed(0);

    discardLateBytes();
    // Prologix manual, "read": ++read eoi reads until EOI or until ++read_tmo_ms passes without
    // a character; with ++eot_enable the EOT character follows a reply that ended with EOI.
    if (!command("++read eoi"))
        return failNoController();
    QByteArray reply;
    bool ended = false;
    const int quietMs = m_readTimeoutMs + m_timing.readMarginMs;
    QDeadlineTimer quiet(quietMs);
    while (true) {
        if (m_transport->waitForBytes(static_cast<int>(quiet.remainingTime()))) {
            const QByteArray bytes = m_transport->takeAll();
            qCDebug(lcPrologix).noquote() << m_where << "<" << printable(bytes);
            reply += bytes;
            quiet.setRemainingTime(quietMs);
            // The EOT character ends the controller's output; one with more bytes behind it
            // was a data byte of that value.
            if (reply.endsWith(kEotChar) && !m_transport->waitForBytes(0)) {
                reply.chop(1);
                ended = true;
                break;
            }
            continue;
        }
        if (!m_transport->isOpen()) {
            const long n = deliver(reply);
            m_problem = Problem::None;
            dropConnection();
            failNoController();
            m_ibcntl = n;
            return;
        }
        if (quiet.hasExpired())
            break;
    }
    const long n = deliver(reply);
    // A reply that stopped without EOI counts when its last byte is a line feed (a unit that
    // does not assert EOI); anything else stopped because the time ran out.
    if (!ended && !reply.endsWith('\n')) {
        qCDebug(lcPrologix).noquote()
            << m_where << "read timed out after" << reply.size() << "bytes";
        return fail(err::EABO, n, sta::TIMO);
    }
    if (reply.size() > n) {
        m_pending = reply.mid(n);
        m_pendingFrom = address;
        m_pendingEnded = ended;
        return succeed(n);
    }
    succeed(n, ended ? sta::END : 0);
}

void PrologixDriver::SendCmds(int board, const std::uint8_t* commands, long count)
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
            if (!command(text))
                return failNoController();
        }
    }
    m_listeners = std::move(listeners);
    succeed(count);
}

int PrologixDriver::ibonl(int ud, int v)
{
    (void)v;
    if (ud != 0) {
        fail(err::EDVR);
        return static_cast<int>(m_ibsta);
    }
    // Nothing to take offline: the controller keeps the bus, and the next call goes on with
    // the same settings. The last failure stays for explainFailure().
    m_ibsta = sta::CMPL | stateBits();
    m_ibcntl = 0;
    return static_cast<int>(m_ibsta);
}

int PrologixDriver::ibsre(int ud, int v)
{
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
    return static_cast<int>(m_ibsta);
}

int PrologixDriver::ibtmo(int ud, int v)
{
    if (ud != 0) {
        fail(err::EDVR);
        return static_cast<int>(m_ibsta);
    }
    const auto ms = readTimeoutFor(v);
    if (!ms) {
        fail(err::EARG);
        return static_cast<int>(m_ibsta);
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
    return static_cast<int>(m_ibsta);
}

// ---------------------------------------------------------------------------------------------

QString PrologixDriver::explainFailure(int ibsta, int iberr, long ibcntl) const
{
    (void)ibsta;
    (void)ibcntl;
    if (iberr == err::ECAP && m_problem == Problem::NoCapability)
        return m_problemText;
    if (iberr != err::EDVR)
        return {};
    switch (m_problem) {
    case Problem::NoAnswer:
        return QStringLiteral("No Prologix-compatible controller answered on %1. Check that it "
                              "is powered and connected%2.")
            .arg(m_where, m_transport->isNetwork()
                              ? QString()
                              : QStringLiteral(" and that %1 is its port (gpibconfig --driver "
                                               "list shows the serial ports)")
                                    .arg(m_where));
    case Problem::WrongAnswer:
        return QStringLiteral("The device on %1 answered \"%2\" to ++ver, which is not what a "
                              "Prologix-compatible controller answers.")
            .arg(m_where, m_problemText);
    case Problem::NoController:
        break;
    case Problem::None:
    case Problem::NoCapability:
        return {};
    }
    switch (m_transportFault) {
    case Transport::Fault::CannotOpen:
        return withDetail(QStringLiteral("The serial port %1 could not be opened").arg(m_where),
                          m_problemText) +
               QStringLiteral(". Check that the controller is plugged in, that %1 is its port "
                              "(gpibconfig --driver list shows the serial ports) and that you "
                              "may use it (on Linux: member of the dialout group).")
                   .arg(m_where);
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
        return m_transport->isNetwork()
                   ? QStringLiteral("The connection to %1 was closed. It is opened again at the "
                                    "next bus call.")
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
