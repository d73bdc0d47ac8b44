// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QtGlobal>
#include <optional>

namespace gpibconfig::vxi11 {

// The VXI-11 core channel (program DEVICE_CORE, 0x0607AF version 1) and its abort channel
// (DEVICE_ASYNC, 0x0607B0 version 1): the procedures' arguments and results as plain values, each
// with its XDR form, and the codes they carry.

inline constexpr quint32 kCoreProgram = 0x0607AF;
inline constexpr quint32 kCoreVersion = 1;
inline constexpr quint32 kAbortProgram = 0x0607B0;
inline constexpr quint32 kAbortVersion = 1;
inline constexpr quint32 kInterruptProgram = 0x0607B1;

namespace proc {
inline constexpr quint32 CreateLink = 10, DeviceWrite = 11, DeviceRead = 12, DeviceReadStb = 13,
                         DeviceTrigger = 14, DeviceClear = 15, DeviceRemote = 16, DeviceLocal = 17,
                         DeviceLock = 18, DeviceUnlock = 19, DeviceEnableSrq = 20, DeviceDocmd = 22,
                         DestroyLink = 23, CreateIntrChan = 25, DestroyIntrChan = 26;
inline constexpr quint32 DeviceAbort = 1; // on the abort channel
} // namespace proc

// Device_Flags.
namespace flag {
inline constexpr qint32 WaitLock = 0x01, End = 0x08, TermCharSet = 0x80;
}
// device_read's reason bits: why the read ended.
namespace reason {
inline constexpr qint32 RequestCount = 0x01, Character = 0x02, End = 0x04;
}

// Device_ErrorCode values.
namespace error {
inline constexpr qint32 None = 0, Syntax = 1, DeviceNotAccessible = 3, InvalidLink = 4,
                        Parameter = 5, ChannelNotEstablished = 6, NotSupported = 8,
                        OutOfResources = 9, LockedByAnotherLink = 11, NoLockHeld = 12,
                        IoTimeout = 15, IoError = 17, InvalidAddress = 21, Abort = 23,
                        ChannelAlreadyEstablished = 29;
}
// The words of the VXI-11 documents for a Device_ErrorCode ("I/O timeout"); "error N" for a code
// they do not list.
QString errorText(qint32 code);

// device_docmd commands of a GPIB interface link (VXI-11.2), and the Bus Status values it asks.
namespace docmd {
inline constexpr qint32 SendCommand = 0x020000, BusStatus = 0x020001, AtnControl = 0x020002,
                        RenControl = 0x020003, PassControl = 0x020004, BusAddress = 0x02000A,
                        IfcControl = 0x020010;
namespace status {
inline constexpr quint16 Remote = 1, Srq = 2, Ndac = 3, SystemController = 4,
                         ControllerInCharge = 5, Talker = 6, Listener = 7, BusAddress = 8;
}
} // namespace docmd

// A gateway can hand out any amount; the client takes at most this much in one opaque<>.
inline constexpr quint32 kMaxData = 16 * 1024 * 1024;

struct CreateLinkParms {
    qint32 clientId = 0;
    bool lockDevice = false;
    quint32 lockTimeout = 0;
    QByteArray device; // "gpib0,5", "gpib0,25,11", "gpib0"
    QByteArray encode() const;
};
struct CreateLinkResp {
    qint32 error = 0;
    qint32 link = 0;
    quint16 abortPort = 0;
    quint32 maxRecvSize = 0;
    static std::optional<CreateLinkResp> decode(QByteArrayView results);
};

struct DeviceWriteParms {
    qint32 link = 0;
    quint32 ioTimeout = 0;
    quint32 lockTimeout = 0;
    qint32 flags = 0;
    QByteArray data;
    QByteArray encode() const;
};
struct DeviceWriteResp {
    qint32 error = 0;
    quint32 size = 0;
    static std::optional<DeviceWriteResp> decode(QByteArrayView results);
};

struct DeviceReadParms {
    qint32 link = 0;
    quint32 requestSize = 0;
    quint32 ioTimeout = 0;
    quint32 lockTimeout = 0;
    qint32 flags = 0;
    char termChar = 0;
    QByteArray encode() const;
};
struct DeviceReadResp {
    qint32 error = 0;
    qint32 reason = 0;
    QByteArray data;
    static std::optional<DeviceReadResp> decode(QByteArrayView results);
};

// The arguments of device_readstb, _trigger, _clear, _remote and _local.
struct DeviceGenericParms {
    qint32 link = 0;
    qint32 flags = 0;
    quint32 lockTimeout = 0;
    quint32 ioTimeout = 0;
    QByteArray encode() const;
};
struct DeviceReadStbResp {
    qint32 error = 0;
    quint8 stb = 0;
    static std::optional<DeviceReadStbResp> decode(QByteArrayView results);
};

struct DeviceLockParms {
    qint32 link = 0;
    qint32 flags = 0;
    quint32 lockTimeout = 0;
    QByteArray encode() const;
};

struct DeviceDocmdParms {
    qint32 link = 0;
    qint32 flags = 0;
    quint32 ioTimeout = 0;
    quint32 lockTimeout = 0;
    qint32 cmd = 0;
    bool networkOrder = true;
    qint32 dataSize = 0;
    QByteArray dataIn;
    QByteArray encode() const;
};
struct DeviceDocmdResp {
    qint32 error = 0;
    QByteArray dataOut;
    static std::optional<DeviceDocmdResp> decode(QByteArrayView results);
};

struct DeviceEnableSrqParms {
    qint32 link = 0;
    bool enable = false;
    QByteArray handle; // at most 40 bytes
    QByteArray encode() const;
};

// create_intr_chan's arguments: where the gateway calls back with device_intr_srq.
struct DeviceRemoteFunc {
    quint32 hostAddr = 0;
    quint16 hostPort = 0;
    quint32 progNum = kInterruptProgram;
    quint32 progVers = 1;
    qint32 progFamily = 0; // DEVICE_TCP
    QByteArray encode() const;
};

// Device_Link alone: destroy_link, device_unlock, device_abort.
QByteArray encodeLink(qint32 link);
// Device_Error alone: the result of most procedures.
std::optional<qint32> decodeDeviceError(QByteArrayView results);

// The portmapper's GETPORT: the mapping asked for, and the port it answers (0: not registered).
QByteArray encodeGetPort(quint32 program, quint32 version, quint32 protocol);
std::optional<quint16> decodeGetPortResult(QByteArrayView results);

} // namespace gpibconfig::vxi11
