// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Control names of the windows. They are the widgets' objectNames too, so a test can find every
// control by the name the logic uses.
namespace gpibconfig::ctl {

// Main window
inline const QString labelTitle = QStringLiteral("labelTitle");
inline const QString labelRev = QStringLiteral("labelRev");
inline const QString labelSelect = QStringLiteral("labelSelect");
inline const QString listUnit = QStringLiteral("listUnit");
inline const QString cmdConfig = QStringLiteral("cmdConfig");
inline const QString cmdContinue = QStringLiteral("cmdContinue");
inline const QString ImageZEB = QStringLiteral("ImageZEB");
inline const QString cmdExit = QStringLiteral("cmdExit");
// Main and configuration windows
inline const QString txtGPIBErr = QStringLiteral("txtGPIBErr");
// Configuration window
inline const QString txtTitle = QStringLiteral("txtTitle");
inline const QString frameAddr = QStringLiteral("frameAddr");
inline const QString Label1 = QStringLiteral("Label1");
inline const QString txtAddr = QStringLiteral("txtAddr");
inline const QString cmdSet = QStringLiteral("cmdSet");
inline const QString txtErrMsg = QStringLiteral("txtErrMsg");
inline const QString frameMenu = QStringLiteral("frameMenu");
inline const QString labelFunction = QStringLiteral("labelFunction");
inline const QString lstFunction = QStringLiteral("lstFunction");
inline const QString labelChoice = QStringLiteral("labelChoice");
inline const QString txtChoice = QStringLiteral("txtChoice");
inline const QString cmdEnter = QStringLiteral("cmdEnter");
inline const QString cmdRedo = QStringLiteral("cmdRedo");
inline const QString cmdNextCh = QStringLiteral("cmdNextCh");
inline const QString cmdSRQ = QStringLiteral("cmdSRQ");
inline const QString cmdNoSRQ = QStringLiteral("cmdNoSRQ");
inline const QString cmdLock = QStringLiteral("cmdLock");
inline const QString cmdSav = QStringLiteral("cmdSav");
inline const QString cmdDone = QStringLiteral("cmdDone");
// Channel dialog (also Label1 and txtErrMsg)
inline const QString txtChNum = QStringLiteral("txtChNum");
inline const QString cmdChSel = QStringLiteral("cmdChSel");
// Notice dialog
inline const QString txtNotice = QStringLiteral("txtNotice");
inline const QString cmdCancel = QStringLiteral("cmdCancel");
// Controller dialog (also txtErrMsg and cmdCancel)
inline const QString labelController = QStringLiteral("labelController");
inline const QString listController = QStringLiteral("listController");
inline const QString labelPorts = QStringLiteral("labelPorts");
inline const QString labelHost = QStringLiteral("labelHost");
inline const QString txtHost = QStringLiteral("txtHost");
inline const QString labelOverride = QStringLiteral("labelOverride");
inline const QString cmdOK = QStringLiteral("cmdOK");

} // namespace gpibconfig::ctl
