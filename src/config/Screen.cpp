#include "Screen.h"

#include "WindowLayouts.h"

namespace gpibconfig {

Screen::Screen(const QStringList& controls)
{
    for (const QString& name : controls)
        m_controls.emplace(name, Control{});
}

Screen::Screen(const WindowDef& window)
{
    for (const ControlDef& c : window.controls) {
        Control control;
        control.text = c.caption;
        m_controls.emplace(c.name, control);
    }
}

QStringList Screen::names() const
{
    QStringList out;
    for (const auto& [name, control] : m_controls)
        out << name;
    return out;
}

Screen::Control& Screen::at(const QString& name)
{
    auto it = m_controls.find(name);
    Q_ASSERT_X(it != m_controls.end(), "Screen", qPrintable(QStringLiteral("unknown control ") + name));
    if (it == m_controls.end()) {
        m_unknown = Control{};
        return m_unknown;
    }
    return it->second;
}

const Screen::Control& Screen::at(const QString& name) const
{
    return const_cast<Screen*>(this)->at(name);
}

void Screen::notify(const QString& name, Aspect aspect)
{
    if (m_observer)
        m_observer(name, aspect);
}

void Screen::setText(const QString& name, const QString& text)
{
    at(name).text = text;
    notify(name, Aspect::Text);
}

QString Screen::text(const QString& name) const { return at(name).text; }

void Screen::setEnabled(const QString& name, bool enabled)
{
    at(name).enabled = enabled;
    notify(name, Aspect::Enabled);
}

bool Screen::enabled(const QString& name) const { return at(name).enabled; }

void Screen::setVisible(const QString& name, bool visible)
{
    at(name).visible = visible;
    notify(name, Aspect::Visible);
}

bool Screen::visible(const QString& name) const { return at(name).visible; }

void Screen::setFocus(const QString& name)
{
    if (!has(name))
        return;
    m_focus = name;
    notify(name, Aspect::Focus);
}

const QStringList& Screen::lines(const QString& name) const { return at(name).lines; }

bool Screen::insertLine(const QString& name, int position, const QString& line)
{
    Control& c = at(name);
    if (position < 0 || position > c.lines.size())
        return false;
    c.lines.insert(position, line);
    if (c.selected >= position)
        ++c.selected;
    notify(name, Aspect::Lines);
    return true;
}

bool Screen::removeLine(const QString& name, int position)
{
    Control& c = at(name);
    if (position < 0 || position >= c.lines.size())
        return false;
    c.lines.removeAt(position);
    if (c.selected == position)
        c.selected = -1;
    else if (c.selected > position)
        --c.selected;
    notify(name, Aspect::Lines);
    return true;
}

void Screen::clearLines(const QString& name)
{
    Control& c = at(name);
    c.lines.clear();
    c.selected = -1;
    notify(name, Aspect::Lines);
}

void Screen::setLines(const QString& name, const QStringList& lines)
{
    Control& c = at(name);
    c.lines = lines;
    c.selected = -1;
    notify(name, Aspect::Lines);
}

bool Screen::selectLine(const QString& name, int position)
{
    Control& c = at(name);
    if (position < -1 || position >= c.lines.size())
        return false;
    c.selected = position;
    notify(name, Aspect::Selection);
    return true;
}

int Screen::selectedLine(const QString& name) const { return at(name).selected; }

void Screen::userEditedText(const QString& name, const QString& text) { at(name).text = text; }

void Screen::userSelectedLine(const QString& name, int position)
{
    Control& c = at(name);
    c.selected = (position >= 0 && position < c.lines.size()) ? position : -1;
}

void Screen::userMovedFocus(const QString& name)
{
    if (has(name))
        m_focus = name;
}

} // namespace gpibconfig
