// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <utility>
#include <variant>

namespace gpibconfig::cli {

// How a command ends early: what went wrong is on standard error already, `status` is the exit
// status.
struct Stop {
    int status;
};

// What a step of a command comes to: its value, or the Stop that ends the command, which the
// command hands straight back (`if (!step) return step.stop();`). A failure leaves a step this
// way only; nothing is thrown.
template <typename T = std::monostate> class [[nodiscard]] Step {
public:
    Step(T value = T{})
        : m_result(std::move(value))
    {
    }
    Step(Stop stop)
        : m_result(stop)
    {
    }

    explicit operator bool() const { return std::holds_alternative<T>(m_result); }
    T& operator*() { return std::get<T>(m_result); }
    const T& operator*() const { return std::get<T>(m_result); }
    const T* operator->() const { return &std::get<T>(m_result); }
    // A step that stopped the command: its Stop, and the exit status in it.
    Stop stop() const { return std::get<Stop>(m_result); }
    int status() const { return stop().status; }

private:
    std::variant<T, Stop> m_result;
};

// How a command that ran to its end came out. Refused: the unit did not take a setting or the
// save, or diff found the unit other than the profile (exit status 1).
enum class Outcome { Done, Refused };

// What a command returns: its outcome, or the Stop that ended it.
using Result = Step<Outcome>;

} // namespace gpibconfig::cli
