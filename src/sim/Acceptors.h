// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace gpibconfig::sim {

class Unit;

// The units' side of the command bytes (IEEE 488.1 interface messages, sent with ATN): which
// units listen and which one talks. Shared by the bench's own board and by a controller in front
// of the bench (BusDevices), so both address the units alike.
//
// UNL, UNT, LAD, TAD and secondary addresses address; GET, SDC and DCL reach the units; other
// bytes are ignored. A unit without secondary addresses listens to its primary address whatever
// secondary follows; the channels of a multi-channel unit listen only at their own secondary
// address. Units may share a primary address: all of them listen; the first in bench order talks,
// except that a channel named by its secondary address takes the talk from a unit without
// secondaries. Switched-off units are left out.
class Acceptors {
public:
    using Units = std::vector<std::unique_ptr<Unit>>;
    struct Device {
        Unit* unit;
        std::size_t channel;
        bool operator==(const Device&) const = default;
    };

    explicit Acceptors(const Units& units)
        : m_units(units)
    {
    }

    void command(std::uint8_t byte);
    // Interface clear: nobody is addressed.
    void clear();
    // The unit was switched off (and maybe on again): it is no longer addressed.
    void forget(const Unit& unit);

    const std::vector<Device>& listeners() const { return m_listeners; }
    const std::optional<Device>& talker() const { return m_talker; }
    // At least one unit is switched on, so command bytes find an acceptor.
    bool anyDeviceOnBus() const;

private:
    enum class Role { Nothing, Listener, Talker };
    void addListener(Device device);

    const Units& m_units;
    std::vector<Device> m_listeners;
    std::optional<Device> m_talker;
    // The primary address just sent, which a secondary address byte refines.
    Role m_pendingRole = Role::Nothing;
    int m_pendingPrimary = 0;
};

} // namespace gpibconfig::sim
