#pragma once
// The program-wide values of the station program, all in one place. They are filled by the
// start-up sequence and read (and a few written) by every window.
//
// Each value is named once, in one of the lists below; the lists both declare the inline
// variables and let ResetProgramValues() give every value back its default:
// - X(type, name, initial...) for the values whose declaration says their value: the variable
//   starts with `initial` (nothing: the type's empty value) and the reset gives it back;
// - S(type, name) for the values of the settings key table (mdlIni.cpp): the table's row says
//   the default (its "when empty" value, else false, 0 or the empty text), and the reset applies
//   the table. Their declaration holds the type's empty value until the reset or the load.
#include <QString>
#include <QStringList>

namespace db {
class Connection;
class Recordset;
}  // namespace db

// ---- program folder and fixed files --------------------------------------------------------
#define VELMOR_FOLDER_VALUES(X)                                                            \
  X(QString, gstrAppPath, )    /* program folder, always ending in "/" */                 \
  X(QString, gstrIniFile, )    /* "Velmor.ini" */                                         \
  X(QString, gstrLogDir, )     /* program folder & "log/" */                              \
  X(QString, gstrDBFile, )     /* program folder & "Velmor.mdb" (not used to connect) */  \
  X(QString, gstrFtpDir, )     /* program folder & "ftpFile/" */                          \
  X(QString, gstrServerUser, ) /* key word of the service account row */

// ---- database -------------------------------------------------------------------------------
#define VELMOR_DATABASE_VALUES(X) \
  X(QString, gstrDSN, )           \
  X(QString, gstrDBUser, )        \
  X(QString, gstrDBPsw, )         \
  X(QString, gstrSQL, )

// Not values: the one shared connection and the shared record sets.
db::Connection& gcnDB();
db::Recordset& grsDB();
db::Recordset& grsMessage();
db::Recordset& grsHist();

// ---- settings file (section SYSTEM, MAIL, IMAGE, VOICE): one row each in the key table -------
#define VELMOR_SETTINGS_VALUES(S) \
  S(bool, gblnLog)                \
  S(bool, gblnSendMail)           \
  S(bool, gblnCam)                \
  S(QString, gstrSendImg)         \
  S(bool, gblnSaveImg)            \
  S(QString, gstrImgDir)          \
  S(QString, gstrLogoFile)        \
  S(bool, gblnImgChange)          \
  S(int, glngImgNum)              \
  S(int, glngWavNum)              \
  S(QString, gstrInMessage)       \
  S(int, gintScreen)              \
  S(bool, gblnInOut)              \
  S(int, glngResolution)          \
  S(QString, gstrMailAddr)        \
  S(QString, gstrSmtpServer)      \
  S(int, gintPort)                \
  S(QString, gstrInSubject)       \
  S(QString, gstrOtSubject)       \
  S(int, glngIntTime)             \
  S(int, glngInOutTime)           \
  S(int, glngScanInt)             \
  S(bool, gblnVoice)              \
  S(QString, gstrVoiceSelect)     \
  S(bool, gblnSound)              \
  S(QString, gstrAppUser)         \
  S(QString, gstrMailPsw)         \
  S(QString, gstrDialEntry)       \
  S(QString, gstrDialUser)        \
  S(QString, gstrDialPsw)         \
  S(int, glngPauseTime)           \
  S(int, gintBarPort)             \
  S(int, gintBarConnect)          \
  S(QString, gstrSptSubject)      \
  S(QString, gstrAllSubject)      \
  S(bool, gblnFtp)                \
  S(int, gintNoBarScr)            \
  S(int, glngInOutChg)            \
  S(bool, gblnBarcode)            \
  S(int, glngSendP)               \
  S(bool, gblnIsServer)           \
  S(bool, gblnCamSupport)         \
  S(bool, gblnDialup)             \
  S(int, gintMailReg)             \
  S(int, gintRegM)                \
  S(QString, gstrMailServer)      \
  S(QString, gstrPop3Server)      \
  S(QString, gstrAuthID)          \
  S(QString, gstrAuthPsw)         \
  S(bool, gblnNetDrv)             \
  S(QString, gstrNetDrvName)      \
  S(QString, gstrNetDrvPath)      \
  S(QString, gstrNetUser)         \
  S(QString, gstrNetPsw)          \
  S(bool, gblnChgLogo)            \
  S(bool, gblnUserUpdate)

// ---- service account row and login passwords -------------------------------------------------
#define VELMOR_ACCOUNT_VALUES(X) \
  X(QString, gstrMailID, )       \
  X(QString, gstrFtpUser, )      \
  X(QString, gstrFtpPsw, )       \
  X(QString, gstrFtpPath, )      \
  X(QString, gstrFtpServer, )    \
  X(QString, gstrAdminPsw, )     \
  X(QString, gstrUserPsw, )

// ---- run-time values shared between windows ----------------------------------------------------
#define VELMOR_RUNTIME_VALUES(X) \
  X(int, glngCamCount, 0)        \
  X(int, glngLoginTimer, 0)      \
  X(int, glngIdleCount, 0)       \
  X(long, glngRasConn, 0)        \
  X(long, glngShellRet, 0)       \
  X(QString, gstrSelectedID, )   \
  X(int, gintMailMode, 0)        \
  X(int, glngSendRow, 0)         \
  X(int, gintHistMode, 0)        \
  X(int, glngHistFrom, 0)        \
  X(int, glngHistTo, 0)          \
  X(QStringList, gstrIDList, )   \
  X(int, glngIDCount, 0)         \
  X(bool, gblnIDSel, false)      \
  X(int, glngImgRow, 0)

// Every value whose declaration says its value.
#define VELMOR_DECLARED_VALUES(X) \
  VELMOR_FOLDER_VALUES(X)         \
  VELMOR_DATABASE_VALUES(X)       \
  VELMOR_ACCOUNT_VALUES(X)        \
  VELMOR_RUNTIME_VALUES(X)

#define VELMOR_DECLARE_VALUE(type, name, ...) inline type name{__VA_ARGS__};
#define VELMOR_DECLARE_SETTING(type, name) inline type name{};
VELMOR_DECLARED_VALUES(VELMOR_DECLARE_VALUE)
VELMOR_SETTINGS_VALUES(VELMOR_DECLARE_SETTING)
#undef VELMOR_DECLARE_VALUE
#undef VELMOR_DECLARE_SETTING

// Gives every program-wide value its default: the values of the settings key table the default
// of their row, every other value the value of its declaration. The connection and the record
// sets are left as they are.
void ResetProgramValues();
