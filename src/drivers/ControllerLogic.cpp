// SPDX-License-Identifier: GPL-3.0-or-later
#include "ControllerLogic.h"

#include "PrologixModule.h"

#include <algorithm>

namespace gpibconfig {

namespace {

const QString kAnyHostLabel = QStringLiteral("Host name or address of a controller on the network:");

// A parser's complaint as a sentence of the window.
QString sentence(QString text)
{
    if (!text.isEmpty() && text.front().isLower())
        text.front() = text.front().toUpper();
    if (!text.endsWith(QLatin1Char('.')))
        text += QLatin1Char('.');
    return text;
}

// The kind the --driver value `spec` is of, when the dialog offers it.
const ControllerKind* kindOf(const DriverSpec& spec)
{
    const QString prefix = spec.toString().section(QLatin1Char(':'), 0, 0);
    for (const ControllerKind& kind : controllerKinds())
        if (kind.prefix == prefix)
            return &kind;
    return nullptr;
}

// What follows the kind in the --driver value, as the operator would type it in the host box:
// without the port the kind takes anyway.
QString whereOf(const DriverSpec& spec, const ControllerKind& kind)
{
    QString where = spec.toString().mid(kind.prefix.size() + 1);
    if (kind.defaultPort != 0) {
        const QString usual = QStringLiteral(":%1").arg(kind.defaultPort);
        if (where.endsWith(usual))
            where.chop(usual.size());
    }
    return where;
}

QString portLine(const ControllerKind& kind, const prologix::SerialPort& port)
{
    const QString about = serialPortAbout(port);
    return kind.line.arg(about.isEmpty() ? port.location : port.location + QStringLiteral(": ") +
                                                               about);
}

QString overrideNote(const DriverChoice& start)
{
    const QString value = start.spec.toString();
    switch (start.source) {
    case DriverSource::Option:
        return QStringLiteral("Started with --driver %1. The controller chosen here is used from "
                              "the next Configure and saved, but the saved choice counts only when "
                              "gpibconfig starts without --driver.")
            .arg(value);
    case DriverSource::Environment:
        return QStringLiteral("%1 is set to %2. The controller chosen here is used from the next "
                              "Configure and saved, but while %1 is set gpibconfig starts with %2 "
                              "instead of the saved choice.")
            .arg(QString::fromLatin1(kDriverEnvironmentVariable), value);
    case DriverSource::Settings:
    case DriverSource::Default:
        break;
    }
    return {};
}

} // namespace

const std::vector<ControllerKind>& controllerKinds()
{
    using Takes = ControllerKind::Takes;
    static const std::vector<ControllerKind> kinds = {
        {QStringLiteral("system"), Takes::Nothing,
         QStringLiteral("System GPIB library (NI-488.2 or linux-gpib)"),
         QStringLiteral("the system's GPIB library"), {}, 0},
        {QStringLiteral("prologix"), Takes::SerialPort, QStringLiteral("Serial port %1"),
         QStringLiteral("the serial ports found, for a Prologix GPIB-USB controller or an AR488 "
                        "board"),
         {}, 0},
        {QStringLiteral("prologix-tcp"), Takes::Host,
         QStringLiteral("Prologix GPIB-ETHERNET on the network (host below)"),
         QStringLiteral("a Prologix GPIB-ETHERNET controller on the network"),
         QStringLiteral("Host name or address of the GPIB-ETHERNET controller (add :PORT if it is "
                        "not 1234):"),
         1234},
        {QStringLiteral("vxi11"), Takes::Host,
         QStringLiteral("LAN/GPIB gateway (VXI-11) on the network (host below)"),
         QStringLiteral("a LAN/GPIB gateway speaking VXI-11 (E5810, ICS 8065 and others) on the "
                        "network"),
         QStringLiteral("Host name or address of the LAN/GPIB gateway (add :PORT to pass its "
                        "portmapper by, ,NAME if its interface is not gpib0):"),
         0},
    };
    return kinds;
}

std::variant<DriverSpec, QString> specForChoice(const ControllerKind& kind, const QString& where)
{
    const QString typed = where.trimmed();
    if (kind.takes == ControllerKind::Takes::Nothing)
        return DriverSpec::parse(kind.prefix);
    if (typed.isEmpty())
        return kind.takes == ControllerKind::Takes::Host
                   ? QStringLiteral("Type the host name or address of the controller.")
                   : QStringLiteral("No serial port was given.");
    auto parsed = DriverSpec::parse(kind.prefix + QLatin1Char(':') + typed);
    if (auto* error = std::get_if<QString>(&parsed))
        return sentence(*error);
    return parsed;
}

ControllerLogic::ControllerLogic(ControllerScreen& screen, ControllerHost& host,
                                 ControllerSituation situation)
    : m_screen(screen)
    , m_host(host)
    , m_situation(std::move(situation))
{
}

void ControllerLogic::reset()
{
    const DriverSpec& current = m_situation.current;
    const ControllerKind* currentKind = kindOf(current);
    // USB adapters first: they are what a controller plugs into; built-in ports follow.
    QList<prologix::SerialPort> ports = m_situation.ports.value_or(QList<prologix::SerialPort>{});
    std::stable_partition(ports.begin(), ports.end(),
                          [](const prologix::SerialPort& port) { return port.vendorId.has_value(); });

    m_entries.clear();
    QStringList lines;
    QStringList summaries;
    int selected = -1;
    for (const ControllerKind& kind : controllerKinds()) {
        summaries << kind.summary;
        const bool isCurrent = &kind == currentKind;
        if (kind.takes != ControllerKind::Takes::SerialPort) {
            if (isCurrent)
                selected = static_cast<int>(m_entries.size());
            m_entries.push_back({&kind, {}});
            lines << kind.line;
            continue;
        }
        const QString currentPort = isCurrent ? whereOf(current, kind) : QString();
        bool currentListed = false;
        for (const prologix::SerialPort& port : ports) {
            if (isCurrent && port.location == currentPort) {
                selected = static_cast<int>(m_entries.size());
                currentListed = true;
            }
            m_entries.push_back({&kind, port.location});
            lines << portLine(kind, port);
        }
        // The port in use is offered even when it is gone (unplugged, or not listable).
        if (isCurrent && !currentListed) {
            selected = static_cast<int>(m_entries.size());
            m_entries.push_back({&kind, currentPort});
            lines << kind.line.arg(currentPort + QStringLiteral(" (not found now)"));
        }
    }
    m_screen.listController.setLines(lines);
    m_screen.listController.selectLine(selected);
    m_screen.listController.setToolTip(
        QStringLiteral("Where the bus goes: %1.").arg(summaries.join(QStringLiteral("; "))));

    const bool hostKind = currentKind && currentKind->takes == ControllerKind::Takes::Host;
    m_screen.txtHost.setText(hostKind ? whereOf(current, *currentKind) : QString());

    QString portsNote;
    if (!m_situation.ports)
        portsNote = QStringLiteral("No serial ports are listed: the Prologix driver module %1 "
                                   "could not be opened (%2).")
                        .arg(QString::fromLatin1(prologix::kModuleName), m_situation.portsProblem);
    else if (m_situation.ports->isEmpty())
        portsNote = QStringLiteral("No serial ports were found. A USB controller plugged in now is "
                                   "listed when this window opens again.");
    m_screen.labelPorts.setText(portsNote);
    m_screen.labelPorts.setVisible(!portsNote.isEmpty());

    const QString note = overrideNote(m_situation.startedWith);
    m_screen.labelOverride.setText(note);
    m_screen.labelOverride.setVisible(!note.isEmpty());

    m_screen.txtErrMsg.setVisible(false);
    m_screen.cmdOK.setEnabled(true);
    m_screen.cmdCancel.setEnabled(true);
    entryPicked();
    m_screen.listController.setFocus();
}

const ControllerLogic::Entry* ControllerLogic::selectedEntry() const
{
    const int row = m_screen.listController.selectedLine();
    if (row < 0 || static_cast<std::size_t>(row) >= m_entries.size())
        return nullptr;
    return &m_entries[static_cast<std::size_t>(row)];
}

void ControllerLogic::entryPicked()
{
    const Entry* entry = selectedEntry();
    const bool takesHost = entry && entry->kind->takes == ControllerKind::Takes::Host;
    m_screen.labelHost.setText(takesHost ? entry->kind->hostLabel : kAnyHostLabel);
    m_screen.txtHost.setEnabled(takesHost);
    m_screen.labelHost.setEnabled(takesHost);
    // A complaint about the line that was selected before says nothing about this one.
    m_screen.txtErrMsg.setVisible(false);
}

void ControllerLogic::refuse(const QString& message, Control& focus)
{
    m_screen.txtErrMsg.setText(message);
    m_screen.txtErrMsg.setVisible(true);
    focus.setFocus();
}

void ControllerLogic::accept()
{
    const Entry* entry = selectedEntry();
    if (!entry) {
        refuse(QStringLiteral("Choose a controller in the list."), m_screen.listController);
        return;
    }
    const bool takesHost = entry->kind->takes == ControllerKind::Takes::Host;
    const auto chosen =
        specForChoice(*entry->kind, takesHost ? m_screen.txtHost.text() : entry->port);
    if (const auto* error = std::get_if<QString>(&chosen)) {
        refuse(*error, takesHost ? m_screen.txtHost : m_screen.listController);
        return;
    }
    const DriverSpec& spec = std::get<DriverSpec>(chosen);
    if (const QString problem = m_host.saveChoice(spec); !problem.isEmpty()) {
        refuse(QStringLiteral("The choice could not be saved: %1. Nothing was changed; "
                              "gpibconfig --driver %2 uses this controller without saving it.")
                   .arg(problem, spec.toString()),
               m_screen.listController);
        return;
    }
    m_host.useChoice(spec);
    m_host.closeControllerDialog();
}

} // namespace gpibconfig
