// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "logic/AppContext.h"
#include "logic/Screen.h"

namespace gpibconfig {

// What the main window needs from its surroundings.
class MainHost {
public:
    virtual ~MainHost() = default;
    // Shows the configuration window modally; returns when it has closed.
    virtual void openConfigWindow() = 0;
    // Unloads the main window, which ends the program.
    virtual void closeMainWindow() = 0;
    // Shows the driver's plain words about a failure, and what the operator can do next, where
    // they are read at once; returns without waiting for the operator.
    virtual void showHint(const QString& hint, const QString& nextSteps) = 0;
};

// The main window's behaviour: model selection, board preparation, the power-cycle request.
class MainLogic {
public:
    MainLogic(AppContext& app, MainScreen& screen, MainHost& host);

    // The window opens: the model list, nothing chosen yet.
    void reset();
    // A model was picked in the list: Configure becomes available.
    void modelPicked();
    // A double-click (or Return) on an entry: picked and configured at once.
    void pickAndConfigure();
    // Configure: checks the model, prepares the board, then asks for the power cycle or opens the
    // configuration window.
    void configure();
    // Continue after the power cycle.
    void continueAfterPowerCycle();
    void exit();

    static QString revisionCaption();
    // True while Configure is on the bus: the window must not close under it.
    bool busy() const { return m_busy; }

private:
    // `hint` explains the message when the operator points at the box; empty for none.
    void showMessage(const QString& text, const QString& hint = {});
    // Reports a failed call and takes the board offline.
    void reportFailure(const BusFailure& failed);
    // Interface clear, remote enable and the one-second time-out; false after a reported failure.
    bool prepareBoard();

    AppContext& m_app;
    MainScreen& m_screen;
    MainHost& m_host;
    QString m_lineBreak;
    bool m_busy = false;
};

} // namespace gpibconfig
