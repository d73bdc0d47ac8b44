// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary bytes as a message to one unit of the bench, through its board as the program drives
// it: interface clear, optionally a group execute trigger, Send with the given end mode, then a
// Receive into the program's 18-byte buffer. Whatever the message did, the unit must then still
// answer every query of its family with a line feed inside 18 bytes, without error bits, with a
// value it takes back unchanged.
//
// Input: unit (first byte: model, and channel of a four-channel unit), flags (second byte: end
// mode, termination, trigger, short or long headers), then the message bytes.
#include "FuzzSupport.h"
#include "gpib/Driver.h"
#include "sim/Bench.h"
#include "sim/Catalogue.h"
#include "sim/Scpi.h"
#include "sim/Unit.h"

#include <cstdlib>
#include <memory>
#include <vector>

namespace {

using namespace gpibconfig;
using namespace gpibconfig::sim;
using gpibconfig::fuzz::show;

constexpr long kReplyBuffer = 18;

struct Reply {
    std::string data;
    long ibsta = 0;
    long iberr = 0;
    bool failed() const { return (ibsta & sta::ERR) != 0; }
    bool ended() const { return (ibsta & sta::END) != 0; }
};

class Session {
public:
    Session(const ModelSpec& model, std::size_t channel, std::string_view input)
        : m_model(model)
        , m_channel(channel)
        , m_input(input)
    {
        m_bench.addUnit(model.name, kSwitchAddress);
        findUnit();
    }

    Driver& driver() { return m_bench.driver(); }
    UnitView unit() const { return m_bench.unit(0); }
    std::size_t channel() const { return m_channel; }

    Addr4882 address() const { return m_address; }
    // Where the unit answers now: only a message can move it.
    void findUnit()
    {
        const UnitView v = unit();
        const int secondary = v.channels[m_channel].secondary;
        m_address =
            static_cast<Addr4882>(v.primary | (secondary < 0 ? 0 : (0x60 + secondary) << 8));
    }

    void send(std::string_view bytes, int eotMode)
    {
        const DriverStatus sent =
            driver().Send(0, address(), reinterpret_cast<const std::uint8_t*>(bytes.data()),
                          static_cast<long>(bytes.size()), eotMode);
        const long expected = static_cast<long>(bytes.size()) + (eotMode == eot::NLend ? 1 : 0);
        check(!sent.failed() && sent.ibcntl == expected, [&] {
            return "Send(" + show(bytes) + ") to the unit's own address failed or miscounted";
        });
    }

    // A Receive into a buffer of exactly the program's size, so that any write past it is caught.
    Reply receive(int termination)
    {
        const auto buffer = std::make_unique<std::uint8_t[]>(kReplyBuffer);
        const DriverStatus status =
            driver().Receive(0, address(), buffer.get(), kReplyBuffer, termination);
        Reply r;
        r.ibsta = status.ibsta;
        r.iberr = status.iberr;
        const long count = status.ibcntl;
        check(count >= 0 && count <= kReplyBuffer, [&] {
            return "Receive reported " + std::to_string(count) + " bytes for an 18-byte buffer";
        });
        r.data.assign(reinterpret_cast<const char*>(buffer.get()), static_cast<std::size_t>(count));
        check(!r.failed() || (r.iberr == err::EABO && (r.ibsta & sta::TIMO)), [&] {
            return "Receive failed other than by time-out: iberr " + std::to_string(r.iberr);
        });
        return r;
    }

    // A complete reply is one line, line feed included, that fit the buffer.
    void checkWholeLine(const Reply& r, const std::string& what)
    {
        check(!r.failed() && r.ended() && !r.data.empty() && r.data.back() == '\n' &&
                  r.data.find('\n') == r.data.size() - 1,
              [&] {
                  return what + ": the reply " + show(r.data) +
                         (r.failed() ? " timed out" : " is not one line ended by its line feed");
              });
    }

    int esr()
    {
        send("*ESR?", eot::NLend);
        const Reply r = receive(0);
        checkWholeLine(r, "*ESR?");
        char* end = nullptr;
        const long value = std::strtol(r.data.c_str(), &end, 10);
        check(*end == '\n' && value >= 0 && value <= 255,
              [&] { return "*ESR? answered " + show(r.data); });
        return static_cast<int>(value);
    }

    // `what` describes the failure; it is only built when there is one.
    template <typename Describe> void check(bool ok, Describe&& what)
    {
        if (ok)
            return;
        const std::string text = what();
        FUZZ_CHECK(ok, "%s (unit %s, channel %zu, input %s)\nbus trace:\n%s", text.c_str(),
                   std::string(m_model.name).c_str(), m_channel, show(m_input).c_str(),
                   m_bench.trace().text().c_str());
    }

private:
    static constexpr int kSwitchAddress = 9;
    const ModelSpec& m_model;
    std::size_t m_channel;
    std::string_view m_input;
    Bench m_bench;
    Addr4882 m_address = 0;
};

std::string headerText(std::string_view header, bool shortForms)
{
    if (!shortForms)
        return std::string(header);
    std::string out;
    std::size_t start = 0;
    while (true) {
        const std::size_t colon = header.find(':', start);
        out += scpi::shortForm(header.substr(start, colon - start));
        if (colon == std::string_view::npos)
            return out;
        out += ':';
        start = colon + 1;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    const auto models = allModels();
    const ModelSpec& model = models[data[0] % models.size()];
    const std::size_t channels = static_cast<std::size_t>(std::max(model.family->channels, 1));
    const std::size_t channel = (data[0] / models.size()) % channels;
    const int flags = data[1];
    const int eotMode = (flags & 3) == 3 ? eot::NLend : (flags & 3);
    const int termination = (flags & 4) ? '\n' : 0;
    const bool trigger = (flags & 8) != 0;
    const bool shortForms = (flags & 16) != 0;
    const std::string_view message(reinterpret_cast<const char*>(data + 2), size - 2);

    Session s(model, channel, std::string_view(reinterpret_cast<const char*>(data), size));
    s.driver().SendIFC(0);
    s.driver().ibtmo(0, 11);
    if (trigger) {
        const Addr4882 a = s.address();
        std::vector<std::uint8_t> get = {0x3F, static_cast<std::uint8_t>(0x20 | (a & 0xFF))};
        if (a >> 8)
            get.push_back(static_cast<std::uint8_t>(a >> 8));
        get.push_back(0x08);
        s.driver().SendCmds(0, get.data(), static_cast<long>(get.size()));
    }

    s.send(message, eotMode);
    s.findUnit();
    // Whatever it was, the answer (if any) is one line within the buffer.
    const Reply first = s.receive(termination);
    if (!first.failed() && !first.data.empty() && termination == 0)
        s.checkWholeLine(first, "the message's reply");
    if (eotMode == eot::NULLend) {
        // The message may still wait for its end; finish it so the queries below stand alone.
        s.send("", eot::NLend);
        s.findUnit();
    }
    s.esr();

    // Every setting of the family, queried where the unit now answers.
    const UnitView before = s.unit();
    const bool configurable = !before.needsTrigger || before.triggered;
    const Family& family = *model.family;
    std::vector<std::string> answers(family.rows.size());
    for (std::size_t row = 0; row < family.rows.size(); ++row) {
        const SettingRow& setting = family.rows[row];
        const std::string header = headerText(setting.header, shortForms);
        s.send(header + "?", eot::NLend);
        const Reply r = s.receive(0);
        if (!configurable) {
            s.check(r.failed() && r.data.empty(), [&] {
                return header + "? was answered before the unit's trigger: " + show(r.data);
            });
            continue;
        }
        s.checkWholeLine(r, header + "?");
        answers[row] = r.data.substr(0, r.data.size() - 1);
        const std::string& set = before.channels[s.channel()].settings[row].second;
        if (setting.rule.kind == ValueKind::Address) {
            const bool onSwitches = set == "31";
            s.check(answers[row] == (onSwitches ? std::to_string(32 + before.switchAddress) : set),
                    [&] {
                        return header + "? answered " + show(answers[row]) +
                               " for the address set to " + set;
                    });
        } else {
            s.check(answers[row] == set, [&] {
                return header + "? answered " + show(answers[row]) + " for a setting of " +
                       show(set);
            });
        }
    }
    s.check(s.esr() == 0,
            [&] { return "the unit flagged an error for queries of its own settings"; });

    // Sending each answer back as the setting changes nothing and raises no error (the address
    // is left alone: its answer on the switches is 32 + switch address, not a setting).
    if (configurable && !before.locked) {
        for (std::size_t row = 0; row < family.rows.size(); ++row) {
            if (family.rows[row].rule.kind == ValueKind::Address)
                continue;
            s.send(headerText(family.rows[row].header, shortForms) + " " + answers[row],
                   eot::NLend);
        }
        s.check(s.esr() == 0,
                [&] { return "the unit refused one of its own answers as a setting"; });
        const UnitView after = s.unit();
        s.check(after.channels[s.channel()].settings == before.channels[s.channel()].settings,
                [&] { return "the unit's settings changed when given their own answers"; });
    }
    return 0;
}
