// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QtGlobal>
#include <optional>

namespace gpibconfig::vxi11 {

// ONC RPC version 2 (RFC 5531) over TCP: the messages and their record marking.

inline constexpr quint32 kRpcVersion = 2;
// The portmapper (RFC 1833, version 2) and its one procedure the client needs.
inline constexpr quint32 kPortmapProgram = 100000;
inline constexpr quint32 kPortmapVersion = 2;
inline constexpr quint32 kPortmapGetPort = 3;
inline constexpr quint16 kPortmapPort = 111;
inline constexpr quint32 kIpProtoTcp = 6;

// Record marking (RFC 5531, section 11): a record goes as fragments, each behind a four-byte
// header holding its length in the low 31 bits and, in the top bit, whether it is the last.
QByteArray markRecord(QByteArrayView record, quint32 maxFragment = 0x7FFFFFFF);

// Reassembles records from what a TCP stream brings, a piece at a time. A record that would grow
// beyond `limit` bytes fails the reader for good (the stream cannot be resynchronised): a broken
// or hostile peer must not make us hold gigabytes.
class RecordReader {
public:
    explicit RecordReader(qsizetype limit)
        : m_limit(limit)
    {
    }

    void append(QByteArrayView bytes);
    // The next whole record, if one is complete.
    std::optional<QByteArray> next();
    bool failed() const { return m_failed; }
    // Bytes held that are not yet a whole record.
    qsizetype pending() const { return m_buffer.size() + m_record.size(); }

private:
    void parse();

    qsizetype m_limit;
    QByteArray m_buffer; // what came and is not yet part of a fragment taken
    QByteArray m_record; // fragments of the record under way
    QList<QByteArray> m_done;
    bool m_failed = false;
};

// A call message with AUTH_NONE credentials and verifier.
QByteArray encodeCall(quint32 xid, quint32 program, quint32 version, quint32 procedure,
                      QByteArrayView arguments);

// What a reply message says (RFC 5531, section 9), every outcome its own value.
struct Reply {
    enum class Status {
        Success,              // MSG_ACCEPTED, SUCCESS: `results` holds the procedure's results
        ProgramUnavailable,   // MSG_ACCEPTED, PROG_UNAVAIL
        ProgramMismatch,      // MSG_ACCEPTED, PROG_MISMATCH: versions `low` to `high` served
        ProcedureUnavailable, // MSG_ACCEPTED, PROC_UNAVAIL
        GarbageArguments,     // MSG_ACCEPTED, GARBAGE_ARGS
        SystemError,          // MSG_ACCEPTED, SYSTEM_ERR
        RpcMismatch,          // MSG_DENIED, RPC_MISMATCH: RPC versions `low` to `high`
        AuthError,            // MSG_DENIED, AUTH_ERROR: why in `authStatus`
        NotAReply,            // a well-formed call message where a reply belongs
        Malformed,            // none of the above: too short, unknown status values, ...
    };
    quint32 xid = 0; // meaningful unless Malformed
    Status status = Status::Malformed;
    quint32 low = 0;
    quint32 high = 0;
    quint32 authStatus = 0;
    QByteArray results;
};

Reply decodeReply(QByteArrayView message);
// Plain words for a technician: "the gateway does not serve program 0x607AF", ...
QString describe(const Reply& reply);

} // namespace gpibconfig::vxi11
