// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Driver.h"

#include <QThread>
#include <atomic>
#include <functional>
#include <memory>

namespace gpibconfig {

// Runs every call of another driver on one dedicated bus thread and hands back the status that
// call returned (a library that keeps its status per thread has read it there, inside the call).
// The calling (window) thread waits in a local event loop that keeps timers and painting alive but
// leaves keyboard and mouse input queued: a one-second time-out no longer freezes the window, and
// the operator still cannot act in the middle of a bus call.
class ThreadedDriver final : public Driver {
public:
    using Factory = std::function<std::unique_ptr<Driver>()>;

    explicit ThreadedDriver(std::unique_ptr<Driver> inner);
    // The driver is made on the bus thread when it is first needed, so that opening a vendor
    // library (which may pull in many more) is not part of the window's start-up and happens
    // while the window keeps painting. `makeInner` must not return null.
    explicit ThreadedDriver(Factory makeInner);
    ~ThreadedDriver() override;

    DriverStatus SendIFC(int board) override;
    DriverStatus DevClear(int board, Addr4882 address) override;
    DriverStatus Send(int board, Addr4882 address, const std::uint8_t* data, long count,
                      int eotMode) override;
    DriverStatus Receive(int board, Addr4882 address, std::uint8_t* buffer, long count,
                         int termination) override;
    DriverStatus SendCmds(int board, const std::uint8_t* commands, long count) override;
    DriverStatus ibonl(int ud, int v) override;
    DriverStatus ibsre(int ud, int v) override;
    DriverStatus ibtmo(int ud, int v) override;
    bool canFindListeners() const override;
    DriverStatus FindLstn(int board, const Addr4882* primaries, Addr4882* found,
                          long limit) override;
    QString explainFailure(int ibsta, int iberr, long ibcntl) const override;

    // Lets the driver in use go (on the bus thread) and makes the next one with `makeInner` at
    // the next call: another controller without a restart. Called from the thread that makes the
    // calls, which waits for each, so never in the middle of a bus call.
    void replaceInner(Factory makeInner);

    Driver& inner();
    // The thread the calls run on (for tests).
    const QThread* busThread() const { return &m_thread; }

private:
    // Runs `call` on the bus thread and returns what it returned.
    DriverStatus run(const std::function<DriverStatus()>& call) const;
    void makeInnerIfNeeded() const;

    Factory m_makeInner;
    // Made on first use, from const members too (asking whether the driver can find listeners
    // is no change to it).
    mutable std::unique_ptr<Driver> m_inner;
    mutable QThread m_thread;
    QObject* m_worker = nullptr; // lives on the bus thread
};

} // namespace gpibconfig
