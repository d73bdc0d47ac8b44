// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Driver.h"

#include <QThread>
#include <atomic>
#include <functional>
#include <memory>

namespace gpibconfig {

// Runs every call of another driver on one dedicated bus thread. The driver keeps its status per
// thread, so the four status values are read on that thread right after each call and handed
// back with it. The calling (window) thread waits in a local event loop that keeps timers and
// painting alive but leaves keyboard and mouse input queued: a one-second time-out no longer
// freezes the window, and the operator still cannot act in the middle of a bus call.
class ThreadedDriver final : public Driver {
public:
    using Factory = std::function<std::unique_ptr<Driver>()>;

    explicit ThreadedDriver(std::unique_ptr<Driver> inner);
    // The driver is made on the bus thread when it is first needed, so that opening a vendor
    // library (which may pull in many more) is not part of the window's start-up and happens
    // while the window keeps painting. `makeInner` must not return null.
    explicit ThreadedDriver(Factory makeInner);
    ~ThreadedDriver() override;

    void SendIFC(int board) override;
    void DevClear(int board, Addr4882 address) override;
    void Send(int board, Addr4882 address, const std::uint8_t* data, long count,
              int eotMode) override;
    void Receive(int board, Addr4882 address, std::uint8_t* buffer, long count,
                 int termination) override;
    void SendCmds(int board, const std::uint8_t* commands, long count) override;
    int ibonl(int ud, int v) override;
    int ibsre(int ud, int v) override;
    int ibtmo(int ud, int v) override;
    bool canFindListeners() const override;
    void FindLstn(int board, const Addr4882* primaries, Addr4882* found, long limit) override;
    long ThreadIbsta() override { return m_ibsta; }
    long ThreadIberr() override { return m_iberr; }
    long ThreadIbcnt() override { return m_ibcnt; }
    long ThreadIbcntl() override { return m_ibcntl; }
    QString explainFailure(int ibsta, int iberr, long ibcntl) const override;

    // Lets the driver in use go (on the bus thread) and makes the next one with `makeInner` at
    // the next call: another controller without a restart. Called from the thread that makes the
    // calls, which waits for each, so never in the middle of a bus call.
    void replaceInner(Factory makeInner);

    Driver& inner();
    // The thread the calls run on (for tests).
    const QThread* busThread() const { return &m_thread; }

private:
    // Runs `call` on the bus thread; with `readStatus`, the four status values after it too.
    void run(const std::function<void()>& call, bool readStatus = true) const;
    void makeInnerIfNeeded() const;

    Factory m_makeInner;
    // Made on first use, from const members too (asking whether the driver can find listeners
    // is no change to it).
    mutable std::unique_ptr<Driver> m_inner;
    mutable QThread m_thread;
    QObject* m_worker = nullptr; // lives on the bus thread
    mutable long m_ibsta = 0, m_iberr = 0, m_ibcnt = 0, m_ibcntl = 0;
};

} // namespace gpibconfig
