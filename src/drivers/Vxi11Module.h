// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <memory>

namespace gpibconfig {

class Driver;

// A driver for a VXI-11 gateway, from the module gpibconfig-vxi11 opened on first use (see
// DriverModule.h). `port` 0 asks the gateway's portmapper. When the module cannot be opened, a
// driver whose every call fails with ERR and EDVR and whose explainFailure() says why.
std::unique_ptr<Driver> openVxi11(const QString& host, quint16 port, const QString& interfaceName);

} // namespace gpibconfig
