// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <memory>

class QIODevice;

namespace gpibconfig::prologix {

// The byte stream to a controller: a serial port (USB CDC, or a pseudo-terminal in tests) or a
// TCP connection. Every wait is a waitFor* with a time-out on the calling thread, which in the
// program is the bus thread, so nothing here spins. The Qt device is made at open() on the thread
// that uses it, as Qt's devices belong to the thread that made them.
class Transport {
public:
    enum class Fault {
        None,
        CannotOpen,     // the serial port could not be opened
        NoPermission,   // the serial port: the user may not open it
        PortBusy,       // the serial port: another program holds it
        Refused,        // TCP: connection refused
        HostNotFound,   // TCP: the name does not resolve
        ConnectTimeout, // TCP: no answer to the connection request
        Unreachable,    // TCP: no route, network down and the like
        Closed,         // the other end went away (unplugged, connection closed)
        Io,             // a write did not get through
    };

    virtual ~Transport();

    // Where the controller is, as the operator named it ("/dev/ttyUSB0", "192.168.1.50:1234").
    virtual QString where() const = 0;
    // True when the stream is a network connection (for the wording of reports).
    virtual bool isNetwork() const = 0;

    // Opens the stream; on false, fault() and detail() say why.
    bool open();
    void close();
    // Still usable: opened and not gone away since. Notices a peer that went away since the last
    // look without waiting.
    bool isOpen();
    // Writes all bytes, waiting at most `timeoutMs` for them to leave.
    bool write(const QByteArray& bytes, int timeoutMs);
    // Waits at most `timeoutMs` for bytes; true when some are there to take.
    bool waitForBytes(int timeoutMs);
    QByteArray takeAll();

    Fault fault() const { return m_fault; }
    // The system's words for the fault, when it gave any.
    QString detail() const { return m_detail; }

protected:
    // Makes and opens the device; on failure sets the fault with setFault() and returns null.
    virtual std::unique_ptr<QIODevice> openDevice() = 0;
    // Whether the open device still reaches the other end.
    virtual bool deviceAlive(QIODevice& device) const = 0;
    void setFault(Fault fault, QString detail);

private:
    void noteClosed();

    std::unique_ptr<QIODevice> m_device;
    Fault m_fault = Fault::None;
    QString m_detail;
};

// A serial port at 115200 baud, 8N1, no flow control: what AR488 boards expect; the Prologix
// GPIB-USB controller ignores the rate of its virtual port.
std::unique_ptr<Transport> makeSerialTransport(const QString& port);
// A TCP connection; the Prologix GPIB-ETHERNET controller listens on port 1234. Keep-alive probes
// go out after 5 s without traffic, every 2 s, and 3 unanswered ones (or data unacknowledged for
// 10 s) end the connection, where the system lets those be set (Linux, macOS): a pulled cable
// then closes the connection within seconds instead of after the system's two hours.
inline constexpr quint16 kDefaultTcpPort = 1234;
std::unique_ptr<Transport> makeTcpTransport(const QString& host, quint16 port,
                                            int connectTimeoutMs);

} // namespace gpibconfig::prologix
