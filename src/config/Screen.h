#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <map>

namespace gpibconfig {

struct WindowDef;

// What the logic of a window knows of its controls: text, enabled and visible state, the lines of
// a list box and its selected line, and where the focus is. The window's widgets mirror it through
// the observer; the logic never touches a widget, so every decision can be tested without a display.
class Screen {
public:
    enum class Aspect { Text, Enabled, Visible, Lines, Selection, Focus };
    using Observer = std::function<void(const QString& control, Aspect aspect)>;

    struct Control {
        QString text;
        bool enabled = true;
        bool visible = true;
        QStringList lines;
        int selected = -1; // no line selected
    };

    explicit Screen(const QStringList& controls);
    // Controls of a window with their design-time captions.
    explicit Screen(const WindowDef& window);

    void setObserver(Observer observer) { m_observer = std::move(observer); }
    bool has(const QString& name) const { return m_controls.count(name) != 0; }
    QStringList names() const;

    void setText(const QString& name, const QString& text);
    QString text(const QString& name) const;
    void setEnabled(const QString& name, bool enabled);
    bool enabled(const QString& name) const;
    void setVisible(const QString& name, bool visible);
    bool visible(const QString& name) const;
    void setFocus(const QString& name);
    QString focus() const { return m_focus; }

    // List boxes, addressed by zero-based position. Positions outside the list are refused
    // (return false) instead of touching a line that does not exist.
    const QStringList& lines(const QString& name) const;
    int lineCount(const QString& name) const { return static_cast<int>(lines(name).size()); }
    bool insertLine(const QString& name, int position, const QString& line);
    bool removeLine(const QString& name, int position);
    void clearLines(const QString& name);
    void setLines(const QString& name, const QStringList& lines);
    bool selectLine(const QString& name, int position);
    int selectedLine(const QString& name) const;

    // What the operator did in a widget: recorded without being echoed back to the widget.
    void userEditedText(const QString& name, const QString& text);
    void userSelectedLine(const QString& name, int position);
    void userMovedFocus(const QString& name);

private:
    Control& at(const QString& name);
    const Control& at(const QString& name) const;
    void notify(const QString& name, Aspect aspect);

    std::map<QString, Control> m_controls;
    QString m_focus;
    Observer m_observer;
    Control m_unknown;
};

} // namespace gpibconfig
