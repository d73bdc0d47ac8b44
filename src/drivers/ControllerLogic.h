// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DriverSpec.h"
#include "logic/Screen.h"
#include "prologix/ModuleInterface.h"

#include <QList>
#include <QString>
#include <optional>
#include <variant>
#include <vector>

namespace gpibconfig {

// One kind of controller the controller dialog offers. Each row is a line of the dialog's list,
// except that a serial kind gives one line per serial port found; a new driver with a --driver
// form of its own is one more row.
struct ControllerKind {
    enum class Takes { Nothing, SerialPort, Host };

    QString prefix; // the kind of the --driver value: "system", "prologix", "prologix-tcp", "vxi11"
    Takes takes = Takes::Nothing;
    // The list's line; for a serial kind, %1 is the port and what the system knows of it.
    QString line;
    // What the list's description says of the kind.
    QString summary;
    // Takes::Host: the caption of the host box while the line is selected, and the port the
    // --driver form takes when none is given (not repeated in the box); 0 for none.
    QString hostLabel;
    quint16 defaultPort = 0;
};

// Every kind offered, in the list's order.
const std::vector<ControllerKind>& controllerKinds();

// The --driver value a choice becomes: the kind alone, with the serial port, or with the host
// (and port) as typed. The error says what is wrong with the host as a sentence for the window.
std::variant<DriverSpec, QString> specForChoice(const ControllerKind& kind, const QString& where);

// What the dialog starts from.
struct ControllerSituation {
    // The controller in use, or the one chosen for the next Configure.
    DriverSpec current;
    // Where the controller of this run's start was chosen: --driver and GPIBCONFIG_DRIVER come
    // before the settings file, which the dialog writes.
    DriverChoice startedWith;
    // The serial ports found; nullopt when they cannot be listed, `portsProblem` saying why.
    std::optional<QList<prologix::SerialPort>> ports;
    QString portsProblem;
};

// What the dialog needs from its surroundings.
class ControllerHost {
public:
    virtual ~ControllerHost() = default;
    // Writes the choice to the settings file; empty when it is written, else why not.
    virtual QString saveChoice(const DriverSpec& spec) = 0;
    // The bus goes through the chosen controller from the next Configure.
    virtual void useChoice(const DriverSpec& spec) = 0;
    virtual void closeControllerDialog() = 0;
};

// frmController: which controller the bus goes through, saved for the next start.
class ControllerLogic {
public:
    ControllerLogic(ControllerScreen& screen, ControllerHost& host, ControllerSituation situation);

    // The dialog opens: every kind and serial port offered, the controller in force selected.
    void reset();
    // A line of the list was selected: the host box is open for the kinds that take a host.
    void entryPicked();
    // OK: a usable choice is saved, used and the dialog closed; otherwise the dialog says why.
    void accept();

private:
    struct Entry {
        const ControllerKind* kind = nullptr;
        QString port; // Takes::SerialPort
    };
    const Entry* selectedEntry() const;
    void refuse(const QString& message, Control& focus);

    ControllerScreen& m_screen;
    ControllerHost& m_host;
    ControllerSituation m_situation;
    std::vector<Entry> m_entries; // one per line of the list
};

} // namespace gpibconfig
