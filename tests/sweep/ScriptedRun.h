// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// One whole configuration run of one list entry, driven through the real widgets the way a
// careful operator would: it follows the usual steps, but looks at what the windows show after
// every action and reacts to it (Configure again after a failed interface clear, Set Address again
// after a failed device clear, a value typed again when the unit did not confirm it, the whole
// menu again after a failed save). After every action it compares what the window shows with
// what went over the bus, so a missing, wrong or false report, a corrupted message or a success
// shown after a failure is written down as a problem of the run.

#include "support/EntryPlan.h"
#include "support/Harness.h"
#include "support/ReportText.h"

#include <QPlainTextEdit>
#include <string>
#include <vector>

namespace gpibconfig::sweep {

using test::EntryPlan;

struct RunResult {
    QStringList problems;
    bool completed = false; // a save succeeded and Done closed the window
    bool hang = false;
    long callCount = 0;         // as the board counted them
    std::vector<BusCall> calls; // the run's driver calls, as the trace recorded them
    QStringList messages;       // "0x0005 *ESR?" for every Send, to compare runs
};

class ScriptedRun {
public:
    ScriptedRun(test::Harness& harness, const EntryPlan& plan);

    // Runs from the main window to the closed configuration window. Call counting starts here
    // (Bench::resetCallCount); failures set with failCallAt before stay armed.
    RunResult run();
    // Ends a run that stopped making progress: closes every modal window, and the script gives up.
    void abort();

private:
    enum class Act {
        Configure,
        Continue,
        SetAddress,
        NextChannel,
        EnterEmpty,
        EnterValue,
        EnterPastEnd,
        NoSRQ,
        SRQ,
        Save,
        Done,
        Redo
    };
    static const char* actName(Act act);

    void problem(const QString& what);
    std::size_t mark() const { return m_records.size(); }
    void begin(Act act, QPlainTextEdit* box);
    void finish();
    void check(Act act, std::size_t from, std::size_t to, QPlainTextEdit* box);
    void checkForm(const BusCall& call);
    static QString titleFor(Act act, const BusCall& call);
    static QString shownReport(QPlainTextEdit* box);

    void onConfigWindow(ConfigWindow& window);
    void configScript(ConfigWindow& window);
    bool addressStage(int channel);
    bool nextChannel(int channel);
    enum class Walk { Done, Restart, Stop };
    Walk walkMenu(int channel);
    Walk setValue(int channel);
    bool redo();
    bool finishing(bool& saved);
    bool menuStarted() const;

    template <typename T = QWidget> T* c(const QString& name) const;
    void click(const QString& name) const;
    void type(Control ConfigScreen::*box, const QString& text) const;
    QStringList lines() const;
    QPlainTextEdit* configBox() const;
    QPlainTextEdit* mainBox() const;

    test::Harness& m_h;
    const EntryPlan& m_plan;
    ConfigWindow* m_window = nullptr;
    RunResult m_result;
    std::vector<BusCall> m_records;
    bool m_aborted = false;
    bool m_windowSeen = false;
    bool m_channelExpected = false;
    int m_answerChannel = 0;
    bool m_lastSaveFailed = false;
    QString m_lastValueLine;

    struct Pending {
        Act act = Act::Configure;
        std::size_t from = 0;
        QPlainTextEdit* box = nullptr;
        bool open = false;
    } m_pending;
};

} // namespace gpibconfig::sweep
