// SPDX-License-Identifier: GPL-3.0-or-later
#include "SimulatedPrologix.h"

#include "gpib/BusCall.h"
#include "gpib/Driver.h"
#include "sim/Bench.h"
#include "sim/Board.h"
#include "sim/Trace.h"

#include <QFile>
#include <QHostAddress>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

namespace gpibconfig::sim {

namespace {

constexpr char kCR = '\r', kLF = '\n', kEsc = 0x1B;

// The board's time-out code for a controller time-out: the shortest that waits at least as long.
int codeFor(int ms)
{
    constexpr int kLongest = 17;
    for (int code = 1; code < kLongest; ++code)
        if (Board::timeoutSeconds(code) * 1000.0 >= ms)
            return code;
    return kLongest;
}

std::optional<int> toInt(const QByteArray& token)
{
    bool ok = false;
    const int value = token.toInt(&ok, 10);
    return ok ? std::optional<int>(value) : std::nullopt;
}

std::string escaped(const QByteArray& bytes)
{
    return BusCall::escape(
        std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

} // namespace

SimulatedPrologix::SimulatedPrologix(Bench& bench, QObject* parent)
    : QObject(parent)
    , m_bench(bench)
{
    // Controller mode at power-on: interface clear makes it controller in charge, and remote
    // enable is asserted from then on.
    Driver& board = m_bench.driver();
    board.SendIFC(0);
    board.ibsre(0, 1);
    board.ibtmo(0, codeFor(m_readTimeoutMs));
}

SimulatedPrologix::~SimulatedPrologix()
{
    closePty();
    if (QTcpSocket* client = std::exchange(m_client, nullptr))
        client->abort();
}

// ---------------------------------------------------------------------------------------------
// Serving

bool SimulatedPrologix::openPty()
{
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0)
        return false;
    char name[128] = {};
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0 ||
        ::ptsname_r(master, name, sizeof name) != 0) {
        ::close(master);
        return false;
    }
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    const int slave = ::open(name, O_RDWR | O_NOCTTY);
    if (slave < 0) {
        ::close(master);
        return false;
    }
    // A USB serial port passes bytes as they are: no echo, no line editing, no CR/LF mapping.
    termios raw{};
    ::tcgetattr(slave, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(slave, TCSANOW, &raw);

    m_master = master;
    m_slave = slave;
    m_ptyNotifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_ptyNotifier, &QSocketNotifier::activated, this, &SimulatedPrologix::onPtyReadable);

    QFile::remove(m_linkPath);
    QFile::link(QString::fromLocal8Bit(name), m_linkPath);
    return true;
}

void SimulatedPrologix::closePty()
{
    if (m_ptyNotifier) {
        m_ptyNotifier->setEnabled(false);
        m_ptyNotifier->deleteLater();
        m_ptyNotifier = nullptr;
    }
    // Closing both ends hangs up whoever still has the port open, as pulling the plug does.
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_master >= 0)
        ::close(m_master);
    m_slave = m_master = -1;
}

QString SimulatedPrologix::servePty()
{
    if (!m_linkDir) {
        m_linkDir = std::make_unique<QTemporaryDir>();
        if (!m_linkDir->isValid())
            return {};
        m_linkPath = m_linkDir->filePath(QStringLiteral("ttyPROLOGIX0"));
    }
    if (m_master < 0 && !openPty())
        return {};
    return m_linkPath;
}

quint16 SimulatedPrologix::serveTcp(quint16 port)
{
    if (!m_server) {
        m_server = new QTcpServer(this);
        connect(m_server, &QTcpServer::newConnection, this, &SimulatedPrologix::onNewConnection);
    }
    if (!m_server->isListening() && !m_server->listen(QHostAddress::LocalHost, port))
        return 0;
    return m_server->serverPort();
}

void SimulatedPrologix::onNewConnection()
{
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        // The Ethernet controller serves one client; a new one takes over.
        if (QTcpSocket* previous = std::exchange(m_client, nullptr)) {
            previous->abort();
            previous->deleteLater();
        }
        m_client = socket;
        ++m_connections;
        m_line.clear();
        m_lineEscaped.clear();
        m_escapeNext = false;
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
            if (socket != m_client)
                return;
            m_replyToTcp = true;
            onBytes(socket->readAll());
        });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            if (socket == m_client)
                m_client = nullptr;
            socket->deleteLater();
        });
    }
}

void SimulatedPrologix::onPtyReadable()
{
    std::array<char, 4096> buffer{};
    while (m_master >= 0) {
        const ssize_t n = ::read(m_master, buffer.data(), buffer.size());
        if (n <= 0)
            break;
        m_replyToTcp = false;
        onBytes(QByteArray(buffer.data(), static_cast<qsizetype>(n)));
    }
}

void SimulatedPrologix::drop()
{
    m_line.clear();
    m_lineEscaped.clear();
    m_escapeNext = false;
    m_lines.clear();
    // abort() reports the disconnection at once, which forgets the client; keep hold of it.
    if (QTcpSocket* client = std::exchange(m_client, nullptr)) {
        client->abort();
        client->deleteLater();
    }
    if (m_master >= 0) {
        // Unplugged and plugged in again: a new pty under the same path.
        closePty();
        openPty();
    }
}

// ---------------------------------------------------------------------------------------------
// Input

void SimulatedPrologix::onBytes(const QByteArray& bytes)
{
    // GPIB-USB manual, section 7 "Data Transmission": an unescaped CR or LF ends a line; ESC
    // makes the next character plain data, whatever it is.
    for (const char c : bytes) {
        if (m_escapeNext) {
            m_line += c;
            m_lineEscaped += '\1';
            m_escapeNext = false;
        } else if (c == kEsc) {
            m_escapeNext = true;
        } else if (c == kCR || c == kLF) {
            if (!m_line.isEmpty()) {
                const bool command = m_line.startsWith("++") && m_lineEscaped.at(0) == '\0' &&
                                     m_lineEscaped.at(1) == '\0';
                m_lines.append({m_line, command});
            }
            m_line.clear();
            m_lineEscaped.clear();
        } else {
            m_line += c;
            m_lineEscaped += '\0';
        }
    }
    processLines();
    m_bytesReceived += bytes.size();
}

void SimulatedPrologix::processLines()
{
    // The board may wait in real time (a nested event loop), during which more input can
    // arrive; it is queued and handled in order here.
    if (m_busy)
        return;
    m_busy = true;
    while (!m_lines.isEmpty()) {
        const auto [line, command] = m_lines.takeFirst();
        if (!m_dropOn.isEmpty() && line.startsWith(m_dropOn)) {
            m_dropOn.clear();
            m_received << QString::fromLatin1(line) + QStringLiteral(" (dropped)");
            drop();
            break;
        }
        if (command)
            handleCommand(line);
        else
            handleData(line);
    }
    m_busy = false;
}

void SimulatedPrologix::handleCommand(const QByteArray& line)
{
    m_received << QString::fromLatin1(line);
    const QList<QByteArray> tokens = line.mid(2).simplified().split(' ');
    const QByteArray name = tokens.value(0).toLower();
    const QList<QByteArray> args = tokens.mid(1);
    Driver& board = m_bench.driver();
    const auto word = [this] { return static_cast<Addr4882>(m_pad | (m_sad << 8)); };
    // A setting: no argument answers it, a valid one sets it, an invalid one is ignored.
    const auto setting = [&](int& value, int low, int high) {
        if (args.isEmpty())
            return answer(QByteArray::number(value));
        if (const auto v = toInt(args[0]); v && *v >= low && *v <= high)
            value = *v;
    };

    if (name == "addr") {
        if (args.isEmpty())
            return answer(QByteArray::number(m_pad) +
                          (m_sad ? ' ' + QByteArray::number(m_sad) : QByteArray()));
        const auto pad = toInt(args[0]);
        const auto sad = args.size() > 1 ? toInt(args[1]) : std::optional<int>(0);
        if (pad && *pad >= 0 && *pad <= 30 && sad && (*sad == 0 || (*sad >= 96 && *sad <= 126))) {
            m_pad = *pad;
            m_sad = *sad;
        }
    } else if (name == "auto") {
        setting(m_auto, 0, 1);
    } else if (name == "eoi") {
        setting(m_eoi, 0, 1);
    } else if (name == "eos") {
        setting(m_eos, 0, 3);
    } else if (name == "eot_enable") {
        setting(m_eotEnable, 0, 1);
    } else if (name == "eot_char") {
        setting(m_eotChar, 0, 255);
    } else if (name == "mode") {
        setting(m_mode, 0, 1);
    } else if (name == "read_tmo_ms") {
        const int before = m_readTimeoutMs;
        setting(m_readTimeoutMs, 1, 3000);
        if (m_readTimeoutMs != before)
            board.ibtmo(0, codeFor(m_readTimeoutMs));
    } else if (name == "clr") {
        board.DevClear(0, word());
    } else if (name == "ifc") {
        board.SendIFC(0);
    } else if (name == "trg") {
        // Unlisten, each named device to listen (a number of 96-126 is the secondary address of
        // the one before), then group execute trigger. Without addresses: the addressed device.
        QByteArray bytes(1, 0x3F);
        if (args.isEmpty()) {
            bytes += static_cast<char>(0x20 + m_pad);
            if (m_sad)
                bytes += static_cast<char>(m_sad);
        }
        for (const QByteArray& arg : args) {
            const auto v = toInt(arg);
            if (!v)
                return;
            if (*v >= 96 && *v <= 126 && bytes.size() > 1)
                bytes += static_cast<char>(*v);
            else if (*v >= 0 && *v <= 30)
                bytes += static_cast<char>(0x20 + *v);
            else
                return;
        }
        bytes += char(0x08);
        board.SendCmds(0, reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                       static_cast<long>(bytes.size()));
    } else if (name == "read") {
        if (args.isEmpty())
            readFromDevice(0, 0);
        else if (args[0].toLower() == "eoi")
            readFromDevice(1, 0);
        else if (const auto c = toInt(args[0]); c && *c >= 0 && *c <= 255)
            readFromDevice(2, *c);
    } else if (name == "ver") {
        if (m_answersVersion)
            answer(m_version);
    } else if (name == "rst") {
        m_mode = 1;
        m_pad = m_sad = m_auto = m_eos = m_eotEnable = m_eotChar = 0;
        m_eoi = 1;
        m_readTimeoutMs = 500;
        board.ibtmo(0, codeFor(m_readTimeoutMs));
    } else if (name == "spoll" || name == "srq") {
        answer("0");
    } else if (name == "loc" || name == "llo" || name == "savecfg" || name == "status" ||
               name == "lon") {
        // Accepted; nothing of it matters to the bench.
    } else {
        answer("Unrecognized command");
    }
}

void SimulatedPrologix::handleData(const QByteArray& data)
{
    m_received << QStringLiteral("data: ") + QString::fromStdString(escaped(data));
    if (m_mode != 1)
        return;
    static const QByteArray kTerminators[] = {"\r\n", "\r", "\n", ""};
    const QByteArray message = data + kTerminators[std::clamp(m_eos, 0, 3)];
    m_bench.driver().Send(0, static_cast<Addr4882>(m_pad | (m_sad << 8)),
                          reinterpret_cast<const std::uint8_t*>(message.constData()),
                          static_cast<long>(message.size()), m_eoi ? eot::DABend : eot::NULLend);
    if (m_auto)
        readFromDevice(1, 0);
}

void SimulatedPrologix::readFromDevice(int mode, int character)
{
    // mode 0: until the time-out; 1: until EOI; 2: until `character` (or EOI).
    Driver& board = m_bench.driver();
    const auto address = static_cast<Addr4882>(m_pad | (m_sad << 8));
    QByteArray out;
    bool sawEoi = false;
    std::array<std::uint8_t, 256> chunk{};
    while (out.size() < 65536) {
        board.Receive(0, address, chunk.data(), static_cast<long>(chunk.size()),
                      mode == 2 ? character : 0x0100);
        const long status = board.ThreadIbsta();
        const long count = std::clamp(board.ThreadIbcntl(), 0L, static_cast<long>(chunk.size()));
        out.append(reinterpret_cast<const char*>(chunk.data()), static_cast<qsizetype>(count));
        if (status & sta::ERR)
            break; // the time-out ran out, or nobody talks
        if (status & sta::END) {
            const bool byCharacter =
                mode == 2 && !out.isEmpty() && static_cast<unsigned char>(out.back()) == character;
            sawEoi = !byCharacter;
            if (mode != 0)
                break;
        }
    }
    if (sawEoi && m_eotEnable)
        out += static_cast<char>(m_eotChar);
    if (!out.isEmpty())
        reply(out);
}

// ---------------------------------------------------------------------------------------------
// Output

void SimulatedPrologix::reply(const QByteArray& bytes)
{
    if (m_outputDelayMs > 0) {
        const bool toTcp = m_replyToTcp;
        QTimer::singleShot(m_outputDelayMs, this, [this, bytes, toTcp] {
            m_replyToTcp = toTcp;
            writeOut(bytes);
        });
        return;
    }
    writeOut(bytes);
}

void SimulatedPrologix::writeOut(const QByteArray& bytes)
{
    if (m_replyToTcp) {
        if (m_client)
            m_client->write(bytes);
        return;
    }
    qsizetype done = 0;
    while (m_master >= 0 && done < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.constData() + done,
                                  static_cast<std::size_t>(bytes.size() - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return;
        // The far end is slow to read: wait for room, a little at a time.
        pollfd room{m_master, POLLOUT, 0};
        if (::poll(&room, 1, 200) <= 0)
            return;
    }
}

} // namespace gpibconfig::sim
