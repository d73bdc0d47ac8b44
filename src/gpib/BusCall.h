// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Driver.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace gpibconfig {

// One entry of a bus trace: a driver call with its arguments and the status it left, a pause of
// the program, or an event of the simulated bench. Whoever writes a trace (the bench, a tracing
// decorator around any driver, a test's fake driver) records these values; the text line is one
// rendering of them, so a test compares fields and never reads text back.
//
//   SendIFC(0) -> ibsta=0x0130 iberr=0 ibcntl=0
//   ibtmo(0, 11) -> ibsta=0x0130 iberr=0 ibcntl=0
//   DevClear(0, 0x0005) -> ibsta=0x0130 iberr=0 ibcntl=0
//   Send(0, 0x0005, "SYST:COMM:GPIB:ADDR?", 1) -> ibsta=0x2128 iberr=0 ibcntl=21
//   Receive(0, 0x0005, 18, 0) -> ibsta=0x2124 iberr=0 ibcntl=2 data="5\n"
//   SendCmds(0, 25 08) -> ibsta=0x0130 iberr=0 ibcntl=2
//   FindLstn(0, 0x0001 0x0002 0x0003, 31) -> ibsta=0x0130 iberr=0 ibcntl=1 found=0x0002
//   Pause(0.2)
//   # 7311 at 1: power cycle
//
// Bytes are C-escaped (\n \r \t \" \\ and \xNN for anything else outside 0x20-0x7E), address
// words are 0x and four upper-case hex digits, command bytes two upper-case hex digits each
// separated by blanks. A Send shows its end-of-transmission mode and not its count (the bytes
// show it); a Receive shows its buffer length and termination, and after the arrow the bytes
// that arrived; a FindLstn the primary addresses asked and its limit, and after the arrow the
// address words found.
struct BusCall {
    enum class Kind : std::uint8_t {
        SendIFC,
        DevClear,
        Send,
        Receive,
        SendCmds,
        ibonl,
        ibsre,
        ibtmo,
        FindLstn,
        Pause, // the program waited; not a driver call
        Event, // something done to the simulated bench; not a driver call
    };

    Kind kind = Kind::SendIFC;
    // The board index; the unit descriptor of ibonl, ibsre and ibtmo.
    int board = 0;
    // DevClear, Send and Receive.
    Addr4882 address = 0;
    // Send: the end-of-transmission mode; Receive: the termination; ibonl, ibsre, ibtmo: the value;
    // FindLstn: the limit.
    int value = 0;
    // The count the caller gave: bytes to send (Send, SendCmds) or the buffer's length (Receive).
    long count = 0;
    // Send: the bytes sent; SendCmds: the command bytes; Receive: the bytes that arrived.
    std::string bytes;
    // FindLstn: the primary addresses asked, and the address words found.
    std::vector<Addr4882> addresses;
    std::vector<Addr4882> found;
    // Pause: how long, in seconds.
    double seconds = 0;
    // Event: what happened on the bench.
    std::string text;
    // The status the call returned.
    long ibsta = 0;
    long iberr = 0;
    long ibcntl = 0;

    // Calls as a caller makes them, status still zero. The pointer forms take the driver's
    // arguments as they are: a null pointer or a negative count gives no bytes, the count is kept.
    static BusCall sendIfc(int board);
    static BusCall devClear(int board, Addr4882 address);
    static BusCall send(int board, Addr4882 address, std::string_view bytes, int eotMode);
    static BusCall send(int board, Addr4882 address, const std::uint8_t* data, long count,
                        int eotMode);
    static BusCall receive(int board, Addr4882 address, long count, int termination);
    static BusCall sendCmds(int board, std::string_view commands);
    static BusCall sendCmds(int board, const std::uint8_t* commands, long count);
    static BusCall ibonl(int ud, int v);
    static BusCall ibsre(int ud, int v);
    static BusCall ibtmo(int ud, int v);
    // The list is read up to its kNoAddress, and never further than kMaxFindAddresses entries.
    static BusCall findLstn(int board, const Addr4882* primaries, long limit);
    static constexpr std::size_t kMaxFindAddresses = 256;
    static BusCall pause(double seconds);
    static BusCall event(std::string_view text);

    // Sets the status the call left. For a Receive, `buffer` is the caller's buffer after the
    // call: the bytes that arrived are its first `transferred` bytes, never more than the count
    // given, whatever count a driver reports.
    void complete(long status, long error, long transferred, const std::uint8_t* buffer = nullptr);
    // The same for a FindLstn: the addresses found are the first `count` of `results`, never more
    // than the limit it was given.
    void completeFind(long status, long error, long count, const Addr4882* results);

    bool isDriverCall() const { return kind != Kind::Pause && kind != Kind::Event; }
    bool failed() const { return isDriverCall() && (ibsta & sta::ERR) != 0; }
    bool timedOut() const { return isDriverCall() && (ibsta & sta::TIMO) != 0; }
    // A Send of exactly these bytes.
    bool isSend(std::string_view message) const { return kind == Kind::Send && bytes == message; }
    // The call as it was made: without its status and without the bytes a Receive got.
    BusCall request() const;

    // The trace line, without a line end.
    std::string traceLine() const;

    bool operator==(const BusCall&) const = default;

    // Pieces of the line, for anyone who shows a part of a call the same way.
    static std::string_view name(Kind kind);
    static std::string escape(std::string_view bytes);
    static std::string hexWord(unsigned value);
    static std::string hexBytes(std::string_view bytes);
    static std::string hexWords(const std::vector<Addr4882>& words);
    // Shortest decimal form that reads back as the same double ("0.2", "1", "0.001").
    static std::string number(double value);
};

} // namespace gpibconfig
