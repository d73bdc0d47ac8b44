// SPDX-License-Identifier: GPL-3.0-or-later
#include "Vxi11.h"

#include "Xdr.h"

namespace gpibconfig::vxi11 {

namespace {

// A decoder's result when every byte was read and nothing was missing.
template <typename T> std::optional<T> whole(const XdrReader& in, T value)
{
    if (!in.complete())
        return std::nullopt;
    return value;
}

} // namespace

QString errorText(qint32 code)
{
    switch (code) {
    case error::None:
        return QStringLiteral("no error");
    case error::Syntax:
        return QStringLiteral("syntax error");
    case error::DeviceNotAccessible:
        return QStringLiteral("device not accessible");
    case error::InvalidLink:
        return QStringLiteral("invalid link identifier");
    case error::Parameter:
        return QStringLiteral("parameter error");
    case error::ChannelNotEstablished:
        return QStringLiteral("channel not established");
    case error::NotSupported:
        return QStringLiteral("operation not supported");
    case error::OutOfResources:
        return QStringLiteral("out of resources");
    case error::LockedByAnotherLink:
        return QStringLiteral("device locked by another link");
    case error::NoLockHeld:
        return QStringLiteral("no lock held by this link");
    case error::IoTimeout:
        return QStringLiteral("I/O timeout");
    case error::IoError:
        return QStringLiteral("I/O error");
    case error::InvalidAddress:
        return QStringLiteral("invalid address");
    case error::Abort:
        return QStringLiteral("abort");
    case error::ChannelAlreadyEstablished:
        return QStringLiteral("channel already established");
    default:
        return QStringLiteral("error %1").arg(code);
    }
}

QByteArray CreateLinkParms::encode() const
{
    return XdrWriter().i32(clientId).boolean(lockDevice).u32(lockTimeout).opaque(device).bytes();
}

std::optional<CreateLinkResp> CreateLinkResp::decode(QByteArrayView results)
{
    XdrReader in(results);
    CreateLinkResp r;
    r.error = in.i32();
    r.link = in.i32();
    const quint32 port = in.u32(); // an unsigned short in the protocol's definition
    r.maxRecvSize = in.u32();
    if (port > 0xFFFF)
        return std::nullopt;
    r.abortPort = static_cast<quint16>(port);
    return whole(in, r);
}

QByteArray DeviceWriteParms::encode() const
{
    return XdrWriter().i32(link).u32(ioTimeout).u32(lockTimeout).i32(flags).opaque(data).bytes();
}

std::optional<DeviceWriteResp> DeviceWriteResp::decode(QByteArrayView results)
{
    XdrReader in(results);
    DeviceWriteResp r;
    r.error = in.i32();
    r.size = in.u32();
    return whole(in, r);
}

QByteArray DeviceReadParms::encode() const
{
    return XdrWriter()
        .i32(link)
        .u32(requestSize)
        .u32(ioTimeout)
        .u32(lockTimeout)
        .i32(flags)
        .i32(static_cast<unsigned char>(termChar))
        .bytes();
}

std::optional<DeviceReadResp> DeviceReadResp::decode(QByteArrayView results)
{
    XdrReader in(results);
    DeviceReadResp r;
    r.error = in.i32();
    r.reason = in.i32();
    r.data = in.opaque(kMaxData);
    return whole(in, r);
}

QByteArray DeviceGenericParms::encode() const
{
    return XdrWriter().i32(link).i32(flags).u32(lockTimeout).u32(ioTimeout).bytes();
}

std::optional<DeviceReadStbResp> DeviceReadStbResp::decode(QByteArrayView results)
{
    XdrReader in(results);
    DeviceReadStbResp r;
    r.error = in.i32();
    const quint32 stb = in.u32(); // an unsigned char in the protocol's definition
    if (stb > 0xFF)
        return std::nullopt;
    r.stb = static_cast<quint8>(stb);
    return whole(in, r);
}

QByteArray DeviceLockParms::encode() const
{
    return XdrWriter().i32(link).i32(flags).u32(lockTimeout).bytes();
}

QByteArray DeviceDocmdParms::encode() const
{
    return XdrWriter()
        .i32(link)
        .i32(flags)
        .u32(ioTimeout)
        .u32(lockTimeout)
        .i32(cmd)
        .boolean(networkOrder)
        .i32(dataSize)
        .opaque(dataIn)
        .bytes();
}

std::optional<DeviceDocmdResp> DeviceDocmdResp::decode(QByteArrayView results)
{
    XdrReader in(results);
    DeviceDocmdResp r;
    r.error = in.i32();
    r.dataOut = in.opaque(kMaxData);
    return whole(in, r);
}

QByteArray DeviceEnableSrqParms::encode() const
{
    return XdrWriter().i32(link).boolean(enable).opaque(handle.left(40)).bytes();
}

QByteArray DeviceRemoteFunc::encode() const
{
    return XdrWriter()
        .u32(hostAddr)
        .u32(hostPort)
        .u32(progNum)
        .u32(progVers)
        .i32(progFamily)
        .bytes();
}

QByteArray encodeLink(qint32 link) { return XdrWriter().i32(link).bytes(); }

std::optional<qint32> decodeDeviceError(QByteArrayView results)
{
    XdrReader in(results);
    const qint32 code = in.i32();
    return whole(in, code);
}

QByteArray encodeGetPort(quint32 program, quint32 version, quint32 protocol)
{
    return XdrWriter().u32(program).u32(version).u32(protocol).u32(0).bytes();
}

std::optional<quint16> decodeGetPortResult(QByteArrayView results)
{
    XdrReader in(results);
    const quint32 port = in.u32();
    if (port > 0xFFFF)
        return std::nullopt;
    return whole(in, static_cast<quint16>(port));
}

} // namespace gpibconfig::vxi11
