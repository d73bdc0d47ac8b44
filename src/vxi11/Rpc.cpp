// SPDX-License-Identifier: GPL-3.0-or-later
#include "Rpc.h"

#include "Xdr.h"

#include <algorithm>

namespace gpibconfig::vxi11 {

namespace {

constexpr quint32 kCall = 0, kReply = 1;
constexpr quint32 kAccepted = 0, kDenied = 1;
constexpr quint32 kAuthNone = 0;
constexpr quint32 kLastFragment = 0x80000000u;
// RFC 5531: an opaque_auth body holds at most 400 bytes.
constexpr quint32 kMaxAuthBody = 400;

quint32 headerAt(const QByteArray& bytes)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    return (quint32{p[0]} << 24) | (quint32{p[1]} << 16) | (quint32{p[2]} << 8) | quint32{p[3]};
}

} // namespace

QByteArray markRecord(QByteArrayView record, quint32 maxFragment)
{
    const qsizetype step = std::clamp<qsizetype>(maxFragment, 1, 0x7FFFFFFF);
    QByteArray out;
    qsizetype at = 0;
    do {
        const qsizetype length = std::min(step, record.size() - at);
        const bool last = at + length == record.size();
        XdrWriter header;
        header.u32(static_cast<quint32>(length) | (last ? kLastFragment : 0));
        out += header.bytes();
        out += record.sliced(at, length);
        at += length;
    } while (at < record.size());
    return out;
}

void RecordReader::append(QByteArrayView bytes)
{
    if (m_failed)
        return;
    m_buffer.append(bytes);
    parse();
}

void RecordReader::parse()
{
    while (!m_failed && m_buffer.size() >= 4) {
        const quint32 header = headerAt(m_buffer);
        const quint32 length = header & ~kLastFragment;
        if (static_cast<quint64>(m_record.size()) + length > static_cast<quint64>(m_limit)) {
            m_failed = true;
            m_buffer.clear();
            m_record.clear();
            return;
        }
        const auto size = static_cast<qsizetype>(length);
        if (m_buffer.size() - 4 < size)
            return;
        m_record.append(m_buffer.constData() + 4, size);
        m_buffer.remove(0, 4 + size);
        if (header & kLastFragment)
            m_done.append(std::exchange(m_record, {}));
    }
}

std::optional<QByteArray> RecordReader::next()
{
    if (m_done.isEmpty())
        return std::nullopt;
    return m_done.takeFirst();
}

QByteArray encodeCall(quint32 xid, quint32 program, quint32 version, quint32 procedure,
                      QByteArrayView arguments)
{
    XdrWriter call;
    call.u32(xid).u32(kCall).u32(kRpcVersion).u32(program).u32(version).u32(procedure);
    call.u32(kAuthNone).opaque({}); // credentials
    call.u32(kAuthNone).opaque({}); // verifier
    call.raw(arguments);
    return call.bytes();
}

Reply decodeReply(QByteArrayView message)
{
    Reply reply;
    XdrReader in(message);
    reply.xid = in.u32();
    const quint32 type = in.u32();
    if (!in.ok())
        return {};
    if (type == kCall) {
        // xid, CALL, rpcvers, prog, vers, proc, cred, verf: a call, not a reply.
        for (int i = 0; i < 4; ++i)
            in.u32();
        for (int i = 0; i < 2; ++i) {
            in.u32();
            in.opaque(kMaxAuthBody);
        }
        reply.status = in.ok() ? Reply::Status::NotAReply : Reply::Status::Malformed;
        return reply;
    }
    if (type != kReply)
        return reply;
    const quint32 replyStatus = in.u32();
    if (replyStatus == kAccepted) {
        in.u32(); // verifier flavour: AUTH_NONE asked for, nothing to check
        in.opaque(kMaxAuthBody);
        const quint32 accept = in.u32();
        if (!in.ok())
            return reply;
        switch (accept) {
        case 0:
            reply.status = Reply::Status::Success;
            reply.results = in.rest().toByteArray();
            return reply;
        case 1:
            reply.status = Reply::Status::ProgramUnavailable;
            return reply;
        case 2:
            reply.low = in.u32();
            reply.high = in.u32();
            reply.status = in.ok() ? Reply::Status::ProgramMismatch : Reply::Status::Malformed;
            return reply;
        case 3:
            reply.status = Reply::Status::ProcedureUnavailable;
            return reply;
        case 4:
            reply.status = Reply::Status::GarbageArguments;
            return reply;
        case 5:
            reply.status = Reply::Status::SystemError;
            return reply;
        default:
            return reply;
        }
    }
    if (replyStatus == kDenied) {
        const quint32 reject = in.u32();
        if (reject == 0) {
            reply.low = in.u32();
            reply.high = in.u32();
            reply.status = in.ok() ? Reply::Status::RpcMismatch : Reply::Status::Malformed;
        } else if (reject == 1) {
            reply.authStatus = in.u32();
            reply.status = in.ok() ? Reply::Status::AuthError : Reply::Status::Malformed;
        }
        return reply;
    }
    return reply;
}

QString describe(const Reply& reply)
{
    using S = Reply::Status;
    switch (reply.status) {
    case S::Success:
        return QStringLiteral("the call succeeded");
    case S::ProgramUnavailable:
        return QStringLiteral("the peer does not serve the program called");
    case S::ProgramMismatch:
        return QStringLiteral("the peer serves versions %1 to %2 of the program, not the one "
                              "called")
            .arg(reply.low)
            .arg(reply.high);
    case S::ProcedureUnavailable:
        return QStringLiteral("the peer does not know the procedure called");
    case S::GarbageArguments:
        return QStringLiteral("the peer could not read the arguments of the call");
    case S::SystemError:
        return QStringLiteral("the peer failed with a system error (out of memory or similar)");
    case S::RpcMismatch:
        return QStringLiteral("the peer speaks ONC RPC versions %1 to %2, not 2")
            .arg(reply.low)
            .arg(reply.high);
    case S::AuthError:
        return QStringLiteral("the peer refused the call's credentials (authentication status "
                              "%1)")
            .arg(reply.authStatus);
    case S::NotAReply:
        return QStringLiteral("the peer sent a call where a reply belongs");
    case S::Malformed:
        break;
    }
    return QStringLiteral("the peer's reply is not an ONC RPC reply");
}

} // namespace gpibconfig::vxi11
