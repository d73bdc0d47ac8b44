// SPDX-License-Identifier: GPL-3.0-or-later
#include "HintBox.h"

#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <algorithm>

namespace gpibconfig {

namespace {

class HintBox final : public QMessageBox {
public:
    HintBox(QWidget* window, QWidget* statusBox)
        : QMessageBox(window)
        , m_statusBox(statusBox)
    {
    }

protected:
    void showEvent(QShowEvent* event) override
    {
        // The box has its final size only now; it is not on the screen yet, so moving it here
        // shows it in its place at once.
        QMessageBox::showEvent(event);
        if (event->spontaneous() || !m_statusBox || !parentWidget())
            return;
        const QWidget* window = parentWidget()->window();
        const QRect keepClear(m_statusBox->mapToGlobal(QPoint(0, 0)), m_statusBox->size());
        const QScreen* screen = window->screen();
        const QRect available = screen ? screen->availableGeometry() : window->frameGeometry();
        // Until the window manager has framed the box its frame is unknown; the gap leaves room
        // for the border below the box.
        const QSize frame = frameGeometry().size() - size();
        const QPoint where = placeClearOf(size() + frame, window->frameGeometry(), keepClear,
                                          available, fontMetrics().averageCharWidth() * 2);
        move(where);
    }

private:
    QPointer<QWidget> m_statusBox;
};

} // namespace

QPoint placeClearOf(QSize size, const QRect& window, const QRect& keepClear, const QRect& available,
                    int gap)
{
    const int widest = std::max(available.left(), available.right() - size.width() + 1);
    const int x =
        std::clamp(window.left() + (window.width() - size.width()) / 2, available.left(), widest);
    const int above = keepClear.top() - gap - size.height();
    if (above >= available.top())
        return {x, above};
    const int below = keepClear.bottom() + 1 + gap;
    if (below + size.height() - 1 <= available.bottom())
        return {x, below};
    return {x, available.top()};
}

QMessageBox* showHintBox(QWidget* window, QWidget* statusBox, const QString& hint,
                         const QString& nextSteps, const std::function<void()>& chooseController)
{
    auto* box = new HintBox(window, statusBox);
    box->setObjectName(QString::fromLatin1(kHintBoxName));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    box->setIcon(QMessageBox::Warning);
    box->setWindowTitle(window->window()->windowTitle());
    // The driver's words may quote what a device answered: never markup.
    box->setTextFormat(Qt::PlainText);
    box->setText(hint);
    box->setInformativeText(nextSteps);
    box->setStandardButtons(QMessageBox::Ok);
    box->setDefaultButton(QMessageBox::Ok);
    box->setEscapeButton(QMessageBox::Ok);
    if (chooseController) {
        QPushButton* choose =
            box->addButton(QStringLiteral("Choose Controller..."), QMessageBox::ActionRole);
        choose->setObjectName(QString::fromLatin1(kChooseControllerButtonName));
        choose->setAccessibleDescription(
            QStringLiteral("Opens the choice of the GPIB controller the bus goes through"));
        // The box closes on any button; the choice opens when it has.
        QObject::connect(choose, &QPushButton::clicked, window, [window, chooseController] {
            QMetaObject::invokeMethod(window, chooseController, Qt::QueuedConnection);
        });
    }
    // Read with the alert the box raises when it appears.
    box->setAccessibleDescription(hint);
    box->open();
    return box;
}

} // namespace gpibconfig
