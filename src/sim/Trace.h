// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "gpib/BusCall.h"

#include <cstddef>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace gpibconfig::sim {

// The bench's log of bus traffic: one record per driver call, per pause and per bench event.
// Tests look at the records; the bench window and standard output show each record's trace line
// (see BusCall for the format).
//
// Only the newest `capacity` records are kept, so a bench left running for days stays small;
// listeners are called synchronously for every record as it is added, so they never miss one.
class Trace {
public:
    using Listener = std::function<void(const BusCall& record)>;
    static constexpr std::size_t kDefaultCapacity = 100000;

    explicit Trace(std::size_t capacity = kDefaultCapacity);

    void add(BusCall record);
    // Adds a bench event, shown as "# <text>".
    void addEvent(std::string_view text);

    // The kept records from position `from` on (0: the oldest kept), oldest first.
    std::vector<BusCall> records(std::size_t from = 0) const;
    // Their trace lines.
    std::vector<std::string> lines() const;
    std::size_t size() const { return m_records.size(); }
    // The kept lines joined, each ended by a line feed (handy for failure messages in tests).
    std::string text() const;
    // Records added since construction, including those dropped for the capacity and by clear().
    std::size_t totalAdded() const { return m_total; }
    void clear();

    // Returns an id for removeListener. A listener may remove itself while it is being called.
    int addListener(Listener listener);
    void removeListener(int id);

private:
    std::size_t m_capacity;
    std::deque<BusCall> m_records;
    std::size_t m_total = 0;
    std::vector<std::pair<int, Listener>> m_listeners;
    int m_nextListenerId = 1;
};

} // namespace gpibconfig::sim
