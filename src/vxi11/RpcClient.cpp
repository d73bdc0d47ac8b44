// SPDX-License-Identifier: GPL-3.0-or-later
#include "RpcClient.h"

#include <QDeadlineTimer>
#include <QRandomGenerator>
#include <QTcpSocket>
#include <algorithm>
#include <limits>

namespace gpibconfig::vxi11 {

namespace {

template <typename T>
Outcome<T> failure(CallError error, QString detail, Reply::Status status = Reply::Status::Success)
{
    Outcome<T> out;
    out.error = error;
    out.rpcStatus = status;
    out.detail = std::move(detail);
    return out;
}

// The results of a call decoded as T, or BadReply when they are not what the procedure returns.
template <typename T, typename Decode>
Outcome<T> typed(const Outcome<QByteArray>& raw, Decode decode)
{
    if (!raw.ok())
        return failure<T>(raw.error, raw.detail, raw.rpcStatus);
    const std::optional<T> value = decode(QByteArrayView(raw.value));
    if (!value)
        return failure<T>(CallError::BadReply,
                          QStringLiteral("the gateway's results do not have the form of the "
                                         "procedure's results"));
    Outcome<T> out;
    out.value = *value;
    return out;
}

int remainingMs(const QDeadlineTimer& deadline)
{
    return static_cast<int>(
        std::clamp<qint64>(deadline.remainingTime(), 0, std::numeric_limits<int>::max()));
}

} // namespace

RpcClient::RpcClient(qsizetype recordLimit)
    : m_recordLimit(recordLimit)
    // A fresh start for every client, so a gateway that still holds an old connection's calls
    // does not see the same xids again.
    , m_nextXid(QRandomGenerator::global()->generate())
{
}

RpcClient::~RpcClient() { close(); }

bool RpcClient::isConnected() const
{
    return m_socket && m_socket->state() == QAbstractSocket::ConnectedState;
}

void RpcClient::close()
{
    if (m_socket) {
        m_socket->abort();
        m_socket.reset();
    }
    m_reader.reset();
}

Outcome<std::monostate> RpcClient::connectTo(const QString& host, quint16 port, int timeoutMs)
{
    close();
    m_socket = std::make_unique<QTcpSocket>();
    m_reader = std::make_unique<RecordReader>(m_recordLimit);
    m_socket->connectToHost(host, port);
    if (!m_socket->waitForConnected(std::max(timeoutMs, 0))) {
        const QString why = m_socket->error() == QAbstractSocket::SocketTimeoutError
                                ? QStringLiteral("no answer within %1 ms").arg(timeoutMs)
                                : m_socket->errorString();
        close();
        return failure<std::monostate>(
            CallError::ConnectFailed,
            QStringLiteral("no connection to %1 port %2: %3").arg(host).arg(port).arg(why));
    }
    // A call is one small record; waiting to fill a segment only delays it.
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    m_socket->setSocketOption(QAbstractSocket::KeepAliveOption, 1);
    return {};
}

Outcome<QByteArray> RpcClient::lost(const QString& during)
{
    const QString why = m_socket ? m_socket->errorString() : QString();
    close();
    return failure<QByteArray>(
        CallError::ConnectionLost,
        QStringLiteral("the connection to the gateway was lost %1 (%2)").arg(during, why));
}

Outcome<QByteArray> RpcClient::call(quint32 program, quint32 version, quint32 procedure,
                                    QByteArrayView arguments, int timeoutMs)
{
    if (!isConnected())
        return failure<QByteArray>(CallError::NotConnected,
                                   QStringLiteral("no connection to the gateway"));
    const QDeadlineTimer deadline(std::max(timeoutMs, 0));
    const quint32 xid = m_nextXid++;
    m_socket->write(markRecord(encodeCall(xid, program, version, procedure, arguments)));
    while (m_socket->bytesToWrite() > 0) {
        if (!m_socket->waitForBytesWritten(remainingMs(deadline))) {
            if (m_socket->state() != QAbstractSocket::ConnectedState)
                return lost(QStringLiteral("while sending a call"));
            // Part of the record may be out: the stream can no longer be trusted.
            close();
            return failure<QByteArray>(
                CallError::TimedOut,
                QStringLiteral("the gateway took no call within %1 ms").arg(timeoutMs));
        }
    }
    while (true) {
        while (const auto record = m_reader->next()) {
            const Reply reply = decodeReply(*record);
            if (reply.status == Reply::Status::Malformed)
                return failure<QByteArray>(CallError::BadReply, describe(reply));
            if (reply.xid != xid || reply.status == Reply::Status::NotAReply)
                continue; // the late reply to a call given up on, or a call of the peer's own
            if (reply.status != Reply::Status::Success)
                return failure<QByteArray>(CallError::Rejected, describe(reply), reply.status);
            Outcome<QByteArray> out;
            out.value = reply.results;
            return out;
        }
        if (m_socket->bytesAvailable() > 0) {
            m_reader->append(m_socket->readAll());
            if (m_reader->failed()) {
                close();
                return failure<QByteArray>(
                    CallError::RecordTooLarge,
                    QStringLiteral("the gateway sent a record larger than %1 bytes")
                        .arg(m_recordLimit));
            }
            continue;
        }
        if (m_socket->state() != QAbstractSocket::ConnectedState)
            return lost(QStringLiteral("while waiting for a reply"));
        if (deadline.hasExpired() || !m_socket->waitForReadyRead(remainingMs(deadline))) {
            if (m_socket->state() != QAbstractSocket::ConnectedState)
                return lost(QStringLiteral("while waiting for a reply"));
            if (m_socket->bytesAvailable() > 0)
                continue;
            return failure<QByteArray>(
                CallError::TimedOut,
                QStringLiteral("the gateway did not answer within %1 ms").arg(timeoutMs));
        }
    }
}

Outcome<quint16> getPort(const QString& host, quint32 program, quint32 version, int timeoutMs,
                         quint16 portmapperPort)
{
    const QDeadlineTimer deadline(std::max(timeoutMs, 0));
    RpcClient rpc(4096);
    const auto connected = rpc.connectTo(host, portmapperPort, timeoutMs);
    if (!connected.ok())
        return failure<quint16>(connected.error, connected.detail);
    auto port = typed<quint16>(rpc.call(kPortmapProgram, kPortmapVersion, kPortmapGetPort,
                                        encodeGetPort(program, version, kIpProtoTcp),
                                        remainingMs(deadline)),
                               decodeGetPortResult);
    if (port.ok() && port.value == 0)
        return failure<quint16>(
            CallError::Rejected,
            QStringLiteral("the portmapper knows no TCP port of program 0x%1 version %2")
                .arg(program, 0, 16)
                .arg(version),
            Reply::Status::ProgramUnavailable);
    return port;
}

int CoreChannel::waitMs(quint64 lockTimeout, quint64 ioTimeout) const
{
    const quint64 total = lockTimeout + ioTimeout + static_cast<quint64>(std::max(m_marginMs, 0));
    return static_cast<int>(std::min<quint64>(total, std::numeric_limits<int>::max()));
}

Outcome<QByteArray> CoreChannel::call(quint32 procedure, const QByteArray& arguments, int timeoutMs)
{
    return m_rpc.call(kCoreProgram, kCoreVersion, procedure, arguments, timeoutMs);
}

Outcome<CreateLinkResp> CoreChannel::createLink(const CreateLinkParms& p)
{
    return typed<CreateLinkResp>(
        call(proc::CreateLink, p.encode(), waitMs(p.lockDevice ? p.lockTimeout : 0, 0)),
        &CreateLinkResp::decode);
}

Outcome<DeviceWriteResp> CoreChannel::deviceWrite(const DeviceWriteParms& p)
{
    return typed<DeviceWriteResp>(
        call(proc::DeviceWrite, p.encode(), waitMs(p.lockTimeout, p.ioTimeout)),
        &DeviceWriteResp::decode);
}

Outcome<DeviceReadResp> CoreChannel::deviceRead(const DeviceReadParms& p)
{
    return typed<DeviceReadResp>(
        call(proc::DeviceRead, p.encode(), waitMs(p.lockTimeout, p.ioTimeout)),
        &DeviceReadResp::decode);
}

Outcome<DeviceReadStbResp> CoreChannel::deviceReadStb(const DeviceGenericParms& p)
{
    return typed<DeviceReadStbResp>(
        call(proc::DeviceReadStb, p.encode(), waitMs(p.lockTimeout, p.ioTimeout)),
        &DeviceReadStbResp::decode);
}

#define GPIBCONFIG_GENERIC_CALL(name, procedure)                                                   \
    Outcome<qint32> CoreChannel::name(const DeviceGenericParms& p)                                 \
    {                                                                                              \
        return typed<qint32>(call(procedure, p.encode(), waitMs(p.lockTimeout, p.ioTimeout)),      \
                             decodeDeviceError);                                                   \
    }
GPIBCONFIG_GENERIC_CALL(deviceTrigger, proc::DeviceTrigger)
GPIBCONFIG_GENERIC_CALL(deviceClear, proc::DeviceClear)
GPIBCONFIG_GENERIC_CALL(deviceRemote, proc::DeviceRemote)
GPIBCONFIG_GENERIC_CALL(deviceLocal, proc::DeviceLocal)
#undef GPIBCONFIG_GENERIC_CALL

Outcome<qint32> CoreChannel::deviceLock(const DeviceLockParms& p)
{
    return typed<qint32>(call(proc::DeviceLock, p.encode(), waitMs(p.lockTimeout, 0)),
                         decodeDeviceError);
}

Outcome<qint32> CoreChannel::deviceUnlock(qint32 link)
{
    return typed<qint32>(call(proc::DeviceUnlock, encodeLink(link), waitMs(0, 0)),
                         decodeDeviceError);
}

Outcome<qint32> CoreChannel::deviceEnableSrq(const DeviceEnableSrqParms& p)
{
    return typed<qint32>(call(proc::DeviceEnableSrq, p.encode(), waitMs(0, 0)), decodeDeviceError);
}

Outcome<DeviceDocmdResp> CoreChannel::deviceDocmd(const DeviceDocmdParms& p)
{
    return typed<DeviceDocmdResp>(
        call(proc::DeviceDocmd, p.encode(), waitMs(p.lockTimeout, p.ioTimeout)),
        &DeviceDocmdResp::decode);
}

Outcome<qint32> CoreChannel::destroyLink(qint32 link)
{
    return typed<qint32>(call(proc::DestroyLink, encodeLink(link), waitMs(0, 0)),
                         decodeDeviceError);
}

Outcome<qint32> CoreChannel::createIntrChan(const DeviceRemoteFunc& p)
{
    return typed<qint32>(call(proc::CreateIntrChan, p.encode(), waitMs(0, 0)), decodeDeviceError);
}

Outcome<qint32> CoreChannel::destroyIntrChan()
{
    return typed<qint32>(call(proc::DestroyIntrChan, {}, waitMs(0, 0)), decodeDeviceError);
}

Outcome<qint32> abortLink(const QString& host, quint16 abortPort, qint32 link, int timeoutMs)
{
    const QDeadlineTimer deadline(std::max(timeoutMs, 0));
    RpcClient rpc(4096);
    const auto connected = rpc.connectTo(host, abortPort, timeoutMs);
    if (!connected.ok())
        return failure<qint32>(connected.error, connected.detail);
    return typed<qint32>(rpc.call(kAbortProgram, kAbortVersion, proc::DeviceAbort, encodeLink(link),
                                  remainingMs(deadline)),
                         decodeDeviceError);
}

} // namespace gpibconfig::vxi11
