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
    explicit ThreadedDriver(std::unique_ptr<Driver> inner);
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
    bool canFindListeners() const override { return m_inner->canFindListeners(); }
    void FindLstn(int board, const Addr4882* primaries, Addr4882* found, long limit) override;
    long ThreadIbsta() override { return m_ibsta; }
    long ThreadIberr() override { return m_iberr; }
    long ThreadIbcnt() override { return m_ibcnt; }
    long ThreadIbcntl() override { return m_ibcntl; }
    QString explainFailure(int ibsta, int iberr, long ibcntl) const override;

    Driver& inner() { return *m_inner; }
    // The thread the calls run on (for tests).
    const QThread* busThread() const { return &m_thread; }

private:
    void run(const std::function<void()>& call);

    std::unique_ptr<Driver> m_inner;
    QThread m_thread;
    QObject* m_worker = nullptr; // lives on the bus thread
    long m_ibsta = 0, m_iberr = 0, m_ibcnt = 0, m_ibcntl = 0;
};

} // namespace gpibconfig
