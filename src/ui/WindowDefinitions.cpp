// SPDX-License-Identifier: GPL-3.0-or-later
#include "WindowDefinitions.h"

#include "logic/Controls.h"

namespace gpibconfig {

namespace {

const QString kSansSerif = QStringLiteral("MS Sans Serif");

FontSpec sans(double points, bool bold = false) { return {kSansSerif, points, bold, false}; }

} // namespace

const ControlDef* WindowDef::find(const QString& name) const
{
    for (const ControlDef& c : controls)
        if (c.name == name)
            return &c;
    return nullptr;
}

WindowDef mainWindowDef()
{
    using K = ControlKind;
    WindowDef w;
    w.title = QStringLiteral("GPIB Interface Configuration");
    w.clientWidth = 7725;
    w.clientHeight = 6405;
    w.controls = {
        {ctl::labelTitle, K::Label, {}, QStringLiteral("WELCOME TO ZEB's GPIB CONFIGUATION PROGRAM"),
         {}, {840, 120, 5895, 255}, 0, sans(9.75, true), ControlStyle::DarkBlueText},
        {ctl::labelRev, K::Label, {}, {}, {}, {2400, 360, 2775, 255}, 6, sans(8.25)},
        {ctl::labelSelect, K::Label, {},
         QStringLiteral(
             "Select a Model to configure from the following list and press Configure:"),
         {}, {600, 840, 6375, 255}, 7, sans(9.75)},
        {ctl::listUnit, K::ListBox, {}, {},
         QStringLiteral(
             "Highlight the unit's model number and press the Configure button to start."),
         {1680, 1200, 2055, 2955}, 1, sans(9.75)},
        {ctl::cmdConfig, K::Button, {}, QStringLiteral("Configure"),
         QStringLiteral("Configures selected model"), {4440, 2400, 1455, 615}, 2, sans(9.75)},
        {ctl::cmdContinue, K::Button, {}, QStringLiteral("Continue"),
         QStringLiteral("Continues configuration after power cycling the device"),
         {4440, 3600, 1455, 615}, 4, sans(9.75)},
        {ctl::txtGPIBErr, K::MultiLineTextBox, {}, {}, {}, {600, 4560, 6135, 615}, 3, sans(9.75),
         ControlStyle::WhiteBackground},
        {ctl::ImageZEB, K::Picture, {}, {}, {}, {600, 5280, 2340, 765}, -1, sans(9.75)},
        {ctl::cmdExit, K::Button, {}, QStringLiteral("Exit"), QStringLiteral("Exits program"),
         {5280, 5400, 1575, 615}, 5, sans(9.75)},
    };
    return w;
}

WindowDef configWindowDef()
{
    using K = ControlKind;
    const FontSpec bold = sans(9.75, true);
    const FontSpec regular = sans(9.75);
    WindowDef w;
    w.title = QStringLiteral("Configuration Form");
    w.clientWidth = 9000;
    w.clientHeight = 7275;
    w.controls = {
        {ctl::txtTitle, K::TextBox, {}, {}, {}, {2640, 120, 4095, 345}, -1, bold},
        {ctl::frameAddr, K::Frame, {}, {}, {}, {360, 720, 8055, 1095}, -1, bold},
        {ctl::Label1, K::Label, ctl::frameAddr,
         QStringLiteral("              Enter Device Address and press Set Address button"), {},
         {480, 120, 7095, 255}, -1, bold},
        {ctl::txtAddr, K::TextBox, ctl::frameAddr, {},
         QStringLiteral("Enter the device's primary GPIB address and press the Set button"),
         {2160, 600, 975, 375}, 0, regular, ControlStyle::Plain, true},
        {ctl::cmdSet, K::Button, ctl::frameAddr, QStringLiteral("Set Address"),
         QStringLiteral("Enters the device address into the program"), {3960, 600, 2055, 375}, 1,
         regular},
        {ctl::txtErrMsg, K::TextBox, {}, {}, {}, {1200, 2040, 4575, 375}, -1, bold},
        {ctl::frameMenu, K::Frame, {}, {}, {}, {360, 2400, 8055, 3855}, -1, bold},
        {ctl::labelFunction, K::Label, ctl::frameMenu,
         QStringLiteral("   Unit function  - Choices                    Current Setting"), {},
         {360, 120, 5655, 375}, -1, bold, ControlStyle::WhiteOnDarkBlue},
        {ctl::lstFunction, K::ListBox, ctl::frameMenu, {},
         QStringLiteral("Displays function and current setting.  Enter a new setting on the "
                        "right or press Enter/Advance button"),
         {360, 360, 5655, 2310}, 8, FontSpec{QStringLiteral("Courier New"), 9, false, true}},
        {ctl::labelChoice, K::Label, ctl::frameMenu,
         QStringLiteral("Enter a new value or click Enter/Advance  to keep current value"), {},
         {6120, 240, 1695, 735}, -1, sans(8.25)},
        {ctl::txtChoice, K::TextBox, ctl::frameMenu, {},
         QStringLiteral(
             "Enter any new setting values here and then press the Enter/Advance button"),
         {6120, 960, 1692, 492}, 2, regular, ControlStyle::Plain, true},
        {ctl::cmdEnter, K::Button, ctl::frameMenu, QStringLiteral("Enter or Advance"),
         QStringLiteral("Enters a new value or keeps current value and advances to next fiunction"),
         {6240, 1560, 1455, 615}, 3, regular},
        {ctl::cmdRedo, K::Button, ctl::frameMenu, QStringLiteral("    Redo from               Start"),
         QStringLiteral("Restarts the configuration process"), {6240, 2280, 1455, 615}, 9, regular},
        {ctl::cmdNextCh, K::Button, ctl::frameMenu, QStringLiteral("Next Channel"),
         QStringLiteral("Advances to next channel for multi-channel devices."),
         {6240, 3000, 1455, 615}, 10, regular},
        {ctl::txtGPIBErr, K::MultiLineTextBox, {}, {}, {}, {1920, 5160, 3495, 735}, -1, regular,
         ControlStyle::WhiteBackground},
        {ctl::cmdSRQ, K::Button, {}, QStringLiteral("      Save ESE                 and SRE"),
         QStringLiteral("Saves ESE and SRE values.  Normally they are not saved."),
         {120, 6480, 1695, 495}, 6, regular},
        {ctl::cmdNoSRQ, K::Button, {}, QStringLiteral("Don't Save SRE"),
         QStringLiteral("Blocks SRe from being saved by the configuration program"),
         {2040, 6480, 1695, 495}, 11, regular},
        {ctl::cmdLock, K::Button, {}, QStringLiteral("Lock Settings"),
         QStringLiteral("Turns lock on after the save"), {3960, 6480, 1335, 495}, 7, regular},
        {ctl::cmdSav, K::Button, {}, QStringLiteral("Save Configuration"),
         QStringLiteral("Saves current settings"), {5520, 6480, 1935, 495}, 4, regular},
        {ctl::cmdDone, K::Button, {}, QStringLiteral("Done"),
         QStringLiteral("Closes the Configuration Window and returns to the Selection Window"),
         {7680, 6480, 975, 495}, 5, regular},
    };
    return w;
}

WindowDef channelDialogDef()
{
    using K = ControlKind;
    WindowDef w;
    w.title = QStringLiteral("Channels");
    w.clientWidth = 4920;
    w.clientHeight = 1980;
    w.controls = {
        {ctl::Label1, K::Label, {},
         QStringLiteral("Enter a 7379 channel from 1 to 4 and press Continue"), {},
         {480, 120, 3975, 375}, 1, sans(9.75)},
        {ctl::txtChNum, K::TextBox, {}, {}, {}, {1200, 600, 1095, 495}, 0, sans(9.75),
         ControlStyle::Plain, true},
        {ctl::cmdChSel, K::Button, {}, QStringLiteral("Continue"), {}, {2880, 600, 1095, 495}, 2,
         sans(9.75)},
        {ctl::txtErrMsg, K::TextBox, {}, {}, {}, {480, 1320, 4095, 375}, 3, sans(9.75)},
    };
    return w;
}

WindowDef noticeDialogDef()
{
    using K = ControlKind;
    WindowDef w;
    w.title = QStringLiteral("NOTICE");
    w.clientWidth = 5730;
    w.clientHeight = 3660;
    w.controls = {
        {ctl::txtNotice, K::MultiLineTextBox, {}, QStringLiteral("Notice text"), {},
         {120, 600, 5415, 1935}, 0, sans(9.75)},
        {ctl::cmdCancel, K::Button, {}, QStringLiteral("Cancel"), {}, {3840, 2640, 1695, 615}, 1,
         sans(9.75)},
    };
    return w;
}

WindowDef controllerDialogDef()
{
    using K = ControlKind;
    const FontSpec regular = sans(9.75);
    WindowDef w;
    w.title = QStringLiteral("Choose GPIB Controller");
    w.clientWidth = 9600;
    w.clientHeight = 6240;
    w.controls = {
        {ctl::labelController, K::Label, {}, QStringLiteral("Controller for the next Configure:"),
         {}, {240, 120, 9120, 255}, -1, regular},
        // Its description names the kinds offered; the logic writes it.
        {ctl::listController, K::ListBox, {}, {}, {}, {240, 420, 9120, 2175}, 0, regular},
        {ctl::labelPorts, K::Label, {}, {}, {}, {240, 2670, 9120, 495}, -1, regular},
        {ctl::labelHost, K::Label, {}, {}, {}, {240, 3240, 9120, 255}, -1, regular},
        {ctl::txtHost, K::TextBox, {}, {},
         QStringLiteral("A host name, an IPv4 address, or an IPv6 address in brackets; :PORT after "
                        "it when the controller does not listen on its usual port"),
         {240, 3540, 4695, 375}, 1, regular, ControlStyle::Plain, true},
        {ctl::txtErrMsg, K::MultiLineTextBox, {}, {}, {}, {240, 4020, 9120, 615}, -1, regular,
         ControlStyle::WhiteBackground},
        {ctl::labelOverride, K::Label, {}, {}, {}, {240, 4740, 9120, 795}, -1, regular},
        {ctl::cmdOK, K::Button, {}, QStringLiteral("OK"),
         QStringLiteral("Saves the choice and uses the controller from the next Configure"),
         {6000, 5640, 1575, 435}, 2, regular},
        {ctl::cmdCancel, K::Button, {}, QStringLiteral("Cancel"),
         QStringLiteral("Closes this window and keeps the controller in use"),
         {7785, 5640, 1575, 435}, 3, regular},
    };
    return w;
}

} // namespace gpibconfig
