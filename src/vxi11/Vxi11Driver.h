// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "RpcClient.h"
#include "gpib/Driver.h"

#include <QByteArray>
#include <QLoggingCategory>
#include <QString>
#include <optional>
#include <variant>
#include <vector>

namespace gpibconfig::vxi11 {

// Connections, links and failures, one debug line each:
//   QT_LOGGING_RULES="gpibconfig.vxi11.debug=true"
Q_DECLARE_LOGGING_CATEGORY(lcVxi11)

// How long the driver waits for what, in milliseconds. Tests shorten them.
struct DriverTiming {
    int connectMs = 3000; // the TCP connection, and the portmapper's answer
    // Beyond a call's io_timeout and lock_timeout: the gateway reports its own time-out (error
    // 15), so only a silent or lost gateway makes the driver give up waiting for the reply.
    int replyMarginMs = 1000;
    int closeMs = 1000; // each destroy_link when the driver ends
    // Where the portmapper is asked (111 on every gateway; tests serve one elsewhere).
    quint16 portmapperPort = kPortmapPort;
};

// What a call was doing when the gateway answered with an error: an I/O error (17) means another
// thing on a write, a read and command bytes.
enum class Operation { Link, Write, Read, Command };

// The NI-488.2 error code a gateway's Device_ErrorCode becomes for an operation (EABO, with TIMO
// in the status word, for a time-out).
int iberrForError(Operation operation, qint32 error);

// The twelve board-level calls over a LAN/GPIB gateway that speaks VXI-11 (E5810-class, ICS
// 8065-class, and others following VXI-11.2). Board 0 is the gateway's GPIB interface
// (INTERFACE, "gpib0" unless given).
//
// - The core channel is at the port given, or where the gateway's portmapper (TCP 111) says.
//   One connection; it is made at the first call and again at the next call after it was lost.
// - A device link per address ("gpib0,15", "gpib0,25,11" for a secondary address 0 to 30), made
//   at its first use and kept (at most kMaxDeviceLinks: the least recently used goes when one
//   more is needed, as a gateway has few to give); the interface link "gpib0" for interface
//   clear (device_docmd IFC control), remote enable (REN control), command bytes (send command)
//   and a device clear of the whole bus. The links are destroyed when the driver ends.
// - A gateway without send command (it answers 8 to it): the listen addresses in the command
//   bytes are kept, and a group execute trigger becomes device_trigger on each listener's link.
// - Send is device_write in blocks of at most the link's maxRecvSize, END on the last block
//   unless the end mode says none. Receive is device_read asking for the whole rest of the
//   buffer, again until END (or the termination character) or the count: a gateway may hand a
//   reply in parts, and some discard what a short request leaves unread.
// - ibtmo's code is each call's io_timeout and lock_timeout (waiting for another program's lock
//   that long); the driver waits for a reply that long plus replyMarginMs.
// - Status words: CMPL and CIC on success (the gateway is the bus's controller), END when the
//   reply ended with EOI or the termination character; errors per iberrForError(), with the
//   count of what moved. A gateway does not report listeners: a Send to an address where nobody
//   listens succeeds, and only the read times out (ERR, TIMO, EABO), as with a Prologix
//   controller. No connection, a lost one, a peer that is no gateway and the gateway's own
//   refusals fail with ERR and EDVR, and explainFailure() says what happened in plain words.
//
// Calls must come from one thread; the connection is made on it.
class Vxi11Driver final : public Driver {
public:
    // `corePort` 0: ask the portmapper. Nothing is connected before the first call.
    Vxi11Driver(QString host, quint16 corePort, QString interfaceName, DriverTiming timing = {});
    ~Vxi11Driver() override;

    DriverStatus SendIFC(int board) override;
    DriverStatus DevClear(int board, Addr4882 address) override;
    DriverStatus Send(int board, Addr4882 address, const std::uint8_t* data, long count,
                      int eotMode) override;
    DriverStatus Receive(int board, Addr4882 address, std::uint8_t* buffer, long count,
                         int termination) override;
    DriverStatus SendCmds(int board, const std::uint8_t* commands, long count) override;
    DriverStatus ibonl(int ud, int v) override;
    DriverStatus ibsre(int ud, int v) override;
    DriverStatus ibtmo(int ud, int v) override;

    QString explainFailure(int ibsta, int iberr, long ibcntl) const override;

    // The gateway as the driver's words name it: "192.168.1.60", "[fe80::1]:1024".
    QString where() const;
    // Links the driver holds now, the interface link included.
    int linkCount() const;
    // io_timeout in milliseconds for an ibtmo code; code 0 ("none") waits as long as the longest
    // code, 1000 s. nullopt for a code outside 0-17.
    static std::optional<quint32> timeoutMsFor(int ibtmoCode);
    // The gateway's name of the device at an address word ("gpib0,15", "gpib0,25,11"); nullopt
    // for a primary address outside 0-30 or a secondary outside 0-30.
    static std::optional<QByteArray> deviceName(const QString& interfaceName, Addr4882 address);

    static constexpr std::size_t kMaxDeviceLinks = 8;

private:
    struct Link {
        Addr4882 address = kNoAddress; // kNoAddress: the interface link
        QByteArray device;
        qint32 id = 0;
        quint32 maxRecvSize = 0;
    };
    using Linked = std::variant<Link, DriverStatus>;

    std::optional<DriverStatus> connect();
    Linked interfaceLink();
    Linked deviceLink(Addr4882 address);
    Linked makeLink(Addr4882 address, const QByteArray& device);
    void forgetLinks();
    DriverStatus docmd(qint32 command, const QByteArray& data, qint32 dataSize, long count,
                       const QString& what);
    DriverStatus commandsAsCalls(const std::uint8_t* commands, long count);

    DriverStatus succeed(long count, long extra = 0);
    DriverStatus fail(int iberr, long count, QString words);
    DriverStatus refuseBoard(int board);
    template <typename T> DriverStatus callFailed(const Outcome<T>& outcome, long count);
    DriverStatus deviceError(Operation operation, qint32 error, const QByteArray& device,
                             const QString& what, long count);

    QString m_host;
    quint16 m_corePort;
    QString m_interface;
    DriverTiming m_timing;
    RpcClient m_rpc;
    CoreChannel m_core;
    qint32 m_clientId;

    std::optional<Link> m_interfaceLink;
    std::vector<Link> m_links; // device links, the least recently used first
    quint32 m_ioTimeoutMs = 10000; // NI-488.2's default, T10s

    // False once the gateway answered "operation not supported" to send command: command bytes
    // are then made into calls, and m_listeners holds what their listen addresses addressed.
    bool m_sendsCommands = true;
    std::vector<Addr4882> m_listeners;

    // The last failure's plain words and the code they came with: explainFailure() gives them
    // for a status with that code.
    int m_wordsIberr = -1;
    QString m_words;
};

} // namespace gpibconfig::vxi11
