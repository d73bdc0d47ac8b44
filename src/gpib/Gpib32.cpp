// SPDX-License-Identifier: GPL-3.0-or-later
#include "Gpib32.h"

#include <algorithm>

namespace gpibconfig {

namespace {

// Address words travel as the same 16 bits, whatever their sign in the program.
Addr4882 addressWord(std::int16_t address) { return static_cast<Addr4882>(address); }

void storeBack(QString& text, const QByteArray& bytes)
{
    // The copy has exactly as many bytes as the text has code units, so this never changes the
    // text's length; bytes the driver did not touch come back as they went.
    for (qsizetype i = 0; i < text.size() && i < bytes.size(); ++i)
        text[i] = QChar(static_cast<unsigned char>(bytes[i]));
}

} // namespace

QByteArray GPIB32::toDriverBytes(const QString& text)
{
    QByteArray bytes(text.size(), '\0');
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        bytes[i] = u <= 0xFF ? static_cast<char>(u) : '?';
    }
    return bytes;
}

GpibStatus GpibStatus::of(const DriverStatus& status)
{
    // The driver's values are cut to their low 16 bits on purpose: that is the status word's size.
    GpibStatus s;
    s.ibsta = static_cast<std::int16_t>(static_cast<std::uint16_t>(status.ibsta));
    s.iberr = static_cast<std::int16_t>(static_cast<std::uint16_t>(status.iberr));
    s.ibcntl = static_cast<std::int32_t>(status.ibcntl);
    return s;
}

GpibStatus GPIB32::SendIFC(std::int16_t board) { return GpibStatus::of(m_driver.SendIFC(board)); }

GpibStatus GPIB32::DevClear(std::int16_t board, std::int16_t address)
{
    return GpibStatus::of(m_driver.DevClear(board, addressWord(address)));
}

GpibStatus GPIB32::Send(std::int16_t board, std::int16_t address, const QString& text,
                        std::int16_t eotMode)
{
    const long count = static_cast<long>(text.size());
    const QByteArray bytes = toDriverBytes(text);
    // The driver only reads the bytes, so the caller's text stays exactly as it was, also where a
    // character had no 8-bit form.
    return GpibStatus::of(m_driver.Send(board, addressWord(address),
                                        reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                        count, eotMode));
}

GpibStatus GPIB32::Receive(std::int16_t board, std::int16_t address, QString& buffer,
                           std::int16_t termination)
{
    const long count = static_cast<long>(buffer.size());
    QByteArray bytes = toDriverBytes(buffer);
    const DriverStatus status =
        m_driver.Receive(board, addressWord(address), reinterpret_cast<std::uint8_t*>(bytes.data()),
                         count, termination);
    storeBack(buffer, bytes);
    return GpibStatus::of(status);
}

GpibStatus GPIB32::SendCmds(std::int16_t board, const QString& commands)
{
    const long count = static_cast<long>(commands.size());
    const QByteArray bytes = toDriverBytes(commands);
    return GpibStatus::of(
        m_driver.SendCmds(board, reinterpret_cast<const std::uint8_t*>(bytes.constData()), count));
}

GpibStatus GPIB32::ibonl(std::int16_t ud, std::int16_t v)
{
    return GpibStatus::of(m_driver.ibonl(ud, v));
}

GpibStatus GPIB32::ibsre(std::int16_t ud, std::int16_t v)
{
    return GpibStatus::of(m_driver.ibsre(ud, v));
}

GpibStatus GPIB32::ibtmo(std::int16_t ud, std::int16_t v)
{
    return GpibStatus::of(m_driver.ibtmo(ud, v));
}

GpibStatus GPIB32::FindLstn(std::int16_t board, std::span<const std::int16_t> primaries,
                            std::vector<std::int16_t>& found, std::size_t limit)
{
    found.clear();
    if (!m_driver.canFindListeners())
        return GpibStatus::of({sta::ERR, err::ECAP, 0});
    std::vector<Addr4882> list;
    list.reserve(primaries.size() + 1);
    for (const std::int16_t primary : primaries)
        list.push_back(addressWord(primary));
    list.push_back(kNoAddress);
    std::vector<Addr4882> results(limit, kNoAddress);
    const GpibStatus status = GpibStatus::of(
        m_driver.FindLstn(board, list.data(), results.data(), static_cast<long>(limit)));
    // The count comes from the driver; only the part of the list it filled is read.
    const std::size_t count =
        status.ibcntl > 0 ? std::min(static_cast<std::size_t>(status.ibcntl), limit) : 0;
    for (std::size_t i = 0; i < count; ++i)
        found.push_back(static_cast<std::int16_t>(results[i]));
    return status;
}

} // namespace gpibconfig
