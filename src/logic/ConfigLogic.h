// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "AppContext.h"
#include "Screen.h"
#include "UnitSession.h"

namespace gpibconfig {

struct Model;

// What the configuration window's logic needs from the toolkit: its modal dialogs and unloading.
class ConfigHost {
public:
    virtual ~ConfigHost() = default;
    // Unloads the configuration window; the main window is in front again.
    virtual void closeConfigWindow() = 0;
    // Shows the channel dialog of a multi-channel model modally. False when it was closed without
    // Continue.
    virtual bool askChannel(const Model& model) = 0;
    // Shows the notice dialog modally; returns once it has closed.
    virtual void showNotice(const QString& notice) = 0;
    // Shows the driver's plain words about a failure, and what the operator can do next, where
    // they are read at once; returns without waiting for the operator.
    virtual void showHint(const QString& hint, const QString& nextSteps) = 0;
};

// The configuration window's behaviour: address entry, the menu engine that walks a model's
// functions one press at a time, and the finishing commands. It decides everything and touches
// only its Screen, the program state and the bus; the window renders.
class ConfigLogic {
public:
    ConfigLogic(AppContext& app, ConfigScreen& screen, ConfigHost& host);

    // The window opens: title, address stage, nothing armed.
    void reset();

    // Set Address: checks the typed address, asks the four-channel unit for its channel, clears
    // the device and starts the model's menu.
    void setAddress();

    // Enter or Advance: sends what the operator typed for the current function, or with nothing
    // typed moves on to the next function (or past the last one).
    void enterOrAdvance();
    // The function list: a click puts the focus into the choice box; a double-click (or Return)
    // is Enter or Advance while a menu runs.
    void focusChoice();
    void enterFromList();

    // Finishing commands.
    void saveConfiguration();
    void keepEnablesAtPowerOn();  // Save ESE and SRE: *PSC 0
    void clearEnablesAtPowerOn(); // Don't Save SRE: *PSC 1
    void lockSettings();
    void leave();     // Done
    void startOver(); // Redo from Start
    void nextChannel();

    bool doneArmed() const { return m_doneArmed; }
    int scrollCount() const { return m_scrollCount; }
    // The function the menu is at (1-based; one past the last once the menu has ended).
    int currentFunction() const { return m_function; }
    // True while a handler is on the bus or pausing: the window must not close under it.
    bool busy() const { return m_busy > 0; }
    // The model whose menu ran last (for tests and the bench window), or null.
    const Model* currentModel() const { return m_model; }

    static QString titleFor(std::int16_t modelCode);
    // The reply up to and including its first line feed, or all of it.
    static QString trimReply(const QString& reply);
    // How the list shows the address function's value: as queried, and as read back after a
    // setting.
    static QString queriedAddress(const QString& reply);
    static QString readBackAddress(const QString& reply);

private:
    class BusyScope;
    enum class AddressOutcome { Refused, Cancelled, Failed, Started };

    AddressOutcome enterAddress();
    void startMenu(const Model& model);
    void queryStep();
    void setStep(const QString& choice);
    void endOfMenu();

    // The conversation with the unit of the running menu.
    UnitSession session();
    void showLine(int position, const QString& value, bool replace);
    // Reports a failed call and takes the board offline.
    void report(const BusFailure& failed);
    // The same for a step's failure the window reports; true when there was one.
    bool reportIfTheWindowDoes(const UnitSession::Failure& failure);
    // Shows what a finishing command came to; true when the unit confirmed it.
    bool finish(const UnitSession::Verdict& verdict);
    // `hint` explains the line when the operator points at the box; empty for none.
    void showStatusLine(const QString& line, const QString& hint = {});

    AppContext& m_app;
    ConfigScreen& m_screen;
    ConfigHost& m_host;
    const Model* m_model = nullptr;

    // Fields of the window itself; they live as long as the window.
    int m_function = 0;
    int m_scrollCount = 0;
    bool m_doneArmed = false;
    int m_busy = 0;
};

} // namespace gpibconfig
