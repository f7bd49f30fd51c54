#pragma once
// The program-wide values of the station program, all in one place. They are filled by the
// start-up sequence and read (and a few written) by every window.
#include <QString>

namespace db {
class Connection;
class Recordset;
}  // namespace db

// ---- program folder and fixed files --------------------------------------------------------
inline QString gstrAppPath;     // program folder, always ending in "/"
inline QString gstrIniFile;     // "Velmor.ini"
inline QString gstrLogDir;      // program folder & "log/"
inline QString gstrDBFile;      // program folder & "Velmor.mdb" (not used to connect)
inline QString gstrFtpDir;      // program folder & "ftpFile/"
inline QString gstrServerUser;  // key word of the service account row

// ---- database -------------------------------------------------------------------------------
inline QString gstrDSN;
inline QString gstrDBUser;
inline QString gstrDBPsw;
inline QString gstrSQL;
db::Connection& gcnDB();   // the one shared connection
db::Recordset& grsDB();    // shared record sets
db::Recordset& grsMessage();
db::Recordset& grsHist();

// ---- settings file (section SYSTEM, MAIL, IMAGE, VOICE) ---------------------------------------
inline bool gblnLog = false;
inline bool gblnSendMail = false;
inline bool gblnCam = false;
inline QString gstrSendImg;
inline bool gblnSaveImg = false;
inline QString gstrImgDir;
inline QString gstrLogoFile;
inline bool gblnImgChange = false;
inline int glngImgNum = 0;
inline int glngWavNum = 0;
inline QString gstrInMessage;
inline int gintScreen = 0;
inline bool gblnInOut = false;
inline int glngResolution = 0;
inline QString gstrMailAddr;
inline QString gstrSmtpServer;
inline int gintPort = 0;
inline QString gstrInSubject;
inline QString gstrOtSubject;
inline int glngIntTime = 0;
inline int glngInOutTime = 0;
inline int glngScanInt = 0;
inline bool gblnVoice = false;
inline QString gstrVoiceSelect;
inline bool gblnSound = false;
inline QString gstrAppUser;
inline QString gstrMailPsw;
inline QString gstrDialEntry;
inline QString gstrDialUser;
inline QString gstrDialPsw;
inline int glngPauseTime = 0;
inline int gintBarPort = 1;
inline int gintBarConnect = 1;
inline QString gstrSptSubject;
inline QString gstrAllSubject;
inline bool gblnFtp = false;
inline int gintNoBarScr = 1;
inline int glngInOutChg = 0;
inline bool gblnBarcode = false;
inline int glngSendP = 0;
inline bool gblnIsServer = true;
inline bool gblnCamSupport = true;
inline bool gblnDialup = false;
inline int gintMailReg = 0;
inline int gintRegM = 0;
inline QString gstrMailServer;
inline QString gstrPop3Server;
inline QString gstrAuthID;
inline QString gstrAuthPsw;
inline bool gblnNetDrv = false;
inline QString gstrNetDrvName;
inline QString gstrNetDrvPath;
inline QString gstrNetUser;
inline QString gstrNetPsw;
inline bool gblnChgLogo = true;
inline bool gblnUserUpdate = true;

// ---- service account row and login passwords -------------------------------------------------
inline QString gstrMailID;
inline QString gstrFtpUser;
inline QString gstrFtpPsw;
inline QString gstrFtpPath;
inline QString gstrFtpServer;
inline QString gstrAdminPsw;
inline QString gstrUserPsw;

// ---- run-time values shared between windows ----------------------------------------------------
inline int glngCamCount = 0;
inline int glngLoginTimer = 0;
inline int glngIdleCount = 0;
inline long glngRasConn = 0;
inline long glngShellRet = 0;
inline QString gstrSelectedID;
inline int gintMailMode = 0;
inline int glngSendRow = 0;
inline int gintHistMode = 0;
inline int glngHistFrom = 0;
inline int glngHistTo = 0;
inline QString gstrIDList;
inline int glngIDCount = 0;
inline int glngImgRow = 0;
