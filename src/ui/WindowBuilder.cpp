// SPDX-License-Identifier: GPL-3.0-or-later
#include "WindowBuilder.h"

#include "Logo.h"

#include <QAccessible>
#include <QApplication>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QScopedValueRollback>
#include <QSignalBlocker>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QTextDocument>
#include <algorithm>
#include <cmath>
#include <functional>

namespace gpibconfig {

int twipsToPixels(int twips, int logicalDpi)
{
    return static_cast<int>(std::lround(static_cast<double>(twips) * logicalDpi / 1440.0));
}

namespace {

// The first of `candidates` the machine has, else the last. Asking the font database once for
// its families is cheap next to letting every font look for each missing family in turn, which
// is what a list of families costs at the first text of every control.
QString installedFamily(const QStringList& candidates)
{
    static const QStringList installed = QFontDatabase::families();
    for (const QString& family : candidates)
        if (installed.contains(family, Qt::CaseInsensitive))
            return family;
    return candidates.back();
}

} // namespace

QFont fontFor(const FontSpec& spec)
{
    // The windows were drawn with Windows fonts; where they are missing, families of the same
    // width class follow, so that captions keep fitting their controls.
    QFont font;
    if (spec.fixedPitch) {
        font.setFamily(installedFamily(
            {spec.family, QStringLiteral("Liberation Mono"), QStringLiteral("DejaVu Sans Mono"),
             QFontDatabase::systemFont(QFontDatabase::FixedFont).family()}));
        font.setStyleHint(QFont::TypeWriter);
        font.setFixedPitch(true);
    } else {
        font.setFamily(
            installedFamily({spec.family, QStringLiteral("Microsoft Sans Serif"),
                             QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
                             QStringLiteral("Nimbus Sans"), QApplication::font().family()}));
        font.setStyleHint(QFont::SansSerif);
    }
    font.setPointSizeF(spec.points);
    font.setBold(spec.bold);
    return font;
}

namespace {

AccessibilityListener& accessibilityListener()
{
    static AccessibilityListener listener;
    return listener;
}

void raise(QAccessibleEvent& event)
{
    QAccessible::updateAccessibility(&event);
    if (const AccessibilityListener& listener = accessibilityListener())
        listener(event);
}

} // namespace

void setAccessibilityListener(AccessibilityListener listener)
{
    accessibilityListener() = std::move(listener);
}

namespace {

// A substitute font may still be a little wider than the original: shrink a caption's font (down
// to three quarters of its size) until the wrapped text fits the control, so no caption is cut.
void fitCaption(QWidget* w, const QString& text, const QFont& designFont, int margin)
{
    QFont font = designFont;
    const QRect room = w->rect().adjusted(margin, 0, -margin, 0);
    // Most captions fit on one line as drawn. The sum of the characters' own advances is an upper
    // bound of the line's width (pairs only ever kern closer) and costs a fraction of shaping it.
    const QFontMetrics design(designFont);
    bool fits = text.isEmpty();
    if (!fits && !text.contains(QLatin1Char('\n')) && design.height() <= w->height()) {
        int width = 0;
        for (const QChar c : text)
            width += design.horizontalAdvance(c);
        fits = width <= room.width();
    }
    if (fits) {
        w->setFont(designFont);
        return;
    }
    const double smallest = designFont.pointSizeF() * 0.75;
    while (font.pointSizeF() > smallest) {
        const QRect need = QFontMetrics(font).boundingRect(room, Qt::TextWordWrap, text);
        if (need.width() <= room.width() && need.height() <= w->height())
            break;
        font.setPointSizeF(font.pointSizeF() - 0.25);
    }
    w->setFont(font);
}

// The logo: a label that shows a drawing, not text.
bool isPicture(const QLabel* label) { return !label->picture().isNull(); }

// The logic writes line breaks as carriage return + line feed; a text box breaks at line feeds.
QString boxText(const QString& logicText)
{
    QString shown = logicText;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return shown;
}

// The text a control shows on the screen, whatever kind of control it is.
QString shownText(const QWidget* w)
{
    if (const auto* label = qobject_cast<const QLabel*>(w))
        return isPicture(label) ? logoLettering() : label->text();
    if (const auto* button = qobject_cast<const QAbstractButton*>(w))
        return button->text();
    if (const auto* edit = qobject_cast<const QLineEdit*>(w))
        return edit->text();
    if (const auto* plain = qobject_cast<const QPlainTextEdit*>(w))
        return plain->toPlainText();
    if (const auto* frame = qobject_cast<const QGroupBox*>(w))
        return frame->title();
    return {};
}

// Receives the widgets' signals on the builder's behalf, and watches the reporting boxes for the
// moment they appear.
class Link final : public QObject {
public:
    std::function<void(QWidget*)> shown;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // A window coming back from the task bar brings nothing new to read out.
        if (event->type() == QEvent::Show && !event->spontaneous() && shown) {
            if (auto* w = qobject_cast<QWidget*>(watched))
                shown(w);
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

void WrappingButton::paintEvent(QPaintEvent*)
{
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();
    painter.drawControl(QStyle::CE_PushButton, option);
    const QRect area = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
    style()->drawItemText(&painter, area, Qt::AlignCenter | Qt::TextWordWrap, palette(),
                          isEnabled(), text(), QPalette::ButtonText);
}

WindowBuilder::WindowBuilder(QWidget* window, const WindowDef& def, Screen& screen)
    : m_window(window)
    , m_screen(screen)
{
    auto link = std::make_unique<Link>();
    link->shown = [this](QWidget* box) { announce(box); };
    m_link = std::move(link);
    build(def);
    // The definition draws every control of the screen once and nothing else: a control left
    // out would never show what the logic puts into it.
    Q_ASSERT_X(m_widgets.size() == m_screen.controls().size() &&
                   std::all_of(m_screen.controls().begin(), m_screen.controls().end(),
                               [this](const Control* c) { return m_widgets.count(c) == 1; }),
               "WindowBuilder", qPrintable(def.title));
    // The logic's screen starts with the captions the window was drawn with.
    for (const ControlDef& c : def.controls) {
        c.control->setText(c.caption);
        c.control->setToolTip(c.toolTip);
    }
    m_screen.setObserver(
        [this](const Control& control, Screen::Aspect aspect) { apply(control, aspect); });
    syncAll();
}

WindowBuilder::~WindowBuilder()
{
    // The window's logic outlives its widgets by a moment; what it still changes goes nowhere.
    m_screen.setObserver({});
}

QWidget* WindowBuilder::widget(const Control& control) const
{
    const auto it = m_widgets.find(&control);
    return it == m_widgets.end() ? nullptr : it->second;
}

void WindowBuilder::build(const WindowDef& def)
{
    const int dpi = m_window->logicalDpiX();
    const auto px = [dpi](int twips) { return twipsToPixels(twips, dpi); };
    m_window->setWindowTitle(def.title);
    m_window->setFixedSize(px(def.clientWidth), px(def.clientHeight));

    std::vector<std::pair<int, QWidget*>> tabOrder;
    for (const ControlDef& c : def.controls) {
        Control* control = c.control;
        Q_ASSERT(control);
        // A frame comes before the controls it holds in the definition.
        QWidget* parent = c.container ? widget(*c.container) : m_window;
        Q_ASSERT(parent);
        QWidget* w = nullptr;
        switch (c.kind) {
        case ControlKind::Label: {
            auto* label = new QLabel(parent);
            label->setTextFormat(Qt::PlainText);
            label->setWordWrap(true);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            w = label;
            break;
        }
        case ControlKind::TextBox: {
            auto* edit = new QLineEdit(parent);
            edit->setReadOnly(!c.input);
            if (c.input)
                QObject::connect(edit, &QLineEdit::textEdited, m_link.get(),
                                 [control](const QString& text) { control->userEditedText(text); });
            else
                QObject::connect(edit, &QLineEdit::textChanged, m_link.get(),
                                 [this, control] { keepLogicText(*control); });
            w = edit;
            break;
        }
        case ControlKind::MultiLineTextBox: {
            auto* edit = new QPlainTextEdit(parent);
            edit->setReadOnly(true);
            edit->setLineWrapMode(QPlainTextEdit::WidgetWidth);
            edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            edit->document()->setDocumentMargin(2);
            QObject::connect(edit, &QPlainTextEdit::textChanged, m_link.get(),
                             [this, control] { keepLogicText(*control); });
            w = edit;
            break;
        }
        case ControlKind::ListBox: {
            auto* list = new QListWidget(parent);
            list->setSelectionMode(QAbstractItemView::SingleSelection);
            list->setUniformItemSizes(true);
            QObject::connect(list, &QListWidget::itemSelectionChanged, m_link.get(),
                             [list, control] {
                                 const auto selected = list->selectedItems();
                                 control->userSelectedLine(
                                     selected.isEmpty() ? -1 : list->row(selected.front()));
                             });
            w = list;
            break;
        }
        case ControlKind::Button: {
            auto* button = new WrappingButton(parent);
            button->setAutoDefault(false);
            w = button;
            break;
        }
        case ControlKind::Frame: {
            auto* frame = new QGroupBox(parent);
            w = frame;
            break;
        }
        case ControlKind::Picture: {
            auto* picture = new QLabel(parent);
            picture->setScaledContents(true);
            picture->setPicture(makeLogo());
            w = picture;
            break;
        }
        }
        w->setObjectName(control->name());
        w->setGeometry(px(c.rect.left), px(c.rect.top), px(c.rect.width), px(c.rect.height));
        w->setFont(fontFor(c.font));
        w->setProperty("designFont", w->font());
        if (!c.toolTip.isEmpty())
            w->setToolTip(c.toolTip);
        w->setAccessibleDescription(c.toolTip);
        // Colours go through the palette: a style sheet would pull in the style-sheet engine
        // at start-up for three colours.
        QPalette palette = w->palette();
        switch (c.style) {
        case ControlStyle::Plain:
            break;
        case ControlStyle::DarkBlueText:
            palette.setColor(QPalette::WindowText, QColor(0, 0, 128));
            break;
        case ControlStyle::WhiteOnDarkBlue:
            w->setAutoFillBackground(true);
            palette.setColor(QPalette::Window, QColor(0, 0, 128));
            palette.setColor(QPalette::WindowText, Qt::white);
            break;
        case ControlStyle::WhiteBackground:
            palette.setColor(QPalette::Base, Qt::white);
            palette.setColor(QPalette::Text, Qt::black);
            break;
        }
        w->setPalette(palette);
        if (c.kind == ControlKind::Label || c.kind == ControlKind::Frame ||
            c.kind == ControlKind::Picture)
            w->setFocusPolicy(Qt::NoFocus);
        else if (c.tabIndex < 0)
            w->setFocusPolicy(Qt::ClickFocus);
        else
            tabOrder.emplace_back(c.tabIndex, w);
        m_widgets.emplace(control, w);
        m_controlOf.emplace(w, control);
    }
    std::sort(tabOrder.begin(), tabOrder.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 1; i < tabOrder.size(); ++i)
        QWidget::setTabOrder(tabOrder[i - 1].second, tabOrder[i].second);
    for (const ControlDef& c : def.controls)
        nameAfterWhatShows(*c.control);

    QObject::connect(qApp, &QApplication::focusChanged, m_link.get(),
                     [this](QWidget*, QWidget* now) {
                         if (const auto it = m_controlOf.find(now); it != m_controlOf.end())
                             it->second->userMovedFocus();
                     });
}

void WindowBuilder::labelWith(const Control& control, const Control& label)
{
    auto* caption = get<QLabel>(label);
    QWidget* w = widget(control);
    if (!caption || !w)
        return;
    // The label becomes the control's buddy, which gives the tools the relation between the two
    // (the captions carry no mnemonic, so the label looks and acts as before).
    m_labelOf[&control] = &label;
    nameAfterWhatShows(control);
}

void WindowBuilder::announceMessages(const Control& box)
{
    QWidget* w = widget(box);
    if (!w || !m_reporting.insert(&box).second)
        return;
    w->installEventFilter(m_link.get());
}

void WindowBuilder::nameAfterWhatShows(const Control& control)
{
    QWidget* w = widget(control);
    if (!w)
        return;
    QString shown;
    if (const auto it = m_labelOf.find(&control); it != m_labelOf.end()) {
        // While its label is hidden the control has no caption on the screen, nor for the tools:
        // without the buddy Qt does not fall back on the hidden label's text either.
        if (auto* label = get<QLabel>(*it->second)) {
            const bool captioned = !label->isHidden();
            label->setBuddy(captioned ? w : nullptr);
            if (captioned)
                shown = shownText(label);
        }
    } else if (const auto* edit = qobject_cast<const QLineEdit*>(w);
               qobject_cast<const QListWidget*>(w) || (edit && !edit->isReadOnly())) {
        // What the operator types or picks is the value of the control, not its name.
    } else {
        shown = shownText(w);
    }
    // Line breaks and runs of blanks that only place a caption on the screen are read as one
    // blank.
    w->setAccessibleName(shown.simplified());
}

void WindowBuilder::showText(QWidget* w, const QString& text)
{
    const QFont designFont = w->property("designFont").value<QFont>();
    if (auto* label = qobject_cast<QLabel*>(w)) {
        if (!isPicture(label)) {
            label->setText(text);
            fitCaption(label, text, designFont, 0);
        }
    } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        if (edit->text() != text)
            edit->setText(text);
    } else if (auto* plain = qobject_cast<QPlainTextEdit*>(w)) {
        const QString shown = boxText(text);
        if (plain->toPlainText() != shown)
            plain->setPlainText(shown);
    } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        button->setText(text);
        fitCaption(button, text, designFont, 4);
    }
}

void WindowBuilder::keepLogicText(const Control& control)
{
    // Read-only keeps the keyboard out, not an assistive tool writing through the box's
    // accessible interface: whatever comes in that way, the box goes back to the logic's text.
    if (m_applying)
        return;
    QWidget* w = widget(control);
    if (!w)
        return;
    const QSignalBlocker blocker(w);
    const QScopedValueRollback applying(m_applying, true);
    showText(w, control.text());
}

void WindowBuilder::announce(QWidget* box) const
{
    const QString message = shownText(box).simplified();
    if (message.isEmpty())
        return;
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    // Spoken on every platform, interrupting whatever the reader was saying: a report answers the
    // operator's last action.
    QAccessibleAnnouncementEvent announcement(box, message);
    announcement.setPoliteness(QAccessible::AnnouncementPoliteness::Assertive);
    raise(announcement);
#endif
    // The box is named by its message by now, which is what a reader speaks for an alert.
    QAccessibleEvent alert(box, QAccessible::Alert);
    raise(alert);
}

void WindowBuilder::syncAll()
{
    for (const Control* control : m_screen.controls()) {
        for (auto aspect : {Screen::Aspect::Text, Screen::Aspect::Lines, Screen::Aspect::Selection,
                            Screen::Aspect::Enabled, Screen::Aspect::Visible})
            apply(*control, aspect);
    }
}

void WindowBuilder::nameWhatItCaptions(const Control& label)
{
    for (const auto& [control, captionedBy] : m_labelOf)
        if (captionedBy == &label)
            nameAfterWhatShows(*control);
}

void WindowBuilder::apply(const Control& control, Screen::Aspect aspect)
{
    QWidget* w = widget(control);
    if (!w)
        return;
    switch (aspect) {
    case Screen::Aspect::Text: {
        {
            const QScopedValueRollback applying(m_applying, true);
            showText(w, control.text());
        }
        nameAfterWhatShows(control);
        nameWhatItCaptions(control);
        // Each message the logic puts into a shown report is news, even the same words again:
        // the operator tried once more and failed once more.
        if (m_reporting.count(&control) != 0 && w->isVisible())
            announce(w);
        break;
    }
    case Screen::Aspect::ToolTip:
        // Rich text so that a long explanation wraps instead of running across the screen.
        w->setToolTip(control.toolTip().isEmpty() ? QString()
                                                  : Qt::convertFromPlainText(control.toolTip()));
        w->setAccessibleDescription(control.toolTip());
        break;
    case Screen::Aspect::Enabled:
        w->setEnabled(control.enabled());
        break;
    case Screen::Aspect::Visible:
        w->setVisible(control.visible());
        nameWhatItCaptions(control);
        break;
    case Screen::Aspect::Lines:
    case Screen::Aspect::Selection:
        if (auto* list = qobject_cast<QListWidget*>(w)) {
            const QSignalBlocker blocker(list);
            const QStringList& lines = control.lines();
            bool same = list->count() == lines.size();
            for (int i = 0; same && i < lines.size(); ++i)
                same = list->item(i)->text() == lines.at(i);
            if (!same) {
                list->clear();
                list->addItems(lines);
            }
            const int selected = control.selectedLine();
            if (selected >= 0 && selected < list->count()) {
                list->setCurrentRow(selected);
                list->scrollToItem(list->item(selected));
            } else {
                list->clearSelection();
            }
        }
        break;
    case Screen::Aspect::Focus:
        w->setFocus(Qt::OtherFocusReason);
        break;
    }
}

} // namespace gpibconfig
