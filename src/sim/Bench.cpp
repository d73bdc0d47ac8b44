// SPDX-License-Identifier: GPL-3.0-or-later
#include "Bench.h"

#include "Board.h"
#include "BusDevices.h"
#include "Catalogue.h"
#include "Unit.h"

#include <stdexcept>

namespace gpibconfig::sim {

Bench::Bench(Timing timing)
    : m_clock(std::make_unique<BenchClock>(m_trace, timing))
    , m_board(std::make_unique<Board>(m_units, *m_clock, m_trace, [this] { notifyIfChanged(); }))
    , m_devices(std::make_unique<BusDevices>(m_units, *m_clock))
{
}

Bench::~Bench() = default;

Driver& Bench::driver() { return *m_board; }
Board& Bench::board() { return *m_board; }
BusDevices& Bench::devices() { return *m_devices; }

Unit& Bench::at(UnitId id) const
{
    if (id >= m_units.size())
        throw std::out_of_range("no unit " + std::to_string(id) + " on the bench");
    return *m_units[id];
}

Bench::UnitId Bench::addUnit(std::string_view model, int switchAddress)
{
    const ModelSpec* spec = findModel(model);
    if (!spec)
        throw std::invalid_argument("the bench has no model " + std::string(model));
    if (switchAddress < 1 || switchAddress > 30)
        throw std::invalid_argument("switch address must be 1 to 30");
    // Serial numbers as a maker hands them out: one after the other, as the units were installed.
    const std::string serial = std::to_string(24001 + m_units.size());
    m_units.push_back(std::make_unique<Unit>(*spec, switchAddress, m_changed, serial));
    m_changed = true;
    notifyIfChanged();
    return m_units.size() - 1;
}

Bench::UnitId Bench::unitId(std::string_view model) const
{
    for (std::size_t id = 0; id < m_units.size(); ++id) {
        if (m_units[id]->model() == model)
            return id;
    }
    throw std::out_of_range("no " + std::string(model) + " on the bench");
}

UnitView Bench::unit(UnitId id) const { return at(id).view(); }

std::vector<UnitView> Bench::units() const
{
    std::vector<UnitView> views;
    views.reserve(m_units.size());
    for (const auto& unit : m_units)
        views.push_back(unit->view());
    return views;
}

std::optional<std::string> Bench::setting(UnitId id, std::string_view header,
                                          std::size_t channel) const
{
    return at(id).setting(header, channel, false);
}

std::optional<std::string> Bench::savedSetting(UnitId id, std::string_view header,
                                               std::size_t channel) const
{
    return at(id).setting(header, channel, true);
}

std::optional<Bench::Addressed> Bench::addressedBy(Addr4882 address) const
{
    const int primary = address & 0xFF;
    const int high = address >> 8;
    constexpr int kFirstSecondary = 0x60;
    if (primary > 30 || (high != 0 && (high < kFirstSecondary || high > kFirstSecondary + 30)))
        return std::nullopt;
    const int secondary = high == 0 ? -1 : high - kFirstSecondary;
    // Lower is a better match: the channel named, a unit that listens to any secondary, then one
    // that does not answer there at all.
    std::optional<Addressed> best;
    int bestRank = 3;
    for (std::size_t id = 0; id < m_units.size(); ++id) {
        const Unit& unit = *m_units[id];
        if (unit.primary() != primary)
            continue;
        const auto channel =
            secondary >= 0 && unit.usesSecondaries() ? unit.channelAt(secondary) : std::nullopt;
        int rank = 2;
        if (unit.poweredOn() && channel)
            rank = 0;
        else if (unit.poweredOn() && !unit.usesSecondaries())
            rank = 1;
        if (rank < bestRank) {
            bestRank = rank;
            best = Addressed{id, channel.value_or(0)};
        }
    }
    return best;
}

void Bench::powerCycle(UnitId id)
{
    Unit& unit = at(id);
    m_trace.addEvent(std::string(unit.model()) + " at " + std::to_string(unit.primary()) +
                     ": power cycle");
    unit.powerCycle();
    unit.setPoweredOn(true);
    m_board->forget(unit);
    m_devices->forget(unit);
    notifyIfChanged();
}

void Bench::setPower(UnitId id, bool on)
{
    Unit& unit = at(id);
    if (unit.poweredOn() == on)
        return;
    m_trace.addEvent(std::string(unit.model()) + " at " + std::to_string(unit.primary()) +
                     (on ? ": switched on" : ": switched off"));
    if (on)
        unit.powerCycle();
    unit.setPoweredOn(on);
    m_board->forget(unit);
    m_devices->forget(unit);
    notifyIfChanged();
}

void Bench::setFaults(UnitId id, const UnitFaults& faults)
{
    at(id).faults() = faults;
    // A delay that is not a number or below zero means no delay; an infinite one, never.
    if (!(faults.replyDelay > 0))
        at(id).faults().replyDelay = 0;
    m_changed = true;
    notifyIfChanged();
}

void Bench::setSilent(UnitId id, bool silent)
{
    UnitFaults faults = at(id).faults();
    faults.silent = silent;
    setFaults(id, faults);
}

void Bench::setReplyDelay(UnitId id, double seconds)
{
    UnitFaults faults = at(id).faults();
    faults.replyDelay = seconds;
    setFaults(id, faults);
}

void Bench::setGarbage(UnitId id, std::optional<std::string> bytes)
{
    UnitFaults faults = at(id).faults();
    faults.garbage = std::move(bytes);
    setFaults(id, faults);
}

void Bench::setEsrReply(UnitId id, std::optional<std::string> text)
{
    UnitFaults faults = at(id).faults();
    faults.esrReply = std::move(text);
    setFaults(id, faults);
}

void Bench::failCallAt(long position, int iberr) { m_board->failCallAt(position, iberr); }
void Bench::failNext(Call kind, int iberr) { m_board->failNext(kind, iberr); }
long Bench::callCount() const { return m_board->callCount(); }
void Bench::resetCallCount() { m_board->resetCallCount(); }

void Bench::clearFaults()
{
    m_board->clearCallFailures();
    for (const auto& unit : m_units)
        unit->faults() = UnitFaults{};
    m_changed = true;
    notifyIfChanged();
}

int Bench::addChangeListener(std::function<void()> listener)
{
    const int id = m_nextListenerId++;
    m_changeListeners.emplace_back(id, std::move(listener));
    return id;
}

void Bench::removeChangeListener(int id)
{
    for (auto& entry : m_changeListeners) {
        if (entry.first == id)
            entry.second = nullptr;
    }
}

void Bench::notifyIfChanged()
{
    if (!m_changed)
        return;
    m_changed = false;
    for (std::size_t i = 0; i < m_changeListeners.size(); ++i) {
        if (m_changeListeners[i].second) {
            const auto listener = m_changeListeners[i].second;
            listener();
        }
    }
    std::erase_if(m_changeListeners, [](const auto& entry) { return !entry.second; });
}

std::vector<std::string> benchModels()
{
    std::vector<std::string> names;
    for (const ModelSpec& model : allModels())
        names.emplace_back(model.name);
    return names;
}

std::unique_ptr<Bench> makeDefaultBench(Bench::Timing timing)
{
    auto bench = std::make_unique<Bench>(timing);
    int address = 1;
    for (const ModelSpec& model : allModels())
        bench->addUnit(model.name, address++);
    return bench;
}

} // namespace gpibconfig::sim
