#pragma once

#include "config/Screen.h"
#include "config/WindowLayouts.h"

#include <QPushButton>

#include <map>

class QWidget;

namespace gpibconfig {

// Pixels for a length in twips at the widget's logical resolution (1440 twips to the inch), so
// the windows keep their arrangement at any scaling.
int twipsToPixels(int twips, int logicalDpi);

// The font a control was drawn with, or the closest the system has: the default UI family at the
// same size, the system's fixed-pitch font where columns must line up.
QFont fontFor(const FontSpec& spec);

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
class WindowBuilder {
public:
    WindowBuilder(QWidget* window, const WindowDef& def, Screen& screen);

    QWidget* widget(const QString& name) const;
    template <typename T> T* get(const QString& name) const
    {
        return qobject_cast<T*>(widget(name));
    }
    // Applies every aspect of every control, e.g. after the logic's Form_Load.
    void syncAll();

private:
    void build();
    void apply(const QString& name, Screen::Aspect aspect);

    QWidget* m_window;
    const WindowDef m_def;
    Screen& m_screen;
    std::map<QString, QWidget*> m_widgets;
};

} // namespace gpibconfig
