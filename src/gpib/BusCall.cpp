// SPDX-License-Identifier: GPL-3.0-or-later
#include "BusCall.h"

#include <algorithm>
#include <charconv>

namespace gpibconfig {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

void appendHexByte(std::string& out, std::uint8_t byte)
{
    out += kHexDigits[byte >> 4];
    out += kHexDigits[byte & 0x0F];
}

// The bytes a driver was given: none for a null pointer or a count below one.
std::string bytesAt(const std::uint8_t* data, long count)
{
    if (!data || count <= 0)
        return {};
    return std::string(reinterpret_cast<const char*>(data), static_cast<std::size_t>(count));
}

BusCall boardCall(BusCall::Kind kind, int board)
{
    BusCall call;
    call.kind = kind;
    call.board = board;
    return call;
}

BusCall boardSetting(BusCall::Kind kind, int ud, int v)
{
    BusCall call = boardCall(kind, ud);
    call.value = v;
    return call;
}

} // namespace

BusCall BusCall::sendIfc(int board) { return boardCall(Kind::SendIFC, board); }

BusCall BusCall::devClear(int board, Addr4882 address)
{
    BusCall call = boardCall(Kind::DevClear, board);
    call.address = address;
    return call;
}

BusCall BusCall::send(int board, Addr4882 address, std::string_view bytes, int eotMode)
{
    BusCall call = boardCall(Kind::Send, board);
    call.address = address;
    call.value = eotMode;
    call.count = static_cast<long>(bytes.size());
    call.bytes = bytes;
    return call;
}

BusCall BusCall::send(int board, Addr4882 address, const std::uint8_t* data, long count,
                      int eotMode)
{
    BusCall call = boardCall(Kind::Send, board);
    call.address = address;
    call.value = eotMode;
    call.count = count;
    call.bytes = bytesAt(data, count);
    return call;
}

BusCall BusCall::receive(int board, Addr4882 address, long count, int termination)
{
    BusCall call = boardCall(Kind::Receive, board);
    call.address = address;
    call.value = termination;
    call.count = count;
    return call;
}

BusCall BusCall::sendCmds(int board, std::string_view commands)
{
    BusCall call = boardCall(Kind::SendCmds, board);
    call.count = static_cast<long>(commands.size());
    call.bytes = commands;
    return call;
}

BusCall BusCall::sendCmds(int board, const std::uint8_t* commands, long count)
{
    BusCall call = boardCall(Kind::SendCmds, board);
    call.count = count;
    call.bytes = bytesAt(commands, count);
    return call;
}

BusCall BusCall::ibonl(int ud, int v) { return boardSetting(Kind::ibonl, ud, v); }
BusCall BusCall::ibsre(int ud, int v) { return boardSetting(Kind::ibsre, ud, v); }
BusCall BusCall::ibtmo(int ud, int v) { return boardSetting(Kind::ibtmo, ud, v); }

BusCall BusCall::findLstn(int board, const Addr4882* primaries, long limit)
{
    BusCall call = boardCall(Kind::FindLstn, board);
    call.value = static_cast<int>(std::clamp<long>(limit, -1, 0x7FFFFFFF));
    for (std::size_t i = 0; primaries && i < kMaxFindAddresses && primaries[i] != kNoAddress; ++i)
        call.addresses.push_back(primaries[i]);
    return call;
}

BusCall BusCall::pause(double seconds)
{
    BusCall call;
    call.kind = Kind::Pause;
    call.seconds = seconds;
    return call;
}

BusCall BusCall::event(std::string_view text)
{
    BusCall call;
    call.kind = Kind::Event;
    call.text = text;
    return call;
}

void BusCall::complete(long status, long error, long transferred, const std::uint8_t* buffer)
{
    ibsta = status;
    iberr = error;
    ibcntl = transferred;
    if (kind != Kind::Receive)
        return;
    // A driver that reports more than it was given room for must not make the trace read past
    // the caller's buffer.
    const long arrived = std::min(transferred, count);
    bytes = buffer && arrived > 0 ? bytesAt(buffer, arrived) : std::string();
}

void BusCall::completeFind(long status, long error, long count, const Addr4882* results)
{
    ibsta = status;
    iberr = error;
    ibcntl = count;
    found.clear();
    const long shown = std::min<long>(count, value);
    for (long i = 0; results && i < shown; ++i)
        found.push_back(results[i]);
}

BusCall BusCall::request() const
{
    BusCall call = *this;
    call.ibsta = call.iberr = call.ibcntl = 0;
    if (kind == Kind::Receive)
        call.bytes.clear();
    call.found.clear();
    return call;
}

std::string BusCall::traceLine() const
{
    if (kind == Kind::Pause)
        return "Pause(" + number(seconds) + ")";
    if (kind == Kind::Event)
        return "# " + text;

    std::string line(name(kind));
    line += '(';
    line += std::to_string(board);
    switch (kind) {
    case Kind::DevClear:
        line += ", " + hexWord(address);
        break;
    case Kind::Send:
        line += ", " + hexWord(address) + ", \"" + escape(bytes) + "\", " + std::to_string(value);
        break;
    case Kind::Receive:
        line +=
            ", " + hexWord(address) + ", " + std::to_string(count) + ", " + std::to_string(value);
        break;
    case Kind::SendCmds:
        line += ", " + hexBytes(bytes);
        break;
    case Kind::ibonl:
    case Kind::ibsre:
    case Kind::ibtmo:
        line += ", " + std::to_string(value);
        break;
    case Kind::FindLstn:
        line += ", " + hexWords(addresses) + ", " + std::to_string(value);
        break;
    default:
        break;
    }
    line += ") -> ibsta=" + hexWord(static_cast<unsigned>(ibsta)) +
            " iberr=" + std::to_string(iberr) + " ibcntl=" + std::to_string(ibcntl);
    if (kind == Kind::Receive)
        line += " data=\"" + escape(bytes) + "\"";
    if (kind == Kind::FindLstn)
        line += " found=" + hexWords(found);
    return line;
}

std::string_view BusCall::name(Kind kind)
{
    switch (kind) {
    case Kind::SendIFC:
        return "SendIFC";
    case Kind::DevClear:
        return "DevClear";
    case Kind::Send:
        return "Send";
    case Kind::Receive:
        return "Receive";
    case Kind::SendCmds:
        return "SendCmds";
    case Kind::ibonl:
        return "ibonl";
    case Kind::ibsre:
        return "ibsre";
    case Kind::ibtmo:
        return "ibtmo";
    case Kind::FindLstn:
        return "FindLstn";
    case Kind::Pause:
        return "Pause";
    case Kind::Event:
        return "Event";
    }
    return "?";
}

std::string BusCall::escape(std::string_view bytes)
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

std::string BusCall::hexWord(unsigned value)
{
    std::string out = "0x";
    appendHexByte(out, static_cast<std::uint8_t>((value >> 8) & 0xFF));
    appendHexByte(out, static_cast<std::uint8_t>(value & 0xFF));
    return out;
}

std::string BusCall::hexBytes(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size() * 3);
    for (const char c : bytes) {
        if (!out.empty())
            out += ' ';
        appendHexByte(out, static_cast<std::uint8_t>(c));
    }
    return out;
}

std::string BusCall::hexWords(const std::vector<Addr4882>& words)
{
    std::string out;
    for (const Addr4882 word : words) {
        if (!out.empty())
            out += ' ';
        out += hexWord(word);
    }
    return out;
}

std::string BusCall::number(double value)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

} // namespace gpibconfig
