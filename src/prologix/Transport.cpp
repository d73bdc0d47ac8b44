// SPDX-License-Identifier: GPL-3.0-or-later
#include "Transport.h"

#include <QFileInfo>
#include <QHostAddress>
#include <QSerialPort>
#include <QTcpSocket>

#if defined(Q_OS_LINUX) || defined(Q_OS_MACOS)
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#endif

namespace gpibconfig::prologix {

Transport::~Transport() = default;

bool Transport::open()
{
    close();
    m_fault = Fault::None;
    m_detail.clear();
    m_device = openDevice();
    return m_device != nullptr;
}

void Transport::close()
{
    if (m_device)
        m_device->close();
    m_device.reset();
}

void Transport::setFault(Fault fault, QString detail)
{
    m_fault = fault;
    m_detail = std::move(detail);
}

void Transport::noteClosed()
{
    if (m_fault == Fault::None)
        setFault(Fault::Closed, m_device ? m_device->errorString() : QString());
    close();
}

bool Transport::isOpen()
{
    if (!m_device)
        return false;
    // A zero wait lets the device take in what the other end did since (data, hang-up, FIN).
    m_device->waitForReadyRead(0);
    if (!deviceAlive(*m_device)) {
        noteClosed();
        return false;
    }
    return true;
}

bool Transport::write(const QByteArray& bytes, int timeoutMs)
{
    if (!m_device)
        return false;
    if (m_device->write(bytes) != bytes.size()) {
        setFault(Fault::Io, m_device->errorString());
        close();
        return false;
    }
    while (m_device->bytesToWrite() > 0) {
        if (!m_device->waitForBytesWritten(timeoutMs)) {
            if (!deviceAlive(*m_device))
                noteClosed();
            else
                setFault(Fault::Io, m_device->errorString());
            close();
            return false;
        }
    }
    return true;
}

bool Transport::waitForBytes(int timeoutMs)
{
    if (!m_device)
        return false;
    if (m_device->bytesAvailable() > 0)
        return true;
    if (m_device->waitForReadyRead(timeoutMs > 0 ? timeoutMs : 0))
        return true;
    if (!deviceAlive(*m_device)) {
        // Bytes that came just before the hang-up still count.
        if (m_device->bytesAvailable() > 0)
            return true;
        noteClosed();
    }
    return false;
}

QByteArray Transport::takeAll() { return m_device ? m_device->readAll() : QByteArray(); }

namespace {

class SerialTransport final : public Transport {
public:
    explicit SerialTransport(QString port)
        : m_port(std::move(port))
    {
    }
    QString where() const override { return m_port; }
    bool isNetwork() const override { return false; }

protected:
    std::unique_ptr<QIODevice> openDevice() override
    {
        auto port = std::make_unique<QSerialPort>();
        port->setPortName(m_port);
        port->setBaudRate(QSerialPort::Baud115200);
        port->setDataBits(QSerialPort::Data8);
        port->setParity(QSerialPort::NoParity);
        port->setStopBits(QSerialPort::OneStop);
        port->setFlowControl(QSerialPort::NoFlowControl);
        if (!port->open(QIODevice::ReadWrite)) {
            setFault(openFault(port->error()), port->errorString());
            return nullptr;
        }
        return port;
    }
    bool deviceAlive(QIODevice& device) const override
    {
        // A port whose device vanished (USB unplugged, the far end of a pty closed) reports a
        // resource or read error and reads nothing more; only a waited-out read is harmless.
        auto& port = static_cast<QSerialPort&>(device);
        const auto error = port.error();
        return port.isOpen() &&
               (error == QSerialPort::NoError || error == QSerialPort::TimeoutError);
    }

private:
    // Qt reports a port held by another program (Windows; a lock file elsewhere) and one the
    // user may not open alike; a port the user may read and write is held by someone else.
    Fault openFault(QSerialPort::SerialPortError error) const
    {
        if (error != QSerialPort::PermissionError)
            return Fault::CannotOpen;
#if defined(Q_OS_WIN)
        return Fault::PortBusy;
#else
        const QFileInfo file(m_port);
        return file.exists() && file.isReadable() && file.isWritable() ? Fault::PortBusy
                                                                       : Fault::NoPermission;
#endif
    }

    QString m_port;
};

// Keep-alive as kDefaultTcpPort's comment says; Qt sets the option, the system the times.
void keepAlive(QTcpSocket& socket)
{
    socket.setSocketOption(QAbstractSocket::KeepAliveOption, 1);
#if defined(Q_OS_LINUX) || defined(Q_OS_MACOS)
    const auto fd = static_cast<int>(socket.socketDescriptor());
    if (fd < 0)
        return;
    const auto set = [fd](int option, int value) {
        ::setsockopt(fd, IPPROTO_TCP, option, &value, sizeof value);
    };
#if defined(Q_OS_LINUX)
    set(TCP_KEEPIDLE, 5);
    set(TCP_USER_TIMEOUT, 10000);
#else
    set(TCP_KEEPALIVE, 5);
#endif
    set(TCP_KEEPINTVL, 2);
    set(TCP_KEEPCNT, 3);
#endif
}

class TcpTransport final : public Transport {
public:
    TcpTransport(QString host, quint16 port, int connectTimeoutMs)
        : m_host(std::move(host))
        , m_port(port)
        , m_connectTimeoutMs(connectTimeoutMs)
    {
    }
    QString where() const override
    {
        const bool ipv6 = m_host.contains(QLatin1Char(':'));
        return (ipv6 ? QLatin1Char('[') + m_host + QLatin1Char(']') : m_host) + QLatin1Char(':') +
               QString::number(m_port);
    }
    bool isNetwork() const override { return true; }

protected:
    std::unique_ptr<QIODevice> openDevice() override
    {
        auto socket = std::make_unique<QTcpSocket>();
        socket->connectToHost(m_host, m_port);
        if (!socket->waitForConnected(m_connectTimeoutMs)) {
            switch (socket->error()) {
            case QAbstractSocket::ConnectionRefusedError:
                setFault(Fault::Refused, socket->errorString());
                break;
            case QAbstractSocket::HostNotFoundError:
                setFault(Fault::HostNotFound, socket->errorString());
                break;
            case QAbstractSocket::SocketTimeoutError:
                setFault(Fault::ConnectTimeout, socket->errorString());
                break;
            default:
                setFault(Fault::Unreachable, socket->errorString());
                break;
            }
            socket->abort();
            return nullptr;
        }
        // Commands are a few bytes each; do not let them wait for more.
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        keepAlive(*socket);
        return socket;
    }
    bool deviceAlive(QIODevice& device) const override
    {
        return static_cast<QTcpSocket&>(device).state() == QAbstractSocket::ConnectedState;
    }

private:
    QString m_host;
    quint16 m_port;
    int m_connectTimeoutMs;
};

} // namespace

std::unique_ptr<Transport> makeSerialTransport(const QString& port)
{
    return std::make_unique<SerialTransport>(port);
}

std::unique_ptr<Transport> makeTcpTransport(const QString& host, quint16 port, int connectTimeoutMs)
{
    return std::make_unique<TcpTransport>(host, port, connectTimeoutMs);
}

} // namespace gpibconfig::prologix
