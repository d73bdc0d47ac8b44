// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "arduino/Host.h"

#include <array>
#include <cstdint>
#include <optional>

namespace gpibconfig::sim {
class BusDevices;
}

namespace ar488host {

// The GPIB bus the firmware's pins are wired to, with the bench's units as the other devices.
//
// The sixteen lines are open collector: a line is asserted (low) when any side pulls it low. The
// firmware pulls a line low with a pin in OUTPUT mode written LOW; INPUT and INPUT_PULLUP release
// it. As on an AVR, INPUT_PULLUP latches the output level HIGH and INPUT latches it LOW, so a pin
// switched to OUTPUT drives what was latched.
//
// The devices act when the firmware reads a pin (step()), never on their own: the firmware writes
// a byte's data lines, DAV and EOI one pin after the other and only then looks at NRFD and NDAC,
// so the devices see the whole byte, as real ones do microseconds later. They do:
// - Acceptor handshake: with ATN asserted every unit switched on takes part, with ATN released
//   only units addressed to listen. A ready acceptor holds NDAC and releases NRFD; when DAV is
//   asserted it takes the byte (a command byte with ATN, else data with EOI as END), holds NRFD
//   and releases NDAC; when DAV is released it holds NDAC and releases NRFD again. With no
//   acceptor both lines stay released, so a source waiting for NDAC times out.
// - Source handshake: with ATN released and a unit addressed to talk, that unit puts its next
//   reply byte on the bus (EOI with a reply's last byte) and asserts DAV once NRFD is released
//   and NDAC held, and takes the byte back when NDAC is released. ATN asserted stops it.
// - IFC clears every unit's addressing.
// SRQ is never asserted; REN is not looked at.
//
// The firmware's handshakes wait in loops bounded by millis(); while the bus stays as it was the
// firmware is waiting for something no device will do, so reads sleep a little to keep a
// waiting firmware from taking a whole core (its time-outs run in real time).
class VirtualGpibBus : public PinBus {
public:
    explicit VirtualGpibBus(gpibconfig::sim::BusDevices& devices)
        : m_devices(devices)
    {
    }

    void pinMode(std::uint8_t pin, std::uint8_t mode) override;
    void digitalWrite(std::uint8_t pin, std::uint8_t value) override;
    int digitalRead(std::uint8_t pin) override;

    enum Line : std::uint8_t {
        Dio1,
        Dio2,
        Dio3,
        Dio4,
        Dio5,
        Dio6,
        Dio7,
        Dio8,
        Ifc,
        Ndac,
        Nrfd,
        Dav,
        Eoi,
        Srq,
        Ren,
        Atn,
        LineCount
    };
    // The line on a pin of the custom layout (AR488_CUSTOM, the same in both releases); nullopt
    // for a pin that is not wired to the bus.
    static std::optional<Line> lineOf(std::uint8_t pin);
    bool asserted(Line line) const;

private:
    struct Pin {
        bool output = false;
        bool high = true;
    };
    void step();
    void acceptorStep(bool atn);
    void talkerStep(bool atn);
    std::uint8_t dataLines() const;
    void pace(std::uint16_t levels);

    gpibconfig::sim::BusDevices& m_devices;
    std::array<Pin, LineCount> m_pins{};
    std::array<bool, LineCount> m_deviceAsserts{};

    enum class Acceptor { Ready, Accepted };
    Acceptor m_acceptor = Acceptor::Ready;
    bool m_talkerPlaced = false;
    bool m_atnBefore = false;
    bool m_ifcBefore = false;

    std::uint16_t m_lastLevels = 0;
    unsigned m_quietReads = 0;
};

} // namespace ar488host
