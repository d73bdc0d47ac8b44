// SPDX-License-Identifier: GPL-3.0-or-later
#include "Vxi11Driver.h"

#include <QCoreApplication>
#include <algorithm>
#include <array>
#include <cstring>

namespace gpibconfig::vxi11 {

Q_LOGGING_CATEGORY(lcVxi11, "gpibconfig.vxi11", QtWarningMsg)

namespace {

constexpr int kStopOnEndOnly = 0x0100;

// NI-488.2 time-out codes 0 (none) to 17, in microseconds.
constexpr std::array<long long, 18> kTimeoutMicros = {
    0,         10,         30,         100,         300,         1'000,
    3'000,     10'000,     30'000,     100'000,     300'000,     1'000'000,
    3'000'000, 10'000'000, 30'000'000, 100'000'000, 300'000'000, 1'000'000'000};

// Every gateway takes at least this much in one device_write (VXI-11, create_link's maxRecvSize);
// used when one reports less, which none should.
constexpr quint32 kLeastRecvSize = 1024;

QString hexWord(unsigned value)
{
    return QString::number(value, 16).rightJustified(4, QLatin1Char('0')).toUpper();
}

QString hexByte(std::uint8_t value)
{
    return QStringLiteral("0x") +
           QString::number(value, 16).rightJustified(2, QLatin1Char('0')).toUpper();
}

} // namespace

int iberrForError(Operation operation, qint32 error)
{
    switch (error) {
    case error::IoTimeout:
    case error::Abort:
        return err::EABO;
    case error::NotSupported:
        return err::ECAP;
    case error::IoError:
        switch (operation) {
        case Operation::Write:
            return err::ENOL;
        case Operation::Command:
            return err::EBUS;
        case Operation::Link:
        case Operation::Read:
            break;
        }
        return err::EDVR;
    case error::Parameter:
    case error::Syntax:
    case error::InvalidAddress:
        return err::EARG;
    default:
        return err::EDVR;
    }
}

Vxi11Driver::Vxi11Driver(QString host, quint16 corePort, QString interfaceName,
                         DriverTiming timing)
    : m_host(std::move(host))
    , m_corePort(corePort)
    , m_interface(std::move(interfaceName))
    , m_timing(timing)
    , m_core(m_rpc, timing.replyMarginMs)
    // Only for the gateway's own records of who holds which link.
    , m_clientId(static_cast<qint32>(QCoreApplication::applicationPid() & 0x7FFFFFFF))
{
}

Vxi11Driver::~Vxi11Driver()
{
    if (m_rpc.isConnected()) {
        // The gateway would end the links with the connection; saying so frees them at once,
        // even on one that keeps a closed connection's links for a while.
        CoreChannel quick(m_rpc, m_timing.closeMs);
        std::vector<qint32> ids;
        for (const Link& link : m_links)
            ids.push_back(link.id);
        if (m_interfaceLink)
            ids.push_back(m_interfaceLink->id);
        for (const qint32 id : ids)
            if (!quick.destroyLink(id).ok())
                break; // the connection went: the gateway ends the rest itself
    }
    m_rpc.close();
}

// ---------------------------------------------------------------------------------------------
// Numbers and names

std::optional<quint32> Vxi11Driver::timeoutMsFor(int ibtmoCode)
{
    if (ibtmoCode < 0 || ibtmoCode >= static_cast<int>(kTimeoutMicros.size()))
        return std::nullopt;
    const long long micros =
        ibtmoCode == 0 ? kTimeoutMicros.back() : kTimeoutMicros[static_cast<std::size_t>(ibtmoCode)];
    return static_cast<quint32>(std::max<long long>((micros + 999) / 1000, 1));
}

std::optional<QByteArray> Vxi11Driver::deviceName(const QString& interfaceName, Addr4882 address)
{
    const int primary = address & 0xFF;
    const int high = (address >> 8) & 0xFF;
    if (primary > 30 || (high != 0 && (high < 0x60 || high > 0x7E)))
        return std::nullopt;
    QByteArray name = interfaceName.toLatin1() + ',' + QByteArray::number(primary);
    if (high != 0)
        name += ',' + QByteArray::number(high - 0x60);
    return name;
}

QString Vxi11Driver::where() const
{
    const QString host =
        m_host.contains(QLatin1Char(':')) ? QLatin1Char('[') + m_host + QLatin1Char(']') : m_host;
    return m_corePort == 0 ? host : host + QLatin1Char(':') + QString::number(m_corePort);
}

int Vxi11Driver::linkCount() const
{
    return static_cast<int>(m_links.size()) + (m_interfaceLink ? 1 : 0);
}

// ---------------------------------------------------------------------------------------------
// Status

DriverStatus Vxi11Driver::succeed(long count, long extra)
{
    return {sta::CMPL | sta::CIC | extra, 0, count};
}

DriverStatus Vxi11Driver::fail(int iberr, long count, QString words)
{
    m_wordsIberr = iberr;
    m_words = std::move(words);
    if (!m_words.isEmpty())
        qCDebug(lcVxi11).noquote() << m_words;
    // Without the gateway nothing completed and no role is known; otherwise the call ended with
    // the gateway still in charge of its bus. A time-out is EABO with TIMO, as on a local board.
    const long ibsta = iberr == err::EDVR ? sta::ERR
                                          : sta::ERR | sta::CMPL | sta::CIC |
                                                (iberr == err::EABO ? sta::TIMO : 0);
    return {ibsta, iberr, count};
}

DriverStatus Vxi11Driver::refuseBoard(int board)
{
    return fail(err::ENEB, 0,
                QStringLiteral("Board %1 does not exist: the gateway at %2 is board 0.")
                    .arg(board)
                    .arg(where()));
}

QString Vxi11Driver::explainFailure(int ibsta, int iberr, long ibcntl) const
{
    (void)ibcntl;
    if (!(ibsta & sta::ERR) || iberr != m_wordsIberr)
        return {};
    return m_words;
}

template <typename T> DriverStatus Vxi11Driver::callFailed(const Outcome<T>& outcome, long count)
{
    // The connection is not trusted after any of these: the next call makes a new one, and the
    // gateway ended this one's links with it.
    m_rpc.close();
    forgetLinks();
    switch (outcome.error) {
    case CallError::ConnectFailed:
        return fail(err::EDVR, count,
                    QStringLiteral("No VXI-11 gateway answers at %1 (%2). Check that it is "
                                   "switched on, that %3 is its address and that no firewall "
                                   "blocks the port.")
                        .arg(where(), outcome.detail,
                             m_host.contains(QLatin1Char(':'))
                                 ? QLatin1Char('[') + m_host + QLatin1Char(']')
                                 : m_host));
    case CallError::NotConnected:
    case CallError::TimedOut:
    case CallError::ConnectionLost:
        return fail(err::EDVR, count,
                    QStringLiteral("The connection to the gateway at %1 was lost (%2); the next "
                                   "bus call connects again.")
                        .arg(where(), outcome.detail));
    case CallError::RecordTooLarge:
    case CallError::Rejected:
    case CallError::BadReply:
    case CallError::None:
        break;
    }
    return fail(err::EDVR, count,
                QStringLiteral("%1 is not a VXI-11 gateway this driver can use: %2.")
                    .arg(where(), outcome.detail));
}

DriverStatus Vxi11Driver::deviceError(Operation operation, qint32 error, const QByteArray& device,
                                      const QString& what, long count)
{
    const QString at = where();
    const QString name = QString::fromLatin1(device);
    QString words;
    switch (error) {
    case error::IoTimeout:
        break; // a time-out, as on a local board: the status says it all
    case error::Abort:
        words = QStringLiteral("The gateway at %1 aborted %2 on %3.").arg(at, what, name);
        break;
    case error::NotSupported:
        words = QStringLiteral("The gateway at %1 cannot do this: it answered \"operation not "
                               "supported\" to %2 on %3.")
                    .arg(at, what, name);
        break;
    case error::LockedByAnotherLink:
        words = QStringLiteral("Another program holds %1 on the gateway at %2: it has locked the "
                               "unit. That program must close or unlock it first.")
                    .arg(name, at);
        break;
    case error::NoLockHeld:
        words = QStringLiteral("The gateway at %1 lost this program's lock on %2.").arg(at, name);
        break;
    case error::IoError:
        words = operation == Operation::Write
                    ? QStringLiteral("The gateway at %1 could not hand the data to a listener at "
                                     "%2.")
                          .arg(at, name)
                : operation == Operation::Command
                    ? QStringLiteral("The bus of the gateway at %1 refused the command bytes of "
                                     "%2.")
                          .arg(at, what)
                    : QStringLiteral("The gateway at %1 reports a GPIB I/O error in %2 on %3.")
                          .arg(at, what, name);
        break;
    case error::Parameter:
    case error::Syntax:
    case error::InvalidAddress:
        words = QStringLiteral("The gateway at %1 refused the values of %2 on %3 (%4).")
                    .arg(at, what, name, errorText(error));
        break;
    case error::DeviceNotAccessible:
        words = QStringLiteral("The gateway at %1 has no device %2. Its GPIB interface may have "
                               "another name than %3: give it after a comma, as in "
                               "vxi11:HOST,NAME.")
                    .arg(at, name, m_interface);
        break;
    case error::OutOfResources:
        words = QStringLiteral("The gateway at %1 has no link to spare: too many programs are "
                               "connected to it. Close one of them and try again.")
                    .arg(at);
        break;
    case error::InvalidLink:
        // A gateway that restarted knows none of this program's links.
        forgetLinks();
        words = QStringLiteral("The gateway at %1 no longer knows this program's link to %2 (it "
                               "may have restarted); the next bus call makes a new one.")
                    .arg(at, name);
        break;
    default:
        words = QStringLiteral("The gateway at %1 reports VXI-11 error %2 (%3) for %4 on %5.")
                    .arg(at, QString::number(error), errorText(error), what, name);
        break;
    }
    return fail(iberrForError(operation, error), count, words);
}

// ---------------------------------------------------------------------------------------------
// Connection and links

std::optional<DriverStatus> Vxi11Driver::connect()
{
    if (m_rpc.isConnected())
        return std::nullopt;
    forgetLinks(); // a connection's links end with it
    quint16 port = m_corePort;
    if (port == 0) {
        const auto mapped = getPort(m_host, kCoreProgram, kCoreVersion, m_timing.connectMs,
                                    m_timing.portmapperPort);
        if (!mapped.ok())
            return callFailed(mapped, 0);
        port = mapped.value;
    }
    const auto connected = m_rpc.connectTo(m_host, port, m_timing.connectMs);
    if (!connected.ok())
        return callFailed(connected, 0);
    qCDebug(lcVxi11).noquote() << "connected to the core channel of" << m_host << "port" << port;
    return std::nullopt;
}

void Vxi11Driver::forgetLinks()
{
    m_links.clear();
    m_interfaceLink.reset();
}

Vxi11Driver::Linked Vxi11Driver::makeLink(Addr4882 address, const QByteArray& device)
{
    if (const auto failed = connect())
        return *failed;
    const auto made = m_core.createLink({m_clientId, false, m_ioTimeoutMs, device});
    if (!made.ok())
        return callFailed(made, 0);
    if (made.value.error != error::None)
        return deviceError(Operation::Link, made.value.error, device,
                           QStringLiteral("create_link"), 0);
    qCDebug(lcVxi11).noquote() << "link" << made.value.link << "to" << device << "maxRecvSize"
                               << made.value.maxRecvSize;
    return Link{address, device, made.value.link, made.value.maxRecvSize};
}

Vxi11Driver::Linked Vxi11Driver::interfaceLink()
{
    if (m_interfaceLink && m_rpc.isConnected())
        return *m_interfaceLink;
    Linked made = makeLink(kNoAddress, m_interface.toLatin1());
    if (const Link* link = std::get_if<Link>(&made))
        m_interfaceLink = *link;
    return made;
}

Vxi11Driver::Linked Vxi11Driver::deviceLink(Addr4882 address)
{
    const auto device = deviceName(m_interface, address);
    if (!device)
        return fail(err::EARG, 0,
                    QStringLiteral("The address word 0x%1 is no GPIB address: the primary "
                                   "address must be 0 to 30, the secondary 0 to 30.")
                        .arg(hexWord(address)));
    if (m_rpc.isConnected()) {
        const auto it = std::find_if(m_links.begin(), m_links.end(),
                                     [address](const Link& l) { return l.address == address; });
        if (it != m_links.end()) {
            // The most recently used go last: the first is the one to let go.
            std::rotate(it, it + 1, m_links.end());
            return m_links.back();
        }
        if (m_links.size() >= kMaxDeviceLinks) {
            const auto ended = m_core.destroyLink(m_links.front().id);
            if (!ended.ok())
                return callFailed(ended, 0);
            // A link the gateway no longer knows (4) is gone all the same.
            m_links.erase(m_links.begin());
        }
    }
    Linked made = makeLink(address, *device);
    if (const Link* link = std::get_if<Link>(&made))
        m_links.push_back(*link);
    return made;
}

// ---------------------------------------------------------------------------------------------
// The calls

DriverStatus Vxi11Driver::docmd(qint32 command, const QByteArray& data, qint32 dataSize,
                                long count, const QString& what)
{
    const Linked linked = interfaceLink();
    if (const auto* failed = std::get_if<DriverStatus>(&linked))
        return *failed;
    const Link& link = std::get<Link>(linked);
    const auto done = m_core.deviceDocmd(
        {link.id, flag::WaitLock, m_ioTimeoutMs, m_ioTimeoutMs, command, true, dataSize, data});
    if (!done.ok())
        return callFailed(done, 0);
    if (done.value.error != error::None)
        return deviceError(Operation::Command, done.value.error, link.device, what, 0);
    return succeed(count);
}

DriverStatus Vxi11Driver::SendIFC(int board)
{
    if (board != 0)
        return refuseBoard(board);
    return docmd(docmd::IfcControl, {}, 0, 0, QStringLiteral("the interface clear"));
}

DriverStatus Vxi11Driver::ibsre(int ud, int v)
{
    if (ud != 0)
        return refuseBoard(ud);
    // REN control's value is a two-byte boolean, in network order as the call says.
    const QByteArray value("\0", 1);
    return docmd(docmd::RenControl, value + char(v != 0 ? 1 : 0), 2, 0,
                 QStringLiteral("remote enable"));
}

DriverStatus Vxi11Driver::SendCmds(int board, const std::uint8_t* commands, long count)
{
    if (board != 0)
        return refuseBoard(board);
    if (count < 0 || (count > 0 && !commands) || count > static_cast<long>(kMaxData))
        return fail(err::EARG, 0, {});
    if (count == 0)
        return succeed(0);
    if (m_sendsCommands) {
        // VXI-11.2's send command puts the bytes on the bus with ATN as they are: a group execute
        // trigger after listen addresses reaches every addressed listener at once, as meant.
        const DriverStatus sent =
            docmd(docmd::SendCommand,
                  QByteArray(reinterpret_cast<const char*>(commands), static_cast<qsizetype>(count)),
                  1, count, QStringLiteral("the command bytes"));
        if (!sent.failed() || sent.iberr != err::ECAP)
            return sent;
        // Some gateways take the interface's IFC and REN controls but not send command.
        m_sendsCommands = false;
        m_listeners.clear();
    }
    return commandsAsCalls(commands, count);
}

DriverStatus Vxi11Driver::commandsAsCalls(const std::uint8_t* commands, long count)
{
    constexpr std::uint8_t kGET = 0x08, kUNL = 0x3F;
    bool afterListenAddress = false; // a secondary address belongs to the listener before it
    for (long i = 0; i < count; ++i) {
        const std::uint8_t byte = commands[i];
        const bool secondary = byte >= 0x60 && byte <= 0x7E;
        if (byte == kUNL) {
            m_listeners.clear();
        } else if (byte >= 0x20 && byte < kUNL) {
            if (std::find(m_listeners.begin(), m_listeners.end(), byte - 0x20) == m_listeners.end())
                m_listeners.push_back(byte - 0x20);
        } else if (secondary && afterListenAddress) {
            m_listeners.back() = static_cast<Addr4882>((m_listeners.back() & 0xFF) | byte << 8);
        } else if (byte == kGET) {
            for (const Addr4882 listener : m_listeners) {
                const Linked linked = deviceLink(listener);
                if (const auto* failed = std::get_if<DriverStatus>(&linked))
                    return {failed->ibsta, failed->iberr, i};
                const Link& link = std::get<Link>(linked);
                const auto done =
                    m_core.deviceTrigger({link.id, flag::WaitLock, m_ioTimeoutMs, m_ioTimeoutMs});
                if (!done.ok())
                    return callFailed(done, i);
                if (done.value != error::None)
                    return deviceError(Operation::Command, done.value, link.device,
                                       QStringLiteral("device_trigger"), i);
            }
        } else if (!(byte >= 0x40 && byte <= 0x5F) && !secondary) {
            // Talk addresses and their secondaries address no listener: nothing to do for them.
            return fail(err::ECAP, i,
                        QStringLiteral("The gateway at %1 has no send command (it answered "
                                       "\"operation not supported\"), and the command byte %2 "
                                       "has no call of its own.")
                            .arg(where(), hexByte(byte)));
        }
        afterListenAddress = (byte >= 0x20 && byte < kUNL) || (secondary && afterListenAddress);
    }
    return succeed(count);
}

DriverStatus Vxi11Driver::DevClear(int board, Addr4882 address)
{
    if (board != 0)
        return refuseBoard(board);
    // NOADDR clears every device (DCL): device_clear on the interface link does that.
    const Linked linked = address == kNoAddress ? interfaceLink() : deviceLink(address);
    if (const auto* failed = std::get_if<DriverStatus>(&linked))
        return *failed;
    const Link& link = std::get<Link>(linked);
    const auto done = m_core.deviceClear({link.id, flag::WaitLock, m_ioTimeoutMs, m_ioTimeoutMs});
    if (!done.ok())
        return callFailed(done, 0);
    if (done.value != error::None)
        return deviceError(Operation::Command, done.value, link.device,
                           QStringLiteral("the device clear"), 0);
    return succeed(0);
}

DriverStatus Vxi11Driver::Send(int board, Addr4882 address, const std::uint8_t* data, long count,
                               int eotMode)
{
    if (board != 0)
        return refuseBoard(board);
    if (count < 0 || (count > 0 && !data) ||
        (eotMode != eot::NULLend && eotMode != eot::NLend && eotMode != eot::DABend))
        return fail(err::EARG, 0, {});
    QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(count));
    if (eotMode == eot::NLend)
        bytes += '\n';
    const Linked linked = deviceLink(address);
    if (const auto* failed = std::get_if<DriverStatus>(&linked))
        return *failed;
    const Link& link = std::get<Link>(linked);
    const qsizetype block = std::max(link.maxRecvSize, kLeastRecvSize);
    qsizetype sent = 0;
    do {
        const qsizetype size = std::min(block, bytes.size() - sent);
        const bool last = sent + size == bytes.size();
        const qint32 flags = flag::WaitLock | (last && eotMode != eot::NULLend ? flag::End : 0);
        const auto written = m_core.deviceWrite(
            {link.id, m_ioTimeoutMs, m_ioTimeoutMs, flags, bytes.mid(sent, size)});
        if (!written.ok())
            return callFailed(written, static_cast<long>(sent));
        const qsizetype took = std::min<qsizetype>(written.value.size, size);
        if (written.value.error != error::None)
            return deviceError(Operation::Write, written.value.error, link.device,
                               QStringLiteral("device_write"), static_cast<long>(sent + took));
        if (took == 0 && size > 0)
            return fail(err::EDVR, static_cast<long>(sent),
                        QStringLiteral("The gateway at %1 took none of the data for %2.")
                            .arg(where(), QString::fromLatin1(link.device)));
        sent += took;
    } while (sent < bytes.size());
    return succeed(static_cast<long>(sent));
}

DriverStatus Vxi11Driver::Receive(int board, Addr4882 address, std::uint8_t* buffer, long count,
                                  int termination)
{
    if (board != 0)
        return refuseBoard(board);
    if (count < 0 || (count > 0 && !buffer) || termination < 0 ||
        (termination > 0xFF && termination != kStopOnEndOnly))
        return fail(err::EARG, 0, {});
    const Linked linked = deviceLink(address);
    if (const auto* failed = std::get_if<DriverStatus>(&linked))
        return *failed;
    const Link& link = std::get<Link>(linked);
    const qint32 flags = flag::WaitLock | (termination != kStopOnEndOnly ? flag::TermCharSet : 0);
    const char termChar = static_cast<char>(termination & 0xFF);
    long got = 0;
    while (got < count) {
        // The whole rest of the buffer each time: a gateway may discard what a shorter request
        // leaves of a reply.
        const long room = count - got;
        const auto request = static_cast<quint32>(std::min<long>(room, kMaxData));
        const auto read = m_core.deviceRead(
            {link.id, request, m_ioTimeoutMs, m_ioTimeoutMs, flags, termChar});
        if (!read.ok())
            return callFailed(read, got);
        const DeviceReadResp& r = read.value;
        if (r.data.size() > static_cast<qsizetype>(request))
            return fail(err::EDVR, got,
                        QStringLiteral("The gateway at %1 sent %2 bytes for a read of %3 from %4.")
                            .arg(where(), QString::number(r.data.size()), QString::number(request),
                                 QString::fromLatin1(link.device)));
        if (!r.data.isEmpty())
            std::memcpy(buffer + got, r.data.constData(), static_cast<std::size_t>(r.data.size()));
        got += static_cast<long>(r.data.size());
        if (r.error != error::None)
            return deviceError(Operation::Read, r.error, link.device,
                               QStringLiteral("device_read"), got);
        if (r.reason & (reason::End | reason::Character))
            return succeed(got, sta::END);
        if (r.data.isEmpty())
            return fail(err::EDVR, got,
                        QStringLiteral("The gateway at %1 ended a read from %2 with no data and "
                                       "no end.")
                            .arg(where(), QString::fromLatin1(link.device)));
    }
    return succeed(got);
}

DriverStatus Vxi11Driver::ibonl(int ud, int v)
{
    (void)v;
    if (ud != 0)
        return refuseBoard(ud);
    // Nothing to take offline: the links and the time-out stay for the next call, and a lost
    // connection is made again there. The last failure's words stay for explainFailure().
    return succeed(0);
}

DriverStatus Vxi11Driver::ibtmo(int ud, int v)
{
    if (ud != 0)
        return refuseBoard(ud);
    const auto ms = timeoutMsFor(v);
    if (!ms)
        return fail(err::EARG, 0,
                    QStringLiteral("%1 is no time-out code: the codes are 0 to 17.").arg(v));
    m_ioTimeoutMs = *ms;
    return succeed(0);
}

} // namespace gpibconfig::vxi11
