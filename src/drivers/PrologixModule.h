// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

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

// The serial ports the system knows, one line each; nullopt with `error` set when the module
// cannot be opened.
std::optional<QStringList> prologixSerialPorts(QString* error);

} // namespace gpibconfig
