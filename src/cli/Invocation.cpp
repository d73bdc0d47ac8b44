// SPDX-License-Identifier: GPL-3.0-or-later
#include "Invocation.h"

#include "drivers/TraceFile.h"
#include "gpib/StatusReport.h"
#include "logic/MenuLine.h"
#include "models/Models.h"
#include "time/Clock.h"

#include <QFile>
#include <QRegularExpression>
#include <algorithm>
#include <stdexcept>

namespace gpibconfig::cli {

namespace {

// IEEE 488.2 keeps an *IDN? answer within 72 characters; room for more does no harm.
constexpr int kIdnLength = 100;

// The bus address an argument names, typed as in the configuration window: digits only here,
// so a slip of the keyboard is not read as an address.
std::optional<TypedAddress> addressArgument(const QString& text)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,5}$"));
    if (!digits.match(text).hasMatch())
        return std::nullopt;
    return readTypedAddress(text);
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

} // namespace

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

Invocation::Invocation(Environment& env, const Command& command, Options options,
                       DriverSpec driver, QStringList arguments)
    : m_env(env)
    , m_command(command)
    , m_opt(std::move(options))
    , m_driver(std::move(driver))
    , m_args(std::move(arguments))
    // 0..32767: the option's range, checked when it was read.
    , m_board(static_cast<std::int16_t>(m_opt.board.value_or(0)))
{
}

Invocation::~Invocation() = default;

// ---------------------------------------------------------------------------------------------
// Output

void Invocation::out(const QString& text)
{
    clearProgress();
    m_env.out(text);
}

void Invocation::err(const QString& text)
{
    clearProgress();
    m_env.err(text);
}

void Invocation::progress(const QString& what, int k, int n)
{
    if (!m_env.errorIsTerminal)
        return;
    m_env.err(QStringLiteral("\r%1 %2 of %3\x1b[K").arg(what).arg(k).arg(n));
    m_progressShown = true;
}

void Invocation::clearProgress()
{
    if (m_progressShown)
        m_env.err(QStringLiteral("\r\x1b[K"));
    m_progressShown = false;
}

Stop Invocation::usage(const QString& message)
{
    err(kProgram + QStringLiteral(": ") + message + QStringLiteral("\nTry '") + kProgram +
        QStringLiteral(" --help'.\n"));
    return Stop{kExitUsage};
}

Stop Invocation::badProfile(const QString& file, const QString& message)
{
    err(kProgram + QStringLiteral(": ") + file + QStringLiteral(": ") + message +
        QStringLiteral("\n"));
    return Stop{kExitBadProfile};
}

void Invocation::warn(const QString& message)
{
    err(kProgram + QStringLiteral(": ") + message + QStringLiteral("\n"));
}

// ---------------------------------------------------------------------------------------------
// Arguments

namespace {

// Whether the command line has the option, with or without a value.
bool given(const Options& options, const OptionDef& option)
{
    return std::visit(
        [&options](auto field) {
            if constexpr (std::is_same_v<decltype(field), bool Options::*>)
                return options.*field;
            else
                return (options.*field).has_value();
        },
        option.field);
}

} // namespace

Step<> Invocation::checkCommandLine()
{
    for (const OptionDef* option : cli::options())
        if (given(m_opt, *option) && !m_command.takes(*option))
            return usage(QStringLiteral("--%1 does not apply to %2")
                             .arg(QLatin1String(option->name), QLatin1String(m_command.name)));
    if (!m_command.takesArguments(m_args.size()))
        return usage(QStringLiteral("%1 takes %2")
                         .arg(QLatin1String(m_command.name),
                              *m_command.synopsis ? QLatin1String(m_command.synopsis)
                                                  : QLatin1String("no arguments")));
    return {};
}

Step<TypedAddress> Invocation::addressOf(const QString& text)
{
    const auto address = addressArgument(text);
    if (!address)
        return usage(QStringLiteral("address out of range: \"%1\" (a primary address 0 to 30, or "
                                    "primary * 100 + secondary, e.g. 512)")
                         .arg(text));
    return *address;
}

Step<Invocation::Target> Invocation::target()
{
    const Model* model = findEntry(m_args[0]);
    if (!model)
        return usage(QStringLiteral("unknown entry \"%1\"; '%2 models' lists them")
                         .arg(m_args[0], kProgram));
    const auto address = addressOf(m_args[1]);
    if (!address)
        return address.stop();
    const std::optional<int> channel = m_opt.channel;
    if (channel && !model->multiChannel())
        return usage(QStringLiteral("the %1 has no channels").arg(QLatin1String(model->entry)));
    if (channel && (*channel < 1 || *channel > model->channelCount))
        return usage(QStringLiteral("the %1 has channels 1 to %2")
                         .arg(QLatin1String(model->entry))
                         .arg(model->channelCount));
    return Target{model, *address, channel};
}

Step<QByteArray> Invocation::readProfileFile(const QString& file)
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

Step<> Invocation::openBus()
{
    TracingDriver::Sink sink;
    if (m_opt.trace) {
        QString error;
        const auto traceSink = traceFileSink(*m_opt.trace, m_env.err, &error);
        if (!traceSink)
            return usage(error);
        sink = *traceSink;
    }
    m_bus = m_env.openBus(m_driver, sink);
    if (!m_bus)
        return usage(QStringLiteral("no bus for the driver %1").arg(m_driver.toString()));
    m_state.board = m_board;
    m_gpib = std::make_unique<GPIB32>(m_bus->driver());
    return {};
}

Stop Invocation::busFailure(const BusFailure& failure)
{
    const GpibStatus& status = failure.status;
    const QString report = statusReport(failure);
    const QString hint = m_bus->driver().explainFailure(status.ibsta, status.iberr, status.ibcntl);
    // As the window's report does: the board is taken offline after a failure.
    UnitSession::takeBoardOffline(*m_gpib, m_state.board);
    err(report + QLatin1Char('\n') + (hint.isEmpty() ? QString() : hint + QLatin1Char('\n')));
    return Stop{kExitBusFailure};
}

Step<> Invocation::check(const UnitSession::Failure& failure)
{
    if (failure)
        return busFailure(*failure);
    return {};
}

// ---------------------------------------------------------------------------------------------
// The unit

Step<> Invocation::requirePowerCycleAnswer(const Model& model)
{
    if (model.powerCycle && !m_opt.powerCycled && !m_env.inputIsTerminal)
        return usage(
            QStringLiteral("the %1 must be switched off and on before it is configured; do so "
                           "and give --power-cycled (there is no terminal to ask on)")
                .arg(QLatin1String(model.entry)));
    return {};
}

Step<> Invocation::openUnit(const Model& model, const TypedAddress& address)
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

    if (const auto failure = UnitSession::prepareBoard(*m_gpib, m_board))
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

UnitSession Invocation::session(const Model& model)
{
    return UnitSession(*m_gpib, m_bus->clock(), model, m_board, m_state.unit);
}

Step<> Invocation::beginChannel(UnitSession& session, std::optional<int> channel,
                                const std::function<Step<>()>& afterClear)
{
    const Model& model = session.model();
    UnitAddress& unit = m_state.unit;
    if (channel) {
        unit.channel = *channel;
        // The channels a command walks are the model's, checked where they were read.
        unit.secondary = model.secondaryOf(*channel).value();
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

Step<FunctionValue> Invocation::read(UnitSession& session, int number)
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

Step<ChannelValues> Invocation::readChannel(UnitSession& session, std::optional<int> channel)
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

Step<UnitValues> Invocation::readUnit(const Model& model, const TypedAddress& address,
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

Identification Invocation::askIdentification(std::int16_t word)
{
    Identification idn;
    const GpibStatus sent = m_gpib->Send(m_board, word, QStringLiteral("*IDN?"), 1);
    if (sent.failed()) {
        idn.failure = BusFailure{QStringLiteral("Send IDN Error"), sent};
        return idn;
    }
    QString reply(kIdnLength, QLatin1Char(' '));
    const GpibStatus status = m_gpib->Receive(m_board, word, reply, 0);
    if (status.failed()) {
        idn.failure = BusFailure{QStringLiteral("Receive IDN Error"), status};
        return idn;
    }
    idn.answered = status.ibcntl > 0;
    QString answer = reply.left(std::clamp<qsizetype>(status.ibcntl, 0, reply.size()));
    if (const qsizetype lf = answer.indexOf(QLatin1Char('\n')); lf >= 0)
        answer.truncate(lf);
    idn.text = answer.trimmed();
    return idn;
}

Step<QString> Invocation::identify()
{
    const Identification idn = askIdentification(m_state.unit.word);
    if (idn.failure)
        return busFailure(*idn.failure);
    return idn.text;
}

Step<> Invocation::checkIdentity(const Model& model, const QString& file)
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

} // namespace gpibconfig::cli
