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

// The twelve board-level NI-488.2 calls the program makes, in the driver's own terms (bytes and
// counts), and one call only some drivers have. Implementations: the system driver (a library
// loaded at run time), the Prologix-protocol controllers and the simulated bench. Nothing above
// the access layer sees this interface.
class Driver {
public:
    virtual ~Driver() = default;

    virtual void SendIFC(int board) = 0;
    virtual void DevClear(int board, Addr4882 address) = 0;
    virtual void Send(int board, Addr4882 address, const std::uint8_t* data, long count,
                      int eotMode) = 0;
    virtual void Receive(int board, Addr4882 address, std::uint8_t* buffer, long count,
                         int termination) = 0;
    virtual void SendCmds(int board, const std::uint8_t* commands, long count) = 0;
    virtual int ibonl(int ud, int v) = 0;
    virtual int ibsre(int ud, int v) = 0;
    virtual int ibtmo(int ud, int v) = 0;

    // Optional: the board's own search for listeners (NI-488.2's and linux-gpib's FindLstn). Each
    // primary address of `primaries` (ended by kNoAddress) is addressed to listen; where no
    // device takes it, each of its secondary addresses is tried. The address words found go to
    // `found`, at most `limit` of them, and their number to ibcnt; more than `limit` fail with
    // ETAB. Called only when canFindListeners() says the driver has it.
    virtual bool canFindListeners() const { return false; }
    virtual void FindLstn(int board, const Addr4882* primaries, Addr4882* found, long limit)
    {
        (void)board;
        (void)primaries;
        (void)found;
        (void)limit;
    }

    virtual long ThreadIbsta() = 0;
    virtual long ThreadIberr() = 0;
    virtual long ThreadIbcnt() = 0;
    virtual long ThreadIbcntl() = 0;

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
