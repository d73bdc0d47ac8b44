// SPDX-License-Identifier: GPL-3.0-or-later
#include "WindowDefinitions.h"

#include "models/Models.h"

namespace gpibconfig {

namespace {

const QString kSansSerif = QStringLiteral("MS Sans Serif");

FontSpec sans(double points) { return {.family = kSansSerif, .points = points}; }
FontSpec sansBold(double points) { return {.family = kSansSerif, .points = points, .bold = true}; }

} // namespace

WindowDef mainWindowDef(MainScreen& s)
{
    using K = ControlKind;
    const FontSpec regular = sans(9.75);
    return {
        .title = QStringLiteral("GPIB Interface Configuration"),
        .clientWidth = 7725,
        .clientHeight = 6405,
        .controls =
            {
                {.control = &s.labelTitle,
                 .kind = K::Label,
                 .caption = QStringLiteral("WELCOME TO ZEB's GPIB CONFIGUATION PROGRAM"),
                 .rect = {840, 120, 5895, 255},
                 .tabIndex = 0,
                 .font = sansBold(9.75),
                 .style = ControlStyle::DarkBlueText},
                {.control = &s.labelRev,
                 .kind = K::Label,
                 .rect = {2400, 360, 2775, 255},
                 .tabIndex = 6,
                 .font = sans(8.25)},
                {.control = &s.labelSelect,
                 .kind = K::Label,
                 .caption = QStringLiteral(
                     "Select a Model to configure from the following list and press Configure:"),
                 .rect = {600, 840, 6375, 255},
                 .tabIndex = 7,
                 .font = regular},
                {.control = &s.listUnit,
                 .kind = K::ListBox,
                 .toolTip = QStringLiteral(
                     "Highlight the unit's model number and press the Configure button to start."),
                 .rect = {1680, 1200, 2055, 2955},
                 .tabIndex = 1,
                 .font = regular},
                {.control = &s.cmdConfig,
                 .kind = K::Button,
                 .caption = QStringLiteral("Configure"),
                 .toolTip = QStringLiteral("Configures selected model"),
                 .rect = {4440, 2400, 1455, 615},
                 .tabIndex = 2,
                 .font = regular},
                {.control = &s.cmdContinue,
                 .kind = K::Button,
                 .caption = QStringLiteral("Continue"),
                 .toolTip =
                     QStringLiteral("Continues configuration after power cycling the device"),
                 .rect = {4440, 3600, 1455, 615},
                 .tabIndex = 4,
                 .font = regular},
                {.control = &s.txtGPIBErr,
                 .kind = K::MultiLineTextBox,
                 .rect = {600, 4560, 6135, 615},
                 .tabIndex = 3,
                 .font = regular,
                 .style = ControlStyle::WhiteBackground},
                {.control = &s.ImageZEB,
                 .kind = K::Picture,
                 .rect = {600, 5280, 2340, 765},
                 .font = regular},
                {.control = &s.cmdExit,
                 .kind = K::Button,
                 .caption = QStringLiteral("Exit"),
                 .toolTip = QStringLiteral("Exits program"),
                 .rect = {5280, 5400, 1575, 615},
                 .tabIndex = 5,
                 .font = regular},
            },
    };
}

WindowDef configWindowDef(ConfigScreen& s)
{
    using K = ControlKind;
    const FontSpec bold = sansBold(9.75);
    const FontSpec regular = sans(9.75);
    return {
        .title = QStringLiteral("Configuration Form"),
        .clientWidth = 9000,
        .clientHeight = 7275,
        .controls =
            {
                {.control = &s.txtTitle,
                 .kind = K::TextBox,
                 .rect = {2640, 120, 4095, 345},
                 .font = bold},
                {.control = &s.frameAddr,
                 .kind = K::Frame,
                 .rect = {360, 720, 8055, 1095},
                 .font = bold},
                {.control = &s.Label1,
                 .kind = K::Label,
                 .container = &s.frameAddr,
                 .caption = QStringLiteral(
                     "              Enter Device Address and press Set Address button"),
                 .rect = {480, 120, 7095, 255},
                 .font = bold},
                {.control = &s.txtAddr,
                 .kind = K::TextBox,
                 .container = &s.frameAddr,
                 .toolTip = QStringLiteral(
                     "Enter the device's primary GPIB address and press the Set button"),
                 .rect = {2160, 600, 975, 375},
                 .tabIndex = 0,
                 .font = regular,
                 .input = true},
                {.control = &s.cmdSet,
                 .kind = K::Button,
                 .container = &s.frameAddr,
                 .caption = QStringLiteral("Set Address"),
                 .toolTip = QStringLiteral("Enters the device address into the program"),
                 .rect = {3960, 600, 2055, 375},
                 .tabIndex = 1,
                 .font = regular},
                {.control = &s.txtErrMsg,
                 .kind = K::TextBox,
                 .rect = {1200, 2040, 4575, 375},
                 .font = bold},
                {.control = &s.frameMenu,
                 .kind = K::Frame,
                 .rect = {360, 2400, 8055, 3855},
                 .font = bold},
                {.control = &s.labelFunction,
                 .kind = K::Label,
                 .container = &s.frameMenu,
                 .caption = QStringLiteral(
                     "   Unit function  - Choices                    Current Setting"),
                 .rect = {360, 120, 5655, 375},
                 .font = bold,
                 .style = ControlStyle::WhiteOnDarkBlue},
                {.control = &s.lstFunction,
                 .kind = K::ListBox,
                 .container = &s.frameMenu,
                 .toolTip = QStringLiteral("Displays function and current setting.  Enter a new "
                                           "setting on the right or press Enter/Advance button"),
                 .rect = {360, 360, 5655, 2310},
                 .tabIndex = 8,
                 .font = {.family = QStringLiteral("Courier New"),
                          .points = 9,
                          .fixedPitch = true}},
                {.control = &s.labelChoice,
                 .kind = K::Label,
                 .container = &s.frameMenu,
                 .caption = QStringLiteral(
                     "Enter a new value or click Enter/Advance  to keep current value"),
                 .rect = {6120, 240, 1695, 735},
                 .font = sans(8.25)},
                {.control = &s.txtChoice,
                 .kind = K::TextBox,
                 .container = &s.frameMenu,
                 .toolTip = QStringLiteral(
                     "Enter any new setting values here and then press the Enter/Advance button"),
                 .rect = {6120, 960, 1692, 492},
                 .tabIndex = 2,
                 .font = regular,
                 .input = true},
                {.control = &s.cmdEnter,
                 .kind = K::Button,
                 .container = &s.frameMenu,
                 .caption = QStringLiteral("Enter or Advance"),
                 .toolTip = QStringLiteral(
                     "Enters a new value or keeps current value and advances to next fiunction"),
                 .rect = {6240, 1560, 1455, 615},
                 .tabIndex = 3,
                 .font = regular},
                {.control = &s.cmdRedo,
                 .kind = K::Button,
                 .container = &s.frameMenu,
                 .caption = QStringLiteral("    Redo from               Start"),
                 .toolTip = QStringLiteral("Restarts the configuration process"),
                 .rect = {6240, 2280, 1455, 615},
                 .tabIndex = 9,
                 .font = regular},
                {.control = &s.cmdNextCh,
                 .kind = K::Button,
                 .container = &s.frameMenu,
                 .caption = QStringLiteral("Next Channel"),
                 .toolTip = QStringLiteral("Advances to next channel for multi-channel devices."),
                 .rect = {6240, 3000, 1455, 615},
                 .tabIndex = 10,
                 .font = regular},
                {.control = &s.txtGPIBErr,
                 .kind = K::MultiLineTextBox,
                 .rect = {1920, 5160, 3495, 735},
                 .font = regular,
                 .style = ControlStyle::WhiteBackground},
                {.control = &s.cmdSRQ,
                 .kind = K::Button,
                 .caption = QStringLiteral("      Save ESE                 and SRE"),
                 .toolTip =
                     QStringLiteral("Saves ESE and SRE values.  Normally they are not saved."),
                 .rect = {120, 6480, 1695, 495},
                 .tabIndex = 6,
                 .font = regular},
                {.control = &s.cmdNoSRQ,
                 .kind = K::Button,
                 .caption = QStringLiteral("Don't Save SRE"),
                 .toolTip =
                     QStringLiteral("Blocks SRe from being saved by the configuration program"),
                 .rect = {2040, 6480, 1695, 495},
                 .tabIndex = 11,
                 .font = regular},
                {.control = &s.cmdLock,
                 .kind = K::Button,
                 .caption = QStringLiteral("Lock Settings"),
                 .toolTip = QStringLiteral("Turns lock on after the save"),
                 .rect = {3960, 6480, 1335, 495},
                 .tabIndex = 7,
                 .font = regular},
                {.control = &s.cmdSav,
                 .kind = K::Button,
                 .caption = QStringLiteral("Save Configuration"),
                 .toolTip = QStringLiteral("Saves current settings"),
                 .rect = {5520, 6480, 1935, 495},
                 .tabIndex = 4,
                 .font = regular},
                {.control = &s.cmdDone,
                 .kind = K::Button,
                 .caption = QStringLiteral("Done"),
                 .toolTip = QStringLiteral(
                     "Closes the Configuration Window and returns to the Selection Window"),
                 .rect = {7680, 6480, 975, 495},
                 .tabIndex = 5,
                 .font = regular},
            },
    };
}

WindowDef channelDialogDef(ChannelScreen& s, const Model& model)
{
    using K = ControlKind;
    const FontSpec regular = sans(9.75);
    return {
        .title = QStringLiteral("Channels"),
        .clientWidth = 4920,
        .clientHeight = 1980,
        .controls =
            {
                {.control = &s.Label1,
                 .kind = K::Label,
                 .caption = QStringLiteral("Enter a %1 channel from 1 to %2 and press Continue")
                                .arg(QLatin1String(model.entry))
                                .arg(model.channelCount),
                 .rect = {480, 120, 3975, 375},
                 .tabIndex = 1,
                 .font = regular},
                {.control = &s.txtChNum,
                 .kind = K::TextBox,
                 .rect = {1200, 600, 1095, 495},
                 .tabIndex = 0,
                 .font = regular,
                 .input = true},
                {.control = &s.cmdChSel,
                 .kind = K::Button,
                 .caption = QStringLiteral("Continue"),
                 .rect = {2880, 600, 1095, 495},
                 .tabIndex = 2,
                 .font = regular},
                {.control = &s.txtErrMsg,
                 .kind = K::TextBox,
                 .rect = {480, 1320, 4095, 375},
                 .tabIndex = 3,
                 .font = regular},
            },
    };
}

WindowDef noticeDialogDef(NoticeScreen& s)
{
    using K = ControlKind;
    const FontSpec regular = sans(9.75);
    return {
        .title = QStringLiteral("NOTICE"),
        .clientWidth = 5730,
        .clientHeight = 3660,
        .controls =
            {
                {.control = &s.txtNotice,
                 .kind = K::MultiLineTextBox,
                 .caption = QStringLiteral("Notice text"),
                 .rect = {120, 600, 5415, 1935},
                 .tabIndex = 0,
                 .font = regular},
                {.control = &s.cmdCancel,
                 .kind = K::Button,
                 .caption = QStringLiteral("Cancel"),
                 .rect = {3840, 2640, 1695, 615},
                 .tabIndex = 1,
                 .font = regular},
            },
    };
}

WindowDef controllerDialogDef(ControllerScreen& s)
{
    using K = ControlKind;
    const FontSpec regular = sans(9.75);
    return {
        .title = QStringLiteral("Choose GPIB Controller"),
        .clientWidth = 9600,
        .clientHeight = 6240,
        .controls =
            {
                {.control = &s.labelController,
                 .kind = K::Label,
                 .caption = QStringLiteral("Controller for the next Configure:"),
                 .rect = {240, 120, 9120, 255},
                 .font = regular},
                // Its description names the kinds offered; the logic writes it.
                {.control = &s.listController,
                 .kind = K::ListBox,
                 .rect = {240, 420, 9120, 2175},
                 .tabIndex = 0,
                 .font = regular},
                {.control = &s.labelPorts,
                 .kind = K::Label,
                 .rect = {240, 2670, 9120, 495},
                 .font = regular},
                {.control = &s.labelHost,
                 .kind = K::Label,
                 .rect = {240, 3240, 9120, 255},
                 .font = regular},
                {.control = &s.txtHost,
                 .kind = K::TextBox,
                 .toolTip = QStringLiteral("A host name, an IPv4 address, or an IPv6 address in "
                                           "brackets; :PORT after it when the controller does not "
                                           "listen on its usual port"),
                 .rect = {240, 3540, 4695, 375},
                 .tabIndex = 1,
                 .font = regular,
                 .input = true},
                {.control = &s.txtErrMsg,
                 .kind = K::MultiLineTextBox,
                 .rect = {240, 4020, 9120, 615},
                 .font = regular,
                 .style = ControlStyle::WhiteBackground},
                {.control = &s.labelOverride,
                 .kind = K::Label,
                 .rect = {240, 4740, 9120, 795},
                 .font = regular},
                {.control = &s.cmdOK,
                 .kind = K::Button,
                 .caption = QStringLiteral("OK"),
                 .toolTip = QStringLiteral(
                     "Saves the choice and uses the controller from the next Configure"),
                 .rect = {6000, 5640, 1575, 435},
                 .tabIndex = 2,
                 .font = regular},
                {.control = &s.cmdCancel,
                 .kind = K::Button,
                 .caption = QStringLiteral("Cancel"),
                 .toolTip = QStringLiteral("Closes this window and keeps the controller in use"),
                 .rect = {7785, 5640, 1575, 435},
                 .tabIndex = 3,
                 .font = regular},
            },
    };
}

} // namespace gpibconfig
