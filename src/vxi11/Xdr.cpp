// SPDX-License-Identifier: GPL-3.0-or-later
#include "Xdr.h"

namespace gpibconfig::vxi11 {

XdrWriter& XdrWriter::u32(quint32 value)
{
    const char bytes[4] = {static_cast<char>(value >> 24), static_cast<char>(value >> 16),
                           static_cast<char>(value >> 8), static_cast<char>(value)};
    m_bytes.append(bytes, 4);
    return *this;
}

XdrWriter& XdrWriter::opaque(QByteArrayView bytes)
{
    // A QByteArray never holds 4 GiB, so the length fits the 32-bit field.
    u32(static_cast<quint32>(bytes.size()));
    m_bytes.append(bytes);
    m_bytes.append((4 - bytes.size() % 4) % 4, '\0');
    return *this;
}

XdrWriter& XdrWriter::raw(QByteArrayView bytes)
{
    m_bytes.append(bytes);
    return *this;
}

bool XdrReader::take(qsizetype count)
{
    if (m_failed || count < 0 || m_bytes.size() - m_at < count) {
        m_failed = true;
        return false;
    }
    m_at += count;
    return true;
}

quint32 XdrReader::u32()
{
    if (!take(4))
        return 0;
    const auto* p = reinterpret_cast<const unsigned char*>(m_bytes.data() + m_at - 4);
    return (quint32{p[0]} << 24) | (quint32{p[1]} << 16) | (quint32{p[2]} << 8) | quint32{p[3]};
}

bool XdrReader::boolean()
{
    const quint32 value = u32();
    if (value > 1)
        m_failed = true;
    return ok() && value == 1;
}

QByteArray XdrReader::opaque(quint32 limit)
{
    const quint32 length = u32();
    if (!ok())
        return {};
    if (length > limit ||
        static_cast<quint64>(length) > static_cast<quint64>(m_bytes.size() - m_at)) {
        m_failed = true;
        return {};
    }
    const auto size = static_cast<qsizetype>(length);
    const qsizetype start = m_at;
    if (!take(size) || !take((4 - size % 4) % 4))
        return {};
    return m_bytes.sliced(start, size).toByteArray();
}

QByteArrayView XdrReader::rest()
{
    if (m_failed)
        return {};
    const QByteArrayView left = m_bytes.sliced(m_at);
    m_at = m_bytes.size();
    return left;
}

} // namespace gpibconfig::vxi11
