// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Controls.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

namespace gpibconfig {

class Screen;

// One control as a window's logic knows it: text, enabled and visible state, the lines of a list
// box and its selected line. The logic reaches controls only as members of its window's screen
// (MainScreen, ConfigScreen, ...), and so does the view (its window definitions and its widgets
// are keyed by these members), so a misspelt control does not compile; the name is only the
// widget's object name, for tests, screenshots and assistive tools.
class Control {
public:
    Control(Screen& owner, const QString& name);
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    const QString& name() const { return m_name; }

    QString text() const { return m_text; }
    void setText(const QString& text);
    bool enabled() const { return m_enabled; }
    void setEnabled(bool enabled);
    bool visible() const { return m_visible; }
    void setVisible(bool visible);
    // What the control explains on pointing at it; assistive tools get it as the description.
    QString toolTip() const { return m_toolTip; }
    void setToolTip(const QString& toolTip);
    void setFocus();
    bool hasFocus() const;

    // List boxes, addressed by zero-based position. Positions outside the list are refused
    // (return false) instead of touching a line that does not exist.
    const QStringList& lines() const { return m_lines; }
    int lineCount() const { return static_cast<int>(m_lines.size()); }
    bool insertLine(int position, const QString& line);
    bool removeLine(int position);
    void clearLines();
    void setLines(const QStringList& lines);
    bool selectLine(int position);
    int selectedLine() const { return m_selected; }

    // What the operator did in the widget: recorded without being echoed back to it.
    void userEditedText(const QString& text) { m_text = text; }
    void userSelectedLine(int position);
    void userMovedFocus();

private:
    Screen& m_owner;
    QString m_name;
    QString m_text;
    QString m_toolTip;
    bool m_enabled = true;
    bool m_visible = true;
    QStringList m_lines;
    int m_selected = -1; // no line selected
};

// The controls of one window and where the focus is. The window's widgets mirror it through the
// observer; the logic never touches a widget, so every decision can be tested without a display.
class Screen {
public:
    enum class Aspect { Text, ToolTip, Enabled, Visible, Lines, Selection, Focus };
    using Observer = std::function<void(const Control& control, Aspect aspect)>;

    Screen(const Screen&) = delete;
    Screen& operator=(const Screen&) = delete;

    void setObserver(Observer observer) { m_observer = std::move(observer); }
    // The object name of the control with the focus; empty when none has it.
    QString focus() const { return m_focus ? m_focus->name() : QString(); }

    // Every control, in the order the screen declares them. The view reaches each one as the
    // member it is, never by its name; this list is how it checks that it draws them all.
    const std::vector<Control*>& controls() const { return m_controls; }

protected:
    Screen() = default;
    ~Screen() = default;

private:
    friend class Control;
    void add(Control* control) { m_controls.push_back(control); }
    void notify(const Control& control, Aspect aspect);
    void focusOn(const Control* control, bool tellView);

    std::vector<Control*> m_controls;
    const Control* m_focus = nullptr;
    Observer m_observer;
};

// frmMain
struct MainScreen final : Screen {
    Control labelTitle{*this, ctl::labelTitle};
    Control labelRev{*this, ctl::labelRev};
    Control labelSelect{*this, ctl::labelSelect};
    Control listUnit{*this, ctl::listUnit};
    Control cmdConfig{*this, ctl::cmdConfig};
    Control cmdContinue{*this, ctl::cmdContinue};
    Control txtGPIBErr{*this, ctl::txtGPIBErr};
    Control ImageZEB{*this, ctl::ImageZEB};
    Control cmdExit{*this, ctl::cmdExit};
};

// frmConfig
struct ConfigScreen final : Screen {
    Control txtTitle{*this, ctl::txtTitle};
    Control frameAddr{*this, ctl::frameAddr};
    Control Label1{*this, ctl::Label1};
    Control txtAddr{*this, ctl::txtAddr};
    Control cmdSet{*this, ctl::cmdSet};
    Control txtErrMsg{*this, ctl::txtErrMsg};
    Control frameMenu{*this, ctl::frameMenu};
    Control labelFunction{*this, ctl::labelFunction};
    Control lstFunction{*this, ctl::lstFunction};
    Control labelChoice{*this, ctl::labelChoice};
    Control txtChoice{*this, ctl::txtChoice};
    Control cmdEnter{*this, ctl::cmdEnter};
    Control cmdRedo{*this, ctl::cmdRedo};
    Control cmdNextCh{*this, ctl::cmdNextCh};
    Control txtGPIBErr{*this, ctl::txtGPIBErr};
    Control cmdSRQ{*this, ctl::cmdSRQ};
    Control cmdNoSRQ{*this, ctl::cmdNoSRQ};
    Control cmdLock{*this, ctl::cmdLock};
    Control cmdSav{*this, ctl::cmdSav};
    Control cmdDone{*this, ctl::cmdDone};
};

// frmChannels
struct ChannelScreen final : Screen {
    Control Label1{*this, ctl::Label1};
    Control txtChNum{*this, ctl::txtChNum};
    Control cmdChSel{*this, ctl::cmdChSel};
    Control txtErrMsg{*this, ctl::txtErrMsg};
};

// frmNotice
struct NoticeScreen final : Screen {
    Control txtNotice{*this, ctl::txtNotice};
    Control cmdCancel{*this, ctl::cmdCancel};
};

// frmController: which controller the bus goes through (gpibconfig only).
struct ControllerScreen final : Screen {
    Control labelController{*this, ctl::labelController};
    Control listController{*this, ctl::listController};
    Control labelPorts{*this, ctl::labelPorts};
    Control labelHost{*this, ctl::labelHost};
    Control txtHost{*this, ctl::txtHost};
    Control txtErrMsg{*this, ctl::txtErrMsg};
    Control labelOverride{*this, ctl::labelOverride};
    Control cmdOK{*this, ctl::cmdOK};
    Control cmdCancel{*this, ctl::cmdCancel};
};

} // namespace gpibconfig
