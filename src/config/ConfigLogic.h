#pragma once

#include "AppContext.h"
#include "Screen.h"

namespace gpibconfig {

struct ModelRoutine;

// What the configuration window's logic needs from the toolkit: its modal dialogs and unloading.
class ConfigHost {
public:
    virtual ~ConfigHost() = default;
    // Unloads the configuration window; the main window is in front again.
    virtual void closeConfigWindow() = 0;
    // Shows the channel dialog modally. False when it was closed without Continue.
    virtual bool askChannel() = 0;
    // Shows the notice dialog modally with the state's NoticeText; returns once it has closed.
    virtual void showNotice() = 0;
};

// The configuration window's behaviour: address entry and model dispatch, the menu engine LOOP2,
// and the finishing commands. It decides everything and touches only its Screen, the program
// state and the bus; the window renders.
class ConfigLogic {
public:
    ConfigLogic(AppContext& app, Screen& screen, ConfigHost& host);

    void Form_Load();

    // Address entry and dispatch.
    void cmdSet_Click();

    // The menu engine.
    void cmdEnter_Click();
    void lstFunction_Click();
    void lstFunction_DblClick();
    void LOOP2();

    // Finishing commands.
    void cmdSav_Click();
    void cmdSRQ_Click();
    void cmdNoSRQ_Click();
    void cmdLock_Click();
    void cmdDone_Click();
    void cmdRedo_Click();
    void cmdNextCh_Click();

    // Runs a model routine: notice, table, second interface clear, start of the engine.
    void runModelRoutine(const ModelRoutine& routine);

    bool doneArmed() const { return m_doneArmed != 0; }
    int scrollCount() const { return m_scrollCount; }
    // True while a handler is on the bus or pausing: the window must not close under it.
    bool busy() const { return m_busy > 0; }
    // The routine that ran last (for tests and the bench window), or null.
    const ModelRoutine* currentRoutine() const { return m_routine; }

    static QString titleFor(std::int16_t modelCode);
    // The reply up to and including its first line feed, or all of it.
    static QString TrimReply(const QString& reply);

private:
    class BusyScope;

    enum class AddressOutcome { Refused, Cancelled, Failed, Started };
    // Set Address: checks the typed address, asks the four-channel unit for its channel, clears
    // the device and starts the model's menu.
    AddressOutcome enterAddress();
    static std::int16_t addressWord(std::int16_t primary, std::int16_t secondary);
    // Clears the unit's status before a save; false after a reported failure.
    bool clearStatus();
    // Reads *ESR? after a save that went out; false (and a line in the status box) unless the
    // unit confirms it.
    bool saveConfirmed(const QString& what);

    void queryStep();
    void setStep();
    void endOfMenu();
    void Pause();
    void send(const QString& text);
    void receive();
    void showLine(int position, bool replace);
    void report(const QString& title);
    bool sendChecked(const QString& text, const QString& errorTitle);
    int configuredChannel() const;

    AppContext& m_app;
    Screen& m_screen;
    ConfigHost& m_host;
    const ModelRoutine* m_routine = nullptr;

    // Fields of the window itself; they live as long as the window.
    std::int16_t m_scrollCount = 0;
    std::int16_t m_doneArmed = 0;
    QString m_crLf;
    int m_busy = 0;
};

} // namespace gpibconfig
