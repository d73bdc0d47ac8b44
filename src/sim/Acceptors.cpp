// SPDX-License-Identifier: GPL-3.0-or-later
#include "Acceptors.h"

#include "Unit.h"

#include <algorithm>

namespace gpibconfig::sim {

namespace {
constexpr std::uint8_t kUNL = 0x3F, kUNT = 0x5F, kGET = 0x08, kSDC = 0x04, kDCL = 0x14;
constexpr std::uint8_t kLAD = 0x20, kTAD = 0x40, kSCG = 0x60;
} // namespace

bool Acceptors::anyDeviceOnBus() const
{
    return std::ranges::any_of(m_units, [](const auto& unit) { return unit->poweredOn(); });
}

void Acceptors::clear()
{
    m_listeners.clear();
    m_talker.reset();
    m_pendingRole = Role::Nothing;
}

void Acceptors::forget(const Unit& unit)
{
    std::erase_if(m_listeners, [&unit](const Device& d) { return d.unit == &unit; });
    if (m_talker && m_talker->unit == &unit)
        m_talker.reset();
}

void Acceptors::addListener(Device device)
{
    if (std::ranges::find(m_listeners, device) == m_listeners.end())
        m_listeners.push_back(device);
}

void Acceptors::command(std::uint8_t byte)
{
    byte &= 0x7F; // the parity bit is not part of the message
    const Role pendingRole = m_pendingRole;
    m_pendingRole = Role::Nothing;

    if (byte == kUNL) {
        m_listeners.clear();
    } else if (byte == kUNT) {
        m_talker.reset();
    } else if (byte >= kLAD && byte < kUNL) {
        const int primary = byte - kLAD;
        for (const auto& unit : m_units) {
            if (unit->poweredOn() && unit->primary() == primary && !unit->usesSecondaries())
                addListener({unit.get(), 0});
        }
        m_pendingRole = Role::Listener;
        m_pendingPrimary = primary;
    } else if (byte >= kTAD && byte < kUNT) {
        const int primary = byte - kTAD;
        // Another talk address silences the talker there was.
        m_talker.reset();
        for (const auto& unit : m_units) {
            if (unit->poweredOn() && unit->primary() == primary && !unit->usesSecondaries() &&
                !m_talker)
                m_talker = Device{unit.get(), 0};
        }
        m_pendingRole = Role::Talker;
        m_pendingPrimary = primary;
    } else if (byte >= kSCG && byte < 0x7F) {
        const int secondary = byte - kSCG;
        for (const auto& unit : m_units) {
            if (!unit->poweredOn() || unit->primary() != m_pendingPrimary)
                continue;
            const auto channel = unit->channelAt(secondary);
            if (!channel)
                continue;
            if (pendingRole == Role::Listener) {
                addListener({unit.get(), *channel});
            } else if (pendingRole == Role::Talker &&
                       (!m_talker || !m_talker->unit->usesSecondaries())) {
                // The channel named by its secondary address takes the talk from a unit without
                // secondaries that shares the primary address.
                m_talker = Device{unit.get(), *channel};
            }
        }
        // Several secondaries may follow one primary.
        m_pendingRole = pendingRole;
    } else if (byte == kGET) {
        for (const Device& listener : std::vector<Device>(m_listeners))
            listener.unit->trigger();
    } else if (byte == kSDC) {
        for (const Device& listener : std::vector<Device>(m_listeners))
            listener.unit->deviceClear(listener.channel);
    } else if (byte == kDCL) {
        for (const auto& unit : m_units) {
            if (!unit->poweredOn())
                continue;
            for (std::size_t channel = 0; channel < unit->channelCount(); ++channel)
                unit->deviceClear(channel);
        }
    }
}

} // namespace gpibconfig::sim
