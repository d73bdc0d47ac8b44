// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <vector>

namespace gpibconfig {

enum class ControlKind { Label, TextBox, MultiLineTextBox, ListBox, Button, Frame, Picture };

// Colours the windows use beyond the toolkit's defaults.
enum class ControlStyle { Plain, DarkBlueText, WhiteOnDarkBlue, WhiteBackground };

struct TwipsRect {
    int left = 0, top = 0, width = 0, height = 0; // 1440 twips to the inch
};

struct FontSpec {
    QString family; // the family the windows were drawn with; the toolkit may substitute
    double points = 9.75;
    bool bold = false;
    bool fixedPitch = false; // columns must line up: use the system's fixed font if needed
};

struct ControlDef {
    QString name;
    ControlKind kind = ControlKind::Label;
    QString container; // empty: the window itself
    QString caption;
    QString toolTip;
    TwipsRect rect;
    int tabIndex = -1; // -1: not in the tab order
    FontSpec font;
    ControlStyle style = ControlStyle::Plain;
    bool input = false; // a text box the operator types into (the others only show messages)
};

struct WindowDef {
    QString title;
    int clientWidth = 0, clientHeight = 0; // twips
    std::vector<ControlDef> controls;

    const ControlDef* find(const QString& name) const;
};

WindowDef mainWindowDef();
WindowDef configWindowDef();
WindowDef channelDialogDef();
WindowDef noticeDialogDef();
WindowDef controllerDialogDef();

} // namespace gpibconfig
