// SPDX-License-Identifier: GPL-3.0-or-later
#include "RpcServer.h"

#include <QTcpServer>
#include <QTcpSocket>

namespace gpibconfig::sim::vxi11 {

namespace {

constexpr quint32 kMessageCall = 0, kMessageReply = 1;
constexpr quint32 kAccepted = 0, kDenied = 1, kRpcMismatch = 0;
constexpr quint32 kFinalFragment = 0x80000000u;
constexpr quint32 kMaxCredentials = 400;

quint32 bigEndian(const char* p)
{
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    return static_cast<quint32>(b[0]) << 24 | static_cast<quint32>(b[1]) << 16 |
           static_cast<quint32>(b[2]) << 8 | static_cast<quint32>(b[3]);
}

} // namespace

quint32 ArgReader::word()
{
    if (!m_good || m_bytes.size() - m_pos < 4) {
        m_good = false;
        return 0;
    }
    const quint32 value = bigEndian(m_bytes.constData() + m_pos);
    m_pos += 4;
    return value;
}

bool ArgReader::flag()
{
    const quint32 value = word();
    if (value > 1)
        m_good = false;
    return value == 1;
}

QByteArray ArgReader::counted(quint32 maxLength)
{
    const quint32 length = word();
    const quint64 padded = (static_cast<quint64>(length) + 3) / 4 * 4;
    if (!m_good || length > maxLength || padded > static_cast<quint64>(m_bytes.size() - m_pos)) {
        m_good = false;
        return {};
    }
    QByteArray bytes = m_bytes.mid(m_pos, static_cast<qsizetype>(length));
    m_pos += static_cast<qsizetype>(padded);
    return bytes;
}

ResultWriter& ResultWriter::word(quint32 value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        m_out.append(static_cast<char>((value >> shift) & 0xFF));
    return *this;
}

ResultWriter& ResultWriter::counted(const QByteArray& bytes)
{
    word(static_cast<quint32>(bytes.size()));
    m_out.append(bytes);
    while (m_out.size() % 4)
        m_out.append('\0');
    return *this;
}

RpcServer::RpcServer(Handler handler, QObject* parent)
    : QObject(parent)
    , m_handler(std::move(handler))
{
}

RpcServer::~RpcServer()
{
    m_onDisconnect = nullptr;
    dropAll();
}

quint16 RpcServer::listen(const QHostAddress& address, quint16 port)
{
    stopListening();
    m_server = new QTcpServer(this);
    if (!m_server->listen(address, port)) {
        m_error = m_server->errorString();
        delete std::exchange(m_server, nullptr);
        return 0;
    }
    m_error.clear();
    connect(m_server, &QTcpServer::newConnection, this, &RpcServer::onNewConnection);
    return m_server->serverPort();
}

void RpcServer::stopListening()
{
    if (m_server) {
        m_server->close();
        delete std::exchange(m_server, nullptr);
    }
}

bool RpcServer::isListening() const { return m_server && m_server->isListening(); }

quint16 RpcServer::port() const { return m_server ? m_server->serverPort() : 0; }

void RpcServer::onNewConnection()
{
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        const quint64 id = m_nextId++;
        socket->setParent(this);
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        m_connections[id].socket = socket;
        connect(socket, &QTcpSocket::readyRead, this, [this, id] { onReadable(id); });
        connect(socket, &QTcpSocket::disconnected, this, [this, id] { drop(id); });
        if (socket->bytesAvailable() > 0)
            onReadable(id);
    }
}

void RpcServer::drop(quint64 connection)
{
    const auto it = m_connections.find(connection);
    if (it == m_connections.end())
        return;
    QTcpSocket* socket = it->second.socket;
    m_connections.erase(it);
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
    if (m_onDisconnect)
        m_onDisconnect(connection);
}

void RpcServer::dropAll()
{
    while (!m_connections.empty())
        drop(m_connections.begin()->first);
}

void RpcServer::onReadable(quint64 id)
{
    auto it = m_connections.find(id);
    if (it == m_connections.end())
        return;
    it->second.stream += it->second.socket->readAll();
    // One record at a time: the handler may drop this connection, or run the bench's waits, which
    // let the event loop deliver more bytes meanwhile.
    while (true) {
        it = m_connections.find(id);
        if (it == m_connections.end())
            return;
        Connection& c = it->second;
        if (c.stream.size() < 4)
            return;
        const quint32 mark = bigEndian(c.stream.constData());
        const quint32 length = mark & ~kFinalFragment;
        if (static_cast<quint64>(c.record.size()) + length > static_cast<quint64>(kRecordLimit)) {
            drop(id);
            return;
        }
        if (static_cast<quint64>(c.stream.size() - 4) < length)
            return;
        c.record += c.stream.mid(4, static_cast<qsizetype>(length));
        c.stream.remove(0, 4 + static_cast<qsizetype>(length));
        if (mark & kFinalFragment)
            onRecord(id, std::exchange(c.record, {}));
    }
}

void RpcServer::onRecord(quint64 id, const QByteArray& record)
{
    ArgReader in(record);
    IncomingCall call;
    call.origin = this;
    call.connection = id;
    call.xid = in.word();
    const quint32 type = in.word();
    const quint32 rpcVersion = in.word();
    call.program = in.word();
    call.version = in.word();
    call.procedure = in.word();
    for (int i = 0; i < 2; ++i) { // credentials, verifier: any flavour is taken
        in.word();
        in.counted(kMaxCredentials);
    }
    if (!in.good() || type != kMessageCall) {
        drop(id); // not a call: the stream is not ours to understand
        return;
    }
    if (rpcVersion != 2) {
        send(id, ResultWriter()
                     .word(call.xid)
                     .word(kMessageReply)
                     .word(kDenied)
                     .word(kRpcMismatch)
                     .word(2)
                     .word(2)
                     .take());
        return;
    }
    // The arguments are what follows the header.
    call.arguments = record.mid(in.position());
    m_handler(call);
}

void RpcServer::send(quint64 connection, const QByteArray& message)
{
    const auto it = m_connections.find(connection);
    if (it == m_connections.end())
        return; // the client went away meanwhile
    QByteArray marked =
        ResultWriter().word(kFinalFragment | static_cast<quint32>(message.size())).take();
    marked += message;
    it->second.socket->write(marked);
}

void RpcServer::replySuccess(const IncomingCall& call, const QByteArray& results)
{
    QByteArray message = ResultWriter()
                             .word(call.xid)
                             .word(kMessageReply)
                             .word(kAccepted)
                             .word(0) // verifier AUTH_NONE
                             .word(0)
                             .word(0) // SUCCESS
                             .take();
    send(call.connection, message + results);
}

void RpcServer::replyFailure(const IncomingCall& call, Accept status, quint32 low, quint32 high)
{
    ResultWriter out;
    out.word(call.xid).word(kMessageReply).word(kAccepted).word(0).word(0);
    out.word(static_cast<quint32>(status));
    if (status == Accept::ProgramMismatch)
        out.word(low).word(high);
    send(call.connection, out.take());
}

} // namespace gpibconfig::sim::vxi11
