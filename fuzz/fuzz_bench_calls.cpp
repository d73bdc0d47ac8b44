// SPDX-License-Identifier: GPL-3.0-or-later
// Any sequence of the driver calls (the twelve, and the board's search for listeners), with any
// arguments a caller could pass, against the default bench of 27 units, mixed with bench actions
// (power cycles, unit faults, injected call failures, pauses). The board must keep to NI-488.2's
// promises whatever the order: CMPL in every status, a known error code with ERR, a Receive that
// fills at most the count it was given from the start of the buffer (the buffer is exactly that
// long, so a write past it is caught), a FindLstn that writes no more addresses than it reports,
// one trace line per call with the status the call returned, and a clock that never runs
// backwards.
#include "FuzzSupport.h"
#include "gpib/Driver.h"
#include "sim/Bench.h"
#include "sim/BenchClock.h"

#include <cmath>
#include <fuzzer/FuzzedDataProvider.h>
#include <limits>
#include <memory>
#include <vector>

namespace {

using namespace gpibconfig;
using namespace gpibconfig::sim;

constexpr int kKnownErrors[] = {err::EDVR, err::ECIC, err::ENOL, err::EADR, err::EARG,
                                err::ESAC, err::EABO, err::ENEB, err::EOIP, err::ECAP,
                                err::EFSO, err::EBUS, err::ESTB, err::ESRQ, err::ETAB};

class Run {
public:
    explicit Run(FuzzedDataProvider& in)
        : m_in(in)
    {
    }

    void step()
    {
        const std::size_t linesBefore = m_bench->trace().totalAdded();
        const double timeBefore = m_bench->clock().now();
        Driver& d = m_bench->driver();
        const char* call = nullptr;
        DriverStatus status;
        // Arguments are taken from the input one statement at a time, in a fixed order, so that
        // an input means the same calls whichever order a compiler evaluates arguments in.
        switch (m_in.ConsumeIntegralInRange(0, 14)) {
        case 0: {
            call = "SendIFC";
            const int b = board();
            status = d.SendIFC(b);
            break;
        }
        case 1: {
            call = "DevClear";
            const int b = board();
            const Addr4882 a = address();
            status = d.DevClear(b, a);
            break;
        }
        case 2: {
            call = "Send";
            const std::string bytes = m_in.ConsumeRandomLengthString(64);
            const long count = m_in.ConsumeBool() ? -1 : static_cast<long>(bytes.size());
            const int b = board();
            const Addr4882 a = address();
            const int eotMode = m_in.ConsumeIntegralInRange(-1, 3);
            status =
                d.Send(b, a, reinterpret_cast<const std::uint8_t*>(bytes.data()), count, eotMode);
            break;
        }
        case 3:
            call = "Receive";
            status = receive();
            break;
        case 4: {
            call = "SendCmds";
            const std::string bytes = m_in.ConsumeRandomLengthString(16);
            const int b = board();
            status = d.SendCmds(b, reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                static_cast<long>(bytes.size()));
            break;
        }
        case 5: {
            call = "ibonl";
            const int b = board();
            status = d.ibonl(b, m_in.ConsumeIntegralInRange(0, 1));
            break;
        }
        case 6: {
            call = "ibsre";
            const int b = board();
            status = d.ibsre(b, m_in.ConsumeIntegralInRange(0, 1));
            break;
        }
        case 7: {
            call = "ibtmo";
            const int b = board();
            status = d.ibtmo(b, m_in.ConsumeIntegralInRange(-1, 18));
            break;
        }
        case 8:
            m_bench->powerCycle(unitId());
            break;
        case 9: {
            const Bench::UnitId id = unitId();
            m_bench->setFaults(id, faults());
            break;
        }
        case 10: {
            const auto kind = static_cast<Call>(m_in.ConsumeIntegralInRange(0, 9));
            m_bench->failNext(kind, errorCode());
            break;
        }
        case 11: {
            const long position = m_bench->callCount() + m_in.ConsumeIntegralInRange(1, 4);
            m_bench->failCallAt(position, errorCode());
            break;
        }
        case 12:
            m_bench->clock().pause(m_in.ConsumeIntegralInRange(0, 2000) / 100.0);
            break;
        case 13:
            m_bench->clearFaults();
            break;
        case 14:
            call = "FindLstn";
            status = findListeners();
            break;
        }

        const double timeAfter = m_bench->clock().now();
        FUZZ_CHECK(timeAfter >= timeBefore, "the bench clock went back from %g to %g", timeBefore,
                   timeAfter);
        if (!call)
            return;
        FUZZ_CHECK(m_bench->trace().totalAdded() == linesBefore + 1, "%s added %zu trace lines",
                   call, m_bench->trace().totalAdded() - linesBefore);
        const Trace& trace = m_bench->trace();
        const BusCall traced = trace.records(trace.size() - 1).back();
        FUZZ_CHECK(traced.ibsta == status.ibsta && traced.iberr == status.iberr &&
                       traced.ibcntl == status.ibcntl,
                   "%s returned another status than it traced", call);
        const long ibsta = status.ibsta;
        const long iberr = status.iberr;
        FUZZ_CHECK((ibsta & sta::CMPL) && (ibsta & ~0xFFFFL) == 0, "%s left ibsta 0x%lX", call,
                   ibsta);
        if (ibsta & sta::ERR) {
            bool known = false;
            for (const int code : kKnownErrors)
                known = known || code == iberr;
            FUZZ_CHECK(known, "%s failed with unknown iberr %ld", call, iberr);
            FUZZ_CHECK(!(ibsta & sta::TIMO) || iberr == err::EABO, "%s set TIMO with iberr %ld",
                       call, iberr);
        }
        FUZZ_CHECK(status.ibcntl >= 0, "%s left ibcntl %ld", call, status.ibcntl);
    }

private:
    int board() { return m_in.ConsumeIntegralInRange(0, 15) == 0 ? 1 : 0; }

    Bench::UnitId unitId()
    {
        return m_in.ConsumeIntegralInRange<std::size_t>(0, m_bench->unitCount() - 1);
    }

    // Mostly the address words of real units (the 7379's channels among them), sometimes any.
    Addr4882 address()
    {
        switch (m_in.ConsumeIntegralInRange(0, 3)) {
        case 0:
            return m_in.ConsumeIntegral<Addr4882>();
        case 1:
            return static_cast<Addr4882>(25 | (0x60 + m_in.ConsumeIntegralInRange(10, 15)) << 8);
        default:
            return m_in.ConsumeIntegralInRange<Addr4882>(0, 31);
        }
    }

    int errorCode()
    {
        return kKnownErrors[m_in.ConsumeIntegralInRange<std::size_t>(0,
                                                                     std::size(kKnownErrors) - 1)];
    }

    UnitFaults faults()
    {
        UnitFaults f;
        f.silent = m_in.ConsumeBool();
        // Mostly delays a test would set, sometimes the doubles a caller could pass by mistake.
        constexpr double kOddDelays[] = {std::numeric_limits<double>::quiet_NaN(),
                                         std::numeric_limits<double>::infinity(), -0.0, 1e300};
        const int delay = m_in.ConsumeIntegralInRange(-1, 44);
        f.replyDelay = delay <= 40 ? delay / 4.0 : kOddDelays[delay - 41];
        if (m_in.ConsumeBool())
            f.garbage = m_in.ConsumeRandomLengthString(40);
        if (m_in.ConsumeBool())
            f.esrReply = m_in.ConsumeRandomLengthString(24);
        return f;
    }

    DriverStatus receive()
    {
        const int board = this->board();
        const Addr4882 address = this->address();
        const long count = m_in.ConsumeIntegralInRange(-1, 40);
        int termination = 0;
        switch (m_in.ConsumeIntegralInRange(0, 3)) {
        case 0:
            termination = '\n';
            break;
        case 1:
            termination = 0x100; // stop on END only
            break;
        case 2:
            termination = m_in.ConsumeIntegralInRange(-1, 0x101);
            break;
        default:
            break;
        }
        const std::size_t room = count > 0 ? static_cast<std::size_t>(count) : 0;
        std::unique_ptr<std::uint8_t[]> buffer(room ? new std::uint8_t[room] : nullptr);
        for (std::size_t i = 0; i < room; ++i)
            buffer[i] = 0xA5;
        Driver& d = m_bench->driver();
        const DriverStatus status = d.Receive(board, address, buffer.get(), count, termination);
        const long got = status.ibcntl;
        FUZZ_CHECK(got >= 0 && got <= std::max(count, 0L),
                   "Receive of %ld bytes reported %ld received", count, got);
        // What did not arrive is left as it was.
        for (std::size_t i = static_cast<std::size_t>(got); i < room; ++i)
            FUZZ_CHECK(buffer[i] == 0xA5, "Receive of %ld bytes (%ld received) wrote at %zu", count,
                       got, i);
        return status;
    }

    DriverStatus findListeners()
    {
        const int board = this->board();
        std::vector<Addr4882> list;
        const int asked = m_in.ConsumeIntegralInRange(0, 8);
        for (int i = 0; i < asked; ++i)
            list.push_back(m_in.ConsumeIntegralInRange<Addr4882>(0, 32));
        list.push_back(kNoAddress);
        const long limit = m_in.ConsumeIntegralInRange(-1, 40);
        const std::size_t room = limit > 0 ? static_cast<std::size_t>(limit) : 0;
        std::vector<Addr4882> found(room, 0xA5A5);
        Driver& d = m_bench->driver();
        const DriverStatus status =
            d.FindLstn(board, list.data(), found.empty() ? nullptr : found.data(), limit);
        const long got = status.ibcntl;
        if (!status.failed() || status.iberr == err::ETAB) {
            FUZZ_CHECK(got >= 0 && got <= std::max(limit, 0L),
                       "FindLstn with a limit of %ld reported %ld found", limit, got);
            // What it did not find is left as it was.
            for (std::size_t i = static_cast<std::size_t>(got); i < room; ++i)
                FUZZ_CHECK(found[i] == 0xA5A5, "FindLstn (%ld found) wrote at %zu", got, i);
        }
        return status;
    }

    FuzzedDataProvider& m_in;
    std::unique_ptr<Bench> m_bench = makeDefaultBench();
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    Run run(in);
    for (int steps = 0; steps < 64 && in.remaining_bytes() > 0; ++steps)
        run.step();
    return 0;
}
