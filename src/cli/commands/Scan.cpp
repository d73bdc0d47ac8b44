// SPDX-License-Identifier: GPL-3.0-or-later
// scan: the units on the bus, found by the board or by asking every address for *IDN?.
#include "Commands.h"
#include "cli/Invocation.h"
#include "cli/Json.h"
#include "gpib/StatusReport.h"
#include "models/Models.h"

#include <algorithm>

namespace gpibconfig::cli::command {

namespace {

// Time-out code of a probe for a listener where the driver cannot find them itself: 100 ms.
constexpr std::int16_t kProbeTimeout = 9;
// The window's time-out: one second.
constexpr std::int16_t kRunTimeout = 11;

// The rows whose channels a scan looks for: of the multi-channel rows whose channels start at
// the same secondary address, the one with the most.
std::vector<const Model*> channelRows()
{
    std::vector<const Model*> rows;
    for (const Model& m : gpibconfig::models()) {
        if (!m.multiChannel())
            continue;
        const auto same = std::find_if(rows.begin(), rows.end(), [&m](const Model* r) {
            return r->secondaryBase == m.secondaryBase;
        });
        if (same == rows.end())
            rows.push_back(&m);
        else if (m.channelCount > (*same)->channelCount)
            *same = &m;
    }
    return rows;
}

Result run(Invocation& cli)
{
    if (const auto opened = cli.openBus(); !opened)
        return opened.stop();
    GPIB32& gpib = cli.gpib();
    const std::int16_t board = cli.board();
    if (const auto failure = UnitSession::prepareBoard(gpib, board))
        return cli.busFailure(*failure);

    struct Found {
        std::int16_t word;
        std::optional<QString> idn;
    };
    std::vector<Found> found;
    bool searchedSecondaries = true;
    std::vector<std::int16_t> primaries;
    for (std::int16_t pad = 0; pad <= 30; ++pad)
        primaries.push_back(pad);

    if (gpib.canFindListeners()) {
        std::vector<std::int16_t> words;
        if (const GpibStatus s = gpib.FindLstn(board, primaries, words, 31 * 32); s.failed())
            return cli.busFailure({QStringLiteral("FindLstn Error"), s});
        for (const std::int16_t word : words)
            found.push_back({word, std::nullopt});
    } else {
        // Without the board's own search, a listener shows itself by answering *IDN? (which
        // IEEE 488.2 makes every device answer) within a short time-out. A channel of a
        // multi-channel unit answers only at its secondary address: where the primary is silent,
        // the first channel's secondary is tried, and the others once it answers.
        const std::vector<const Model*> withChannels = channelRows();
        if (const GpibStatus s = gpib.ibtmo(board, kProbeTimeout); s.failed())
            return cli.busFailure({QStringLiteral("ibtmo Error"), s});
        // Nothing is there when nobody listens (ENOL), the query times out, or the controller
        // cannot reach the address at all (EARG: an AR488 board's own address 0). One that
        // cannot reach secondary addresses says so once and the scan goes on with the primary
        // ones, and the scan ends in a failure after listing what it found; any other failure
        // (the controller gone) ends the scan at once.
        bool& secondaries = searchedSecondaries;
        const auto nothingThere = [&cli, &secondaries](std::int16_t word, const GpibStatus& s) {
            if (s.iberr == err::ENOL || s.iberr == err::EARG || (s.ibsta & sta::TIMO))
                return true;
            if (s.iberr == err::ECAP && (word >> 8) != 0) {
                const QString hint = cli.driver().explainFailure(s.ibsta, s.iberr, s.ibcntl);
                if (secondaries)
                    cli.warn(hint.isEmpty() ? formatStatusReport(QStringLiteral("Send IDN Error"),
                                                                 s.ibsta, s.iberr, s.ibcntl)
                                            : hint);
                secondaries = false;
                return true;
            }
            return false;
        };
        // The *IDN? answer at `word`; none where nothing is there.
        const auto probe = [&](std::int16_t word) -> Step<std::optional<QString>> {
            const Identification idn = cli.askIdentification(word);
            if (idn.failure) {
                if (nothingThere(word, idn.failure->status))
                    return std::optional<QString>();
                return cli.busFailure(*idn.failure);
            }
            if (!idn.answered)
                return std::optional<QString>();
            return std::optional(idn.text);
        };
        for (const std::int16_t pad : primaries) {
            cli.progress(QStringLiteral("scan, address"), pad + 1, 31);
            const auto idn = probe(pad);
            if (!idn)
                return idn.stop();
            if (*idn) {
                found.push_back({pad, *idn});
                continue;
            }
            for (const Model* row : withChannels) {
                for (int channel = 1; channel <= row->channelCount && secondaries; ++channel) {
                    const auto word = UnitAddress::wordOf(pad, row->secondaryOf(channel).value());
                    const auto answer = probe(word);
                    if (!answer)
                        return answer.stop();
                    if (!*answer)
                        break;
                    found.push_back({word, *answer});
                }
            }
        }
        cli.clearProgress();
        if (const GpibStatus s = gpib.ibtmo(board, kRunTimeout); s.failed())
            return cli.busFailure({QStringLiteral("ibtmo Error"), s});
    }

    Json list = Json::array();
    QString text = QStringLiteral("address  secondary  entry  *IDN?\n");
    for (std::size_t i = 0; i < found.size(); ++i) {
        Found& unit = found[i];
        if (!unit.idn) {
            cli.progress(QStringLiteral("scan, identifying unit"), static_cast<int>(i + 1),
                         static_cast<int>(found.size()));
            // A listener that does not answer is listed all the same.
            if (const Identification idn = cli.askIdentification(unit.word); !idn.failure)
                unit.idn = idn.text;
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
    cli.clearProgress();
    if (cli.options().json) {
        Json doc = Json::object();
        doc.insert(QStringLiteral("units"), std::move(list));
        cli.out(doc.toText());
    } else {
        cli.out(text);
    }
    // The list is shown, but it is not the whole bus: a script must not take it for one.
    if (!searchedSecondaries)
        return Stop{kExitBusFailure};
    return Outcome::Done;
}

} // namespace

constexpr Command scan{
    .name = "scan",
    .synopsis = "",
    .help = "the units on the bus: address (and secondary), *IDN? answer,\n"
            "matching entry",
    .options = {},
    .talksToUnit = false,
    .run = run,
};

} // namespace gpibconfig::cli::command
