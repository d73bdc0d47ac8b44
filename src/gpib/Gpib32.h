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
// and then copies the driver's per-thread status into `status`, so callers test the status of the
// call they just made. It decides and reports nothing.
//
// Texts go to the driver as one byte per UTF-16 code unit: U+0000..U+00FF become that byte (ISO
// 8859-1), anything else becomes '?'. The byte count therefore always equals the text's length, and
// a Receive never changes the length of the caller's buffer.
class GPIB32 {
public:
    explicit GPIB32(Driver& driver, GpibStatus& status)
        : m_driver(driver)
        , m_status(status)
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
    // These return ibsta, as the driver's own functions do.
    [[nodiscard]] std::int16_t ibonl(std::int16_t ud, std::int16_t v);
    [[nodiscard]] std::int16_t ibsre(std::int16_t ud, std::int16_t v);
    [[nodiscard]] std::int16_t ibtmo(std::int16_t ud, std::int16_t v);
    // The driver's own search for listeners, when it has one: the primary addresses to try, and
    // at most `limit` address words found (their number is the status's ibcntl). A driver
    // without it is not called; the status then says ERR with ECAP (no capability).
    bool canFindListeners() const { return m_driver.canFindListeners(); }
    [[nodiscard]] GpibStatus FindLstn(std::int16_t board, std::span<const std::int16_t> primaries,
                                      std::vector<std::int16_t>& found, std::size_t limit);
    GpibStatus RefreshStatus();

    const GpibStatus& status() const { return m_status; }
    Driver& driver() const { return m_driver; }

    static QByteArray toDriverBytes(const QString& text);

private:
    Driver& m_driver;
    GpibStatus& m_status;
};

} // namespace gpibconfig
