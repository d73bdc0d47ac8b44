// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "logic/Screen.h"
#include "ui/WindowDefinitions.h"

#include <QPushButton>
#include <functional>
#include <map>
#include <memory>
#include <set>

class QAccessibleEvent;
class QWidget;

namespace gpibconfig {

// Pixels for a length in twips at the widget's logical resolution (1440 twips to the inch), so
// the windows keep their arrangement at any scaling.
int twipsToPixels(int twips, int logicalDpi);

// The font a control was drawn with, or the closest the system has: the default UI family at the
// same size, the system's fixed-pitch font where columns must line up.
QFont fontFor(const FontSpec& spec);

// Accessibility events the windows raise of their own accord (a report read out) go to the
// platform's bridge, and to this listener as well when one is set. Qt drops the events while no
// bridge is active, as under the offscreen platform; the listener is how a test hears them.
using AccessibilityListener = std::function<void(QAccessibleEvent& event)>;
void setAccessibilityListener(AccessibilityListener listener);

// A push button whose caption wraps at word boundaries inside the button, as captions made of two
// lines separated by a run of blanks expect. text() stays the caption exactly as given.
class WrappingButton : public QPushButton {
public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// The widgets of one window, built from its definition and kept in step with its Screen: the
// logic changes the Screen, the widgets follow; what the operator types or selects flows back.
// Widgets are reached by the logic's control (a member of the window's screen), never by a name,
// so the view cannot ask for a control the logic does not have; the control's name is only the
// widget's object name.
//
// Assistive tools get what a sighted operator reads: every control is named by the text it shows
// (a label, a caption, a message), or by the label beside it, and the name follows the text.
// Boxes that only show messages take no text but the logic's, whichever way it is put in.
class WindowBuilder {
public:
    // `def` is the definition made for `screen` (mainWindowDef(screen), ...).
    WindowBuilder(QWidget* window, const WindowDef& def, Screen& screen);
    ~WindowBuilder();
    WindowBuilder(const WindowBuilder&) = delete;
    WindowBuilder& operator=(const WindowBuilder&) = delete;

    QWidget* widget(const Control& control) const;
    template <typename T> T* get(const Control& control) const
    {
        return qobject_cast<T*>(widget(control));
    }
    // Applies every aspect of every control, e.g. after the logic's reset.
    void syncAll();

    // `label` is the caption of `control` for the operator who sees them side by side: assistive
    // tools call the control by the label's text while the label shows, and relate the two.
    void labelWith(const Control& control, const Control& label);
    // `box` reports to the operator: when it appears with a message, or the logic puts a message
    // into it while it shows, assistive tools are asked to read the message out at once.
    void announceMessages(const Control& box);

private:
    void build(const WindowDef& def);
    void apply(const Control& control, Screen::Aspect aspect);
    void showText(QWidget* w, const QString& text);
    void nameAfterWhatShows(const Control& control);
    void nameWhatItCaptions(const Control& label);
    void keepLogicText(const Control& control);
    void announce(QWidget* box) const;

    QWidget* m_window;
    Screen& m_screen;
    std::map<const Control*, QWidget*> m_widgets;
    std::map<const QWidget*, Control*> m_controlOf;     // the way back, for the focus
    std::map<const Control*, const Control*> m_labelOf; // control -> the label that captions it
    std::set<const Control*> m_reporting;               // boxes whose messages are announced
    // Receiver of the widgets' signals and events: going with the builder, it takes every
    // connection to the builder along, so no widget outliving it calls into it.
    std::unique_ptr<QObject> m_link;
    bool m_applying = false;
};

} // namespace gpibconfig
