// SPDX-License-Identifier: GPL-3.0-or-later
#include "SimulatedGateway.h"

#include "gpib/Driver.h"
#include "sim/Bench.h"
#include "sim/Board.h"

#include <QTimer>
#include <algorithm>
#include <vector>

namespace gpibconfig::sim::vxi11 {

namespace {

// Program numbers and procedures, as the documents give them.
constexpr quint32 kPortmapProgram = 100000, kPortmapVersion = 2, kPortmapGetPort = 3;
constexpr quint32 kProtocolTcp = 6;
constexpr quint32 kCoreProgram = 0x0607AF, kAbortProgram = 0x0607B0, kChannelVersion = 1;
enum Procedure : quint32 {
    CreateLink = 10,
    DeviceWrite = 11,
    DeviceRead = 12,
    DeviceReadStb = 13,
    DeviceTrigger = 14,
    DeviceClear = 15,
    DeviceRemote = 16,
    DeviceLocal = 17,
    DeviceLock = 18,
    DeviceUnlock = 19,
    DeviceEnableSrq = 20,
    DeviceDocmd = 22,
    DestroyLink = 23,
    CreateIntrChan = 25,
    DestroyIntrChan = 26,
};
constexpr quint32 kDeviceAbort = 1;

// Operation flags and read reasons.
constexpr qint32 kWaitLock = 0x01, kEndFlag = 0x08, kTermCharSet = 0x80;
constexpr qint32 kReasonCount = 0x01, kReasonChar = 0x02, kReasonEnd = 0x04;

// Device_ErrorCode values.
constexpr qint32 kNoError = 0, kNotAccessible = 3, kBadLink = 4, kParameter = 5, kNoChannel = 6,
                 kUnsupported = 8, kLocked = 11, kNoLock = 12, kTimeout = 15, kIoError = 17,
                 kAborted = 23, kChannelExists = 29;

// VXI-11.2's device_docmd commands and bus status values.
constexpr qint32 kSendCommand = 0x020000, kBusStatus = 0x020001, kAtnControl = 0x020002,
                 kRenControl = 0x020003, kPassControl = 0x020004, kBusAddressCmd = 0x02000A,
                 kIfcControl = 0x020010;

// IEEE 488.1 command bytes.
constexpr char kGTL = 0x01, kGET = 0x08, kTCT = 0x09, kUNL = 0x3F, kLAD = 0x20, kTAD = 0x40,
               kSCG = 0x60;

constexpr qint32 kForeignHolder = -1;
constexpr quint32 kMaxDeviceName = 256;
constexpr double kTimeoutResolution = 0.010;

Addr4882 wordOf(int primary, int secondary)
{
    return static_cast<Addr4882>(primary | (secondary >= 0 ? (kSCG + secondary) << 8 : 0));
}

// The largest of the board's time-out codes that does not wait longer than `seconds` (the
// shortest, 10 us, when none fits), so a read ends within its io_timeout.
int timeoutCodeWithin(double seconds)
{
    int best = 1;
    for (int code = 1; code <= 17; ++code)
        if (Board::timeoutSeconds(code) <= seconds)
            best = code;
    return best;
}

} // namespace

QByteArray SimulatedGateway::Device::key() const
{
    if (isInterface)
        return "gpib0";
    QByteArray name = "gpib0," + QByteArray::number(primary);
    if (secondary >= 0)
        name += ',' + QByteArray::number(secondary);
    return name;
}

SimulatedGateway::SimulatedGateway(Bench& bench, QObject* parent)
    : QObject(parent)
    , m_bench(bench)
{
    const auto take = [this](const IncomingCall& call) {
        enqueue([this, call] { dispatch(call); });
    };
    m_core = new RpcServer(take, this);
    m_abort = new RpcServer(take, this);
    m_core->setDisconnectHandler([this](quint64 connection) {
        enqueue([this, connection] { onDisconnected(connection); });
    });

    // At power-on the gateway, system controller of its bus, pulses IFC and asserts REN.
    Driver& board = m_bench.driver();
    board.SendIFC(0);
    board.ibsre(0, 1);
}

SimulatedGateway::~SimulatedGateway()
{
    for (const Waiting& w : std::as_const(m_waiting))
        delete w.timer;
    m_waiting.clear();
}

quint16 SimulatedGateway::serve(quint16 corePort)
{
    m_corePort = m_core->listen(QHostAddress::LocalHost, corePort);
    m_abortPort = m_abort->listen(QHostAddress::LocalHost, 0);
    if (m_abortPort == 0)
        m_corePort = 0;
    return m_corePort;
}

quint16 SimulatedGateway::servePortmapper(quint16 port)
{
    auto* server = new RpcServer(
        [this](const IncomingCall& call) { enqueue([this, call] { dispatch(call); }); }, this);
    const quint16 got = server->listen(QHostAddress::LocalHost, port);
    if (got == 0) {
        m_portmapperError = server->errorString();
        delete server;
        return 0;
    }
    m_portmappers.append(server);
    m_portmapperPorts.append(got);
    return got;
}

void SimulatedGateway::setDown(bool down)
{
    if (down == m_down)
        return;
    m_down = down;
    if (down) {
        for (RpcServer* server : std::as_const(m_portmappers)) {
            server->stopListening();
            server->dropAll();
        }
        for (RpcServer* server : {m_core, m_abort}) {
            server->stopListening();
            server->dropAll();
        }
        return;
    }
    for (qsizetype i = 0; i < m_portmappers.size(); ++i)
        m_portmappers[i]->listen(QHostAddress::LocalHost, m_portmapperPorts[i]);
    if (m_corePort)
        m_core->listen(QHostAddress::LocalHost, m_corePort);
    if (m_abortPort)
        m_abort->listen(QHostAddress::LocalHost, m_abortPort);
}

void SimulatedGateway::lockByAnotherLink(const QByteArray& device, bool locked)
{
    const auto parsed = parseDevice(device);
    if (!parsed)
        return;
    if (locked) {
        m_locks[parsed->key()] = kForeignHolder;
        return;
    }
    const auto it = m_locks.find(parsed->key());
    if (it != m_locks.end() && it->second == kForeignHolder)
        m_locks.erase(it);
    enqueue([this] { retryWaiting(); });
}

// ---------------------------------------------------------------------------------------------
// Calls in turn

void SimulatedGateway::enqueue(std::function<void()> task)
{
    m_queue.append(std::move(task));
    if (m_busy)
        return;
    m_busy = true;
    while (!m_queue.isEmpty())
        m_queue.takeFirst()();
    m_busy = false;
}

void SimulatedGateway::dispatch(const IncomingCall& call)
{
    if (!call.origin || !call.origin->isOpen(call.connection))
        return; // its connection went while it waited its turn
    if (call.origin == m_core)
        coreCall(call);
    else if (call.origin == m_abort)
        abortCall(call);
    else
        portmapCall(call);
}

void SimulatedGateway::reply(const IncomingCall& call, const QByteArray& results)
{
    call.origin->replySuccess(call, results);
}

void SimulatedGateway::replyError(const IncomingCall& call, qint32 error)
{
    ResultWriter out;
    out.integer(error);
    switch (call.procedure) {
    case CreateLink:
        out.integer(0).word(m_abortPort).word(m_maxRecvSize);
        break;
    case DeviceWrite:
    case DeviceReadStb:
        out.word(0);
        break;
    case DeviceRead:
        out.integer(0).counted({});
        break;
    case DeviceDocmd:
        out.counted({});
        break;
    default:
        break;
    }
    reply(call, out.take());
}

void SimulatedGateway::portmapCall(const IncomingCall& call)
{
    RpcServer& server = *call.origin;
    if (call.program != kPortmapProgram)
        return server.replyFailure(call, RpcServer::Accept::ProgramUnavailable);
    if (call.version != kPortmapVersion)
        return server.replyFailure(call, RpcServer::Accept::ProgramMismatch, kPortmapVersion,
                                   kPortmapVersion);
    if (call.procedure == 0)
        return reply(call, {});
    if (call.procedure != kPortmapGetPort)
        return server.replyFailure(call, RpcServer::Accept::ProcedureUnavailable);
    ArgReader in(call.arguments);
    const quint32 program = in.word();
    const quint32 version = in.word();
    const quint32 protocol = in.word();
    in.word(); // the port field, unused in a question
    if (!in.finished())
        return server.replyFailure(call, RpcServer::Accept::GarbageArguments);
    quint32 port = 0;
    if (version == kChannelVersion && protocol == kProtocolTcp) {
        if (program == kCoreProgram)
            port = m_corePort;
        else if (program == kAbortProgram)
            port = m_abortPort;
    }
    reply(call, ResultWriter().word(port).take());
}

void SimulatedGateway::abortCall(const IncomingCall& call)
{
    if (call.program != kAbortProgram)
        return m_abort->replyFailure(call, RpcServer::Accept::ProgramUnavailable);
    if (call.version != kChannelVersion)
        return m_abort->replyFailure(call, RpcServer::Accept::ProgramMismatch, 1, 1);
    if (call.procedure == 0)
        return reply(call, {});
    if (call.procedure != kDeviceAbort)
        return m_abort->replyFailure(call, RpcServer::Accept::ProcedureUnavailable);
    ArgReader in(call.arguments);
    const qint32 link = in.integer();
    if (!in.finished())
        return m_abort->replyFailure(call, RpcServer::Accept::GarbageArguments);
    if (!m_links.count(link))
        return replyError(call, kBadLink);
    // What the link has under way is a wait for a lock: it ends now.
    std::vector<quint64> ended;
    for (const Waiting& w : std::as_const(m_waiting))
        if (w.link == link)
            ended.push_back(w.serial);
    for (const quint64 serial : ended)
        endWait(serial, kAborted);
    replyError(call, kNoError);
}

void SimulatedGateway::coreCall(const IncomingCall& call)
{
    if (call.program != kCoreProgram)
        return m_core->replyFailure(call, RpcServer::Accept::ProgramUnavailable);
    if (call.version != kChannelVersion)
        return m_core->replyFailure(call, RpcServer::Accept::ProgramMismatch, 1, 1);
    m_coreCalls.append(call.procedure);
    if (m_dropOn == call.procedure) {
        m_dropOn.reset();
        m_core->drop(call.connection);
        return;
    }
    switch (call.procedure) {
    case 0:
        return reply(call, {});
    case CreateLink:
        return createLink(call);
    case DeviceWrite:
        return deviceWrite(call);
    case DeviceRead:
        return deviceRead(call);
    case DeviceReadStb:
    case DeviceTrigger:
    case DeviceClear:
    case DeviceRemote:
    case DeviceLocal:
        return generic(call);
    case DeviceLock:
        return deviceLock(call);
    case DeviceUnlock:
        return deviceUnlock(call);
    case DeviceEnableSrq: {
        ArgReader in(call.arguments);
        const qint32 link = in.integer();
        in.flag();
        in.counted(40);
        if (!in.finished())
            return m_core->replyFailure(call, RpcServer::Accept::GarbageArguments);
        return replyError(call, m_links.count(link) ? kNoError : kBadLink);
    }
    case DeviceDocmd:
        return deviceDocmd(call);
    case DestroyLink:
        return destroyLink(call);
    case CreateIntrChan:
    case DestroyIntrChan:
        return interruptChannel(call);
    default:
        return m_core->replyFailure(call, RpcServer::Accept::ProcedureUnavailable);
    }
}

// ---------------------------------------------------------------------------------------------
// Links and locks

std::optional<SimulatedGateway::Device> SimulatedGateway::parseDevice(const QByteArray& name)
{
    const QList<QByteArray> parts = name.trimmed().toLower().split(',');
    if (parts.isEmpty() || parts.size() > 3 || parts[0].trimmed() != "gpib0")
        return std::nullopt;
    Device device;
    if (parts.size() == 1)
        return device;
    device.isInterface = false;
    for (qsizetype i = 1; i < parts.size(); ++i) {
        bool ok = false;
        const int value = parts[i].trimmed().toInt(&ok);
        if (!ok || value < 0 || value > 30)
            return std::nullopt;
        (i == 1 ? device.primary : device.secondary) = value;
    }
    return device;
}

std::optional<qint32> SimulatedGateway::blockingLock(qint32 link, const Device& device) const
{
    for (const auto& [key, holder] : m_locks) {
        if (holder == link)
            continue;
        if (key == "gpib0" || (!device.isInterface && key == device.key()))
            return holder;
    }
    return std::nullopt;
}

bool SimulatedGateway::mayProceed(const IncomingCall& call, qint32 link, const Device& device,
                                  qint32 flags, quint32 lockTimeout)
{
    if (!blockingLock(link, device))
        return true;
    if (!(flags & kWaitLock) || lockTimeout == 0) {
        replyError(call, kLocked);
        return false;
    }
    Waiting w;
    w.call = call;
    w.link = link;
    w.device = device;
    w.serial = m_nextWaitSerial++;
    w.timer = new QTimer(this);
    w.timer->setSingleShot(true);
    connect(w.timer, &QTimer::timeout, this,
            [this, serial = w.serial] { endWait(serial, kLocked); });
    w.timer->start(static_cast<int>(std::min<quint32>(lockTimeout, 0x7FFFFFFF)));
    m_waiting.append(w);
    return false;
}

void SimulatedGateway::endWait(quint64 serial, qint32 error)
{
    for (qsizetype i = 0; i < m_waiting.size(); ++i) {
        if (m_waiting[i].serial != serial)
            continue;
        const Waiting w = m_waiting.takeAt(i);
        w.timer->deleteLater();
        if (w.call.origin->isOpen(w.call.connection))
            replyError(w.call, error);
        return;
    }
}

void SimulatedGateway::retryWaiting()
{
    // One at a time: a call that goes ahead may take the lock the next one waits for.
    while (true) {
        const auto free =
            std::find_if(m_waiting.begin(), m_waiting.end(),
                         [this](const Waiting& w) { return !blockingLock(w.link, w.device); });
        if (free == m_waiting.end())
            return;
        const Waiting w = *free;
        m_waiting.erase(free);
        w.timer->deleteLater();
        dispatch(w.call);
    }
}

void SimulatedGateway::releaseLink(qint32 link)
{
    for (auto it = m_locks.begin(); it != m_locks.end();)
        it = it->second == link ? m_locks.erase(it) : std::next(it);
    m_links.erase(link);
    std::vector<quint64> ended;
    for (const Waiting& w : std::as_const(m_waiting))
        if (w.link == link)
            ended.push_back(w.serial);
    for (const quint64 serial : ended)
        endWait(serial, kBadLink);
}

void SimulatedGateway::onDisconnected(quint64 connection)
{
    std::vector<qint32> gone;
    for (const auto& [id, link] : m_links)
        if (link.connection == connection)
            gone.push_back(id);
    for (const qint32 id : gone)
        releaseLink(id);
    m_interruptChannels.erase(connection);
    for (qsizetype i = m_waiting.size() - 1; i >= 0; --i) {
        if (m_waiting[i].call.connection == connection) {
            m_waiting[i].timer->deleteLater();
            m_waiting.removeAt(i);
        }
    }
    retryWaiting();
}

void SimulatedGateway::createLink(const IncomingCall& call)
{
    ArgReader in(call.arguments);
    in.integer(); // the client's id: for the gateway's own records only
    const bool lockDevice = in.flag();
    const quint32 lockTimeout = in.word();
    const QByteArray name = in.counted(kMaxDeviceName);
    if (!in.finished())
        return m_core->replyFailure(call, RpcServer::Accept::GarbageArguments);
    if (m_refuseLinks != kNoError)
        return replyError(call, m_refuseLinks);
    const auto device = parseDevice(name);
    if (!device)
        return replyError(call, kNotAccessible);
    if (lockDevice && !mayProceed(call, 0, *device, kWaitLock, lockTimeout))
        return;
    const qint32 id = m_nextLink++;
    m_links[id] = Link{call.connection, *device};
    if (lockDevice)
        m_locks[device->key()] = id;
    reply(
        call,
        ResultWriter().integer(kNoError).integer(id).word(m_abortPort).word(m_maxRecvSize).take());
}

void SimulatedGateway::destroyLink(const IncomingCall& call)
{
    ArgReader in(call.arguments);
    const qint32 link = in.integer();
    if (!in.finished())
        return m_core->replyFailure(call, RpcServer::Accept::GarbageArguments);
    if (!m_links.count(link))
        return replyError(call, kBadLink);
    releaseLink(link);
    replyError(call, kNoError);
    retryWaiting();
}

void SimulatedGateway::deviceLock(const IncomingCall& call)
{
    ArgReader in(call.arguments);
    const qint32 link = in.integer();
    const qint32 flags = in.integer();
    const quint32 lockTimeout = in.word();
    if (!in.finished())
        return m_core->replyFailure(call, RpcServer::Accept::GarbageArguments);
    const auto it = m_links.find(link);
    if (it == m_links.end())
        return replyError(call, kBadLink);
    const Device device = it->second.device;
    if (!mayProceed(call, link, device, flags, lockTimeout))
        return;
    m_locks[device.key()] = link;
    replyError(call, kNoError);
}

void SimulatedGateway::deviceUnlock(const IncomingCall& call)
{
    ArgReader in(call.arguments);
    const qint32 link = in.integer();
    if (!in.finished())
        return m_core->replyFailure(call, RpcServer::Accept::GarbageArguments);
    const auto it = m_links.find(link);
    if (it == m_links.end())
        return replyError(call, kBadLink);
    const auto lock = m_locks.find(it->second.device.key());
    if (lock == m_locks.end() || lock->second != link)
        return replyError(call, kNoLock);
    m_locks.erase(lock);
    replyError(call, kNoError);
    retryWaiting();
}

void SimulatedGateway::interruptChannel(const IncomingCall& call)
{
    ArgReader in(call.arguments);
    if (call.procedure == CreateIntrChan)
        for (int i = 0; i < 5; ++i)
            in.word(); // host, port, program, version, family: no SRQ is ever sent there
    if (!in.finished())
        return m_core->replyFailure(call, RpcServer::Accept::GarbageArguments);
    const bool open = m_interruptChannels.count(call.connection) > 0;
    if (call.procedure == CreateIntrChan) {
        if (open)
            return replyError(call, kChannelExists);
        m_interruptChannels[call.connection] = true;
        return replyError(call, kNoError);
    }
    if (!open)
        return replyError(call, kNoChannel);
    m_interruptChannels.erase(call.connection);
    replyError(call, kNoError);
}

// ---------------------------------------------------------------------------------------------
// The bus

QByteArray SimulatedGateway::addressToListen(const Device& device) const
{
    QByteArray bytes;
    bytes += kUNL;
    bytes += static_cast<char>(kLAD + device.primary);
    if (device.secondary >= 0)
        bytes += static_cast<char>(kSCG + device.secondary);
    return bytes;
}

std::optional<int> SimulatedGateway::sendCommands(const QByteArray& bytes)
{
    Driver& board = m_bench.driver();
    const DriverStatus status =
        board.SendCmds(0, reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                       static_cast<long>(bytes.size()));
    if (status.failed())
        return static_cast<int>(status.iberr);
    return std::nullopt;
}

void SimulatedGateway::deviceWrite(const IncomingCall& call)
{
    ArgReader in(call.arguments);
    const qint32 link = in.integer();
    in.word(); // io_timeout: the bench's units take data at once
    const quint32 lockTimeout = in.word();
    const qint32 flags = in.integer();
    const QByteArray data = in.counted(RpcServer::kRecordLimit);
    if (!in.finished())
        return m_core->replyFailure(call, RpcServer::Accept::GarbageArguments);
    const auto it = m_links.find(link);
    if (it == m_links.end())
        return replyError(call, kBadLink);
    const Device device = it->second.device;
    if (!mayProceed(call, link, device, flags, lockTimeout))
        return;
    if (device.isInterface)
        return replyError(call, kUnsupported);
    if (static_cast<quint64>(data.size()) > m_maxRecvSize)
        return replyError(call, kParameter);
    Driver& board = m_bench.driver();
    const DriverStatus sent =
        board.Send(0, wordOf(device.primary, device.secondary),
                   reinterpret_cast<const std::uint8_t*>(data.constData()),
                   static_cast<long>(data.size()), (flags & kEndFlag) ? eot::DABend : eot::NULLend);
    if (sent.failed()) {
        // Nobody listening at that address is not the gateway's concern (see the class comment);
        // a bus with no unit on it at all is.
        const auto units = m_bench.units();
        const bool anyOn =
            std::any_of(units.begin(), units.end(), [](const UnitView& u) { return u.poweredOn; });
        if (sent.iberr != err::ENOL || !anyOn)
            return replyError(call, kIoError);
    }
    reply(call, ResultWriter().integer(kNoError).word(static_cast<quint32>(data.size())).take());
}

void SimulatedGateway::deviceRead(const IncomingCall& call)
{
    ArgReader in(call.arguments);
    const qint32 link = in.integer();
    const quint32 requestSize = in.word();
    const quint32 ioTimeout = in.word();
    const quint32 lockTimeout = in.word();
    const qint32 flags = in.integer();
    const qint32 termChar = in.integer();
    if (!in.finished())
        return m_core->replyFailure(call, RpcServer::Accept::GarbageArguments);
    const auto it = m_links.find(link);
    if (it == m_links.end())
        return replyError(call, kBadLink);
    const Device device = it->second.device;
    if (!mayProceed(call, link, device, flags, lockTimeout))
        return;
    if (device.isInterface)
        return replyError(call, kUnsupported);

    const auto answer = [&](qint32 error, qint32 reasons, const QByteArray& data) {
        reply(call, ResultWriter().integer(error).integer(reasons).counted(data).take());
    };
    if (requestSize == 0)
        return answer(kNoError, kReasonCount, {});
    const quint32 wanted = std::min(requestSize, m_readLimit);
    const int termination = (flags & kTermCharSet) ? (termChar & 0xFF) : 0x0100;
    Driver& board = m_bench.driver();
    BenchClock& clock = m_bench.clock();
    const double deadline = clock.now() + ioTimeout / 1000.0;
    QByteArray data;
    std::vector<std::uint8_t> room;
    while (true) {
        const int code = timeoutCodeWithin(deadline - clock.now());
        if (m_bench.board().timeoutCode() != code)
            board.ibtmo(0, code);
        room.assign(wanted - static_cast<quint32>(data.size()), 0);
        const DriverStatus received =
            board.Receive(0, wordOf(device.primary, device.secondary), room.data(),
                          static_cast<long>(room.size()), termination);
        const long status = received.ibsta;
        const long count = std::clamp(received.ibcntl, 0L, static_cast<long>(room.size()));
        data.append(reinterpret_cast<const char*>(room.data()), static_cast<qsizetype>(count));
        if (status & sta::ERR) {
            if (received.iberr != err::EABO)
                return answer(kIoError, 0, data);
            // What is left of the time-out is waited in the board's coarser steps down to 10 ms,
            // the gateway's own resolution here.
            if (deadline - clock.now() >= kTimeoutResolution &&
                static_cast<quint32>(data.size()) < wanted)
                continue;
            return answer(kTimeout, 0, data);
        }
        qint32 reasons = 0;
        if (status & sta::END) {
            const bool byChar = termination != 0x0100 && !data.isEmpty() &&
                                static_cast<unsigned char>(data.back()) == termination;
            reasons |= byChar ? kReasonChar : kReasonEnd;
        }
        if (static_cast<quint32>(data.size()) == requestSize)
            reasons |= kReasonCount;
        if (reasons || static_cast<quint32>(data.size()) >= wanted)
            return answer(kNoError, reasons, data);
    }
}

void SimulatedGateway::generic(const IncomingCall& call)
{
    ArgReader in(call.arguments);
    const qint32 link = in.integer();
    const qint32 flags = in.integer();
    const quint32 lockTimeout = in.word();
    in.word(); // io_timeout: command bytes take no time on the bench
    if (!in.finished())
        return m_core->replyFailure(call, RpcServer::Accept::GarbageArguments);
    const auto it = m_links.find(link);
    if (it == m_links.end())
        return replyError(call, kBadLink);
    const Device device = it->second.device;
    if (!mayProceed(call, link, device, flags, lockTimeout))
        return;

    Driver& board = m_bench.driver();
    std::optional<int> failed;
    switch (call.procedure) {
    case DeviceReadStb:
        return replyError(call, kUnsupported); // the bench's units take no serial poll
    case DeviceTrigger:
        failed =
            sendCommands(device.isInterface ? QByteArray(1, kGET) : addressToListen(device) + kGET);
        break;
    case DeviceClear: {
        const DriverStatus cleared = board.DevClear(
            0, device.isInterface ? kNoAddress : wordOf(device.primary, device.secondary));
        if (cleared.failed())
            failed = static_cast<int>(cleared.iberr);
        break;
    }
    case DeviceRemote:
        board.ibsre(0, 1);
        if (!device.isInterface)
            failed = sendCommands(addressToListen(device));
        break;
    case DeviceLocal:
        if (device.isInterface)
            board.ibsre(0, 0);
        else
            failed = sendCommands(addressToListen(device) + kGTL);
        break;
    default:
        break;
    }
    replyError(call, failed ? kIoError : kNoError);
}

void SimulatedGateway::deviceDocmd(const IncomingCall& call)
{
    ArgReader in(call.arguments);
    const qint32 link = in.integer();
    const qint32 flags = in.integer();
    in.word(); // io_timeout
    const quint32 lockTimeout = in.word();
    const qint32 cmd = in.integer();
    const bool networkOrder = in.flag();
    const qint32 dataSize = in.integer();
    const QByteArray dataIn = in.counted(RpcServer::kRecordLimit);
    if (!in.finished())
        return m_core->replyFailure(call, RpcServer::Accept::GarbageArguments);
    const auto it = m_links.find(link);
    if (it == m_links.end())
        return replyError(call, kBadLink);
    const Device device = it->second.device;
    if (!mayProceed(call, link, device, flags, lockTimeout))
        return;
    if (!device.isInterface || m_refusedCommands.contains(cmd))
        return replyError(call, kUnsupported);

    const auto answer = [&](qint32 error, const QByteArray& out) {
        reply(call, ResultWriter().integer(error).counted(out).take());
    };
    // A value of `size` bytes in the order the call names (network order: most significant first).
    const auto valueIn = [&](int size) -> std::optional<quint32> {
        if (dataSize != size || dataIn.size() != size)
            return std::nullopt;
        quint32 value = 0;
        for (int i = 0; i < size; ++i) {
            const int at = networkOrder ? i : size - 1 - i;
            value = value << 8 | static_cast<unsigned char>(dataIn[at]);
        }
        return value;
    };
    const auto valueOut = [&](quint32 value, int size) {
        QByteArray out(size, '\0');
        for (int i = 0; i < size; ++i) {
            const int at = networkOrder ? size - 1 - i : i;
            out[at] = static_cast<char>((value >> (8 * i)) & 0xFF);
        }
        return out;
    };

    Driver& board = m_bench.driver();
    switch (cmd) {
    case kSendCommand: {
        if (dataSize != 1)
            return answer(kParameter, {});
        if (!dataIn.isEmpty() && sendCommands(dataIn))
            return answer(kIoError, {});
        return answer(kNoError, dataIn);
    }
    case kBusStatus: {
        const auto which = valueIn(2);
        if (!which)
            return answer(kParameter, {});
        quint32 value = 0;
        switch (*which) {
        case 1:
            value = m_bench.board().remoteEnable();
            break;
        case 2:
            value = 0;
            break; // the bench's units never request service
        case 3:
            value = 0;
            break; // no transfer is under way between calls
        case 4:
            value = 1;
            break;
        case 5:
            value = m_bench.board().controllerInCharge();
            break;
        case 6:
            value = m_bench.board().talkerActive() ? 1 : 0;
            break;
        case 7:
            value = m_bench.board().listenerActive() ? 1 : 0;
            break;
        case 8:
            value = static_cast<quint32>(m_busAddress);
            break;
        default:
            return answer(kParameter, {});
        }
        return answer(kNoError, valueOut(value, 2));
    }
    case kAtnControl: {
        const auto assert = valueIn(2);
        if (!assert)
            return answer(kParameter, {});
        m_atn = *assert != 0;
        return answer(kNoError, dataIn);
    }
    case kRenControl: {
        const auto assert = valueIn(2);
        if (!assert)
            return answer(kParameter, {});
        board.ibsre(0, *assert != 0);
        return answer(kNoError, dataIn);
    }
    case kPassControl: {
        const auto address = valueIn(4);
        if (!address || *address > 30)
            return answer(kParameter, {});
        QByteArray bytes;
        bytes += static_cast<char>(kTAD + static_cast<int>(*address));
        bytes += kTCT;
        if (sendCommands(bytes))
            return answer(kIoError, {});
        return answer(kNoError, dataIn);
    }
    case kBusAddressCmd: {
        const auto address = valueIn(4);
        if (!address || *address > 30)
            return answer(kParameter, {});
        m_busAddress = static_cast<int>(*address);
        return answer(kNoError, dataIn);
    }
    case kIfcControl: {
        if (dataSize != 0 || !dataIn.isEmpty())
            return answer(kParameter, {});
        board.SendIFC(0);
        return answer(kNoError, {});
    }
    default:
        return answer(kUnsupported, {});
    }
}

} // namespace gpibconfig::sim::vxi11
