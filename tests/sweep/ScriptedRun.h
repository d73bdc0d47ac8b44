#pragma once

// One whole configuration run of one list entry, driven through the real widgets the way a
// careful operator would: it follows the usual steps, but looks at what the windows show after
// every action and reacts to it (Configure again after a failed interface clear, Set Address again
// after a failed device clear, a value typed again when the unit did not confirm it, the whole
// menu again after a failed save). After every action it compares what the window shows with
// what went over the bus, so a missing, wrong or false report, a corrupted message or a success
// shown after a failure is written down as a problem of the run.

#include "TraceLine.h"
#include "e2e/Harness.h"
#include "models/Models.h"

#include <QPlainTextEdit>

#include <optional>
#include <string>
#include <vector>

namespace gpibconfig::sweep {

// What the run does with one list entry: where its unit sits on the default bench, its menu, the
// function given a new value, and the finishing buttons it offers.
struct EntryPlan {
    QString entry;
    std::string unitModel; // the bench's name of the entry's unit
    int address = 0; // primary address of the entry's unit on the default bench
    const Model* model = nullptr;
    std::vector<MenuFunction> rows;
    int setRow = 0;
    bool lock = false;
    bool fourChannels = false;
    int channels = 1;

    QString busHeader(int row) const;
    QString prompt(int row) const;
    // What is typed for the set function on `channel` (0 for a single-channel unit), and what the
    // list shows once the unit took it.
    QString valueFor(int channel) const;
    QString shownFor(int channel) const;
    // The address word the run talks to on `channel`.
    int wordFor(int channel) const;
};

// The 27 entries of the model list, in its order.
const QStringList& allEntries();
// nullopt for a text that is not an entry.
std::optional<EntryPlan> planFor(const QString& entry);

struct RunResult {
    QStringList problems;
    bool completed = false; // a save succeeded and Done closed the window
    bool hang = false;
    long calls = 0;
    std::vector<std::string> trace; // the run's trace lines
    QStringList messages;           // "0x0005 *ESR?" for every Send, to compare runs
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
    std::size_t mark() const { return m_lines.size(); }
    void begin(Act act, QPlainTextEdit* box);
    void finish();
    void check(Act act, std::size_t from, std::size_t to, QPlainTextEdit* box);
    void checkForm(const CallLine& call);
    static QString titleFor(Act act, const CallLine& call);
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
    void type(const QString& name, const QString& text) const;
    QStringList lines() const;
    QPlainTextEdit* configBox() const;
    QPlainTextEdit* mainBox() const;

    test::Harness& m_h;
    const EntryPlan& m_plan;
    ConfigWindow* m_window = nullptr;
    RunResult m_result;
    std::vector<std::string> m_lines;
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
