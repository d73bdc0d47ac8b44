// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "prologix/ModuleInterface.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

namespace gpibconfig {

class Driver;

// The Prologix driver lives in a module of its own, opened on first use: next to the program,
// where `cmake --install` puts it, then in the build tree.
QStringList prologixModuleCandidates();

// A Prologix driver for a serial port or a TCP host. When the module cannot be opened, a driver
// whose every call fails with ERR and EDVR and whose explainFailure() says why, so the operator
// gets the usual report and a plain-words line instead of a program that will not start.
std::unique_ptr<Driver> openPrologixSerial(const QString& port);
std::unique_ptr<Driver> openPrologixTcp(const QString& host, quint16 port);

// The serial ports the system knows; nullopt with `error` set when the module cannot be opened.
std::optional<QList<prologix::SerialPort>> prologixSerialPorts(QString* error);

// What the system knows of a port besides its location, as the port lists show it:
// "Prologix GPIB-USB Controller, Prologix, PX9A1B2C, USB 0403:6001"; empty for a port the system
// knows nothing about.
QString serialPortAbout(const prologix::SerialPort& port);

} // namespace gpibconfig
