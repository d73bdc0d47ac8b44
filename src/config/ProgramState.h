#pragma once

#include "FunctionTable.h"
#include "gpib/GpibStatus.h"

#include <QString>

#include <cstdint>

namespace gpibconfig {

// The engine's position in a menu and its message buffers.
struct RunState {
    std::int16_t FuncIndex = 0;
    std::int16_t MenuPhase = 0;
    QString ChoiceText;
    QString CmdString;
    QString ReplyText;
    QString EsrQuery;
};

// The unit being configured. DeviceAddress is the driver's address word: primary address in the
// low byte, 0x60 + secondary address in the high byte.
struct UnitAddress {
    std::int16_t PrimaryAddress = 0;
    std::int16_t SecondaryAddress = 0;
    std::int16_t DeviceAddress = 0;
    double ChannelNumber = 0; // 0 until the channel dialog stored a value
};

// Everything the windows share, one instance owned by the application and handed to each window
// by reference. Later runs overwrite it; nothing of it is stored anywhere.
struct ProgramState {
    std::int16_t BoardIndex = 0;
    QString ModelNumber;
    std::int16_t ModelCode = 0;

    GpibStatus status;
    QString ErrorText;
    QString MenuLine;
    QString NoticeText;

    FunctionTable table;
    RunState run;
    UnitAddress unit;
};

} // namespace gpibconfig
