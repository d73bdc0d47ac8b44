// SPDX-License-Identifier: GPL-3.0-or-later
#include "Board.h"

#include "BenchClock.h"
#include "Trace.h"
#include "Unit.h"

#include <array>
#include <limits>
#include <span>

namespace gpibconfig::sim {

namespace {

constexpr int kBoardPrimary = 0;
constexpr int kStopOnEndOnly = 0x0100;

// Interface messages (IEEE 488.1 command bytes).
constexpr std::uint8_t kUNL = 0x3F, kUNT = 0x5F, kSDC = 0x04, kDCL = 0x14;
constexpr std::uint8_t kLAD = 0x20, kTAD = 0x40, kSCG = 0x60;

// NI-488.2 time-out codes 0 (none) to 17, in seconds.
constexpr std::array<double, 18> kTimeouts = {0,    10e-6, 30e-6, 100e-6, 300e-6, 1e-3,
                                              3e-3, 10e-3, 30e-3, 0.1,    0.3,    1,
                                              3,    10,    30,    100,    300,    1000};

} // namespace

Board::Board(const Units& units, BenchClock& clock, Trace& trace, std::function<void()> afterCall)
    : m_units(units)
    , m_clock(clock)
    , m_trace(trace)
    , m_afterCall(std::move(afterCall))
    , m_devices(units)
{
}

double Board::timeoutSeconds(int code)
{
    if (code < 0 || code >= static_cast<int>(kTimeouts.size()))
        return 0;
    return kTimeouts[static_cast<std::size_t>(code)];
}

// ---------------------------------------------------------------------------------------------
// Status and bookkeeping

long Board::stateBits() const
{
    if (!m_online)
        return 0;
    return (m_cic ? sta::CIC : 0) | (m_atn ? sta::ATN : 0) | (m_tacs ? sta::TACS : 0) |
           (m_lacs ? sta::LACS : 0);
}

void Board::finish(long extraStatus, long count)
{
    m_ibsta = extraStatus | sta::CMPL | stateBits();
    m_ibcntl = count;
}

void Board::fail(int iberr, long count)
{
    m_iberr = iberr;
    m_ibsta = sta::ERR | (iberr == err::EABO ? sta::TIMO : 0) | sta::CMPL | stateBits();
    m_ibcntl = count;
}

DriverStatus Board::record(BusCall call, const std::uint8_t* buffer)
{
    call.complete(m_ibsta, m_iberr, m_ibcntl, buffer);
    m_trace.add(std::move(call));
    // Taken before the bench's own reaction to the call, which makes no driver call.
    const DriverStatus status{m_ibsta, m_iberr, m_ibcntl};
    if (m_afterCall)
        m_afterCall();
    return status;
}

// Counts the call, applies an injected failure, refuses other boards and brings the board back
// online. False when the call must not act (its status is already set).
bool Board::begin(Call kind, int board)
{
    ++m_calls;
    if (const auto at = m_failAt.find(m_calls); at != m_failAt.end()) {
        fail(at->second);
        m_failAt.erase(at);
        return false;
    }
    for (auto next = m_failNext.begin(); next != m_failNext.end(); ++next) {
        if (next->first == Call::Any || next->first == kind) {
            fail(next->second);
            m_failNext.erase(next);
            return false;
        }
    }
    if (board != 0) {
        fail(kind == Call::ibonl || kind == Call::ibsre || kind == Call::ibtmo ? err::EDVR
                                                                               : err::ENEB);
        return false;
    }
    m_online = true;
    return true;
}

std::optional<Board::BusAddress> Board::decode(Addr4882 address)
{
    const int primary = address & 0xFF;
    const int high = address >> 8;
    if (primary > 30)
        return std::nullopt;
    if (high == 0)
        return BusAddress{primary, -1};
    if (high >= kSCG && high <= kSCG + 30)
        return BusAddress{primary, high - kSCG};
    return std::nullopt;
}

void Board::failCallAt(long position, int iberr) { m_failAt[position] = iberr; }

void Board::failNext(Call kind, int iberr) { m_failNext.emplace_back(kind, iberr); }

void Board::clearCallFailures()
{
    m_failAt.clear();
    m_failNext.clear();
}

void Board::forget(const Unit& unit) { m_devices.forget(unit); }

// ---------------------------------------------------------------------------------------------
// The bus

void Board::command(std::uint8_t byte)
{
    byte &= 0x7F; // the parity bit is not part of the message
    if (byte == kUNL)
        m_lacs = false;
    else if (byte == kUNT)
        m_tacs = false;
    else if (byte >= kLAD && byte < kUNL && byte - kLAD == kBoardPrimary)
        m_lacs = true;
    else if (byte >= kTAD && byte < kUNT)
        m_tacs = byte - kTAD == kBoardPrimary;
    m_devices.command(byte);
}

void Board::address(Addressed role, BusAddress where)
{
    m_atn = true;
    command(kUNL);
    if (role == Addressed::Talker) {
        command(kLAD + kBoardPrimary);
        command(static_cast<std::uint8_t>(kTAD + where.primary));
    } else {
        command(static_cast<std::uint8_t>(kLAD + where.primary));
    }
    if (where.secondary >= 0)
        command(static_cast<std::uint8_t>(kSCG + where.secondary));
}

// ---------------------------------------------------------------------------------------------
// Driver calls

DriverStatus Board::SendIFC(int board)
{
    if (begin(Call::SendIFC, board)) {
        // Interface clear: every unit drops its addressing; the board takes control.
        m_devices.clear();
        m_cic = true;
        m_atn = true;
        m_tacs = false;
        m_lacs = false;
        finish(0, 0);
    }
    return record(BusCall::sendIfc(board));
}

DriverStatus Board::DevClear(int board, Addr4882 address)
{
    const auto act = [&] {
        const auto where = decode(address);
        if (!where && address != kNoAddress)
            return fail(err::EARG);
        if (!m_cic)
            return fail(err::ECIC);
        if (!anyDeviceOnBus())
            return fail(err::ENOL);
        if (!where) {
            m_atn = true;
            command(kDCL);
            return finish(0, 0);
        }
        // Every unit on the bus accepts the command bytes, so the clear is sent whether or not a
        // unit listens at the address; SDC then reaches no one.
        this->address(Addressed::Listener, *where);
        command(kSDC);
        finish(0, 0);
    };
    if (begin(Call::DevClear, board))
        act();
    return record(BusCall::devClear(board, address));
}

DriverStatus Board::Send(int board, Addr4882 address, const std::uint8_t* data, long count,
                         int eotMode)
{
    const std::span<const std::uint8_t> bytes =
        data && count > 0 ? std::span(data, static_cast<std::size_t>(count))
                          : std::span<const std::uint8_t>{};
    const auto act = [&] {
        const auto where = decode(address);
        if (!where || count < 0 || (count > 0 && !data) || eotMode < eot::NULLend ||
            eotMode > eot::DABend)
            return fail(err::EARG);
        if (!m_cic)
            return fail(err::ECIC);
        if (!anyDeviceOnBus())
            return fail(err::ENOL);
        m_atn = true;
        command(kUNL);
        command(kTAD + kBoardPrimary);
        this->address(Addressed::Listener, *where);
        // The board's own listen address is not among the units; keep it out of this transfer.
        m_lacs = false;
        m_atn = false;
        if (m_devices.listeners().empty())
            return fail(err::ENOL);
        const bool appendNewline = eotMode == eot::NLend;
        const bool end = eotMode != eot::NULLend;
        static constexpr std::uint8_t kNewline[] = {'\n'};
        const double now = m_clock.now();
        // A unit may move to another address while it takes the message: deliver to the
        // listeners as they were when the data started.
        for (const DeviceRef& listener : std::vector<DeviceRef>(m_devices.listeners())) {
            listener.unit->listen(listener.channel, bytes, end && !appendNewline, now);
            if (appendNewline)
                listener.unit->listen(listener.channel, kNewline, true, now);
        }
        finish(end ? sta::END : 0, static_cast<long>(bytes.size()) + (appendNewline ? 1 : 0));
    };
    if (begin(Call::Send, board))
        act();
    return record(BusCall::send(board, address, data, count, eotMode));
}

DriverStatus Board::Receive(int board, Addr4882 address, std::uint8_t* buffer, long count,
                            int termination)
{
    if (begin(Call::Receive, board))
        doReceive(address, buffer, count, termination);
    // What arrived is the start of the caller's buffer.
    return record(BusCall::receive(board, address, count, termination), buffer);
}

void Board::doReceive(Addr4882 address, std::uint8_t* buffer, long count, int termination)
{
    const auto where = decode(address);
    if (!where || count < 0 || (count > 0 && !buffer) || termination < 0 ||
        (termination > 0xFF && termination != kStopOnEndOnly))
        return fail(err::EARG);
    if (!m_cic)
        return fail(err::ECIC);
    if (!anyDeviceOnBus())
        return fail(err::ENOL);
    this->address(Addressed::Talker, *where);
    m_atn = false;
    if (count == 0)
        return finish(0, 0);

    const int eos = termination == kStopOnEndOnly ? -1 : termination;
    const std::optional<DeviceRef> talker = m_devices.talker();
    if (talker && !talker->unit->hasOutput(talker->channel))
        talker->unit->talkedWithNothingToSay(talker->channel);

    const double timeout = timeoutSeconds(m_timeoutCode);
    const double deadline =
        timeout > 0 ? m_clock.now() + timeout : std::numeric_limits<double>::infinity();
    const std::span<std::uint8_t> room(buffer, static_cast<std::size_t>(count));
    std::size_t received = 0;
    while (true) {
        bool end = false;
        if (talker)
            received += talker->unit->talk(talker->channel, room.subspan(received), eos, end,
                                           m_clock.now());
        if (end || received == room.size())
            return finish(end ? sta::END : 0, static_cast<long>(received));
        const std::optional<double> next =
            talker ? talker->unit->nextReplyTime(talker->channel) : std::nullopt;
        if (!next && timeout == 0) {
            // No time-out and nothing will ever come: a real board would hang here.
            m_iberr = err::EABO;
            m_ibsta = sta::ERR | sta::CMPL | stateBits();
            m_ibcntl = static_cast<long>(received);
            return;
        }
        const double now = m_clock.now();
        if (!next || *next > deadline) {
            m_clock.elapse(deadline - now);
            return fail(err::EABO, static_cast<long>(received));
        }
        m_clock.elapse(*next - now);
    }
}

DriverStatus Board::SendCmds(int board, const std::uint8_t* commands, long count)
{
    const std::span<const std::uint8_t> bytes =
        commands && count > 0 ? std::span(commands, static_cast<std::size_t>(count))
                              : std::span<const std::uint8_t>{};
    const auto act = [&] {
        if (count < 0 || (count > 0 && !commands))
            return fail(err::EARG);
        if (!m_cic)
            return fail(err::ECIC);
        if (!bytes.empty() && !anyDeviceOnBus())
            return fail(err::ENOL);
        m_atn = true;
        for (const std::uint8_t byte : bytes)
            command(byte);
        finish(0, count);
    };
    if (begin(Call::SendCmds, board))
        act();
    return record(BusCall::sendCmds(board, commands, count));
}

DriverStatus Board::FindLstn(int board, const Addr4882* primaries, Addr4882* found, long limit)
{
    BusCall call = BusCall::findLstn(board, primaries, limit);
    if (begin(Call::FindLstn, board))
        findListeners(primaries, found, limit);
    call.completeFind(m_ibsta, m_iberr, m_ibcntl, found);
    m_trace.add(std::move(call));
    const DriverStatus status{m_ibsta, m_iberr, m_ibcntl};
    if (m_afterCall)
        m_afterCall();
    return status;
}

void Board::findListeners(const Addr4882* primaries, Addr4882* found, long limit)
{
    if (!primaries || limit < 0 || (limit > 0 && !found))
        return fail(err::EARG);
    std::vector<int> pads;
    for (std::size_t i = 0;; ++i) {
        if (i >= BusCall::kMaxFindAddresses)
            return fail(err::EARG, static_cast<long>(i)); // no end to the list
        if (primaries[i] == kNoAddress)
            break;
        if (primaries[i] > 30)
            return fail(err::EARG, static_cast<long>(i));
        pads.push_back(primaries[i]);
    }
    if (!m_cic)
        return fail(err::ECIC);
    if (!anyDeviceOnBus())
        return fail(err::EBUS);

    long count = 0;
    bool overflow = false;
    const auto add = [&](Addr4882 word) {
        if (count < limit)
            found[count++] = word;
        else
            overflow = true;
    };
    const auto addressToListen = [this](int primary, int secondary) {
        m_atn = true;
        command(kUNL);
        command(kTAD + kBoardPrimary);
        command(static_cast<std::uint8_t>(kLAD + primary));
        if (secondary >= 0)
            command(static_cast<std::uint8_t>(kSCG + secondary));
        m_atn = false;
    };
    for (const int primary : pads) {
        addressToListen(primary, -1);
        if (listenerHoldsNdac()) {
            add(static_cast<Addr4882>(primary));
            continue;
        }
        for (int secondary = 0; secondary <= 30; ++secondary) {
            addressToListen(primary, secondary);
            if (listenerHoldsNdac())
                add(static_cast<Addr4882>(primary | ((kSCG + secondary) << 8)));
        }
    }
    m_atn = true;
    command(kUNL);
    command(kUNT);
    if (overflow)
        return fail(err::ETAB, count);
    finish(0, count);
}

DriverStatus Board::ibonl(int ud, int v)
{
    if (begin(Call::ibonl, ud)) {
        if (v == 0) {
            // Offline: the board lets go of the bus, but keeps its time-out, remote enable and
            // controller role for when the next call brings it back.
            m_online = false;
            m_atn = m_tacs = m_lacs = false;
            m_devices.clear();
        }
        finish(0, 0);
    }
    return record(BusCall::ibonl(ud, v));
}

DriverStatus Board::ibsre(int ud, int v)
{
    if (begin(Call::ibsre, ud)) {
        m_ren = v != 0;
        finish(0, 0);
    }
    return record(BusCall::ibsre(ud, v));
}

DriverStatus Board::ibtmo(int ud, int v)
{
    if (begin(Call::ibtmo, ud)) {
        if (v < 0 || v >= static_cast<int>(kTimeouts.size()))
            fail(err::EARG);
        else {
            m_timeoutCode = v;
            finish(0, 0);
        }
    }
    return record(BusCall::ibtmo(ud, v));
}

} // namespace gpibconfig::sim
