// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sim/Bench.h"
#include "sim/vxi11/SimulatedGateway.h"

#include <QObject>
#include <QThread>
#include <functional>
#include <memory>

namespace gpibconfig::test {

// The simulated gateway in front of a default bench (virtual time), on a thread of its own with
// its event loop, so that the blocking VXI-11 client can be called from the test's thread. The
// bench and gateway are touched only through run(), on their thread.
class GatewayOnThread {
public:
    GatewayOnThread()
    {
        m_context.moveToThread(&m_thread);
        m_thread.start();
        run([this] {
            m_bench = sim::makeDefaultBench();
            m_gateway = std::make_unique<sim::vxi11::SimulatedGateway>(*m_bench);
            m_corePort = m_gateway->serve(0);
            m_abortPort = m_gateway->abortPort();
            m_portmapperPort = m_gateway->servePortmapper(0);
        });
    }
    ~GatewayOnThread()
    {
        run([this] {
            m_gateway.reset();
            m_bench.reset();
        });
        m_thread.quit();
        m_thread.wait();
    }
    GatewayOnThread(const GatewayOnThread&) = delete;
    GatewayOnThread& operator=(const GatewayOnThread&) = delete;

    // Runs `task` on the gateway's thread and waits for it.
    void run(const std::function<void()>& task)
    {
        QMetaObject::invokeMethod(&m_context, task, Qt::BlockingQueuedConnection);
    }
    // Runs `task` with the gateway, on its thread.
    void withGateway(const std::function<void(sim::vxi11::SimulatedGateway&)>& task)
    {
        run([&] { task(*m_gateway); });
    }
    // Runs `task` with the bench behind the gateway, on its thread.
    void withBench(const std::function<void(sim::Bench&)>& task)
    {
        run([&] { task(*m_bench); });
    }

    quint16 corePort() const { return m_corePort; }
    quint16 abortPort() const { return m_abortPort; }
    quint16 portmapperPort() const { return m_portmapperPort; }

private:
    QThread m_thread;
    QObject m_context;
    std::unique_ptr<sim::Bench> m_bench;
    std::unique_ptr<sim::vxi11::SimulatedGateway> m_gateway;
    quint16 m_corePort = 0;
    quint16 m_abortPort = 0;
    quint16 m_portmapperPort = 0;
};

} // namespace gpibconfig::test
