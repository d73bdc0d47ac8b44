// SPDX-License-Identifier: GPL-3.0-or-later
#include "Cli.h"

#include "Json.h"
#include "Profile.h"
#include "drivers/TraceFile.h"
#include "gpib/Gpib32.h"
#include "gpib/StatusReport.h"
#include "logic/MenuLine.h"
#include "logic/UnitSession.h"
#include "models/Models.h"
#include "time/Clock.h"

#include <QCommandLineParser>
#include <QFile>
#include <QRegularExpression>
#include <QSaveFile>
#include <algorithm>
#include <variant>

namespace gpibconfig::cli {

namespace {

const QString kProgram = QStringLiteral("gpibconfig-cli");

// How a command ends early: what went wrong is on standard error already, `status` is the exit
// status.
struct Stop {
    int status;
};

// What a step of a command comes to: its value, or the Stop that ends the command, which the
// command hands straight back (`if (!step) return step.status();`). A failure leaves a step this
// way only; nothing is thrown.
template <typename T = std::monostate> class [[nodiscard]] Step {
public:
    Step(T value = T{})
        : m_result(std::move(value))
    {
    }
    Step(Stop stop)
        : m_result(stop)
    {
    }

    explicit operator bool() const { return std::holds_alternative<T>(m_result); }
    T& operator*() { return std::get<T>(m_result); }
    const T& operator*() const { return std::get<T>(m_result); }
    const T* operator->() const { return &std::get<T>(m_result); }
    // A step that stopped the command: its Stop, and the exit status in it.
    Stop stop() const { return std::get<Stop>(m_result); }
    int status() const { return stop().status; }

private:
    std::variant<T, Stop> m_result;
};

// Time-out code of a probe for a listener where the driver cannot find them itself: 100 ms.
constexpr std::int16_t kProbeTimeout = 9;
// The window's time-out: one second.
constexpr std::int16_t kRunTimeout = 11;
// IEEE 488.2 keeps an *IDN? answer within 72 characters; room for more does no harm.
constexpr int kIdnLength = 100;

struct Options {
    QString command;
    QStringList args;
    bool json = false;
    std::optional<int> channel;
    std::optional<QString> output;
    bool dryRun = false;
    bool withAddress = false;
    bool noSave = false;
    bool lock = false;
    bool powerCycled = false;
    std::optional<int> psc;
    std::int16_t board = 0;
    DriverSpec driver;
    std::optional<QString> trace;
    QStringList given; // long names of the command's own options on the command line
};

// One function assignment of `set`.
struct Assignment {
    int number = 0;
    QString value;
};

// The bus address an argument names, typed as in the configuration window: digits only here,
// so a slip of the keyboard is not read as an address.
std::optional<TypedAddress> addressArgument(const QString& text)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,5}$"));
    if (!digits.match(text).hasMatch())
        return std::nullopt;
    return readTypedAddress(text);
}

// Text from a unit made safe for a terminal: control characters as C escapes.
QString printable(const QString& text)
{
    QString out;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20 || (u >= 0x7F && u < 0xA0))
            out += QStringLiteral("\\x%1").arg(static_cast<unsigned>(u), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

// The unit said no to the setting, as against leaving it unconfirmed (no answer to *ESR?, or
// no number in it).
bool refusedByTheUnit(const UnitSession::Setting& setting)
{
    return setting.outcome == UnitSession::Setting::Outcome::NotConfirmed &&
           setting.status.kind == EventStatus::Kind::Value;
}

QString where(const Model& model, const UnitAddress& unit, std::optional<int> channel)
{
    QString text =
        QLatin1String(model.entry) + QStringLiteral(" at ") + QString::number(unit.primary);
    if (channel)
        text += QStringLiteral(", channel %1").arg(*channel);
    return text;
}

// Lines of at most `width` columns, broken between words.
QStringList wrapped(const QString& text, int width)
{
    QStringList lines;
    QString line;
    for (const QString& word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (!line.isEmpty() && line.size() + 1 + word.size() > width) {
            lines << line;
            line.clear();
        }
        line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + word;
    }
    if (!line.isEmpty())
        lines << line;
    return lines;
}

// The notice the window shows before the menu, for a terminal: its paragraphs (each marked by
// four leading blanks), without the window's "press Cancel".
QString noticeText(const Model& model)
{
    QString out;
    for (const QString& paragraph :
         model.notice().split(QStringLiteral("    "), Qt::SkipEmptyParts)) {
        if (paragraph.startsWith(QStringLiteral("Press Cancel")))
            continue;
        for (const QString& line : wrapped(paragraph, 78))
            out += line + QLatin1Char('\n');
    }
    return out;
}

class Runner {
public:
    Runner(Environment& env, Options options)
        : m_env(env)
        , m_opt(std::move(options))
    {
    }

    int execute();

private:
    // --- output ---------------------------------------------------------------------------
    void out(const QString& text)
    {
        clearProgress();
        m_env.out(text);
    }
    void err(const QString& text)
    {
        clearProgress();
        m_env.err(text);
    }
    void progress(const QString& what, int k, int n)
    {
        if (!m_env.errorIsTerminal)
            return;
        m_env.err(QStringLiteral("\r%1 %2 of %3\x1b[K").arg(what).arg(k).arg(n));
        m_progressShown = true;
    }
    void clearProgress()
    {
        if (m_progressShown)
            m_env.err(QStringLiteral("\r\x1b[K"));
        m_progressShown = false;
    }
    Stop usage(const QString& message)
    {
        err(kProgram + QStringLiteral(": ") + message + QStringLiteral("\nTry '") + kProgram +
            QStringLiteral(" --help'.\n"));
        return Stop{kExitUsage};
    }
    Stop badProfile(const QString& file, const QString& message)
    {
        err(kProgram + QStringLiteral(": ") + file + QStringLiteral(": ") + message +
            QStringLiteral("\n"));
        return Stop{kExitBadProfile};
    }
    void warn(const QString& message)
    {
        err(kProgram + QStringLiteral(": ") + message + QStringLiteral("\n"));
    }

    // --- arguments ------------------------------------------------------------------------
    Step<> allowOptions(std::initializer_list<const char*> allowed);
    Step<> expectArguments(qsizetype count, const char* synopsis);
    Step<const Model*> entryArgument(const QString& text);
    Step<TypedAddress> addressOf(const QString& text);
    Step<std::optional<int>> channelFor(const Model& model);
    Step<QByteArray> readProfileFile(const QString& file);
    // ENTRY ADDRESS of show, set, save and backup, and the --channel given for that entry.
    struct Target {
        const Model* model = nullptr;
        TypedAddress address;
        std::optional<int> channel;
    };
    Step<Target> target();

    // --- the bus --------------------------------------------------------------------------
    Step<> openBus();
    // Reports a failed call as the window does (the status report, then the driver's plain
    // words), takes the run's board offline and ends the command with status 2.
    Stop busFailure(const BusFailure& failure);
    // A failure of a session's step ends the command, also one the window lets pass.
    Step<> check(const UnitSession::Failure& failure)
    {
        if (failure)
            return busFailure(*failure);
        return {};
    }
    Step<> requirePowerCycleAnswer(const Model& model);
    Step<> openUnit(const Model& model, const TypedAddress& address);
    UnitSession session(const Model& model)
    {
        return UnitSession(*m_gpib, m_bus->clock(), model, m_opt.board, m_state.unit);
    }
    // Set Address for one channel (0: a unit without channels), up to the start actions;
    // `afterClear` runs right after the device clear.
    Step<> beginChannel(UnitSession& session, std::optional<int> channel,
                        const std::function<Step<>()>& afterClear = {});
    Step<FunctionValue> read(UnitSession& session, int number);
    Step<ChannelValues> readChannel(UnitSession& session, std::optional<int> channel);
    // What show and backup begin with: the unit opened and every channel read (only `only`
    // when given).
    Step<UnitValues> readUnit(const Model& model, const TypedAddress& address,
                              std::optional<int> only);
    Step<QString> identify();
    Step<> checkIdentity(const Model& model, const QString& file);

    // --- commands -------------------------------------------------------------------------
    int models();
    int scan();
    int show();
    int set();
    int save();
    int backup();
    int restore(bool compareOnly);

    QString table(const UnitValues& values) const;

    Environment& m_env;
    Options m_opt;
    bool m_progressShown = false;
    bool m_noticeShown = false;

    std::unique_ptr<Bus> m_bus;
    ProgramState m_state;
    std::unique_ptr<GPIB32> m_gpib;
};

// ---------------------------------------------------------------------------------------------
// Arguments

Step<> Runner::allowOptions(std::initializer_list<const char*> allowed)
{
    for (const QString& name : m_opt.given) {
        const bool ok = std::any_of(allowed.begin(), allowed.end(),
                                    [&name](const char* a) { return name == QLatin1String(a); });
        if (!ok)
            return usage(QStringLiteral("--%1 does not apply to %2").arg(name, m_opt.command));
    }
    return {};
}

Step<> Runner::expectArguments(qsizetype count, const char* synopsis)
{
    if (m_opt.args.size() != count)
        return usage(QStringLiteral("%1 takes %2").arg(m_opt.command, QLatin1String(synopsis)));
    return {};
}

Step<const Model*> Runner::entryArgument(const QString& text)
{
    const Model* model = findEntry(text);
    if (!model)
        return usage(
            QStringLiteral("unknown entry \"%1\"; '%2 models' lists them").arg(text, kProgram));
    return model;
}

Step<TypedAddress> Runner::addressOf(const QString& text)
{
    const auto address = addressArgument(text);
    if (!address)
        return usage(QStringLiteral("address out of range: \"%1\" (a primary address 0 to 30, or "
                                    "primary * 100 + secondary, e.g. 512)")
                         .arg(text));
    return *address;
}

Step<std::optional<int>> Runner::channelFor(const Model& model)
{
    if (!m_opt.channel)
        return std::optional<int>();
    if (!model.multiChannel())
        return usage(QStringLiteral("the %1 has no channels").arg(QLatin1String(model.entry)));
    if (*m_opt.channel < 1 || *m_opt.channel > model.channelCount)
        return usage(QStringLiteral("the %1 has channels 1 to %2")
                         .arg(QLatin1String(model.entry))
                         .arg(model.channelCount));
    return m_opt.channel;
}

Step<Runner::Target> Runner::target()
{
    const auto entry = entryArgument(m_opt.args[0]);
    if (!entry)
        return entry.stop();
    const auto address = addressOf(m_opt.args[1]);
    if (!address)
        return address.stop();
    const auto channel = channelFor(**entry);
    if (!channel)
        return channel.stop();
    return Target{*entry, *address, *channel};
}

Step<QByteArray> Runner::readProfileFile(const QString& file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return badProfile(file, QStringLiteral("cannot be read: ") + f.errorString());
    // One byte more than any profile may have tells an oversized file without reading it all.
    const QByteArray bytes = f.read(kMaxProfileBytes + 1);
    if (bytes.isEmpty() && f.error() != QFileDevice::NoError)
        return badProfile(file, QStringLiteral("cannot be read: ") + f.errorString());
    return bytes;
}

// ---------------------------------------------------------------------------------------------
// The bus

Step<> Runner::openBus()
{
    TracingDriver::Sink sink;
    if (m_opt.trace) {
        QString error;
        const auto traceSink = traceFileSink(*m_opt.trace, m_env.err, &error);
        if (!traceSink)
            return usage(error);
        sink = *traceSink;
    }
    m_bus = m_env.openBus(m_opt.driver, sink);
    if (!m_bus)
        return usage(QStringLiteral("no bus for the driver %1").arg(m_opt.driver.toString()));
    m_state.board = m_opt.board;
    m_gpib = std::make_unique<GPIB32>(m_bus->driver());
    return {};
}

Stop Runner::busFailure(const BusFailure& failure)
{
    const GpibStatus& status = failure.status;
    const QString report = statusReport(failure);
    const QString hint = m_bus->driver().explainFailure(status.ibsta, status.iberr, status.ibcntl);
    // As the window's report does: the board is taken offline after a failure.
    UnitSession::takeBoardOffline(*m_gpib, m_state.board);
    err(report + QLatin1Char('\n') + (hint.isEmpty() ? QString() : hint + QLatin1Char('\n')));
    return Stop{kExitBusFailure};
}

Step<> Runner::requirePowerCycleAnswer(const Model& model)
{
    if (model.powerCycle && !m_opt.powerCycled && !m_env.inputIsTerminal)
        return usage(
            QStringLiteral("the %1 must be switched off and on before it is configured; do so "
                           "and give --power-cycled (there is no terminal to ask on)")
                .arg(QLatin1String(model.entry)));
    return {};
}

Step<> Runner::openUnit(const Model& model, const TypedAddress& address)
{
    if (const auto answered = requirePowerCycleAnswer(model); !answered)
        return answered;
    if (const auto opened = openBus(); !opened)
        return opened;
    m_state.modelEntry = QLatin1String(model.entry);
    m_state.modelCode = model.code;
    m_state.unit.primary = address.primary;
    m_state.unit.secondary = address.secondary.value_or(0);
    m_state.unit.word = address.word;

    if (const auto failure = UnitSession::prepareBoard(*m_gpib, m_opt.board))
        return busFailure(*failure);
    if (model.powerCycle && !m_opt.powerCycled) {
        err(QStringLiteral("Turn the %1 at %2 off and back on, then press Enter when its RDY LED "
                           "is on.\n")
                .arg(QLatin1String(model.entry))
                .arg(address.primary));
        if (!m_env.waitForEnter || !m_env.waitForEnter())
            return usage(QStringLiteral("the power cycle of the %1 was not confirmed")
                             .arg(QLatin1String(model.entry)));
    }
    return {};
}

Step<> Runner::beginChannel(UnitSession& session, std::optional<int> channel,
                            const std::function<Step<>()>& afterClear)
{
    const Model& model = session.model();
    UnitAddress& unit = m_state.unit;
    if (channel) {
        unit.channel = *channel;
        unit.secondary = static_cast<std::int16_t>(*channel + 10);
        unit.word = UnitAddress::wordOf(unit.primary, unit.secondary);
    }
    if (const auto cleared = check(session.clearDevice()); !cleared)
        return cleared;
    // The menu talks to the primary address alone, whatever secondary was typed.
    if (!model.multiChannel())
        unit.word = unit.primary;
    if (afterClear) {
        if (const auto done = afterClear(); !done)
            return done;
    }
    // The start actions go out after a failed interface clear too, as in the window; the first
    // failure of the two ends the command.
    UnitSession::Failure failure;
    if (model.hasNotice()) {
        if (!m_noticeShown)
            err(noticeText(model));
        m_noticeShown = true;
        failure = session.clearBus();
    }
    const UnitSession::Failure started = session.startActions();
    return check(failure ? failure : started);
}

Step<FunctionValue> Runner::read(UnitSession& session, int number)
{
    const Model& model = session.model();
    const auto function = model.menu->function(number);
    const auto reading = session.query(number);
    if (!function || !reading)
        throw std::logic_error("a function outside the menu");
    if (const auto checked = check(reading->failure); !checked)
        return checked.stop();
    return FunctionValue{number, model.busHeader(*function), QLatin1String(function->prompt),
                         reading->value, MenuLineValue(reading->shown)};
}

Step<ChannelValues> Runner::readChannel(UnitSession& session, std::optional<int> channel)
{
    ChannelValues values;
    values.channel = channel;
    const Model& model = session.model();
    const int count = model.menu->count();
    const QString label = where(model, m_state.unit, channel);
    for (int n = 1; n <= count; ++n) {
        progress(label + QStringLiteral(", function"), n, count);
        auto value = read(session, n);
        if (!value)
            return value.stop();
        values.functions.push_back(std::move(*value));
    }
    clearProgress();
    return values;
}

Step<UnitValues> Runner::readUnit(const Model& model, const TypedAddress& address,
                                  std::optional<int> only)
{
    if (const auto opened = openUnit(model, address); !opened)
        return opened.stop();
    UnitValues values{&model, address.primary, address.secondary, {}};
    UnitSession unit = session(model);
    std::vector<std::optional<int>> channels;
    if (model.multiChannel()) {
        for (int c = 1; c <= model.channelCount; ++c)
            if (!only || *only == c)
                channels.emplace_back(c);
    } else {
        channels.emplace_back(std::nullopt);
    }
    for (const std::optional<int> channel : channels) {
        if (const auto begun = beginChannel(unit, channel); !begun)
            return begun.stop();
        auto read = readChannel(unit, channel);
        if (!read)
            return read.stop();
        values.channels.push_back(std::move(*read));
    }
    return values;
}

Step<QString> Runner::identify()
{
    const std::int16_t address = m_state.unit.word;
    const GpibStatus sent = m_gpib->Send(m_opt.board, address, QStringLiteral("*IDN?"), 1);
    if (sent.failed())
        return busFailure({QStringLiteral("Send IDN Error"), sent});
    QString reply(kIdnLength, QLatin1Char(' '));
    const GpibStatus status = m_gpib->Receive(m_opt.board, address, reply, 0);
    if (status.failed())
        return busFailure({QStringLiteral("Receive IDN Error"), status});
    QString answer = reply.left(std::clamp<qsizetype>(status.ibcntl, 0, reply.size()));
    if (const qsizetype lf = answer.indexOf(QLatin1Char('\n')); lf >= 0)
        answer.truncate(lf);
    return answer.trimmed();
}

// The model field of an *IDN? answer of the maker's units: "ZEB,7352A,24015,2.05".
const Model* modelOfIdentification(const QString& idn)
{
    const QStringList fields = idn.split(QLatin1Char(','));
    if (fields.size() < 2 || fields[0].trimmed().compare(QLatin1String("ZEB"), Qt::CaseInsensitive))
        return nullptr;
    return findEntry(fields[1].trimmed());
}

Step<> Runner::checkIdentity(const Model& model, const QString& file)
{
    const auto idn = identify();
    if (!idn)
        return idn.stop();
    if (modelOfIdentification(*idn) != &model)
        return badProfile(file, QStringLiteral("the profile is for a %1, but the unit at %2 "
                                               "answers *IDN? with \"%3\"")
                                    .arg(QLatin1String(model.entry))
                                    .arg(m_state.unit.primary)
                                    .arg(printable(*idn)));
    return {};
}

// ---------------------------------------------------------------------------------------------
// Commands

int Runner::models()
{
    if (const auto allowed = allowOptions({}); !allowed)
        return allowed.status();
    if (const auto given = expectArguments(0, "no arguments"); !given)
        return given.status();
    const auto yesNo = [](bool b) { return b ? QStringLiteral("yes") : QStringLiteral("no"); };
    if (m_opt.json) {
        Json list = Json::array();
        for (const Model& m : gpibconfig::models()) {
            Json& item = list.append(Json::object());
            item.insert(QStringLiteral("entry"), QString::fromLatin1(m.entry));
            item.insert(QStringLiteral("code"), static_cast<int>(m.code));
            Json& functions = item.insert(QStringLiteral("functions"), Json::array());
            for (int n = 1; n <= m.menu->count(); ++n) {
                const auto f = m.menu->function(n);
                Json& fn = functions.append(Json::object());
                fn.insert(QStringLiteral("number"), n);
                fn.insert(QStringLiteral("header"), m.busHeader(*f));
                fn.insert(QStringLiteral("prompt"), QString::fromLatin1(f->prompt));
            }
            item.insert(QStringLiteral("addressFunction"), m.menu->addressFunction);
            item.insert(QStringLiteral("lockable"), m.lockable);
            item.insert(QStringLiteral("triggerAtStart"), m.triggerAtStart);
            item.insert(QStringLiteral("notice"), m.hasNotice());
            item.insert(QStringLiteral("channels"), m.channelCount);
            item.insert(QStringLiteral("powerCycle"), m.powerCycle);
        }
        Json doc = Json::object();
        doc.insert(QStringLiteral("models"), std::move(list));
        out(doc.toText());
        return kExitDone;
    }
    QString text = QStringLiteral("entry  code  functions  lock  trigger  notice  channels  "
                                  "power cycle\n");
    for (const Model& m : gpibconfig::models())
        text += QStringLiteral("%1  %2  %3  %4  %5  %6  %7  %8\n")
                    .arg(QLatin1String(m.entry), -5)
                    .arg(m.code, -4)
                    .arg(m.menu->count(), -9)
                    .arg(yesNo(m.lockable), -4)
                    .arg(yesNo(m.triggerAtStart), -7)
                    .arg(yesNo(m.hasNotice()), -6)
                    .arg(m.channelCount, -8)
                    .arg(yesNo(m.powerCycle));
    out(text);
    return kExitDone;
}

int Runner::scan()
{
    if (const auto allowed = allowOptions({}); !allowed)
        return allowed.status();
    if (const auto given = expectArguments(0, "no arguments"); !given)
        return given.status();
    if (const auto opened = openBus(); !opened)
        return opened.status();
    if (const auto failure = UnitSession::prepareBoard(*m_gpib, m_opt.board))
        return busFailure(*failure).status;

    struct Found {
        std::int16_t word;
        std::optional<QString> idn;
    };
    std::vector<Found> found;
    bool searchedSecondaries = true;
    std::vector<std::int16_t> primaries;
    for (std::int16_t pad = 0; pad <= 30; ++pad)
        primaries.push_back(pad);

    if (m_gpib->canFindListeners()) {
        std::vector<std::int16_t> words;
        if (const GpibStatus s = m_gpib->FindLstn(m_opt.board, primaries, words, 31 * 32);
            s.failed())
            return busFailure({QStringLiteral("FindLstn Error"), s}).status;
        for (const std::int16_t word : words)
            found.push_back({word, std::nullopt});
    } else {
        // Without the board's own search, a listener shows itself by answering *IDN? (which
        // IEEE 488.2 makes every device answer) within a short time-out. A channel of a
        // multi-channel unit answers only at its secondary address: where the primary is silent,
        // the first channel's secondary is tried, and the others once it answers.
        int maxChannels = 1;
        for (const Model& m : gpibconfig::models())
            maxChannels = std::max(maxChannels, m.channelCount);
        if (const GpibStatus s = m_gpib->ibtmo(m_opt.board, kProbeTimeout); s.failed())
            return busFailure({QStringLiteral("ibtmo Error"), s}).status;
        // Nothing is there when nobody listens (ENOL), the query times out, or the controller
        // cannot reach the address at all (EARG: an AR488 board's own address 0). One that
        // cannot reach secondary addresses says so once and the scan goes on with the primary
        // ones, and the scan ends in a failure after listing what it found; any other failure
        // (the controller gone) ends the scan at once.
        bool& secondaries = searchedSecondaries;
        const auto nothingThere = [this, &secondaries](std::int16_t word, const GpibStatus& s) {
            if (s.iberr == err::ENOL || s.iberr == err::EARG || (s.ibsta & sta::TIMO))
                return true;
            if (s.iberr == err::ECAP && (word >> 8) != 0) {
                const QString hint = m_bus->driver().explainFailure(s.ibsta, s.iberr, s.ibcntl);
                if (secondaries)
                    warn(hint.isEmpty() ? formatStatusReport(QStringLiteral("Send IDN Error"),
                                                             s.ibsta, s.iberr, s.ibcntl)
                                        : hint);
                secondaries = false;
                return true;
            }
            return false;
        };
        // The *IDN? answer at `word`; none where nothing is there.
        const auto probe = [&](std::int16_t word) -> Step<std::optional<QString>> {
            const std::optional<QString> nobody;
            const GpibStatus sent = m_gpib->Send(m_opt.board, word, QStringLiteral("*IDN?"), 1);
            if (sent.failed()) {
                if (nothingThere(word, sent))
                    return nobody;
                return busFailure({QStringLiteral("Send IDN Error"), sent});
            }
            QString reply(kIdnLength, QLatin1Char(' '));
            const GpibStatus status = m_gpib->Receive(m_opt.board, word, reply, 0);
            if (status.failed()) {
                if (nothingThere(word, status))
                    return nobody;
                return busFailure({QStringLiteral("Receive IDN Error"), status});
            }
            if (status.ibcntl <= 0)
                return nobody;
            QString answer = reply.left(std::clamp<qsizetype>(status.ibcntl, 0, reply.size()));
            if (const qsizetype lf = answer.indexOf(QLatin1Char('\n')); lf >= 0)
                answer.truncate(lf);
            return std::optional(answer.trimmed());
        };
        for (const std::int16_t pad : primaries) {
            progress(QStringLiteral("scan, address"), pad + 1, 31);
            const auto idn = probe(pad);
            if (!idn)
                return idn.status();
            if (*idn) {
                found.push_back({pad, *idn});
                continue;
            }
            for (int channel = 1; channel <= maxChannels && maxChannels > 1 && secondaries;
                 ++channel) {
                const auto word = UnitAddress::wordOf(pad, static_cast<std::int16_t>(10 + channel));
                const auto answer = probe(word);
                if (!answer)
                    return answer.status();
                if (!*answer)
                    break;
                found.push_back({word, *answer});
            }
        }
        clearProgress();
        if (const GpibStatus s = m_gpib->ibtmo(m_opt.board, kRunTimeout); s.failed())
            return busFailure({QStringLiteral("ibtmo Error"), s}).status;
    }

    Json list = Json::array();
    QString text = QStringLiteral("address  secondary  entry  *IDN?\n");
    for (std::size_t i = 0; i < found.size(); ++i) {
        Found& unit = found[i];
        if (!unit.idn) {
            progress(QStringLiteral("scan, identifying unit"), static_cast<int>(i + 1),
                     static_cast<int>(found.size()));
            // A listener that does not answer is listed all the same.
            if (!m_gpib->Send(m_opt.board, unit.word, QStringLiteral("*IDN?"), 1).failed()) {
                QString reply(kIdnLength, QLatin1Char(' '));
                const GpibStatus status = m_gpib->Receive(m_opt.board, unit.word, reply, 0);
                if (!status.failed()) {
                    QString answer =
                        reply.left(std::clamp<qsizetype>(status.ibcntl, 0, reply.size()));
                    if (const qsizetype lf = answer.indexOf(QLatin1Char('\n')); lf >= 0)
                        answer.truncate(lf);
                    unit.idn = answer.trimmed();
                }
            }
        }
        const int primary = unit.word & 0xFF;
        const int high = (unit.word >> 8) & 0xFF;
        const int secondary = high >= 0x60 ? high - 0x60 : -1; // -1: none
        const Model* model = unit.idn ? modelOfIdentification(*unit.idn) : nullptr;
        Json& item = list.append(Json::object());
        item.insert(QStringLiteral("address"), primary);
        item.insert(QStringLiteral("secondary"), secondary >= 0 ? Json(secondary) : Json());
        item.insert(QStringLiteral("idn"), Json::orNull(unit.idn));
        item.insert(QStringLiteral("entry"),
                    model ? Json(QString::fromLatin1(model->entry)) : Json());
        text += QStringLiteral("%1  %2  %3  %4\n")
                    .arg(primary, -7)
                    .arg(secondary >= 0 ? QString::number(secondary) : QStringLiteral("-"), -9)
                    .arg(model ? QString::fromLatin1(model->entry) : QStringLiteral("-"), -5)
                    .arg(unit.idn ? printable(*unit.idn) : QStringLiteral("(no answer)"));
    }
    clearProgress();
    if (m_opt.json) {
        Json doc = Json::object();
        doc.insert(QStringLiteral("units"), std::move(list));
        out(doc.toText());
    } else {
        out(text);
    }
    // The list is shown, but it is not the whole bus: a script must not take it for one.
    return searchedSecondaries ? kExitDone : kExitBusFailure;
}

QString Runner::table(const UnitValues& values) const
{
    QString text;
    int width = 0;
    for (const ChannelValues& c : values.channels)
        for (const FunctionValue& f : c.functions)
            width = std::max(width, static_cast<int>(f.header.size()));
    for (const ChannelValues& c : values.channels) {
        if (!text.isEmpty())
            text += QLatin1Char('\n');
        text += QLatin1String(values.model->entry) + QStringLiteral(" at ") +
                QString::number(values.address);
        if (c.channel)
            text +=
                QStringLiteral(", channel %1 (secondary %2)").arg(*c.channel).arg(*c.channel + 10);
        text += QLatin1Char('\n');
        for (const FunctionValue& f : c.functions)
            text += QStringLiteral("%1  %2  %3\n")
                        .arg(f.number, 2)
                        .arg(f.header, -width)
                        .arg(printable(FormatMenuLine(f.prompt, f.display)));
    }
    return text;
}

int Runner::show()
{
    if (const auto allowed = allowOptions({"channel", "power-cycled"}); !allowed)
        return allowed.status();
    if (const auto given = expectArguments(2, "ENTRY ADDRESS"); !given)
        return given.status();
    const auto target = this->target();
    if (!target)
        return target.status();

    const auto values = readUnit(*target->model, target->address, target->channel);
    if (!values)
        return values.status();
    out(m_opt.json ? unitDocument(*values).toText() : table(*values));
    return kExitDone;
}

int Runner::set()
{
    if (const auto allowed = allowOptions({"channel", "power-cycled"}); !allowed)
        return allowed.status();
    if (m_opt.args.size() < 3)
        return usage(QStringLiteral("set takes ENTRY ADDRESS FUNC=VALUE...")).status;
    const auto target = this->target();
    if (!target)
        return target.status();
    const Model& model = *target->model;
    const TypedAddress& address = target->address;
    const std::optional<int> channel = target->channel;
    if (model.multiChannel() && !channel)
        return usage(QStringLiteral("the %1 has %2 channels: say which with --channel")
                         .arg(QLatin1String(model.entry))
                         .arg(model.channelCount))
            .status;

    std::vector<Assignment> assignments;
    for (const QString& arg : m_opt.args.mid(2)) {
        const qsizetype eq = arg.indexOf(QLatin1Char('='));
        if (eq < 0)
            return usage(QStringLiteral("\"%1\" is not FUNC=VALUE").arg(arg)).status;
        const QString name = arg.left(eq).trimmed();
        Assignment a;
        a.value = UnitSession::oneMessage(arg.mid(eq + 1));
        bool isNumber = false;
        const int number = name.toInt(&isNumber);
        for (int n = 1; n <= model.menu->count(); ++n) {
            const auto f = model.menu->function(n);
            if ((isNumber && number == n) ||
                (!isNumber && name.compare(model.busHeader(*f), Qt::CaseInsensitive) == 0))
                a.number = n;
        }
        if (a.number == 0)
            return usage(QStringLiteral("the %1 has no function \"%2\"; '%3 models --json' lists "
                                        "its menu")
                             .arg(QLatin1String(model.entry), name, kProgram))
                .status;
        if (a.value.trimmed().isEmpty())
            return usage(QStringLiteral("no value given for %1").arg(name)).status;
        assignments.push_back(a);
    }

    if (const auto opened = openUnit(model, address); !opened)
        return opened.status();
    UnitSession unit = session(model);
    if (const auto begun = beginChannel(unit, channel); !begun)
        return begun.status();

    bool refused = false;
    Json settings = Json::array();
    int k = 0;
    for (const Assignment& a : assignments) {
        progress(where(model, m_state.unit, channel) + QStringLiteral(", setting"), ++k,
                 static_cast<int>(assignments.size()));
        const auto queried = read(unit, a.number);
        if (!queried)
            return queried.status();
        const FunctionValue& before = *queried;
        const std::int16_t primaryBefore = m_state.unit.primary;
        const auto setting = unit.set(a.number, a.value);
        if (const auto checked = check(setting->failure); !checked)
            return checked.status();
        Json& item = settings.append(Json::object());
        item.insert(QStringLiteral("number"), a.number);
        item.insert(QStringLiteral("header"), before.header);
        item.insert(QStringLiteral("prompt"), before.prompt);
        item.insert(QStringLiteral("sent"), a.value);
        item.insert(QStringLiteral("old"), before.display);
        QString result;
        switch (setting->outcome) {
        case UnitSession::Setting::Outcome::Taken:
            item.insert(QStringLiteral("outcome"), QStringLiteral("taken"));
            item.insert(QStringLiteral("new"), MenuLineValue(setting->shown));
            result = MenuLineValue(setting->shown);
            break;
        case UnitSession::Setting::Outcome::NoResponse:
            item.insert(QStringLiteral("outcome"), QStringLiteral("no answer to *ESR?"));
            result = QStringLiteral("not confirmed: no answer to *ESR?");
            refused = true;
            break;
        case UnitSession::Setting::Outcome::NotConfirmed:
            if (setting->status.kind == EventStatus::Kind::Value) {
                item.insert(QStringLiteral("outcome"), QStringLiteral("refused"));
                result = QStringLiteral("refused by the unit: ESR = %1").arg(setting->status.value);
            } else {
                item.insert(QStringLiteral("outcome"), QStringLiteral("no number in *ESR?"));
                result = QStringLiteral("not confirmed: no number in its answer to *ESR?");
            }
            refused = true;
            break;
        }
        item.insert(QStringLiteral("esr"), setting->status.kind == EventStatus::Kind::Value
                                               ? Json(setting->status.value)
                                               : Json());
        QString moved;
        if (m_state.unit.primary != primaryBefore) {
            moved = QStringLiteral(" (the unit now answers at %1)").arg(m_state.unit.primary);
            item.insert(QStringLiteral("address"), static_cast<int>(m_state.unit.primary));
        }
        if (!m_opt.json)
            out(QStringLiteral("%1  %2 -> %3%4\n")
                    .arg(before.header, printable(before.display), printable(result), moved));
        if (setting->outcome != UnitSession::Setting::Outcome::Taken)
            warn(QStringLiteral("%1: %2 %3 %4")
                     .arg(where(model, m_state.unit, channel), before.header, printable(a.value),
                          result));
    }
    if (m_opt.json) {
        Json doc = Json::object();
        doc.insert(QStringLiteral("entry"), QString::fromLatin1(model.entry));
        doc.insert(QStringLiteral("address"), address.primary);
        doc.insert(QStringLiteral("secondary"), Json::orNull(address.secondary));
        doc.insert(QStringLiteral("channel"), Json::orNull(channel));
        doc.insert(QStringLiteral("settings"), std::move(settings));
        out(doc.toText());
    }
    // Switching such a unit off and on, which its save asks for, brings back what it had saved:
    // the technician must know before that save.
    if (model.powerCycle)
        warn(QStringLiteral("%1: not saved yet; switching it off brings back its saved settings, "
                            "so save it now with '%2 save %3 %4 --power-cycled'")
                 .arg(where(model, m_state.unit, channel), kProgram, QLatin1String(model.entry))
                 .arg(m_state.unit.primary));
    return refused ? kExitRefused : kExitDone;
}

int Runner::save()
{
    if (const auto allowed = allowOptions({"channel", "lock", "psc", "power-cycled"}); !allowed)
        return allowed.status();
    if (const auto given = expectArguments(2, "ENTRY ADDRESS"); !given)
        return given.status();
    const auto target = this->target();
    if (!target)
        return target.status();
    const Model& model = *target->model;
    const TypedAddress& address = target->address;
    std::optional<int> channel = target->channel;
    if ((m_opt.lock || m_opt.psc) && !model.lockable)
        return usage(QStringLiteral("the %1 has no settings lock and no power-on status setting")
                         .arg(QLatin1String(model.entry)))
            .status;
    // The window saves a multi-channel unit from its last channel's address.
    if (model.multiChannel() && !channel)
        channel = model.channelCount;

    if (const auto opened = openUnit(model, address); !opened)
        return opened.status();
    UnitSession unit = session(model);
    if (const auto begun = beginChannel(unit, channel); !begun)
        return begun.status();
    if (m_opt.psc) {
        if (const auto checked = check(unit.powerOnStatus(*m_opt.psc == 0).failure); !checked)
            return checked.status();
    }
    const auto verdict = m_opt.lock ? unit.lock() : unit.save();
    if (const auto checked = check(verdict.failure); !checked)
        return checked.status();
    const QString place = where(model, m_state.unit, channel);
    if (m_opt.json) {
        Json doc = Json::object();
        doc.insert(QStringLiteral("entry"), QString::fromLatin1(model.entry));
        doc.insert(QStringLiteral("address"), address.primary);
        doc.insert(QStringLiteral("secondary"), Json::orNull(address.secondary));
        doc.insert(QStringLiteral("psc"), Json::orNull(m_opt.psc));
        doc.insert(QStringLiteral("locked"), m_opt.lock && verdict.confirmed());
        doc.insert(QStringLiteral("saved"), verdict.confirmed());
        doc.insert(QStringLiteral("esr"), verdict.status.kind == EventStatus::Kind::Value
                                              ? Json(verdict.status.value)
                                              : Json());
        out(doc.toText());
    }
    if (!verdict.confirmed()) {
        warn(place + QStringLiteral(": ") + verdict.refusal);
        return kExitRefused;
    }
    if (!m_opt.json)
        out(place +
            (m_opt.lock ? QStringLiteral(": locked and saved\n") : QStringLiteral(": saved\n")));
    return kExitDone;
}

int Runner::backup()
{
    if (const auto allowed = allowOptions({"output", "power-cycled"}); !allowed)
        return allowed.status();
    if (const auto given = expectArguments(2, "ENTRY ADDRESS"); !given)
        return given.status();
    const auto target = this->target();
    if (!target)
        return target.status();
    const Model& model = *target->model;
    const TypedAddress& address = target->address;
    // Opened before the bus, so a file that cannot be written costs no trip to the unit; the
    // profile replaces it only once it is whole.
    std::unique_ptr<QSaveFile> file;
    if (m_opt.output) {
        file = std::make_unique<QSaveFile>(*m_opt.output);
        if (!file->open(QIODevice::WriteOnly))
            return usage(QStringLiteral("cannot write %1: %2")
                             .arg(*m_opt.output, file->errorString()))
                .status;
    }

    auto values = readUnit(model, address, std::nullopt);
    if (!values)
        return values.status();
    Profile profile;
    profile.unit = std::move(*values);
    const auto idn = identify();
    if (!idn)
        return idn.status();
    profile.idn = *idn;
    profile.taken = m_env.now().toUTC().toString(Qt::ISODate);
    const QByteArray text = profileDocument(profile).toText().toUtf8();
    if (!file) {
        out(QString::fromUtf8(text));
        return kExitDone;
    }
    if (file->write(text) != text.size() || !file->commit())
        return usage(QStringLiteral("cannot write %1: %2").arg(*m_opt.output, file->errorString()))
            .status;
    int settings = 0;
    for (const ChannelValues& c : profile.unit.channels)
        settings += static_cast<int>(c.functions.size());
    if (m_opt.json) {
        Json doc = Json::object();
        doc.insert(QStringLiteral("entry"), QString::fromLatin1(model.entry));
        doc.insert(QStringLiteral("address"), address.primary);
        doc.insert(QStringLiteral("secondary"), Json::orNull(address.secondary));
        doc.insert(QStringLiteral("file"), *m_opt.output);
        doc.insert(QStringLiteral("settings"), settings);
        out(doc.toText());
    } else {
        out(QStringLiteral("%1: %2 settings written to %3\n")
                .arg(where(model, m_state.unit, std::nullopt))
                .arg(settings)
                .arg(*m_opt.output));
    }
    return kExitDone;
}

int Runner::restore(bool compareOnly)
{
    const auto allowed =
        compareOnly ? allowOptions({"with-address", "power-cycled"})
                    : allowOptions({"dry-run", "with-address", "no-save", "lock", "power-cycled"});
    if (!allowed)
        return allowed.status();
    if (const auto given = expectArguments(2, "FILE ADDRESS"); !given)
        return given.status();
    const QString file = m_opt.args[0];
    const auto typed = addressOf(m_opt.args[1]);
    if (!typed)
        return typed.status();
    const TypedAddress& address = *typed;
    if (m_opt.lock && m_opt.noSave)
        return usage(QStringLiteral("--lock saves the settings; it does not go with --no-save"))
            .status;

    const auto bytes = readProfileFile(file);
    if (!bytes)
        return bytes.status();
    const auto parsed = readProfile(*bytes);
    if (const auto* problem = std::get_if<QString>(&parsed))
        return badProfile(file, *problem).status;
    const Profile& profile = std::get<Profile>(parsed);
    const Model& model = *profile.unit.model;
    if (m_opt.lock && !model.lockable)
        return usage(QStringLiteral("the %1 has no settings lock").arg(QLatin1String(model.entry)))
            .status;

    if (const auto opened = openUnit(model, address); !opened)
        return opened.status();
    UnitSession unit = session(model);
    const bool dryRun = compareOnly || m_opt.dryRun;

    struct Change {
        std::optional<int> channel;
        FunctionValue unit;
        FunctionValue profile;
        QString sent;
        std::optional<UnitSession::Setting> setting;
    };
    std::vector<Change> changes;
    bool refused = false;
    bool identified = false;
    for (const ChannelValues& channel : profile.unit.channels) {
        const auto begun = beginChannel(unit, channel.channel, [&]() -> Step<> {
            if (identified)
                return {};
            identified = true;
            return checkIdentity(model, file);
        });
        if (!begun)
            return begun.status();
        int k = 0;
        for (const FunctionValue& wanted : channel.functions) {
            progress(where(model, m_state.unit, channel.channel) + QStringLiteral(", function"),
                     ++k, static_cast<int>(channel.functions.size()));
            const auto queried = read(unit, wanted.number);
            if (!queried)
                return queried.status();
            const FunctionValue& current = *queried;
            Change change{channel.channel, current, wanted, wanted.value, std::nullopt};
            if (wanted.number == model.menu->addressFunction) {
                // Where a unit sits is not one of its settings, unless asked: compared by the
                // address it stands for, as two units on their switches answer differently.
                if (!m_opt.withAddress)
                    continue;
                const auto want = addressSetting(wanted.value);
                if (addressSetting(current.value) == want)
                    continue;
                change.sent = QString::number(want.value_or(31));
            } else if (current.value == wanted.value) {
                continue;
            }
            if (!dryRun && change.sent.trimmed().isEmpty()) {
                // As in the window, where an empty entry moves on: there is nothing to send.
                refused = true;
                warn(QStringLiteral("%1: %2 cannot be set to the profile's empty value")
                         .arg(where(model, m_state.unit, channel.channel), wanted.header));
            } else if (!dryRun) {
                change.setting = unit.set(wanted.number, change.sent);
                if (const auto checked = check(change.setting->failure); !checked)
                    return checked.status();
                if (change.setting->outcome != UnitSession::Setting::Outcome::Taken) {
                    refused = true;
                    warn(QStringLiteral("%1: %2 %3 %4")
                             .arg(where(model, m_state.unit, channel.channel), wanted.header,
                                  printable(change.sent),
                                  refusedByTheUnit(*change.setting)
                                      ? QStringLiteral("refused by the unit: ESR = %1")
                                            .arg(change.setting->status.value)
                                      : QStringLiteral("not confirmed by the unit")));
                }
            }
            changes.push_back(change);
        }
        clearProgress();
    }

    std::optional<UnitSession::Verdict> verdict;
    if (!dryRun && !refused && !m_opt.noSave) {
        verdict = m_opt.lock ? unit.lock() : unit.save();
        if (const auto checked = check(verdict->failure); !checked)
            return checked.status();
    }

    const QString place = where(model, m_state.unit, std::nullopt);
    if (m_opt.json) {
        Json doc = Json::object();
        doc.insert(QStringLiteral("entry"), QString::fromLatin1(model.entry));
        doc.insert(QStringLiteral("address"), address.primary);
        doc.insert(QStringLiteral("secondary"), Json::orNull(address.secondary));
        Json& list = doc.insert(
            compareOnly ? QStringLiteral("differences") : QStringLiteral("changes"), Json::array());
        for (const Change& c : changes) {
            Json& item = list.append(Json::object());
            item.insert(QStringLiteral("channel"), Json::orNull(c.channel));
            item.insert(QStringLiteral("number"), c.profile.number);
            item.insert(QStringLiteral("header"), c.profile.header);
            item.insert(QStringLiteral("prompt"), c.profile.prompt);
            item.insert(QStringLiteral("unit"), c.unit.value);
            item.insert(QStringLiteral("profile"), c.profile.value);
            if (compareOnly)
                continue;
            item.insert(QStringLiteral("sent"), m_opt.dryRun ? Json() : Json(c.sent));
            if (!m_opt.dryRun && !c.setting)
                item.insert(QStringLiteral("outcome"), QStringLiteral("not sent"));
            if (c.setting) {
                const bool taken = c.setting->outcome == UnitSession::Setting::Outcome::Taken;
                item.insert(QStringLiteral("outcome"), taken ? QStringLiteral("taken")
                                                       : refusedByTheUnit(*c.setting)
                                                           ? QStringLiteral("refused")
                                                           : QStringLiteral("not confirmed"));
                item.insert(QStringLiteral("esr"),
                            c.setting->status.kind == EventStatus::Kind::Value
                                ? Json(c.setting->status.value)
                                : Json());
            }
        }
        if (!compareOnly) {
            doc.insert(QStringLiteral("dryRun"), m_opt.dryRun);
            doc.insert(QStringLiteral("saved"), verdict && verdict->confirmed());
            doc.insert(QStringLiteral("locked"), verdict && verdict->confirmed() && m_opt.lock);
        }
        out(doc.toText());
    } else {
        QString text;
        for (const Change& c : changes) {
            const QString header =
                c.channel ? QStringLiteral("channel %1  %2").arg(*c.channel).arg(c.profile.header)
                          : c.profile.header;
            if (compareOnly) {
                text += QStringLiteral("%1  unit: %2  profile: %3\n")
                            .arg(header, printable(c.unit.value), printable(c.profile.value));
            } else if (m_opt.dryRun) {
                text += QStringLiteral("%1  %2 -> %3 (not sent)\n")
                            .arg(header, printable(c.unit.value), printable(c.sent));
            } else {
                const bool taken =
                    c.setting && c.setting->outcome == UnitSession::Setting::Outcome::Taken;
                text += QStringLiteral("%1  %2 -> %3\n")
                            .arg(header, printable(c.unit.value),
                                 taken        ? printable(MenuLineValue(c.setting->shown))
                                 : !c.setting ? QStringLiteral("not sent")
                                 : refusedByTheUnit(*c.setting) ? QStringLiteral("refused")
                                                                : QStringLiteral("not confirmed"));
            }
        }
        if (changes.empty())
            text += compareOnly ? QStringLiteral("%1: no differences\n").arg(place)
                                : QStringLiteral("%1: nothing to change\n").arg(place);
        if (verdict && verdict->confirmed())
            text += place + (m_opt.lock ? QStringLiteral(": locked and saved\n")
                                        : QStringLiteral(": saved\n"));
        out(text);
    }

    if (compareOnly)
        return changes.empty() ? kExitDone : kExitRefused;
    if (refused) {
        warn(place + QStringLiteral(": not saved, the unit did not take every setting"));
        return kExitRefused;
    }
    if (verdict && !verdict->confirmed()) {
        warn(place + QStringLiteral(": ") + verdict->refusal);
        return kExitRefused;
    }
    return kExitDone;
}

int Runner::execute()
{
    const QString& c = m_opt.command;
    if (c == QLatin1String("models"))
        return models();
    if (c == QLatin1String("scan"))
        return scan();
    if (c == QLatin1String("show"))
        return show();
    if (c == QLatin1String("set"))
        return set();
    if (c == QLatin1String("save"))
        return save();
    if (c == QLatin1String("backup"))
        return backup();
    if (c == QLatin1String("restore"))
        return restore(false);
    if (c == QLatin1String("diff"))
        return restore(true);
    return usage(c.isEmpty() ? QStringLiteral("no command given")
                             : QStringLiteral("unknown command \"%1\"").arg(c))
        .status;
}

} // namespace

QString helpText()
{
    return QStringLiteral(
        "Usage: gpibconfig-cli [--driver SPEC] [--board N] [--trace FILE] [--json] COMMAND ARGS\n"
        "\n"
        "Shows, sets, saves, backs up, restores and compares the settings of GPIB interface\n"
        "units of the 27 models of gpibconfig, and finds units on the bus. No display needed.\n"
        "\n"
        "Commands:\n"
        "  models                  the 27 entries: entry, model code, functions, lock support,\n"
        "                          trigger start, notice, channels, power cycle\n"
        "  scan                    the units on the bus: address (and secondary), *IDN? answer,\n"
        "                          matching entry\n"
        "  show ENTRY ADDRESS      every function of the entry's menu with the unit's value\n"
        "                          (all channels of a multi-channel unit, or --channel N)\n"
        "  set ENTRY ADDRESS FUNC=VALUE...\n"
        "                          send each value, check *ESR?, read it back; prints the old\n"
        "                          and the new value (a multi-channel unit needs --channel N)\n"
        "  save ENTRY ADDRESS      *SAV 0 with the configuration window's check; --lock locks\n"
        "                          the settings and saves, --psc 0|1 sends *PSC first\n"
        "  backup ENTRY ADDRESS    every setting to a profile, on standard output or -o FILE\n"
        "                          (every channel of a multi-channel unit)\n"
        "  restore FILE ADDRESS    the settings of a profile that differ from the unit's, in menu\n"
        "                          order, each checked and read back, then *SAV 0 and its check\n"
        "  diff FILE ADDRESS       compare a unit with a profile\n"
        "\n"
        "ENTRY is a model list entry such as 7352A or 7370b. ADDRESS is a primary address 0 to\n"
        "30, or primary * 100 + secondary (512: primary 5, secondary 12); a multi-channel unit's\n"
        "channel N is at secondary N + 10. FUNC is a function's header as the menu sends it\n"
        "(SYST:COMM:SER:BAUD, any case) or its number in the menu. The unit's own bus address\n"
        "is not restored or compared unless --with-address is given.\n"
        "\n"
        "Every command that talks to a unit does first what the configuration window does: the\n"
        "board's interface clear, remote enable and one-second time-out, the device clear, and\n"
        "the model's start actions (unlock and status clear, or the trigger sequence). Models\n"
        "that must be switched off and on first (7314A/B, 7370A/B, 7374A/B, 7376) are asked\n"
        "for on a terminal; without one, give --power-cycled. The notice of the parallel\n"
        "models is printed once to standard error. restore and diff first ask the unit *IDN?\n"
        "and refuse a profile of another model.\n"
        "\n"
        "Options:\n"
        "  --driver SPEC      system (the NI-488.2 compatible library, the default),\n"
        "                     prologix:PORT, prologix-tcp:HOST[:PORT],\n"
        "                     vxi11:HOST[:PORT][,INTERFACE] (a LAN/GPIB gateway), sim (the\n"
        "                     simulated bench of gpibconfig-sim in virtual time), or list.\n"
        "                     Without it: GPIBCONFIG_DRIVER, then the settings file, then\n"
        "                     system.\n"
        "  --board N          the GPIB board index (default 0)\n"
        "  --trace FILE       write every driver call in the bench's trace format to FILE\n"
        "                     (- for standard error)\n"
        "  --json             one JSON document on standard output instead of a table\n"
        "  --channel N        show, set, save: the channel of a multi-channel unit\n"
        "  -o, --output FILE  backup: write the profile to FILE\n"
        "  --dry-run          restore: print what would change, send no setting\n"
        "  --with-address     restore, diff: include the unit's bus address function\n"
        "  --no-save          restore: do not send *SAV 0 at the end\n"
        "  --lock             save, restore: lock the settings (CAL:LOCK ON) as they are saved\n"
        "  --psc 0|1          save: *PSC 0 keeps the status enable registers at power-on,\n"
        "                     *PSC 1 clears them\n"
        "  --power-cycled     the unit has just been switched off and on: do not ask\n"
        "  -h, --help         this text\n"
        "  --version          the program's version\n"
        "\n"
        "On a terminal, long commands show their progress on standard error.\n"
        "\n"
        "Exit status:\n"
        "  0   done\n"
        "  1   the unit refused a setting or the save, or diff found differences\n"
        "  2   a driver call failed (its status report on standard error)\n"
        "  64  a usage error: unknown command, entry or function, address out of range\n"
        "  65  a profile that cannot be used: not JSON, another format or version, another\n"
        "      model than the unit at ADDRESS, unknown header, oversized; nothing is sent\n"
        "      to the unit then\n");
}

int run(const QStringList& arguments, Environment& env)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QString());
    const QCommandLineOption version(QStringLiteral("version"), QString());
    const QCommandLineOption driver(QStringLiteral("driver"), QString(), QStringLiteral("SPEC"));
    const QCommandLineOption board(QStringLiteral("board"), QString(), QStringLiteral("N"));
    const QCommandLineOption trace(QStringLiteral("trace"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption json(QStringLiteral("json"), QString());
    const QCommandLineOption channel(QStringLiteral("channel"), QString(), QStringLiteral("N"));
    const QCommandLineOption output({QStringLiteral("o"), QStringLiteral("output")}, QString(),
                                    QStringLiteral("FILE"));
    const QCommandLineOption dryRun(QStringLiteral("dry-run"), QString());
    const QCommandLineOption withAddress(QStringLiteral("with-address"), QString());
    const QCommandLineOption noSave(QStringLiteral("no-save"), QString());
    const QCommandLineOption lock(QStringLiteral("lock"), QString());
    const QCommandLineOption psc(QStringLiteral("psc"), QString(), QStringLiteral("0|1"));
    const QCommandLineOption powerCycled(QStringLiteral("power-cycled"), QString());
    parser.addOptions({help, version, driver, board, trace, json, channel, output, dryRun,
                       withAddress, noSave, lock, psc, powerCycled});

    const auto usage = [&env](const QString& message) {
        env.err(kProgram + QStringLiteral(": ") + message + QStringLiteral("\nTry '") + kProgram +
                QStringLiteral(" --help'.\n"));
        return kExitUsage;
    };
    if (!parser.parse(QStringList{kProgram} + arguments))
        return usage(parser.errorText());
    if (parser.isSet(help)) {
        env.out(helpText());
        return kExitDone;
    }
    if (parser.isSet(version)) {
        env.out(kProgram + QStringLiteral(" ") + QStringLiteral(GPIBCONFIG_VERSION) +
                QLatin1Char('\n'));
        return kExitDone;
    }

    Options options;
    const auto chosen =
        chooseDriver(parser.isSet(driver) ? std::optional(parser.value(driver)) : std::nullopt,
                     env.driverFromEnvironment, env.driverFromSettings);
    if (const auto* error = std::get_if<QString>(&chosen))
        return usage(*error);
    options.driver = std::get<DriverChoice>(chosen).spec;
    if (options.driver.kind == DriverSpec::Kind::List) {
        QString problem;
        env.out(driverListText(&problem));
        if (problem.isEmpty())
            return kExitDone;
        env.err(QStringLiteral("gpibconfig-cli: %1\n").arg(problem));
        return kExitBusFailure;
    }

    const auto number = [&parser](const QCommandLineOption& option, int lo,
                                  int hi) -> std::optional<int> {
        static const QRegularExpression digits(QStringLiteral("^[0-9]{1,5}$"));
        const QString text = parser.value(option);
        if (!digits.match(text).hasMatch())
            return std::nullopt;
        const int n = text.toInt();
        return n >= lo && n <= hi ? std::optional(n) : std::nullopt;
    };
    if (parser.isSet(board)) {
        const auto n = number(board, 0, 32767);
        if (!n)
            return usage(QStringLiteral("--board takes a board index 0 to 32767, not \"%1\"")
                             .arg(parser.value(board)));
        options.board = static_cast<std::int16_t>(*n);
    }
    if (parser.isSet(channel)) {
        options.channel = number(channel, 0, 99);
        if (!options.channel)
            return usage(QStringLiteral("--channel takes a channel number, not \"%1\"")
                             .arg(parser.value(channel)));
    }
    if (parser.isSet(psc)) {
        options.psc = number(psc, 0, 1);
        if (!options.psc)
            return usage(QStringLiteral("--psc takes 0 or 1, not \"%1\"").arg(parser.value(psc)));
    }
    if (parser.isSet(trace))
        options.trace = parser.value(trace);
    if (parser.isSet(output))
        options.output = parser.value(output);
    options.json = parser.isSet(json);
    options.dryRun = parser.isSet(dryRun);
    options.withAddress = parser.isSet(withAddress);
    options.noSave = parser.isSet(noSave);
    options.lock = parser.isSet(lock);
    options.powerCycled = parser.isSet(powerCycled);
    for (const QCommandLineOption* o :
         {&channel, &output, &dryRun, &withAddress, &noSave, &lock, &psc, &powerCycled})
        if (parser.isSet(*o))
            options.given << o->names().constLast();

    const QStringList positional = parser.positionalArguments();
    options.command = positional.value(0);
    options.args = positional.mid(1);

    Runner runner(env, std::move(options));
    return runner.execute();
}

} // namespace gpibconfig::cli
