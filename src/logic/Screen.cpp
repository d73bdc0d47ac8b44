// SPDX-License-Identifier: GPL-3.0-or-later
#include "Screen.h"

namespace gpibconfig {

Control::Control(Screen& owner, const QString& name)
    : m_owner(owner)
    , m_name(name)
{
    m_owner.add(this);
}

void Control::setText(const QString& text)
{
    m_text = text;
    m_owner.notify(*this, Screen::Aspect::Text);
}

void Control::setToolTip(const QString& toolTip)
{
    m_toolTip = toolTip;
    m_owner.notify(*this, Screen::Aspect::ToolTip);
}

void Control::setEnabled(bool enabled)
{
    m_enabled = enabled;
    m_owner.notify(*this, Screen::Aspect::Enabled);
}

void Control::setVisible(bool visible)
{
    m_visible = visible;
    m_owner.notify(*this, Screen::Aspect::Visible);
}

void Control::setFocus() { m_owner.focusOn(this, true); }

bool Control::hasFocus() const { return m_owner.m_focus == this; }

bool Control::insertLine(int position, const QString& line)
{
    if (position < 0 || position > m_lines.size())
        return false;
    m_lines.insert(position, line);
    if (m_selected >= position)
        ++m_selected;
    m_owner.notify(*this, Screen::Aspect::Lines);
    return true;
}

bool Control::removeLine(int position)
{
    if (position < 0 || position >= m_lines.size())
        return false;
    m_lines.removeAt(position);
    if (m_selected == position)
        m_selected = -1;
    else if (m_selected > position)
        --m_selected;
    m_owner.notify(*this, Screen::Aspect::Lines);
    return true;
}

void Control::clearLines()
{
    m_lines.clear();
    m_selected = -1;
    m_owner.notify(*this, Screen::Aspect::Lines);
}

void Control::setLines(const QStringList& lines)
{
    m_lines = lines;
    m_selected = -1;
    m_owner.notify(*this, Screen::Aspect::Lines);
}

bool Control::selectLine(int position)
{
    if (position < -1 || position >= m_lines.size())
        return false;
    m_selected = position;
    m_owner.notify(*this, Screen::Aspect::Selection);
    return true;
}

void Control::userSelectedLine(int position)
{
    m_selected = (position >= 0 && position < m_lines.size()) ? position : -1;
}

void Control::userMovedFocus() { m_owner.focusOn(this, false); }

void Screen::notify(const Control& control, Aspect aspect)
{
    if (m_observer)
        m_observer(control, aspect);
}

void Screen::focusOn(const Control* control, bool tellView)
{
    m_focus = control;
    if (tellView)
        notify(*control, Aspect::Focus);
}

} // namespace gpibconfig
