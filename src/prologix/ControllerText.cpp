// SPDX-License-Identifier: GPL-3.0-or-later
#include "ControllerText.h"

#include <algorithm>
#include <string>

namespace gpibconfig::prologix {

namespace {

// Blanks and the CR of CR LF around a line.
QByteArrayView trimmed(QByteArrayView line)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!line.isEmpty() && blank(line.front()))
        line = line.sliced(1);
    while (!line.isEmpty() && blank(line.back()))
        line.chop(1);
    return line;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Up to `maxDigits` decimal digits at `at`; moves `at` past them.
std::optional<int> digitsAt(QByteArrayView text, qsizetype& at, int maxDigits)
{
    int value = 0;
    int count = 0;
    while (at < text.size() && isDigit(text[at])) {
        if (++count > maxDigits)
            return std::nullopt;
        value = value * 10 + (text[at] - '0');
        ++at;
    }
    return count > 0 ? std::optional<int>(value) : std::nullopt;
}

// The release numbers after "ver." or "version": "ver. 0.53.04" -> 0, 53, 4.
std::optional<std::array<int, 3>> releaseIn(QByteArrayView text)
{
    const QByteArray lower = text.toByteArray().toLower();
    for (const char* word : {"version", "ver."}) {
        qsizetype at = lower.indexOf(word);
        if (at < 0)
            continue;
        at += static_cast<qsizetype>(std::char_traits<char>::length(word));
        while (at < lower.size() && lower[at] == ' ')
            ++at;
        std::array<int, 3> numbers{};
        for (std::size_t k = 0; k < numbers.size(); ++k) {
            const auto n = digitsAt(lower, at, 6);
            if (!n)
                return k == 0 ? std::nullopt : std::optional(numbers);
            numbers[k] = *n;
            if (at >= lower.size() || lower[at] != '.' || at + 1 >= lower.size() ||
                !isDigit(lower[at + 1]))
                return numbers;
            ++at;
        }
        return numbers;
    }
    return std::nullopt;
}

} // namespace

ControllerMessage controllerMessage(QByteArrayView line)
{
    const QByteArrayView text = trimmed(line);
    // AR488.ino, errorMsg() and the handlers (0.53.04); errBadCmd() (0.51.09); the verbose texts
    // of a refused ++addr in both.
    static constexpr const char* kRefusals[] = {
        "Unrecognized command",
        "Invalid parameter",
        "Missing parameter",
        "Transmit failed!",
        "EEPROM not supported.",
        "Cannot address the controller!",
        "That is my address! Address of a remote device is required.",
        "Invalid parameter - ignored!",
    };
    for (const char* refusal : kRefusals)
        if (text == QByteArrayView(refusal))
            return ControllerMessage::Refusal;
    if (text == QByteArrayView("AR488 ready (controller).") ||
        text == QByteArrayView("AR488 ready (device)."))
        return ControllerMessage::Banner;
    if (text == QByteArrayView("Read^OK") || text == QByteArrayView("Send^OK") ||
        text == QByteArrayView("AR488~RDY"))
        return ControllerMessage::Handshake;
    return ControllerMessage::None;
}

std::optional<ControllerIdentity> versionAnswer(QByteArrayView line)
{
    QByteArrayView text = trimmed(line);
    // With handshake flag 1, AR488 0.53 prints "AR488~RDY" at start-up without a line end, so it
    // heads the next line.
    while (text.startsWith(QByteArrayView("AR488~RDY")))
        text = trimmed(text.sliced(9));
    if (text.isEmpty() || text.startsWith(QByteArrayView("++")) ||
        controllerMessage(text) != ControllerMessage::None)
        return std::nullopt;
    const QByteArray lower = text.toByteArray().toLower();
    ControllerIdentity identity;
    qsizetype from = 0;
    if (const qsizetype at = lower.indexOf("prologix"); at >= 0) {
        identity.family = Family::Prologix;
        from = at;
    } else if (const qsizetype ar = lower.indexOf("ar488"); ar >= 0) {
        identity.family = Family::Ar488;
        from = ar;
    } else if (!lower.contains("gpib")) {
        return std::nullopt;
    }
    identity.text = text.sliced(from).toByteArray();
    identity.release = releaseIn(identity.text);
    return identity;
}

std::optional<AddressAnswer> addressAnswer(QByteArrayView line)
{
    const QByteArrayView text = trimmed(line);
    qsizetype at = 0;
    const auto primary = digitsAt(text, at, 2);
    if (!primary || *primary > 30)
        return std::nullopt;
    AddressAnswer answer{*primary, 0};
    if (at == text.size())
        return answer;
    // "25 108", "25,108", "25, 108"
    bool separated = false;
    while (at < text.size() && (text[at] == ' ' || text[at] == ',')) {
        separated = true;
        ++at;
    }
    const auto secondary = digitsAt(text, at, 3);
    if (!separated || !secondary || at != text.size() || *secondary < 0x60 || *secondary > 0x7E)
        return std::nullopt;
    answer.secondary = *secondary;
    return answer;
}

ReadOutput readOutput(QByteArrayView bytes, char eot)
{
    ReadOutput out;
    QByteArrayView rest = bytes;

    // After the EOT character only whole handshake lines of the controller may follow.
    QList<QByteArray> trailing;
    QByteArrayView body = rest;
    while (!body.isEmpty() && body.back() == '\n') {
        const qsizetype previousEnd = body.sliced(0, body.size() - 1).lastIndexOf('\n');
        const qsizetype eotAt = body.sliced(0, body.size() - 1).lastIndexOf(eot);
        const qsizetype start = std::max(previousEnd, eotAt) + 1;
        const QByteArrayView line = body.sliced(start);
        if (controllerMessage(line) != ControllerMessage::Handshake)
            break;
        trailing.prepend(trimmed(line).toByteArray());
        body = body.sliced(0, start);
    }
    if (!body.isEmpty() && body.back() == eot) {
        out.endedWithEoi = true;
        rest = body.sliced(0, body.size() - 1);
    } else {
        trailing.clear();
    }

    // Before the data: whole lines of the controller's that a command left behind.
    while (true) {
        const qsizetype lf = rest.indexOf('\n');
        if (lf < 0)
            break;
        const QByteArrayView line = rest.sliced(0, lf + 1);
        const ControllerMessage kind = controllerMessage(line);
        if (kind != ControllerMessage::Refusal && kind != ControllerMessage::Handshake)
            break;
        out.controllerLines << trimmed(line).toByteArray();
        rest = rest.sliced(lf + 1);
    }
    out.controllerLines << trailing;
    out.data = rest.toByteArray();
    return out;
}

std::optional<QByteArray> LineReader::next()
{
    const qsizetype lf = m_buffer.indexOf('\n');
    if (lf < 0)
        return std::nullopt;
    QByteArray line = m_buffer.left(lf);
    m_buffer.remove(0, lf + 1);
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
}

} // namespace gpibconfig::prologix
