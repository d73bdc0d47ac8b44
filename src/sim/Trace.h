#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace gpibconfig::sim {

// The bench's log of bus traffic: one line per driver call, per pause and per bench event, in the
// same words for a test, the bench window and a person reading standard output.
//
//   SendIFC(0) -> ibsta=0x0130 iberr=0 ibcntl=0
//   Send(0, 0x0005, "SYST:COMM:GPIB:ADDR?", 1) -> ibsta=0x2128 iberr=0 ibcntl=21
//   Receive(0, 0x0005, 18, 0) -> ibsta=0x2124 iberr=0 ibcntl=2 data="5\n"
//   SendCmds(0, 25 08) -> ibsta=0x0130 iberr=0 ibcntl=2
//   Pause(0.2)
//   # 7311 at 1: power cycle
//
// Only the newest `capacity` lines are kept, so a bench left running for days stays small;
// listeners are called synchronously for every line as it is added, so they never miss one.
class Trace {
public:
    using Listener = std::function<void(const std::string& line)>;
    static constexpr std::size_t kDefaultCapacity = 100000;

    explicit Trace(std::size_t capacity = kDefaultCapacity);

    void add(std::string line);
    // Adds "# <text>".
    void addEvent(std::string_view text);

    // The kept lines, oldest first.
    std::vector<std::string> lines() const;
    std::size_t size() const { return m_lines.size(); }
    // The kept lines joined, each ended by a line feed (handy for failure messages in tests).
    std::string text() const;
    // Lines added since construction, including those dropped for the capacity and by clear().
    std::size_t totalAdded() const { return m_total; }
    void clear();

    // Returns an id for removeListener. A listener may remove itself while it is being called.
    int addListener(Listener listener);
    void removeListener(int id);

    // Pieces of the line format, shared by every producer of lines.
    // C escape of bytes: \n \r \t \" \\ and \xNN (upper-case) for anything else outside 0x20-0x7E.
    static std::string escape(std::string_view bytes);
    static std::string escape(std::span<const std::uint8_t> bytes);
    // 0x and four upper-case hex digits.
    static std::string hexWord(unsigned value);
    // Two upper-case hex digits per byte, separated by blanks.
    static std::string hexBytes(std::span<const std::uint8_t> bytes);
    // Shortest decimal form that reads back as the same double ("0.2", "1", "0.001").
    static std::string number(double value);

private:
    std::size_t m_capacity;
    std::deque<std::string> m_lines;
    std::size_t m_total = 0;
    std::vector<std::pair<int, Listener>> m_listeners;
    int m_nextListenerId = 1;
};

} // namespace gpibconfig::sim
