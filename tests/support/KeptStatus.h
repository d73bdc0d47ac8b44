// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "gpib/Driver.h"
#include "gpib/GpibStatus.h"

namespace gpibconfig::test {

// Passes every call on to another driver and copies the status each one returns into `kept`, as
// the access layer hands it on: for tests that make a call through a helper that drops its
// status, and look at that status afterwards.
class KeptStatus final : public Driver {
public:
    KeptStatus(Driver& inner, GpibStatus& kept)
        : m_inner(inner)
        , m_kept(kept)
    {
    }

    DriverStatus SendIFC(int b) override { return keep(m_inner.SendIFC(b)); }
    DriverStatus DevClear(int b, Addr4882 a) override { return keep(m_inner.DevClear(b, a)); }
    DriverStatus Send(int b, Addr4882 a, const std::uint8_t* d, long n, int e) override
    {
        return keep(m_inner.Send(b, a, d, n, e));
    }
    DriverStatus Receive(int b, Addr4882 a, std::uint8_t* d, long n, int t) override
    {
        return keep(m_inner.Receive(b, a, d, n, t));
    }
    DriverStatus SendCmds(int b, const std::uint8_t* c, long n) override
    {
        return keep(m_inner.SendCmds(b, c, n));
    }
    DriverStatus ibonl(int u, int v) override { return keep(m_inner.ibonl(u, v)); }
    DriverStatus ibsre(int u, int v) override { return keep(m_inner.ibsre(u, v)); }
    DriverStatus ibtmo(int u, int v) override { return keep(m_inner.ibtmo(u, v)); }
    bool canFindListeners() const override { return m_inner.canFindListeners(); }
    DriverStatus FindLstn(int b, const Addr4882* p, Addr4882* f, long n) override
    {
        return keep(m_inner.FindLstn(b, p, f, n));
    }
    QString explainFailure(int ibsta, int iberr, long ibcntl) const override
    {
        return m_inner.explainFailure(ibsta, iberr, ibcntl);
    }

private:
    DriverStatus keep(const DriverStatus& status)
    {
        m_kept = GpibStatus::of(status);
        return status;
    }

    Driver& m_inner;
    GpibStatus& m_kept;
};

} // namespace gpibconfig::test
