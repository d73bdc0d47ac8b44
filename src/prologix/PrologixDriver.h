// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ControllerText.h"
#include "Transport.h"
#include "gpib/Driver.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QLoggingCategory>
#include <QString>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace gpibconfig::prologix {

// The raw "++" exchange, one debug line per direction:
//   QT_LOGGING_RULES="gpibconfig.prologix.debug=true"
Q_DECLARE_LOGGING_CATEGORY(lcPrologix)

// How long the driver waits for what, in milliseconds. Tests shorten them.
struct Timing {
    int connectMs = 3000;     // TCP connection request
    int versionWaitMs = 3000; // answer to ++ver, in all
    int versionRetryMs = 700; // ++ver asked again (a board that resets when opened may miss it)
    int readMarginMs = 300;   // beyond ++read_tmo_ms before a read counts as timed out
    int writeMs = 2000;       // bytes leaving the host
    int answerMs = 1000;      // answer to a ++addr query on a link in a known state
    int quietMs = 100;        // silence that counts as a quiet link
    int settleMs = 2000;      // the longest wait for that silence; the ++ver exchange goes on then
    // Silence after an EOT character that ends a reply. A USB serial chip hands on what it has
    // when its latency timer runs out (16 ms on FTDI chips by default), so that byte can be a data
    // byte at the end of a packet, with the rest of the reply behind it; 40 ms is that timer
    // two and a half times.
    int eotQuietMs = 40;
};

// The twelve board-level calls over a controller that speaks the "++" protocol of the Prologix
// GPIB-USB and GPIB-ETHERNET controllers (and of AR488 boards, which follow it), in controller
// mode. Board 0 is the controller; the status words are made here from what the protocol lets
// us know:
//
// - Success: CMPL and CIC (the controller is controller in charge from power-on); a Receive
//   whose reply ended with EOI adds END. Failure: ERR with the code; iberr keeps the last
//   failure's code through later successes, as NI-488.2 does.
// - The protocol reports nothing of the bus: a Send to an address where nobody listens succeeds
//   (no ENOL), a device clear cannot fail. A Receive that gets no reply, or one that stops
//   without EOI or a final line feed, fails with ERR, TIMO and EABO after ++read_tmo_ms plus a
//   margin for the host link; ibcntl then counts the bytes that did arrive.
// - No controller (port that cannot be opened, connection refused or dropped, no answer to
//   ++ver, or none after a time-out): every call fails with ERR and EDVR, and explainFailure()
//   says what happened in plain words. The next call tries again, so a controller plugged in or
//   reconnected is used without restarting the program.
// - Nothing the controller prints of its own is taken for a unit's data. Every ++addr is
//   confirmed with a bare ++addr before anything goes to the unit: an address the controller
//   refused (AR488 keeps 0 for itself) fails the call with EARG, a secondary address it dropped
//   (AR488 before 0.52.15) with ECAP, and nothing is sent or read there.
// - The link is brought to a known state when it opens and after every read that timed out: a
//   quiet interval, whatever came discarded, then one ++ver matched to its answer; late output
//   of an earlier exchange is dropped with everything else that came before that answer.
// - A Prologix controller is told ++savecfg 0 before any setting, so that using it writes its
//   EEPROM not once; an AR488 board (recognised by its "++ver real") is never sent ++savecfg,
//   which writes its EEPROM at once whatever follows it.
// - Command bytes: unlisten, listen addresses (with secondaries) and group execute trigger,
//   which becomes ++trg for the addressed listeners. Other bytes fail with ECAP before anything
//   is sent; so does, on AR488, a trigger of a secondary address (its ++trg takes primary
//   addresses 1 to 30; address 0 is EARG). A ++trg the controller refuses fails with ECAP.
//
// Calls must come from one thread; the QIODevice behind the transport is made on it.
class PrologixDriver final : public Driver {
public:
    PrologixDriver(std::unique_ptr<Transport> transport, Timing timing = {});
    ~PrologixDriver() override;

    static std::unique_ptr<PrologixDriver> serial(const QString& port, Timing timing = {});
    static std::unique_ptr<PrologixDriver> tcp(const QString& host, quint16 port = kDefaultTcpPort,
                                               Timing timing = {});

    // Each call returns the status the protocol let it make (see above).
    DriverStatus SendIFC(int board) override
    {
        sendIfc(board);
        return status();
    }
    DriverStatus DevClear(int board, Addr4882 address) override
    {
        devClear(board, address);
        return status();
    }
    DriverStatus Send(int board, Addr4882 address, const std::uint8_t* data, long count,
                      int eotMode) override
    {
        send(board, address, data, count, eotMode);
        return status();
    }
    DriverStatus Receive(int board, Addr4882 address, std::uint8_t* buffer, long count,
                         int termination) override
    {
        receive(board, address, buffer, count, termination);
        return status();
    }
    DriverStatus SendCmds(int board, const std::uint8_t* commands, long count) override
    {
        sendCmds(board, commands, count);
        return status();
    }
    DriverStatus ibonl(int ud, int v) override
    {
        setOnline(ud, v);
        return status();
    }
    DriverStatus ibsre(int ud, int v) override
    {
        setRemoteEnable(ud, v);
        return status();
    }
    DriverStatus ibtmo(int ud, int v) override
    {
        setTimeout(ud, v);
        return status();
    }

    QString explainFailure(int ibsta, int iberr, long ibcntl) const override;

    QString where() const { return m_where; }
    // What the controller answered to ++ver (empty until one did).
    QString controllerVersion() const { return m_version; }
    // Prologix or AR488, as told by ++ver and "++ver real" (Unknown until a controller answered).
    Family controllerFamily() const { return m_family; }
    // ++read_tmo_ms as the driver last asked for it (or will at the next connection).
    int readTimeoutMs() const { return m_readTimeoutMs; }
    // Bytes handed to the transport since construction (tests wait for the far end to have
    // taken them all).
    qint64 bytesWritten() const { return m_bytesWritten; }

    // The character the controller appends when a reply ends with EOI (++eot_char).
    static constexpr char kEotChar = 0x04;
    // ++read_tmo_ms accepts 1 to 3000 ms (Prologix GPIB-USB manual, "read_tmo_ms"; AR488 takes
    // more, but a Prologix controller would refuse it).
    static constexpr int kMaxReadTimeoutMs = 3000;
    // ibtmo code -> milliseconds for ++read_tmo_ms (capped at kMaxReadTimeoutMs, code 0 "none"
    // included), nullopt for a code outside 0-17.
    static std::optional<int> readTimeoutFor(int ibtmoCode);
    // The bytes on the host link for one line of data: CR, LF, ESC and '+' escaped with ESC,
    // then the line's own (unescaped) line feed.
    static QByteArray escapedLine(const QByteArray& data);

private:
    enum class Problem {
        None,
        // EDVR
        NoController,  // the transport failed or went away (see m_transportFault)
        NoAnswer,      // nothing came back to ++ver
        WrongAnswer,   // something came back to ++ver, but not a controller's version
        Stopped,       // the controller stopped answering (m_problemText says to what)
        SetupRefused,  // the controller refused part of the set-up (m_problemText: its words)
        NoCapability,  // ECAP: what the protocol or the firmware cannot do (m_problemText)
        AddressRefused // EARG: an address the controller cannot reach (m_problemText)
    };
    static bool isLinkProblem(Problem problem);

    // The twelve calls; each leaves its status in m_ibsta, m_iberr and m_ibcntl.
    void sendIfc(int board);
    void devClear(int board, Addr4882 address);
    void send(int board, Addr4882 address, const std::uint8_t* data, long count, int eotMode);
    void receive(int board, Addr4882 address, std::uint8_t* buffer, long count, int termination);
    void sendCmds(int board, const std::uint8_t* commands, long count);
    void setOnline(int ud, int v);
    void setRemoteEnable(int ud, int v);
    void setTimeout(int ud, int v);
    // The status the call just made left.
    DriverStatus status() const { return {m_ibsta, m_iberr, m_ibcntl}; }

    bool beginCall(int board);
    bool ensureController();
    bool handshake();
    bool identifyFamily();
    bool setUp();
    bool resync(const char* why);
    bool quietLink();
    std::optional<QByteArray> readLine(QDeadlineTimer& deadline);
    bool awaitAddress(QList<QByteArray>& before, AddressAnswer& answer, const char* query);
    bool commandsConfirmed(const QList<QByteArray>& commands, QList<QByteArray>& before,
                           AddressAnswer& answer);
    bool sendLine(const QByteArray& line);
    bool command(const QByteArray& text);
    bool selectAddress(Addr4882 address);
    bool setEoi(bool on);
    bool checkTriggers(const std::vector<std::vector<std::pair<int, int>>>& triggers);
    void dropConnection();
    void discardLateBytes();
    void linkLost();
    void stopped(const char* what);

    void succeed(long count, long extra = 0);
    void fail(int iberr, long count = 0, long extra = 0);
    void failNoController();
    void failCapability(QString what);
    void failAddress(QString what);
    long stateBits() const;
    QString addressText(int primary, int secondaryByte) const;

    std::unique_ptr<Transport> m_transport;
    Timing m_timing;
    QString m_where;

    // The controller as configured on the current connection.
    bool m_ready = false;
    QString m_version;
    QByteArray m_versionText; // its ++ver answer as matched after a time-out
    Family m_family = Family::Unknown;
    LineReader m_input; // the controller's output not yet taken
    std::optional<Addr4882> m_addressSent;
    std::optional<bool> m_eoiSent;
    std::optional<int> m_readTimeoutSent;

    int m_readTimeoutMs = kMaxReadTimeoutMs; // NI's default of 10 s, capped
    bool m_capReported = false;

    // Listeners as the program addressed them with command bytes (primary, secondary or -1),
    // for a group execute trigger.
    std::vector<std::pair<int, int>> m_listeners;

    // Rest of a reply longer than the caller's buffer, for the next Receive from that address.
    QByteArray m_pending;
    std::optional<Addr4882> m_pendingFrom;
    bool m_pendingEnded = false;

    qint64 m_bytesWritten = 0;

    long m_ibsta = 0;
    long m_iberr = 0;
    long m_ibcntl = 0;

    Problem m_problem = Problem::None;
    Transport::Fault m_transportFault = Transport::Fault::None;
    QString m_problemText;
};

} // namespace gpibconfig::prologix
