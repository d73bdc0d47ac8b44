// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

class QSocketNotifier;
class QTcpServer;
class QTcpSocket;
class QTemporaryDir;

namespace gpibconfig::sim {

class Bench;

// A Prologix GPIB-USB / GPIB-ETHERNET controller in front of the bench, as its user manual
// describes it (and the AR488 command reference, which follows it), for tests and for trying the
// program's Prologix driver without hardware. It serves on a pseudo-terminal (the USB serial
// port) and on a loopback TCP port (the Ethernet model's port 1234), and turns what arrives into
// calls on the bench's board:
//
// - Input is split into lines at unescaped CR or LF; ESC makes the next byte plain data. A line
//   that starts with an unescaped "++" is a command, any other line is data for the addressed
//   device: the ++eos terminator is appended and it is sent with EOI on the last byte when
//   ++eoi is 1. With ++auto 1 a read follows every data line.
// - Commands: addr, auto, clr, eoi, eos, eot_enable, eot_char, ifc, mode, read [eoi|char],
//   read_tmo_ms, trg [PAD [SAD] ...], ver, rst, and loc/llo/savecfg/spoll/srq/status accepted
//   without effect. Without an argument a setting command answers its value. Anything else
//   answers "Unrecognized command".
// - ++read addresses the device to talk and passes on what it sends, unchanged, until EOI (eoi),
//   the given character, or a time-out of ++read_tmo_ms; with ++eot_enable 1 the ++eot_char
//   character follows when EOI came. Answers to commands end with CR LF.
// - At power-on (construction) it pulses IFC and asserts REN, as controller mode does.
//
// It misbehaves on request: never answering ++ver, closing the connection when a given command
// arrives (the pty is then "re-plugged" under the same path), holding its output back for a
// while (slower than the driver's time-outs).
//
// Everything runs on the thread that made it, from its event loop; the bench must be used from
// that thread only. The program under test therefore calls its driver from another thread (the
// ThreadedDriver's bus thread), while this thread keeps its event loop running.
class SimulatedPrologix final : public QObject {
    Q_OBJECT

public:
    explicit SimulatedPrologix(Bench& bench, QObject* parent = nullptr);
    ~SimulatedPrologix() override;

    // Serves on a new pseudo-terminal; returns a path to open it by that stays the same when
    // the pty is re-plugged after a drop. Empty when no pty could be made.
    QString servePty();
    // Serves on 127.0.0.1; port 0 takes a free one. Returns the port, 0 on failure.
    quint16 serveTcp(quint16 port = 0);

    // What ++ver answers.
    void setVersion(const QByteArray& text) { m_version = text; }
    // false: ++ver gets no answer at all (another device on the port, or a dead controller).
    void setAnswersVersion(bool answers) { m_answersVersion = answers; }
    // The connection is closed when a line starting with `prefix` arrives (before acting on it),
    // once. The pty comes back under the same path; the TCP port goes on listening.
    void dropOn(const QByteArray& prefix) { m_dropOn = prefix; }
    // Closes the connection now.
    void drop();
    // What is sent back goes out this many milliseconds late.
    void setOutputDelay(int ms) { m_outputDelayMs = ms; }

    // Every line received, in order: commands as written ("++addr 5"), data lines as
    // "data: " and the bytes with C escapes ("data: *ESR?\n").
    QStringList received() const { return m_received; }
    // Connections taken since construction (TCP connections, pty openings are not seen).
    int connections() const { return m_connections; }
    // Bytes taken in and handled since construction, on every connection.
    qint64 bytesReceived() const { return m_bytesReceived; }
    // ++read_tmo_ms in force.
    int readTimeoutMs() const { return m_readTimeoutMs; }

private:
    void onBytes(const QByteArray& bytes);
    void processLines();
    void handleCommand(const QByteArray& line);
    void handleData(const QByteArray& data);
    void readFromDevice(int mode, int character);
    void reply(const QByteArray& bytes);
    void writeOut(const QByteArray& bytes);
    void answer(const QByteArray& text) { reply(text + "\r\n"); }

    bool openPty();
    void closePty();
    void onPtyReadable();
    void onNewConnection();

    Bench& m_bench;

    // Settings, with the manual's power-on values.
    int m_mode = 1;
    int m_pad = 0;
    int m_sad = 0; // 96-126, 0 for none
    int m_auto = 0;
    int m_eoi = 1;
    int m_eos = 0;
    int m_eotEnable = 0;
    int m_eotChar = 0;
    int m_readTimeoutMs = 500;

    QByteArray m_version = "Prologix GPIB-USB Controller version 6.107";
    bool m_answersVersion = true;
    QByteArray m_dropOn;
    int m_outputDelayMs = 0;

    // Input parsing: the line so far, and whether each of its bytes came escaped.
    QByteArray m_line;
    QByteArray m_lineEscaped;
    bool m_escapeNext = false;
    QList<QPair<QByteArray, bool>> m_lines; // (bytes, starts with an unescaped "++")
    bool m_busy = false;

    // Where answers go: the connection the current input came from.
    bool m_replyToTcp = false;

    QStringList m_received;
    int m_connections = 0;
    qint64 m_bytesReceived = 0;

    // The pty.
    int m_master = -1;
    int m_slave = -1; // kept open so the far end can close and reopen without a hang-up
    QSocketNotifier* m_ptyNotifier = nullptr;
    std::unique_ptr<QTemporaryDir> m_linkDir;
    QString m_linkPath;

    // TCP.
    QTcpServer* m_server = nullptr;
    QTcpSocket* m_client = nullptr;
};

} // namespace gpibconfig::sim
