// SPDX-License-Identifier: GPL-3.0-or-later
// fault_sweep: every driver call of a whole configuration run of every list entry, failed once
// with each of a set of error codes, and the program watched for what it does about it.
//
// The sweep runs in two kinds of process. The supervisor (no options, or --sample, --entry,
// --errors, --workers) works out the runs, hands them out in chunks to worker processes and
// collects their verdicts; a worker (--worker) drives the program through its widgets on the
// simulated bench. A crash or a hang therefore costs one worker, not the sweep: the supervisor
// records it against the run that was going on and starts a new worker for the rest.
//
// Worker protocol, one line each way:
//   in:  C <entry>                     record a clean run; answer C <entry> <calls> OK|<problems>
//   in:  J <id> <entry> <pos> <iberr>  one faulted run; answer B <id>, then
//                                      R <id> OK|FAIL|HANG <runs> <call line> :: <problems>
// Output of the supervisor: one line per failure, then "runs=<n> faults=<n> failures=<n>".

#include "ScriptedRun.h"
#include "gpib/Driver.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QProcess>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <deque>
#include <iostream>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <unistd.h>

using namespace gpibconfig;
using namespace gpibconfig::sweep;
using gpibconfig::test::allEntries;
using gpibconfig::test::planFor;

namespace {

struct ErrorCode {
    const char* name;
    int code;
};

constexpr ErrorCode kErrors[] = {{"ENOL", err::ENOL}, {"EABO", err::EABO}, {"ECIC", err::ECIC},
                                 {"EARG", err::EARG}, {"EBUS", err::EBUS}, {"ENEB", err::ENEB},
                                 {"EDVR", err::EDVR}};

QString errorName(int code)
{
    for (const ErrorCode& e : kErrors) {
        if (e.code == code)
            return QLatin1String(e.name);
    }
    return QString::number(code);
}

// A run that has not finished after this long has stopped making progress: the bench runs in
// virtual time, and a whole run takes well under a second of processor time.
constexpr int kRunLimitMs = 20000;
// A worker that says nothing for this long is stuck outside the event loop and is killed.
constexpr int kSilenceLimitMs = 60000;

QString oneLine(QString text)
{
    text.replace(QLatin1Char('\n'), QStringLiteral(" | "));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    return text;
}

// The messages of a run with the operator's repetitions of a value taken out: a unit may still
// hold an error bit from the faulted run (no status clear starts the menus of some models), and
// then rightly refuses the first try of the clean run.
QStringList withoutRepeatedValues(const QStringList& messages)
{
    QStringList out;
    for (qsizetype i = 0; i < messages.size(); ++i) {
        qsizetype again = -1;
        if (i + 1 < messages.size() && messages[i + 1].endsWith(QLatin1String(" *ESR?"))) {
            for (const qsizetype j : {i + 2, i + 3}) {
                if (again < 0 && j < messages.size() && messages[j] == messages[i])
                    again = j;
            }
        }
        if (again >= 0) {
            i = again - 1;
            continue;
        }
        out << messages[i];
    }
    return out;
}

void say(const QString& line)
{
    std::fputs(line.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// ---------------------------------------------------------------------------------------------
// Worker

class Worker {
public:
    Worker()
    {
        m_watchdog.setInterval(1000);
        QObject::connect(&m_watchdog, &QTimer::timeout, [this] {
            if (m_current && m_clock.elapsed() > kRunLimitMs)
                m_current->abort();
            if (m_stall && m_clock.elapsed() > kRunLimitMs)
                m_stall->done(QDialog::Rejected);
        });
        m_watchdog.start();
    }

    void record(const QString& entry)
    {
        if (!usePlan(entry)) {
            say(QStringLiteral("C %1 -1 no such entry").arg(entry));
            return;
        }
        say(QStringLiteral("B %1").arg(entry));
        fresh();
        say(QStringLiteral("C %1 %2 %3")
                .arg(entry)
                .arg(m_baseline.callCount)
                .arg(m_baselineProblems.isEmpty() ? QStringLiteral("OK")
                                                  : oneLine(m_baselineProblems)));
    }

    void job(const QString& id, const QString& entry, long position, int iberr)
    {
        say(QStringLiteral("B %1").arg(id));
        m_runs = 0;
        if (!usePlan(entry)) {
            verdict(id, QStringLiteral("FAIL"), QString(), QStringLiteral("no such entry"));
            return;
        }
        if (!m_harness || m_harnessEntry != entry || m_dirty)
            fresh();
        if (!m_baselineProblems.isEmpty()) {
            verdict(id, QStringLiteral("FAIL"), QString(),
                    QStringLiteral("the run without faults already fails: ") + m_baselineProblems);
            return;
        }

        if (selfTest(id)) {
            m_dirty = true;
            verdict(id, QStringLiteral("HANG"), QString(),
                    QStringLiteral("self test: a modal loop nobody ended, closed after %1 s")
                        .arg(kRunLimitMs / 1000));
            return;
        }
        QStringList problems;
        m_harness->bench->clearFaults();
        m_harness->bench->failCallAt(position, iberr);
        const RunResult faulted = runOnce();
        const std::vector<BusCall>& calls = faulted.calls;
        QString failedLine = QStringLiteral("<no call at this position>");
        if (position >= 1 && position <= static_cast<long>(calls.size())) {
            const BusCall& call = calls[static_cast<std::size_t>(position - 1)];
            failedLine = test::lineOf(call);
            if (!call.failed() || call.iberr != iberr)
                problems << QStringLiteral("the injected failure did not happen");
        } else {
            problems << QStringLiteral("the run made only %1 calls").arg(calls.size());
        }
        problems << faulted.problems;
        if (!faulted.completed && !faulted.hang)
            problems << QStringLiteral("the run could not be finished with a successful save");

        if (faulted.hang) {
            m_dirty = true;
            verdict(
                id, QStringLiteral("HANG"), failedLine,
                QStringLiteral("no progress for %1 s; windows closed. ").arg(kRunLimitMs / 1000) +
                    problems.join(QStringLiteral("; ")));
            return;
        }

        // The same bench, no faults: the program must be as good as new.
        m_harness->bench->clearFaults();
        const RunResult clean = runOnce();
        for (const QString& p : clean.problems)
            problems << QStringLiteral("clean run afterwards: ") + p;
        if (!clean.completed)
            problems << QStringLiteral("clean run afterwards did not reach a successful save");
        const QStringList now = withoutRepeatedValues(clean.messages);
        const QStringList before = withoutRepeatedValues(m_baseline.messages);
        if (now != before) {
            qsizetype i = 0;
            while (i < now.size() && i < before.size() && now[i] == before[i])
                ++i;
            problems << QStringLiteral(
                            "clean run afterwards sent other messages than the first run: "
                            "message %1 is \"%2\", was \"%3\"")
                            .arg(i + 1)
                            .arg(i < now.size() ? now[i] : QStringLiteral("<none>"))
                            .arg(i < before.size() ? before[i] : QStringLiteral("<none>"));
        }
        if (!problems.isEmpty())
            m_dirty = true; // start the next job on a new bench, so one failure stays one
        verdict(id, problems.isEmpty() ? QStringLiteral("OK") : QStringLiteral("FAIL"), failedLine,
                problems.join(QStringLiteral("; ")));
    }

private:
    // FAULT_SWEEP_SELFTEST=crash:<id>, stall:<id> or freeze:<id> makes that job crash, sit in a
    // modal loop, or block the event loop, so the sweep's own crash and hang handling can be seen
    // to work.
    bool selfTest(const QString& id)
    {
        const QString test = qEnvironmentVariable("FAULT_SWEEP_SELFTEST");
        if (test.section(QLatin1Char(':'), 1) != id)
            return false;
        const QString kind = test.section(QLatin1Char(':'), 0, 0);
        if (kind == QLatin1String("crash")) {
            std::abort();
        } else if (kind == QLatin1String("freeze")) {
            QObject::disconnect(&m_watchdog, nullptr, nullptr, nullptr);
            ::pause(); // blocks this thread for good: only the supervisor can end it
        } else if (kind == QLatin1String("stall")) {
            QDialog nobodyClosesThis;
            m_clock.start();
            m_stall = &nobodyClosesThis;
            nobodyClosesThis.exec();
            m_stall = nullptr;
            return true;
        }
        return false;
    }

    bool usePlan(const QString& entry)
    {
        if (m_plan && m_plan->entry == entry)
            return true;
        m_plan = planFor(entry);
        m_harness.reset();
        return m_plan.has_value();
    }

    void fresh()
    {
        m_harness.reset();
        m_harness = std::make_unique<test::Harness>();
        m_harnessEntry = m_plan->entry;
        m_dirty = false;
        m_baseline = runOnce();
        m_baselineProblems = m_baseline.problems.join(QStringLiteral("; "));
        if (m_baselineProblems.isEmpty() && !m_baseline.completed)
            m_baselineProblems = QStringLiteral("did not reach a successful save");
    }

    RunResult runOnce()
    {
        ScriptedRun run(*m_harness, *m_plan);
        m_current = &run;
        m_clock.start();
        RunResult result = run.run();
        m_current = nullptr;
        ++m_runs;
        return result;
    }

    void verdict(const QString& id, const QString& status, const QString& line,
                 const QString& problems)
    {
        say(QStringLiteral("R %1 %2 %3 %4 :: %5")
                .arg(id, status)
                .arg(m_runs)
                .arg(oneLine(line), oneLine(problems)));
    }

    std::optional<EntryPlan> m_plan;
    std::unique_ptr<test::Harness> m_harness;
    QString m_harnessEntry;
    bool m_dirty = false;
    RunResult m_baseline;
    QString m_baselineProblems;
    ScriptedRun* m_current = nullptr;
    QDialog* m_stall = nullptr;
    QElapsedTimer m_clock;
    QTimer m_watchdog;
    int m_runs = 0;
};

int workerMain(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::vector<std::string> input;
    for (std::string line; std::getline(std::cin, line);)
        input.push_back(line);

    QApplication app(argc, argv);
    Worker worker;
    for (const std::string& raw : input) {
        const QStringList words =
            QString::fromStdString(raw).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (words.size() == 2 && words[0] == QLatin1String("C"))
            worker.record(words[1]);
        else if (words.size() == 5 && words[0] == QLatin1String("J"))
            worker.job(words[1], words[2], words[3].toLong(), words[4].toInt());
    }
    say(QStringLiteral("END"));
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Supervisor

struct Job {
    QString entry;
    long position;
    int iberr;
};

struct Options {
    long sample = 0;
    unsigned seed = 1;
    QStringList entries;
    std::vector<int> errors;
    int workers = 2;
    int chunk = 60;
};

class Supervisor : public QObject {
public:
    Supervisor(const Options& options, const QStringList& entries)
        : m_options(options)
        , m_entries(entries)
    {
        m_silence.setInterval(2000);
        connect(&m_silence, &QTimer::timeout, this, &Supervisor::checkSilence);
    }

    int run()
    {
        m_wall.start();
        // Phase 1: the length of every entry's run.
        std::deque<QStringList> recordChunks;
        for (int w = 0; w < m_options.workers; ++w)
            recordChunks.emplace_back();
        for (qsizetype i = 0; i < m_entries.size(); ++i)
            recordChunks[static_cast<std::size_t>(i % m_options.workers)]
                << QStringLiteral("C ") + m_entries[i];
        for (const QStringList& chunk : recordChunks) {
            if (!chunk.isEmpty())
                m_queue.push_back(chunk);
        }
        m_silence.start();
        pump();
        m_loop.exec();

        // Phase 2: the faulted runs.
        std::vector<Job> jobs;
        for (const QString& entry : m_entries) {
            const long calls = m_counts.value(entry, 0);
            for (long pos = 1; pos <= calls; ++pos) {
                for (int e : m_options.errors)
                    jobs.push_back({entry, pos, e});
            }
        }
        if (m_options.sample > 0 && m_options.sample < static_cast<long>(jobs.size())) {
            std::mt19937 random(m_options.seed);
            std::shuffle(jobs.begin(), jobs.end(), random);
            jobs.resize(static_cast<std::size_t>(m_options.sample));
            std::sort(jobs.begin(), jobs.end(), [this](const Job& a, const Job& b) {
                const auto ia = m_entries.indexOf(a.entry), ib = m_entries.indexOf(b.entry);
                return ia != ib                   ? ia < ib
                       : a.position != b.position ? a.position < b.position
                                                  : a.iberr < b.iberr;
            });
        }
        QStringList chunk;
        QString chunkEntry;
        for (std::size_t i = 0; i < jobs.size(); ++i) {
            const Job& job = jobs[i];
            if (!chunk.isEmpty() && (chunk.size() >= m_options.chunk || chunkEntry != job.entry)) {
                m_queue.push_back(chunk);
                chunk.clear();
            }
            chunkEntry = job.entry;
            const QString id = QString::number(i);
            m_jobs.insert(id, job);
            chunk << QStringLiteral("J %1 %2 %3 %4")
                         .arg(id, job.entry)
                         .arg(job.position)
                         .arg(job.iberr);
        }
        if (!chunk.isEmpty())
            m_queue.push_back(chunk);
        if (!m_queue.empty()) {
            pump();
            m_loop.exec();
        }
        std::fprintf(stderr, "wall time: %lld s\n",
                     static_cast<long long>(m_wall.elapsed() / 1000));
        std::fflush(stderr);
        say(QStringLiteral("runs=%1 faults=%2 failures=%3")
                .arg(m_runs)
                .arg(m_faults)
                .arg(m_failures));
        return m_failures > 0 ? 1 : 0;
    }

private:
    struct Running {
        QProcess* process = nullptr;
        QStringList lines;  // what it was given
        QSet<QString> done; // ids answered (R) or entries recorded (C)
        QString current;    // id begun (B) and not answered yet
        QByteArray pending;
        QByteArray errors;
        QElapsedTimer quiet;
        bool killedForSilence = false;
    };

    void pump()
    {
        while (static_cast<int>(m_running.size()) < m_options.workers && !m_queue.empty()) {
            const QStringList lines = m_queue.front();
            m_queue.pop_front();
            start(lines);
        }
        if (m_running.empty() && m_queue.empty())
            m_loop.quit();
    }

    void start(const QStringList& lines)
    {
        auto* process = new QProcess(this);
        auto running = std::make_shared<Running>();
        running->process = process;
        running->lines = lines;
        running->quiet.start();
        m_running.push_back(running);
        connect(process, &QProcess::readyReadStandardOutput, this,
                [this, running] { readFrom(*running); });
        connect(process, &QProcess::readyReadStandardError, this, [running] {
            running->errors += running->process->readAllStandardError();
            if (running->errors.size() > 4000)
                running->errors = running->errors.right(4000);
        });
        connect(process, &QProcess::finished, this,
                [this, running](int code, QProcess::ExitStatus status) {
                    finished(running, code, status);
                });
        process->start(QCoreApplication::applicationFilePath(), {QStringLiteral("--worker")});
        process->write((lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
        process->closeWriteChannel();
    }

    void readFrom(Running& r)
    {
        r.pending += r.process->readAllStandardOutput();
        r.quiet.restart();
        qsizetype newline;
        while ((newline = r.pending.indexOf('\n')) >= 0) {
            const QString line = QString::fromUtf8(r.pending.left(newline));
            r.pending.remove(0, newline + 1);
            handle(r, line);
        }
    }

    void handle(Running& r, const QString& line)
    {
        const QStringList words = line.split(QLatin1Char(' '));
        if (words.value(0) == QLatin1String("C") && words.size() >= 4) {
            r.done.insert(words[1]);
            m_counts[words[1]] = words[2].toLong();
            ++m_runs;
            if (words[3] != QLatin1String("OK")) {
                ++m_failures;
                say(QStringLiteral(
                        "FAIL entry=%1 pos=0 err=- call=- :: the run without faults fails: %2")
                        .arg(words[1], words.mid(3).join(QLatin1Char(' '))));
                m_counts[words[1]] = 0;
            }
        } else if (words.value(0) == QLatin1String("B") && words.size() >= 2) {
            r.current = words[1];
        } else if (words.value(0) == QLatin1String("R") && words.size() >= 4) {
            const QString id = words[1];
            r.done.insert(id);
            r.current.clear();
            ++m_faults;
            m_runs += words[3].toLong();
            if (words[2] != QLatin1String("OK")) {
                ++m_failures;
                const Job job = m_jobs.value(id);
                const QString rest = words.mid(4).join(QLatin1Char(' '));
                say(QStringLiteral("%1 entry=%2 pos=%3 err=%4 call=%5")
                        .arg(words[2], job.entry)
                        .arg(job.position)
                        .arg(errorName(job.iberr), rest));
            }
        }
    }

    void finished(const std::shared_ptr<Running>& r, int code, QProcess::ExitStatus status)
    {
        readFrom(*r);
        m_running.erase(std::find(m_running.begin(), m_running.end(), r));
        r->process->deleteLater();
        // Whatever it was given and did not answer: the job it had begun crashed or hung, the
        // rest goes to a new worker.
        QStringList rest;
        for (const QString& line : r->lines) {
            const QStringList words = line.split(QLatin1Char(' '));
            const QString key = words.value(1);
            if (r->done.contains(key))
                continue;
            if (key == r->current && !m_jobs.contains(key)) {
                ++m_failures;
                say(QStringLiteral("%1 entry=%2 pos=0 err=- call=- :: the run without faults %3; "
                                   "last output: %4")
                        .arg(r->killedForSilence ? QStringLiteral("HANG") : QStringLiteral("CRASH"),
                             key,
                             r->killedForSilence ? QStringLiteral("hung")
                                                 : QStringLiteral("crashed"),
                             oneLine(QString::fromUtf8(r->errors.right(300)))));
                continue;
            }
            if (key == r->current) {
                ++m_faults;
                ++m_failures;
                const Job job = m_jobs.value(key);
                const QString what =
                    r->killedForSilence
                        ? QStringLiteral("hang: the worker said nothing for %1 s and was killed")
                              .arg(kSilenceLimitMs / 1000)
                        : QStringLiteral("crash: the worker ended (%1, code %2)")
                              .arg(status == QProcess::CrashExit ? QStringLiteral("signal")
                                                                 : QStringLiteral("exit"))
                              .arg(code);
                say(QStringLiteral("%1 entry=%2 pos=%3 err=%4 call=? :: %5; last output: %6")
                        .arg(r->killedForSilence ? QStringLiteral("HANG") : QStringLiteral("CRASH"),
                             job.entry)
                        .arg(job.position)
                        .arg(errorName(job.iberr), what,
                             oneLine(QString::fromUtf8(r->errors.right(300)))));
                continue;
            }
            rest << line;
        }
        if (!rest.isEmpty()) {
            if (r->current.isEmpty() && code != 0 && rest.size() == r->lines.size()) {
                // It failed before its first job: do not loop for ever on a worker that cannot
                // start.
                ++m_failures;
                say(QStringLiteral("FAIL worker could not start: %1")
                        .arg(oneLine(QString::fromUtf8(r->errors))));
            } else {
                m_queue.push_front(rest);
            }
        }
        pump();
    }

    void checkSilence()
    {
        for (const auto& r : m_running) {
            if (!r->killedForSilence && r->quiet.elapsed() > kSilenceLimitMs) {
                r->killedForSilence = true;
                r->process->kill();
            }
        }
    }

    Options m_options;
    QStringList m_entries;
    std::deque<QStringList> m_queue;
    std::vector<std::shared_ptr<Running>> m_running;
    QMap<QString, Job> m_jobs;
    QMap<QString, long> m_counts;
    QEventLoop m_loop;
    QTimer m_silence;
    QElapsedTimer m_wall;
    long m_runs = 0;
    long m_faults = 0;
    long m_failures = 0;
};

int usage(const QString& why)
{
    std::fprintf(stderr,
                 "%s\nusage: fault_sweep [--sample N [--seed S]] [--entry ENTRY] [--errors "
                 "ENOL,EABO,...] [--workers N]\n",
                 why.toLocal8Bit().constData());
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--worker")
            return workerMain(argc, argv);
    }

    QCoreApplication app(argc, argv);
    Options options;
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        const QString value = args.value(i + 1);
        bool ok = true;
        if (a == QLatin1String("--sample")) {
            options.sample = value.toLong(&ok);
            ok = ok && options.sample > 0;
        } else if (a == QLatin1String("--seed")) {
            options.seed = value.toUInt(&ok);
        } else if (a == QLatin1String("--entry")) {
            options.entries << value.split(QLatin1Char(','), Qt::SkipEmptyParts);
            ok = !value.isEmpty();
        } else if (a == QLatin1String("--workers")) {
            options.workers = value.toInt(&ok);
            ok = ok && options.workers > 0;
        } else if (a == QLatin1String("--errors")) {
            for (const QString& name : value.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
                const auto* found =
                    std::find_if(std::begin(kErrors), std::end(kErrors),
                                 [&](const ErrorCode& e) { return name == QLatin1String(e.name); });
                if (found == std::end(kErrors))
                    return usage(QStringLiteral("unknown error name ") + name);
                options.errors.push_back(found->code);
            }
            ok = !options.errors.empty();
        } else {
            return usage(QStringLiteral("unknown option ") + a);
        }
        if (!ok)
            return usage(QStringLiteral("bad value for ") + a);
        ++i;
    }
    if (options.errors.empty()) {
        for (const ErrorCode& e : kErrors)
            options.errors.push_back(e.code);
    }
    QStringList entries;
    if (options.entries.isEmpty()) {
        entries = allEntries();
    } else {
        for (const QString& e : options.entries) {
            if (!allEntries().contains(e))
                return usage(QStringLiteral("no list entry ") + e);
            entries << e;
        }
    }
    Supervisor supervisor(options, entries);
    return supervisor.run();
}
