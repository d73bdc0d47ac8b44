// SPDX-License-Identifier: GPL-3.0-or-later
#include "Dialogs.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>

namespace gpibconfig {

ChannelDialog::ChannelDialog(AppContext& app, const Model& model, QWidget* parent)
    : QDialog(parent)
    , m_logic(app, model, m_screen, *this)
{
    setObjectName(QStringLiteral("frmChannels"));
    m_widgets = std::make_unique<WindowBuilder>(this, channelDialogDef(m_screen, model), m_screen);
    m_widgets->labelWith(m_screen.txtChNum, m_screen.Label1);
    m_widgets->announceMessages(m_screen.txtErrMsg);
    auto* ok = m_widgets->get<QPushButton>(m_screen.cmdChSel);
    // Continue takes Return, so a keyboard user types the digit and presses Return.
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, [this] { m_logic.acceptChannel(); });
    connect(m_widgets->get<QLineEdit>(m_screen.txtChNum), &QLineEdit::textEdited, this,
            [this] { m_logic.channelEdited(); });
    m_logic.reset();
}

ChannelDialog::~ChannelDialog() = default;

void ChannelDialog::closeChannelDialog() { accept(); }

NoticeDialog::NoticeDialog(const QString& notice, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmNotice"));
    m_widgets = std::make_unique<WindowBuilder>(this, noticeDialogDef(m_screen), m_screen);
    m_screen.txtNotice.setText(notice);
    auto* text = m_widgets->get<QPlainTextEdit>(m_screen.txtNotice);
    text->moveCursor(QTextCursor::Start);
    text->verticalScrollBar()->setValue(0);
    auto* cancel = m_widgets->get<QPushButton>(m_screen.cmdCancel);
    cancel->setDefault(true);
    cancel->setFocus();
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

NoticeDialog::~NoticeDialog() = default;

} // namespace gpibconfig
