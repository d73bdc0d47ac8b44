// SPDX-License-Identifier: GPL-3.0-or-later
// Every entry of the model list configured on the bench from Configure to the saved
// configuration, against the menus written out from the units' documentation
// (support/DocumentedMenus.h), so that a wrong prompt or header in the program's tables fails.
#include "models/Models.h"
#include "support/DocumentedMenus.h"
#include "support/Harness.h"

#include <string>

using namespace gpibconfig;
using namespace gpibconfig::test;

namespace {

struct Expected {
    DocumentedMenu menu;
    int addressRow;
    bool lock;    // unlock at the start, lock group at the end
    bool trigger; // bus commands with GET before the first query
    bool notice;
    int setRow;        // the function given a new value
    const char* value; // typed
    const char* shown; // read back
};

Expected expectedFor(const QString& entry)
{
    const auto is = [&](std::initializer_list<const char*> names) {
        for (const char* n : names)
            if (entry == QLatin1String(n))
                return true;
        return false;
    };
    if (entry == QLatin1String("7311"))
        return {documentedMenu(entry), 1, true, false, true, 3, "(@1:2)", "(@1:2)"};
    if (entry == QLatin1String("7355"))
        return {documentedMenu(entry), 1, true, false, true, 3, "(@1:2)", "(@1:2)"};
    if (entry == QLatin1String("7328"))
        return {documentedMenu(entry), 1, true, false, true, 10, "(@1:16)", "(@1:16)"};
    if (entry == QLatin1String("7337B"))
        return {documentedMenu(entry), 1, true, false, true, 3, "(@1:7)", "(@1:7)"};
    if (entry == QLatin1String("7352A"))
        return {documentedMenu(entry), 1, true, false, false, 3, "2.5", "+02.5000"};
    if (is({"7357", "7362", "7321"}))
        return {documentedMenu(entry), 1, true, false, false, 2, "16", "16"};
    if (is({"7314A", "7314B", "7374A", "7374B"}))
        return {documentedMenu(entry), 3, false, true, false, 4, "19200", "19200"};
    if (entry == QLatin1String("7376"))
        return {documentedMenu(entry), 3, false, true, false, 4, "19200", "19200"};
    if (entry == QLatin1String("7379"))
        return {documentedMenu(entry), 1, false, false, false, 2, "12", "12"};
    if (is({"7325", "7325A", "7340A"}))
        return {documentedMenu(entry), 1, true, false, false, 9, "12/25/2025", "12/25/2025"};
    if (is({"7334", "7334A", "7385", "7385A"}))
        return {documentedMenu(entry), 1, true, false, false, 8, "02/29/2024", "02/29/2024"};
    if (is({"7317", "7331", "7360"}))
        return {documentedMenu(entry), 1, true, false, false, 7, "2000", "2000"};
    if (entry == QLatin1String("7322"))
        return {documentedMenu(entry), 1, true, false, false, 9, "0D", "0D"};
    if (entry == QLatin1String("7370A"))
        return {documentedMenu(entry), 3, false, true, false, 1, "ZEB", "ZEB"};
    if (entry == QLatin1String("7370B"))
        return {documentedMenu(entry), 3, false, true, false, 1, "ZEB", "ZEB"};
    qFatal("no expectation for %s", qPrintable(entry));
}

const QStringList kEntries = {"7311",  "7314A", "7314B", "7317", "7321",  "7322",  "7325",
                              "7325A", "7328",  "7331",  "7334", "7334A", "7337B", "7340A",
                              "7352A", "7355",  "7357",  "7360", "7362",  "7370A", "7370B",
                              "7374A", "7374B", "7376",  "7379", "7385",  "7385A"};

// What the unit holds for a function, as the list shows it.
QString unitValue(const sim::Bench& bench, sim::Bench::UnitId id, const DocumentedRow& row,
                  bool addressRow, std::size_t channel)
{
    const auto view = bench.unit(id);
    if (addressRow)
        return view.onSwitchAddress ? QStringLiteral("%1/31").arg(view.switchAddress)
                                    : QString::number(view.primary);
    if (QLatin1String(row.busHeader) == QLatin1String("*ESE"))
        return QString::number(view.channels.at(channel).ese);
    if (QLatin1String(row.busHeader) == QLatin1String("*SRE"))
        return QString::number(view.channels.at(channel).sre);
    const auto value = bench.setting(id, row.busHeader, channel);
    return value ? QString::fromStdString(*value) : QStringLiteral("<unknown to the unit>");
}

// One entry configured from Configure to Done at its unit's address, each function entered once
// and the set function given its new value, and what was seen on the way.
struct EntryRun {
    QString entry;
    int address = 0;
    Expected expected;
    bool fourChannels = false;
    int channels = 1;
    Harness h;
    sim::Bench::UnitId unit = 0;
    std::size_t start = 0; // the first trace record of the configuration window's work

    EntryRun(const QString& e, int a)
        : entry(e)
        , address(a)
        , expected(expectedFor(e))
        , fourChannels(e == QLatin1String("7379"))
        , channels(fourChannels ? 4 : 1)
        , unit(h.bench->unitId(e.toStdString()))
    {
    }

    const DocumentedRow& row(int function) const
    {
        return expected.menu.at(static_cast<std::size_t>(function - 1));
    }
    // The word of the unit's last channel, where the save goes.
    QString unitWord() const { return fourChannels ? QStringLiteral("0x6E19") : hexWord(address); }
    QString clearWord() const { return fourChannels ? QStringLiteral("0x6B19") : hexWord(address); }
};

// On channel `ch` (1 for a single-channel unit): the entry's menu runs, every line shows what
// the unit holds for that function, and the set function shows the value the unit took.
void menuShowsWhatTheUnitHolds(EntryRun& r, Run& run, int ch)
{
    const std::size_t channel = static_cast<std::size_t>(ch - 1);
    QVERIFY(run.w.logic().currentModel());
    QCOMPARE(QLatin1String(run.w.logic().currentModel()->entry), r.entry);
    QVERIFY2(!run.visible(ctl::txtGPIBErr), qPrintable(run.gpibError()));

    const int n = static_cast<int>(r.expected.menu.size());
    for (int f = 1; f <= n; ++f) {
        if (f > 1)
            run.enter();
        const DocumentedRow& row = r.row(f);
        QCOMPARE(run.lines().last(),
                 listLine(QLatin1String(row.prompt),
                          unitValue(*r.h.bench, r.unit, row, f == r.expected.addressRow, channel)));
        if (f == r.expected.setRow) {
            QString value = QLatin1String(r.expected.value);
            QString shown = QLatin1String(r.expected.shown);
            if (r.fourChannels) // a different buffer size for each channel
                value = shown = QString::number(8 + 4 * ch);
            run.enter(value);
            QCOMPARE(run.lines().last(), listLine(QLatin1String(row.prompt), shown));
        }
        QVERIFY2(!run.visible(ctl::txtGPIBErr), qPrintable(run.gpibError()));
    }
    QCOMPARE(run.lines().size(), std::min(n, 14));
}

// Past the last function of channel `ch`: Enter is spent, Save is offered on the last channel
// only and Next Channel before it, and the lock group only for models that lock.
void finishingButtonsFollowTheChannel(const EntryRun& r, Run& run, int ch)
{
    run.enter();
    QVERIFY(!run.enabled(ctl::cmdEnter));
    const bool last = ch == r.channels;
    QCOMPARE(run.enabled(ctl::cmdSav), last);
    QCOMPARE(run.visible(ctl::cmdNextCh), !last);
    for (const QString& name : {ctl::cmdLock, ctl::cmdSRQ, ctl::cmdNoSRQ})
        QCOMPARE(run.enabled(name), r.expected.lock);
}

void configureThroughTheWindow(EntryRun& r)
{
    for (int ch = 1; ch <= r.channels; ++ch)
        r.h.channelAnswers.push_back(QString::number(ch));
    r.start = r.h.runAt(r.entry, QString::number(r.address), [&r](Run& run) {
        for (int ch = 1; ch <= r.channels; ++ch) {
            if (ch > 1)
                run.click(ctl::cmdNextCh);
            menuShowsWhatTheUnitHolds(r, run, ch);
            if (QTest::currentTestFailed())
                return;
            finishingButtonsFollowTheChannel(r, run, ch);
            if (QTest::currentTestFailed())
                return;
        }
        run.click(ctl::cmdSav);
        QVERIFY2(!run.visible(ctl::txtGPIBErr), qPrintable(run.gpibError()));
        run.click(ctl::cmdDone);
        QVERIFY(!run.w.isVisible());
    });
}

// Each function is queried once per channel, the set function once more to read the new value
// back; the status queries are left out.
void queriesFollowTheMenu(const EntryRun& r)
{
    QStringList queries;
    for (const QString& m : r.h.messages(r.start))
        if (m.endsWith(QLatin1Char('?')) && !m.endsWith(QStringLiteral("*ESR?")))
            queries << m.section(QLatin1Char(' '), 1);
    QStringList expected;
    for (int ch = 1; ch <= r.channels; ++ch)
        for (int f = 1; f <= static_cast<int>(r.expected.menu.size()); ++f) {
            expected << QLatin1String(r.row(f).busHeader) + QLatin1Char('?');
            if (f == r.expected.setRow)
                expected << QLatin1String(r.row(f).busHeader) + QLatin1Char('?');
        }
    QCOMPARE(queries, expected);
}

// The configuration ends with the status cleared, the save and the unit's confirmation, on the
// unit's last channel.
void saveComesLast(const EntryRun& r)
{
    const QStringList msgs = r.h.messages(r.start);
    const QString w = r.unitWord() + QLatin1Char(' ');
    QCOMPARE(msgs.mid(msgs.size() - 3),
             QStringList({w + QStringLiteral("*CLS"), w + QStringLiteral("*SAV 0"),
                          w + QStringLiteral("*ESR?")}));
}

// Interface clear and device clear first; then the model's own start: the notice (with a second
// interface clear after it), the trigger sequence, the unlock, or straight the first query.
void startFitsTheModel(const EntryRun& r)
{
    const QStringList flow = r.h.flow(r.start);
    const QString word = hexWord(r.address);
    QCOMPARE(flow.at(0), QStringLiteral("IFC"));
    QCOMPARE(flow.at(1), QStringLiteral("DevClear ") + r.clearWord());
    QStringList opening = flow.mid(2, 8);
    if (r.expected.notice) {
        QCOMPARE(r.h.notices.size(), 1);
        QVERIFY(r.h.notices.at(0).startsWith(
            QStringLiteral("    NOTE - This routine configures a ") + r.entry +
            QStringLiteral(" for string data transfer and")));
        QCOMPARE(r.h.traceLinesAtNotice.at(0), r.start + 2);
        QCOMPARE(opening.at(0), QStringLiteral("IFC"));
        opening.removeFirst();
    } else {
        QVERIFY(r.h.notices.isEmpty());
    }
    if (r.expected.trigger) {
        const QString lad = hexBytes(std::string(1, static_cast<char>(0x20 + r.address)));
        QCOMPARE(opening.mid(0, 8),
                 QStringList({"Cmds 3F", "Pause(0.2)", "Cmds " + lad, "Pause(0.2)", "Cmds 3F",
                              "Pause(0.2)", "Cmds " + lad + " 08", "Pause(0.2)"}));
    } else if (r.expected.lock) {
        QCOMPARE(opening.mid(0, 2), QStringList({word + " CAL:LOCK 0", word + " *CLS"}));
    } else {
        QVERIFY(opening.at(0).endsWith(QStringLiteral(" SYST:COMM:GPIB:ADDR?")));
    }
    QCOMPARE(flow.filter(QStringLiteral("CAL:LOCK 0")).size(), r.expected.lock ? 1 : 0);
    QCOMPARE(flow.filter(QStringLiteral("Cmds ")).size(), r.expected.trigger ? 4 : 0);
}

// The new value is what the unit keeps over a power cycle.
void newValueSurvivesAPowerCycle(const EntryRun& r)
{
    const DocumentedRow& setRow = r.row(r.expected.setRow);
    if (QLatin1String(setRow.busHeader) == QLatin1String("*ESE")) {
        QCOMPARE(r.h.bench->unit(r.unit).channels.at(0).ese,
                 16); // a register, not a stored setting
        return;
    }
    const auto saved = r.h.bench->savedSetting(r.unit, setRow.busHeader, r.fourChannels ? 3 : 0);
    QCOMPARE(QString::fromStdString(saved.value_or("?")),
             r.fourChannels ? QStringLiteral("24") : QLatin1String(r.expected.shown));
}

} // namespace

class AllModels : public QObject {
    Q_OBJECT

private slots:
    void configureEveryEntry_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<int>("address");
        for (int n = 0; n < kEntries.size(); ++n)
            QTest::newRow(qPrintable(kEntries.at(n))) << kEntries.at(n) << n + 1;
    }

    void configureEveryEntry()
    {
        QFETCH(QString, entry);
        QFETCH(int, address);
        EntryRun r(entry, address);
        configureThroughTheWindow(r);
        if (QTest::currentTestFailed())
            return;
        for (const auto check : {queriesFollowTheMenu, saveComesLast, startFitsTheModel,
                                 newValueSurvivesAPowerCycle}) {
            check(r);
            if (QTest::currentTestFailed())
                return;
        }
    }

    void fourChannelUnitAddressesChannelThreeAtSecondary13()
    {
        Harness h;
        h.channelAnswers = {"3"};
        const std::size_t start = h.runAt("7379", "25", [&](Run& run) {
            for (int f = 2; f <= 14; ++f)
                run.enter();
            run.enter();
            QVERIFY(run.visible(ctl::cmdNextCh));
            QVERIFY(!run.enabled(ctl::cmdSav));
        });
        const QStringList msgs = h.messages(start);
        QCOMPARE(msgs.size(), 14);
        for (const QString& m : msgs)
            QVERIFY2(m.startsWith(QStringLiteral("0x6D19 ")), qPrintable(m));
    }

    void fourChannelAddressSetOnChannelTwoKeepsTheSecondary()
    {
        Harness h;
        h.channelAnswers = {"2", "3"};
        const auto unit = h.bench->unitId("7379");
        std::size_t moved = 0;
        h.runAt("7379", "25", [&](Run& run) {
            moved = h.bench->trace().size();
            run.enter(QStringLiteral("28"));
            QCOMPARE(h.bench->unit(unit).primary, 28);
            QCOMPARE(run.lines().last(),
                     listLine(QStringLiteral("Bus Address - 0 to 30 or 31"), QStringLiteral("28")));
            for (int f = 2; f <= 15; ++f)
                run.enter();
            QCOMPARE(run.c<QLineEdit>(ctl::txtAddr)->text(), QStringLiteral("25")); // as typed
            run.click(ctl::cmdNextCh);
            QCOMPARE(h.state.unit.word, 0x6D00 + 28);
        });
        const QStringList msgs = h.messages(moved);
        QCOMPARE(msgs.at(0), QStringLiteral("0x6C19 SYST:COMM:GPIB:ADDR 28"));
        QCOMPARE(msgs.at(1), QStringLiteral("0x6C1C *ESR?"));
        QVERIFY(msgs.contains(QStringLiteral("0x6D1C SYST:COMM:GPIB:ADDR?")));
    }

    void threeFunctionMenuAfterATwentyOneFunctionMenu()
    {
        Harness h;
        h.runAt("7311", "1", [&](Run& run) {
            for (int f = 2; f <= 21; ++f)
                run.enter();
            run.enter();
            run.click(ctl::cmdDone);
            run.click(ctl::cmdDone);
        });
        h.runAt("7321", "5", [&](Run& run) {
            run.enter();
            run.enter();
            QCOMPARE(run.lines().size(), 3);
            QVERIFY(run.enabled(ctl::cmdEnter));
            run.enter();
            QVERIFY(!run.enabled(ctl::cmdEnter));
            QVERIFY(run.enabled(ctl::cmdSav));
            QCOMPARE(run.lines().size(), 3);
            QCOMPARE(run.w.logic().currentModel()->menu->count(), 3);
            run.click(ctl::cmdDone);
            run.click(ctl::cmdDone);
        });
    }

    void printerModelsSplitByTheWholeNumber()
    {
        for (const QString& entry : {QStringLiteral("7370A"), QStringLiteral("7370B")}) {
            Harness h;
            const int address = entry == QLatin1String("7370A") ? 20 : 21;
            const std::size_t start = h.runAt(entry, QString::number(address), [&](Run& run) {
                const int n = entry == QLatin1String("7370A") ? 6 : 7;
                for (int f = 2; f <= n; ++f)
                    run.enter();
                QVERIFY(run.lines().last().startsWith(
                    QStringLiteral("PMode - CONTROLLER/DEVICE/TALK ONLY ")));
                QCOMPARE(run.lines().last().indexOf(QStringLiteral("DEV"), 35),
                         36); // one column further right
                run.enter(QStringLiteral("NI"));
                QCOMPARE(run.lines().size(), n);
            });
            const QStringList msgs = h.messages(start);
            const QString w = hexWord(address) + QLatin1Char(' ');
            QCOMPARE(msgs.filter(QStringLiteral("SYST:PMOD?")).size(), 1);
            QCOMPARE(msgs.filter(QStringLiteral("SYST:COMM:GPIB:IDLE?")).size(),
                     entry == QLatin1String("7370B") ? 1 : 0);
            QVERIFY(msgs.contains(w + QStringLiteral("SYST:PMOD NI")));
        }
    }
};

QTEST_MAIN(AllModels)
#include "tst_e2e_all_models.moc"
