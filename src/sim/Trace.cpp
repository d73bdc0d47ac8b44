// SPDX-License-Identifier: GPL-3.0-or-later
#include "Trace.h"

#include <algorithm>
#include <utility>

namespace gpibconfig::sim {

Trace::Trace(std::size_t capacity)
    : m_capacity(std::max<std::size_t>(capacity, 1))
{
}

void Trace::add(BusCall record)
{
    ++m_total;
    m_records.push_back(std::move(record));
    if (m_records.size() > m_capacity)
        m_records.pop_front();
    const BusCall& added = m_records.back();
    // By index: a listener may add or remove listeners while it runs.
    for (std::size_t i = 0; i < m_listeners.size(); ++i) {
        if (m_listeners[i].second) {
            const Listener listener = m_listeners[i].second;
            listener(added);
        }
    }
    std::erase_if(m_listeners, [](const auto& entry) { return !entry.second; });
}

void Trace::addEvent(std::string_view text) { add(BusCall::event(text)); }

std::vector<BusCall> Trace::records(std::size_t from) const
{
    if (from >= m_records.size())
        return {};
    return {m_records.begin() + static_cast<std::ptrdiff_t>(from), m_records.end()};
}

std::vector<std::string> Trace::lines() const
{
    std::vector<std::string> out;
    out.reserve(m_records.size());
    for (const BusCall& record : m_records)
        out.push_back(record.traceLine());
    return out;
}

std::string Trace::text() const
{
    std::string out;
    for (const BusCall& record : m_records) {
        out += record.traceLine();
        out += '\n';
    }
    return out;
}

void Trace::clear() { m_records.clear(); }

int Trace::addListener(Listener listener)
{
    const int id = m_nextListenerId++;
    m_listeners.emplace_back(id, std::move(listener));
    return id;
}

void Trace::removeListener(int id)
{
    // Only emptied here; add() drops empty entries once no listener is running.
    for (auto& entry : m_listeners) {
        if (entry.first == id)
            entry.second = nullptr;
    }
}

} // namespace gpibconfig::sim
