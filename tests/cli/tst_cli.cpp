// SPDX-License-Identifier: GPL-3.0-or-later
// gpibconfig-cli on the simulated bench in virtual time: exit statuses, what reaches the bus, and
// what a technician reads.
#include "gpib/StatusReport.h"
#include "sim/Bench.h"
#include "sim/Board.h"
#include "support/BusRecords.h"
#include "support/CliRig.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <tuple>

using namespace gpibconfig;
using namespace gpibconfig::test;

namespace {

QStringList args(std::initializer_list<const char*> list)
{
    QStringList out;
    for (const char* a : list)
        out << QString::fromUtf8(a);
    return out;
}

// A command line of a table row; "@P" stands for the path of the row's profile.
QStringList withProfile(const std::vector<const char*>& list, const QString& profile)
{
    QStringList out;
    for (const char* a : list)
        out << QString::fromUtf8(a).replace(QStringLiteral("@P"), profile);
    return out;
}

QJsonObject jsonOf(const QString& text)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8(), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << text.toStdString();
    return doc.object();
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// The messages that change a unit: every Send that is not a query, the status clear, the unlock
// of the start actions or the identification.
QStringList settingsSent(const std::vector<BusCall>& records)
{
    QStringList out;
    for (const QString& m : messages(records)) {
        const QString text = m.section(QLatin1Char(' '), 1);
        if (!text.endsWith(QLatin1Char('?')) && text != QLatin1String("*CLS") &&
            text != QLatin1String("CAL:LOCK 0"))
            out << m;
    }
    return out;
}

std::int16_t low16(long v) { return static_cast<std::int16_t>(static_cast<std::uint16_t>(v)); }

// ----- usage errors -----------------------------------------------------------------------------

struct UsageCase {
    const char* name;
    std::vector<const char*> arguments;
};

class UsageErrors : public ::testing::TestWithParam<UsageCase> {};

TEST_P(UsageErrors, ExitWith64AndLeaveTheBusAlone)
{
    BenchCli r;
    QStringList a;
    for (const char* s : GetParam().arguments)
        a << QString::fromUtf8(s);
    EXPECT_EQ(r.run(a), 64) << r.cli.err.toStdString();
    EXPECT_TRUE(r.cli.err.startsWith(QStringLiteral("gpibconfig-cli: ")))
        << r.cli.err.toStdString();
    EXPECT_TRUE(r.cli.out.isEmpty());
    EXPECT_EQ(r.bench->trace().size(), 0u) << r.bench->trace().text();
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, UsageErrors,
    ::testing::Values(UsageCase{"NoCommand", {}}, UsageCase{"UnknownCommand", {"frobnicate"}},
                      UsageCase{"UnknownOption", {"show", "7352A", "15", "--colour"}},
                      UsageCase{"UnknownEntry", {"show", "7399", "15"}},
                      UsageCase{"AddressBetween31And99", {"show", "7352A", "31"}},
                      UsageCase{"AddressOf3000", {"show", "7352A", "3000"}},
                      UsageCase{"SecondaryAbove31", {"show", "7352A", "1550"}},
                      UsageCase{"AddressNotANumber", {"show", "7352A", "1S"}},
                      UsageCase{"NegativeAddress", {"show", "7352A", "-1"}},
                      UsageCase{"MissingAddress", {"show", "7352A"}},
                      UsageCase{"ExtraArgument", {"show", "7352A", "15", "16"}},
                      UsageCase{"UnknownFunction", {"set", "7352A", "15", "SYST:FOO=1"}},
                      UsageCase{"FunctionNumberPastTheMenu", {"set", "7352A", "15", "16=1"}},
                      UsageCase{"NoEqualsSign", {"set", "7352A", "15", "VOLT"}},
                      UsageCase{"NoValue", {"set", "7352A", "15", "VOLT="}},
                      UsageCase{"NoSetting", {"set", "7352A", "15"}},
                      UsageCase{"ChannelMissingForFourChannels", {"set", "7379", "25", "2=12"}},
                      UsageCase{"ChannelOfAUnitWithout", {"show", "7352A", "15", "--channel", "1"}},
                      UsageCase{"ChannelPastTheLast", {"show", "7379", "25", "--channel", "5"}},
                      UsageCase{"ChannelZero", {"show", "7379", "25", "--channel", "0"}},
                      UsageCase{"LockOfAUnitWithoutLock", {"save", "7379", "25", "--lock"}},
                      UsageCase{"PscNotZeroOrOne", {"save", "7352A", "15", "--psc", "2"}},
                      UsageCase{"OptionOfAnotherCommand", {"show", "7352A", "15", "--dry-run"}},
                      UsageCase{"LockWithNoSave",
                                {"restore", "p.json", "15", "--lock", "--no-save"}},
                      UsageCase{"UnknownDriver", {"--driver", "gpib", "models"}},
                      UsageCase{"BoardNotANumber", {"--board", "x", "models"}},
                      UsageCase{"PowerCycleUnconfirmedWithoutTerminal", {"show", "7374A", "22"}},
                      UsageCase{"BackupToAnUnwritableFile",
                                {"backup", "7352A", "15", "-o", "/nonexistent/dir/p.json"}},
                      UsageCase{"TraceToAnUnwritableFile",
                                {"--trace", "/nonexistent/dir/t", "show", "7352A", "15"}}),
    [](const auto& info) { return std::string(info.param.name); });

// ----- profiles that cannot be used ---------------------------------------------------------

struct ProfileCase {
    const char* name;
    std::function<QByteArray(QJsonObject)> make; // from a good profile of the 7352A at 15
    const char* says;                            // part of the message
};

QJsonObject withFunction(QJsonObject p, const std::function<void(QJsonObject&)>& change,
                         int index = 2)
{
    QJsonArray channels = p[QStringLiteral("channels")].toArray();
    QJsonObject channel = channels[0].toObject();
    QJsonArray functions = channel[QStringLiteral("functions")].toArray();
    QJsonObject f = functions[index].toObject();
    change(f);
    functions[index] = f;
    channel[QStringLiteral("functions")] = functions;
    channels[0] = channel;
    p[QStringLiteral("channels")] = channels;
    return p;
}

QByteArray json(const QJsonObject& o) { return QJsonDocument(o).toJson(); }

// A backup of the 7352A at 15 as the default bench has it.
QJsonObject goodProfile()
{
    BenchCli source;
    EXPECT_EQ(source.run(args({"backup", "7352A", "15"})), 0);
    return jsonOf(source.cli.out);
}

// The profile's text padded with blanks after the document to `size` bytes.
QByteArray paddedTo(const QJsonObject& profile, qsizetype size)
{
    QByteArray bytes = json(profile);
    return bytes + QByteArray(size - bytes.size(), ' ');
}

class BadProfiles : public ::testing::TestWithParam<ProfileCase> {};

TEST_P(BadProfiles, ExitWith65BeforeTheBusIsTouched)
{
    const ProfileCase c = GetParam();
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("p.json"));
    writeFile(file, c.make(goodProfile()));
    for (const char* command : {"restore", "diff"}) {
        BenchCli r;
        EXPECT_EQ(r.run({QString::fromLatin1(command), file, QStringLiteral("15")}), 65)
            << command << ": " << r.cli.err.toStdString();
        EXPECT_TRUE(r.cli.err.contains(QString::fromUtf8(c.says))) << r.cli.err.toStdString();
        EXPECT_EQ(r.bench->trace().size(), 0u) << r.bench->trace().text();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, BadProfiles,
    ::testing::Values(
        ProfileCase{"NotJson", [](QJsonObject) { return QByteArray("{\"format\": "); }, "not JSON"},
        ProfileCase{"Empty", [](QJsonObject) { return QByteArray(); }, "not JSON"},
        ProfileCase{"AnArray", [](QJsonObject) { return QByteArray("[]"); }, "not a JSON object"},
        ProfileCase{"AnotherFormat",
                    [](QJsonObject p) {
                        p[QStringLiteral("format")] = QStringLiteral("gpibconfig-settings");
                        return json(p);
                    },
                    "\"format\""},
        ProfileCase{"AnotherVersion",
                    [](QJsonObject p) {
                        p[QStringLiteral("version")] = 2;
                        return json(p);
                    },
                    "version 2"},
        ProfileCase{"VersionAsText",
                    [](QJsonObject p) {
                        p[QStringLiteral("version")] = QStringLiteral("1");
                        return json(p);
                    },
                    "version"},
        ProfileCase{"UnknownEntry",
                    [](QJsonObject p) {
                        p[QStringLiteral("entry")] = QStringLiteral("7399");
                        return json(p);
                    },
                    "unknown entry"},
        ProfileCase{"UnknownHeader",
                    [](QJsonObject p) {
                        return json(withFunction(p, [](QJsonObject& f) {
                            f[QStringLiteral("header")] = QStringLiteral("VOLT:FOO");
                        }));
                    },
                    "no function \"VOLT:FOO\""},
        ProfileCase{"NumberNotTheHeaders",
                    [](QJsonObject p) {
                        return json(withFunction(
                            p, [](QJsonObject& f) { f[QStringLiteral("number")] = 4; }));
                    },
                    "function 3"},
        ProfileCase{"ValueNotText",
                    [](QJsonObject p) {
                        return json(withFunction(
                            p, [](QJsonObject& f) { f[QStringLiteral("value")] = 2.5; }));
                    },
                    "has no value"},
        ProfileCase{"ValueLongerThanAReply",
                    [](QJsonObject p) {
                        return json(withFunction(p, [](QJsonObject& f) {
                            f[QStringLiteral("value")] = QStringLiteral("+02.500000000000000");
                        }));
                    },
                    "longer than a reply"},
        ProfileCase{"ValueWithALineBreak",
                    [](QJsonObject p) {
                        return json(withFunction(p, [](QJsonObject& f) {
                            f[QStringLiteral("value")] = QStringLiteral("1\n*RST");
                        }));
                    },
                    "line break"},
        ProfileCase{"ValueNoUnitSends",
                    [](QJsonObject p) {
                        return json(withFunction(p, [](QJsonObject& f) {
                            f[QStringLiteral("value")] = QStringLiteral("+02.5\u20AC");
                        }));
                    },
                    "no unit sends"},
        ProfileCase{
            "AddressNoBusAddress",
            [](QJsonObject p) {
                return json(withFunction(
                    p, [](QJsonObject& f) { f[QStringLiteral("value")] = QStringLiteral("99"); },
                    0));
            },
            "no bus address"},
        ProfileCase{"HeaderTwice",
                    [](QJsonObject p) {
                        return json(withFunction(p, [](QJsonObject& f) {
                            f[QStringLiteral("header")] = QStringLiteral("volt:slope");
                            f.remove(QStringLiteral("number"));
                        }));
                    },
                    "given twice"},
        ProfileCase{"ChannelOfAUnitWithout",
                    [](QJsonObject p) {
                        QJsonArray channels = p[QStringLiteral("channels")].toArray();
                        QJsonObject c = channels[0].toObject();
                        c[QStringLiteral("channel")] = 1;
                        channels[0] = c;
                        p[QStringLiteral("channels")] = channels;
                        return json(p);
                    },
                    "has no channels"},
        ProfileCase{"FourChannelUnitsChannelFive",
                    [](QJsonObject p) {
                        p[QStringLiteral("entry")] = QStringLiteral("7379");
                        QJsonArray channels = p[QStringLiteral("channels")].toArray();
                        QJsonObject c = channels[0].toObject();
                        c[QStringLiteral("channel")] = 5;
                        c[QStringLiteral("functions")] = QJsonArray();
                        channels[0] = c;
                        p[QStringLiteral("channels")] = channels;
                        return json(p);
                    },
                    "channels 1 to 4"},
        ProfileCase{"ChannelTwice",
                    [](QJsonObject p) {
                        p[QStringLiteral("entry")] = QStringLiteral("7379");
                        const QJsonObject c{{QStringLiteral("channel"), 2},
                                            {QStringLiteral("functions"), QJsonArray()}};
                        p[QStringLiteral("channels")] = QJsonArray{c, c};
                        return json(p);
                    },
                    "channel 2 is given twice"},
        ProfileCase{"NoChannels",
                    [](QJsonObject p) {
                        p[QStringLiteral("channels")] = QJsonArray();
                        return json(p);
                    },
                    "no channels"},
        ProfileCase{"Oversized",
                    [](QJsonObject p) { return json(p) + QByteArray(1024 * 1024, ' '); },
                    "larger than"},
        ProfileCase{"OneByteOverOneMebibyte",
                    [](QJsonObject p) { return paddedTo(p, 1024 * 1024 + 1); }, "larger than"},
        ProfileCase{"FourChannelUnitsChannelZero",
                    [](QJsonObject p) {
                        p[QStringLiteral("entry")] = QStringLiteral("7379");
                        const QJsonObject c{{QStringLiteral("channel"), 0},
                                            {QStringLiteral("functions"), QJsonArray()}};
                        p[QStringLiteral("channels")] = QJsonArray{c};
                        return json(p);
                    },
                    "channels 1 to 4"},
        ProfileCase{"ValueWithACarriageReturn",
                    [](QJsonObject p) {
                        return json(withFunction(p, [](QJsonObject& f) {
                            f[QStringLiteral("value")] = QStringLiteral("1\r*RST");
                        }));
                    },
                    "line break"},
        // 31 is what the address function is set to, never what it answers.
        ProfileCase{
            "AddressSetting31",
            [](QJsonObject p) {
                return json(withFunction(
                    p, [](QJsonObject& f) { f[QStringLiteral("value")] = QStringLiteral("31"); },
                    0));
            },
            "no bus address"},
        ProfileCase{"TakenNotText",
                    [](QJsonObject p) {
                        p[QStringLiteral("taken")] = 2025;
                        return json(p);
                    },
                    "\"taken\" is not a text"},
        // The message quotes the header as JSON would: a lone surrogate has no UTF-8 form.
        ProfileCase{"HeaderWithALoneSurrogate",
                    [](QJsonObject p) {
                        return json(withFunction(p,
                                                 [](QJsonObject& f) {
                                                     f[QStringLiteral("header")] =
                                                         QStringLiteral("VOLT:LONE");
                                                 }))
                            .replace("VOLT:LONE", "VOLT:\\ud800");
                    },
                    "no function \"VOLT:\\ud800\""}),
    [](const auto& info) { return std::string(info.param.name); });

// ----- profiles at the edges of what is allowed -------------------------------------------------

struct LimitCase {
    const char* name;
    std::function<QByteArray(QJsonObject)> make; // from a good profile of the 7352A at 15
    int diffStatus;                              // 1: the edited value differs from the unit's
};

class ProfilesAtTheirLimits : public ::testing::TestWithParam<LimitCase> {};

TEST_P(ProfilesAtTheirLimits, AreUsed)
{
    const LimitCase c = GetParam();
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("p.json"));
    writeFile(file, c.make(goodProfile()));
    BenchCli r;
    EXPECT_EQ(r.run({QStringLiteral("diff"), file, QStringLiteral("15")}), c.diffStatus)
        << r.cli.err.toStdString();
    EXPECT_TRUE(r.cli.err.isEmpty()) << r.cli.err.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, ProfilesAtTheirLimits,
    ::testing::Values(
        LimitCase{"ValueAsLongAsAReply",
                  [](QJsonObject p) {
                      return json(withFunction(p, [](QJsonObject& f) {
                          f[QStringLiteral("value")] = QStringLiteral("+02.50000000000000");
                      }));
                  },
                  1},
        LimitCase{"ValueWithTheLastLatin1Character",
                  [](QJsonObject p) {
                      return json(withFunction(p, [](QJsonObject& f) {
                          f[QStringLiteral("value")] = QStringLiteral("+02.5\u00FF");
                      }));
                  },
                  1},
        // A unit on its switch address 30 answers 62.
        LimitCase{"AddressOfAUnitOnSwitchAddress30",
                  [](QJsonObject p) {
                      return json(withFunction(
                          p,
                          [](QJsonObject& f) { f[QStringLiteral("value")] = QStringLiteral("62"); },
                          0));
                  },
                  0},
        LimitCase{"ExactlyOneMebibyte", [](QJsonObject p) { return paddedTo(p, 1024 * 1024); }, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BadProfile, AMissingFileIsOneThatCannotBeUsed)
{
    BenchCli r;
    EXPECT_EQ(r.run(args({"restore", "/nonexistent/p.json", "15"})), 65);
    EXPECT_EQ(r.bench->trace().size(), 0u);
}

TEST(BadProfile, AProfileOfAnotherModelIsRefusedOnTheUnitsOwnWordAndNothingIsSet)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("p.json"));
    BenchCli source;
    ASSERT_EQ(source.run({QStringLiteral("backup"), QStringLiteral("7352A"), QStringLiteral("15"),
                          QStringLiteral("-o"), file}),
              0);
    for (const char* command : {"restore", "diff"}) {
        BenchCli r;
        // The 7321 at 5 says what it is when asked.
        EXPECT_EQ(r.run({QString::fromLatin1(command), file, QStringLiteral("5")}), 65);
        EXPECT_TRUE(r.cli.err.contains(QStringLiteral("the profile is for a 7352A")))
            << r.cli.err.toStdString();
        EXPECT_TRUE(r.cli.err.contains(QStringLiteral("\"ZEB,7321,24005,")))
            << r.cli.err.toStdString();
        EXPECT_EQ(messages(r.bench->trace().records()), QStringList{QStringLiteral("0x0005 *IDN?")})
            << "no start action and no setting before the unit said what it is";
    }
}

// ----- refused settings -------------------------------------------------------------------------

struct RefusalCase {
    const char* name;
    std::vector<const char*> arguments;
    const char* says; // on standard error
    const char* unitModel;
    const char* header; // the setting that must keep its value
};

class Refusals : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(Refusals, ExitWith1NamingTheUnitsEventStatus)
{
    const RefusalCase c = GetParam();
    BenchCli r;
    const auto unit = r.bench->unitId(c.unitModel);
    const auto before = r.bench->setting(unit, c.header);
    QStringList a;
    for (const char* s : c.arguments)
        a << QString::fromUtf8(s);
    EXPECT_EQ(r.run(a), 1) << r.cli.err.toStdString();
    EXPECT_TRUE(r.cli.err.contains(QString::fromUtf8(c.says))) << r.cli.err.toStdString();
    EXPECT_EQ(r.bench->setting(unit, c.header), before);
}

INSTANTIATE_TEST_SUITE_P(
    Values, Refusals,
    ::testing::Values(RefusalCase{"OutOfRange",
                                  {"set", "7352A", "15", "VOLT:OFFSET=99"},
                                  "VOLT:OFFSET 99 refused by the unit: ESR = 16",
                                  "7352A",
                                  "VOLT:OFFSET"},
                      RefusalCase{"TextWhereANumberBelongs",
                                  {"set", "7352A", "15", "3=abc"},
                                  "refused by the unit: ESR = 32",
                                  "7352A",
                                  "VOLT:OFFSET"},
                      RefusalCase{
                          "UnknownChoiceOfATriggerModeUnit",
                          {"set", "7370B", "21", "syst:emul=XYZ", "--power-cycled"},
                          // No status clear for this model: the power-on bit is still there.
                          "SYST:EMUL XYZ refused by the unit: ESR = 144",
                          "7370B",
                          "SYST:EMUL"},
                      RefusalCase{"OneOfSeveral",
                                  {"set", "7379", "25", "--channel", "3",
                                   "SYST:COMM:SER:BAUD=19200", "SYST:COMM:GPIB:BUFS=10"},
                                  "SYST:COMM:GPIB:BUFS 10 refused by the unit: ESR = 16",
                                  "7379",
                                  "SYST:COMM:GPIB:BUFS"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Refusal, ASaveTheUnitRefusesExitsWith1WithTheWindowsWords)
{
    BenchCli r;
    const auto unit = r.bench->unitId("7352A");
    sim::UnitFaults faults;
    faults.refuseSave = true;
    r.bench->setFaults(unit, faults);
    EXPECT_EQ(r.run(args({"save", "7352A", "15"})), 1);
    EXPECT_TRUE(r.cli.err.contains(QStringLiteral("Save refused by the unit: ESR = 8")))
        << r.cli.err.toStdString();
    EXPECT_FALSE(r.bench->unit(unit).everSaved);
}

TEST(Refusal, ARestoreThatIsRefusedAnywhereIsNotSaved)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("p.json"));
    BenchCli r;
    ASSERT_EQ(r.run(args({"backup", "7352A", "15"})), 0);
    const QJsonObject edited = withFunction(jsonOf(r.cli.out), [](QJsonObject& f) {
        f[QStringLiteral("value")] = QStringLiteral("+99.0000"); // no unit takes it
    });
    writeFile(file, json(withFunction(
                        edited,
                        [](QJsonObject& f) {
                            f[QStringLiteral("value")] = QStringLiteral("7"); // taken
                        },
                        11)));
    const std::size_t start = r.bench->trace().size();
    EXPECT_EQ(r.run({QStringLiteral("restore"), file, QStringLiteral("15")}), 1);
    EXPECT_TRUE(r.cli.err.contains(QStringLiteral("VOLT:OFFSET +99.0000 refused by the unit: "
                                                  "ESR = 16")))
        << r.cli.err.toStdString();
    EXPECT_TRUE(r.cli.err.contains(QStringLiteral("not saved")));
    EXPECT_EQ(r.cli.out, QStringLiteral("VOLT:OFFSET  +00.0000 -> refused\nMEAS:AVER  1 -> 7\n"));
    EXPECT_EQ(settingsSent(r.bench->trace().records(start)),
              (QStringList{QStringLiteral("0x000F VOLT:OFFSET +99.0000"),
                           QStringLiteral("0x000F MEAS:AVER 7")}));
}

// ----- failed driver calls ----------------------------------------------------------------------

// A call of a run: the n-th call of that kind, or of a Send of those bytes.
struct CallPick {
    BusCall::Kind kind;
    const char* message = nullptr; // Send: exactly these bytes
    int occurrence = 1;
};

struct FaultCase {
    const char* name;
    std::vector<const char*> arguments;
    CallPick pick;
    int iberr;
    const char* title;
    int reported = 0; // the report is of the call this many after the failed one
};

// Position (counted as the bench counts driver calls, from 1) of the picked call in `calls`.
long positionOf(const std::vector<BusCall>& calls, const CallPick& pick)
{
    int seen = 0;
    for (std::size_t i = 0; i < calls.size(); ++i) {
        const BusCall& c = calls[i];
        const bool matches = c.kind == pick.kind && (!pick.message || c.isSend(pick.message));
        if (matches && ++seen == pick.occurrence)
            return static_cast<long>(i + 1);
    }
    return 0;
}

class BusFaults : public ::testing::TestWithParam<FaultCase> {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QStringList arguments() const
    {
        QStringList a;
        for (const char* s : GetParam().arguments)
            a << QString::fromUtf8(s).replace(QStringLiteral("@DIR"), dir.path());
        return a;
    }
    QTemporaryDir dir;
};

TEST_P(BusFaults, ExitWith2AndTheWindowsReportOfTheFailedCall)
{
    const FaultCase c = GetParam();
    // A profile of the 7352A at 15 for the commands that read one.
    {
        BenchCli source;
        ASSERT_EQ(
            source.run({QStringLiteral("backup"), QStringLiteral("7352A"), QStringLiteral("15"),
                        QStringLiteral("-o"), dir.filePath(QStringLiteral("p.json"))}),
            0);
    }
    long position = 0;
    {
        BenchCli clean;
        ASSERT_EQ(clean.run(arguments()), 0) << clean.cli.err.toStdString();
        position = positionOf(driverCalls(clean.bench->trace().records()), c.pick);
        ASSERT_GT(position, 0) << "the run makes no such call";
    }
    BenchCli r;
    r.bench->failCallAt(position, c.iberr);
    EXPECT_EQ(r.run(arguments()), 2) << r.cli.err.toStdString();

    const std::vector<BusCall> calls = driverCalls(r.bench->trace().records());
    ASSERT_GE(calls.size(), static_cast<std::size_t>(position));
    ASSERT_TRUE(calls[static_cast<std::size_t>(position - 1)].failed());
    const BusCall& failed = calls[static_cast<std::size_t>(position - 1 + c.reported)];
    ASSERT_TRUE(failed.failed()) << failed.traceLine();
    const QString report =
        formatStatusReport(QString::fromLatin1(c.title), low16(failed.ibsta), low16(failed.iberr),
                           static_cast<std::int32_t>(failed.ibcntl));
    EXPECT_EQ(r.cli.err.section(QLatin1Char('\n'), 0, 0), report) << r.cli.err.toStdString();
    EXPECT_TRUE(r.cli.out.isEmpty()) << r.cli.out.toStdString();
    // As the window's report does, the board is taken offline, and nothing follows.
    EXPECT_EQ(calls.back().request(), BusCall::ibonl(0, 0));
}

INSTANTIATE_TEST_SUITE_P(
    Calls, BusFaults,
    ::testing::Values(
        FaultCase{"InterfaceClear",
                  {"show", "7352A", "15"},
                  {BusCall::Kind::SendIFC},
                  err::ENEB,
                  "SendIFC Error"},
        FaultCase{"RemoteEnable",
                  {"show", "7352A", "15"},
                  {BusCall::Kind::ibsre},
                  err::EARG,
                  "SendIFC Error"},
        FaultCase{
            "TimeOut", {"show", "7352A", "15"}, {BusCall::Kind::ibtmo}, err::EARG, "SendIFC Error"},
        FaultCase{"InterfaceClearOfSetAddress",
                  {"show", "7352A", "15"},
                  {BusCall::Kind::SendIFC, nullptr, 2},
                  err::EBUS,
                  "SendIFC Error"},
        FaultCase{"DeviceClear",
                  {"show", "7352A", "15"},
                  {BusCall::Kind::DevClear},
                  err::ENOL,
                  "DevClear Error"},
        FaultCase{"Unlock",
                  {"show", "7352A", "15"},
                  {BusCall::Kind::Send, "CAL:LOCK 0"},
                  err::ENOL,
                  "Send LOCK Error"},
        FaultCase{"TriggerSequence",
                  {"show", "7374A", "22", "--power-cycled"},
                  {BusCall::Kind::SendCmds, nullptr, 4},
                  err::EBUS,
                  "SendCmds Error"},
        FaultCase{"QueryReply",
                  {"show", "7352A", "15"},
                  {BusCall::Kind::Receive, nullptr, 5},
                  err::EABO,
                  "Receive Error"},
        // The query's reply never comes: reported as the window reports it.
        FaultCase{"QueryMessage",
                  {"show", "7352A", "15"},
                  {BusCall::Kind::Send, "VOLT:POL?"},
                  err::ENOL,
                  "Receive Error",
                  1},
        FaultCase{"SettingSent",
                  {"set", "7352A", "15", "VOLT:OFFSET=2.5"},
                  {BusCall::Kind::Send, "VOLT:OFFSET 2.5"},
                  err::ENOL,
                  "Send Error"},
        FaultCase{"StatusAfterASetting",
                  {"set", "7352A", "15", "VOLT:OFFSET=2.5"},
                  {BusCall::Kind::Receive, nullptr, 2},
                  err::EABO,
                  "Receive ESR Error"},
        FaultCase{"ReadBack",
                  {"set", "7352A", "15", "VOLT:OFFSET=2.5"},
                  {BusCall::Kind::Receive, nullptr, 3},
                  err::EABO,
                  "Receive Error"},
        FaultCase{"SaveStatusClear",
                  {"save", "7352A", "15"},
                  {BusCall::Kind::Send, "*CLS", 2},
                  err::ENOL,
                  "Send CLS Error"},
        FaultCase{"Save",
                  {"save", "7352A", "15"},
                  {BusCall::Kind::Send, "*SAV 0"},
                  err::ENOL,
                  "Send SAV Error"},
        FaultCase{"SaveCheck",
                  {"save", "7352A", "15"},
                  {BusCall::Kind::Receive},
                  err::EABO,
                  "Receive ESR Error"},
        FaultCase{"Lock",
                  {"save", "7352A", "15", "--lock"},
                  {BusCall::Kind::Send, "CAL:LOCK ON"},
                  err::ENOL,
                  "Send LOCK Error"},
        FaultCase{"PowerOnStatus",
                  {"save", "7352A", "15", "--psc", "1"},
                  {BusCall::Kind::Send, "*PSC 1"},
                  err::ENOL,
                  "Send ESE Error"},
        FaultCase{"Identification",
                  {"backup", "7352A", "15"},
                  {BusCall::Kind::Send, "*IDN?"},
                  err::ENOL,
                  "Send IDN Error"},
        FaultCase{"IdentificationBeforeARestore",
                  {"restore", "@DIR/p.json", "15"},
                  {BusCall::Kind::Receive},
                  err::EABO,
                  "Receive IDN Error"},
        FaultCase{"DeviceClearOfADiff",
                  {"diff", "@DIR/p.json", "15"},
                  {BusCall::Kind::DevClear},
                  err::ENOL,
                  "DevClear Error"},
        FaultCase{
            "FindListeners", {"scan"}, {BusCall::Kind::FindLstn}, err::EBUS, "FindLstn Error"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BusFault, TheDriversPlainWordsFollowTheReport)
{
    // A driver that knows what a failure means says so, as under the window's report.
    auto bench = sim::makeDefaultBench();
    PassThrough driver(bench->driver());
    driver.findsListeners = false;
    driver.explanation = QStringLiteral("No GPIB driver library was found.");
    CliRig cli(driver, bench->clock());
    bench->failNext(sim::Call::SendIFC, err::EDVR);
    EXPECT_EQ(cli.run(args({"show", "7321", "5"})), 2);
    const QStringList lines = cli.err.split(QLatin1Char('\n'));
    ASSERT_GE(lines.size(), 2);
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("SendIFC Error ibsta = &H8100")));
    EXPECT_EQ(lines[1], QStringLiteral("No GPIB driver library was found."));
}

TEST(BusFault, TheBoardTheRunUsesIsTakenOfflineAfterTheReport)
{
    // The bench has board 0 alone: on board 1 the interface clear fails with ENEB.
    BenchCli r;
    const std::size_t start = r.bench->trace().size();
    EXPECT_EQ(r.run(args({"--board", "1", "show", "7321", "5"})), 2);
    EXPECT_TRUE(r.cli.err.startsWith(QStringLiteral("SendIFC Error ibsta = &H8100 <   ERR CMPL "
                                                    ">iberr =  7 ENEB")))
        << r.cli.err.toStdString();
    EXPECT_EQ(test::requests(driverCalls(r.bench->trace().records(start))),
              (std::vector{BusCall::sendIfc(1), BusCall::ibonl(1, 0)}));
}

// ----- backup, restore, diff --------------------------------------------------------------------

struct RoundTripCase {
    const char* entry;
    int address;
    std::vector<std::vector<const char*>> changes; // set commands' extra arguments
    bool powerCycle = false;
};

class RoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(RoundTrip, ABackupRestoredOntoAnotherUnitLeavesNoDifferenceEvenAfterAPowerCycle)
{
    const RoundTripCase c = GetParam();
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("p.json"));
    BenchCli r;
    const auto copy = r.bench->addUnit(c.entry, 28);
    const QString entry = QString::fromLatin1(c.entry);
    const QString address = QString::number(c.address);
    const QStringList cycled =
        c.powerCycle ? QStringList{QStringLiteral("--power-cycled")} : QStringList{};

    int settingsChanged = 0;
    for (const auto& change : c.changes) {
        QStringList a{QStringLiteral("set"), entry, address};
        for (const char* s : change)
            a << QString::fromUtf8(s);
        ASSERT_EQ(r.run(a + cycled), 0) << r.cli.err.toStdString();
        settingsChanged +=
            static_cast<int>(std::count_if(change.begin(), change.end(), [](const char* s) {
                return QString::fromUtf8(s).contains(QLatin1Char('='));
            }));
    }
    ASSERT_EQ(
        r.run(QStringList{QStringLiteral("backup"), entry, address, QStringLiteral("-o"), file} +
              cycled),
        0)
        << r.cli.err.toStdString();

    EXPECT_EQ(r.run(QStringList{QStringLiteral("diff"), file, QStringLiteral("28")} + cycled), 1)
        << r.cli.err.toStdString();

    const std::size_t start = r.bench->trace().size();
    ASSERT_EQ(r.run(QStringList{QStringLiteral("restore"), file, QStringLiteral("28")} + cycled), 0)
        << r.cli.err.toStdString();
    QStringList sent = settingsSent(r.bench->trace().records(start));
    ASSERT_FALSE(sent.isEmpty());
    EXPECT_TRUE(sent.takeLast().endsWith(QStringLiteral(" *SAV 0")));
    EXPECT_EQ(sent.size(), settingsChanged)
        << sent.join(QLatin1Char('\n')).toStdString() << "\nonly the settings that differ are sent";
    EXPECT_EQ(r.bench->unit(copy).primary, 28) << "the address is left alone";

    EXPECT_EQ(r.run(QStringList{QStringLiteral("diff"), file, QStringLiteral("28")} + cycled), 0)
        << r.cli.out.toStdString();
    EXPECT_TRUE(r.cli.out.endsWith(QStringLiteral("no differences\n"))) << r.cli.out.toStdString();

    r.bench->powerCycle(copy);
    EXPECT_EQ(r.run(QStringList{QStringLiteral("diff"), file, QStringLiteral("28")} + cycled), 0)
        << r.cli.out.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Models, RoundTrip,
    ::testing::Values(
        RoundTripCase{"7352A", 15, {{"VOLT:OFFSET=2.5", "meas:aver=10", "8=1"}}},
        RoundTripCase{"7379",
                      25,
                      {{"--channel", "2", "SYST:COMM:GPIB:BUFS=16"},
                       {"--channel", "4", "SYST:COMM:SER:BAUD=19200", "SYST:COMM:SER:PAR=EVEN"}}},
        RoundTripCase{"7374A", 22, {{"SYST:COMM:SER:BAUD=19200", "SYST:EMUL=ZEB"}}, true},
        RoundTripCase{"7311", 1, {{"CONF:INP=(@1:2)", "FORM:TALK:TRANS=ABCDEFGHIJKLMNOP"}}},
        RoundTripCase{"7370B", 21, {{"SYST:EMUL=ZEB", "SYST:PMOD=CONT"}}, true},
        RoundTripCase{"7322", 6, {{"SYST:COMM:SER:EOMchr=0D", "CAL:DATE=12/25/2025"}}}),
    [](const auto& info) { return std::string(info.param.entry); });

TEST(Restore, OntoTheUnitItCameFromSendsNoSettingButTheSave)
{
    BenchCli r;
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("p.json"));
    ASSERT_EQ(r.run({QStringLiteral("backup"), QStringLiteral("7325"), QStringLiteral("7"),
                     QStringLiteral("-o"), file}),
              0);
    const std::size_t start = r.bench->trace().size();
    EXPECT_EQ(r.run({QStringLiteral("restore"), file, QStringLiteral("7")}), 0);
    EXPECT_EQ(settingsSent(r.bench->trace().records(start)),
              QStringList{QStringLiteral("0x0007 *SAV 0")});
}

TEST(Restore, AnEmptyValueIsNotSentAndNothingIsSaved)
{
    BenchCli r;
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("p.json"));
    ASSERT_EQ(r.run(args({"backup", "7352A", "15"})), 0);
    writeFile(file, json(withFunction(jsonOf(r.cli.out), [](QJsonObject& f) {
                  f[QStringLiteral("value")] = QStringLiteral(" ");
              })));
    const std::size_t start = r.bench->trace().size();
    EXPECT_EQ(r.run({QStringLiteral("restore"), file, QStringLiteral("15")}), 1);
    EXPECT_EQ(r.cli.out, QStringLiteral("VOLT:OFFSET  +00.0000 -> not sent\n"));
    EXPECT_TRUE(settingsSent(r.bench->trace().records(start)).isEmpty());
}

TEST(Restore, ADryRunSendsNoSettingAndNoSave)
{
    BenchCli r;
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("p.json"));
    ASSERT_EQ(r.run(args({"set", "7357", "17", "*ESE=16"})), 0);
    ASSERT_EQ(r.run({QStringLiteral("backup"), QStringLiteral("7357"), QStringLiteral("17"),
                     QStringLiteral("-o"), file}),
              0);
    r.bench->addUnit("7357", 28);
    const std::size_t start = r.bench->trace().size();
    EXPECT_EQ(
        r.run({QStringLiteral("restore"), file, QStringLiteral("28"), QStringLiteral("--dry-run")}),
        0);
    EXPECT_EQ(r.cli.out, QStringLiteral("*ESE  0 -> 16 (not sent)\n"));
    EXPECT_TRUE(settingsSent(r.bench->trace().records(start)).isEmpty());
}

TEST(Restore, WithTheAddressTheUnitMovesAndIsFollowed)
{
    BenchCli r;
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("p.json"));
    ASSERT_EQ(r.run({QStringLiteral("backup"), QStringLiteral("7321"), QStringLiteral("5"),
                     QStringLiteral("-o"), file}),
              0);
    const auto copy = r.bench->addUnit("7321", 28);
    const std::size_t start = r.bench->trace().size();
    // The profile's unit sits at 5; the copy answers at 28 until it is moved there.
    r.bench->setPower(r.bench->unitId("7321"), false);
    EXPECT_EQ(r.run({QStringLiteral("restore"), file, QStringLiteral("28"),
                     QStringLiteral("--with-address")}),
              0)
        << r.cli.err.toStdString();
    EXPECT_EQ(r.bench->unit(copy).primary, 5);
    EXPECT_EQ(settingsSent(r.bench->trace().records(start)),
              (QStringList{QStringLiteral("0x001C SYST:COMM:GPIB:ADDR 5"),
                           QStringLiteral("0x0005 *SAV 0")}));
}

TEST(Diff, TwoUnitsOnTheirSwitchesSitAtTheSameAddressSetting)
{
    // Each answers 32 + its own switch address; both stand for the setting 31.
    BenchCli r;
    r.bench->addUnit("7321", 28);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("p.json"));
    ASSERT_EQ(r.run(args({"set", "7321", "5", "SYST:COMM:GPIB:ADDR=31"})), 0);
    ASSERT_EQ(r.run(args({"set", "7321", "28", "SYST:COMM:GPIB:ADDR=31"})), 0);
    ASSERT_EQ(r.run({QStringLiteral("backup"), QStringLiteral("7321"), QStringLiteral("5"),
                     QStringLiteral("-o"), file}),
              0);
    EXPECT_EQ(r.run({QStringLiteral("diff"), file, QStringLiteral("28"),
                     QStringLiteral("--with-address")}),
              0)
        << r.cli.out.toStdString();
}

TEST(Diff, ComparesTheBytesOfTheReplyNotTheLineTheListShows)
{
    // A unit that ends its replies with EOI alone: the list shows the buffer's blanks after them.
    BenchCli r;
    sim::UnitFaults faults;
    faults.garbage = "ZEB,7352A";
    r.bench->setFaults(r.bench->unitId("7352A"), faults);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("p.json"));
    writeFile(file, R"({"format": "gpibconfig-profile", "version": 1, "entry": "7352A",
                       "channels": [{"channel": null, "functions": [
                           {"header": "VOLT:OFFSET", "value": "ZEB,7352A"}]}]})");
    EXPECT_EQ(r.run({QStringLiteral("diff"), file, QStringLiteral("15")}), 0)
        << r.cli.out.toStdString();
}

// ----- what the commands print ------------------------------------------------------------------

TEST(Show, JsonIsTheDocumentOfTheRequestInItsOrder)
{
    BenchCli r;
    ASSERT_EQ(r.run(args({"--json", "show", "7352A", "1512"})), 0);
    EXPECT_TRUE(r.cli.out.startsWith(QStringLiteral(
        "{\n  \"entry\": \"7352A\",\n  \"address\": 15,\n  \"secondary\": 12,\n"
        "  \"channels\": [\n    {\n      \"channel\": null,\n      \"functions\": [\n"
        "        {\n          \"number\": 1,\n          \"header\": \"SYST:COMM:GPIB:ADDR\",\n"
        "          \"prompt\": \"Bus Address - 0 to 30 or 31\",\n          \"value\": \"15\",\n"
        "          \"display\": \"15\"\n        },\n")))
        << r.cli.out.toStdString();
    const QJsonArray functions = jsonOf(r.cli.out)[QStringLiteral("channels")]
                                     .toArray()[0]
                                     .toObject()[QStringLiteral("functions")]
                                     .toArray();
    EXPECT_EQ(functions.size(), 15);
    // The device clear went to the secondary typed, the menu to the primary, as in the window.
    EXPECT_EQ(driverCalls(r.bench->trace().records())[4].request(), BusCall::devClear(0, 0x6C0F));
}

TEST(Show, AUnitOnItsSwitchAddressShowsAsTheWindowShowsIt)
{
    BenchCli r;
    ASSERT_EQ(r.run(args({"set", "7321", "5", "SYST:COMM:GPIB:ADDR=31"})), 0);
    EXPECT_EQ(r.cli.out, QStringLiteral("SYST:COMM:GPIB:ADDR  5 -> 5/31\n"));
    ASSERT_EQ(r.run(args({"--json", "show", "7321", "5"})), 0);
    const QJsonObject first = jsonOf(r.cli.out)[QStringLiteral("channels")]
                                  .toArray()[0]
                                  .toObject()[QStringLiteral("functions")]
                                  .toArray()[0]
                                  .toObject();
    EXPECT_EQ(first[QStringLiteral("value")].toString(), QStringLiteral("37"));
    EXPECT_EQ(first[QStringLiteral("display")].toString(), QStringLiteral("5/31"));
}

TEST(Backup, AProfileIsTheShowDocumentWithItsProvenance)
{
    BenchCli r;
    ASSERT_EQ(r.run(args({"backup", "7379", "25"})), 0);
    const QJsonObject p = jsonOf(r.cli.out);
    EXPECT_EQ(p[QStringLiteral("format")].toString(), QStringLiteral("gpibconfig-profile"));
    EXPECT_EQ(p[QStringLiteral("version")].toInt(), 1);
    EXPECT_TRUE(p[QStringLiteral("idn")].toString().startsWith(QStringLiteral("ZEB,7379,24025,")));
    EXPECT_EQ(p[QStringLiteral("taken")].toString(), QStringLiteral("2025-06-01T12:00:00Z"));
    const QJsonArray channels = p[QStringLiteral("channels")].toArray();
    ASSERT_EQ(channels.size(), 4);
    for (int c = 0; c < 4; ++c) {
        EXPECT_EQ(channels[c].toObject()[QStringLiteral("channel")].toInt(), c + 1);
        EXPECT_EQ(channels[c].toObject()[QStringLiteral("functions")].toArray().size(), 14);
    }
}

TEST(Scan, FindsEveryUnitAndChannelWhetherTheDriverFindsListenersOrNot)
{
    for (const bool hide : {false, true}) {
        BenchCli r;
        r.cli.hideFindListeners = hide;
        ASSERT_EQ(r.run(args({"--json", "scan"})), 0) << r.cli.err.toStdString();
        const QJsonArray units = jsonOf(r.cli.out)[QStringLiteral("units")].toArray();
        QStringList seen;
        for (const QJsonValue& u : units) {
            const QJsonObject o = u.toObject();
            seen << QStringLiteral("%1/%2 %3")
                        .arg(o[QStringLiteral("address")].toInt())
                        .arg(o[QStringLiteral("secondary")].isNull()
                                 ? QStringLiteral("-")
                                 : QString::number(o[QStringLiteral("secondary")].toInt()))
                        .arg(o[QStringLiteral("entry")].toString());
            const auto view =
                r.bench->unit(r.bench->unitId(o[QStringLiteral("entry")].toString().toStdString()));
            EXPECT_EQ(o[QStringLiteral("idn")].toString().section(QLatin1Char(','), 2, 2),
                      QString::fromStdString(view.serialNumber));
        }
        QStringList expected;
        for (const sim::UnitView& u : r.bench->units()) {
            for (const auto& channel : u.channels)
                expected << QStringLiteral("%1/%2 %3")
                                .arg(u.primary)
                                .arg(channel.secondary < 0 ? QStringLiteral("-")
                                                           : QString::number(channel.secondary))
                                .arg(QString::fromStdString(u.model));
        }
        EXPECT_EQ(seen, expected) << (hide ? "probing" : "FindLstn");
        const auto calls = driverCalls(r.bench->trace().records());
        const bool usedFindLstn = std::any_of(calls.begin(), calls.end(), [](const BusCall& c) {
            return c.kind == BusCall::Kind::FindLstn;
        });
        EXPECT_EQ(usedFindLstn, !hide);
        // The short probing time-out does not outlast the scan.
        EXPECT_EQ(r.bench->board().timeoutCode(), 11);
    }
}

TEST(Models, ListsTheTableOfTheWindow)
{
    BenchCli r;
    ASSERT_EQ(r.run(args({"--json", "models"})), 0);
    const QJsonArray models = jsonOf(r.cli.out)[QStringLiteral("models")].toArray();
    ASSERT_EQ(models.size(), 27);
    const QJsonObject m = models[24].toObject();
    EXPECT_EQ(m[QStringLiteral("entry")].toString(), QStringLiteral("7379"));
    EXPECT_EQ(m[QStringLiteral("channels")].toInt(), 4);
    EXPECT_EQ(m[QStringLiteral("functions")].toArray().size(), 14);
    ASSERT_EQ(r.run(args({"models"})), 0);
    EXPECT_EQ(r.cli.out.count(QLatin1Char('\n')), 28);
    EXPECT_TRUE(r.cli.out.contains(QStringLiteral("\n7370B  7370  7          no    yes      no"
                                                  "      1         yes\n")));
}

TEST(PowerCycle, OnATerminalTheProgramAsksAndWaitsForEnter)
{
    for (const bool pressed : {true, false}) {
        BenchCli r;
        r.cli.env.inputIsTerminal = true;
        r.cli.enterAnswers = {pressed};
        EXPECT_EQ(r.run(args({"show", "7376", "24"})), pressed ? 0 : 64);
        EXPECT_EQ(r.cli.enterWaits, 1);
        EXPECT_TRUE(r.cli.err.startsWith(QStringLiteral(
            "Turn the 7376 at 24 off and back on, then press Enter when its RDY LED is on.\n")));
    }
    BenchCli r;
    r.cli.env.inputIsTerminal = true;
    EXPECT_EQ(r.run(args({"show", "7376", "24", "--power-cycled"})), 0);
    EXPECT_EQ(r.cli.enterWaits, 0);
}

TEST(PowerCycle, ASettingOfSuchAUnitSaysHowToKeepIt)
{
    BenchCli r;
    ASSERT_EQ(r.run(args({"set", "7376", "24", "SYST:EMUL=ZEB", "--power-cycled"})), 0);
    EXPECT_TRUE(r.cli.err.contains(QStringLiteral(
        "7376 at 24: not saved yet; switching it off brings back its saved settings, so save it "
        "now with 'gpibconfig-cli save 7376 24 --power-cycled'")))
        << r.cli.err.toStdString();
    // Saved that way, without another power cycle, the setting stays.
    ASSERT_EQ(r.run(args({"save", "7376", "24", "--power-cycled"})), 0);
    const auto unit = r.bench->unitId("7376");
    r.bench->powerCycle(unit);
    EXPECT_EQ(r.bench->setting(unit, "SYST:EMUL"), "ZEB");
}

TEST(Progress, OnATerminalOnlyAndClearedBeforeTheResult)
{
    for (const bool terminal : {false, true}) {
        BenchCli r;
        r.cli.env.errorIsTerminal = terminal;
        ASSERT_EQ(r.run(args({"show", "7321", "5"})), 0);
        EXPECT_EQ(r.cli.err.contains(QStringLiteral("\r7321 at 5, function 3 of 3")), terminal)
            << r.cli.err.toStdString();
        EXPECT_EQ(r.cli.err.endsWith(QStringLiteral("\r\x1b[K")), terminal);
    }
}

TEST(Notice, IsPrintedOnceToStandardErrorBeforeTheMenu)
{
    BenchCli r;
    ASSERT_EQ(r.run(args({"backup", "7328", "9"})), 0);
    EXPECT_EQ(r.cli.err.count(QStringLiteral("NOTE - This routine configures a 7328")), 1);
    EXPECT_FALSE(r.cli.err.contains(QStringLiteral("Cancel")));
    EXPECT_TRUE(r.cli.out.startsWith(QLatin1Char('{')));
}

TEST(Trace, EveryDriverCallInTheBenchsFormatToAFileOrStandardError)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("trace.txt"));
    BenchCli r;
    ASSERT_EQ(r.run({QStringLiteral("--trace"), file, QStringLiteral("show"),
                     QStringLiteral("7321"), QStringLiteral("5")}),
              0);
    QStringList expected;
    for (const BusCall& c : driverCalls(r.bench->trace().records()))
        expected << lineOf(c);
    EXPECT_EQ(QString::fromUtf8(readFile(file)).split(QLatin1Char('\n'), Qt::SkipEmptyParts),
              expected);

    BenchCli e;
    ASSERT_EQ(e.run(args({"--trace", "-", "scan"})), 0);
    EXPECT_TRUE(e.cli.err.contains(QStringLiteral(
        "FindLstn(0, 0x0000 0x0001 0x0002 0x0003 0x0004 0x0005 0x0006 0x0007 0x0008 0x0009 "
        "0x000A 0x000B 0x000C 0x000D 0x000E 0x000F 0x0010 0x0011 0x0012 0x0013 0x0014 0x0015 "
        "0x0016 0x0017 0x0018 0x0019 0x001A 0x001B 0x001C 0x001D 0x001E, 992) -> ibsta=0x0130 "
        "iberr=0 ibcntl=30 found=0x0001 ")))
        << e.cli.err.toStdString();
}

// ----- what the options promise, read back from the unit ----------------------------------------

struct OptionCase {
    const char* name;
    std::vector<const char*> arguments; // @P: a profile of the unit with VOLT:OFFSET at +02.5000
    const char* out;                    // the whole standard output
    const char* unit;                   // the unit afterwards
    const char* json;                   // the verdict members of the --json document
};

// The members of a document that say what was done, as "name=value" in a fixed order.
QString verdictOf(const QJsonObject& doc)
{
    QStringList parts;
    for (const char* key : {"dryRun", "psc", "locked", "saved"}) {
        const QJsonValue v = doc[QLatin1String(key)];
        if (v.isBool())
            parts << QStringLiteral("%1=%2").arg(QLatin1String(key), v.toBool() ? "true" : "false");
        else if (v.isNull())
            parts << QStringLiteral("%1=null").arg(QLatin1String(key));
        else if (v.isDouble())
            parts << QStringLiteral("%1=%2").arg(QLatin1String(key)).arg(v.toDouble());
    }
    return parts.join(QLatin1Char(' '));
}

class OptionsReadBack : public ::testing::TestWithParam<OptionCase> {};

TEST_P(OptionsReadBack, TheUnitsSavedMemoryLockAndPowerOnFlagAreWhatTheOptionsSay)
{
    const OptionCase c = GetParam();
    for (const bool asJson : {false, true}) {
        QTemporaryDir dir;
        const QString profile = dir.filePath(QStringLiteral("p.json"));
        BenchCli r;
        const auto unit = r.bench->unitId("7352A");
        ASSERT_EQ(r.run(args({"set", "7352A", "15", "VOLT:OFFSET=2.5"})), 0);
        ASSERT_EQ(r.run(withProfile({"backup", "7352A", "15", "-o", "@P"}, profile)), 0);
        ASSERT_EQ(r.run(args({"set", "7352A", "15", "VOLT:OFFSET=1.5"})), 0);
        const QStringList a = withProfile(c.arguments, profile);
        ASSERT_EQ(r.run(asJson ? QStringList{QStringLiteral("--json")} + a : a), 0)
            << r.cli.err.toStdString();
        if (asJson)
            EXPECT_EQ(verdictOf(jsonOf(r.cli.out)), QLatin1String(c.json));
        else
            EXPECT_EQ(r.cli.out, QLatin1String(c.out));
        const sim::UnitView view = r.bench->unit(unit);
        EXPECT_EQ(
            QStringLiteral("offset %1, saved %2, %3, %4 its enables at power-on")
                .arg(QString::fromStdString(r.bench->setting(unit, "VOLT:OFFSET").value()),
                     QString::fromStdString(r.bench->savedSetting(unit, "VOLT:OFFSET").value()),
                     view.locked ? "locked" : "unlocked", view.powerOnClear ? "clears" : "keeps"),
            QLatin1String(c.unit));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Commands, OptionsReadBack,
    ::testing::Values(
        OptionCase{"Save",
                   {"save", "7352A", "15"},
                   "7352A at 15: saved\n",
                   "offset +01.5000, saved +01.5000, unlocked, clears its enables at power-on",
                   "psc=null locked=false saved=true"},
        OptionCase{"SaveLocked",
                   {"save", "7352A", "15", "--lock"},
                   "7352A at 15: locked and saved\n",
                   "offset +01.5000, saved +01.5000, locked, clears its enables at power-on",
                   "psc=null locked=true saved=true"},
        OptionCase{"SaveKeepingTheEnablesAtPowerOn",
                   {"save", "7352A", "15", "--psc", "0"},
                   "7352A at 15: saved\n",
                   "offset +01.5000, saved +01.5000, unlocked, keeps its enables at power-on",
                   "psc=0 locked=false saved=true"},
        OptionCase{"SaveLockedKeepingTheEnables",
                   {"save", "7352A", "15", "--lock", "--psc", "0"},
                   "7352A at 15: locked and saved\n",
                   "offset +01.5000, saved +01.5000, locked, keeps its enables at power-on",
                   "psc=0 locked=true saved=true"},
        OptionCase{"Restore",
                   {"restore", "@P", "15"},
                   "VOLT:OFFSET  +01.5000 -> +02.5000\n7352A at 15: saved\n",
                   "offset +02.5000, saved +02.5000, unlocked, clears its enables at power-on",
                   "dryRun=false locked=false saved=true"},
        OptionCase{"RestoreWithoutSaving",
                   {"restore", "@P", "15", "--no-save"},
                   "VOLT:OFFSET  +01.5000 -> +02.5000\n",
                   "offset +02.5000, saved +00.0000, unlocked, clears its enables at power-on",
                   "dryRun=false locked=false saved=false"},
        OptionCase{"RestoreLocked",
                   {"restore", "@P", "15", "--lock"},
                   "VOLT:OFFSET  +01.5000 -> +02.5000\n7352A at 15: locked and saved\n",
                   "offset +02.5000, saved +02.5000, locked, clears its enables at power-on",
                   "dryRun=false locked=true saved=true"},
        OptionCase{"RestoreDryRun",
                   {"restore", "@P", "15", "--dry-run"},
                   "VOLT:OFFSET  +01.5000 -> +02.5000 (not sent)\n",
                   "offset +01.5000, saved +00.0000, unlocked, clears its enables at power-on",
                   "dryRun=true locked=false saved=false"}),
    [](const auto& info) { return std::string(info.param.name); });

// ----- whole outputs ----------------------------------------------------------------------------

struct OutputCase {
    const char* name;
    const char* profile;                          // written to @P first, or nullptr
    std::vector<std::vector<const char*>> before; // command lines run first, each exiting 0
    std::vector<const char*> arguments;
    int exitCode;
    const char* out; // the whole standard output; @P: the profile's path
};

class Outputs : public ::testing::TestWithParam<OutputCase> {};

TEST_P(Outputs, AreWhatTheTechnicianReadsWordForWord)
{
    const OutputCase c = GetParam();
    QTemporaryDir dir;
    const QString profile = dir.filePath(QStringLiteral("p.json"));
    if (c.profile)
        writeFile(profile, c.profile);
    BenchCli r;
    for (const auto& line : c.before)
        ASSERT_EQ(r.run(withProfile(line, profile)), 0) << r.cli.err.toStdString();
    EXPECT_EQ(r.run(withProfile(c.arguments, profile)), c.exitCode) << r.cli.err.toStdString();
    EXPECT_EQ(r.cli.out, QString::fromUtf8(c.out).replace(QStringLiteral("@P"), profile));
}

INSTANTIATE_TEST_SUITE_P(
    Commands, Outputs,
    ::testing::Values(
        OutputCase{"ShowOfTheChannelAskedForAtItsSecondaryAddress",
                   nullptr,
                   {},
                   {"show", "7379", "25", "--channel", "2"},
                   0,
                   "7379 at 25, channel 2 (secondary 12)\n"
                   " 1  SYST:COMM:GPIB:ADDR      Bus Address - 0 to 30 or 31        25\n"
                   " 2  SYST:COMM:GPIB:BUFS      GPIB Buffer - 8-52K in 4K inc      8\n"
                   " 3  SYST:COMM:SER:BAUD       Baud - enter rate 300-115200       9600\n"
                   " 4  SYST:COMM:SER:BITS       Data bits - 7/8                    8\n"
                   " 5  SYST:COMM:SER:PAR        Parity - Odd/even/none             NONE\n"
                   " 6  SYST:COMM:SER:PAR:CHECK  Check parity - 0/1                 0\n"
                   " 7  SYST:COMM:SER:SBIT       Stop bits - 1/2                    1\n"
                   " 8  SYST:COMM:SER:PACE       Pace - None/Xon                    NONE\n"
                   " 9  SYST:COMM:SER:EOM        EOM char - LF = 10, CR = 13        10\n"
                   "10  SYST:COMM:SER:ADD:ENAB   Add char after EOM char - 1/0      0\n"
                   "11  SYST:COMM:SER:ADD:CHAR   Added char - decimal value         13\n"
                   "12  SYST:COMM:SER:EOI        EOI on last char - 1/0             1\n"
                   "13  *ESE                     ESR Enable Bits - 0 to 255         0\n"
                   "14  *SRE                     SRE Enable Bits - 0 to 255         0\n"},
        OutputCase{"DiffInChannelAndMenuOrder",
                   nullptr,
                   {{"backup", "7379", "25", "-o", "@P"},
                    {"set", "7379", "25", "--channel", "4", "SYST:COMM:SER:PAR=EVEN",
                     "SYST:COMM:SER:BAUD=19200"},
                    {"set", "7379", "25", "--channel", "2", "SYST:COMM:GPIB:BUFS=16"}},
                   {"diff", "@P", "25"},
                   1,
                   "channel 2  SYST:COMM:GPIB:BUFS  unit: 16  profile: 8\n"
                   "channel 4  SYST:COMM:SER:BAUD  unit: 19200  profile: 9600\n"
                   "channel 4  SYST:COMM:SER:PAR  unit: EVEN  profile: NONE\n"},
        // Values as a person types them: what the unit reads back is shown, in menu order.
        OutputCase{"RestoreShowsWhatTheUnitReadsBack",
                   R"({"format": "gpibconfig-profile", "version": 1, "entry": "7352A",
                       "channels": [{"channel": null, "functions": [
                           {"header": "MEAS:AVER", "value": "7"},
                           {"header": "VOLT:OFFSET", "value": "2.5"}]}]})",
                   {},
                   {"restore", "@P", "15"},
                   0,
                   "VOLT:OFFSET  +00.0000 -> +02.5000\nMEAS:AVER  1 -> 7\n7352A at 15: saved\n"},
        OutputCase{"BackupCountsEveryChannel",
                   nullptr,
                   {},
                   {"backup", "7379", "25", "-o", "@P"},
                   0,
                   "7379 at 25: 56 settings written to @P\n"},
        OutputCase{"SaveOfAFourChannelUnitFromItsLastChannel",
                   nullptr,
                   {},
                   {"save", "7379", "25"},
                   0,
                   "7379 at 25, channel 4: saved\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// ----- unhappy paths: the documented status, and nothing claimed done ---------------------------

struct UnhappyCase {
    const char* name;
    std::vector<std::vector<const char*>> before; // run first, on the healthy unit
    const char* unitModel;                        // then this unit misbehaves so
    sim::UnitFaults faults;
    std::vector<const char*> arguments;
    int exitCode;
    const char* out; // the whole standard output
    const char* errHas;
    const char* neverSent; // a message that must not reach the unit; "": no driver call at all;
                           // nullptr: not looked at
};

// A unit that answers *ESR? with eighteen blanks: they fill the program's reply buffer as if
// nothing had arrived.
sim::UnitFaults blankStatus()
{
    sim::UnitFaults faults;
    faults.esrReply = std::string(18, ' ');
    return faults;
}

// A unit that answers every query with these bytes.
sim::UnitFaults answering(std::string bytes)
{
    sim::UnitFaults faults;
    faults.garbage = std::move(bytes);
    return faults;
}

class Unhappy : public ::testing::TestWithParam<UnhappyCase> {};

TEST_P(Unhappy, EndsInTheDocumentedStatusClaimingNothingDone)
{
    const UnhappyCase c = GetParam();
    QTemporaryDir dir;
    const QString profile = dir.filePath(QStringLiteral("p.json"));
    BenchCli r;
    for (const auto& line : c.before)
        ASSERT_EQ(r.run(withProfile(line, profile)), 0) << r.cli.err.toStdString();
    r.bench->setFaults(r.bench->unitId(c.unitModel), c.faults);
    const std::size_t start = r.bench->trace().size();
    EXPECT_EQ(r.run(withProfile(c.arguments, profile)), c.exitCode) << r.cli.err.toStdString();
    EXPECT_EQ(r.cli.out, QLatin1String(c.out));
    EXPECT_TRUE(r.cli.err.contains(QLatin1String(c.errHas))) << r.cli.err.toStdString();
    const auto records = r.bench->trace().records(start);
    if (c.neverSent && !*c.neverSent) {
        EXPECT_TRUE(driverCalls(records).empty()) << r.bench->trace().text();
    }
    for (const QString& m : messages(records))
        EXPECT_TRUE(!c.neverSent || m.section(QLatin1Char(' '), 1) != QLatin1String(c.neverSent))
            << m.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Commands, Unhappy,
    ::testing::Values(UnhappyCase{"SettingWithoutAnAnswerToItsStatus",
                                  {},
                                  "7352A",
                                  blankStatus(),
                                  {"set", "7352A", "15", "VOLT:OFFSET=2.5"},
                                  1,
                                  "VOLT:OFFSET  +00.0000 -> not confirmed: no answer to *ESR?\n",
                                  "7352A at 15: VOLT:OFFSET 2.5 not confirmed: no answer to *ESR?",
                                  nullptr},
                      UnhappyCase{"SaveWithoutAnAnswerToItsStatus",
                                  {},
                                  "7352A",
                                  blankStatus(),
                                  {"save", "7352A", "15"},
                                  1,
                                  "",
                                  "7352A at 15: Save not confirmed by the unit: no answer to *ESR?",
                                  nullptr},
                      UnhappyCase{
                          "LockWithoutAnAnswerToItsStatusInJson",
                          {},
                          "7352A",
                          blankStatus(),
                          {"--json", "save", "7352A", "15", "--lock"},
                          1,
                          "{\n  \"entry\": \"7352A\",\n  \"address\": 15,\n  \"secondary\": null,\n"
                          "  \"psc\": null,\n  \"locked\": false,\n  \"saved\": false,\n"
                          "  \"esr\": null\n}\n",
                          "Lock or save not confirmed by the unit: no answer to *ESR?",
                          nullptr},
                      UnhappyCase{"RestoreOfASettingWithoutAnAnswerToItsStatus",
                                  {{"backup", "7352A", "15", "-o", "@P"},
                                   {"set", "7352A", "15", "VOLT:OFFSET=2.5"}},
                                  "7352A",
                                  blankStatus(),
                                  {"restore", "@P", "15"},
                                  1,
                                  "VOLT:OFFSET  +02.5000 -> not confirmed\n",
                                  "VOLT:OFFSET +00.0000 not confirmed by the unit",
                                  "*SAV 0"},
                      // Its model field names one of ours; the maker is another.
                      UnhappyCase{"ProfileRestoredOntoAnotherMakersUnit",
                                  {{"backup", "7352A", "15", "-o", "@P"}},
                                  "7352A",
                                  answering("ACME,7352A,24015,2.05\n"),
                                  {"restore", "@P", "15"},
                                  65,
                                  "",
                                  "answers *IDN? with \"ACME,7352A,24015,2.05\"",
                                  "CAL:LOCK 0"},
                      UnhappyCase{"RestoreLockingAUnitWithoutLock",
                                  {{"backup", "7379", "25", "-o", "@P"}},
                                  "7379",
                                  {},
                                  {"restore", "@P", "25", "--lock"},
                                  64,
                                  "",
                                  "the 7379 has no settings lock",
                                  ""}),
    [](const auto& info) { return std::string(info.param.name); });

// ----- scan rows and control bytes --------------------------------------------------------------

// The bench's units as a board finds devices that listen only at a secondary address of their
// own: the bench word of each pair is seen, and talked to, at the other word.
class SeenElsewhere final : public PassThrough {
public:
    SeenElsewhere(Driver& inner, std::vector<std::pair<Addr4882, Addr4882>> seen)
        : PassThrough(inner)
        , m_seen(std::move(seen))
    {
    }
    DriverStatus FindLstn(int b, const Addr4882* primaries, Addr4882* found, long limit) override
    {
        const DriverStatus status = m_inner.FindLstn(b, primaries, found, limit);
        for (long i = 0; i < std::min(status.ibcntl, limit); ++i)
            for (const auto& [bench, seen] : m_seen)
                if (found[i] == bench)
                    found[i] = seen;
        return status;
    }
    DriverStatus Send(int b, Addr4882 a, const std::uint8_t* d, long n, int e) override
    {
        return m_inner.Send(b, benchWord(a), d, n, e);
    }
    DriverStatus Receive(int b, Addr4882 a, std::uint8_t* d, long n, int t) override
    {
        return m_inner.Receive(b, benchWord(a), d, n, t);
    }

private:
    Addr4882 benchWord(Addr4882 a) const
    {
        for (const auto& [bench, seen] : m_seen)
            if (a == seen)
                return bench;
        return a;
    }
    std::vector<std::pair<Addr4882, Addr4882>> m_seen;
};

TEST(Scan, RowsOfSecondaryAddresses0And30AndOfAnotherMakersUnit)
{
    auto bench = std::make_unique<sim::Bench>();
    bench->addUnit("7321", 5);
    bench->setFaults(bench->addUnit("7352A", 6), answering("ACME,7352A,99,1.0\n"));
    bench->addUnit("7311", 7);
    SeenElsewhere driver(bench->driver(), {{0x0005, 0x6005}, {0x0006, 0x7E06}});
    CliRig cli(driver, bench->clock());
    ASSERT_EQ(cli.run(args({"scan"})), 0) << cli.err.toStdString();
    EXPECT_EQ(cli.out, QStringLiteral("address  secondary  entry  *IDN?\n"
                                      "5        0          7321   ZEB,7321,24001,1.40\n"
                                      "6        30         -      ACME,7352A,99,1.0\n"
                                      "7        -          7311   ZEB,7311,24003,3.12\n"));
    ASSERT_EQ(cli.run(args({"--json", "scan"})), 0);
    QStringList rows;
    for (const QJsonValue& u : jsonOf(cli.out)[QStringLiteral("units")].toArray()) {
        const QJsonObject o = u.toObject();
        rows << QStringLiteral("%1/%2 %3")
                    .arg(o[QStringLiteral("address")].toInt())
                    .arg(o[QStringLiteral("secondary")].isNull()
                             ? QStringLiteral("null")
                             : QString::number(o[QStringLiteral("secondary")].toInt()))
                    .arg(o[QStringLiteral("entry")].isNull()
                             ? QStringLiteral("null")
                             : o[QStringLiteral("entry")].toString());
    }
    EXPECT_EQ(rows, (QStringList{QStringLiteral("5/0 7321"), QStringLiteral("6/30 null"),
                                 QStringLiteral("7/null 7311")}));
}

// What a unit sends reaches a terminal only as text: no control character, DEL or C1 character
// of its own, in the table or the JSON document, and the document reads back as sent.
TEST(Scan, EveryControlByteOfAnAnswerIsEscapedInTheTableAndTheDocument)
{
    std::string idn = "A";
    for (int c = 1; c < 0x20; ++c) // a NUL ends the program's read, a line feed its answer
        if (c != '\n')
            idn += static_cast<char>(c);
    idn += "\"\\";
    for (int c = 0x7F; c < 0xA0; ++c)
        idn += static_cast<char>(c);
    idn += "Z";
    auto bench = std::make_unique<sim::Bench>();
    bench->setFaults(bench->addUnit("7321", 5), answering(idn));
    BenchCli r(std::move(bench));
    const auto raw = [](const QString& text) {
        return std::count_if(text.begin(), text.end(), [](QChar c) {
            return (c.unicode() < 0x20 && c != QLatin1Char('\n')) ||
                   (c.unicode() >= 0x7F && c.unicode() < 0xA0);
        });
    };
    ASSERT_EQ(r.run(args({"scan"})), 0);
    EXPECT_EQ(raw(r.cli.out), 0) << r.cli.out.toStdString();
    EXPECT_TRUE(r.cli.out.contains(QStringLiteral("A\\x01\\x02\\x03"))) << r.cli.out.toStdString();
    ASSERT_EQ(r.run(args({"--json", "scan"})), 0);
    EXPECT_EQ(raw(r.cli.out), 0) << r.cli.out.toStdString();
    const QJsonArray units = jsonOf(r.cli.out)[QStringLiteral("units")].toArray();
    ASSERT_EQ(units.size(), 1);
    EXPECT_EQ(units[0].toObject()[QStringLiteral("idn")].toString(),
              QString::fromLatin1(idn.data(), static_cast<qsizetype>(idn.size())));
}

TEST(Show, SecondaryAddresses0And30ReachTheDeviceClearAndTheDocument)
{
    for (const auto& [typed, secondary, word] :
         {std::tuple{"1500", 0, 0x600F}, std::tuple{"1530", 30, 0x7E0F}}) {
        BenchCli r;
        ASSERT_EQ(r.run({QStringLiteral("--json"), QStringLiteral("show"), QStringLiteral("7352A"),
                         QLatin1String(typed)}),
                  0);
        EXPECT_EQ(jsonOf(r.cli.out)[QStringLiteral("secondary")], QJsonValue(secondary)) << typed;
        EXPECT_EQ(driverCalls(r.bench->trace().records())[4].request(),
                  BusCall::devClear(0, static_cast<Addr4882>(word)));
    }
}

TEST(Help, NamesEveryCommandAndOption)
{
    BenchCli r;
    ASSERT_EQ(r.run(args({"--help"})), 0);
    for (const char* word :
         {"models",         "scan",      "show",      "set",      "save",
          "backup",         "restore",   "diff",      "--driver", "--board",
          "--trace",        "--json",    "--channel", "--output", "--dry-run",
          "--with-address", "--no-save", "--lock",    "--psc",    "--power-cycled",
          "Exit status",    "65"})
        EXPECT_TRUE(r.cli.out.contains(QString::fromLatin1(word))) << word;
    EXPECT_EQ(r.bench->trace().size(), 0u);
}

} // namespace
