// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <cstdint>

namespace gpibconfig {

// The driver's address word: primary address in the low byte, 0x60 + secondary in the high byte.
using Addr4882 = std::uint16_t;
// Ends an address list (NI-488.2's NOADDR).
inline constexpr Addr4882 kNoAddress = 0xFFFF;

// End-of-transmission modes and status values as the program means them (NI-488.2 numbering).
// A backend that numbers them differently translates.
namespace eot {
inline constexpr int NULLend = 0;
inline constexpr int NLend = 1;  // append a line feed and send it with END
inline constexpr int DABend = 2; // send END with the last data byte
} // namespace eot

namespace sta {
inline constexpr int ERR = 0x8000, TIMO = 0x4000, END = 0x2000, SRQI = 0x1000, RQS = 0x0800,
                     SPOLL = 0x0400, EVENT = 0x0200, CMPL = 0x0100, LOK = 0x0080, REM = 0x0040,
                     CIC = 0x0020, ATN = 0x0010, TACS = 0x0008, LACS = 0x0004, DTAS = 0x0002,
                     DCAS = 0x0001;
} // namespace sta

namespace err {
inline constexpr int EDVR = 0, ECIC = 1, ENOL = 2, EADR = 3, EARG = 4, ESAC = 5, EABO = 6, ENEB = 7,
                     EOIP = 10, ECAP = 11, EFSO = 12, EBUS = 14, ESTB = 15, ESRQ = 16, ETAB = 20;
} // namespace err

// What one driver call left: NI-488.2's status word, its error code (meaningful only while ERR is
// set) and its count. Every call of a Driver returns it; nothing is read back afterwards.
struct DriverStatus {
    long ibsta = 0;
    long iberr = 0;
    long ibcntl = 0;

    bool failed() const { return (ibsta & sta::ERR) != 0; }
    bool operator==(const DriverStatus&) const = default;
};

// The twelve board-level NI-488.2 calls the program makes, in the driver's own terms (bytes and
// counts), and one call only some drivers have. Implementations: the system driver (a library
// loaded at run time), the Prologix-protocol controllers and the simulated bench; the threaded
// and tracing drivers wrap any of them. Nothing above the access layer (GPIB32) sees this
// interface.
//
// The contract, for whoever writes the next one:
//
// - Every call returns the status it left, and that is the only way its outcome leaves the
//   driver. A driver whose library keeps the status per thread (NI-488.2's ThreadIbsta and
//   kin) reads it right after its own call, on the thread that made it, and returns it.
// - A call that did not reach the bus still returns an honest status: ERR with EDVR when the
//   driver or its controller is missing, EARG for an argument it cannot use, ECAP for what it
//   cannot do at all, ENEB for a board it does not have. Never ERR with a code that blames the
//   bus (ENOL, EABO) for something the bus was not asked.
// - Success sets CMPL; ibcntl counts what moved (Send: the bytes sent; Receive: the bytes at the
//   start of the caller's buffer, never more than its length; SendCmds: the command bytes;
//   FindLstn: the address words found). END marks data that ended with EOI.
// - iberr may keep an earlier failure's code through later successes, as NI-488.2 does; callers
//   look at it only when ERR is set.
// - ibonl(board, 0) follows a reported failure: the board may be reset or taken offline, but the
//   program's next call must work as before (with the time-out and remote enable it had set).
// - Calls come from one thread at a time; ThreadedDriver keeps them on one bus thread.
// - explainFailure() may say in plain words what a failed status means for this driver (no
//   library, no board configured, a controller that stopped answering), from what the driver
//   saw; the window shows it once per run, the command line with every report.
//
// The trace needs nothing from a driver: TracingDriver records each call with the status it
// returned.
class Driver {
public:
    virtual ~Driver() = default;

    virtual DriverStatus SendIFC(int board) = 0;
    virtual DriverStatus DevClear(int board, Addr4882 address) = 0;
    virtual DriverStatus Send(int board, Addr4882 address, const std::uint8_t* data, long count,
                              int eotMode) = 0;
    virtual DriverStatus Receive(int board, Addr4882 address, std::uint8_t* buffer, long count,
                                 int termination) = 0;
    virtual DriverStatus SendCmds(int board, const std::uint8_t* commands, long count) = 0;
    virtual DriverStatus ibonl(int ud, int v) = 0;
    virtual DriverStatus ibsre(int ud, int v) = 0;
    virtual DriverStatus ibtmo(int ud, int v) = 0;

    // Optional: the board's own search for listeners (NI-488.2's and linux-gpib's FindLstn). Each
    // primary address of `primaries` (ended by kNoAddress) is addressed to listen; where no
    // device takes it, each of its secondary addresses is tried. The address words found go to
    // `found`, at most `limit` of them, and their number to ibcntl; more than `limit` fail with
    // ETAB. Called only when canFindListeners() says the driver has it.
    virtual bool canFindListeners() const { return false; }
    virtual DriverStatus FindLstn(int board, const Addr4882* primaries, Addr4882* found, long limit)
    {
        (void)board;
        (void)primaries;
        (void)found;
        (void)limit;
        return {sta::ERR, err::ECAP, 0};
    }

    // Plain words for a technician about a failed call whose status is given, when the driver
    // knows more than the status word says (no library found, no board configured). Empty when it
    // has nothing to add.
    virtual QString explainFailure(int ibsta, int iberr, long ibcntl) const
    {
        (void)ibsta;
        (void)iberr;
        (void)ibcntl;
        return {};
    }
};

} // namespace gpibconfig
