// SPDX-License-Identifier: GPL-3.0-or-later
// What the operator types for a controller: the --driver value (option, GPIBCONFIG_DRIVER, the
// settings file) and the host box of the controller dialog. Any text is refused with a reason or
// gives a choice that is written back in a form read as the same choice; the dialog's choices are
// of the line's own kind, with a host that has no blanks and a port the network can use (or none,
// for a gateway whose portmapper names it), and a gateway's interface is a plain name.
#include "FuzzSupport.h"
#include "core/QtText.h"
#include "drivers/ControllerLogic.h"

namespace {

using namespace gpibconfig;

std::string show(const QString& text) { return fuzz::show(u16view(text)); }

// A gateway's interface name goes into its device names ("gpib0,15"): nothing in it may make
// another name of one.
void checkInterfaceName(const DriverSpec& spec, const QString& typed)
{
    if (spec.kind != DriverSpec::Kind::Vxi11)
        return;
    FUZZ_CHECK(!spec.interfaceName.isEmpty(), "%s gave no interface", show(typed).c_str());
    for (const QChar c : spec.interfaceName)
        FUZZ_CHECK(c.unicode() < 0x80 && (c.isLetterOrNumber() || c == QLatin1Char('_')),
                   "%s gave the interface %s", show(typed).c_str(),
                   show(spec.interfaceName).c_str());
}

void checkRoundTrip(const DriverSpec& spec, const QString& typed)
{
    const QString written = spec.toString();
    const auto again = DriverSpec::parse(written);
    FUZZ_CHECK(std::holds_alternative<DriverSpec>(again), "%s written as %s is refused: %s",
               show(typed).c_str(), show(written).c_str(),
               show(std::get<QString>(again)).c_str());
    FUZZ_CHECK(std::get<DriverSpec>(again) == spec, "%s written as %s reads as another choice",
               show(typed).c_str(), show(written).c_str());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::u16string raw = fuzz::textFrom(data, size);
    const QString text = QString::fromStdU16String(raw);

    const auto parsed = DriverSpec::parse(text);
    if (const auto* error = std::get_if<QString>(&parsed))
        FUZZ_CHECK(!error->isEmpty(), "%s refused without a reason", show(text).c_str());
    else {
        checkRoundTrip(std::get<DriverSpec>(parsed), text);
        checkInterfaceName(std::get<DriverSpec>(parsed), text);
    }

    for (const ControllerKind& kind : controllerKinds()) {
        const auto chosen = specForChoice(kind, text);
        if (const auto* error = std::get_if<QString>(&chosen)) {
            FUZZ_CHECK(!error->isEmpty() && error->endsWith(QLatin1Char('.')),
                       "%s refused for %s without a sentence: %s", show(text).c_str(),
                       show(kind.prefix).c_str(), show(*error).c_str());
            continue;
        }
        const DriverSpec& spec = std::get<DriverSpec>(chosen);
        checkRoundTrip(spec, text);
        FUZZ_CHECK(spec.toString().section(QLatin1Char(':'), 0, 0) == kind.prefix,
                   "%s on the %s line became %s", show(text).c_str(), show(kind.prefix).c_str(),
                   show(spec.toString()).c_str());
        if (kind.takes != ControllerKind::Takes::Host)
            continue;
        checkInterfaceName(spec, text);
        // Port 0 only where the kind has no usual port: a gateway's portmapper names it.
        FUZZ_CHECK(!spec.host.isEmpty() && (spec.tcpPort != 0 || kind.defaultPort == 0),
                   "%s gave host %s port %u", show(text).c_str(), show(spec.host).c_str(),
                   unsigned(spec.tcpPort));
        for (const QChar c : spec.host)
            FUZZ_CHECK(!c.isSpace() && c != QLatin1Char('/'), "%s gave the host %s",
                       show(text).c_str(), show(spec.host).c_str());
    }
    return 0;
}
