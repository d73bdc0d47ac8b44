// SPDX-License-Identifier: GPL-3.0-or-later
#include "ScriptedRun.h"

#include "logic/Controls.h"

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>

namespace gpibconfig::sweep {

using test::bytesOf;
using test::lineOf;
using test::listLine;
using test::reportMismatch;
using test::reportTitleOf;
using Kind = BusCall::Kind;

namespace {

// How often the operator repeats an action that the window shows has failed, before the run
// counts as one that cannot be finished. A single injected failure needs one repetition at most;
// a consequence of it (a unit that flags the query it lost) one more.
constexpr int kMaxTries = 4;

const QString kConfirm = QStringLiteral("Exit without saving? Press Done again to exit");
const QString kPowerCycle = QStringLiteral("Turn unit off and back on");

// The driver calls among the records of positions [from, to).
std::vector<BusCall> callsBetween(const std::vector<BusCall>& records, std::size_t from,
                                  std::size_t to)
{
    std::vector<BusCall> out;
    for (std::size_t i = from; i < to && i < records.size(); ++i) {
        if (records[i].isDriverCall())
            out.push_back(records[i]);
    }
    return out;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Widgets

ScriptedRun::ScriptedRun(test::Harness& harness, const EntryPlan& plan)
    : m_h(harness)
    , m_plan(plan)
{
}

template <typename T> T* ScriptedRun::c(const QString& name) const
{
    return m_window ? m_window->findChild<T*>(name) : nullptr;
}

void ScriptedRun::click(const QString& name) const
{
    if (auto* button = c<QPushButton>(name))
        QTest::mouseClick(button, Qt::LeftButton);
}

void ScriptedRun::type(Control ConfigScreen::*box, const QString& text) const
{
    if (!m_window)
        return;
    Control& control = m_window->screen().*box;
    auto* edit = c<QLineEdit>(control.name());
    if (!edit)
        return;
    edit->clear();
    control.userEditedText(QString());
    QTest::keyClicks(edit, text);
}

QStringList ScriptedRun::lines() const
{
    QStringList out;
    if (auto* list = c<QListWidget>(ctl::lstFunction)) {
        for (int i = 0; i < list->count(); ++i)
            out << list->item(i)->text();
    }
    return out;
}

QPlainTextEdit* ScriptedRun::configBox() const { return c<QPlainTextEdit>(ctl::txtGPIBErr); }

QPlainTextEdit* ScriptedRun::mainBox() const
{
    return m_h.main->findChild<QPlainTextEdit*>(ctl::txtGPIBErr);
}

QString ScriptedRun::shownReport(QPlainTextEdit* box)
{
    if (!box || box->isHidden())
        return {};
    return box->toPlainText().section(QLatin1Char('\n'), 0, 0);
}

void ScriptedRun::problem(const QString& what) { m_result.problems << what; }

const char* ScriptedRun::actName(Act act)
{
    switch (act) {
    case Act::Configure:
        return "Configure";
    case Act::Continue:
        return "Continue";
    case Act::SetAddress:
        return "Set Address";
    case Act::NextChannel:
        return "Next Channel";
    case Act::EnterEmpty:
        return "Enter";
    case Act::EnterValue:
        return "Enter with a value";
    case Act::EnterPastEnd:
        return "Enter past the last function";
    case Act::NoSRQ:
        return "Don't Save SRE";
    case Act::SRQ:
        return "Save ESE and SRE";
    case Act::Save:
        return "Save Configuration";
    case Act::Done:
        return "Done";
    case Act::Redo:
        return "Redo from Start";
    }
    return "?";
}

// ---------------------------------------------------------------------------------------------
// Checks

void ScriptedRun::begin(Act act, QPlainTextEdit* box) { m_pending = {act, mark(), box, true}; }

void ScriptedRun::finish()
{
    if (!m_pending.open)
        return;
    m_pending.open = false;
    check(m_pending.act, m_pending.from, mark(), m_pending.box);
}

// The step of the program that examines a failed call, by the title it reports it under; empty
// for a call that is not examined where it was made.
QString ScriptedRun::titleFor(Act act, const BusCall& call)
{
    const Kind k = call.kind;
    switch (act) {
    case Act::Configure:
        if (k == Kind::SendIFC || k == Kind::ibsre || k == Kind::ibtmo)
            return QStringLiteral("SendIFC Error");
        return {};
    case Act::SetAddress:
    case Act::NextChannel:
        if (k == Kind::DevClear)
            return QStringLiteral("DevClear Error");
        if (k == Kind::Receive)
            return QStringLiteral("Receive Error");
        return {};
    case Act::EnterEmpty:
        return k == Kind::Receive ? QStringLiteral("Receive Error") : QString();
    case Act::NoSRQ:
    case Act::SRQ:
        return k == Kind::Send ? QStringLiteral("Send ESE Error") : QString();
    case Act::Save:
        // The status clear, the save, and the unit's confirmation of it.
        if (call.isSend("*CLS"))
            return QStringLiteral("Send CLS Error");
        if (call.isSend("*SAV 0"))
            return QStringLiteral("Send SAV Error");
        if (call.isSend("*ESR?"))
            return QStringLiteral("Send ESR Error");
        return k == Kind::Receive ? QStringLiteral("Receive ESR Error") : QString();
    default:
        return {};
    }
}

// Every call must be one the run can make: the board calls with their fixed arguments, and
// messages of the entry's menu to the entry's unit. Anything else on the bus is a corrupted or
// misdirected message.
void ScriptedRun::checkForm(const BusCall& call)
{
    const auto bad = [&](const QString& why) {
        problem(QStringLiteral("%1: %2").arg(why, lineOf(call)));
    };
    const Kind k = call.kind;
    if (k == Kind::SendIFC) {
        if (call.board != 0)
            bad(QStringLiteral("interface clear of another board"));
        return;
    }
    if (k == Kind::ibsre || k == Kind::ibtmo || k == Kind::ibonl) {
        const int expected = k == Kind::ibsre ? 1 : k == Kind::ibtmo ? 11 : 0;
        if (call.board != 0 || call.value != expected)
            bad(QStringLiteral("unexpected arguments"));
        return;
    }
    if (k == Kind::SendCmds) {
        // Unlisten; the unit's listen address; the listen address and a group execute trigger.
        const char lad = static_cast<char>(0x20 + m_plan.address);
        const std::string allowed[] = {"\x3F", std::string(1, lad), std::string{lad, '\x08'}};
        if (!m_plan.model->triggerAtStart || call.board != 0 ||
            std::find(std::begin(allowed), std::end(allowed), call.bytes) == std::end(allowed))
            bad(QStringLiteral("unexpected bus commands"));
        return;
    }
    bool addressOk = false;
    for (int ch = m_plan.fourChannels ? 1 : 0; ch <= (m_plan.fourChannels ? m_plan.channels : 0);
         ++ch)
        addressOk = addressOk || call.address == m_plan.wordFor(ch);
    if (!addressOk || call.board != 0) {
        bad(QStringLiteral("call to an address the run never uses"));
        return;
    }
    if (k == Kind::Receive) {
        if (call.count != 18 || call.value != 0)
            bad(QStringLiteral("receive with another buffer or termination"));
        return;
    }
    if (k != Kind::Send)
        return;
    if (call.value != eot::NLend)
        bad(QStringLiteral("message sent without the line feed ending"));
    QStringList allowed = {QStringLiteral("*ESR?"),       QStringLiteral("*SAV 0"),
                           QStringLiteral("*PSC 0"),      QStringLiteral("*PSC 1"),
                           QStringLiteral("CAL:LOCK ON"), QStringLiteral("*CLS")};
    if (m_plan.lock)
        allowed << QStringLiteral("CAL:LOCK 0");
    for (int row = 1; row <= static_cast<int>(m_plan.rows.size()); ++row)
        allowed << m_plan.busHeader(row) + QLatin1Char('?');
    for (int ch = 0; ch <= m_plan.channels; ++ch)
        allowed << m_plan.busHeader(m_plan.setRow) + QLatin1Char(' ') + m_plan.valueFor(ch);
    if (!allowed.contains(QString::fromLatin1(bytesOf(call))))
        bad(QStringLiteral("message that is not one of the run's"));
    else if (!call.failed() && call.ibcntl != static_cast<long>(call.bytes.size()) + 1)
        bad(QStringLiteral("byte count differs from the message and its line feed"));
}

void ScriptedRun::check(Act act, std::size_t from, std::size_t to, QPlainTextEdit* box)
{
    const std::vector<BusCall> calls = callsBetween(m_records, from, to);
    const QString name = QLatin1String(actName(act));
    for (const BusCall& call : calls)
        checkForm(call);

    if ((act == Act::Continue || act == Act::Done || act == Act::Redo ||
         act == Act::EnterPastEnd) &&
        !calls.empty())
        problem(QStringLiteral("%1 made a driver call: %2").arg(name, lineOf(calls.front())));

    if (act == Act::Save) {
        // Saved only when every call of the save went through and the unit confirmed it.
        m_lastSaveFailed =
            calls.empty() ||
            std::any_of(calls.begin(), calls.end(), [](const BusCall& c) { return c.failed(); });
        const QString box = configBox()->toPlainText();
        if (!m_lastSaveFailed && !box.isEmpty() && configBox()->isVisible())
            problem(QStringLiteral("a save the unit confirmed shows \"%1\"").arg(box));
    }

    // Each examined failure is reported at once (the report takes the board offline); a failed
    // remote enable is reported once the time-out call after it is made.
    const BusCall* reported = nullptr;
    QString title;
    for (std::size_t i = 0; i < calls.size(); ++i) {
        const BusCall& call = calls[i];
        const QString t = call.failed() ? titleFor(act, call) : QString();
        if (t.isEmpty())
            continue;
        reported = &call;
        title = t;
        const bool next = i + 1 < calls.size() && calls[i + 1].kind == Kind::ibonl;
        const bool afterTimeout = call.kind == Kind::ibsre && i + 2 < calls.size() &&
                                  calls[i + 1].kind == Kind::ibtmo &&
                                  calls[i + 2].kind == Kind::ibonl;
        if (!next && !afterTimeout)
            problem(QStringLiteral("%1: failed call not reported: %2").arg(name, lineOf(call)));
    }
    for (std::size_t i = 0; i < calls.size(); ++i) {
        if (calls[i].kind != Kind::ibonl)
            continue;
        if (i == 0) {
            problem(QStringLiteral("%1: board taken offline with no call before it").arg(name));
            continue;
        }
        const BusCall& before = calls[i - 1];
        if (before.failed() && !titleFor(act, before).isEmpty())
            continue;
        if (before.kind == Kind::ibtmo && i >= 2 && calls[i - 2].kind == Kind::ibsre &&
            calls[i - 2].failed())
            continue;
        problem(before.failed() ? QStringLiteral("%1: reported a call it does not examine: %2")
                                      .arg(name, lineOf(before))
                                : QStringLiteral("%1: reported a call that succeeded: %2")
                                      .arg(name, lineOf(before)));
    }

    if (act == Act::Redo)
        return; // Redo leaves the message box as it was
    const QString shown = shownReport(box);
    if (reported) {
        if (shown.isEmpty())
            problem(QStringLiteral("%1: no report shown for the failed %2")
                        .arg(name, lineOf(*reported)));
        else if (const QString why = reportMismatch(shown, title, *reported); !why.isEmpty())
            problem(QStringLiteral("%1: %2 (failed call %3)").arg(name, why, lineOf(*reported)));
    } else if (!reportTitleOf(shown).isEmpty()) {
        problem(QStringLiteral("%1: report shown though no examined call failed: \"%2\"")
                    .arg(name, shown));
    }
}

// ---------------------------------------------------------------------------------------------
// The run

RunResult ScriptedRun::run()
{
    sim::Bench& bench = *m_h.bench;
    bench.trace().clear();
    bench.resetCallCount();
    const int listener =
        bench.trace().addListener([this](const BusCall& record) { m_records.push_back(record); });
    m_h.main->setConfigWindowHook([this](ConfigWindow& window) { onConfigWindow(window); });

    auto* list = m_h.main->findChild<QListWidget*>(ctl::listUnit);
    auto* configure = m_h.main->findChild<QPushButton*>(ctl::cmdConfig);
    auto* cont = m_h.main->findChild<QPushButton*>(ctl::cmdContinue);
    for (int attempt = 0; attempt < kMaxTries && !m_windowSeen && !m_aborted; ++attempt) {
        const auto items = list->findItems(m_plan.entry, Qt::MatchExactly);
        if (items.isEmpty()) {
            problem(QStringLiteral("entry missing from the model list"));
            break;
        }
        list->scrollToItem(items.front());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(items.front()).center());
        if (!configure->isEnabled()) {
            problem(QStringLiteral("Configure disabled with the entry selected"));
            break;
        }
        begin(Act::Configure, mainBox());
        QTest::mouseClick(configure, Qt::LeftButton);
        if (m_windowSeen)
            break; // the whole configuration window ran inside the click
        finish();
        if (cont->isEnabled()) {
            if (!mainBox()->toPlainText().startsWith(kPowerCycle))
                problem(QStringLiteral("Continue enabled without the power-cycle request"));
            bench.powerCycle(bench.unitId(m_plan.unitModel));
            begin(Act::Continue, mainBox());
            QTest::mouseClick(cont, Qt::LeftButton);
            if (!m_windowSeen) {
                finish();
                problem(QStringLiteral("Continue did not open the configuration window"));
            }
            break;
        }
        if (reportTitleOf(shownReport(mainBox())) != QLatin1String("SendIFC Error")) {
            problem(QStringLiteral(
                "Configure neither opened the configuration window nor reported a failure"));
            break;
        }
    }
    if (!m_windowSeen && !m_aborted)
        problem(QStringLiteral("the configuration window never opened"));

    m_h.main->setConfigWindowHook({});
    bench.trace().removeListener(listener);
    m_result.callCount = bench.callCount();
    const std::vector<BusCall> calls = test::driverCalls(m_records);
    if (static_cast<long>(calls.size()) != m_result.callCount)
        problem(QStringLiteral("the trace holds %1 driver calls, the board counted %2")
                    .arg(calls.size())
                    .arg(m_result.callCount));
    m_result.messages = test::messages(calls);
    m_result.calls = calls;
    m_result.hang = m_aborted;
    return m_result;
}

void ScriptedRun::abort()
{
    m_aborted = true;
    // Innermost first: each modal loop returns once its window is done, and the script then sees
    // the abort and gives up.
    while (QWidget* modal = QApplication::activeModalWidget()) {
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->done(QDialog::Rejected);
        else
            modal->close();
        if (QApplication::activeModalWidget() == modal)
            break;
    }
}

void ScriptedRun::onConfigWindow(ConfigWindow& window)
{
    m_windowSeen = true;
    m_window = &window;
    finish(); // Configure or Continue ends where the window opens
    window.setChannelDialogHook([this](ChannelDialog& dialog) {
        QTimer::singleShot(0, &dialog, [this, &dialog] {
            if (!m_channelExpected || m_aborted) {
                problem(QStringLiteral("channel dialog shown where none was expected"));
                dialog.close();
                return;
            }
            auto* edit = dialog.findChild<QLineEdit*>(ctl::txtChNum);
            QTest::keyClicks(edit, QString::number(m_answerChannel));
            QTest::mouseClick(dialog.findChild<QPushButton*>(ctl::cmdChSel), Qt::LeftButton);
            if (dialog.isVisible()) {
                problem(QStringLiteral("channel dialog refused channel %1").arg(m_answerChannel));
                dialog.close();
            }
        });
    });
    window.setNoticeDialogHook([](NoticeDialog& dialog) {
        QTimer::singleShot(0, &dialog, [&dialog] {
            QTest::mouseClick(dialog.findChild<QPushButton*>(ctl::cmdCancel), Qt::LeftButton);
        });
    });
    QTimer::singleShot(0, &window, [this, &window] {
        configScript(window);
        if (window.isVisible()) {
            if (!m_aborted && m_result.problems.isEmpty())
                problem(QStringLiteral("the configuration window was left open"));
            window.done(QDialog::Rejected);
        }
        m_window = nullptr;
    });
}

bool ScriptedRun::menuStarted() const
{
    const QStringList shown = lines();
    return shown.size() == 1 && c<QPushButton>(ctl::cmdEnter)->isEnabled();
}

void ScriptedRun::configScript(ConfigWindow& window)
{
    int channel = m_plan.fourChannels ? 1 : 0;
    // Each start over (after a failed save, or when the unit would not take the value at all)
    // counts; a run that needs more than a few is one the operator cannot finish.
    for (int start = 0; start < kMaxTries && !m_aborted; ++start) {
        if (start > 0 && !redo())
            return;
        if (!addressStage(channel))
            return;
        Walk walk = Walk::Done;
        while (true) {
            walk = walkMenu(channel);
            if (walk != Walk::Done || !m_plan.fourChannels || channel >= m_plan.channels)
                break;
            ++channel;
            if (!nextChannel(channel))
                return;
        }
        if (walk == Walk::Stop)
            return;
        if (walk == Walk::Restart)
            continue; // a unit that lost its trigger gets it again with the first query
        bool saved = false;
        if (!finishing(saved) || saved)
            return;
        if (m_plan.fourChannels)
            channel = m_plan.channels; // only the last channel's menu ends with Save Configuration
    }
    if (!m_aborted && window.isVisible())
        problem(
            QStringLiteral("the run could not be finished after %1 starts; last value line \"%2\"")
                .arg(kMaxTries)
                .arg(m_lastValueLine));
}

bool ScriptedRun::redo()
{
    if (!c<QPushButton>(ctl::cmdRedo)->isEnabled()) {
        problem(QStringLiteral("Redo from Start disabled"));
        return false;
    }
    begin(Act::Redo, configBox());
    click(ctl::cmdRedo);
    finish();
    if (!lines().isEmpty() || !c<QLineEdit>(ctl::txtAddr)->text().isEmpty() ||
        !c<QPushButton>(ctl::cmdSet)->isEnabled() || c<QPushButton>(ctl::cmdEnter)->isEnabled() ||
        c<QPushButton>(ctl::cmdSav)->isEnabled()) {
        problem(QStringLiteral("Redo from Start did not return to the address stage"));
        return false;
    }
    return true;
}

bool ScriptedRun::addressStage(int channel)
{
    for (int attempt = 0; attempt < kMaxTries && !m_aborted; ++attempt) {
        if (!c<QPushButton>(ctl::cmdSet)->isEnabled()) {
            problem(QStringLiteral("Set Address disabled in the address stage"));
            return false;
        }
        type(&ConfigScreen::txtAddr, QString::number(m_plan.address));
        m_channelExpected = m_plan.fourChannels;
        m_answerChannel = channel;
        begin(Act::SetAddress, configBox());
        click(ctl::cmdSet);
        finish();
        m_channelExpected = false;
        if (m_aborted)
            return false;
        if (menuStarted())
            return true;
        if (reportTitleOf(shownReport(configBox())) == QLatin1String("DevClear Error"))
            continue;
        problem(QStringLiteral(
            "Set Address neither started the menu nor reported a failed device clear"));
        return false;
    }
    if (!m_aborted)
        problem(QStringLiteral("the menu never started after %1 presses of Set Address")
                    .arg(kMaxTries));
    return false;
}

bool ScriptedRun::nextChannel(int channel)
{
    auto* next = c<QPushButton>(ctl::cmdNextCh);
    if (next->isHidden() || !next->isEnabled()) {
        problem(QStringLiteral("Next Channel not offered after channel %1").arg(channel - 1));
        return false;
    }
    m_channelExpected = true;
    m_answerChannel = channel;
    begin(Act::NextChannel, configBox());
    click(ctl::cmdNextCh);
    finish();
    m_channelExpected = false;
    if (m_aborted)
        return false;
    if (menuStarted())
        return true;
    if (reportTitleOf(shownReport(configBox())) == QLatin1String("DevClear Error"))
        return addressStage(channel);
    problem(
        QStringLiteral("Next Channel neither started the menu nor reported a failed device clear"));
    return false;
}

ScriptedRun::Walk ScriptedRun::setValue(int channel)
{
    const QString expected = listLine(m_plan.prompt(m_plan.setRow), m_plan.shownFor(channel));
    for (int attempt = 0; attempt < kMaxTries && !m_aborted; ++attempt) {
        type(&ConfigScreen::txtChoice, m_plan.valueFor(channel));
        begin(Act::EnterValue, configBox());
        click(ctl::cmdEnter);
        finish();
        m_lastValueLine = lines().isEmpty() ? QString() : lines().last();
        if (m_lastValueLine == expected)
            return Walk::Done;
        // "No response", "Error - retry" or the old value: the operator types it again.
    }
    return m_aborted ? Walk::Stop : Walk::Restart;
}

ScriptedRun::Walk ScriptedRun::walkMenu(int channel)
{
    const int n = static_cast<int>(m_plan.rows.size());
    for (int f = 1; f <= n && !m_aborted; ++f) {
        if (f > 1) {
            if (!c<QPushButton>(ctl::cmdEnter)->isEnabled()) {
                problem(QStringLiteral("Enter disabled at function %1").arg(f));
                return Walk::Stop;
            }
            begin(Act::EnterEmpty, configBox());
            click(ctl::cmdEnter);
            finish();
        }
        const QStringList shown = lines();
        const QString prompt = m_plan.prompt(f);
        const QString head =
            prompt + QString(std::max<qsizetype>(1, 35 - prompt.size()), QLatin1Char(' '));
        if (shown.isEmpty() || !shown.last().startsWith(head)) {
            problem(QStringLiteral("function %1 not shown; the list ends with \"%2\"")
                        .arg(f)
                        .arg(shown.isEmpty() ? QString() : shown.last()));
            return Walk::Stop;
        }
        if (f == m_plan.setRow) {
            if (const Walk walk = setValue(channel); walk != Walk::Done)
                return walk;
        }
    }
    if (m_aborted)
        return Walk::Stop;
    begin(Act::EnterPastEnd, configBox());
    click(ctl::cmdEnter);
    finish();
    const bool last = !m_plan.fourChannels || channel >= m_plan.channels;
    if (c<QPushButton>(ctl::cmdEnter)->isEnabled() ||
        c<QPushButton>(ctl::cmdSav)->isEnabled() != last) {
        problem(QStringLiteral("the end of the menu did not offer the finishing buttons"));
        return Walk::Stop;
    }
    if (m_plan.lock &&
        !(c<QPushButton>(ctl::cmdSRQ)->isEnabled() && c<QPushButton>(ctl::cmdNoSRQ)->isEnabled() &&
          c<QPushButton>(ctl::cmdLock)->isEnabled()))
        problem(QStringLiteral("the lock group is not offered at the end of the menu"));
    return Walk::Done;
}

bool ScriptedRun::finishing(bool& saved)
{
    saved = false;
    if (m_plan.lock) {
        for (const auto& [act, name] :
             {std::pair{Act::NoSRQ, ctl::cmdNoSRQ}, std::pair{Act::SRQ, ctl::cmdSRQ}}) {
            for (int attempt = 0; attempt < kMaxTries && !m_aborted; ++attempt) {
                if (!c<QPushButton>(name)->isEnabled()) {
                    problem(QStringLiteral("%1 disabled").arg(QLatin1String(actName(act))));
                    break;
                }
                begin(act, configBox());
                click(name);
                finish();
                if (reportTitleOf(shownReport(configBox())) != QLatin1String("Send ESE Error"))
                    break;
            }
        }
    }
    if (m_aborted)
        return false;
    begin(Act::Save, configBox());
    click(ctl::cmdSav);
    finish();
    const bool failed = m_lastSaveFailed;
    if (c<QPushButton>(ctl::cmdSav)->isEnabled() != failed)
        problem(failed
                    ? QStringLiteral("Save Configuration not offered again after a failed save")
                    : QStringLiteral("Save Configuration still enabled after a successful save"));

    begin(Act::Done, configBox());
    click(ctl::cmdDone);
    finish();
    if (!failed) {
        if (m_window->isVisible()) {
            problem(QStringLiteral("Done did not close the window after a successful save"));
            click(ctl::cmdDone);
        }
        saved = true;
        m_result.completed = true;
        return true;
    }
    if (!m_window->isVisible()) {
        problem(QStringLiteral("Done closed the window at once after a failed save"));
        return false;
    }
    if (!configBox()->toPlainText().contains(kConfirm))
        problem(QStringLiteral(
                    "Done after a failed save did not ask for confirmation; the box shows \"%1\"")
                    .arg(configBox()->toPlainText()));
    return true;
}

} // namespace gpibconfig::sweep
