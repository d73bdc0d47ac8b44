// SPDX-License-Identifier: GPL-3.0-or-later
// The AR488 firmware as a program on this computer: its serial port on a pseudo-terminal, its GPIB
// pins on a virtual bus in front of the simulated bench (the 27 units, entry n at address n, the
// 7379's channels at 25 with secondaries 11-14). A test opens the pseudo-terminal as a Prologix
// controller's serial port and looks at the bench through the control channel:
//
//   stdout, first line:   pty <path of the pseudo-terminal>
//   stdin, one command a line; each answer ends with a line holding only "."
//     eeprom                          cells of the controller's EEPROM written so far
//     unit <unit>                     primary=<n> switch=<n> onswitch=<0|1>
//                                     needstrigger=<0|1> triggered=<0|1> locked=<0|1> saved=<0|1>
//     setting <unit> <header> [ch]    the value the unit holds ("?" for a header it lacks)
//     saved <unit> <header> [ch]      the value a power cycle brings back
//     messages                        every message a unit took: <model>[/<channel>] <text>
//     cycle <unit>                    switches the unit off and on
//     add <model> <address>           installs another unit
//   <unit> is a model (its first unit) or @<primary address>.
//   End of input ends the program.
//
// Everything runs on one thread: the firmware's loop, and between two rounds of it the control
// channel. When the firmware has nothing to do it waits in poll() for the serial port or the
// control channel.
#include "VirtualGpibBus.h"
#include "arduino/Arduino.h"
#include "arduino/Host.h"
#include "sim/Bench.h"
#include "sim/BusDevices.h"

#include <cerrno>
#include <fcntl.h>
#include <iostream>
#include <poll.h>
#include <sstream>
#include <string>
#include <termios.h>
#include <unistd.h>

// The firmware's own (AR488.ino).
void setup();
void loop();
extern std::uint8_t lnRdy;
extern bool autoRead;
extern bool isSrqa;

namespace {

using gpibconfig::sim::Bench;

int openPty(std::string& path)
{
    const int fd = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0 || ::grantpt(fd) != 0 || ::unlockpt(fd) != 0)
        return -1;
    // Raw both ways from the start, as a USB serial link: the line discipline neither echoes nor
    // turns line feeds into CR LF before the test's program sets the port up.
    termios raw{};
    if (::tcgetattr(fd, &raw) == 0) {
        ::cfmakeraw(&raw);
        ::tcsetattr(fd, TCSANOW, &raw);
    }
    const char* name = ::ptsname(fd);
    if (!name)
        return -1;
    path = name;
    return fd;
}

// Waits for a byte on the serial port or a control command. While no program has the
// pseudo-terminal open the master side reports a hang-up at once, so it is looked at again
// every few milliseconds instead.
void waitForWork(int pty)
{
    if (ar488host::serialClosed()) {
        pollfd control{STDIN_FILENO, POLLIN, 0};
        ::poll(&control, 1, 20);
        return;
    }
    pollfd fds[2] = {{pty, POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
    ::poll(fds, 2, -1);
}

class Control {
public:
    explicit Control(Bench& bench)
        : m_bench(bench)
    {
    }

    // Answers the commands that arrived; false at the end of input.
    bool serve()
    {
        pollfd p{STDIN_FILENO, POLLIN, 0};
        while (::poll(&p, 1, 0) == 1 && (p.revents & (POLLIN | POLLHUP)) != 0) {
            char chunk[512];
            const ssize_t n = ::read(STDIN_FILENO, chunk, sizeof chunk);
            if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN))
                return false;
            for (ssize_t i = 0; i < n; ++i) {
                if (chunk[i] != '\n') {
                    m_line.push_back(chunk[i]);
                    continue;
                }
                answer(m_line);
                m_line.clear();
            }
        }
        return true;
    }

private:
    Bench::UnitId find(const std::string& unit) const
    {
        if (unit.empty() || unit[0] != '@')
            return m_bench.unitId(unit);
        const int primary = std::stoi(unit.substr(1));
        const auto views = m_bench.units();
        for (std::size_t id = 0; id < views.size(); ++id) {
            if (views[id].primary == primary)
                return id;
        }
        throw std::out_of_range("no unit at " + unit.substr(1));
    }

    void answer(const std::string& line)
    {
        std::istringstream in(line);
        std::string command, model, header;
        in >> command >> model;
        try {
            if (command == "eeprom") {
                std::cout << ar488host::eepromWrites() << '\n';
            } else if (command == "unit") {
                const auto view = m_bench.unit(find(model));
                std::cout << "primary=" << view.primary << " switch=" << view.switchAddress
                          << " onswitch=" << view.onSwitchAddress
                          << " needstrigger=" << view.needsTrigger
                          << " triggered=" << view.triggered << " locked=" << view.locked
                          << " saved=" << view.everSaved << " psc=" << view.powerOnClear << '\n';
            } else if (command == "setting" || command == "saved") {
                std::size_t channel = 0;
                in >> header >> channel;
                const auto id = find(model);
                const auto value = command == "saved" ? m_bench.savedSetting(id, header, channel)
                                                      : m_bench.setting(id, header, channel);
                std::cout << value.value_or("?") << '\n';
            } else if (command == "messages") {
                for (const auto& m : m_bench.devices().messages()) {
                    std::cout << m.model;
                    if (m_bench.unit(m_bench.unitId(m.model)).channels.size() > 1)
                        std::cout << '/' << m.channel;
                    std::cout << ' ' << m.text << '\n';
                }
            } else if (command == "cycle") {
                m_bench.powerCycle(find(model));
            } else if (command == "add") {
                int address = 0;
                in >> address;
                m_bench.addUnit(model, address);
            } else {
                std::cout << "error: unknown command " << command << '\n';
            }
        } catch (const std::exception& e) {
            std::cout << "error: " << e.what() << '\n';
        }
        std::cout << ".\n" << std::flush;
    }

    Bench& m_bench;
    std::string m_line;
};

} // namespace

int main()
{
    std::string path;
    const int pty = openPty(path);
    if (pty < 0) {
        std::cerr << "ar488 host: no pseudo-terminal: " << std::strerror(errno) << '\n';
        return 1;
    }
    auto bench = gpibconfig::sim::makeDefaultBench();
    ar488host::VirtualGpibBus bus(bench->devices());
    ar488host::attachPins(bus);
    ar488host::attachSerial(pty);
    Control control(*bench);
    std::cout << "pty " << path << '\n' << std::flush;

    setup();
    for (;;) {
        loop();
        if (!control.serve())
            return 0;
        if (lnRdy == 0 && !autoRead && !isSrqa && !ar488host::serialInputWaiting())
            waitForWork(pty);
    }
}
