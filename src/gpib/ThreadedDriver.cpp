// SPDX-License-Identifier: GPL-3.0-or-later
#include "ThreadedDriver.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <condition_variable>
#include <mutex>

namespace gpibconfig {

ThreadedDriver::ThreadedDriver(std::unique_ptr<Driver> inner)
    : ThreadedDriver(Factory{})
{
    m_inner = std::move(inner);
}

ThreadedDriver::ThreadedDriver(Factory makeInner)
    : m_makeInner(std::move(makeInner))
{
    m_thread.setObjectName(QStringLiteral("GPIB bus"));
    m_worker = new QObject;
    m_worker->moveToThread(&m_thread);
    QObject::connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    // The thread starts with the first call: a program that only shows its window has no bus
    // thread to pay for at start-up.
}

ThreadedDriver::~ThreadedDriver()
{
    if (!m_thread.isRunning()) {
        // Never used: nothing was made on a bus thread.
        delete m_worker;
        m_inner.reset();
        return;
    }
    // The inner driver may hold Qt devices (a serial port, a socket) made on the bus thread;
    // they are let go on that thread.
    QMetaObject::invokeMethod(
        m_worker, [this] { m_inner.reset(); }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
}

void ThreadedDriver::makeInnerIfNeeded() const
{
    // The bus thread makes the driver before any call it runs; this call is only that.
    if (!m_inner)
        (void)run([] { return DriverStatus{}; });
}

void ThreadedDriver::replaceInner(Factory makeInner)
{
    // A driver made on the bus thread may hold Qt devices of that thread; it goes there.
    if (m_thread.isRunning())
        QMetaObject::invokeMethod(
            m_worker, [this] { m_inner.reset(); }, Qt::BlockingQueuedConnection);
    else
        m_inner.reset();
    // The bus thread reads the factory only in a call queued after this point.
    m_makeInner = std::move(makeInner);
}

bool ThreadedDriver::canFindListeners() const
{
    makeInnerIfNeeded();
    return m_inner->canFindListeners();
}

Driver& ThreadedDriver::inner()
{
    makeInnerIfNeeded();
    return *m_inner;
}

DriverStatus ThreadedDriver::run(const std::function<DriverStatus()>& call) const
{
    struct Completion {
        std::mutex mutex;
        std::condition_variable cv;
        std::atomic<bool> done{false};
        DriverStatus status;
    };
    auto completion = std::make_shared<Completion>();
    if (!m_thread.isRunning())
        m_thread.start();
    QCoreApplication* app = QCoreApplication::instance();
    const bool windowThread = app && QThread::currentThread() == app->thread();

    QMetaObject::invokeMethod(
        m_worker,
        [this, &call, completion, windowThread] {
            if (!m_inner)
                m_inner = m_makeInner();
            const DriverStatus status = call();
            {
                const std::lock_guard lock(completion->mutex);
                completion->status = status;
                completion->done.store(true, std::memory_order_release);
            }
            completion->cv.notify_all();
            // Wake the window thread's event loop; the application object outlives every call.
            if (windowThread)
                QMetaObject::invokeMethod(
                    QCoreApplication::instance(), [] {}, Qt::QueuedConnection);
        },
        Qt::QueuedConnection);

    if (windowThread) {
        // Sleeps until an event arrives; paint and timer events are served, input stays queued.
        while (!completion->done.load(std::memory_order_acquire))
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents |
                                            QEventLoop::WaitForMoreEvents);
    }
    std::unique_lock lock(completion->mutex);
    completion->cv.wait(lock, [&] { return completion->done.load(std::memory_order_acquire); });
    return completion->status;
}

DriverStatus ThreadedDriver::SendIFC(int board)
{
    return run([&] { return m_inner->SendIFC(board); });
}

DriverStatus ThreadedDriver::DevClear(int board, Addr4882 address)
{
    return run([&] { return m_inner->DevClear(board, address); });
}

DriverStatus ThreadedDriver::Send(int board, Addr4882 address, const std::uint8_t* data, long count,
                                  int eotMode)
{
    return run([&] { return m_inner->Send(board, address, data, count, eotMode); });
}

DriverStatus ThreadedDriver::Receive(int board, Addr4882 address, std::uint8_t* buffer, long count,
                                     int termination)
{
    return run([&] { return m_inner->Receive(board, address, buffer, count, termination); });
}

DriverStatus ThreadedDriver::SendCmds(int board, const std::uint8_t* commands, long count)
{
    return run([&] { return m_inner->SendCmds(board, commands, count); });
}

DriverStatus ThreadedDriver::ibonl(int ud, int v)
{
    return run([&] { return m_inner->ibonl(ud, v); });
}

DriverStatus ThreadedDriver::ibsre(int ud, int v)
{
    return run([&] { return m_inner->ibsre(ud, v); });
}

DriverStatus ThreadedDriver::ibtmo(int ud, int v)
{
    return run([&] { return m_inner->ibtmo(ud, v); });
}

DriverStatus ThreadedDriver::FindLstn(int board, const Addr4882* primaries, Addr4882* found,
                                      long limit)
{
    return run([&] { return m_inner->FindLstn(board, primaries, found, limit); });
}

QString ThreadedDriver::explainFailure(int ibsta, int iberr, long ibcntl) const
{
    // No call is running while the window asks, so the inner driver's state is settled. Before
    // the first call there is nothing to explain.
    return m_inner ? m_inner->explainFailure(ibsta, iberr, ibcntl) : QString();
}

} // namespace gpibconfig
