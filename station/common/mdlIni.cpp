#include "common/mdlIni.h"

#include <QDir>
#include <QFileInfo>

#include <cmath>
#include <iterator>
#include <limits>
#include <type_traits>
#include <utility>
#include <variant>

#include "codepage/codepage.h"
#include "files/files.h"
#include "profile/profile.h"
#include "common/globals.h"
#include "common/mdlRas.h"
#include "ui/msgbox.h"

QString IniPath() {
  QString folder = gstrAppPath;
  if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
  return folder + gstrIniFile;
}

bool MakeMemberDataPrivate(const QString& programFolder) {
  const QDir folder(programFolder);
  bool all = true;
  for (const char* name : {"log", "ScanData", "ftpFile"})
    all = files::MakePrivateTree(folder.filePath(QLatin1String(name))) && all;
  return all;
}

namespace {
// One key of the settings file as read into `file`.
QString ReadIniFrom(const profile::ProfileSnapshot& file, const QString& section, const QString& key) {
  QByteArray value;
  const int count = file.Get(cp::ToAnsiLossy(section), cp::ToAnsiLossy(key), QByteArray(), value,
                             kIniReadSize);
  if (count == 0) return QString();
  return cp::FromAnsi(value.left(count));
}
}  // namespace

QString ReadIni(const QString& section, const QString& key) {
  return ReadIniFrom(profile::ProfileSnapshot(IniPath()), section, key);
}

bool IniValueReadsBack(const QString& value) {
  QByteArray bytes;
  return cp::ToAnsi(value, bytes) && cp::FromAnsi(bytes) == value &&
         profile::ReadsBackUnchanged(bytes, kIniReadSize);
}

bool WriteIni(const QString& section, const QString& key, const QString& value) {
  return WriteIniKeys({{section, key, value}});
}

namespace {
// The title of the boxes that say the settings file was not written.
const QString kIniTitle = QStringLiteral("設定ファイルの確認");

void ShowUnwritable(const QString& where, const QString& more = QString()) {
  ui::MsgBox(QStringLiteral("設定ファイルに書き込めませんでした。(%1)").arg(where) + more, ui::vbCritical,
             kIniTitle);
}
}  // namespace

bool PrepareIniKeys(const QList<IniKey>& keys, profile::PendingProfile& pending) {
  QList<profile::ProfileEntry> entries;
  for (const IniKey& k : keys) {
    QByteArray bytes;
    if (!cp::ToAnsi(k.value, bytes)) {
      ui::MsgBox(QStringLiteral("設定ファイルに保存できない文字が含まれています。(%1/%2)").arg(k.section, k.key),
                 ui::vbInformation, kIniTitle);
      return false;
    }
    entries.append({cp::ToAnsiLossy(k.section), cp::ToAnsiLossy(k.key), bytes});
  }
  if (!pending.Prepare(entries, IniPath())) {
    ShowUnwritable(keys.size() == 1 ? keys.first().section + QLatin1Char('/') + keys.first().key : IniPath());
    return false;
  }
  return true;
}

bool ReplaceIni(profile::PendingProfile& pending, const QString& committed) {
  if (pending.Replace()) return true;
  // What the database already holds stays there: the administrator must not take the box for
  // "nothing changed".
  ShowUnwritable(IniPath(), committed.isEmpty()
                                ? QString()
                                : QStringLiteral("\r\n%1はデータベースに保存されました。\r\n"
                                                 "設定ファイルは元のままのため、ほかの設定は保存されていません。")
                                      .arg(committed));
  return false;
}

bool WriteIniKeys(const QList<IniKey>& keys) {
  profile::PendingProfile pending;
  return PrepareIniKeys(keys, pending) && ReplaceIni(pending);
}

namespace {

using Kind = SettingKind;
using Key = SettingKey;

constexpr SettingSave InA(int order) { return {SaveGroup::A, order}; }
constexpr SettingSave InB(int order) { return {SaveGroup::B, order}; }
constexpr std::optional<SettingSave> kNotSaved;

// The keys in the order they are read. The last column marks the keys the administration's
// settings save writes: group and place in the group, which is not the reading order.
constexpr Key kKeys[] = {
    {"SYSTEM", "log", Kind::Flag, &gblnLog, nullptr, InA(4)},
    {"MAIL", "sendMail", Kind::Flag, &gblnSendMail, nullptr, InA(5)},
    {"IMAGE", "cam", Kind::Flag, &gblnCam, nullptr, InA(7)},
    {"IMAGE", "sendImg", Kind::Text, &gstrSendImg, nullptr, InA(6)},
    {"IMAGE", "saveImg", Kind::Flag, &gblnSaveImg, nullptr, InA(8)},
    {"IMAGE", "imgDir", Kind::Text, &gstrImgDir, nullptr, InA(9)},
    {"SYSTEM", "logo", Kind::Text, &gstrLogoFile, nullptr, InA(2)},
    {"SYSTEM", "imgChange", Kind::Flag, &gblnImgChange, nullptr, kNotSaved},
    {"SYSTEM", "imgNum", Kind::Int32, &glngImgNum, nullptr, kNotSaved},
    {"SYSTEM", "wavNum", Kind::Int32, &glngWavNum, nullptr, kNotSaved},
    {"SYSTEM", "inMessage", Kind::Text, &gstrInMessage, nullptr, InA(10)},
    {"SYSTEM", "screen", Kind::Int16, &gintScreen, nullptr, InA(11)},
    {"SYSTEM", "inout", Kind::Flag, &gblnInOut, nullptr, InA(12)},
    {"IMAGE", "resolution", Kind::Int32, &glngResolution, nullptr, kNotSaved},
    {"MAIL", "mail", Kind::Text, &gstrMailAddr, nullptr, InA(3)},
    {"MAIL", "smtp", Kind::Text, &gstrSmtpServer, nullptr, kNotSaved},
    {"MAIL", "port", Kind::Int16, &gintPort, nullptr, InB(11)},
    {"MAIL", "inSubject", Kind::Text, &gstrInSubject, nullptr, kNotSaved},
    {"MAIL", "otSubject", Kind::Text, &gstrOtSubject, nullptr, kNotSaved},
    {"SYSTEM", "inttime", Kind::Int32, &glngIntTime, nullptr, InA(13)},
    {"SYSTEM", "inouttime", Kind::Int32, &glngInOutTime, nullptr, InA(14)},
    {"IMAGE", "scanint", Kind::Int32, &glngScanInt, nullptr, InA(15)},
    {"VOICE", "voice", Kind::Flag, &gblnVoice, nullptr, InA(16)},
    {"VOICE", "select", Kind::Text, &gstrVoiceSelect, nullptr, InA(17)},
    {"VOICE", "sound", Kind::Flag, &gblnSound, nullptr, InA(18)},
    {"SYSTEM", "appuser", Kind::Text, &gstrAppUser, nullptr, InA(1)},
    {"MAIL", "psw", Kind::Text, &gstrMailPsw, nullptr, kNotSaved},
    {"MAIL", "dial", Kind::Text, &gstrDialEntry, nullptr, InB(1)},
    {"MAIL", "dialuser", Kind::Text, &gstrDialUser, nullptr, InB(2)},
    {"MAIL", "dialpsw", Kind::Text, &gstrDialPsw, nullptr, InB(3)},
    {"MAIL", "pausetime", Kind::Int32, &glngPauseTime, nullptr, kNotSaved},
    {"SYSTEM", "barport", Kind::Int16, &gintBarPort, "1", InB(7)},
    {"SYSTEM", "barconnect", Kind::Int16, &gintBarConnect, "1", InB(6)},
    {"MAIL", "sptSubject", Kind::Text, &gstrSptSubject, nullptr, kNotSaved},
    {"MAIL", "allSubject", Kind::Text, &gstrAllSubject, nullptr, kNotSaved},
    {"MAIL", "ftp", Kind::Flag, &gblnFtp, "False", InB(8)},
    {"SYSTEM", "nobarscr", Kind::Int16, &gintNoBarScr, "1", InB(9)},
    {"SYSTEM", "inoutchg", Kind::Int32, &glngInOutChg, nullptr, InB(4)},
    {"SYSTEM", "barcode", Kind::Flag, &gblnBarcode, nullptr, InB(5)},
    {"MAIL", "sendp", Kind::Int32, &glngSendP, "0", InB(10)},
    {"SYSTEM", "isserver", Kind::Flag, &gblnIsServer, "True", kNotSaved},
    {"SYSTEM", "camsupport", Kind::Flag, &gblnCamSupport, "True", kNotSaved},
    {"SYSTEM", "dialup", Kind::Flag, &gblnDialup, "False", kNotSaved},
    {"MAIL", "mailreg", Kind::Int16, &gintMailReg, "0", kNotSaved},
    {"MAIL", "regm", Kind::Int16, &gintRegM, "0", kNotSaved},
    {"MAIL", "mailserver", Kind::Text, &gstrMailServer, nullptr, kNotSaved},
    {"MAIL", "pop3server", Kind::Text, &gstrPop3Server, nullptr, kNotSaved},
    {"MAIL", "mailid", Kind::Text, &gstrAuthID, nullptr, kNotSaved},
    {"MAIL", "mailpsw", Kind::Text, &gstrAuthPsw, nullptr, kNotSaved},
    {"SYSTEM", "netdrv", Kind::Flag, &gblnNetDrv, "False", kNotSaved},
    {"SYSTEM", "netdrvname", Kind::Text, &gstrNetDrvName, nullptr, kNotSaved},
    {"SYSTEM", "netdrvpath", Kind::Text, &gstrNetDrvPath, nullptr, kNotSaved},
    {"SYSTEM", "netuser", Kind::Text, &gstrNetUser, nullptr, kNotSaved},
    {"SYSTEM", "netpsw", Kind::Text, &gstrNetPsw, nullptr, kNotSaved},
    {"SYSTEM", "chglogo", Kind::Flag, &gblnChgLogo, "True", kNotSaved},
    {"SYSTEM", "userupdate", Kind::Flag, &gblnUserUpdate, "True", kNotSaved},
};

// Every settings value of globals.h has exactly one row, and every row holds one of them. A row
// is matched to its value by the value's identity as a template argument: comparing two addresses
// is no constant expression where the compiler may not assume an object's address is non-null
// (the null-pointer checks of the sanitizer build).
template <auto* Value>
struct ValueOf {};

template <auto* Value, std::size_t Row>
constexpr int RowHolds() {
  using T = std::remove_pointer_t<decltype(Value)>;
  if constexpr (std::holds_alternative<T*>(kKeys[Row].target)) {
    constexpr T* target = std::get<T*>(kKeys[Row].target);
    return std::is_same_v<ValueOf<target>, ValueOf<Value>> ? 1 : 0;
  } else {
    return 0;
  }
}

template <auto* Value, std::size_t... Rows>
constexpr int RowsOf(std::index_sequence<Rows...>) {
  return (0 + ... + RowHolds<Value, Rows>());
}
#define VELMOR_ONE_ROW(type, name)                                                    \
  static_assert(RowsOf<&name>(std::make_index_sequence<std::size(kKeys)>()) == 1, \
                #name " must have exactly one row in the key table");
VELMOR_SETTINGS_VALUES(VELMOR_ONE_ROW)
#undef VELMOR_ONE_ROW
#define VELMOR_COUNT_ONE(type, name) +1
static_assert(std::size(kKeys) == 0 VELMOR_SETTINGS_VALUES(VELMOR_COUNT_ONE),
              "every row of the key table must hold a settings value of globals.h");
#undef VELMOR_COUNT_ONE

// The places of a save group are 1, 2, ... with none missing or taken twice.
constexpr bool PlacesAreDense(SaveGroup group) {
  int count = 0;
  for (const Key& k : kKeys) count += k.save && k.save->group == group;
  for (int order = 1; order <= count; ++order) {
    int rows = 0;
    for (const Key& k : kKeys) rows += k.save && k.save->group == group && k.save->order == order;
    if (rows != 1) return false;
  }
  return true;
}
static_assert(PlacesAreDense(SaveGroup::A) && PlacesAreDense(SaveGroup::B),
              "the places of a save group must run 1, 2, ... without gaps or doubles");

bool Convert(const Key& k, const QString& value) {
  switch (k.kind) {
    case Kind::Flag: return ToFlag(value, *std::get<bool*>(k.target));
    case Kind::Int16: return ToWholeNumber(value, -32768, 32767, *std::get<int*>(k.target));
    case Kind::Int32:
      return ToWholeNumber(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max(),
                     *std::get<int*>(k.target));
    case Kind::Text: *std::get<QString*>(k.target) = value; return true;
  }
  return false;
}

bool Is(const Key& k, const char* section, const char* key) {
  return qstrcmp(k.section, section) == 0 && qstrcmp(k.key, key) == 0;
}

}  // namespace

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

bool ToWholeNumber(const QString& text, double low, double high, int& out) {
  bool ok = false;
  const double value = text.trimmed().toDouble(&ok);
  if (!ok || !std::isfinite(value)) return false;
  const double rounded = std::nearbyint(value);  // the default rounding mode: halves to even
  if (rounded < low || rounded > high) return false;
  out = static_cast<int>(rounded);
  return true;
}

std::span<const SettingKey> SettingKeys() { return kKeys; }

bool LoadSettings(QString* error) {
  // The file is read once for every key.
  const profile::ProfileSnapshot file(IniPath());
  for (const Key& k : kKeys) {
    QString value = ReadIniFrom(file, QLatin1String(k.section), QLatin1String(k.key));
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

void ApplySettingDefaults() {
  for (const Key& k : kKeys) {
    if (k.whenEmpty) {
      [[maybe_unused]] const bool converted = Convert(k, QLatin1String(k.whenEmpty));
      Q_ASSERT(converted);
    } else {
      std::visit([](auto* target) { *target = std::remove_pointer_t<decltype(target)>{}; },
                 k.target);
    }
  }
}

QString SettingText(const SettingKey& row) {
  switch (row.kind) {
    case Kind::Flag:
      return *std::get<bool*>(row.target) ? QStringLiteral("True") : QStringLiteral("False");
    case Kind::Int16:
    case Kind::Int32: return QString::number(*std::get<int*>(row.target));
    case Kind::Text: return *std::get<QString*>(row.target);
  }
  return QString();
}

bool WriteSavedSettings(profile::PendingProfile* pending) {
  QList<IniKey> keys;
  for (SaveGroup group : {SaveGroup::A, SaveGroup::B}) {
    for (int order = 1;; ++order) {
      const Key* row = nullptr;
      for (const Key& k : kKeys)
        if (k.save && k.save->group == group && k.save->order == order) row = &k;
      if (!row) break;
      keys.append({QLatin1String(row->section), QLatin1String(row->key), SettingText(*row)});
    }
  }
  return pending ? PrepareIniKeys(keys, *pending) : WriteIniKeys(keys);
}
