// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Cli.h"
#include "Command.h"
#include "Profile.h"
#include "Step.h"
#include "gpib/Gpib32.h"
#include "logic/UnitSession.h"

#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

namespace gpibconfig::cli {

inline const QString kProgram = QStringLiteral("gpibconfig-cli");

// Text from a unit made safe for a terminal: control characters as C escapes.
QString printable(const QString& text);

// The unit said no to the setting, as against leaving it unconfirmed (no answer to *ESR?, or
// no number in it).
bool refusedByTheUnit(const UnitSession::Setting& setting);

// "7379 at 25, channel 2": the unit a message is about.
QString where(const Model& model, const UnitAddress& unit, std::optional<int> channel);

// What a unit answered to *IDN?.
struct Identification {
    std::optional<BusFailure> failure; // the query or its reply failed
    bool answered = false;             // a byte or more came
    QString text;                      // the answer's first line, without blanks around it
};

// One run of a command: its command line, what it prints, and the steps the commands share,
// from reading their arguments to talking to a unit. Every step that can fail returns a Step
// whose Stop, after the message on standard error, the command hands back.
class Invocation {
public:
    Invocation(Environment& env, const Command& command, Options options, DriverSpec driver,
               QStringList arguments);
    ~Invocation();

    const Command& command() const { return m_command; }
    const Options& options() const { return m_opt; }
    const QStringList& arguments() const { return m_args; }
    Environment& environment() { return m_env; }

    // --- output ---------------------------------------------------------------------------
    void out(const QString& text);
    void err(const QString& text);
    // Progress on a terminal's standard error: "what k of n", replaced by the next line.
    void progress(const QString& what, int k, int n);
    void clearProgress();
    Stop usage(const QString& message);
    Stop badProfile(const QString& file, const QString& message);
    void warn(const QString& message);

    // --- arguments ------------------------------------------------------------------------
    // Options the command does not take, then the number of its arguments.
    Step<> checkCommandLine();
    Step<TypedAddress> addressOf(const QString& text);
    // ENTRY ADDRESS of show, set, save and backup, and the --channel given for that entry.
    struct Target {
        const Model* model = nullptr;
        TypedAddress address;
        std::optional<int> channel;
    };
    Step<Target> target();
    Step<QByteArray> readProfileFile(const QString& file);

    // --- the bus --------------------------------------------------------------------------
    Step<> openBus();
    GPIB32& gpib() { return *m_gpib; }
    Driver& driver() { return m_bus->driver(); }
    std::int16_t board() const { return m_board; }
    // The unit the command talks to, as the window's state holds it.
    const UnitAddress& unit() const { return m_state.unit; }
    // Reports a failed call as the window does (the status report, then the driver's plain
    // words), takes the run's board offline and ends the command with status 2.
    Stop busFailure(const BusFailure& failure);
    // A failure of a session's step ends the command, also one the window lets pass.
    Step<> check(const UnitSession::Failure& failure);

    // --- the unit: what every command that talks to one begins with -----------------------
    // The bus opened for the unit at `address`, the board prepared, the power cycle asked for.
    Step<> openUnit(const Model& model, const TypedAddress& address);
    UnitSession session(const Model& model);
    // Set Address for one channel (nullopt: a unit without channels), up to the start actions;
    // `afterClear` runs right after the device clear.
    Step<> beginChannel(UnitSession& session, std::optional<int> channel,
                        const std::function<Step<>()>& afterClear = {});
    Step<FunctionValue> read(UnitSession& session, int number);
    Step<ChannelValues> readChannel(UnitSession& session, std::optional<int> channel);
    // What show and backup begin with: the unit opened and every channel read (only `only`
    // when given).
    Step<UnitValues> readUnit(const Model& model, const TypedAddress& address,
                              std::optional<int> only);
    // The one *IDN? of the program: the query to `word` and its reply, failures handed back.
    Identification askIdentification(std::int16_t word);
    // The *IDN? answer of the unit; a failure ends the command.
    Step<QString> identify();
    // A profile of `model` applies to the unit only if the unit says it is one.
    Step<> checkIdentity(const Model& model, const QString& file);

private:
    Step<> requirePowerCycleAnswer(const Model& model);

    Environment& m_env;
    const Command& m_command;
    Options m_opt;
    DriverSpec m_driver;
    QStringList m_args;
    std::int16_t m_board = 0;
    bool m_progressShown = false;
    bool m_noticeShown = false;

    std::unique_ptr<Bus> m_bus;
    ProgramState m_state;
    std::unique_ptr<GPIB32> m_gpib;
};

} // namespace gpibconfig::cli
