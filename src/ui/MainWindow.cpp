// SPDX-License-Identifier: GPL-3.0-or-later
#include "MainWindow.h"

#include "ConfigWindow.h"
#include "HintBox.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>

namespace gpibconfig {

MainWindow::MainWindow(AppContext& app, QWidget* parent)
    : QWidget(parent)
    , m_app(app)
    , m_logic(app, m_screen, *this)
{
    setObjectName(QStringLiteral("frmMain"));
    m_widgets = std::make_unique<WindowBuilder>(this, mainWindowDef(m_screen), m_screen);
    m_widgets->labelWith(m_screen.listUnit, m_screen.labelSelect);
    m_widgets->announceMessages(m_screen.txtGPIBErr);

    auto* list = m_widgets->get<QListWidget>(m_screen.listUnit);
    // Selecting with the mouse or the keyboard (arrows, typing a model number) is the list's click.
    connect(list, &QListWidget::itemSelectionChanged, this, [this, list] {
        if (!list->selectedItems().isEmpty())
            m_logic.modelPicked();
    });
    connect(list, &QListWidget::itemDoubleClicked, this, [this] { m_logic.pickAndConfigure(); });
    list->installEventFilter(this);

    connect(m_widgets->get<QPushButton>(m_screen.cmdConfig), &QPushButton::clicked, this,
            [this] { m_logic.configure(); });
    connect(m_widgets->get<QPushButton>(m_screen.cmdContinue), &QPushButton::clicked, this,
            [this] { m_logic.continueAfterPowerCycle(); });
    connect(m_widgets->get<QPushButton>(m_screen.cmdExit), &QPushButton::clicked, this,
            [this] { m_logic.exit(); });

    m_logic.reset();
}

MainWindow::~MainWindow() = default;

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    // Enter on a selected entry is the double-click of the keyboard user.
    if (event->type() == QEvent::KeyPress && watched == m_widgets->widget(m_screen.listUnit)) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            m_screen.listUnit.selectedLine() >= 0) {
            m_logic.pickAndConfigure();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // The main window cannot be closed under a modal configuration window nor in the middle of a
    // bus call; otherwise closing it is Exit.
    if (m_configWindow || m_logic.busy()) {
        event->ignore();
        return;
    }
    event->accept();
}

void MainWindow::openConfigWindow()
{
    ConfigWindow window(m_app, this);
    m_configWindow = &window;
    window.setControllerChooser(m_chooser);
    if (m_hook)
        m_hook(window);
    window.exec();
    m_configWindow = nullptr;
}

void MainWindow::closeMainWindow() { close(); }

void MainWindow::setControllerChooser(ControllerChooser* chooser)
{
    if (m_chooser || !chooser)
        return;
    m_chooser = chooser;
    m_app.controllers = chooser;
    auto* keys = new QShortcut(QKeySequence(QString::fromLatin1(kChooseControllerKeys)), this);
    keys->setObjectName(QStringLiteral("keysChooseController"));
    connect(keys, &QShortcut::activated, this, [this] { m_chooser->chooseController(this); });
}

void MainWindow::showHint(const QString& hint, const QString& nextSteps)
{
    std::function<void()> choose;
    if (m_chooser)
        choose = [this] { m_chooser->chooseController(this); };
    showHintBox(this, m_widgets->widget(m_screen.txtGPIBErr), hint, nextSteps, choose);
}

} // namespace gpibconfig
