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
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#if defined(Q_OS_LINUX)
#include <sys/inotify.h>
#endif
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

bool allDigits(const QByteArray& text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The value of leading decimal digits, at most 9 of them (what follows is left out).
long leadingValue(const QByteArray& digits)
{
    long value = 0;
    for (qsizetype i = 0; i < digits.size() && i < 9 && digits[i] >= '0' && digits[i] <= '9'; ++i)
        value = value * 10 + (digits[i] - '0');
    return value;
}

// C's atoi() on the firmware's text: blanks, a sign, then digits.
long atoiOf(const QByteArray& text)
{
    qsizetype i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    const long value = leadingValue(text.mid(i));
    return negative ? -value : value;
}

// strtok(): the pieces between any of `delimiters`, empty ones left out.
QList<QByteArray> tokens(const QByteArray& text, const char* delimiters)
{
    QList<QByteArray> out;
    QByteArray piece;
    for (const char c : text) {
        if (std::strchr(delimiters, c)) {
            if (!piece.isEmpty())
                out << std::exchange(piece, QByteArray());
        } else {
            piece += c;
        }
    }
    if (!piece.isEmpty())
        out << piece;
    return out;
}

std::string escaped(const QByteArray& bytes)
{
    return BusCall::escape(
        std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

} // namespace

std::optional<SimulatedPrologix::Firmware> SimulatedPrologix::firmwareNamed(const QString& name)
{
    const QStringList names = firmwareNames();
    const qsizetype at = names.indexOf(name.toLower());
    if (at < 0)
        return std::nullopt;
    return static_cast<Firmware>(at);
}

QStringList SimulatedPrologix::firmwareNames()
{
    // In the order of Firmware.
    return {QStringLiteral("prologix"), QStringLiteral("ar488-0.53"), QStringLiteral("ar488-0.51")};
}

SimulatedPrologix::SimulatedPrologix(Bench& bench, Firmware firmware, QObject* parent)
    : QObject(parent)
    , m_bench(bench)
    , m_firmware(firmware)
{
    m_clock.start();
    if (isAr488()) {
        // GPIBbus::setDefaultCfg(): controller mode, device address 1 (the controller's own is
        // 0), no EOI, read_tmo_ms 1200; no version string of its own.
        m_saved.pad = 1;
        m_saved.eoi = 0;
        m_saved.readTimeoutMs = 1200;
    } else {
        m_version = "Prologix GPIB-USB Controller version 6.107";
    }
    m_now = m_saved;
    m_outputTimer = new QTimer(this);
    m_outputTimer->setSingleShot(true);
    connect(m_outputTimer, &QTimer::timeout, this, &SimulatedPrologix::flushOutput);

    // Controller mode at power-on: interface clear makes it controller in charge, and remote
    // enable is asserted from then on.
    Driver& board = m_bench.driver();
    board.SendIFC(0);
    board.ibsre(0, 1);
    board.ibtmo(0, codeFor(m_now.readTimeoutMs));
}

SimulatedPrologix::~SimulatedPrologix()
{
    closePty();
    if (QTcpSocket* client = std::exchange(m_client, nullptr))
        client->abort();
}

void SimulatedPrologix::setPackets(int bytes, int gapMs)
{
    m_packetBytes = std::max(bytes, 0);
    m_packetGapMs = std::max(gapMs, 0);
}

void SimulatedPrologix::setResetOnOpen(int deafMs, bool banner)
{
    m_resetDeafMs = std::max(deafMs, 0);
    m_banner = banner;
}

void SimulatedPrologix::powerCycle()
{
    drop();
    restart(0);
}

QString SimulatedPrologix::settings() const
{
    const Settings& s = m_now;
    return QStringLiteral("addr %1%2 mode %3 auto %4 eoi %5 eos %6 eot_enable %7 eot_char %8 "
                          "read_tmo_ms %9")
        .arg(s.pad)
        .arg(s.sad ? QStringLiteral(" %1").arg(s.sad) : QString())
        .arg(s.mode)
        .arg(s.autoRead)
        .arg(s.eoi)
        .arg(s.eos)
        .arg(s.eotEnable)
        .arg(s.eotChar)
        .arg(s.readTimeoutMs);
}

QString SimulatedPrologix::lineSettings() const
{
    termios t{};
    if (m_slave < 0 || ::tcgetattr(m_slave, &t) != 0)
        return {};
    static constexpr std::pair<speed_t, int> kRates[] = {
        {B1200, 1200},   {B2400, 2400},   {B4800, 4800},     {B9600, 9600},
        {B19200, 19200}, {B38400, 38400}, {B57600, 57600}, {B115200, 115200}};
    const speed_t speed = ::cfgetospeed(&t);
    int rate = 0;
    for (const auto& [code, value] : kRates)
        if (code == speed)
            rate = value;
    int bits = 8;
    switch (t.c_cflag & CSIZE) {
    case CS5:
        bits = 5;
        break;
    case CS6:
        bits = 6;
        break;
    case CS7:
        bits = 7;
        break;
    default:
        break;
    }
    const char parity = (t.c_cflag & PARENB) ? ((t.c_cflag & PARODD) ? 'O' : 'E') : 'N';
    QStringList flow;
    if (t.c_cflag & CRTSCTS)
        flow << QStringLiteral("RTS/CTS");
    if (t.c_iflag & (IXON | IXOFF))
        flow << QStringLiteral("XON/XOFF");
    return QStringLiteral("%1 %2%3%4, %5")
        .arg(rate)
        .arg(bits)
        .arg(QLatin1Char(parity))
        .arg((t.c_cflag & CSTOPB) ? 2 : 1)
        .arg(flow.isEmpty() ? QStringLiteral("no flow control") : flow.join(QLatin1Char(' ')));
}

quint16 SimulatedPrologix::clientPort() const { return m_client ? m_client->peerPort() : 0; }

QByteArray SimulatedPrologix::firmwareText() const
{
    // FWVER of each release.
    switch (m_firmware) {
    case Firmware::Ar488_053:
        return "AR488 GPIB controller, ver. 0.53.04, 13/04/2025";
    case Firmware::Ar488_051:
        return "AR488 GPIB controller, ver. 0.51.09, 20/06/2022";
    case Firmware::Prologix:
        break;
    }
    return m_version;
}

SimulatedPrologix::Number SimulatedPrologix::number(const QByteArray& text, int low, int high) const
{
    switch (m_firmware) {
    case Firmware::Prologix: {
        bool ok = false;
        const int value = text.trimmed().toInt(&ok, 10);
        return ok && value >= low && value <= high ? Number{Parse::Ok, value} : Number{};
    }
    case Firmware::Ar488_053: {
        // notInRange(): nothing, or not digits only, is refused without a word; a number out of
        // range gets "Invalid parameter".
        if (text.isEmpty() || !allDigits(text))
            return {};
        const long value = text.size() > 9 ? 1'000'000'000L : leadingValue(text);
        if (value < low || value > high)
            return {Parse::Refused, 0};
        return {Parse::Ok, static_cast<int>(value)};
    }
    case Firmware::Ar488_051: {
        // notInRange(): atoi() into a uint16_t, then the range ("Unrecognized command").
        if (text.isEmpty())
            return {};
        const auto value = static_cast<std::uint16_t>(atoiOf(text));
        if (value < low || value > high)
            return {Parse::Refused, 0};
        return {Parse::Ok, static_cast<int>(value)};
    }
    }
    return {};
}

void SimulatedPrologix::refuse()
{
    // errorMsg(2) in 0.53.04, errBadCmd() in 0.51.09; the Prologix manual names no answer.
    if (m_firmware == Firmware::Ar488_053)
        answer("Invalid parameter");
    else if (m_firmware == Firmware::Ar488_051)
        answer("Unrecognized command");
}

void SimulatedPrologix::saved()
{
    // Prologix manual, "savecfg": with it on, an updated setting is written to the EEPROM.
    if (isAr488() || !m_saveCfg)
        return;
    m_saved = m_now;
    ++m_eepromWrites;
}

void SimulatedPrologix::restart(int deafMs)
{
    // What a reset of the board leaves: the saved settings, savecfg on again (Prologix), no
    // input half read, no output still to go; the bootloader takes what comes meanwhile.
    ++m_generation;
    m_now = m_saved;
    m_saveCfg = true;
    m_line.clear();
    m_lineEscaped.clear();
    m_escapeNext = false;
    m_lines.clear();
    m_stalled = false;
    m_inputRoom = -1;
    m_outgoing.clear();
    m_deafUntil = m_clock.elapsed() + deafMs;
    Driver& board = m_bench.driver();
    if (isAr488())
        board.SendIFC(0); // startControllerMode()
    board.ibtmo(0, codeFor(m_now.readTimeoutMs));
    if (m_banner)
        QTimer::singleShot(deafMs, this, [this, generation = m_generation] {
            if (generation != m_generation)
                return;
            m_replyToTcp = false;
            answer("AR488 ready (controller).");
        });
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
#if defined(Q_OS_LINUX)
    // An Arduino board restarts when its port is opened (DTR): who opens the pty is seen here.
    m_watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_watch >= 0 && ::inotify_add_watch(m_watch, name, IN_OPEN) >= 0) {
        m_watchNotifier = new QSocketNotifier(m_watch, QSocketNotifier::Read, this);
        connect(m_watchNotifier, &QSocketNotifier::activated, this,
                &SimulatedPrologix::onPtyOpened);
    }
#endif

    QFile::remove(m_linkPath);
    QFile::link(QString::fromLocal8Bit(name), m_linkPath);
    return true;
}

void SimulatedPrologix::closePty()
{
    if (m_watchNotifier) {
        m_watchNotifier->setEnabled(false);
        m_watchNotifier->deleteLater();
        m_watchNotifier = nullptr;
    }
    if (m_watch >= 0)
        ::close(m_watch);
    m_watch = -1;
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

void SimulatedPrologix::onPtyOpened()
{
    std::array<char, 4096> events{};
    int opened = 0;
    ssize_t n = 0;
    while ((n = ::read(m_watch, events.data(), events.size())) > 0) {
#if defined(Q_OS_LINUX)
        for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= n;) {
            inotify_event event{};
            std::memcpy(&event, events.data() + at, sizeof event);
            opened += (event.mask & IN_OPEN) ? 1 : 0;
            at += static_cast<ssize_t>(sizeof(inotify_event) + event.len);
        }
#endif
    }
    if (opened == 0 || m_resetDeafMs < 0)
        return;
    ++m_resets;
    restart(m_resetDeafMs);
}

void SimulatedPrologix::drop()
{
    m_outgoing.clear();
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
    if (m_dead || m_clock.elapsed() < m_deafUntil) {
        m_bytesReceived += bytes.size();
        return;
    }
    // While the firmware is busy, what does not fit the board's receive buffer is lost.
    QByteArrayView taken = bytes;
    if (m_inputRoom >= 0) {
        taken = taken.first(std::min<qsizetype>(taken.size(), m_inputRoom));
        m_inputRoom -= static_cast<int>(taken.size());
    }
    // GPIB-USB manual, section 7 "Data Transmission": an unescaped CR or LF ends a line; ESC
    // makes the next character plain data, whatever it is.
    for (const char c : taken) {
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
    // arrive; it is queued and handled in order here. A slow read holds everything after it.
    if (m_busy)
        return;
    m_busy = true;
    while (!m_lines.isEmpty() && !m_stalled) {
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
    // getCmd(): the word up to a blank, then everything after that blank.
    const QByteArray rest = line.mid(2);
    qsizetype cut = 0;
    while (cut < rest.size() && rest[cut] != ' ' && rest[cut] != '\t')
        ++cut;
    const QByteArray name = rest.left(cut).toLower();
    const QByteArray params = isAr488() ? rest.mid(cut + 1) : rest.mid(cut + 1).trimmed();
    const QList<QByteArray> args = params.simplified().split(' ');
    Driver& board = m_bench.driver();
    const auto word = [this] { return static_cast<Addr4882>(m_now.pad | (m_now.sad << 8)); };
    // A setting: no argument answers it, a valid one sets it (and, on Prologix, may write the
    // EEPROM), a refused one may be answered.
    const auto setting = [&](int Settings::*field, int low, int high) {
        if (params.isEmpty())
            return answer(QByteArray::number(m_now.*field));
        const Number n = number(params, low, high);
        if (n.how == Parse::Refused)
            return refuse();
        if (n.how == Parse::Ok) {
            m_now.*field = n.value;
            saved();
        }
    };

    // AR488: commands of controller mode only are unknown in device mode (getCmd()).
    static const QList<QByteArray> kControllerOnly = {"auto", "clr", "ifc",   "llo", "loc",
                                                      "read", "trg", "spoll", "srq", "read_tmo_ms"};
    if (isAr488() && m_now.mode == 0 && kControllerOnly.contains(name))
        return answer("Unrecognized command");

    if (name == "addr") {
        handleAddress(params);
    } else if (name == "auto") {
        setting(&Settings::autoRead, 0, isAr488() ? 3 : 1);
    } else if (name == "eoi") {
        setting(&Settings::eoi, 0, 1);
    } else if (name == "eos") {
        setting(&Settings::eos, 0, 3);
    } else if (name == "eot_enable") {
        setting(&Settings::eotEnable, 0, 1);
    } else if (name == "eot_char") {
        setting(&Settings::eotChar, 0, 255);
    } else if (name == "mode") {
        setting(&Settings::mode, 0, 1);
        // cmode_h(1) -> startControllerMode() -> sendAllClear(): delay(40) twice, without
        // reading the host.
        if (isAr488() && !params.isEmpty() && m_now.mode == 1)
            busyFor(80);
    } else if (name == "read_tmo_ms") {
        const int before = m_now.readTimeoutMs;
        setting(&Settings::readTimeoutMs, 1, isAr488() ? 32000 : 3000);
        if (m_now.readTimeoutMs != before)
            board.ibtmo(0, codeFor(m_now.readTimeoutMs));
    } else if (name == "clr") {
        board.DevClear(0, word());
    } else if (name == "ifc") {
        board.SendIFC(0);
    } else if (name == "trg") {
        handleTrigger(args, params);
    } else if (name == "read") {
        if (params.isEmpty())
            readFromDevice(0, 0);
        else if (args[0].toLower() == "eoi")
            readFromDevice(1, 0);
        else if (const auto c = toInt(args[0]); c && *c >= 0 && *c <= 255)
            readFromDevice(2, *c);
    } else if (name == "ver") {
        // ver_h(): "real" (three letters compared) names the firmware whatever verstr says.
        if (m_answersVersion)
            answer(params.left(3).toLower() == "rea" || m_version.isEmpty() ? firmwareText()
                                                                            : m_version);
    } else if (name == "savecfg") {
        if (isAr488()) {
            // save_h() takes no argument: it writes, whatever follows.
            m_saved = m_now;
            ++m_eepromWrites;
        } else if (params.isEmpty()) {
            answer(m_saveCfg ? "1" : "0");
        } else if (const Number n = number(params, 0, 1); n.how == Parse::Ok) {
            m_saveCfg = n.value == 1;
            if (m_saveCfg) {
                // "++savecfg 1" saves the current values at once.
                m_saved = m_now;
                ++m_eepromWrites;
            }
        }
    } else if (name == "rst") {
        restart(0);
    } else if (name == "spoll" || name == "srq") {
        answer("0");
    } else if (name == "loc" || name == "llo" || name == "status" || name == "lon") {
        // Accepted; nothing of it matters to the bench.
    } else {
        answer("Unrecognized command");
    }
}

void SimulatedPrologix::busyFor(int ms)
{
    // An Arduino Uno's serial receive buffer holds 64 bytes: what came after the command being
    // carried out and does not fit is lost.
    constexpr qsizetype kReceiveBuffer = 64;
    qsizetype held = m_line.size();
    qsizetype kept = 0;
    for (; kept < m_lines.size(); ++kept) {
        if (held + m_lines[kept].first.size() + 1 > kReceiveBuffer)
            break;
        held += m_lines[kept].first.size() + 1;
    }
    if (kept < m_lines.size()) {
        m_lines.resize(kept);
        m_line.clear();
        m_lineEscaped.clear();
    }
    m_inputRoom = static_cast<int>(kReceiveBuffer - held);
    m_stalled = true;
    QTimer::singleShot(ms, this, [this, generation = m_generation] {
        if (generation != m_generation)
            return;
        m_stalled = false;
        m_inputRoom = -1;
        processLines();
    });
}

void SimulatedPrologix::handleAddress(const QByteArray& params)
{
    switch (m_firmware) {
    case Firmware::Prologix: {
        if (params.isEmpty())
            return answer(QByteArray::number(m_now.pad) +
                          (m_now.sad ? ' ' + QByteArray::number(m_now.sad) : QByteArray()));
        const QList<QByteArray> args = params.simplified().split(' ');
        const Number pad = number(args[0], 0, 30);
        const Number sad = args.size() > 1 ? number(args[1], 96, 126) : Number{Parse::Ok, 0};
        if (pad.how == Parse::Ok && sad.how == Parse::Ok) {
            m_now.pad = pad.value;
            m_now.sad = sad.value;
            saved();
        }
        return;
    }
    case Firmware::Ar488_053: {
        // addr_h(): "25,108"; the controller's own address (0) refused, the one before kept.
        if (params.isEmpty())
            return answer(QByteArray::number(m_now.pad) +
                          (m_now.sad ? ',' + QByteArray::number(m_now.sad) : QByteArray()));
        const QList<QByteArray> parts = tokens(params, ", \t");
        if (parts.isEmpty() || !allDigits(parts[0]))
            return refuse();
        const Number pad = number(parts[0], 0, 30);
        if (pad.how != Parse::Ok || pad.value == 0)
            return refuse();
        m_now.pad = pad.value;
        m_now.sad = 0;
        if (parts.size() > 1) {
            if (!allDigits(parts[1]))
                return refuse(); // the primary address is already taken
            auto sad = static_cast<std::uint8_t>(leadingValue(parts[1]));
            if (sad < 31)
                sad = static_cast<std::uint8_t>(sad + 0x60);
            m_now.sad = sad;
        }
        return;
    }
    case Firmware::Ar488_051: {
        // addr_h(): the whole argument through notInRange(params, 1, 30), so the primary
        // address only, and 0 refused as out of range.
        if (params.isEmpty())
            return answer(QByteArray::number(m_now.pad));
        const Number pad = number(params, 1, 30);
        if (pad.how == Parse::Refused)
            return refuse();
        if (pad.how == Parse::Ok)
            m_now.pad = pad.value;
        return;
    }
    }
}

void SimulatedPrologix::handleTrigger(const QList<QByteArray>& args, const QByteArray& params)
{
    // Unlisten, each named device to listen, then group execute trigger. Without addresses: the
    // addressed device.
    QByteArray bytes(1, 0x3F);
    if (isAr488()) {
        // trg_h(): primary addresses 1 to 30, at most 15; without any, the primary address set
        // (not its secondary). One out of range and none is triggered.
        if (params.isEmpty()) {
            bytes += static_cast<char>(0x20 + m_now.pad);
        } else {
            const QList<QByteArray> parts = tokens(params, " \t").mid(0, 15);
            for (const QByteArray& part : parts) {
                const Number n = number(part, 1, 30);
                if (n.how == Parse::Refused)
                    return refuse();
                if (n.how != Parse::Ok)
                    return;
                bytes += static_cast<char>(0x20 + n.value);
            }
        }
    } else if (params.isEmpty()) {
        bytes += static_cast<char>(0x20 + m_now.pad);
        if (m_now.sad)
            bytes += static_cast<char>(m_now.sad);
    } else {
        // Prologix manual, "trg": a number of 96-126 is the secondary address of the one before.
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
    }
    bytes += char(0x08);
    m_bench.driver().SendCmds(0, reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                              static_cast<long>(bytes.size()));
}

void SimulatedPrologix::handleData(const QByteArray& data)
{
    m_received << QStringLiteral("data: ") + QString::fromStdString(escaped(data));
    if (m_now.mode != 1)
        return;
    static const QByteArray kTerminators[] = {"\r\n", "\r", "\n", ""};
    const QByteArray message = data + kTerminators[std::clamp(m_now.eos, 0, 3)];
    m_bench.driver().Send(0, static_cast<Addr4882>(m_now.pad | (m_now.sad << 8)),
                          reinterpret_cast<const std::uint8_t*>(message.constData()),
                          static_cast<long>(message.size()),
                          m_now.eoi ? eot::DABend : eot::NULLend);
    // ++auto 1 reads after every line; AR488's 2 after a query only.
    if (m_now.autoRead == 1 || (m_now.autoRead == 2 && data.endsWith('?')))
        readFromDevice(1, 0);
}

void SimulatedPrologix::readFromDevice(int mode, int character)
{
    // mode 0: until the time-out; 1: until EOI; 2: until `character` (or EOI).
    Driver& board = m_bench.driver();
    const auto address = static_cast<Addr4882>(m_now.pad | (m_now.sad << 8));
    QByteArray out;
    bool sawEoi = false;
    std::array<std::uint8_t, 256> chunk{};
    while (out.size() < 65536) {
        const DriverStatus received =
            board.Receive(0, address, chunk.data(), static_cast<long>(chunk.size()),
                          mode == 2 ? character : 0x0100);
        const long status = received.ibsta;
        const long count = std::clamp(received.ibcntl, 0L, static_cast<long>(chunk.size()));
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
    if (m_cutReadBytes >= 0) {
        // The talker stopped in mid-reply: no EOI, so no EOT character either.
        out.truncate(std::exchange(m_cutReadBytes, -1));
        sawEoi = false;
    }
    if (sawEoi && m_now.eotEnable)
        out += static_cast<char>(m_now.eotChar);
    if (m_slowReadMs > 0) {
        // The talker takes its time: the read ends later, and the firmware takes in nothing
        // before it has.
        m_stalled = true;
        QTimer::singleShot(std::exchange(m_slowReadMs, 0), this,
                           [this, out, toTcp = m_replyToTcp, generation = m_generation] {
                               if (generation != m_generation)
                                   return;
                               m_stalled = false;
                               m_replyToTcp = toTcp;
                               if (!out.isEmpty())
                                   reply(out);
                               processLines();
                           });
        return;
    }
    if (!out.isEmpty())
        reply(out);
}

// ---------------------------------------------------------------------------------------------
// Output

void SimulatedPrologix::reply(const QByteArray& bytes)
{
    if (m_dead)
        return;
    m_outgoing.append({bytes, m_replyToTcp, m_clock.elapsed() + m_outputDelayMs});
    flushOutput();
}

void SimulatedPrologix::flushOutput()
{
    while (!m_outgoing.isEmpty()) {
        Outgoing& next = m_outgoing.front();
        const qint64 now = m_clock.elapsed();
        const qint64 at = std::max(next.due, m_nextPacketAt);
        if (at > now) {
            m_outputTimer->start(static_cast<int>(at - now));
            return;
        }
        if (m_packetBytes <= 0) {
            writeOut(next.bytes, next.toTcp);
            m_outgoing.removeFirst();
            continue;
        }
        writeOut(next.bytes.left(m_packetBytes), next.toTcp);
        next.bytes.remove(0, m_packetBytes);
        if (next.bytes.isEmpty())
            m_outgoing.removeFirst();
        m_nextPacketAt = now + m_packetGapMs;
    }
}

void SimulatedPrologix::writeOut(const QByteArray& bytes, bool toTcp)
{
    if (toTcp) {
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
