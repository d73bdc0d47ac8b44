// SPDX-License-Identifier: GPL-3.0-or-later
// What the host Arduino layer (Arduino.h) runs on: the pins go to a PinBus, the serial port is a
// file descriptor (the pseudo-terminal's master side), time is the host's monotonic clock.
#pragma once

#include <cstdint>
#include <deque>

namespace ar488host {

class PinBus {
public:
    virtual ~PinBus() = default;
    virtual void pinMode(std::uint8_t pin, std::uint8_t mode) = 0;
    virtual void digitalWrite(std::uint8_t pin, std::uint8_t value) = 0;
    virtual int digitalRead(std::uint8_t pin) = 0;
};

void attachPins(PinBus& pins);
// The serial port reads and writes `fd`, which is non-blocking for reads.
void attachSerial(int fd);
// Takes what arrived on the serial port into its buffer; true when a byte waits there.
bool serialInputWaiting();
// No program has the port open (the pseudo-terminal's master side reports a hang-up).
bool serialClosed();
// Cells of the EEPROM written since start.
long eepromWrites();

} // namespace ar488host
