// SPDX-License-Identifier: GPL-3.0-or-later
#include "ConfigWindow.h"

#include "Dialogs.h"
#include "HintBox.h"
#include "MainWindow.h"

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
    m_widgets = std::make_unique<WindowBuilder>(this, configWindowDef(m_screen), m_screen);
    m_widgets->labelWith(m_screen.txtAddr, m_screen.Label1);
    m_widgets->labelWith(m_screen.lstFunction, m_screen.labelFunction);
    m_widgets->labelWith(m_screen.txtChoice, m_screen.labelChoice);
    m_widgets->announceMessages(m_screen.txtErrMsg);
    m_widgets->announceMessages(m_screen.txtGPIBErr);

    connectButton(m_screen.cmdSet, &ConfigLogic::setAddress);
    connectButton(m_screen.cmdEnter, &ConfigLogic::enterOrAdvance);
    connectButton(m_screen.cmdSav, &ConfigLogic::saveConfiguration);
    connectButton(m_screen.cmdSRQ, &ConfigLogic::keepEnablesAtPowerOn);
    connectButton(m_screen.cmdNoSRQ, &ConfigLogic::clearEnablesAtPowerOn);
    connectButton(m_screen.cmdLock, &ConfigLogic::lockSettings);
    connectButton(m_screen.cmdDone, &ConfigLogic::leave);
    connectButton(m_screen.cmdRedo, &ConfigLogic::startOver);
    connectButton(m_screen.cmdNextCh, &ConfigLogic::nextChannel);

    auto* list = m_widgets->get<QListWidget>(m_screen.lstFunction);
    connect(list, &QListWidget::itemClicked, this, [this] { m_logic.focusChoice(); });
    connect(list, &QListWidget::itemDoubleClicked, this, [this] { m_logic.enterFromList(); });
    list->installEventFilter(this);

    m_logic.reset();
}

ConfigWindow::~ConfigWindow() = default;

void ConfigWindow::connectButton(const Control& button, void (ConfigLogic::*handler)())
{
    connect(m_widgets->get<QPushButton>(button), &QPushButton::clicked, this,
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

bool ConfigWindow::askChannel(const Model& model)
{
    ChannelDialog dialog(m_app, model, this);
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
    if (event->type() == QEvent::KeyPress && watched == m_widgets->widget(m_screen.lstFunction)) {
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
    if (focus == m_widgets->widget(m_screen.txtAddr))
        target = m_widgets->get<QPushButton>(m_screen.cmdSet);
    else if (focus == m_widgets->widget(m_screen.txtChoice))
        target = m_widgets->get<QPushButton>(m_screen.cmdEnter);
    if (target && target->isEnabled() && target->isVisible())
        target->click();
}

void ConfigWindow::showHint(const QString& hint, const QString& nextSteps)
{
    std::function<void()> choose;
    if (m_chooser)
        choose = [this] { m_chooser->chooseController(this); };
    showHintBox(this, m_widgets->widget(m_screen.txtGPIBErr), hint, nextSteps, choose);
}

} // namespace gpibconfig
