#include "common/mdlIni.h"

#include <QFileInfo>

#include <cmath>
#include <limits>
#include <variant>

#include "codepage/codepage.h"
#include "profile/profile.h"
#include "common/globals.h"
#include "common/mdlRas.h"
#include "ui/msgbox.h"

QString IniPath() {
  QString folder = gstrAppPath;
  if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
  return folder + gstrIniFile;
}

QString ReadIni(const QString& section, const QString& key) {
  QByteArray value;
  const int count = profile::GetPrivateProfileString(cp::ToAnsiLossy(section), cp::ToAnsiLossy(key),
                                                     QByteArray(), value, 1024, IniPath());
  if (count == 0) return QString();
  return cp::FromAnsi(value.left(count));
}

bool WriteIni(const QString& section, const QString& key, const QString& value) {
  QByteArray bytes;
  if (!cp::ToAnsi(value, bytes)) {
    ui::MsgBox(QStringLiteral("設定ファイルに保存できない文字が含まれています。(%1/%2)").arg(section, key));
    return false;
  }
  if (!profile::WritePrivateProfileString(cp::ToAnsiLossy(section), cp::ToAnsiLossy(key), bytes,
                                          IniPath())) {
    ui::MsgBox(QStringLiteral("設定ファイルに書き込めませんでした。(%1/%2)").arg(section, key));
    return false;
  }
  return true;
}

namespace {

enum class Kind { Flag, Int16, Int32, Text };

struct Key {
  const char* section;
  const char* key;
  Kind kind;
  std::variant<bool*, int*, QString*> target;
  // The default taken when the value is empty; nullptr marks a required key (flags and numbers)
  // or a text that stays empty.
  const char* whenEmpty;
};

// The keys in the order they are read.
const Key kKeys[] = {
    {"SYSTEM", "log", Kind::Flag, &gblnLog, nullptr},
    {"MAIL", "sendMail", Kind::Flag, &gblnSendMail, nullptr},
    {"IMAGE", "cam", Kind::Flag, &gblnCam, nullptr},
    {"IMAGE", "sendImg", Kind::Text, &gstrSendImg, nullptr},
    {"IMAGE", "saveImg", Kind::Flag, &gblnSaveImg, nullptr},
    {"IMAGE", "imgDir", Kind::Text, &gstrImgDir, nullptr},
    {"SYSTEM", "logo", Kind::Text, &gstrLogoFile, nullptr},
    {"SYSTEM", "imgChange", Kind::Flag, &gblnImgChange, nullptr},
    {"SYSTEM", "imgNum", Kind::Int32, &glngImgNum, nullptr},
    {"SYSTEM", "wavNum", Kind::Int32, &glngWavNum, nullptr},
    {"SYSTEM", "inMessage", Kind::Text, &gstrInMessage, nullptr},
    {"SYSTEM", "screen", Kind::Int16, &gintScreen, nullptr},
    {"SYSTEM", "inout", Kind::Flag, &gblnInOut, nullptr},
    {"IMAGE", "resolution", Kind::Int32, &glngResolution, nullptr},
    {"MAIL", "mail", Kind::Text, &gstrMailAddr, nullptr},
    {"MAIL", "smtp", Kind::Text, &gstrSmtpServer, nullptr},
    {"MAIL", "port", Kind::Int16, &gintPort, nullptr},
    {"MAIL", "inSubject", Kind::Text, &gstrInSubject, nullptr},
    {"MAIL", "otSubject", Kind::Text, &gstrOtSubject, nullptr},
    {"SYSTEM", "inttime", Kind::Int32, &glngIntTime, nullptr},
    {"SYSTEM", "inouttime", Kind::Int32, &glngInOutTime, nullptr},
    {"IMAGE", "scanint", Kind::Int32, &glngScanInt, nullptr},
    {"VOICE", "voice", Kind::Flag, &gblnVoice, nullptr},
    {"VOICE", "select", Kind::Text, &gstrVoiceSelect, nullptr},
    {"VOICE", "sound", Kind::Flag, &gblnSound, nullptr},
    {"SYSTEM", "appuser", Kind::Text, &gstrAppUser, nullptr},
    {"MAIL", "psw", Kind::Text, &gstrMailPsw, nullptr},
    {"MAIL", "dial", Kind::Text, &gstrDialEntry, nullptr},
    {"MAIL", "dialuser", Kind::Text, &gstrDialUser, nullptr},
    {"MAIL", "dialpsw", Kind::Text, &gstrDialPsw, nullptr},
    {"MAIL", "pausetime", Kind::Int32, &glngPauseTime, nullptr},
    {"SYSTEM", "barport", Kind::Int16, &gintBarPort, "1"},
    {"SYSTEM", "barconnect", Kind::Int16, &gintBarConnect, "1"},
    {"MAIL", "sptSubject", Kind::Text, &gstrSptSubject, nullptr},
    {"MAIL", "allSubject", Kind::Text, &gstrAllSubject, nullptr},
    {"MAIL", "ftp", Kind::Flag, &gblnFtp, "False"},
    {"SYSTEM", "nobarscr", Kind::Int16, &gintNoBarScr, "1"},
    {"SYSTEM", "inoutchg", Kind::Int32, &glngInOutChg, nullptr},
    {"SYSTEM", "barcode", Kind::Flag, &gblnBarcode, nullptr},
    {"MAIL", "sendp", Kind::Int32, &glngSendP, "0"},
    {"SYSTEM", "isserver", Kind::Flag, &gblnIsServer, "True"},
    {"SYSTEM", "camsupport", Kind::Flag, &gblnCamSupport, "True"},
    {"SYSTEM", "dialup", Kind::Flag, &gblnDialup, "False"},
    {"MAIL", "mailreg", Kind::Int16, &gintMailReg, "0"},
    {"MAIL", "regm", Kind::Int16, &gintRegM, "0"},
    {"MAIL", "mailserver", Kind::Text, &gstrMailServer, nullptr},
    {"MAIL", "pop3server", Kind::Text, &gstrPop3Server, nullptr},
    {"MAIL", "mailid", Kind::Text, &gstrAuthID, nullptr},
    {"MAIL", "mailpsw", Kind::Text, &gstrAuthPsw, nullptr},
    {"SYSTEM", "netdrv", Kind::Flag, &gblnNetDrv, "False"},
    {"SYSTEM", "netdrvname", Kind::Text, &gstrNetDrvName, nullptr},
    {"SYSTEM", "netdrvpath", Kind::Text, &gstrNetDrvPath, nullptr},
    {"SYSTEM", "netuser", Kind::Text, &gstrNetUser, nullptr},
    {"SYSTEM", "netpsw", Kind::Text, &gstrNetPsw, nullptr},
    {"SYSTEM", "chglogo", Kind::Flag, &gblnChgLogo, "True"},
    {"SYSTEM", "userupdate", Kind::Flag, &gblnUserUpdate, "True"},
};

// A number as the settings file holds it: decimal text, rounded to a whole number with halves
// going to the even neighbour.
bool ToWhole(const QString& text, double low, double high, int& out) {
  bool ok = false;
  const double value = text.trimmed().toDouble(&ok);
  if (!ok || !std::isfinite(value)) return false;
  const double rounded = std::nearbyint(value);  // the default rounding mode: halves to even
  if (rounded < low || rounded > high) return false;
  out = static_cast<int>(rounded);
  return true;
}

bool ToFlag(const QString& text, bool& out) {
  const QString t = text.trimmed();
  if (t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0) {
    out = true;
    return true;
  }
  if (t.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0) {
    out = false;
    return true;
  }
  bool ok = false;
  const double value = t.toDouble(&ok);
  if (!ok || !std::isfinite(value)) return false;
  out = value != 0.0;
  return true;
}

bool Convert(const Key& k, const QString& value) {
  switch (k.kind) {
    case Kind::Flag: return ToFlag(value, *std::get<bool*>(k.target));
    case Kind::Int16: return ToWhole(value, -32768, 32767, *std::get<int*>(k.target));
    case Kind::Int32:
      return ToWhole(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max(),
                     *std::get<int*>(k.target));
    case Kind::Text: *std::get<QString*>(k.target) = value; return true;
  }
  return false;
}

bool Is(const Key& k, const char* section, const char* key) {
  return qstrcmp(k.section, section) == 0 && qstrcmp(k.key, key) == 0;
}

}  // namespace

bool LoadSettings(QString* error) {
  for (const Key& k : kKeys) {
    QString value = ReadIni(QLatin1String(k.section), QLatin1String(k.key));
    if (value.isEmpty() && k.whenEmpty) value = QLatin1String(k.whenEmpty);
    if (value.isEmpty() && k.kind != Kind::Text) {
      if (error)
        *error = QStringLiteral("設定ファイルの [%1] %2 がありません。").arg(k.section, k.key);
      return false;
    }
    if (!Convert(k, value)) {
      if (error)
        *error = QStringLiteral("設定ファイルの [%1] %2 の値「%3」が正しくありません。")
                     .arg(k.section, k.key, value);
      return false;
    }

    // Replacements made right after a key is read.
    if (Is(k, "SYSTEM", "log")) {
      gstrFtpDir = gstrAppPath + QStringLiteral("ftpFile/");
    } else if (Is(k, "IMAGE", "imgDir")) {
      gstrImgDir = gstrAppPath + QStringLiteral("ScanData/");
    } else if (Is(k, "SYSTEM", "nobarscr")) {
      // The dial-up password saved with the phone-book entry replaces a masked one.
      if (!gstrDialEntry.isEmpty() && gstrDialPsw.contains(QLatin1Char('*')))
        gstrDialPsw = GetSavedDialPassword(gstrDialEntry);
    } else if (Is(k, "SYSTEM", "barcode")) {
      if (gstrLogoFile.isEmpty() || !QFileInfo(gstrLogoFile).isFile())
        gstrLogoFile = gstrAppPath + QStringLiteral("image/logo.jpg");
    } else if (Is(k, "MAIL", "sendp")) {
      glngSendP = 0;
    }
  }
  return true;
}
