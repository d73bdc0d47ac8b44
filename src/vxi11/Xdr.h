// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

namespace gpibconfig::vxi11 {

// XDR (RFC 4506) as the VXI-11 client needs it: 32-bit integers in network order, booleans as 0
// or 1, and variable-length opaque data (a length, the bytes, zero padding to a multiple of four).
class XdrWriter {
public:
    XdrWriter& u32(quint32 value);
    XdrWriter& i32(qint32 value) { return u32(static_cast<quint32>(value)); }
    XdrWriter& boolean(bool value) { return u32(value ? 1 : 0); }
    // opaque<> and string<>: the length, the bytes, then zeros up to a multiple of four.
    XdrWriter& opaque(QByteArrayView bytes);
    // A value already in XDR form (nested arguments).
    XdrWriter& raw(QByteArrayView bytes);

    const QByteArray& bytes() const { return m_bytes; }

private:
    QByteArray m_bytes;
};

// Reads XDR values in order. The first value that is not there (too few bytes, a boolean other
// than 0 or 1, an opaque longer than its limit or than what is left) makes the reader fail: it
// stays failed and every later read gives 0 or empty, so a decoder reads a whole structure and
// checks ok() once.
class XdrReader {
public:
    explicit XdrReader(QByteArrayView bytes)
        : m_bytes(bytes)
    {
    }
    // The reader keeps a view: a temporary would be gone before the first read.
    explicit XdrReader(QByteArray&&) = delete;

    quint32 u32();
    qint32 i32() { return static_cast<qint32>(u32()); }
    bool boolean();
    // At most `limit` bytes; the padding is skipped (its bytes are not checked: RFC 4506 asks
    // the sender for zeros, and a reader gains nothing by refusing others).
    QByteArray opaque(quint32 limit);
    // What is left, unread (the results of a call, read by their own decoder).
    QByteArrayView rest();

    bool ok() const { return !m_failed; }
    bool atEnd() const { return m_at == m_bytes.size(); }
    // ok() and every byte read.
    bool complete() const { return ok() && atEnd(); }

private:
    bool take(qsizetype count);

    QByteArrayView m_bytes;
    qsizetype m_at = 0;
    bool m_failed = false;
};

} // namespace gpibconfig::vxi11
