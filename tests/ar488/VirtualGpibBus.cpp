// SPDX-License-Identifier: GPL-3.0-or-later
#include "VirtualGpibBus.h"

#include "arduino/Arduino.h"
#include "sim/BusDevices.h"

#include <chrono>
#include <thread>

namespace ar488host {

namespace {
// Reads of an unchanged bus after which the firmware is taken to be waiting, and the pause each
// further read makes.
constexpr unsigned kQuietReadsBeforePause = 256;
constexpr auto kPause = std::chrono::microseconds(100);
} // namespace

std::optional<VirtualGpibBus::Line> VirtualGpibBus::lineOf(std::uint8_t pin)
{
    switch (pin) {
    case A0:
        return Dio1;
    case A1:
        return Dio2;
    case A2:
        return Dio3;
    case A3:
        return Dio4;
    case A4:
        return Dio5;
    case A5:
        return Dio6;
    case 4:
        return Dio7;
    case 5:
        return Dio8;
    case 8:
        return Ifc;
    case 9:
        return Ndac;
    case 10:
        return Nrfd;
    case 11:
        return Dav;
    case 12:
        return Eoi;
    case 2:
        return Srq;
    case 3:
        return Ren;
    case 7:
        return Atn;
    default:
        return std::nullopt;
    }
}

bool VirtualGpibBus::asserted(Line line) const
{
    const Pin& pin = m_pins[line];
    return (pin.output && !pin.high) || m_deviceAsserts[line];
}

void VirtualGpibBus::pinMode(std::uint8_t pin, std::uint8_t mode)
{
    const auto line = lineOf(pin);
    if (!line)
        return;
    Pin& p = m_pins[*line];
    p.output = mode == OUTPUT;
    if (mode == INPUT_PULLUP)
        p.high = true;
    else if (mode == INPUT)
        p.high = false;
}

void VirtualGpibBus::digitalWrite(std::uint8_t pin, std::uint8_t value)
{
    if (const auto line = lineOf(pin))
        m_pins[*line].high = value != LOW;
}

int VirtualGpibBus::digitalRead(std::uint8_t pin)
{
    const auto line = lineOf(pin);
    if (!line)
        return HIGH;
    step();
    std::uint16_t levels = 0;
    for (std::uint8_t l = 0; l < LineCount; ++l)
        levels = static_cast<std::uint16_t>(levels | (asserted(Line(l)) ? 1u << l : 0u));
    pace(levels);
    return asserted(*line) ? LOW : HIGH;
}

void VirtualGpibBus::pace(std::uint16_t levels)
{
    if (levels != m_lastLevels) {
        m_lastLevels = levels;
        m_quietReads = 0;
    } else if (++m_quietReads > kQuietReadsBeforePause) {
        std::this_thread::sleep_for(kPause);
    }
}

std::uint8_t VirtualGpibBus::dataLines() const
{
    std::uint8_t byte = 0;
    for (std::uint8_t bit = 0; bit < 8; ++bit) {
        if (asserted(Line(Dio1 + bit)))
            byte = static_cast<std::uint8_t>(byte | 1u << bit);
    }
    return byte;
}

void VirtualGpibBus::step()
{
    const bool ifc = asserted(Ifc);
    if (ifc && !m_ifcBefore) {
        m_devices.interfaceClear();
        m_acceptor = Acceptor::Ready;
    }
    m_ifcBefore = ifc;
    const bool atn = asserted(Atn);
    if (m_atnBefore && !atn)
        m_devices.attentionReleased();
    m_atnBefore = atn;
    // A byte the acceptors take can make a unit the talker, and a byte a unit puts on the bus
    // is taken by the others: settle before the firmware looks.
    for (int round = 0; round < 4; ++round) {
        const auto before = m_deviceAsserts;
        acceptorStep(atn);
        talkerStep(atn);
        if (before == m_deviceAsserts)
            break;
    }
}

void VirtualGpibBus::acceptorStep(bool atn)
{
    const bool takesPart = atn ? m_devices.anyDeviceOnBus() : m_devices.anyListener();
    if (!takesPart) {
        m_acceptor = Acceptor::Ready;
        m_deviceAsserts[Ndac] = m_deviceAsserts[Nrfd] = false;
        return;
    }
    if (m_acceptor == Acceptor::Ready) {
        m_deviceAsserts[Ndac] = true;
        m_deviceAsserts[Nrfd] = false;
        if (asserted(Dav)) {
            const std::uint8_t byte = dataLines();
            if (atn)
                m_devices.command(byte);
            else
                m_devices.data(byte, asserted(Eoi));
            m_deviceAsserts[Nrfd] = true;
            m_deviceAsserts[Ndac] = false;
            m_acceptor = Acceptor::Accepted;
        }
    } else if (!asserted(Dav)) {
        m_deviceAsserts[Ndac] = true;
        m_deviceAsserts[Nrfd] = false;
        m_acceptor = Acceptor::Ready;
    }
}

void VirtualGpibBus::talkerStep(bool atn)
{
    const auto takeBack = [this] {
        for (std::uint8_t l = Dio1; l <= Dio8; ++l)
            m_deviceAsserts[l] = false;
        m_deviceAsserts[Dav] = m_deviceAsserts[Eoi] = false;
        m_talkerPlaced = false;
    };
    if (atn || !m_devices.anyTalker()) {
        if (m_talkerPlaced)
            takeBack();
        return;
    }
    if (m_talkerPlaced) {
        if (!asserted(Ndac))
            takeBack();
        return;
    }
    if (asserted(Nrfd) || !asserted(Ndac))
        return;
    const auto next = m_devices.nextByte();
    if (!next)
        return;
    for (std::uint8_t bit = 0; bit < 8; ++bit)
        m_deviceAsserts[Dio1 + bit] = (next->first >> bit & 1u) != 0;
    m_deviceAsserts[Eoi] = next->second;
    m_deviceAsserts[Dav] = true;
    m_talkerPlaced = true;
}

} // namespace ar488host
