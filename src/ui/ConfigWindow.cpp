#include "ConfigWindow.h"

#include "config/Controls.h"

#include <QKeyEvent>
#include <QPushButton>

namespace gpibconfig {

ConfigWindow::ConfigWindow(AppContext& app, QWidget* parent)
    : QDialog(parent)
    , m_app(app)
    , m_screen(configWindowDef())
    , m_logic(app, m_screen, *this)
{
    setObjectName(QStringLiteral("frmConfig"));
    m_widgets = std::make_unique<WindowBuilder>(this, configWindowDef(), m_screen);

    connect(m_widgets->get<QPushButton>(ctl::cmdDone), &QPushButton::clicked, this,
            [this] { m_logic.cmdDone_Click(); });

    m_logic.Form_Load();
}

ConfigWindow::~ConfigWindow() = default;

void ConfigWindow::reject()
{
    if (m_closing)
        QDialog::reject();
    else
        m_logic.cmdDone_Click();
}

void ConfigWindow::closeConfigWindow()
{
    m_closing = true;
    done(QDialog::Accepted);
}

void ConfigWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        // Return presses the focused button; in a text box it is the button the box belongs to.
        if (auto* button = qobject_cast<QPushButton*>(focusWidget())) {
            if (button->isEnabled())
                button->click();
            event->accept();
            return;
        }
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace gpibconfig
