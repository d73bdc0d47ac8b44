// SPDX-License-Identifier: GPL-3.0-or-later
// Operators who type anything: every input field (the address, the value of a function, the
// channel) given empty text, blanks, huge and tiny numbers, exponents, &H/&O forms, negative
// numbers, text without an 8-bit form, pasted line breaks and 10,000 characters. The answer is a
// clear message or what the number-reading rule makes of the text; never a crash, never a message
// on the bus that is not the operator's text behind its header.
#include "HostileSupport.h"
#include "gpib/Driver.h"

#include <QListWidget>

using namespace gpibconfig;
using namespace gpibconfig::test;

namespace {

const QString kAddressPrompt = QStringLiteral("Bus Address - 0 to 30 or 31");
const QString kEsePrompt = QStringLiteral("ESR Enable Bits - 0 to 255");
const QString kSrePrompt = QStringLiteral("SRE Enable Bits - 0 to 255");
const QString kOutOfRange = QStringLiteral("Address out of range, re-enter");
const QString kRetry = QStringLiteral("Error - retry");

// NoUnitThere: the address is accepted and cleared, but no unit answers it, so the first query
// times out as on a real bus.
enum Outcome { Refused, DevClearError, NoUnitThere, MenuRuns };

EntryPlan plan(const char* entry) { return *planFor(QLatin1String(entry)); }

QString title(const QString& report)
{
    return reportTitleOf(report.section(QLatin1Char('\n'), 0, 0));
}

QString repeat(const QString& piece, int times) { return piece.repeated(times); }

} // namespace

class HostileOperators : public QObject {
    Q_OBJECT

    // Types `text` into txtAddr and presses Set Address on the 7321 (at 5), then checks the
    // outcome: refused with the message and a beep and nothing on the bus; a device clear at
    // `clearWord` that fails and is reported; a device clear that succeeds at an address where no
    // unit answers, and the first query's time-out reported; or the menu at `clearWord`, talking
    // to `menuWord`.
    void checkAddress(const QString& text, Outcome outcome, int clearWord, int menuWord)
    {
        Harness h;
        h.configure(QStringLiteral("7321"), [&](ConfigWindow& window) {
            Run run{window};
            auto* edit = run.c<QLineEdit>(ctl::txtAddr);
            pasteInto(edit, text);
            const QString held = edit->text();
            const int beeps = h.notifier.beeps;
            const std::size_t before = h.bench->trace().size();
            run.click(ctl::cmdSet);
            const auto calls = h.calls(before);
            switch (outcome) {
            case Refused:
                QCOMPARE(run.errorMessage(), kOutOfRange);
                QVERIFY(run.visible(ctl::txtErrMsg));
                QCOMPARE(h.notifier.beeps, beeps + 1);
                QVERIFY2(calls.empty(),
                         qPrintable(calls.empty() ? QString() : lineOf(calls.front())));
                QCOMPARE(edit->text(), held);
                QVERIFY(!run.enabled(ctl::cmdEnter));
                break;
            case DevClearError:
                QVERIFY(!run.visible(ctl::txtErrMsg));
                QVERIFY(calls.size() >= 3);
                QCOMPARE(calls[1].kind, BusCall::Kind::DevClear);
                QCOMPARE(int{calls[1].address}, clearWord & 0xFFFF);
                QVERIFY(calls[1].failed());
                QCOMPARE(title(run.gpibError()), QStringLiteral("DevClear Error"));
                QVERIFY(!run.enabled(ctl::cmdEnter));
                QVERIFY(run.lines().isEmpty());
                break;
            case NoUnitThere:
                QVERIFY(!run.visible(ctl::txtErrMsg));
                QCOMPARE(calls.at(1).kind, BusCall::Kind::DevClear);
                QCOMPARE(int{calls.at(1).address}, clearWord);
                QVERIFY(!calls.at(1).failed());
                QCOMPARE(title(run.gpibError()), QStringLiteral("Receive Error"));
                QVERIFY(run.gpibError().contains(QStringLiteral("iberr =  6 EABO")));
                QCOMPARE(run.lines().size(), 1);
                QCOMPARE(h.messages(before).last(),
                         hexWord(menuWord) + QStringLiteral(" SYST:COMM:GPIB:ADDR?"));
                break;
            case MenuRuns:
                QVERIFY(!run.visible(ctl::txtErrMsg));
                QVERIFY2(!run.visible(ctl::txtGPIBErr), qPrintable(run.gpibError()));
                QCOMPARE(calls.at(1).kind, BusCall::Kind::DevClear);
                QCOMPARE(int{calls.at(1).address}, clearWord);
                QCOMPARE(run.lines().size(), 1);
                QCOMPARE(h.messages(before).last(),
                         hexWord(menuWord) + QStringLiteral(" SYST:COMM:GPIB:ADDR?"));
                break;
            }
            finishAfresh(h, run, QStringLiteral("5")); // the operator corrects the address
        });
        QVERIFY(h.configWindowOpened);
    }

private slots:
    void addressField_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<int>("clearWord");
        QTest::addColumn<int>("menuWord");

        QTest::newRow("empty: address 0") << "" << int(NoUnitThere) << 0 << 0;
        QTest::newRow("blanks only") << "     " << int(NoUnitThere) << 0 << 0;
        QTest::newRow("tab before the number") << "\t5" << int(MenuRuns) << 5 << 5;
        QTest::newRow("1E300") << "1E300" << int(Refused) << 0 << 0;
        QTest::newRow("1E-300 reads as 0") << "1E-300" << int(NoUnitThere) << 0 << 0;
        QTest::newRow("99999999999999999999") << "99999999999999999999" << int(Refused) << 0 << 0;
        QTest::newRow("5E0") << "5E0" << int(MenuRuns) << 5 << 5;
        QTest::newRow("0.5E1") << "0.5E1" << int(MenuRuns) << 5 << 5;
        QTest::newRow("50E-1") << "50E-1" << int(MenuRuns) << 5 << 5;
        QTest::newRow("+5") << "+5" << int(MenuRuns) << 5 << 5;
        QTest::newRow("5.4 rounds to 5") << "5.4" << int(MenuRuns) << 5 << 5;
        QTest::newRow("&H5") << "&H5" << int(MenuRuns) << 5 << 5;
        QTest::newRow("&h5") << "&h5" << int(MenuRuns) << 5 << 5;
        QTest::newRow("&O5") << "&O5" << int(MenuRuns) << 5 << 5;
        QTest::newRow("&H1F is 31") << "&H1F" << int(Refused) << 0 << 0;
        QTest::newRow("&HFFFF") << "&HFFFF" << int(Refused) << 0 << 0;
        QTest::newRow("&O777777") << "&O777777" << int(Refused) << 0 << 0;
        QTest::newRow("&H without digits") << "&H" << int(NoUnitThere) << 0 << 0;
        QTest::newRow("-5 is no address") << "-5" << int(Refused) << 0 << 0;
        QTest::newRow("-32768") << "-32768" << int(Refused) << 0 << 0;
        QTest::newRow("-32769") << "-32769" << int(Refused) << 0 << 0;
        QTest::newRow("-0") << "-0" << int(NoUnitThere) << 0 << 0;
        QTest::newRow("micro sign") << QStringLiteral(u"\u00B5") << int(NoUnitThere) << 0 << 0;
        QTest::newRow("euro sign") << QStringLiteral(u"\u20AC") << int(NoUnitThere) << 0 << 0;
        QTest::newRow("emoji") << QStringLiteral(u"\U0001F600") << int(NoUnitThere) << 0 << 0;
        QTest::newRow("fullwidth digit five")
            << QStringLiteral(u"\uFF15") << int(NoUnitThere) << 0 << 0;
        QTest::newRow("5 then micro sign") << QStringLiteral(u"5\u00B5") << int(MenuRuns) << 5 << 5;
        // A carriage return ends the number; line feeds are skipped like blanks.
        QTest::newRow("pasted 5 CR LF 6") << "5\r\n6" << int(MenuRuns) << 5 << 5;
        QTest::newRow("pasted 5 LF 6 reads 56") << "5\n6" << int(Refused) << 0 << 0;
        QTest::newRow("pasted CR LF 5") << "\r\n5" << int(NoUnitThere) << 0 << 0;
        QTest::newRow("10,000 characters after 5")
            << "5" + repeat(QStringLiteral("x"), 9999) << int(MenuRuns) << 5 << 5;
        QTest::newRow("10,000 characters ending in 5")
            << repeat(QStringLiteral(" "), 9999) + "5" << int(MenuRuns) << 5 << 5;
        QTest::newRow("10,000 nines")
            << repeat(QStringLiteral("9"), 10000) << int(Refused) << 0 << 0;
        QTest::newRow("10,000 letters")
            << repeat(QStringLiteral("x"), 10000) << int(NoUnitThere) << 0 << 0;
        QTest::newRow("512: secondary 12 for the clear only")
            << "512" << int(MenuRuns) << 0x6C05 << 5;
        QTest::newRow("532: secondary above 31") << "532" << int(Refused) << 0 << 0;
        QTest::newRow("531: secondary 31, refused by the driver")
            << "531" << int(DevClearError) << 0x7F05 << 0;
        QTest::newRow("31") << "31" << int(Refused) << 0 << 0;
        QTest::newRow("3000") << "3000" << int(Refused) << 0 << 0;
    }

    void addressField()
    {
        QFETCH(QString, text);
        QFETCH(int, outcome);
        QFETCH(int, clearWord);
        QFETCH(int, menuWord);
        checkAddress(text, static_cast<Outcome>(outcome), clearWord, menuWord);
    }

    // Numbers whose digits take them beyond what a double holds read as what they stand for: a
    // huge mantissa with a small negative exponent is still huge, a fraction with thousands of
    // leading zeros is still tiny.
    void numbersBeyondADoubleReadAsTheirValue_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("outcome");
        QTest::newRow("1 and 400 zeros, E-10 (1E390)")
            << "1" + repeat(QStringLiteral("0"), 400) + "E-10" << int(Refused);
        QTest::newRow("0. and 9,997 zeros, 5 (10,000 characters, 5E-9998)")
            << "0." + repeat(QStringLiteral("0"), 9997) + "5" << int(NoUnitThere);
    }

    void numbersBeyondADoubleReadAsTheirValue()
    {
        QFETCH(QString, text);
        QFETCH(int, outcome);
        Harness h;
        h.configure(QStringLiteral("7321"), [&](ConfigWindow& window) {
            Run run{window};
            pasteInto(run.c<QLineEdit>(ctl::txtAddr), text);
            const std::size_t before = h.bench->trace().size();
            run.click(ctl::cmdSet);
            const bool refused = run.visible(ctl::txtErrMsg) && run.errorMessage() == kOutOfRange;
            QCOMPARE(refused, outcome == Refused);
            if (outcome == NoUnitThere) {
                QCOMPARE(title(run.gpibError()), QStringLiteral("Receive Error"));
            } else {
                QVERIFY(h.calls(before).empty());
            }
            finishAfresh(h, run, QStringLiteral("5"));
        });
    }

    // -1 is the driver's "no address": a device clear there would clear every unit on the bus, and
    // a unit that needs a trigger would get 0x1F as its "listen address". Negative addresses are
    // refused before anything goes on the bus.
    void minusOneStaysOffTheBus_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::newRow("7321") << "7321";
        QTest::newRow("7374A, triggered at the start") << "7374A";
        QTest::newRow("7379, channel 1 behind it") << "7379";
    }

    void minusOneStaysOffTheBus()
    {
        QFETCH(QString, entry);
        Harness h;
        h.channelAnswers = {QStringLiteral("1"), QStringLiteral("1")};
        h.runAt(entry, "-1", [&](Run& run) {
            QVERIFY(h.calls(run.start).empty());
            QCOMPARE(run.errorMessage(), kOutOfRange);
            QVERIFY(run.visible(ctl::txtErrMsg));
            QVERIFY(!run.enabled(ctl::cmdEnter));
            run.click(ctl::cmdDone);
            run.click(ctl::cmdDone);
        });
    }

    // A value is sent exactly as typed behind its header and one blank, one byte per character
    // ('?' where a character has no 8-bit form); the unit judges it and the line shows the verdict.
    // Nothing of the set step is reported.
    void choiceField_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>(
            "traced"); // the value as the trace writes it, where it is escaped

        QTest::newRow("16") << "16" << QByteArray("16") << "16"
                            << "16";
        QTest::newRow("blanks only") << "   " << QByteArray("   ") << kRetry << "   ";
        QTest::newRow("blanks around 16") << "  16  " << QByteArray("  16  ") << "16"
                                          << "  16  ";
        QTest::newRow("1E300") << "1E300" << QByteArray("1E300") << kRetry << "";
        QTest::newRow("1E-300") << "1E-300" << QByteArray("1E-300") << "0"
                                << "";
        QTest::newRow("99999999999999999999")
            << "99999999999999999999" << QByteArray("99999999999999999999") << kRetry << "";
        QTest::newRow("1E1") << "1E1" << QByteArray("1E1") << "10"
                             << "";
        QTest::newRow("&H10") << "&H10" << QByteArray("&H10") << kRetry << "";
        QTest::newRow("&O20") << "&O20" << QByteArray("&O20") << kRetry << "";
        QTest::newRow("-5") << "-5" << QByteArray("-5") << kRetry << "";
        QTest::newRow("micro sign")
            << QStringLiteral(u"\u00B5") << QByteArray("\xB5") << kRetry << "\\xB5";
        QTest::newRow("euro sign") << QStringLiteral(u"\u20AC") << QByteArray("?") << kRetry << "?";
        QTest::newRow("emoji, two halves")
            << QStringLiteral(u"\U0001F600") << QByteArray("??") << kRetry << "??";
        QTest::newRow("16 then emoji")
            << QStringLiteral(u"16\U0001F600") << QByteArray("16??") << kRetry << "16??";
        QTest::newRow("pasted tab") << "1\t6" << QByteArray("1\t6") << kRetry << "1\\t6";
        QTest::newRow("quote and backslash")
            << "\"\\" << QByteArray("\"\\") << kRetry << "\\\"\\\\";
        QTest::newRow("10,000 characters")
            << repeat(QStringLiteral("x"), 10000) << QByteArray(10000, 'x') << kRetry << "";
        QTest::newRow("10,000 digits")
            << repeat(QStringLiteral("1"), 10000) << QByteArray(10000, '1') << kRetry << "";
    }

    void choiceField()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, shown);
        QFETCH(QString, traced);
        Harness h;
        h.runAt("7321", "5", [&](Run& run) {
            run.enter();
            pasteInto(run.c<QLineEdit>(ctl::txtChoice), text);
            const std::size_t before = h.bench->trace().size();
            run.click(ctl::cmdEnter);
            const auto calls = h.calls(before);
            QVERIFY(!calls.empty());
            QCOMPARE(calls.front().kind, BusCall::Kind::Send);
            QCOMPARE(bytesOf(calls.front()), QByteArray("*ESE ") + bytes);
            if (!traced.isEmpty())
                QVERIFY2(lineOf(calls.front())
                             .startsWith(QStringLiteral("Send(0, 0x0005, \"*ESE ") + traced +
                                         QStringLiteral("\", 1) -> ")),
                         qPrintable(lineOf(calls.front())));
            QCOMPARE(calls.front().ibcntl, static_cast<long>(5 + bytes.size() + 1));
            QVERIFY(!calls.front().failed());
            QCOMPARE(run.lines().last(), listLine(kEsePrompt, shown));
            QVERIFY2(!run.visible(ctl::txtGPIBErr), qPrintable(run.gpibError()));
            QVERIFY(run.c<QLineEdit>(ctl::txtChoice)->text().isEmpty());
            run.enter(); // the same function stayed current until now
            QCOMPARE(run.lines().last(), listLine(kSrePrompt, QStringLiteral("0")));
            finishAfresh(h, run, QStringLiteral("5"));
        });
        QCOMPARE(malformedSends(h, plan("7321"), 0, {text}), QStringList());
    }

    // Enter with nothing typed, or with what Qt leaves of an emptied field, advances.
    void emptyChoiceAdvances()
    {
        Harness h;
        h.runAt("7321", "5", [&](Run& run) {
            pasteInto(run.c<QLineEdit>(ctl::txtChoice), QStringLiteral("16"));
            pasteInto(run.c<QLineEdit>(ctl::txtChoice), QString());
            const std::size_t before = h.bench->trace().size();
            run.click(ctl::cmdEnter);
            QCOMPARE(h.messages(before), QStringList({"0x0005 *ESE?"}));
            QCOMPARE(run.lines().last(), listLine(kEsePrompt, QStringLiteral("0")));
        });
    }

    // A pasted line break goes into the single-line field (Qt keeps it), and a line feed inside a
    // message ends it early at the unit: the rest arrives as a second message the operator never
    // meant. The field's text must reach the unit as one message.
    void multiLinePasteIntoTheValueStaysOneMessage()
    {
        Harness h;
        h.runAt("7321", "5", [&](Run& run) {
            run.enter();
            pasteInto(run.c<QLineEdit>(ctl::txtChoice), QStringLiteral("16\r\n17"));
            QCOMPARE(run.c<QLineEdit>(ctl::txtChoice)->text(), QStringLiteral("16\r\n17"));
            const std::size_t before = h.bench->trace().size();
            run.click(ctl::cmdEnter);
            const auto calls = h.calls(before);
            QVERIFY(!calls.empty());
            QVERIFY(calls.front().bytes.starts_with("*ESE 16"));
            QVERIFY2(!bytesOf(calls.front()).contains('\n'), qPrintable(lineOf(calls.front())));
            QVERIFY2(!run.visible(ctl::txtGPIBErr), qPrintable(run.gpibError()));
            finishAfresh(h, run, QStringLiteral("5"));
        });
    }

    // The address function: the program follows the unit to a whole number 0..30 typed in plain
    // decimal digits, not to 31, and not where the text holds no such number. Forms the unit does
    // not take as an address (&H, trailing letters) are sent but not followed, so the program
    // keeps talking to the unit, which answers "Error - retry". Forms the unit does take but the
    // program does not follow (a fraction, an exponent) leave the program at the old address,
    // where nobody answers any more; Set Address with the new address puts it right.
    void addressFunctionValue_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("unitAt");
        QTest::addColumn<int>("talksTo");
        QTest::addColumn<QString>("shown");

        QTest::newRow("28") << "28" << 28 << 28 << "28";
        QTest::newRow("028") << "028" << 28 << 28 << "28";
        QTest::newRow("2.8E1") << "2.8E1" << 28 << 5 << "No response";
        QTest::newRow("28.4") << "28.4" << 28 << 5 << "No response";
        QTest::newRow("1E-300") << "1E-300" << 0 << 5 << "No response";
        QTest::newRow("31: back to the switches") << "31" << 5 << 5 << "5/31";
        QTest::newRow("32") << "32" << 5 << 5 << kRetry;
        QTest::newRow("1E300") << "1E300" << 5 << 5 << kRetry;
        QTest::newRow("99999999999999999999") << "99999999999999999999" << 5 << 5 << kRetry;
        QTest::newRow("-1") << "-1" << 5 << 5 << kRetry;
        QTest::newRow("letters") << "abc" << 5 << 5 << kRetry;
        QTest::newRow("blanks") << "   " << 5 << 5 << kRetry;
        QTest::newRow("micro sign") << QStringLiteral(u"\u00B5") << 5 << 5 << kRetry;
        QTest::newRow("10,000 characters")
            << repeat(QStringLiteral("x"), 10000) << 5 << 5 << kRetry;
        QTest::newRow("&H1C, refused by the unit") << "&H1C" << 5 << 5 << kRetry;
        QTest::newRow("28abc, refused by the unit") << "28abc" << 5 << 5 << kRetry;
    }

    void addressFunctionValue()
    {
        QFETCH(QString, text);
        QFETCH(int, unitAt);
        QFETCH(int, talksTo);
        QFETCH(QString, shown);
        Harness h;
        const auto unit = h.bench->unitId("7321");
        h.runAt("7321", "5", [&](Run& run) {
            pasteInto(run.c<QLineEdit>(ctl::txtChoice), text);
            const std::size_t before = h.bench->trace().size();
            run.click(ctl::cmdEnter);
            const QStringList sent = h.messages(before);
            QCOMPARE(sent.value(0).section(QLatin1Char(' '), 0, 0), QStringLiteral("0x0005"));
            QCOMPARE(sent.value(1), hexWord(talksTo) + QStringLiteral(" *ESR?"));
            QCOMPARE(h.bench->unit(unit).primary, unitAt);
            QCOMPARE(h.state.unit.word, static_cast<std::int16_t>(talksTo));
            QCOMPARE(run.lines().last(), listLine(kAddressPrompt, shown));
            QVERIFY2(!run.visible(ctl::txtGPIBErr), qPrintable(run.gpibError()));
            finishAfresh(h, run, QString::number(unitAt));
        });
        QCOMPARE(malformedSends(h, plan("7321"), 0, {text}), QStringList());
    }

    // The channel dialog takes 0 < channel <= 4 by the number-reading rule; anything else gets its
    // message and a beep, an empty field with the focus, and the dialog stays. A fractional channel
    // is rounded into the secondary address.
    void channelField_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("clearWord"); // 0: refused
        QTest::addColumn<bool>("menuRuns");

        QTest::newRow("empty") << "" << 0 << false;
        QTest::newRow("blanks") << "   " << 0 << false;
        QTest::newRow("0") << "0" << 0 << false;
        QTest::newRow("-1") << "-1" << 0 << false;
        QTest::newRow("1E300") << "1E300" << 0 << false;
        QTest::newRow("99999999999999999999") << "99999999999999999999" << 0 << false;
        QTest::newRow("4.5") << "4.5" << 0 << false;
        QTest::newRow("micro sign") << QStringLiteral(u"\u00B5") << 0 << false;
        QTest::newRow("euro sign") << QStringLiteral(u"\u20AC") << 0 << false;
        QTest::newRow("emoji") << QStringLiteral(u"\U0001F600") << 0 << false;
        QTest::newRow("pasted CR LF 3") << "\r\n3" << 0 << false;
        QTest::newRow("10,000 letters") << repeat(QStringLiteral("x"), 10000) << 0 << false;
        QTest::newRow("2E0") << "2E0" << 0x6C19 << true;
        QTest::newRow("&H3") << "&H3" << 0x6D19 << true;
        QTest::newRow("&O4") << "&O4" << 0x6E19 << true;
        QTest::newRow("pasted 3 CR LF") << "3\r\n" << 0x6D19 << true;
        QTest::newRow("4 then 9,999 letters")
            << "4" + repeat(QStringLiteral("x"), 9999) << 0x6E19 << true;
        QTest::newRow("3.5 rounds to secondary 14") << "3.5" << 0x6E19 << true;
        // Accepted as channels, but secondary 10 has no channel behind it: the clear goes out, the
        // first query times out.
        QTest::newRow("0.5") << "0.5" << 0x6A19 << false;
        QTest::newRow("1E-300") << "1E-300" << 0x6A19 << false;
    }

    void channelField()
    {
        QFETCH(QString, text);
        QFETCH(int, clearWord);
        QFETCH(bool, menuRuns);
        Harness h;
        bool refused = false;
        bool emptiedWithFocus = false;
        QString message;
        int beeps = 0;
        const auto pasteTheChannel = [&](Run& run) {
            beeps = h.notifier.beeps;
            run.w.setChannelDialogHook([&](ChannelDialog& dialog) {
                QTimer::singleShot(0, &dialog, [&] {
                    auto* edit = dialog.findChild<QLineEdit*>(ctl::txtChNum);
                    pasteInto(edit, text);
                    QTest::mouseClick(dialog.findChild<QPushButton*>(ctl::cmdChSel),
                                      Qt::LeftButton);
                    refused = dialog.isVisible();
                    if (refused) {
                        message = dialog.findChild<QLineEdit*>(ctl::txtErrMsg)->text();
                        emptiedWithFocus = edit->text().isEmpty() && dialog.focusWidget() == edit;
                        dialog.close();
                    }
                });
            });
        };
        h.runAt("7379", "25", pasteTheChannel, [&](Run& run) {
            const auto calls = h.calls(run.start);
            if (clearWord == 0) {
                QVERIFY(refused);
                QCOMPARE(message, QStringLiteral("Number out of range, Re-enter"));
                QVERIFY(emptiedWithFocus);
                QCOMPARE(h.notifier.beeps, beeps + 1);
                QVERIFY2(calls.empty(), "closing the dialog cancels Set Address");
            } else {
                QVERIFY(!refused);
                QCOMPARE(calls.at(1).kind, BusCall::Kind::DevClear);
                QCOMPARE(int{calls.at(1).address}, clearWord);
                if (menuRuns) {
                    QVERIFY2(!run.visible(ctl::txtGPIBErr), qPrintable(run.gpibError()));
                    QCOMPARE(h.messages(run.start).first(),
                             hexWord(clearWord) + QStringLiteral(" SYST:COMM:GPIB:ADDR?"));
                } else {
                    QVERIFY(!calls.at(1).failed());
                    QCOMPARE(title(run.gpibError()), QStringLiteral("Receive Error"));
                    QCOMPARE(run.lines().size(), 1);
                    run.click(ctl::cmdRedo); // the operator starts over
                }
            }
            // The operator answers the dialog properly now.
            h.hookDialogs(run.w);
            h.channelAnswers = {QStringLiteral("1")};
            run.setAddress(QStringLiteral("25"));
            QVERIFY2(!run.visible(ctl::txtGPIBErr), qPrintable(run.gpibError()));
            QCOMPARE(h.state.unit.word, static_cast<std::int16_t>(0x6B19));
            QCOMPARE(run.lines().last(), listLine(kAddressPrompt, QStringLiteral("25")));
            run.click(ctl::cmdDone);
            run.click(ctl::cmdDone);
            QVERIFY(!run.w.isVisible());
        });
        QCOMPARE(malformedSends(h, plan("7379"), 0, {}), QStringList());
    }

    // After Next Channel's device clear failed the window waits in the address stage with Enter
    // still enabled. Enter, with or without a value, and a double-click on the list have no
    // function to act on: nothing goes on the bus until Set Address succeeds.
    void enterWhileNextChannelWaitsForItsAddress()
    {
        Harness h;
        h.channelAnswers = {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("2")};
        h.runAt("7379", "25", [&](Run& run) {
            for (int f = 2; f <= 15; ++f)
                run.enter();
            QVERIFY(run.enabled(ctl::cmdNextCh));
            h.bench->failNext(sim::Call::DevClear, err::ENOL);
            run.click(ctl::cmdNextCh);
            QCOMPARE(title(run.gpibError()), QStringLiteral("DevClear Error"));
            QVERIFY(run.enabled(ctl::cmdEnter));

            const std::size_t before = h.bench->trace().size();
            run.enter();
            run.enter(QStringLiteral("12"));
            auto* list = run.c<QListWidget>(ctl::lstFunction);
            QCOMPARE(list->count(), 0);
            QTest::keyClick(list, Qt::Key_Return);
            QCOMPARE(h.bench->trace().size(), before);
            QVERIFY(run.lines().isEmpty());

            run.setAddress(QStringLiteral("25"));
            QVERIFY2(!run.visible(ctl::txtGPIBErr), qPrintable(run.gpibError()));
            QCOMPARE(h.messages(before).first(), QStringLiteral("0x6C19 SYST:COMM:GPIB:ADDR?"));
            run.click(ctl::cmdDone);
            run.click(ctl::cmdDone);
        });
    }

    // The operator who leaves by Escape or the close control gets the same question as with Done
    // after a failed save, and after a new menu that followed a successful one.
    void leavingUnsavedAsksFirst_data()
    {
        QTest::addColumn<bool>("saveFails");
        QTest::addColumn<bool>("newMenuAfterSave");
        QTest::newRow("save refused") << true << false;
        QTest::newRow("new menu after a save") << false << true;
    }

    void leavingUnsavedAsksFirst()
    {
        QFETCH(bool, saveFails);
        QFETCH(bool, newMenuAfterSave);
        Harness h;
        h.runAt("7357", "17", [&](Run& run) {
            run.enter();
            run.enter();
            run.enter();
            sim::UnitFaults faults;
            faults.refuseSave = saveFails;
            h.bench->setFaults(h.bench->unitId("7357"), faults);
            run.click(ctl::cmdSav);
            QCOMPARE(run.visible(ctl::txtGPIBErr), saveFails);
            if (newMenuAfterSave) {
                run.click(ctl::cmdRedo);
                run.setAddress(QStringLiteral("17"));
            }
            const int beeps = h.notifier.beeps;
            QTest::keyClick(&run.w, Qt::Key_Escape);
            QVERIFY2(run.w.isVisible(), "Escape asks before leaving unsaved settings");
            QVERIFY(run.gpibError().contains(
                QStringLiteral("Exit without saving? Press Done again to exit")));
            QCOMPARE(h.notifier.beeps, beeps + 1);
            run.w.close();
            QVERIFY(!run.w.isVisible());
        });
    }
};

QTEST_MAIN(HostileOperators)
#include "tst_hostile_operators.moc"
