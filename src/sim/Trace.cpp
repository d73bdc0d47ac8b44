#include "Trace.h"

#include <algorithm>
#include <charconv>
#include <utility>

namespace gpibconfig::sim {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

void appendHexByte(std::string& out, std::uint8_t byte)
{
    out += kHexDigits[byte >> 4];
    out += kHexDigits[byte & 0x0F];
}

} // namespace

Trace::Trace(std::size_t capacity)
    : m_capacity(std::max<std::size_t>(capacity, 1))
{
}

void Trace::add(std::string line)
{
    ++m_total;
    m_lines.push_back(std::move(line));
    if (m_lines.size() > m_capacity)
        m_lines.pop_front();
    const std::string& added = m_lines.back();
    // By index: a listener may add or remove listeners while it runs.
    for (std::size_t i = 0; i < m_listeners.size(); ++i) {
        if (m_listeners[i].second) {
            const Listener listener = m_listeners[i].second;
            listener(added);
        }
    }
    std::erase_if(m_listeners, [](const auto& entry) { return !entry.second; });
}

void Trace::addEvent(std::string_view text) { add("# " + std::string(text)); }

std::vector<std::string> Trace::lines() const { return {m_lines.begin(), m_lines.end()}; }

std::string Trace::text() const
{
    std::string out;
    for (const std::string& line : m_lines) {
        out += line;
        out += '\n';
    }
    return out;
}

void Trace::clear() { m_lines.clear(); }

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

std::string Trace::escape(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size() + 8);
    for (const char c : bytes) {
        const auto byte = static_cast<std::uint8_t>(c);
        switch (byte) {
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        default:
            if (byte >= 0x20 && byte <= 0x7E) {
                out += c;
            } else {
                out += "\\x";
                appendHexByte(out, byte);
            }
        }
    }
    return out;
}

std::string Trace::escape(std::span<const std::uint8_t> bytes)
{
    return escape(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

std::string Trace::hexWord(unsigned value)
{
    std::string out = "0x";
    appendHexByte(out, static_cast<std::uint8_t>((value >> 8) & 0xFF));
    appendHexByte(out, static_cast<std::uint8_t>(value & 0xFF));
    return out;
}

std::string Trace::hexBytes(std::span<const std::uint8_t> bytes)
{
    std::string out;
    out.reserve(bytes.size() * 3);
    for (const std::uint8_t byte : bytes) {
        if (!out.empty())
            out += ' ';
        appendHexByte(out, byte);
    }
    return out;
}

std::string Trace::number(double value)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

} // namespace gpibconfig::sim
