// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Acceptors.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace gpibconfig::sim {

class BenchClock;

// The bench's units as the devices of a GPIB bus whose controller is not the bench's board (a
// controller's firmware on a virtual bus, say): they take command bytes, take data bytes as
// listeners and hand their replies out a byte at a time as the talker. The bus's handshake is
// the caller's; this is what the units do with each byte. Get it from Bench::devices().
class BusDevices {
public:
    // A message a unit took, as it arrived (the line feed that ended it left off).
    struct Message {
        std::string model;
        std::size_t channel = 0;
        std::string text;
        bool operator==(const Message&) const = default;
    };

    BusDevices(const Acceptors::Units& units, const BenchClock& clock)
        : m_acceptors(units)
        , m_clock(clock)
    {
    }

    // IFC: every unit drops its addressing.
    void interfaceClear() { m_acceptors.clear(); }
    // A byte sent with ATN asserted.
    void command(std::uint8_t byte) { m_acceptors.command(byte); }
    // A data byte (ATN released) to every unit addressed to listen; `end`: EOI came with it.
    void data(std::uint8_t byte, bool end);
    // ATN was released: a unit addressed to talk with nothing to say notes the query error.
    void attentionReleased();
    // The talker's next reply byte and whether EOI comes with it; nullopt when no unit talks or
    // the talker has nothing ready.
    std::optional<std::pair<std::uint8_t, bool>> nextByte();

    bool anyDeviceOnBus() const { return m_acceptors.anyDeviceOnBus(); }
    bool anyListener() const { return !m_acceptors.listeners().empty(); }
    bool anyTalker() const { return m_acceptors.talker().has_value(); }

    const std::vector<Message>& messages() const { return m_messages; }
    // A unit left the bus (switched off or power cycled).
    void forget(const Unit& unit) { m_acceptors.forget(unit); }

private:
    Acceptors m_acceptors;
    const BenchClock& m_clock;
    // Bytes of a message still arriving, by listener.
    std::map<std::pair<const Unit*, std::size_t>, std::string> m_partial;
    std::vector<Message> m_messages;
};

} // namespace gpibconfig::sim
