// SPDX-License-Identifier: GPL-3.0-or-later
// The 1 KiB EEPROM of an ATmega328P. Every cell written is counted: the tests hold the driver to
// writing the controller's EEPROM zero times, since each cell takes only so many writes.
#pragma once

#include "Arduino.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

class EEPROMClass {
public:
    EEPROMClass() { m_cells.fill(0xFF); }
    std::uint8_t read(int address) const { return m_cells.at(index(address)); }
    void write(int address, std::uint8_t value)
    {
        m_cells.at(index(address)) = value;
        ++m_writes;
    }
    // As the AVR core's: a cell that already holds the value is not written.
    void update(int address, std::uint8_t value)
    {
        if (read(address) != value)
            write(address, value);
    }
    template <typename T> T& get(int address, T& value) const
    {
        std::uint8_t bytes[sizeof(T)];
        for (std::size_t i = 0; i < sizeof(T); ++i)
            bytes[i] = read(address + static_cast<int>(i));
        std::memcpy(&value, bytes, sizeof(T));
        return value;
    }
    template <typename T> const T& put(int address, const T& value)
    {
        std::uint8_t bytes[sizeof(T)];
        std::memcpy(bytes, &value, sizeof(T));
        for (std::size_t i = 0; i < sizeof(T); ++i)
            update(address + static_cast<int>(i), bytes[i]);
        return value;
    }
    std::uint16_t length() const { return static_cast<std::uint16_t>(m_cells.size()); }

    long writes() const { return m_writes; }

private:
    static std::size_t index(int address) { return static_cast<std::size_t>(address); }
    std::array<std::uint8_t, E2END + 1> m_cells{};
    long m_writes = 0;
};

extern EEPROMClass EEPROM;
