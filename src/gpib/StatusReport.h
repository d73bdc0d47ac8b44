#pragma once

#include "GpibStatus.h"

#include <QString>

namespace gpibconfig {

class GPIB32;

// The one-line report of a failed driver call, e.g.
//   SendIFC Error ibsta = &H8100 <   ERR CMPL >iberr =  7 ENEB <No GPIB board>ibcnt =  0
QString formatStatusReport(const QString& title, std::int16_t ibsta, std::int16_t iberr,
                           std::int32_t ibcntl);

// Names of single status bits and error codes as the report writes them (with their leading
// blank); empty for an error code that has no name.
QString statusBitNames(std::int16_t ibsta);
QString errorName(int iberr);

// Builds the report from the current status into `title` and `errorText`, then takes board 0
// offline; the status then describes that ibonl call.
void ReportGpibError(GPIB32& gpib, QString& title, QString& errorText);

// One line of the function list: the prompt padded to 35 columns (at least one blank), then the
// value less a final line feed or blank.
QString FormatMenuLine(const QString& prompt, const QString& value);

} // namespace gpibconfig
