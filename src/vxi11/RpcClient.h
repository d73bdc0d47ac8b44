// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Rpc.h"
#include "Vxi11.h"

#include <QByteArray>
#include <QString>
#include <memory>
#include <variant>

class QTcpSocket;

namespace gpibconfig::vxi11 {

// Why a call brought no results. Each is a value the caller gets back, never an exception: a
// driver turns them into status words.
enum class CallError {
    None,
    ConnectFailed,  // no connection could be made (refused, no route, name unknown, time-out)
    NotConnected,   // a call without a connection
    TimedOut,       // no reply before the deadline; the connection stays (a late reply is
                    // dropped), unless the call itself could not be sent whole
    ConnectionLost, // the peer closed or reset the connection, or it broke, during the call
    RecordTooLarge, // the peer's record went past the size limit; the connection is closed
    Rejected,       // the peer answered with an RPC-level refusal (`rpcStatus` says which)
    BadReply,       // the reply is no ONC RPC reply, or its results are not what the call returns
};

template <typename T> struct Outcome {
    CallError error = CallError::None;
    Reply::Status rpcStatus = Reply::Status::Success; // for Rejected
    QString detail;                                   // plain words when error != None
    T value{};

    bool ok() const { return error == CallError::None; }
};

// One ONC RPC connection over TCP whose calls block the calling thread until their reply or
// deadline, waiting in the socket's waitFor* (no event loop, no busy waiting), so it runs on a
// driver's bus thread. Replies are matched to their call by xid; one to an earlier call that
// timed out is dropped when it turns up.
class RpcClient {
public:
    // Records (one reply) larger than `recordLimit` bytes are refused.
    explicit RpcClient(qsizetype recordLimit = kMaxData + 4096);
    ~RpcClient();
    RpcClient(const RpcClient&) = delete;
    RpcClient& operator=(const RpcClient&) = delete;

    Outcome<std::monostate> connectTo(const QString& host, quint16 port, int timeoutMs);
    bool isConnected() const;
    void close();

    // The call's results (the bytes after the accepted reply's header) or why there are none.
    Outcome<QByteArray> call(quint32 program, quint32 version, quint32 procedure,
                             QByteArrayView arguments, int timeoutMs);

private:
    Outcome<QByteArray> lost(const QString& during);

    std::unique_ptr<QTcpSocket> m_socket;
    std::unique_ptr<RecordReader> m_reader;
    qsizetype m_recordLimit;
    quint32 m_nextXid;
};

// Asks the portmapper at host:portmapperPort (111 on a gateway) for the TCP port of a program.
// A program it does not know is port 0, which comes back as Rejected/ProgramUnavailable.
Outcome<quint16> getPort(const QString& host, quint32 program, quint32 version, int timeoutMs,
                         quint16 portmapperPort = kPortmapPort);

// The core channel's procedures as typed calls on a connected RpcClient. A procedure that
// carries a lock or I/O time-out waits for its reply that long plus `replyMarginMs` (the
// gateway answers a time-out with error 15 itself; only a lost or silent gateway goes past the
// margin). Device errors (the `error` field) are results, not failures.
class CoreChannel {
public:
    explicit CoreChannel(RpcClient& rpc, int replyMarginMs = 2000)
        : m_rpc(rpc)
        , m_marginMs(replyMarginMs)
    {
    }

    Outcome<CreateLinkResp> createLink(const CreateLinkParms& parms);
    Outcome<DeviceWriteResp> deviceWrite(const DeviceWriteParms& parms);
    Outcome<DeviceReadResp> deviceRead(const DeviceReadParms& parms);
    Outcome<DeviceReadStbResp> deviceReadStb(const DeviceGenericParms& parms);
    Outcome<qint32> deviceTrigger(const DeviceGenericParms& parms);
    Outcome<qint32> deviceClear(const DeviceGenericParms& parms);
    Outcome<qint32> deviceRemote(const DeviceGenericParms& parms);
    Outcome<qint32> deviceLocal(const DeviceGenericParms& parms);
    Outcome<qint32> deviceLock(const DeviceLockParms& parms);
    Outcome<qint32> deviceUnlock(qint32 link);
    Outcome<qint32> deviceEnableSrq(const DeviceEnableSrqParms& parms);
    Outcome<DeviceDocmdResp> deviceDocmd(const DeviceDocmdParms& parms);
    Outcome<qint32> destroyLink(qint32 link);
    Outcome<qint32> createIntrChan(const DeviceRemoteFunc& parms);
    Outcome<qint32> destroyIntrChan();

private:
    int waitMs(quint64 lockTimeout, quint64 ioTimeout) const;
    Outcome<QByteArray> call(quint32 procedure, const QByteArray& arguments, int timeoutMs);

    RpcClient& m_rpc;
    int m_marginMs;
};

// device_abort on a link's abort channel (its own connection to the create_link's abortPort).
Outcome<qint32> abortLink(const QString& host, quint16 abortPort, qint32 link, int timeoutMs);

} // namespace gpibconfig::vxi11
