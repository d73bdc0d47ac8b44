// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QString>
#include <functional>
#include <map>

class QTcpServer;
class QTcpSocket;

namespace gpibconfig::sim::vxi11 {

// The server side of ONC RPC over TCP (RFC 5531, XDR of RFC 4506) for the simulated gateway.
// Written apart from the program's own client (src/vxi11) on purpose: the two meet only on the
// wire, so a misreading of the documents in one is not mirrored by the other.

// Reads big-endian 32-bit words and counted byte strings from a call's arguments; the first
// thing missing or out of bounds makes every later read fail.
class ArgReader {
public:
    explicit ArgReader(QByteArray bytes)
        : m_bytes(std::move(bytes))
    {
    }
    quint32 word();
    qint32 integer() { return static_cast<qint32>(word()); }
    bool flag();
    QByteArray counted(quint32 maxLength);
    bool good() const { return m_good; }
    bool finished() const { return m_good && m_pos == m_bytes.size(); }
    qsizetype position() const { return m_pos; }

private:
    QByteArray m_bytes;
    qsizetype m_pos = 0;
    bool m_good = true;
};

// Builds results in XDR form.
class ResultWriter {
public:
    ResultWriter& word(quint32 value);
    ResultWriter& integer(qint32 value) { return word(static_cast<quint32>(value)); }
    ResultWriter& counted(const QByteArray& bytes);
    QByteArray take() { return std::move(m_out); }

private:
    QByteArray m_out;
};

// A call as it arrived, with what is needed to answer it later.
class RpcServer;
struct IncomingCall {
    RpcServer* origin = nullptr; // the server it came through, which answers it
    quint64 connection = 0;
    quint32 xid = 0;
    quint32 program = 0;
    quint32 version = 0;
    quint32 procedure = 0;
    QByteArray arguments;
};

// Takes TCP connections on one port, cuts the stream into records, reads each call's header and
// hands the call on; the handler answers it then or later (reply*). RPC versions other than 2
// are refused here (MSG_DENIED, RPC_MISMATCH); a stream that is not record-marked ONC RPC, or a
// record larger than the limit, ends its connection.
class RpcServer final : public QObject {
    Q_OBJECT

public:
    using Handler = std::function<void(const IncomingCall&)>;
    RpcServer(Handler handler, QObject* parent = nullptr);
    ~RpcServer() override;

    // Listens on `address`:`port` (0: a free port). Returns the port, 0 on failure (errorString).
    quint16 listen(const QHostAddress& address, quint16 port);
    void stopListening();
    bool isListening() const;
    quint16 port() const;
    QString errorString() const { return m_error; }

    enum class Accept : quint32 {
        ProgramUnavailable = 1,
        ProgramMismatch = 2,
        ProcedureUnavailable = 3,
        GarbageArguments = 4,
        SystemError = 5
    };
    void replySuccess(const IncomingCall& call, const QByteArray& results);
    void replyFailure(const IncomingCall& call, Accept status, quint32 low = 0, quint32 high = 0);

    bool isOpen(quint64 connection) const { return m_connections.count(connection) > 0; }
    void drop(quint64 connection);
    void dropAll();
    // Called when a connection ends, whoever ended it.
    void setDisconnectHandler(std::function<void(quint64)> handler)
    {
        m_onDisconnect = std::move(handler);
    }

    static constexpr qsizetype kRecordLimit = 1024 * 1024;

private:
    struct Connection {
        QTcpSocket* socket = nullptr;
        QByteArray stream; // not yet cut into fragments
        QByteArray record; // the fragments of the record under way
    };
    void onNewConnection();
    void onReadable(quint64 id);
    void onRecord(quint64 id, const QByteArray& record);
    void send(quint64 connection, const QByteArray& message);

    Handler m_handler;
    std::function<void(quint64)> m_onDisconnect;
    QTcpServer* m_server = nullptr;
    QString m_error;
    std::map<quint64, Connection> m_connections;
    quint64 m_nextId = 1;
};

} // namespace gpibconfig::sim::vxi11
