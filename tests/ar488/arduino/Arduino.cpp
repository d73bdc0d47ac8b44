// SPDX-License-Identifier: GPL-3.0-or-later
#include "Arduino.h"

#include "EEPROM.h"
#include "Host.h"
#include "avr/wdt.h"

#include <cerrno>
#include <chrono>
#include <deque>
#include <poll.h>
#include <thread>
#include <unistd.h>

HardwareSerial Serial;
EEPROMClass EEPROM;

namespace {

ar488host::PinBus* g_pins = nullptr;
int g_serialFd = -1;
std::deque<std::uint8_t> g_input;
const auto g_start = std::chrono::steady_clock::now();

std::chrono::steady_clock::duration sinceStart()
{
    return std::chrono::steady_clock::now() - g_start;
}

} // namespace

namespace ar488host {

void attachPins(PinBus& pins) { g_pins = &pins; }
void attachSerial(int fd) { g_serialFd = fd; }
long eepromWrites() { return EEPROM.writes(); }

bool serialClosed()
{
    pollfd link{g_serialFd, 0, 0};
    return g_serialFd < 0 || (::poll(&link, 1, 0) == 1 && (link.revents & POLLHUP) != 0);
}

bool serialInputWaiting()
{
    if (g_input.empty() && g_serialFd >= 0) {
        std::uint8_t chunk[256];
        const ssize_t n = ::read(g_serialFd, chunk, sizeof chunk);
        for (ssize_t i = 0; i < n; ++i)
            g_input.push_back(chunk[i]);
    }
    return !g_input.empty();
}

} // namespace ar488host

// The firmware's arithmetic expects these to wrap as an Arduino's 32-bit counters do.
unsigned long millis()
{
    using namespace std::chrono;
    return static_cast<std::uint32_t>(duration_cast<milliseconds>(sinceStart()).count());
}

unsigned long micros()
{
    using namespace std::chrono;
    return static_cast<std::uint32_t>(duration_cast<microseconds>(sinceStart()).count());
}

void delay(unsigned long ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
void delayMicroseconds(unsigned int us)
{
    std::this_thread::sleep_for(std::chrono::microseconds(us));
}

void pinMode(std::uint8_t pin, std::uint8_t mode)
{
    if (g_pins)
        g_pins->pinMode(pin, mode);
}
void digitalWrite(std::uint8_t pin, std::uint8_t value)
{
    if (g_pins)
        g_pins->digitalWrite(pin, value);
}
int digitalRead(std::uint8_t pin) { return g_pins ? g_pins->digitalRead(pin) : HIGH; }

void wdt_enable(int)
{
    std::fputs("ar488 host: the firmware reset the board (++rst), which this host does not "
               "model; it stops\n",
               stderr);
    std::exit(3);
}

// ---------------------------------------------------------------------------------------------
// Print and Stream

std::size_t Print::write(const std::uint8_t* bytes, std::size_t size)
{
    std::size_t n = 0;
    for (std::size_t i = 0; i < size; ++i)
        n += write(bytes[i]);
    return n;
}

std::size_t Print::print(const __FlashStringHelper* text)
{
    return print(reinterpret_cast<const char*>(text));
}

std::size_t Print::print(long value, int base)
{
    if (base == DEC) {
        char text[24];
        std::snprintf(text, sizeof text, "%ld", value);
        return write(text);
    }
    return print(static_cast<unsigned long>(value), base);
}

std::size_t Print::print(unsigned long value, int base)
{
    if (base < 2 || base > 16)
        base = DEC;
    char text[72];
    char* p = text + sizeof text - 1;
    *p = '\0';
    do {
        *--p = "0123456789ABCDEF"[value % static_cast<unsigned long>(base)];
        value /= static_cast<unsigned long>(base);
    } while (value != 0);
    return write(p);
}

std::size_t Print::print(double value, int digits)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", digits < 0 ? 0 : digits, value);
    return write(text);
}

int HardwareSerial::available()
{
    ar488host::serialInputWaiting();
    return static_cast<int>(g_input.size());
}

int HardwareSerial::read()
{
    if (!ar488host::serialInputWaiting())
        return -1;
    const int c = g_input.front();
    g_input.pop_front();
    return c;
}

int HardwareSerial::peek() { return ar488host::serialInputWaiting() ? g_input.front() : -1; }

// What the firmware prints while no program has the port open is lost, as on a board whose USB
// link nobody reads; so is output that a program leaves unread for a long time.
std::size_t HardwareSerial::write(const std::uint8_t* bytes, std::size_t size)
{
    if (ar488host::serialClosed())
        return size;
    std::size_t done = 0;
    const unsigned long start = millis();
    while (done < size && millis() - start < 2000) {
        const ssize_t n = ::write(g_serialFd, bytes + done, size - done);
        if (n > 0)
            done += static_cast<std::size_t>(n);
        else if (n < 0 && errno != EAGAIN && errno != EINTR)
            break;
        else
            delay(1);
    }
    return size;
}
