// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "BenchTypes.h"
#include "Catalogue.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace gpibconfig::sim {

// One interface unit on the bench: its settings, IEEE 488.2 status registers, input buffer and
// output queue, and the firmware that judges every message. A four-channel unit is four devices
// at consecutive secondary addresses that share the unit's bus address, its saved settings and
// its power switch.
//
// Behaviour a caller may rely on:
// - A message is executed when its line feed arrives, or at END.
// - A message that arrives while a reply is still unread discards that reply and sets the query
//   error bit (IEEE 488.2 "interrupted"). A partly read reply counts as unread.
// - Being asked to talk with nothing queued sets the query error bit ("unterminated"), except on
//   a silent unit and on a unit still passing data through (no trigger yet).
class Unit {
public:
    static constexpr int kQueryError = 4;
    static constexpr int kDeviceError = 8;
    static constexpr int kExecutionError = 16;
    static constexpr int kCommandError = 32;
    static constexpr int kPowerOn = 128;

    // `changed` is set whenever something a UnitView shows changes. `serialNumber` is what the
    // unit gives in its *IDN? answer.
    Unit(const ModelSpec& spec, int switchAddress, bool& changed, std::string serialNumber);

    std::string_view model() const { return m_spec.name; }
    int switchAddress() const { return m_switchAddress; }
    const std::string& serialNumber() const { return m_serialNumber; }
    // The answer to *IDN? (IEEE 488.2): maker, model, serial number, firmware level.
    std::string identification() const;
    int primary() const { return m_primary; }
    // Its devices answer only at secondary addresses (the 7379's channels).
    bool usesSecondaries() const { return m_devices.size() > 1; }
    std::size_t channelCount() const { return m_devices.size(); }
    // The device listening at secondary address `secondary` (0-30), if any.
    std::optional<std::size_t> channelAt(int secondary) const;

    // Bus side. `channel` is always below channelCount().
    void listen(std::size_t channel, std::span<const std::uint8_t> bytes, bool end, double now);
    void deviceClear(std::size_t channel);
    void trigger();
    bool hasOutput(std::size_t channel) const { return !device(channel).output.empty(); }
    // Moves reply bytes that are ready at `now` into `buffer`; `eos` (0-255) ends the read when
    // sent, -1 for none. `end` is set when the read ended with EOI or `eos`.
    std::size_t talk(std::size_t channel, std::span<std::uint8_t> buffer, int eos, bool& end,
                     double now);
    // When the next queued reply byte becomes ready, if any is queued.
    std::optional<double> nextReplyTime(std::size_t channel) const;
    // The controller made it talk while it had nothing queued.
    void talkedWithNothingToSay(std::size_t channel);

    // Bench side.
    void powerCycle();
    // A unit switched off is not on the bus: the board neither addresses it nor counts it among
    // the devices that accept command bytes. Switching it on again is the bench's business (a
    // power cycle brings back its saved settings).
    bool poweredOn() const { return m_poweredOn; }
    void setPoweredOn(bool on)
    {
        m_changed = m_changed || m_poweredOn != on;
        m_poweredOn = on;
    }
    UnitFaults& faults() { return m_faults; }
    const UnitFaults& faults() const { return m_faults; }
    UnitView view() const;
    std::optional<std::string> setting(std::string_view header, std::size_t channel,
                                       bool saved) const;

private:
    struct Reply {
        std::string bytes;
        std::size_t sent = 0;
        double readyAt = 0.0;
    };
    struct Device {
        std::vector<std::string> values;
        std::vector<std::string> saved;
        int esr = kPowerOn;
        int ese = 0;
        int sre = 0;
        std::string input;
        std::deque<Reply> output;
    };

    Device& device(std::size_t channel) { return m_devices.at(channel); }
    const Device& device(std::size_t channel) const { return m_devices.at(channel); }
    const Family& family() const { return *m_spec.family; }
    bool locked() const;
    bool configurable() const { return !family().needsTrigger || m_triggered; }
    void updatePrimary();
    void flag(Device& device, int bits);

    void execute(Device& device, std::string_view message, double now);
    void executeCommon(Device& device, std::string_view name, bool query, std::string_view value,
                       double now);
    void executeSetting(Device& device, std::size_t row, std::string_view value);
    std::string answer(const Device& device, std::size_t row) const;
    void reply(Device& device, const std::string& text, bool isEsr, double now);

    const ModelSpec& m_spec;
    int m_switchAddress;
    std::string m_serialNumber;
    int m_primary;
    bool& m_changed;
    std::vector<Device> m_devices;
    bool m_triggered = false;
    bool m_powerOnClear = true;
    bool m_everSaved = false;
    bool m_poweredOn = true;
    UnitFaults m_faults;
};

} // namespace gpibconfig::sim
