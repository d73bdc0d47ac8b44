// SPDX-License-Identifier: GPL-3.0-or-later
#include "gpib/ThreadedDriver.h"
#include "support/BusRecords.h"
#include "support/FakeDriver.h"

#include <QApplication>
#include <QSemaphore>
#include <QTest>
#include <QTimer>
#include <thread>

using namespace gpibconfig;

namespace {

// Records the thread of every call and takes its time on the bus.
class SlowDriver : public test::FakeDriver {
public:
    QSet<QThread*> threads;
    std::function<void()> during;
    DriverStatus SendIFC(int board) override
    {
        threads << QThread::currentThread();
        if (during)
            during();
        return FakeDriver::SendIFC(board);
    }
    DriverStatus Receive(int board, Addr4882 a, std::uint8_t* buffer, long count, int term) override
    {
        threads << QThread::currentThread();
        return FakeDriver::Receive(board, a, buffer, count, term);
    }
};

} // namespace

class ThreadedDriverTest : public QObject {
    Q_OBJECT

private slots:
    void callsRunOnOneBusThreadAndTheirStatusComesBack()
    {
        auto inner = std::make_unique<SlowDriver>();
        SlowDriver* fake = inner.get();
        ThreadedDriver driver(std::move(inner));
        fake->replies.push_back("5\n");
        std::uint8_t buffer[18];
        std::fill(std::begin(buffer), std::end(buffer), ' ');
        driver.SendIFC(0);
        const DriverStatus received = driver.Receive(0, 5, buffer, 18, 0);
        QCOMPARE(fake->threads.size(), 1);
        QVERIFY(!fake->threads.contains(QThread::currentThread()));
        QCOMPARE(buffer[0], std::uint8_t('5'));
        QCOMPARE(received.ibcntl, 2L);
        QCOMPARE(received.ibsta, long(sta::CMPL));
        QCOMPARE(test::requests(fake->calls),
                 (std::vector{BusCall::sendIfc(0), BusCall::receive(0, 5, 18, 0)}));
    }

    void statusOfAFailedCallComesBackWithIt()
    {
        auto inner = std::make_unique<SlowDriver>();
        inner->statusFor = test::failing(BusCall::Kind::SendIFC, err::ENEB);
        ThreadedDriver driver(std::move(inner));
        const DriverStatus status = driver.SendIFC(0);
        QCOMPARE(status.ibsta, long(sta::ERR | sta::CMPL));
        QCOMPARE(status.iberr, long(err::ENEB));
    }

    void theWindowKeepsServingTimersDuringACall()
    {
        // The bus call waits for a timer of the window thread; with a frozen window thread the
        // timer could never fire and the call would give up.
        auto inner = std::make_unique<SlowDriver>();
        QSemaphore timerFired;
        bool windowAlive = false;
        inner->during = [&] { windowAlive = timerFired.tryAcquire(1, 10000); };
        ThreadedDriver driver(std::move(inner));
        QTimer::singleShot(0, [&] { timerFired.release(); });
        driver.SendIFC(0);
        QVERIFY(windowAlive);
    }

    // A driver made on first use: nothing before, on the bus thread, once, and let go there.
    void aDriverMadeOnFirstUseIsMadeAndDestroyedOnTheBusThread()
    {
        int made = 0;
        QThread* madeOn = nullptr;
        QThread* destroyedOn = nullptr;
        SlowDriver* fake = nullptr;
        struct Watched : SlowDriver {
            QThread** destroyedOn = nullptr;
            ~Watched() override { *destroyedOn = QThread::currentThread(); }
        };
        const auto factory = [&]() -> std::unique_ptr<Driver> {
            ++made;
            madeOn = QThread::currentThread();
            auto inner = std::make_unique<Watched>();
            inner->destroyedOn = &destroyedOn;
            inner->statusFor = test::failing(BusCall::Kind::SendIFC, err::ENEB);
            fake = inner.get();
            return inner;
        };
        {
            ThreadedDriver driver(factory);
            QCOMPARE(made, 0);
            QVERIFY(driver.explainFailure(sta::ERR, err::EDVR, 0).isEmpty());
            QVERIFY(!driver.canFindListeners()); // asks the driver, so makes it
            QCOMPARE(made, 1);
            QVERIFY(fake->calls.empty()); // making it is no call
            driver.SendIFC(0);
            QCOMPARE(driver.SendIFC(0).iberr, long(err::ENEB));
            QCOMPARE(made, 1);
            QCOMPARE(fake->threads, QSet<QThread*>{madeOn});
            QVERIFY(madeOn != QThread::currentThread());

            // Another controller: the old driver goes at once, on the bus thread; the new one is
            // made there at the next call.
            QThread* busThread = madeOn;
            driver.replaceInner(factory);
            QCOMPARE(destroyedOn, busThread);
            QCOMPARE(made, 1);
            driver.SendIFC(0);
            QCOMPARE(made, 2);
            QCOMPARE(fake->threads, QSet<QThread*>{busThread});
            destroyedOn = nullptr;
        }
        QCOMPARE(destroyedOn, madeOn);
    }

    void callsFromAnotherThreadWaitWithoutAnEventLoop()
    {
        ThreadedDriver driver(std::make_unique<SlowDriver>());
        DriverStatus status;
        std::thread other([&] { status = driver.SendIFC(0); });
        other.join();
        QCOMPARE(status.ibsta, long(sta::CMPL));
    }
};

QTEST_MAIN(ThreadedDriverTest)
#include "tst_threaded_driver.moc"
