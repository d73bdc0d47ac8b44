// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <functional>

class QMessageBox;
class QWidget;

namespace gpibconfig {

// The driver's plain words about a failure, with what the operator can do next, in a message box
// over `window`. The box leaves `statusBox`, which keeps the status report, in sight. It is
// modal to `window` (and so to the windows below it) but returns at once: the handler that
// reported the failure finishes, and the window answers again once the box is closed. The box
// closes with Return, Escape or OK, takes the focus and is read out by screen readers as an
// alert; it deletes itself when closed.
//
// With `chooseController`, the box also has a Choose Controller... button, which closes the box
// and then calls it (once the box is gone, so the choice opens over the window).
QMessageBox* showHintBox(QWidget* window, QWidget* statusBox, const QString& hint,
                         const QString& nextSteps,
                         const std::function<void()>& chooseController = {});

// The object names of the box and of its Choose Controller... button, for tests and assistive
// tools.
inline constexpr char kHintBoxName[] = "hintBox";
inline constexpr char kChooseControllerButtonName[] = "cmdChooseController";

// Where a box of `size` (its frame) goes so that it does not cover `keepClear`: centred over
// `window` across, above `keepClear` when there is room on the screen's `available` area, else
// below it, else as high as the screen allows. `gap` pixels stay between the box and `keepClear`.
// All rectangles in global coordinates.
QPoint placeClearOf(QSize size, const QRect& window, const QRect& keepClear, const QRect& available,
                    int gap);

} // namespace gpibconfig
