// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

class QSocketNotifier;
class QTcpServer;
class QTcpSocket;
class QTemporaryDir;
class QTimer;

namespace gpibconfig::sim {

class Bench;

// A "++" controller in front of the bench, for tests and for trying the program's Prologix driver
// without hardware, written from the controllers' own descriptions and not from the driver: the
// Prologix GPIB-USB / GPIB-ETHERNET user manual (6.107), and the AR488 firmware's source
// (AR488.ino of 0.53.04 and of 0.51.09) with its manual. It serves on a pseudo-terminal (the USB
// serial port) and on a loopback TCP port (the Ethernet model's port 1234), and turns what arrives
// into calls on the bench's board:
//
// - Input is split into lines at unescaped CR or LF; ESC makes the next byte plain data. A line
//   that starts with an unescaped "++" is a command, any other line is data for the addressed
//   device: the ++eos terminator is appended and it is sent with EOI on the last byte when
//   ++eoi is 1. With ++auto 1 a read follows every data line.
// - Commands: addr, auto, clr, eoi, eos, eot_enable, eot_char, ifc, mode, read [eoi|char],
//   read_tmo_ms, savecfg, trg, ver [real], rst, and loc/llo/spoll/srq/status/lon. Without an
//   argument a setting command answers its value. Answers end with CR LF.
// - ++read addresses the device to talk and passes on what it sends, unchanged, until EOI (eoi),
//   the given character, or a time-out of ++read_tmo_ms; with ++eot_enable 1 the ++eot_char
//   character follows when EOI came. Nothing else is taken in meanwhile.
// - At power-on (construction) it pulses IFC and asserts REN, as controller mode does.
//
// Where the firmwares differ (Firmware):
// - Refusals. Prologix: the manual says nothing of them; an unknown command answers
//   "Unrecognized command" and a bad argument is ignored. AR488 0.53.04: "Invalid parameter" for
//   an argument out of range (one that is not a number is ignored without a word), "Unrecognized
//   command" for an unknown command. AR488 0.51.09: "Unrecognized command" for both.
// - ++addr. Prologix: 0 to 30 and a secondary address of 96 to 126; the bare command answers
//   "5" or "25 108". AR488 0.53.04: refuses 0, its own address, and keeps the one before; takes a
//   secondary address; answers "25,108". AR488 0.51.09: refuses 0, reads the first number only
//   (a secondary address is dropped without a word) and answers the primary.
// - ++trg. Prologix: up to 15 primary addresses, each optionally followed by its secondary.
//   AR488: primary addresses 1 to 30 only; one out of range triggers none.
// - EEPROM. Prologix: with savecfg on (after every power-up and ++rst) each accepted addr, auto,
//   eoi, eos, eot_enable, eot_char, mode and read_tmo_ms is written; "++savecfg 1" writes at
//   once, "++savecfg 0" stops it. AR488: nothing is written but by ++savecfg, which writes at
//   once whatever its argument.
// - ++ver. AR488: the ++id verstr text (setVersion) or the firmware's own, which "++ver real"
//   always answers.
// - Power-on values: Prologix, which the manual does not give, address 0, ++eoi 1, read_tmo_ms
//   500 and the rest 0; AR488 those of GPIBbus::setDefaultCfg() (address 1, ++eoi 0,
//   read_tmo_ms 1200).
// - AR488 on an Arduino Uno: "++mode 1" keeps the firmware from reading for 80 ms, and what
//   arrives meanwhile beyond the 64 bytes of the board's receive buffer is lost.
//
// It misbehaves on request: never answering ++ver, closing the connection when a given command
// arrives (the pty is then "re-plugged" under the same path), holding its output back, ending a
// read late, cutting a reply short, handing its output on in packets, going dead, restarting when
// its port opens, losing power.
//
// Everything runs on the thread that made it, from its event loop; the bench must be used from
// that thread only. The program under test therefore calls its driver from another thread (the
// ThreadedDriver's bus thread), while this thread keeps its event loop running.
class SimulatedPrologix final : public QObject {
    Q_OBJECT

public:
    enum class Firmware {
        Prologix,  // Prologix GPIB-USB / GPIB-ETHERNET, firmware 6.x
        Ar488_053, // AR488 0.53.04
        Ar488_051, // AR488 0.51.09
    };
    // "prologix", "ar488-0.53", "ar488-0.51"
    static std::optional<Firmware> firmwareNamed(const QString& name);
    static QStringList firmwareNames();

    explicit SimulatedPrologix(Bench& bench, Firmware firmware = Firmware::Prologix,
                               QObject* parent = nullptr);
    ~SimulatedPrologix() override;

    // Serves on a new pseudo-terminal; returns a path to open it by that stays the same when
    // the pty is re-plugged after a drop. Empty when no pty could be made.
    QString servePty();
    // Serves on 127.0.0.1; port 0 takes a free one. Returns the port, 0 on failure.
    quint16 serveTcp(quint16 port = 0);

    Firmware firmware() const { return m_firmware; }
    // What ++ver answers (AR488: the text ++id verstr sets; "++ver real" still names AR488).
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
    // The next ++read ends this many milliseconds late (a talker that takes its time, longer
    // than the host waits): its output goes out then, and nothing is taken in meanwhile.
    void setSlowRead(int ms) { m_slowReadMs = ms; }
    // Output leaves in packets of `bytes` bytes, `gapMs` apart, as a USB serial chip hands it
    // on; 0 bytes: at once.
    void setPackets(int bytes, int gapMs);
    // A dead link: input is dropped unread, nothing is sent.
    void setDead(bool dead) { m_dead = dead; }
    // The next ++read hands on only the first `bytes` bytes of what the talker sends, then nothing
    // and no EOT character: a talker that stopped in mid-reply, whose read ends by ++read_tmo_ms.
    void setCutRead(int bytes) { m_cutReadBytes = bytes; }
    // Power lost and back: the connection goes (the pty is re-plugged, a TCP client cut off) and
    // the firmware starts again from its EEPROM, as after a reset.
    void powerCycle();
    // An Arduino board restarts when its serial port is opened (the pty here): its settings come
    // back from the EEPROM, input is lost for `deafMs` while the bootloader runs, then the
    // firmware prints its banner if built with SAY_HELLO ("AR488 ready (controller).").
    void setResetOnOpen(int deafMs, bool banner = false);

    // Every line received, in order: commands as written ("++addr 5"), data lines as
    // "data: " and the bytes with C escapes ("data: *ESR?\n").
    QStringList received() const { return m_received; }
    // Connections taken since construction (TCP connections, pty openings are not seen).
    int connections() const { return m_connections; }
    // Bytes taken in and handled (or lost while deaf or dead) since construction.
    qint64 bytesReceived() const { return m_bytesReceived; }
    // ++read_tmo_ms in force.
    int readTimeoutMs() const { return m_now.readTimeoutMs; }
    // The settings in force, as "addr 5 mode 1 auto 0 eoi 1 eos 3 eot_enable 1 eot_char 4
    // read_tmo_ms 100" ("addr 25 108" with a secondary address).
    QString settings() const;
    // The pty's line settings as the host's port set them: "115200 8N1, no flow control"
    // ("RTS/CTS", "XON/XOFF"); empty when not serving a pty.
    QString lineSettings() const;
    // The TCP client's port (on the host's side of its connection); 0 without a client.
    quint16 clientPort() const;
    // Writes of the configuration to the EEPROM since construction.
    int eepromWrites() const { return m_eepromWrites; }
    // Restarts of the firmware on an opening of its port.
    int resets() const { return m_resets; }

private:
    // What the firmware keeps of its configuration (and writes to its EEPROM).
    struct Settings {
        int mode = 1;
        int pad = 0;
        int sad = 0; // 96-126, 0 for none
        int autoRead = 0;
        int eoi = 1;
        int eos = 0;
        int eotEnable = 0;
        int eotChar = 0;
        int readTimeoutMs = 500;
    };
    enum class Parse { Ok, Ignored, Refused };
    struct Number {
        Parse how = Parse::Ignored;
        int value = 0;
    };

    bool isAr488() const { return m_firmware != Firmware::Prologix; }
    Number number(const QByteArray& text, int low, int high) const;
    void refuse();
    void saved();
    void restart(int deafMs);
    QByteArray firmwareText() const;

    void onBytes(const QByteArray& bytes);
    void processLines();
    void handleCommand(const QByteArray& line);
    void handleAddress(const QByteArray& params);
    void handleTrigger(const QList<QByteArray>& args, const QByteArray& params);
    void handleData(const QByteArray& data);
    void readFromDevice(int mode, int character);
    void busyFor(int ms);
    void reply(const QByteArray& bytes);
    void flushOutput();
    void writeOut(const QByteArray& bytes, bool toTcp);
    void answer(const QByteArray& text) { reply(text + "\r\n"); }

    bool openPty();
    void closePty();
    void onPtyReadable();
    void onPtyOpened();
    void onNewConnection();

    Bench& m_bench;
    const Firmware m_firmware;

    Settings m_now;
    Settings m_saved; // in the EEPROM
    bool m_saveCfg = true;
    int m_eepromWrites = 0;
    int m_resets = 0;

    QByteArray m_version;
    bool m_answersVersion = true;
    QByteArray m_dropOn;
    int m_outputDelayMs = 0;
    int m_slowReadMs = 0;
    int m_cutReadBytes = -1; // -1: reads pass on the whole reply
    bool m_dead = false;
    int m_resetDeafMs = -1; // -1: no reset on open
    bool m_banner = false;
    QElapsedTimer m_clock;
    qint64 m_deafUntil = 0;
    int m_generation = 0; // restarts of the firmware: what was under way before is forgotten

    // Input parsing: the line so far, and whether each of its bytes came escaped.
    QByteArray m_line;
    QByteArray m_lineEscaped;
    bool m_escapeNext = false;
    QList<QPair<QByteArray, bool>> m_lines; // (bytes, starts with an unescaped "++")
    bool m_busy = false;
    bool m_stalled = false; // a slow ++read or a busy command runs: input waits
    int m_inputRoom = -1;   // bytes the receive buffer still takes while stalled (-1: any)

    // Output: what is still to go, in order, with when it may leave.
    struct Outgoing {
        QByteArray bytes;
        bool toTcp = false;
        qint64 due = 0;
    };
    QList<Outgoing> m_outgoing;
    QTimer* m_outputTimer = nullptr;
    int m_packetBytes = 0;
    int m_packetGapMs = 0;
    qint64 m_nextPacketAt = 0;

    // Where answers go: the connection the current input came from.
    bool m_replyToTcp = false;

    QStringList m_received;
    int m_connections = 0;
    qint64 m_bytesReceived = 0;

    // The pty.
    int m_master = -1;
    int m_slave = -1; // kept open so the far end can close and reopen without a hang-up
    QSocketNotifier* m_ptyNotifier = nullptr;
    int m_watch = -1; // inotify: who opens the pty
    QSocketNotifier* m_watchNotifier = nullptr;
    std::unique_ptr<QTemporaryDir> m_linkDir;
    QString m_linkPath;

    // TCP.
    QTcpServer* m_server = nullptr;
    QTcpSocket* m_client = nullptr;
};

} // namespace gpibconfig::sim
