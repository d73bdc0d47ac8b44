// SPDX-License-Identifier: GPL-3.0-or-later
#include "Unit.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace gpibconfig::sim {

namespace {

// A message longer than this without a terminator is not something any unit would take.
constexpr std::size_t kInputLimit = 4096;

const ValueRule kRegisterRule{ValueKind::Integer, 0, 255, 1, {}, true};
const ValueRule kSaveRule{ValueKind::Integer, 0, 0, 1, {}, true};
const ValueRule kPowerOnClearRule{ValueKind::Integer, -32767, 32767, 1, {}, true};

int numberOf(const std::string& value) { return std::atoi(value.c_str()); }

} // namespace

Unit::Unit(const ModelSpec& spec, int switchAddress, bool& changed, std::string serialNumber)
    : m_spec(spec)
    , m_switchAddress(switchAddress)
    , m_serialNumber(std::move(serialNumber))
    , m_primary(switchAddress)
    , m_changed(changed)
{
    Device fresh;
    for (const SettingRow& row : family().rows) {
        fresh.values.push_back(row.rule.kind == ValueKind::Address ? std::to_string(switchAddress)
                                                                   : std::string(row.factory));
    }
    fresh.saved = fresh.values;
    m_devices.assign(static_cast<std::size_t>(std::max(family().channels, 1)), fresh);
}

std::optional<std::size_t> Unit::channelAt(int secondary) const
{
    if (!usesSecondaries())
        return std::nullopt;
    const int channel = secondary - kFirstChannelSecondary;
    if (channel < 0 || channel >= static_cast<int>(m_devices.size()))
        return std::nullopt;
    return static_cast<std::size_t>(channel);
}

std::string Unit::identification() const
{
    return std::string(kMaker) + ',' + std::string(m_spec.name) + ',' + m_serialNumber + ',' +
           std::string(family().firmware);
}

bool Unit::locked() const
{
    const auto row = family().lockRow;
    return row && m_devices.front().values.at(*row) == "1";
}

void Unit::updatePrimary()
{
    const auto row = family().addressRow;
    if (!row)
        return;
    const int setting = numberOf(m_devices.front().values.at(*row));
    m_primary = setting == 31 ? m_switchAddress : setting;
}

void Unit::flag(Device& device, int bits)
{
    device.esr |= bits;
    m_changed = true;
}

// ---------------------------------------------------------------------------------------------
// Bus side

void Unit::listen(std::size_t channel, std::span<const std::uint8_t> bytes, bool end, double now)
{
    Device& d = device(channel);
    for (const std::uint8_t byte : bytes) {
        if (byte == '\n') {
            const std::string message = std::move(d.input);
            d.input.clear();
            execute(d, message, now);
            continue;
        }
        d.input += static_cast<char>(byte);
        if (d.input.size() > kInputLimit) {
            d.input.clear();
            flag(d, kCommandError);
        }
    }
    if (end && !d.input.empty()) {
        const std::string message = std::move(d.input);
        d.input.clear();
        execute(d, message, now);
    }
}

void Unit::deviceClear(std::size_t channel)
{
    Device& d = device(channel);
    d.input.clear();
    d.output.clear();
}

void Unit::trigger()
{
    if (family().needsTrigger && !m_triggered) {
        m_triggered = true;
        m_changed = true;
    }
}

std::size_t Unit::talk(std::size_t channel, std::span<std::uint8_t> buffer, int eos, bool& end,
                       double now)
{
    Device& d = device(channel);
    std::size_t count = 0;
    end = false;
    while (count < buffer.size() && !d.output.empty() && d.output.front().readyAt <= now) {
        Reply& reply = d.output.front();
        const auto byte = static_cast<std::uint8_t>(reply.bytes[reply.sent++]);
        buffer[count++] = byte;
        const bool last = reply.sent == reply.bytes.size();
        if (last)
            d.output.pop_front();
        if (last || byte == eos) {
            end = true;
            break;
        }
    }
    return count;
}

std::optional<double> Unit::nextReplyTime(std::size_t channel) const
{
    const Device& d = device(channel);
    if (d.output.empty())
        return std::nullopt;
    return d.output.front().readyAt;
}

void Unit::talkedWithNothingToSay(std::size_t channel)
{
    Device& d = device(channel);
    if (d.output.empty() && !m_faults.silent && configurable())
        flag(d, kQueryError);
}

// ---------------------------------------------------------------------------------------------
// Firmware

void Unit::execute(Device& d, std::string_view message, double now)
{
    message = scpi::trim(message);
    if (message.empty())
        return;
    if (!d.output.empty()) {
        d.output.clear();
        flag(d, kQueryError);
    }
    const std::size_t blank = message.find_first_of(" \t");
    std::string_view header = message.substr(0, blank);
    const std::string_view value =
        blank == std::string_view::npos ? std::string_view{} : scpi::trim(message.substr(blank));
    const bool query = header.ends_with('?');
    if (query)
        header.remove_suffix(1);

    if (header.starts_with('*')) {
        executeCommon(d, header.substr(1), query, value, now);
        return;
    }
    // Until its trigger such a unit is in its working mode: whatever is not a common command
    // goes out of its serial or printer port, and the bench has nothing there to look at.
    if (!configurable())
        return;
    const auto row = family().headers.find(header);
    if (!row || (query && !value.empty())) {
        flag(d, kCommandError);
        return;
    }
    if (query)
        reply(d, answer(d, *row), false, now);
    else
        executeSetting(d, *row, value);
}

void Unit::executeCommon(Device& d, std::string_view name, bool query, std::string_view value,
                         double now)
{
    const auto is = [name](std::string_view command) {
        return scpi::equalsIgnoreCase(name, command);
    };
    const auto judge = [&](const ValueRule& rule) -> std::optional<int> {
        const Checked checked = checkValue(rule, value, 0);
        if (checked.verdict == Verdict::Accepted)
            return numberOf(checked.value);
        flag(d, checked.verdict == Verdict::CommandError ? kCommandError : kExecutionError);
        return std::nullopt;
    };

    if (query && !value.empty()) {
        flag(d, kCommandError);
    } else if (is("ESR") && query) {
        const int esr = d.esr;
        d.esr = 0;
        m_changed = true;
        reply(d, std::to_string(esr), true, now);
    } else if (is("CLS") && !query && value.empty()) {
        d.esr = 0;
        m_changed = true;
    } else if (is("ESE") || is("SRE")) {
        int& reg = is("ESE") ? d.ese : d.sre;
        if (query) {
            reply(d, std::to_string(reg), false, now);
        } else if (const auto number = judge(kRegisterRule)) {
            reg = *number;
            m_changed = true;
        }
    } else if (is("PSC")) {
        if (query) {
            reply(d, m_powerOnClear ? "1" : "0", false, now);
        } else if (const auto number = judge(kPowerOnClearRule)) {
            m_powerOnClear = *number != 0;
            m_changed = true;
        }
    } else if (is("SAV") && !query) {
        // One memory location: 0. Settings and the lock go in together, for every channel, so a
        // locked unit takes *SAV: that is how its lock is kept over a power cycle.
        const auto location = judge(kSaveRule);
        if (location && m_faults.refuseSave) {
            flag(d, kDeviceError);
        } else if (location) {
            for (Device& each : m_devices)
                each.saved = each.values;
            m_everSaved = true;
            m_changed = true;
        }
    } else if (is("IDN") && query) {
        // Every channel of a multi-channel unit is the same instrument.
        reply(d, identification(), false, now);
    } else if (is("TRG") && !query && value.empty()) {
        trigger();
    } else {
        flag(d, kCommandError);
    }
}

void Unit::executeSetting(Device& d, std::size_t row, std::string_view value)
{
    if (locked() && row != family().lockRow) {
        flag(d, kExecutionError);
        return;
    }
    const Checked checked = checkValue(family().rows.at(row).rule, value, m_spec.stringBytes);
    if (checked.verdict != Verdict::Accepted) {
        flag(d, checked.verdict == Verdict::CommandError ? kCommandError : kExecutionError);
        return;
    }
    if (row == family().addressRow) {
        // The channels share the unit's bus address; the move takes effect at once.
        for (Device& each : m_devices)
            each.values.at(row) = checked.value;
        updatePrimary();
    } else {
        d.values.at(row) = checked.value;
    }
    m_changed = true;
}

std::string Unit::answer(const Device& d, std::size_t row) const
{
    const std::string& value = d.values.at(row);
    if (row == family().addressRow && numberOf(value) == 31)
        return std::to_string(32 + m_switchAddress);
    return value;
}

void Unit::reply(Device& d, const std::string& text, bool isEsr, double now)
{
    if (m_faults.silent)
        return;
    std::string bytes;
    if (isEsr && m_faults.esrReply)
        bytes = *m_faults.esrReply + '\n';
    else if (m_faults.garbage)
        bytes = *m_faults.garbage;
    else
        bytes = text + '\n';
    if (bytes.empty())
        return;
    d.output.push_back({std::move(bytes), 0, now + std::max(m_faults.replyDelay, 0.0)});
}

// ---------------------------------------------------------------------------------------------
// Bench side

void Unit::powerCycle()
{
    for (Device& d : m_devices) {
        d.values = d.saved;
        d.esr = kPowerOn;
        if (m_powerOnClear) {
            d.ese = 0;
            d.sre = 0;
        }
        d.input.clear();
        d.output.clear();
    }
    m_triggered = false;
    updatePrimary();
    m_changed = true;
}

UnitView Unit::view() const
{
    UnitView view;
    view.model = std::string(m_spec.name);
    view.serialNumber = m_serialNumber;
    view.switchAddress = m_switchAddress;
    view.primary = m_primary;
    if (const auto row = family().addressRow)
        view.onSwitchAddress = numberOf(m_devices.front().values.at(*row)) == 31;
    view.needsTrigger = family().needsTrigger;
    view.triggered = m_triggered;
    view.lockable = family().lockable;
    view.locked = locked();
    view.powerOnClear = m_powerOnClear;
    view.everSaved = m_everSaved;
    view.poweredOn = m_poweredOn;
    view.faults = m_faults;
    const std::vector<SettingRow>& rows = family().rows;
    for (std::size_t channel = 0; channel < m_devices.size(); ++channel) {
        const Device& d = m_devices[channel];
        UnitView::Channel c;
        c.secondary = usesSecondaries() ? kFirstChannelSecondary + static_cast<int>(channel) : -1;
        c.esr = d.esr;
        c.ese = d.ese;
        c.sre = d.sre;
        for (std::size_t row = 0; row < rows.size(); ++row) {
            c.settings.emplace_back(std::string(rows[row].header), d.values[row]);
            c.saved.emplace_back(std::string(rows[row].header), d.saved[row]);
        }
        view.channels.push_back(std::move(c));
    }
    return view;
}

std::optional<std::string> Unit::setting(std::string_view header, std::size_t channel,
                                         bool saved) const
{
    if (channel >= m_devices.size())
        return std::nullopt;
    const auto row = family().headers.find(header);
    if (!row)
        return std::nullopt;
    const Device& d = m_devices[channel];
    return saved ? d.saved.at(*row) : d.values.at(*row);
}

} // namespace gpibconfig::sim
