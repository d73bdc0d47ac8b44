// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <array>
#include <optional>
#include <utility>

// How the driver reads what a "++" controller prints: its own lines (refusals, banners, answers to
// ++ver and ++addr) and the output of one ++read. Pure functions of the bytes, so that they are
// fuzzed without a transport (fuzz/fuzz_controller_text.cpp) and the driver's decisions about
// what is the controller's and what is a unit's can be checked on their own.
namespace gpibconfig::prologix {

enum class Family {
    Unknown,  // answers ++ver with something that names GPIB, but neither Prologix nor AR488
    Prologix, // Prologix GPIB-USB or GPIB-ETHERNET
    Ar488,    // an AR488 board (its "++ver real" names AR488 whatever ++id verstr says)
};

// What the controller prints of its own accord or for a refused command; never data from the bus.
enum class ControllerMessage {
    None,      // not one of them
    Refusal,   // a command was refused ("Invalid parameter", "Unrecognized command", ...)
    Banner,    // the start-up line of an AR488 built with SAY_HELLO
    Handshake, // the optional handshake flags of AR488 0.53 ("Read^OK", "Send^OK", "AR488~RDY")
};

// The line (without its CR LF) as one of the controller's own texts, matched exactly: AR488
// 0.53.04 prints "Unrecognized command", "Invalid parameter", "Missing parameter", "Transmit
// failed!" and "EEPROM not supported." (with ++verbose also "Cannot address the controller!"),
// 0.51.09 "Unrecognized command" for every refusal.
ControllerMessage controllerMessage(QByteArrayView line);

struct ControllerIdentity {
    Family family = Family::Unknown;
    // The answer from the controller's name on ("Prologix GPIB-USB Controller version 6.107",
    // "AR488 GPIB controller, ver. 0.53.04, 13/04/2025"), without bytes that came before it.
    QByteArray text;
    // The numbers after "ver." or "version" (6.107 -> 6, 107, 0), when there are any.
    std::optional<std::array<int, 3>> release;
};

// A line as an answer to ++ver: one that names Prologix, AR488 (not its start-up banner) or GPIB
// (what ++id verstr is meant to hold). nullopt for anything else, an echoed command included.
std::optional<ControllerIdentity> versionAnswer(QByteArrayView line);

struct AddressAnswer {
    int primary = 0;   // 0-30
    int secondary = 0; // 0x60-0x7E as on the bus, 0 for none
    bool operator==(const AddressAnswer&) const = default;
};

// A line as an answer to a bare ++addr: "5", "25 108" (Prologix) or "25,108" (AR488 0.53); the
// secondary address as the controllers print it, 96 to 126.
std::optional<AddressAnswer> addressAnswer(QByteArrayView line);

struct ReadOutput {
    QByteArray data;                   // the unit's bytes
    bool endedWithEoi = false;         // the EOT character closed them: the talker sent EOI
    QList<QByteArray> controllerLines; // the controller's own lines found around them, dropped
};

// The bytes one ++read brought, with `eot` as the ++eot_char the controller appends when the
// talker sent EOI. Whole refusal or handshake lines before the data and handshake lines after the
// EOT character are the controller's and are set apart; the rest is the unit's.
ReadOutput readOutput(QByteArrayView bytes, char eot);

// Splits the controller's output into lines at LF, a CR before it dropped.
class LineReader {
public:
    void append(QByteArrayView bytes) { m_buffer.append(bytes); }
    std::optional<QByteArray> next();
    // What came after the last whole line, taken out.
    QByteArray takeRest() { return std::exchange(m_buffer, QByteArray()); }
    bool isEmpty() const { return m_buffer.isEmpty(); }

private:
    QByteArray m_buffer;
};

} // namespace gpibconfig::prologix
