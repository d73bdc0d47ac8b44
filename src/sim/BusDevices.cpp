// SPDX-License-Identifier: GPL-3.0-or-later
#include "BusDevices.h"

#include "BenchClock.h"
#include "Unit.h"

#include <array>

namespace gpibconfig::sim {

void BusDevices::data(std::uint8_t byte, bool end)
{
    const std::array<std::uint8_t, 1> bytes{byte};
    // A unit may move to another address while it takes the message.
    for (const Acceptors::Device& listener : std::vector(m_acceptors.listeners())) {
        listener.unit->listen(listener.channel, bytes, end, m_clock.now());
        std::string& text = m_partial[{listener.unit, listener.channel}];
        if (byte != '\n')
            text.push_back(static_cast<char>(byte));
        if (byte == '\n' || end) {
            m_messages.push_back({std::string(listener.unit->model()), listener.channel, text});
            text.clear();
        }
    }
}

void BusDevices::attentionReleased()
{
    const auto& talker = m_acceptors.talker();
    if (talker && !talker->unit->hasOutput(talker->channel))
        talker->unit->talkedWithNothingToSay(talker->channel);
}

std::optional<std::pair<std::uint8_t, bool>> BusDevices::nextByte()
{
    const auto& talker = m_acceptors.talker();
    if (!talker)
        return std::nullopt;
    std::array<std::uint8_t, 1> byte{};
    bool end = false;
    if (talker->unit->talk(talker->channel, byte, -1, end, m_clock.now()) == 0)
        return std::nullopt;
    return std::pair{byte[0], end};
}

} // namespace gpibconfig::sim
