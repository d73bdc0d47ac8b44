#include "WindowBuilder.h"

#include "Logo.h"

#include <QApplication>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QStyleOptionButton>
#include <QStylePainter>

#include <algorithm>
#include <cmath>

namespace gpibconfig {

int twipsToPixels(int twips, int logicalDpi)
{
    return static_cast<int>(std::lround(static_cast<double>(twips) * logicalDpi / 1440.0));
}

QFont fontFor(const FontSpec& spec)
{
    // The windows were drawn with Windows fonts; where they are missing, families of the same
    // width class follow, so that captions keep fitting their controls. The list is resolved when
    // the font is first used, which spares the program a scan of every installed family.
    QFont font;
    if (spec.fixedPitch) {
        font.setFamilies({spec.family, QStringLiteral("Liberation Mono"),
                          QStringLiteral("DejaVu Sans Mono"),
                          QFontDatabase::systemFont(QFontDatabase::FixedFont).family()});
        font.setStyleHint(QFont::TypeWriter);
        font.setFixedPitch(true);
    } else {
        font.setFamilies({spec.family, QStringLiteral("Microsoft Sans Serif"),
                          QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
                          QStringLiteral("Nimbus Sans"), QApplication::font().family()});
        font.setStyleHint(QFont::SansSerif);
    }
    font.setPointSizeF(spec.points);
    font.setBold(spec.bold);
    return font;
}

namespace {

// A substitute font may still be a little wider than the original: shrink a caption's font (down
// to three quarters of its size) until the wrapped text fits the control, so no caption is cut.
void fitCaption(QWidget* w, const QString& text, const QFont& designFont, int margin)
{
    QFont font = designFont;
    const QRect room = w->rect().adjusted(margin, 0, -margin, 0);
    const double smallest = designFont.pointSizeF() * 0.75;
    while (font.pointSizeF() > smallest) {
        const QRect need = QFontMetrics(font).boundingRect(room, Qt::TextWordWrap, text);
        if (need.width() <= room.width() && need.height() <= w->height())
            break;
        font.setPointSizeF(font.pointSizeF() - 0.25);
    }
    w->setFont(font);
}

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
    , m_def(def)
    , m_screen(screen)
{
    build();
    m_screen.setObserver([this](const QString& name, Screen::Aspect aspect) { apply(name, aspect); });
    syncAll();
}

QWidget* WindowBuilder::widget(const QString& name) const
{
    const auto it = m_widgets.find(name);
    return it == m_widgets.end() ? nullptr : it->second;
}

void WindowBuilder::build()
{
    const int dpi = m_window->logicalDpiX();
    const auto px = [dpi](int twips) { return twipsToPixels(twips, dpi); };
    m_window->setWindowTitle(m_def.title);
    m_window->setFixedSize(px(m_def.clientWidth), px(m_def.clientHeight));

    std::vector<std::pair<int, QWidget*>> tabOrder;
    for (const ControlDef& c : m_def.controls) {
        QWidget* parent = c.container.isEmpty() ? m_window : widget(c.container);
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
                QObject::connect(edit, &QLineEdit::textEdited, m_window,
                                 [this, name = c.name](const QString& text) {
                                     m_screen.userEditedText(name, text);
                                 });
            w = edit;
            break;
        }
        case ControlKind::MultiLineTextBox: {
            auto* edit = new QPlainTextEdit(parent);
            edit->setReadOnly(true);
            edit->setLineWrapMode(QPlainTextEdit::WidgetWidth);
            edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            edit->document()->setDocumentMargin(2);
            w = edit;
            break;
        }
        case ControlKind::ListBox: {
            auto* list = new QListWidget(parent);
            list->setSelectionMode(QAbstractItemView::SingleSelection);
            list->setUniformItemSizes(true);
            QObject::connect(list, &QListWidget::itemSelectionChanged, m_window,
                             [this, list, name = c.name] {
                                 const auto selected = list->selectedItems();
                                 m_screen.userSelectedLine(
                                     name, selected.isEmpty() ? -1 : list->row(selected.front()));
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
            picture->setPixmap(QPixmap::fromImage(makeLogo()));
            w = picture;
            break;
        }
        }
        w->setObjectName(c.name);
        w->setGeometry(px(c.rect.left), px(c.rect.top), px(c.rect.width), px(c.rect.height));
        w->setFont(fontFor(c.font));
        w->setProperty("designFont", w->font());
        if (!c.toolTip.isEmpty())
            w->setToolTip(c.toolTip);
        w->setAccessibleName(!c.caption.simplified().isEmpty() ? c.caption.simplified() : c.name);
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
        m_widgets.emplace(c.name, w);
    }
    std::sort(tabOrder.begin(), tabOrder.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 1; i < tabOrder.size(); ++i)
        QWidget::setTabOrder(tabOrder[i - 1].second, tabOrder[i].second);

    QObject::connect(qApp, &QApplication::focusChanged, m_window, [this](QWidget*, QWidget* now) {
        if (now && widget(now->objectName()) == now)
            m_screen.userMovedFocus(now->objectName());
    });
}

void WindowBuilder::syncAll()
{
    for (const auto& [name, w] : m_widgets) {
        (void)w;
        if (!m_screen.has(name))
            continue;
        for (auto aspect : {Screen::Aspect::Text, Screen::Aspect::Lines, Screen::Aspect::Selection,
                            Screen::Aspect::Enabled, Screen::Aspect::Visible})
            apply(name, aspect);
    }
}

void WindowBuilder::apply(const QString& name, Screen::Aspect aspect)
{
    QWidget* w = widget(name);
    if (!w)
        return;
    switch (aspect) {
    case Screen::Aspect::Text: {
        const QString text = m_screen.text(name);
        const QFont designFont = w->property("designFont").value<QFont>();
        if (auto* label = qobject_cast<QLabel*>(w)) {
            if (label->pixmap().isNull()) {
                label->setText(text);
                fitCaption(label, text, designFont, 0);
            }
        } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
            if (edit->text() != text)
                edit->setText(text);
        } else if (auto* plain = qobject_cast<QPlainTextEdit*>(w)) {
            // The logic writes line breaks as carriage return + line feed.
            QString shown = text;
            shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
            plain->setPlainText(shown);
        } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
            button->setText(text);
            fitCaption(button, text, designFont, 4);
            w->setAccessibleName(text.simplified());
        }
        break;
    }
    case Screen::Aspect::Enabled:
        w->setEnabled(m_screen.enabled(name));
        break;
    case Screen::Aspect::Visible:
        w->setVisible(m_screen.visible(name));
        break;
    case Screen::Aspect::Lines:
    case Screen::Aspect::Selection:
        if (auto* list = qobject_cast<QListWidget*>(w)) {
            const QSignalBlocker blocker(list);
            const QStringList& lines = m_screen.lines(name);
            bool same = list->count() == lines.size();
            for (int i = 0; same && i < lines.size(); ++i)
                same = list->item(i)->text() == lines.at(i);
            if (!same) {
                list->clear();
                list->addItems(lines);
            }
            const int selected = m_screen.selectedLine(name);
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
