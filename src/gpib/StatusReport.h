// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "GpibStatus.h"

#include <QString>

namespace gpibconfig {

// The one-line report of a failed driver call, e.g.
//   SendIFC Error ibsta = &H8100 <   ERR CMPL >iberr =  7 ENEB <No GPIB board>ibcnt =  0
QString formatStatusReport(const QString& title, std::int16_t ibsta, std::int16_t iberr,
                           std::int32_t ibcntl);

// Names of single status bits and error codes as the report writes them (with their leading
// blank); empty for an error code that has no name.
QString statusBitNames(std::int16_t ibsta);
QString errorName(int iberr);

// The report of a failed call: its title and the status it left. Nothing else goes into it.
QString statusReport(const BusFailure& failure);

} // namespace gpibconfig
