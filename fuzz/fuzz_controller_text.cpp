// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary output of a "++" controller through the Prologix driver's readers: line by line as the
// controller's own messages and as answers to ++ver and ++addr, and whole as what one ++read
// brought. The promises: a line is at most one of refusal, version answer and address answer; an
// address answer is an address the bus has and reads back from the controllers' forms; a version
// answer is part of its line and starts at the name it is recognised by; the data of a read is a
// piece of what came, never headed by a refusal, and a unit's reply that ended with EOI comes back
// whole.
#include "FuzzSupport.h"
#include "prologix/ControllerText.h"

using namespace gpibconfig::prologix;
using gpibconfig::fuzz::show;

namespace {

constexpr char kEot = 0x04; // the driver's ++eot_char

std::string text(const QByteArray& bytes)
{
    return show(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

void checkLine(const QByteArray& line)
{
    const ControllerMessage message = controllerMessage(line);
    const auto version = versionAnswer(line);
    const auto address = addressAnswer(line);
    FUZZ_CHECK(!(version && address), "%s is both a version and an address", text(line).c_str());
    FUZZ_CHECK(message == ControllerMessage::None || (!version && !address),
               "the controller's message %s read as an answer", text(line).c_str());
    if (version) {
        FUZZ_CHECK(!version->text.isEmpty() && line.contains(version->text),
                   "version %s is not part of %s", text(version->text).c_str(), text(line).c_str());
        const QByteArray lower = version->text.toLower();
        FUZZ_CHECK(version->family != Family::Prologix || lower.startsWith("prologix"),
                   "Prologix recognised in %s", text(line).c_str());
        FUZZ_CHECK(version->family != Family::Ar488 || lower.startsWith("ar488"),
                   "AR488 recognised in %s", text(line).c_str());
        if (version->release)
            for (const int n : *version->release)
                FUZZ_CHECK(n >= 0 && n < 1'000'000, "release number %d in %s", n,
                           text(line).c_str());
    }
    if (address) {
        FUZZ_CHECK(address->primary >= 0 && address->primary <= 30 &&
                       (address->secondary == 0 ||
                        (address->secondary >= 0x60 && address->secondary <= 0x7E)),
                   "address %d/%d from %s", address->primary, address->secondary,
                   text(line).c_str());
        // As Prologix and AR488 0.53 print it.
        QByteArray spaced = QByteArray::number(address->primary);
        QByteArray comma = spaced;
        if (address->secondary) {
            spaced += ' ' + QByteArray::number(address->secondary);
            comma += ',' + QByteArray::number(address->secondary);
        }
        FUZZ_CHECK(addressAnswer(spaced + "\r") == address && addressAnswer(comma) == address,
                   "address %d/%d does not read back", address->primary, address->secondary);
    }
}

void checkRead(const QByteArray& bytes, char eot)
{
    const ReadOutput out = readOutput(bytes, eot);
    FUZZ_CHECK(bytes.contains(out.data), "data %s is not part of %s", text(out.data).c_str(),
               text(bytes).c_str());
    FUZZ_CHECK(!out.endedWithEoi || bytes.contains(eot), "EOI without the EOT character in %s",
               text(bytes).c_str());
    const qsizetype lf = out.data.indexOf('\n');
    if (lf >= 0) {
        const ControllerMessage head = controllerMessage(out.data.left(lf + 1));
        FUZZ_CHECK(head != ControllerMessage::Refusal && head != ControllerMessage::Handshake,
                   "the controller's line heads the data %s", text(out.data).c_str());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    LineReader reader;
    // In two pieces, as a link hands bytes on.
    reader.append(bytes.left(bytes.size() / 2));
    while (const auto line = reader.next())
        checkLine(*line);
    reader.append(bytes.mid(bytes.size() / 2));
    while (const auto line = reader.next()) {
        FUZZ_CHECK(!line->contains('\n'), "a line with its end inside: %s", text(*line).c_str());
        checkLine(*line);
    }
    FUZZ_CHECK(!reader.takeRest().contains('\n'), "a whole line left behind");

    checkRead(bytes, kEot);
    if (size > 0)
        checkRead(bytes.mid(1), static_cast<char>(data[0]));

    // A reply the unit ended with EOI, followed by the EOT character, comes back as it was sent
    // unless it begins with a line of the controller's own.
    const qsizetype lf = bytes.indexOf('\n');
    const ControllerMessage head =
        lf >= 0 ? controllerMessage(bytes.left(lf + 1)) : ControllerMessage::None;
    if (head != ControllerMessage::Refusal && head != ControllerMessage::Handshake) {
        const ReadOutput out = readOutput(bytes + kEot, kEot);
        FUZZ_CHECK(out.endedWithEoi && out.data == bytes && out.controllerLines.isEmpty(),
                   "the reply %s came back as %s", text(bytes).c_str(), text(out.data).c_str());
    }
    return 0;
}
