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

GpibStatus GPIB32::SendIFC(std::int16_t board)
{
    m_driver.SendIFC(board);
    return RefreshStatus();
}

GpibStatus GPIB32::DevClear(std::int16_t board, std::int16_t address)
{
    m_driver.DevClear(board, addressWord(address));
    return RefreshStatus();
}

GpibStatus GPIB32::Send(std::int16_t board, std::int16_t address, const QString& text,
                        std::int16_t eotMode)
{
    const long count = static_cast<long>(text.size());
    const QByteArray bytes = toDriverBytes(text);
    m_driver.Send(board, addressWord(address),
                  reinterpret_cast<const std::uint8_t*>(bytes.constData()), count, eotMode);
    // The driver only reads the bytes, so the caller's text stays exactly as it was, also where a
    // character had no 8-bit form.
    return RefreshStatus();
}

GpibStatus GPIB32::Receive(std::int16_t board, std::int16_t address, QString& buffer,
                           std::int16_t termination)
{
    const long count = static_cast<long>(buffer.size());
    QByteArray bytes = toDriverBytes(buffer);
    m_driver.Receive(board, addressWord(address), reinterpret_cast<std::uint8_t*>(bytes.data()),
                     count, termination);
    storeBack(buffer, bytes);
    return RefreshStatus();
}

GpibStatus GPIB32::SendCmds(std::int16_t board, const QString& commands)
{
    const long count = static_cast<long>(commands.size());
    const QByteArray bytes = toDriverBytes(commands);
    m_driver.SendCmds(board, reinterpret_cast<const std::uint8_t*>(bytes.constData()), count);
    return RefreshStatus();
}

std::int16_t GPIB32::ibonl(std::int16_t ud, std::int16_t v)
{
    const int result = m_driver.ibonl(ud, v);
    RefreshStatus();
    return static_cast<std::int16_t>(result);
}

std::int16_t GPIB32::ibsre(std::int16_t ud, std::int16_t v)
{
    const int result = m_driver.ibsre(ud, v);
    RefreshStatus();
    return static_cast<std::int16_t>(result);
}

std::int16_t GPIB32::ibtmo(std::int16_t ud, std::int16_t v)
{
    const int result = m_driver.ibtmo(ud, v);
    RefreshStatus();
    return static_cast<std::int16_t>(result);
}

GpibStatus GPIB32::FindLstn(std::int16_t board, std::span<const std::int16_t> primaries,
                            std::vector<std::int16_t>& found, std::size_t limit)
{
    found.clear();
    if (!m_driver.canFindListeners()) {
        m_status = GpibStatus{};
        m_status.ibsta = static_cast<std::int16_t>(static_cast<std::uint16_t>(sta::ERR));
        m_status.iberr = err::ECAP;
        return m_status;
    }
    std::vector<Addr4882> list;
    list.reserve(primaries.size() + 1);
    for (const std::int16_t primary : primaries)
        list.push_back(addressWord(primary));
    list.push_back(kNoAddress);
    std::vector<Addr4882> results(limit, kNoAddress);
    m_driver.FindLstn(board, list.data(), results.data(), static_cast<long>(limit));
    RefreshStatus();
    // The count comes from the driver; only the part of the list it filled is read.
    const std::size_t count =
        m_status.ibcntl > 0 ? std::min(static_cast<std::size_t>(m_status.ibcntl), limit) : 0;
    for (std::size_t i = 0; i < count; ++i)
        found.push_back(static_cast<std::int16_t>(results[i]));
    return m_status;
}

GpibStatus GPIB32::RefreshStatus()
{
    // The driver's values are cut to their low 16 bits on purpose: that is the status word's size.
    m_status.ibsta = static_cast<std::int16_t>(static_cast<std::uint16_t>(m_driver.ThreadIbsta()));
    m_status.iberr = static_cast<std::int16_t>(static_cast<std::uint16_t>(m_driver.ThreadIberr()));
    m_status.ibcnt = static_cast<std::int16_t>(static_cast<std::uint16_t>(m_driver.ThreadIbcnt()));
    m_status.ibcntl = static_cast<std::int32_t>(m_driver.ThreadIbcntl());
    return m_status;
}

} // namespace gpibconfig
