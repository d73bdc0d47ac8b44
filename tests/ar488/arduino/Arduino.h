// SPDX-License-Identifier: GPL-3.0-or-later
// The part of the Arduino core the AR488 firmware uses, for a host build: time from the host's
// monotonic clock, pins on the virtual GPIB bus, the serial port on a pseudo-terminal (see
// Host.h). Flash memory is ordinary memory here, so the PROGMEM helpers are the plain ones.
#pragma once

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

using byte = std::uint8_t;
using boolean = bool;

constexpr std::uint8_t LOW = 0;
constexpr std::uint8_t HIGH = 1;
constexpr std::uint8_t INPUT = 0;
constexpr std::uint8_t OUTPUT = 1;
constexpr std::uint8_t INPUT_PULLUP = 2;

// The analogue pins of an Uno, where the custom layout puts DIO1-6.
constexpr std::uint8_t A0 = 14, A1 = 15, A2 = 16, A3 = 17, A4 = 18, A5 = 19, A6 = 20, A7 = 21;

// The last EEPROM address of an ATmega328P, as <avr/io.h> gives it: the firmware saves its
// settings only where this is defined (see EEPROM.h).
#define E2END 0x3FF

constexpr int DEC = 10;
constexpr int HEX = 16;
constexpr int OCT = 8;
constexpr int BIN = 2;

unsigned long millis();
unsigned long micros();
void delay(unsigned long ms);
void delayMicroseconds(unsigned int us);
void pinMode(std::uint8_t pin, std::uint8_t mode);
void digitalWrite(std::uint8_t pin, std::uint8_t value);
int digitalRead(std::uint8_t pin);

#define PROGMEM
#define PGM_P const char*
#define PSTR(s) (s)
class __FlashStringHelper;
#define F(s) (reinterpret_cast<const __FlashStringHelper*>(s))
#define pgm_read_byte(p) (*reinterpret_cast<const std::uint8_t*>(p))
#define pgm_read_byte_near(p) pgm_read_byte(p)
#define pgm_read_word(p) (*(p))
#define strlen_P std::strlen
#define strcpy_P std::strcpy
#define strncpy_P std::strncpy
#define strcmp_P std::strcmp
#define strncmp_P std::strncmp
#define memcpy_P std::memcpy
#define sprintf_P std::sprintf

// avr-libc has it; glibc only from 2.38 on.
#if defined(__GLIBC__) && (__GLIBC__ < 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ < 38))
inline std::size_t strlcpy(char* to, const char* from, std::size_t size)
{
    const std::size_t length = std::strlen(from);
    if (size > 0) {
        const std::size_t n = length < size - 1 ? length : size - 1;
        std::memcpy(to, from, n);
        to[n] = '\0';
    }
    return length;
}
#endif

class Print {
public:
    virtual ~Print() = default;
    virtual std::size_t write(std::uint8_t byte) = 0;
    virtual std::size_t write(const std::uint8_t* bytes, std::size_t size);
    std::size_t write(const char* text) { return text ? write(text, std::strlen(text)) : 0; }
    std::size_t write(const char* bytes, std::size_t size)
    {
        return write(reinterpret_cast<const std::uint8_t*>(bytes), size);
    }
    virtual void flush() {}

    std::size_t print(const __FlashStringHelper* text);
    std::size_t print(const char* text) { return write(text); }
    std::size_t print(char c) { return write(static_cast<std::uint8_t>(c)); }
    std::size_t print(unsigned char value, int base = DEC)
    {
        return print(static_cast<unsigned long>(value), base);
    }
    std::size_t print(int value, int base = DEC) { return print(static_cast<long>(value), base); }
    std::size_t print(unsigned int value, int base = DEC)
    {
        return print(static_cast<unsigned long>(value), base);
    }
    std::size_t print(long value, int base = DEC);
    std::size_t print(unsigned long value, int base = DEC);
    std::size_t print(double value, int digits = 2);

    std::size_t println() { return write("\r\n"); }
    template <typename T> std::size_t println(T value)
    {
        const std::size_t n = print(value);
        return n + println();
    }
    template <typename T> std::size_t println(T value, int format)
    {
        const std::size_t n = print(value, format);
        return n + println();
    }
};

class Stream : public Print {
public:
    virtual int available() = 0;
    virtual int read() = 0;
    virtual int peek() = 0;
    void setTimeout(unsigned long) {}
};

// The serial port: the firmware's side of the pseudo-terminal the host serves.
class HardwareSerial : public Stream {
public:
    void begin(unsigned long) {}
    void end() {}
    explicit operator bool() const { return true; }
    int available() override;
    int read() override;
    int peek() override;
    using Print::write;
    std::size_t write(std::uint8_t byte) override { return write(&byte, 1); }
    std::size_t write(const std::uint8_t* bytes, std::size_t size) override;
};

extern HardwareSerial Serial;
