// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "RpcServer.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <algorithm>
#include <functional>
#include <map>
#include <optional>

class QTimer;

namespace gpibconfig::sim {

class Bench;

namespace vxi11 {

// A LAN/GPIB gateway (E5810-class, ICS 8065-class) in front of the bench, written from the
// VXIbus Consortium's documents VXI-11 (the TCP/IP instrument protocol) and VXI-11.2 (its
// TCP/IP-IEEE 488.1 interface), for the tests of the program's VXI-11 layer and for
// trying a VISA library against the simulated units. It acts on the bench through its board, as
// SimulatedPrologix does, so the bench's trace shows what reached the bus.
//
// - Portmapper (program 100000 version 2, TCP): GETPORT answers the core channel's port for
//   program 0x0607AF version 1 over TCP, the abort channel's for 0x0607B0, and 0 otherwise.
// - Core channel (0x0607AF version 1) on a port of its own. Devices: "gpib0,PAD" and
//   "gpib0,PAD,SAD" (primary 0-30, secondary 0-30; a SAD of n is the bus's 0x60 + n), and the
//   interface "gpib0" itself. Any other name: create_link error 3. A link to an address where no
//   unit listens is made (the gateway does not probe the bus), a write there is taken as a
//   gateway's GPIB chip takes it, and only a read shows that nobody answers: error 15.
// - device_write: the data to the device, EOI with the last byte when END is set; more than
//   maxRecvSize bytes is error 5. device_read: up to requestSize bytes, ending at EOI (reason
//   END), the termination character when TermCharSet is set (CHR), or the count (REQCNT); no
//   complete reply within io_timeout is error 15 with what did come. device_clear (SDC; DCL on
//   the interface), device_trigger (GET), device_remote and device_local (REN and GTL).
//   device_readstb is error 8: the bench's units take no serial poll.
// - device_docmd on the interface link (error 8 on a device link, and for a command it does not
//   know): send command (bytes with ATN), bus status (remote, SRQ, NDAC, system controller,
//   controller in charge, talker, listener, bus address), ATN control, REN control, pass control
//   (TCT: the bench's units cannot take control, so the gateway keeps it), bus address (0-30) and
//   IFC control. Data sizes and lengths not those of the command: error 5. Two-byte and four-byte
//   values are read and answered in the byte order the call names.
// - Locks: a device link's lock covers its device, the interface link's the whole bus. An
//   operation (or create_link with lockDevice) on a device another link has locked waits up to
//   its lock_timeout when it sets WaitLock, then fails with 11;
//   device_unlock without the lock is 12. device_abort on the abort channel ends such a wait with
//   23. A link, and its lock, end with destroy_link or with its connection.
// - create_intr_chan and destroy_intr_chan are kept per connection (29 for a second channel, 6
//   for none); no service request is ever sent (the bench raises none).
// - Errors: 4 for a link it did not make, 17 when the bus itself failed (no unit switched on).
//
// Everything runs on the thread that made it; the bench is used from there only. In real time
// the bench's waits run the event loop: calls that arrive meanwhile wait their turn.
class SimulatedGateway final : public QObject {
    Q_OBJECT

public:
    explicit SimulatedGateway(Bench& bench, QObject* parent = nullptr);
    ~SimulatedGateway() override;

    // Serves the core and abort channels on 127.0.0.1; port 0 takes a free one. Returns the core
    // channel's port, 0 on failure.
    quint16 serve(quint16 corePort = 0);
    // Serves a portmapper on 127.0.0.1:`port` (111 is the one clients ask); may be called again
    // for another port. Returns the port, 0 when it cannot be had (portmapperError says why).
    quint16 servePortmapper(quint16 port);
    QString portmapperError() const { return m_portmapperError; }
    quint16 corePort() const { return m_corePort; }
    quint16 abortPort() const { return m_abortPort; }

    // What create_link reports; device_write refuses more.
    void setMaxRecvSize(quint32 bytes) { m_maxRecvSize = bytes; }
    // The most one device_read hands back (at least 1); a longer reply comes in parts without a
    // reason bit, and the client reads again for the rest, as from a gateway with a small buffer.
    void setReadLimit(quint32 bytes) { m_readLimit = std::max<quint32>(bytes, 1); }

    // --- Faults -------------------------------------------------------------------------------
    // Down: every connection is closed and nothing listens (a gateway switched off or
    // unplugged). Up again: it listens on the same ports.
    void setDown(bool down);
    // create_link fails with `error` (0: links are made again), as a gateway out of links does
    // (9) or one that refuses the device (3).
    void refuseLinks(qint32 error) { m_refuseLinks = error; }
    // A program elsewhere holds the lock of `device` ("gpib0,15", "gpib0" for the bus).
    void lockByAnotherLink(const QByteArray& device, bool locked = true);
    // The connection a call of `procedure` arrives on is closed before the call is acted on,
    // once (a gateway rebooting or a cable pulled in the middle of a conversation).
    void dropOnProcedure(quint32 procedure) { m_dropOn = procedure; }
    // device_docmd with `command` fails with 8, as on a gateway that does not have it.
    void refuseCommand(qint32 command) { m_refusedCommands.push_back(command); }

    // Links open now.
    int linkCount() const { return static_cast<int>(m_links.size()); }
    // Calls on the core channel since construction, by procedure number, in order.
    const QList<quint32>& coreCalls() const { return m_coreCalls; }

private:
    struct Device {
        bool isInterface = true;
        int primary = 0;
        int secondary = -1;
        QByteArray key() const;
    };
    struct Link {
        quint64 connection = 0;
        Device device;
    };
    // A call waiting for another link's lock to go.
    struct Waiting {
        IncomingCall call;
        qint32 link = 0; // 0: create_link, no link yet
        Device device;
        quint64 serial = 0;
        QTimer* timer = nullptr;
    };

    void enqueue(std::function<void()> task);
    void dispatch(const IncomingCall& call);
    void portmapCall(const IncomingCall& call);
    void coreCall(const IncomingCall& call);
    void abortCall(const IncomingCall& call);
    void reply(const IncomingCall& call, const QByteArray& results);
    void replyError(const IncomingCall& call, qint32 error);
    void onDisconnected(quint64 connection);
    void retryWaiting();
    void endWait(quint64 serial, qint32 error);
    void releaseLink(qint32 link);

    static std::optional<Device> parseDevice(const QByteArray& name);
    // Another link holds a lock this link's operations must respect: its id, or nullopt.
    std::optional<qint32> blockingLock(qint32 link, const Device& device) const;
    // Whether an operation may go ahead now; when it may not, it was answered (11) or set to wait.
    bool mayProceed(const IncomingCall& call, qint32 link, const Device& device, qint32 flags,
                    quint32 lockTimeout);

    void createLink(const IncomingCall& call);
    void deviceWrite(const IncomingCall& call);
    void deviceRead(const IncomingCall& call);
    void generic(const IncomingCall& call);
    void deviceLock(const IncomingCall& call);
    void deviceUnlock(const IncomingCall& call);
    void deviceDocmd(const IncomingCall& call);
    void destroyLink(const IncomingCall& call);
    void interruptChannel(const IncomingCall& call);

    // The bus through the bench's board: the driver's error (ERR set) or nullopt.
    std::optional<int> sendCommands(const QByteArray& bytes);
    QByteArray addressToListen(const Device& device) const;

    Bench& m_bench;
    RpcServer* m_core = nullptr;
    RpcServer* m_abort = nullptr;
    QList<RpcServer*> m_portmappers;
    QList<quint16> m_portmapperPorts;
    QString m_portmapperError;
    quint16 m_corePort = 0;
    quint16 m_abortPort = 0;
    bool m_down = false;

    quint32 m_maxRecvSize = 16384;
    quint32 m_readLimit = 1024 * 1024;
    qint32 m_refuseLinks = 0;
    std::optional<quint32> m_dropOn;
    QList<qint32> m_refusedCommands;

    std::map<qint32, Link> m_links;
    qint32 m_nextLink = 1;
    std::map<QByteArray, qint32> m_locks; // device key -> holder (kForeignHolder: elsewhere)
    std::map<quint64, bool> m_interruptChannels;
    QList<Waiting> m_waiting;
    int m_busAddress = 0;
    bool m_atn = false;

    quint64 m_nextWaitSerial = 1;
    // Calls and disconnections wait here while one is acted on (the bench's real-time waits run
    // the event loop).
    QList<std::function<void()>> m_queue;
    bool m_busy = false;
    QList<quint32> m_coreCalls;
};

} // namespace vxi11
} // namespace gpibconfig::sim
