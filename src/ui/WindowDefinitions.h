// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "logic/Screen.h"

#include <QString>
#include <vector>

namespace gpibconfig {

struct Model;

enum class ControlKind { Label, TextBox, MultiLineTextBox, ListBox, Button, Frame, Picture };

// Colours the windows use beyond the toolkit's defaults.
enum class ControlStyle { Plain, DarkBlueText, WhiteOnDarkBlue, WhiteBackground };

struct TwipsRect {
    int left = 0, top = 0, width = 0, height = 0; // 1440 twips to the inch
};

struct FontSpec {
    QString family = {}; // the family the windows were drawn with; the toolkit may substitute
    double points = 9.75;
    bool bold = false;
    bool fixedPitch = false; // columns must line up: use the system's fixed font if needed
};

// How one control of a window is drawn. Written with designated initializers, so every field is
// named where a window sets it; the fields a control leaves out keep the defaults below.
struct ControlDef {
    // The logic's control the widget shows, a member of the window's screen: a definition cannot
    // draw a control the logic does not have. Its name is the widget's object name.
    Control* control = nullptr;
    ControlKind kind = ControlKind::Label;
    const Control* container = nullptr; // the frame the control sits in; null: the window itself
    QString caption = {};
    QString toolTip = {};
    TwipsRect rect = {};
    int tabIndex = -1; // -1: not in the tab order
    FontSpec font = {};
    ControlStyle style = ControlStyle::Plain;
    bool input = false; // a text box the operator types into (the others only show messages)
};

// A window's definition, made for one screen: its controls point into that screen, and the
// window draws each control of the screen once.
struct WindowDef {
    QString title = {};
    int clientWidth = 0, clientHeight = 0; // twips
    std::vector<ControlDef> controls = {};
};

WindowDef mainWindowDef(MainScreen& screen);
WindowDef configWindowDef(ConfigScreen& screen);
// The channel dialog of a multi-channel model: its caption names the model and its channels.
WindowDef channelDialogDef(ChannelScreen& screen, const Model& model);
WindowDef noticeDialogDef(NoticeScreen& screen);
WindowDef controllerDialogDef(ControllerScreen& screen);

} // namespace gpibconfig
