// SPDX-License-Identifier: GPL-3.0-or-later
// The client's XDR, record marking, call and reply forms and the core channel's types, against
// byte strings written out by hand from RFC 4506 (XDR), RFC 5531 (ONC RPC, record marking) and
// the VXI-11 procedure definitions: big-endian 32-bit words, opaque data padded with zeros to a
// multiple of four, a call's header of xid, CALL (0), RPC version 2, program, version, procedure
// and two empty AUTH_NONE (0) structures.
#include "vxi11/Rpc.h"
#include "vxi11/Vxi11.h"
#include "vxi11/Xdr.h"

#include <functional>
#include <gtest/gtest.h>

using namespace gpibconfig::vxi11;

namespace {

// Hex digits with blanks between words for reading; fromHex skips the blanks.
QByteArray hex(const char* digits) { return QByteArray::fromHex(digits); }

struct EncodeCase {
    const char* name;
    std::function<QByteArray()> encode;
    const char* expected;
};

const EncodeCase kEncodeCases[] = {
    {"u32", [] { return XdrWriter().u32(0x01020304).bytes(); }, "01020304"},
    {"negative_int", [] { return XdrWriter().i32(-2).bytes(); }, "fffffffe"},
    {"booleans", [] { return XdrWriter().boolean(true).boolean(false).bytes(); },
     "00000001 00000000"},
    {"opaque_padded", [] { return XdrWriter().opaque("abc").bytes(); }, "00000003 61626300"},
    {"opaque_whole_words", [] { return XdrWriter().opaque("abcd").bytes(); }, "00000004 61626364"},
    {"opaque_five", [] { return XdrWriter().opaque("abcde").bytes(); },
     "00000005 61626364 65000000"},
    {"opaque_empty", [] { return XdrWriter().opaque({}).bytes(); }, "00000000"},
    {"record_one_fragment", [] { return markRecord("abc"); }, "80000003 616263"},
    {"record_empty", [] { return markRecord({}); }, "80000000"},
    {"record_in_fragments", [] { return markRecord("abcdef", 4); },
     "00000004 61626364 80000002 6566"},
    {"call_getport",
     [] {
         return encodeCall(0x11223344, kPortmapProgram, kPortmapVersion, kPortmapGetPort,
                           encodeGetPort(kCoreProgram, kCoreVersion, kIpProtoTcp));
     },
     "11223344 00000000 00000002 000186a0 00000002 00000003 00000000 00000000 00000000 00000000"
     " 000607af 00000001 00000006 00000000"},
    {"create_link",
     [] {
         return CreateLinkParms{7, false, 10000, "gpib0,15"}.encode();
     },
     "00000007 00000000 00002710 00000008 6770696230 2c3135"},
    {"create_link_locked",
     [] {
         return CreateLinkParms{-1, true, 0, "gpib0"}.encode();
     },
     "ffffffff 00000001 00000000 00000005 6770696230 000000"},
    {"device_write",
     [] {
         return DeviceWriteParms{1, 2000, 0, flag::End, "*IDN?\n"}.encode();
     },
     "00000001 000007d0 00000000 00000008 00000006 2a49444e3f0a 0000"},
    {"device_read",
     [] { return DeviceReadParms{1, 16384, 2000, 0, flag::TermCharSet, '\n'}.encode(); },
     "00000001 00004000 000007d0 00000000 00000080 0000000a"},
    {"device_read_high_termchar",
     [] { return DeviceReadParms{2, 1, 0, 0, flag::TermCharSet, '\xff'}.encode(); },
     "00000002 00000001 00000000 00000000 00000080 000000ff"},
    {"device_generic",
     [] {
         return DeviceGenericParms{1, flag::WaitLock, 500, 2000}.encode();
     },
     "00000001 00000001 000001f4 000007d0"},
    {"device_lock",
     [] {
         return DeviceLockParms{3, flag::WaitLock, 1000}.encode();
     },
     "00000003 00000001 000003e8"},
    {"device_docmd_bus_status",
     [] {
         return DeviceDocmdParms{4, 0, 1000, 0, docmd::BusStatus, true, 2, QByteArray("\0\5", 2)}
             .encode();
     },
     "00000004 00000000 000003e8 00000000 00020001 00000001 00000002 00000002 00050000"},
    {"device_enable_srq",
     [] {
         return DeviceEnableSrqParms{1, true, "h"}.encode();
     },
     "00000001 00000001 00000001 68000000"},
    {"create_intr_chan",
     [] {
         return DeviceRemoteFunc{0x7f000001, 5000, kInterruptProgram, 1, 0}.encode();
     },
     "7f000001 00001388 000607b1 00000001 00000000"},
    {"link_alone", [] { return encodeLink(9); }, "00000009"},
};

class Encode : public testing::TestWithParam<EncodeCase> {};

TEST_P(Encode, MatchesTheWireForm)
{
    EXPECT_EQ(GetParam().encode().toHex(' '), hex(GetParam().expected).toHex(' '));
}

INSTANTIATE_TEST_SUITE_P(Vxi11, Encode, testing::ValuesIn(kEncodeCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Replies: the header every one shares, then what its status adds.
constexpr const char* kXid = "11223344 00000001 ";
constexpr const char* kAcceptedNoVerifier = "00000000 00000000 00000000 ";

struct ReplyCase {
    const char* name;
    QByteArray bytes;
    Reply::Status status;
    quint32 low = 0, high = 0, auth = 0;
    const char* results = "";
};

const ReplyCase kReplyCases[] = {
    {"success", hex(kXid) + hex(kAcceptedNoVerifier) + hex("00000000 0000002a"),
     Reply::Status::Success, 0, 0, 0, "0000002a"},
    {"success_with_a_verifier_body",
     hex(kXid) + hex("00000000 00000001 00000005 0102030405000000 00000000 0000002a"),
     Reply::Status::Success, 0, 0, 0, "0000002a"},
    {"success_without_results", hex(kXid) + hex(kAcceptedNoVerifier) + hex("00000000"),
     Reply::Status::Success},
    {"program_unavailable", hex(kXid) + hex(kAcceptedNoVerifier) + hex("00000001"),
     Reply::Status::ProgramUnavailable},
    {"program_mismatch", hex(kXid) + hex(kAcceptedNoVerifier) + hex("00000002 00000001 00000003"),
     Reply::Status::ProgramMismatch, 1, 3},
    {"procedure_unavailable", hex(kXid) + hex(kAcceptedNoVerifier) + hex("00000003"),
     Reply::Status::ProcedureUnavailable},
    {"garbage_arguments", hex(kXid) + hex(kAcceptedNoVerifier) + hex("00000004"),
     Reply::Status::GarbageArguments},
    {"system_error", hex(kXid) + hex(kAcceptedNoVerifier) + hex("00000005"),
     Reply::Status::SystemError},
    {"rpc_mismatch", hex(kXid) + hex("00000001 00000000 00000002 00000002"),
     Reply::Status::RpcMismatch, 2, 2},
    {"auth_error_bad_credentials", hex(kXid) + hex("00000001 00000001 00000001"),
     Reply::Status::AuthError, 0, 0, 1},
    {"a_call",
     hex("11223344 00000000 00000002 000607af 00000001 0000000a 00000000 00000000"
         " 00000000 00000000"),
     Reply::Status::NotAReply},
    {"only_an_xid", hex("11223344"), Reply::Status::Malformed},
    {"unknown_message_type", hex("11223344 00000002 00000000"), Reply::Status::Malformed},
    {"unknown_reply_status", hex(kXid) + hex("00000002"), Reply::Status::Malformed},
    {"unknown_accept_status", hex(kXid) + hex(kAcceptedNoVerifier) + hex("00000006"),
     Reply::Status::Malformed},
    {"mismatch_without_high", hex(kXid) + hex(kAcceptedNoVerifier) + hex("00000002 00000001"),
     Reply::Status::Malformed},
    {"unknown_reject_status", hex(kXid) + hex("00000001 00000002"), Reply::Status::Malformed},
    {"verifier_over_400_bytes", hex(kXid) + hex("00000000 00000000 00000191"),
     Reply::Status::Malformed},
    {"verifier_longer_than_the_record", hex(kXid) + hex("00000000 00000000 00000008 01020304"),
     Reply::Status::Malformed},
};

class DecodeReply : public testing::TestWithParam<ReplyCase> {};

TEST_P(DecodeReply, SaysWhatTheReplySays)
{
    const ReplyCase& c = GetParam();
    const Reply reply = decodeReply(c.bytes);
    EXPECT_EQ(reply.status, c.status);
    if (c.status != Reply::Status::Malformed) {
        EXPECT_EQ(reply.xid, 0x11223344u);
        EXPECT_EQ(reply.low, c.low);
        EXPECT_EQ(reply.high, c.high);
        EXPECT_EQ(reply.authStatus, c.auth);
        EXPECT_EQ(reply.results.toHex(), hex(c.results).toHex());
    }
    EXPECT_FALSE(describe(reply).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Vxi11, DecodeReply, testing::ValuesIn(kReplyCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Results of the procedures: what each decoder takes and what it refuses.
struct ResultCase {
    const char* name;
    std::function<bool(QByteArrayView)> decodes; // decoded, and to the values written here
    const char* bytes;
    bool ok;
};

const ResultCase kResultCases[] = {
    {"create_link",
     [](QByteArrayView b) {
         const auto r = CreateLinkResp::decode(b);
         return r && r->error == 0 && r->link == 1 && r->abortPort == 0x1234 &&
                r->maxRecvSize == 0x4000;
     },
     "00000000 00000001 00001234 00004000", true},
    {"create_link_port_beyond_16_bits",
     [](QByteArrayView b) { return CreateLinkResp::decode(b).has_value(); },
     "00000000 00000001 00010000 00004000", false},
    {"create_link_trailing_word",
     [](QByteArrayView b) { return CreateLinkResp::decode(b).has_value(); },
     "00000000 00000001 00001234 00004000 00000000", false},
    {"create_link_short", [](QByteArrayView b) { return CreateLinkResp::decode(b).has_value(); },
     "00000000 00000001 00001234", false},
    {"device_write",
     [](QByteArrayView b) {
         const auto r = DeviceWriteResp::decode(b);
         return r && r->error == 0 && r->size == 6;
     },
     "00000000 00000006", true},
    {"device_read_end",
     [](QByteArrayView b) {
         const auto r = DeviceReadResp::decode(b);
         return r && r->error == 0 && r->reason == reason::End && r->data == "abc";
     },
     "00000000 00000004 00000003 61626300", true},
    {"device_read_timeout_empty",
     [](QByteArrayView b) {
         const auto r = DeviceReadResp::decode(b);
         return r && r->error == error::IoTimeout && r->data.isEmpty();
     },
     "0000000f 00000000 00000000", true},
    {"device_read_length_beyond_record",
     [](QByteArrayView b) { return DeviceReadResp::decode(b).has_value(); },
     "00000000 00000004 00000009 61626300", false},
    {"device_read_missing_padding",
     [](QByteArrayView b) { return DeviceReadResp::decode(b).has_value(); },
     "00000000 00000004 00000003 616263", false},
    {"device_read_length_near_4gib",
     [](QByteArrayView b) { return DeviceReadResp::decode(b).has_value(); },
     "00000000 00000004 fffffffd 61626300", false},
    {"readstb",
     [](QByteArrayView b) {
         const auto r = DeviceReadStbResp::decode(b);
         return r && r->error == 0 && r->stb == 0x41;
     },
     "00000000 00000041", true},
    {"readstb_beyond_a_byte",
     [](QByteArrayView b) { return DeviceReadStbResp::decode(b).has_value(); }, "00000000 00000100",
     false},
    {"docmd",
     [](QByteArrayView b) {
         const auto r = DeviceDocmdResp::decode(b);
         return r && r->error == 0 && r->dataOut == QByteArray("\0\1", 2);
     },
     "00000000 00000002 00010000", true},
    {"device_error",
     [](QByteArrayView b) { return decodeDeviceError(b) == error::LockedByAnotherLink; },
     "0000000b", true},
    {"device_error_empty", [](QByteArrayView b) { return decodeDeviceError(b).has_value(); }, "",
     false},
    {"getport", [](QByteArrayView b) { return decodeGetPortResult(b) == quint16{40123}; },
     "00009cbb", true},
    {"getport_beyond_16_bits", [](QByteArrayView b) { return decodeGetPortResult(b).has_value(); },
     "00010000", false},
};

class DecodeResults : public testing::TestWithParam<ResultCase> {};

TEST_P(DecodeResults, TakesOnlyTheProceduresForm)
{
    EXPECT_EQ(GetParam().decodes(hex(GetParam().bytes)), GetParam().ok);
}

INSTANTIATE_TEST_SUITE_P(Vxi11, DecodeResults, testing::ValuesIn(kResultCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Xdr, BooleanOtherThanZeroOrOneFailsTheReader)
{
    const QByteArray bytes = hex("00000002 00000001");
    XdrReader in(bytes);
    in.boolean();
    EXPECT_FALSE(in.ok());
    EXPECT_EQ(in.u32(), 0u); // stays failed
}

// Record reassembly: the stream in pieces as TCP may hand it over.
struct StreamCase {
    const char* name;
    QList<QByteArray> pieces;
    qsizetype limit;
    QList<QByteArray> records;
    bool failed;
};

QList<QByteArray> byteByByte(const QByteArray& bytes)
{
    QList<QByteArray> out;
    for (const char c : bytes)
        out.append(QByteArray(1, c));
    return out;
}

const StreamCase kStreamCases[] = {
    {"whole", {hex("80000003 616263")}, 100, {"abc"}, false},
    {"byte_by_byte", byteByByte(hex("00000002 6162 80000001 63")), 100, {"abc"}, false},
    {"two_records_in_one_piece", {hex("80000001 61 80000002 6263")}, 100, {"a", "bc"}, false},
    {"empty_record", {hex("80000000")}, 100, {""}, false},
    {"incomplete", {hex("80000004 616263")}, 100, {}, false},
    {"fragments_beyond_the_limit", {hex("00000003 616263 80000003 646566")}, 5, {}, true},
    {"a_header_beyond_the_limit", {hex("ffffffff")}, 1024, {}, true},
};

class Records : public testing::TestWithParam<StreamCase> {};

TEST_P(Records, Reassemble)
{
    const StreamCase& c = GetParam();
    RecordReader reader(c.limit);
    for (const QByteArray& piece : c.pieces)
        reader.append(piece);
    QList<QByteArray> records;
    while (const auto record = reader.next())
        records.append(*record);
    EXPECT_EQ(records, c.records);
    EXPECT_EQ(reader.failed(), c.failed);
}

INSTANTIATE_TEST_SUITE_P(Vxi11, Records, testing::ValuesIn(kStreamCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Vxi11, ErrorTextsFollowTheDocuments)
{
    EXPECT_EQ(errorText(error::IoTimeout), QStringLiteral("I/O timeout"));
    EXPECT_EQ(errorText(error::LockedByAnotherLink),
              QStringLiteral("device locked by another link"));
    EXPECT_EQ(errorText(42), QStringLiteral("error 42"));
}

} // namespace
