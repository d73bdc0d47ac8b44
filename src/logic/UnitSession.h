// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ProgramState.h"
#include "gpib/Gpib32.h"

#include <QString>
#include <cstdint>
#include <optional>

namespace gpibconfig {

class Clock;
struct Model;

// An address as the operator types it: a primary address 0..30, or primary * 100 + secondary
// (512: primary 5, secondary 12). nullopt for anything out of range: 31..99, 3000 and more,
// numbers that do not fit 16 bits, a secondary above 31 (the address word cannot hold it) and
// negative numbers, which as address words are the driver's own values (-1 is "no address", a
// device clear of every unit on the bus). The text is read like every number the program reads,
// so "12abc" is 12 and an empty text is 0.
struct TypedAddress {
    std::int16_t primary = 0;
    std::optional<std::int16_t> secondary;
    std::int16_t word = 0; // the driver's address word
};
std::optional<TypedAddress> readTypedAddress(const QString& typed);

// What an answer to "*ESR?" says: nothing came (the buffer is still blank), no usable number
// (text, or a value no register can hold), or the register's value.
struct EventStatus {
    enum class Kind { NoAnswer, NoNumber, Value };
    Kind kind = Kind::NoAnswer;
    std::int64_t value = 0;

    static EventStatus read(const QString& reply);
    bool confirms(std::int64_t refusedBits) const
    {
        return kind == Kind::Value && (value & refusedBits) == 0;
    }
};

// Status bits of the standard event status register that mean a setting was refused: query
// error, execution error, command error. The device-dependent error (8) is left to the unit.
inline constexpr std::int64_t kRefusedBits = 4 | 16 | 32;
// A save is trusted only without any error bit: a device-dependent error during *SAV means the
// memory was not written.
inline constexpr std::int64_t kSaveRefusedBits = 4 | 8 | 16 | 32;

// The conversation with one unit, as the configuration window holds it: the start actions of
// its model, the query and the setting of one menu function, and the finishing commands with
// their checks. The window and the command-line tool both talk to units only through this, so
// the bus sees the same calls, pauses and checks from either.
//
// Failures travel as values, never as state: every step hands back the failed call it met (a
// `Failure`; the results of a query, a setting and a finishing command carry one), and nothing of
// it stays in the session, the access layer or the program state. A step goes on where the
// window goes on, so it may meet more than one failed call; it hands back the first one the
// window reports (the device clear, a query's reply, each call of a finishing command), else the
// first one. The window reports those whose `windowReports` is set and lets the others pass; the
// command line stops at any. After a report the caller takes the run's board offline
// (takeBoardOffline), the one step both make.
class UnitSession {
public:
    static constexpr int kReplyLength = 18;
    static constexpr double kPauseSeconds = 0.2;

    // A step's failed call, if it met one.
    using Failure = std::optional<BusFailure>;

    // `unit` is the run's address, which a setting of the address function moves.
    UnitSession(GPIB32& gpib, Clock& clock, const Model& model, std::int16_t board,
                UnitAddress& unit);

    // What Configure does to the board before a run: interface clear, remote enable and the
    // one-second time-out. A failure of any is reported as "SendIFC Error".
    [[nodiscard]] static Failure prepareBoard(GPIB32& gpib, std::int16_t board);

    // Set Address on the bus: interface clear (its failure not reported by the window), then a
    // device clear at `word` ("DevClear Error").
    [[nodiscard]] static Failure clearDevice(GPIB32& gpib, std::int16_t board, std::int16_t word);
    [[nodiscard]] Failure clearDevice();
    // The interface clear after the notice: reading it may have taken a while.
    [[nodiscard]] Failure clearBus();
    // What the model needs before function 1 is queried: the trigger sequence with its pauses,
    // or the unlock and status clear.
    [[nodiscard]] Failure startActions();

    // After a failure was reported: the run's board is taken offline (ibonl 0), so that the next
    // call starts from a board the driver brings back with the program's settings. The status of
    // this call is not looked at; the report is about the failure before it.
    static void takeBoardOffline(GPIB32& gpib, std::int16_t board);

    struct Reading {
        QString shown; // what the function's line shows
        QString value; // the bytes that arrived, up to their first line feed (not included)
        // Set when the reply could not be received ("Receive Error", reported by the window;
        // the line then shows the buffer as it is) or the query could not be sent.
        Failure failure;
    };
    // Asks the unit for function `number` (1-based; nullopt outside the menu).
    std::optional<Reading> query(int number);

    struct Setting {
        enum class Outcome { Taken, NoResponse, NotConfirmed };
        Outcome outcome = Outcome::NoResponse;
        EventStatus status; // the unit's answer to *ESR? after the setting
        QString shown;      // the line's text: the setting read back, or the window's verdict
        QString value;      // Taken: the read-back reply as Reading::value
        Failure failure;    // a call of the setting failed (the window does not report these)
    };
    // Sends `value` for function `number`, waits, asks *ESR? and, when the unit took it, reads
    // the setting back. A setting of the address function to a bus address follows the unit
    // there. nullopt for a number outside the menu.
    std::optional<Setting> set(int number, const QString& value);

    // What a finishing command came to: a failed call (nothing after it was sent), or the unit's
    // answer to *ESR?, which confirms it or not.
    struct Verdict {
        Failure failure;
        EventStatus status;
        QString refusal; // not confirmed by the unit: what the status box says
        bool confirmed() const { return !failure && refusal.isEmpty(); }
    };
    // *CLS, *SAV 0, then *ESR? must show none of the save's error bits.
    Verdict save();
    // *CLS, CAL:LOCK ON, *SAV 0 and the same check: the lock is kept with the settings.
    Verdict lock();
    // *PSC 0 (the enable registers keep their values at power-on) or *PSC 1 (they are cleared).
    Verdict powerOnStatus(bool keepEnables);

    // A value typed or pasted with line breaks stays one message: they become blanks.
    static QString oneMessage(QString value);
    // The reply up to and including its first line feed, or all of it.
    static QString trimReply(const QString& reply);
    // How the list shows the address function's value: as queried, and as read back after a
    // setting.
    static QString queriedAddress(const QString& reply);
    static QString readBackAddress(const QString& reply);

    const Model& model() const { return m_model; }
    const UnitAddress& unit() const { return m_unit; }

private:
    // A Receive into a buffer of blanks: the buffer after it and the call's status.
    struct Reply {
        QString text;
        GpibStatus status;
        // The bytes that arrived, up to their first line feed (not included).
        QString value() const;
    };

    [[nodiscard]] GpibStatus send(const QString& text);
    Reply receive();
    void pause();
    bool sendChecked(const QString& text, const QString& title, Verdict& verdict);
    Verdict confirmSave(const QString& what);

    GPIB32& m_gpib;
    Clock& m_clock;
    const Model& m_model;
    std::int16_t m_board;
    UnitAddress& m_unit;
};

} // namespace gpibconfig
