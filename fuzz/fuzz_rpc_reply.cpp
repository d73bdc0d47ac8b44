// SPDX-License-Identifier: GPL-3.0-or-later
// Whatever a gateway (or anything listening on its port) sends back, through the VXI-11 client's
// readers: record reassembly in pieces, the reply decoder, and the decoder of every procedure's
// results. The promises: reassembly holds no more than its limit and gives back no more than
// came; a decoded reply's xid is its first word and its results are the tail of the message; a
// decoder that takes results reads all of them, every value in the protocol's range.
#include "FuzzSupport.h"
#include "vxi11/Rpc.h"
#include "vxi11/Vxi11.h"

using namespace gpibconfig::vxi11;
using gpibconfig::fuzz::show;

namespace {

constexpr qsizetype kLimit = 4096;

std::string text(QByteArrayView bytes)
{
    return show(std::string_view(bytes.data(), static_cast<std::size_t>(bytes.size())));
}

// The XDR size of an opaque<> of `n` bytes.
qsizetype opaqueSize(qsizetype n) { return 4 + (n + 3) / 4 * 4; }

void checkResults(QByteArrayView results)
{
    if (const auto r = CreateLinkResp::decode(results))
        FUZZ_CHECK(results.size() == 16, "create_link results of %lld bytes taken",
                   static_cast<long long>(results.size()));
    if (const auto r = DeviceWriteResp::decode(results))
        FUZZ_CHECK(results.size() == 8, "device_write results of %lld bytes taken",
                   static_cast<long long>(results.size()));
    if (const auto r = DeviceReadResp::decode(results))
        FUZZ_CHECK(results.size() == 8 + opaqueSize(r->data.size()) && r->data.size() <= kMaxData,
                   "device_read results %s read as %lld data bytes", text(results).c_str(),
                   static_cast<long long>(r->data.size()));
    if (const auto r = DeviceDocmdResp::decode(results))
        FUZZ_CHECK(results.size() == 4 + opaqueSize(r->dataOut.size()),
                   "device_docmd results %s read as %lld bytes", text(results).c_str(),
                   static_cast<long long>(r->dataOut.size()));
    if (const auto r = DeviceReadStbResp::decode(results))
        FUZZ_CHECK(results.size() == 8, "device_readstb results of %lld bytes taken",
                   static_cast<long long>(results.size()));
    if (const auto r = decodeDeviceError(results))
        FUZZ_CHECK(results.size() == 4, "an error code of %lld bytes",
                   static_cast<long long>(results.size()));
    (void)decodeGetPortResult(results);
}

void checkReply(QByteArrayView message)
{
    const Reply reply = decodeReply(message);
    if (reply.status == Reply::Status::Malformed) {
        FUZZ_CHECK(!describe(reply).isEmpty(), "no words for a malformed reply");
        return;
    }
    FUZZ_CHECK(message.size() >= 8, "a reply decoded from %s", text(message).c_str());
    const auto* p = reinterpret_cast<const unsigned char*>(message.data());
    const quint32 first = quint32{p[0]} << 24 | quint32{p[1]} << 16 | quint32{p[2]} << 8 | p[3];
    FUZZ_CHECK(reply.xid == first, "xid %u is not the first word of %s", reply.xid,
               text(message).c_str());
    if (reply.status == Reply::Status::Success) {
        FUZZ_CHECK(message.endsWith(reply.results) && reply.results.size() <= message.size() - 24,
                   "results %s are not the tail of %s", text(reply.results).c_str(),
                   text(message).c_str());
        checkResults(reply.results);
    } else {
        FUZZ_CHECK(reply.results.isEmpty(), "results with a refusal in %s", text(message).c_str());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    // As a message on its own, and its tail as the results of each procedure.
    checkReply(bytes);
    checkResults(bytes);

    // As a stream, in two pieces split where the first byte says.
    RecordReader reader(kLimit);
    const qsizetype cut = size > 0 ? data[0] % (bytes.size() + 1) : 0;
    reader.append(bytes.first(cut));
    qsizetype total = 0;
    const auto drain = [&] {
        while (const auto record = reader.next()) {
            FUZZ_CHECK(record->size() <= kLimit, "a record of %lld bytes past the limit",
                       static_cast<long long>(record->size()));
            total += record->size();
            checkReply(*record);
        }
    };
    drain();
    reader.append(bytes.sliced(cut));
    drain();
    FUZZ_CHECK(total + reader.pending() <= bytes.size(), "more bytes out (%lld) than in (%lld)",
               static_cast<long long>(total + reader.pending()),
               static_cast<long long>(bytes.size()));
    FUZZ_CHECK(!reader.failed() || reader.pending() == 0, "a failed reader still holds bytes");
    return 0;
}
