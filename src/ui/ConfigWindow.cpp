// SPDX-License-Identifier: GPL-3.0-or-later
#include "ConfigWindow.h"

#include "Dialogs.h"
#include "HintBox.h"
#include "MainWindow.h"
#include "logic/Controls.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace gpibconfig {

ConfigWindow::ConfigWindow(AppContext& app, QWidget* parent)
    : QDialog(parent)
    , m_app(app)
    , m_logic(app, m_screen, *this)
{
    setObjectName(QStringLiteral("frmConfig"));
    m_widgets = std::make_unique<WindowBuilder>(this, configWindowDef(), m_screen);
    m_widgets->labelWith(ctl::txtAddr, ctl::Label1);
    m_widgets->labelWith(ctl::lstFunction, ctl::labelFunction);
    m_widgets->labelWith(ctl::txtChoice, ctl::labelChoice);
    m_widgets->announceMessages(ctl::txtErrMsg);
    m_widgets->announceMessages(ctl::txtGPIBErr);

    connectButton(ctl::cmdSet, &ConfigLogic::setAddress);
    connectButton(ctl::cmdEnter, &ConfigLogic::enterOrAdvance);
    connectButton(ctl::cmdSav, &ConfigLogic::saveConfiguration);
    connectButton(ctl::cmdSRQ, &ConfigLogic::keepEnablesAtPowerOn);
    connectButton(ctl::cmdNoSRQ, &ConfigLogic::clearEnablesAtPowerOn);
    connectButton(ctl::cmdLock, &ConfigLogic::lockSettings);
    connectButton(ctl::cmdDone, &ConfigLogic::leave);
    connectButton(ctl::cmdRedo, &ConfigLogic::startOver);
    connectButton(ctl::cmdNextCh, &ConfigLogic::nextChannel);

    auto* list = m_widgets->get<QListWidget>(ctl::lstFunction);
    connect(list, &QListWidget::itemClicked, this, [this] { m_logic.focusChoice(); });
    connect(list, &QListWidget::itemDoubleClicked, this, [this] { m_logic.enterFromList(); });
    list->installEventFilter(this);

    m_logic.reset();
}

ConfigWindow::~ConfigWindow() = default;

void ConfigWindow::connectButton(const QString& name, void (ConfigLogic::*handler)())
{
    connect(m_widgets->get<QPushButton>(name), &QPushButton::clicked, this,
            [this, handler] { (m_logic.*handler)(); });
}

void ConfigWindow::reject()
{
    if (m_closing) {
        QDialog::reject();
        return;
    }
    if (!m_logic.busy())
        m_logic.leave();
}

void ConfigWindow::closeConfigWindow()
{
    m_closing = true;
    done(QDialog::Accepted);
}

bool ConfigWindow::askChannel()
{
    ChannelDialog dialog(m_app, this);
    if (m_channelHook)
        m_channelHook(dialog);
    return dialog.exec() == QDialog::Accepted;
}

void ConfigWindow::showNotice(const QString& notice)
{
    NoticeDialog dialog(notice, this);
    if (m_noticeHook)
        m_noticeHook(dialog);
    dialog.exec();
}

bool ConfigWindow::eventFilter(QObject* watched, QEvent* event)
{
    // Return on the function list is its double-click.
    if (event->type() == QEvent::KeyPress && watched == m_widgets->widget(ctl::lstFunction)) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            m_logic.enterFromList();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void ConfigWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter) {
        QDialog::keyPressEvent(event);
        return;
    }
    event->accept();
    // Return presses the focused button; in a text box, the button the box belongs to.
    QWidget* focus = focusWidget();
    QPushButton* target = qobject_cast<QPushButton*>(focus);
    if (focus == m_widgets->widget(ctl::txtAddr))
        target = m_widgets->get<QPushButton>(ctl::cmdSet);
    else if (focus == m_widgets->widget(ctl::txtChoice))
        target = m_widgets->get<QPushButton>(ctl::cmdEnter);
    if (target && target->isEnabled() && target->isVisible())
        target->click();
}

void ConfigWindow::showHint(const QString& hint, const QString& nextSteps)
{
    std::function<void()> choose;
    if (m_chooser)
        choose = [this] { m_chooser->chooseController(this); };
    showHintBox(this, m_widgets->widget(ctl::txtGPIBErr), hint, nextSteps, choose);
}

} // namespace gpibconfig
