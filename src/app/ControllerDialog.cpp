// SPDX-License-Identifier: GPL-3.0-or-later
#include "ControllerDialog.h"

#include <QListWidget>
#include <QPushButton>

namespace gpibconfig {

ControllerDialog::ControllerDialog(ControllerSituation situation,
                                   std::function<void(const DriverSpec&)> use, QWidget* parent)
    : QDialog(parent)
    , m_logic(m_screen, *this, std::move(situation))
    , m_use(std::move(use))
{
    setObjectName(QStringLiteral("frmController"));
    m_widgets = std::make_unique<WindowBuilder>(this, controllerDialogDef(m_screen), m_screen);
    m_widgets->labelWith(m_screen.listController, m_screen.labelController);
    m_widgets->labelWith(m_screen.txtHost, m_screen.labelHost);
    m_widgets->announceMessages(m_screen.txtErrMsg);

    auto* ok = m_widgets->get<QPushButton>(m_screen.cmdOK);
    // Return anywhere in the dialog is OK (the list and the host box leave it to the dialog);
    // Escape is the dialog's own Cancel.
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, [this] { m_logic.accept(); });
    connect(m_widgets->get<QPushButton>(m_screen.cmdCancel), &QPushButton::clicked, this,
            &QDialog::reject);
    auto* list = m_widgets->get<QListWidget>(m_screen.listController);
    // A port's line may be longer than the list is wide: it scrolls rather than being cut, so the
    // USB numbers at its end stay readable.
    list->setUniformItemSizes(false);
    list->setTextElideMode(Qt::ElideNone);
    connect(list, &QListWidget::itemSelectionChanged, this, [this] { m_logic.entryPicked(); });
    m_logic.reset();
}

ControllerDialog::~ControllerDialog() = default;

QString ControllerDialog::saveChoice(const DriverSpec& spec) { return saveDriverSetting(spec); }

void ControllerDialog::useChoice(const DriverSpec& spec)
{
    if (m_use)
        m_use(spec);
}

void ControllerDialog::closeControllerDialog() { accept(); }

} // namespace gpibconfig
