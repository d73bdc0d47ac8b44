// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Driver.h"
#include "GpibStatus.h"

#include <QString>
#include <cstdint>
#include <span>
#include <vector>

namespace gpibconfig {

// The only way into the driver. Each operation passes its arguments on as the driver wants them
// and returns the status the driver's call returned, so a caller tests the status of the call it
// just made and nothing else holds it. It decides and reports nothing.
//
// Texts go to the driver as one byte per UTF-16 code unit: U+0000..U+00FF become that byte (ISO
// 8859-1), anything else becomes '?'. The byte count therefore always equals the text's length, and
// a Receive never changes the length of the caller's buffer.
class GPIB32 {
public:
    explicit GPIB32(Driver& driver)
        : m_driver(driver)
    {
    }

    // Each call returns the status it left, so a caller that does not look at it says so.
    [[nodiscard]] GpibStatus SendIFC(std::int16_t board);
    [[nodiscard]] GpibStatus DevClear(std::int16_t board, std::int16_t address);
    [[nodiscard]] GpibStatus Send(std::int16_t board, std::int16_t address, const QString& text,
                                  std::int16_t eotMode);
    [[nodiscard]] GpibStatus Receive(std::int16_t board, std::int16_t address, QString& buffer,
                                     std::int16_t termination);
    [[nodiscard]] GpibStatus SendCmds(std::int16_t board, const QString& commands);
    [[nodiscard]] GpibStatus ibonl(std::int16_t ud, std::int16_t v);
    [[nodiscard]] GpibStatus ibsre(std::int16_t ud, std::int16_t v);
    [[nodiscard]] GpibStatus ibtmo(std::int16_t ud, std::int16_t v);
    // The driver's own search for listeners, when it has one: the primary addresses to try, and
    // at most `limit` address words found (their number is the status's ibcntl). A driver
    // without it is not called; the status then says ERR with ECAP (no capability).
    bool canFindListeners() const { return m_driver.canFindListeners(); }
    [[nodiscard]] GpibStatus FindLstn(std::int16_t board, std::span<const std::int16_t> primaries,
                                      std::vector<std::int16_t>& found, std::size_t limit);

    Driver& driver() const { return m_driver; }

    static QByteArray toDriverBytes(const QString& text);

private:
    Driver& m_driver;
};

} // namespace gpibconfig
