#include "demo_folder.h"

#include <QBuffer>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QtEndian>

#include <cmath>

#include <sys/stat.h>

#include "codepage/codepage.h"
#include "common/mdlDB.h"
#include "common/mdlIni.h"
#include "files/files.h"
#include "ui/keys_fonts.h"

namespace {

// Files that hold passwords (the settings, the database, the data sources) are the user's alone.
constexpr QFileDevice::Permissions kOwnerOnly = files::kPrivateFile;

// Whether `path` holds a file already: one that is missing or empty (left by a set-up that the
// disk stopped) is written again.
bool Written(const QString& path) { return QFileInfo(path).size() > 0; }

// Writes a missing or empty file whole (never a part of it: a full disk leaves it as it was).
// Files that hold passwords (`ownerOnly`) are the user's alone; the others get the mode a new
// file gets under the umask.
bool WriteBytes(const QString& path, const QByteArray& bytes, QString* error,
                bool ownerOnly = false) {
  if (Written(path)) return true;
  QString why;
  if (!files::WriteWhole(path, bytes, &why)) {
    if (error) *error = QStringLiteral("cannot write %1").arg(why);
    return false;
  }
  if (ownerOnly) return true;
  const mode_t mask = ::umask(0);
  ::umask(mask);
  if (::chmod(QFile::encodeName(path).constData(), 0666 & ~mask) == 0) return true;
  if (error) *error = QStringLiteral("cannot set the mode of %1").arg(path);
  return false;
}

bool WriteText(const QString& path, const QString& text, QString* error,
               bool ownerOnly = false) {
  QString crlf = text;
  crlf.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
  return WriteBytes(path, cp::ToAnsiLossy(crlf), error, ownerOnly);
}

bool WritePicture(const QString& path, int w, int h, const QColor& back, const QString& caption,
                  QString* error) {
  if (Written(path)) return true;
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(back);
  if (!caption.isEmpty()) {
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(back.lightness() > 128 ? Qt::black : Qt::white);
    QFont font = ui::StationFont(9);
    font.setPixelSize(std::max(10, h / 5));
    p.setFont(font);
    p.drawText(image.rect(), Qt::AlignCenter, caption);
  }
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (!image.save(&buffer, QFileInfo(path).suffix().toUpper().toLatin1().constData())) {
    if (error) *error = QStringLiteral("cannot encode %1").arg(path);
    return false;
  }
  return WriteBytes(path, bytes, error);
}

// A short sine tone as a 16-bit mono PCM wave file.
bool WriteTone(const QString& path, double hz, int ms, QString* error) {
  const int rate = 22050;
  const int samples = rate * ms / 1000;
  QByteArray data(samples * 2, '\0');
  for (int i = 0; i < samples; ++i) {
    const double fade = std::min(1.0, std::min(i, samples - i) / (rate * 0.01));
    const qint16 v = static_cast<qint16>(std::sin(2 * M_PI * hz * i / rate) * 8000 * fade);
    qToLittleEndian<qint16>(v, data.data() + 2 * i);
  }
  QByteArray wav;
  auto u32 = [&wav](quint32 v) { char b[4]; qToLittleEndian(v, b); wav.append(b, 4); };
  auto u16 = [&wav](quint16 v) { char b[2]; qToLittleEndian(v, b); wav.append(b, 2); };
  wav += "RIFF"; u32(36 + data.size()); wav += "WAVEfmt "; u32(16); u16(1); u16(1); u32(rate);
  u32(rate * 2); u16(2); u16(16); wav += "data"; u32(data.size()); wav += data;
  return WriteBytes(path, wav, error);
}

// The values a new station starts with where the settings file's key table has no default (the
// keys it requires, and texts the windows need), as "SECTION/key".
const char* const kInstalled[][2] = {
    {"SYSTEM/log", "True"},        {"SYSTEM/imgChange", "False"}, {"SYSTEM/imgNum", "3"},
    {"SYSTEM/wavNum", "3"},        {"SYSTEM/screen", "1"},        {"SYSTEM/inout", "True"},
    {"SYSTEM/inttime", "3"},       {"SYSTEM/inouttime", "1"},     {"SYSTEM/inoutchg", "12"},
    {"SYSTEM/barcode", "True"},    {"MAIL/sendMail", "False"},    {"MAIL/port", "25"},
    {"MAIL/pausetime", "5"},       {"MAIL/inSubject", "【入室】%名前%%敬称%"},
    {"MAIL/otSubject", "【退室】%名前%%敬称%"},                 {"MAIL/sptSubject", "【連絡】%名前%%敬称%へ"},
    {"MAIL/allSubject", "【お知らせ】"},                        {"IMAGE/cam", "True"},
    {"IMAGE/sendImg", "True"},     {"IMAGE/saveImg", "True"},     {"IMAGE/resolution", "0"},
    {"IMAGE/scanint", "3"},        {"VOICE/voice", "False"},      {"VOICE/select", "woman"},
    {"VOICE/sound", "True"},
};

// What the demo sets beyond them: a named installation whose settings window saves as it loads.
const char* const kDemo[][2] = {
    {"SYSTEM/appuser", "ベルモア学習センター"},
    {"SYSTEM/inMessage", "IDカードをかざしてください"},
    {"MAIL/mail", "station@localhost"},
};

}  // namespace

QString SettingsFileText(bool demo) {
  QHash<QString, QString> values;
  auto put = [&values](const auto& table) {
    for (const auto& kv : table) values.insert(QLatin1String(kv[0]), QString::fromUtf8(kv[1]));
  };
  put(kInstalled);
  if (demo) put(kDemo);
  QString text = QStringLiteral("; Velmor station settings\n");
  for (const char* section : {"SYSTEM", "MAIL", "IMAGE", "VOICE"}) {
    text += QStringLiteral("[%1]\n").arg(QLatin1String(section));
    for (const SettingKey& row : SettingKeys()) {
      if (qstrcmp(row.section, section) != 0) continue;
      const QString name = QLatin1String(row.key);
      const QString value = values.value(QLatin1String(section) + QLatin1Char('/') + name,
                                         QString::fromUtf8(row.whenEmpty ? row.whenEmpty : ""));
      text += name + QLatin1Char('=') + value + QLatin1Char('\n');
    }
  }
  return text;
}

bool WriteProgramFiles(const QString& folder, bool demo, QString* error) {
  QDir dir(folder);
  // The log, photo and FTP record folders hold members' data: their owner's alone, also where an
  // older set-up made them readable by all.
  for (const char* sub : {"log", "ScanData", "ftpFile", "image", "wave"}) {
    const QString path = dir.filePath(QLatin1String(sub));
    const bool isPrivate = qstrcmp(sub, "image") != 0 && qstrcmp(sub, "wave") != 0;
    if (!(isPrivate ? files::MakePrivateFolder(path, true) : dir.mkpath(path))) {
      if (error) *error = QStringLiteral("cannot create %1").arg(path);
      return false;
    }
  }
  const QString f = dir.absolutePath() + QLatin1Char('/');
  bool ok = WriteText(f + "Velmor.ini", SettingsFileText(demo), error, true);
  ok = ok && WriteText(f + "Velmor.txt",
                       QStringLiteral("%名前%%敬称%が%日付% %時間%に入室しました。\n"), error);
  ok = ok && WriteText(f + "otMail.txt",
                       QStringLiteral("%名前%%敬称%が%日付% %時間%に退室しました。\n"), error);
  ok = ok && WriteText(f + "sptMail.txt", QStringLiteral("%名前%%敬称%\n\nご連絡です。\n"), error);
  ok = ok && WriteText(f + "allMail.txt", QStringLiteral("保護者の皆様\n\nお知らせです。\n"), error);

  const QColor palette[] = {QColor(0xF4, 0xA2, 0x61), QColor(0x2A, 0x9D, 0x8F),
                            QColor(0xE9, 0xC4, 0x6A), QColor(0x26, 0x46, 0x53)};
  ok = ok && WritePicture(f + "image/logo.jpg", 300, 100, QColor(0x1D, 0x35, 0x57),
                          QStringLiteral("Velmor"), error);
  ok = ok && WritePicture(f + "image/image000.jpg", 640, 480, QColor(0xA8, 0xDA, 0xDC),
                          QStringLiteral("ようこそ"), error);
  for (int n = 1; n <= 3 && ok; ++n) {
    const QString num = QStringLiteral("%1").arg(n, 3, 10, QLatin1Char('0'));
    ok = WritePicture(f + "image/image" + num + ".jpg", 320, 240, palette[n % 4],
                      QString::number(n), error) &&
         WritePicture(f + "image/image" + num + "s.jpg", 64, 64, palette[n % 4],
                      QString::number(n), error);
  }
  for (int m = 1; m <= 12 && ok; ++m)
    ok = WritePicture(f + QStringLiteral("image/m%1.jpg").arg(m, 2, 10, QLatin1Char('0')), 1024,
                      768, palette[m % 4].lighter(160), QStringLiteral("%1月").arg(m), error);
  ok = ok && WritePicture(f + "image/wite.jpg", 64, 64, Qt::white, QString(), error);
  ok = ok && WritePicture(f + "image/noimage.bmp", 320, 240, QColor(0x80, 0x80, 0x80),
                          QStringLiteral("NO IMAGE"), error);
  for (int n = 1; n <= 3 && ok; ++n)
    ok = WriteTone(f + QStringLiteral("wave/wav%1.wav").arg(n, 3, 10, QLatin1Char('0')),
                   440.0 * n, 250, error);
  ok = ok && WriteTone(f + "wave/chk.wav", 880, 120, error);
  ok = ok && WriteTone(f + "wave/onerr.wav", 220, 600, error);
  return ok;
}

bool WriteDemoRows(db::Connection& connection, int count, QString* error) {
  static const char* const kFamily[][2] = {
      {"山田", "やまだ"}, {"佐藤", "さとう"}, {"鈴木", "すずき"}, {"高橋", "たかはし"},
      {"田中", "たなか"}, {"伊藤", "いとう"}, {"渡辺", "わたなべ"}, {"中村", "なかむら"},
      {"小林", "こばやし"}, {"加藤", "かとう"}, {"吉田", "よしだ"}, {"松本", "まつもと"}};
  static const char* const kGiven[][2] = {
      {"太郎", "たろう"}, {"花子", "はなこ"}, {"健太", "けんた"}, {"美咲", "みさき"},
      {"翔", "しょう"},   {"陽菜", "ひな"},   {"大輝", "だいき"}, {"結衣", "ゆい"}};
  const QString insert = QStringLiteral(
      "INSERT INTO tblData (ID, UserName, UserAdd, NameKana, MailName, MailAddr, \"Date\", "
      "\"Update\", LastIn, LastOut) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
  for (int i = 0; i < count; ++i) {
    const auto& fam = kFamily[i % 12];
    const auto& giv = kGiven[(i / 12 + i) % 8];
    const QString id = QStringLiteral("%1").arg(1001 + i);
    const QString name = QString::fromUtf8(fam[0]) + QStringLiteral("　") + QString::fromUtf8(giv[0]);
    const QString kana = QString::fromUtf8(fam[1]) + QStringLiteral(" ") + QString::fromUtf8(giv[1]);
    const QString add = i % 3 == 0 ? QStringLiteral("さん") : QStringLiteral("さま");
    const QString mail = QStringLiteral("family%1@localhost").arg(id);
    if (!db::Execute(connection, insert,
                     {id, name, add, kana, name, mail, QStringLiteral("2026/04/01"),
                      QStringLiteral("2026/04/01"), QString(""), QString("")},
                     nullptr, error))
      return false;
  }
  const QString message = QStringLiteral("INSERT INTO tblMessage (Message, InYes) VALUES (?, ?)");
  for (const char* m : {"こんにちは！今日もがんばろう！", "ようこそ！", "おかえりなさい！"})
    if (!db::Execute(connection, message, {QString::fromUtf8(m), db::Bool(true)}, nullptr, error))
      return false;
  for (const char* m : {"おつかれさまでした！", "気をつけて帰ってね！", "また明日！"})
    if (!db::Execute(connection, message, {QString::fromUtf8(m), db::Bool(false)}, nullptr, error))
      return false;
  return true;
}

QString DatabaseTarget::ConnectString() const {
  if (!OnServer()) return QStringLiteral("DRIVER={SQLite3};Database=%1;").arg(file);
  return QStringLiteral("DRIVER={PostgreSQL Unicode};Servername=%1;Port=%2;Database=%3;")
      .arg(server)
      .arg(port)
      .arg(database);
}

QString DatabaseTarget::Describe() const {
  return OnServer() ? QStringLiteral("%1:%2/%3").arg(server).arg(port).arg(database) : file;
}

bool OpenTarget(const DatabaseTarget& target, db::Connection& connection, QString* error) {
  if (connection.Open(target.ConnectString(), QLatin1String(kStationDbUser),
                      QLatin1String(kStationDbPassword)))
    return true;
  if (error) *error = connection.LastError();
  return false;
}

bool HasStationTables(db::Connection& connection) {
  // Asked of the catalog: a statement on a missing table would have the driver print its error.
  db::Recordset probe;
  return probe.Open(connection, QStringLiteral("SELECT table_name FROM information_schema.tables "
                                               "WHERE table_schema = current_schema() AND "
                                               "lower(table_name) = 'tblserver'")) &&
         probe.RecordCount() > 0;
}

bool CreateStationDatabase(const DatabaseTarget& target, const QString& adminPassword,
                           const QString& userPassword, const DatabaseFiller& fill, bool* created,
                           QString* error) {
  const bool fileExisted = !target.OnServer() && QFileInfo::exists(target.file);
  // A new database file is made owner-only and empty before the driver opens it: SQLite makes a
  // database of an empty file, and gives its journals the database file's mode.
  if (!target.OnServer() && !fileExisted) {
    QFile file(target.file);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly, kOwnerOnly)) {
      if (error) *error = QStringLiteral("cannot create %1: %2").arg(target.file, file.errorString());
      return false;
    }
  }
  db::Connection connection;
  if (!OpenTarget(target, connection, error)) {
    // An empty file left behind would pass for a database at the next run.
    if (!target.OnServer() && !fileExisted) QFile::remove(target.file);
    return false;
  }
  const bool existed = target.OnServer() ? HasStationTables(connection) : fileExisted;
  if (created) *created = !existed;
  if (existed) return true;
  // The tables and their rows in one transaction: a database that a full disk stopped half-way
  // gets none of them, and a new file goes again, or the next run would keep it as it is.
  if (connection.Begin(error) && CreateStationTables(connection, error) &&
      WriteInitialRows(connection, adminPassword, userPassword, error) &&
      (!fill || fill(connection, error)) && connection.Commit(error) == db::CommitResult::Stored)
    return true;
  if (connection.InTransaction()) connection.Rollback();
  connection.Close();
  if (!target.OnServer()) {
    QFile::remove(target.file);
    QFile::remove(target.file + QStringLiteral("-journal"));
  }
  return false;
}

namespace {
// The "Key = value" lines of a data source entry for the target; the first ones name the driver
// and the database, and are what a move rewrites.
QList<QPair<QByteArray, QByteArray>> DsnKeys(const DatabaseTarget& target) {
  if (target.OnServer())
    return {{"Driver", "PostgreSQL Unicode"},
            {"Servername", target.server.toUtf8()},
            {"Port", QByteArray::number(target.port)},
            {"Database", target.database.toUtf8()}};
  // Timeout: the driver's wait for a database another process holds busy or locked. The SQLite
  // driver waits it out twice in one statement, so 1000 lets a statement fail after about 2 s.
  // NoCreat: a database file that has gone is an error, never a new empty database.
  return {{"Driver", "SQLite3"},
          {"Database", QFile::encodeName(target.file)},
          {"Timeout", "1000"},
          {"NoCreat", "1"}};
}

// The keys the entry of one driver has and the other's must not carry.
const char* const kDriverKeys[] = {"Servername", "Server", "Port", "Timeout", "NoCreat"};
}  // namespace

// unixODBC's own answer to where the user data sources lie (libodbcinst; `odbcinst -j` prints it as
// "USER DATA SOURCES"): ODBCINI when set, else .odbc.ini in the home folder of the user's account,
// which need not be $HOME.
extern "C" int _odbcinst_UserINI(char* fileName, int verify);

QString UserDataSourceFile() {
  char path[4096] = {};
  if (!_odbcinst_UserINI(path, 0) || path[0] == '\0') return QString();
  return QFile::decodeName(path);
}

DsnResult RegisterDsn(const QString& dsn, const DatabaseTarget& target, bool replace,
                      QString* existing, QString* error) {
  const QString iniPath = UserDataSourceFile();
  if (iniPath.isEmpty()) {
    if (error) *error = QStringLiteral("the ODBC driver manager names no user data source file");
    return DsnResult::Failed;
  }
  QFile ini(iniPath);
  QList<QByteArray> lines;
  if (ini.open(QIODevice::ReadOnly)) {
    lines = ini.readAll().split('\n');
    ini.close();
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
  }
  const QByteArray header = ("[" + dsn.toUtf8() + "]").toLower();
  const auto keys = DsnKeys(target);
  auto lineOf = [](const QPair<QByteArray, QByteArray>& kv) { return kv.first + " = " + kv.second; };
  auto valueOf = [](const QByteArray& t) { return t.mid(t.indexOf('=') + 1).trimmed(); };
  auto isKey = [](const QByteArray& t, const QByteArray& key) {
    return t.toLower().startsWith(key.toLower()) && t.mid(key.size()).trimmed().startsWith('=');
  };
  int section = -1, end = static_cast<int>(lines.size());
  QVector<int> found(keys.size(), -1);
  QByteArray server, port, database;
  for (int i = 0; i < lines.size(); ++i) {
    const QByteArray t = lines[i].trimmed();
    if (t.startsWith('[')) {
      if (section >= 0) {
        end = i;
        break;
      }
      if (t.toLower() == header) section = i;
      continue;
    }
    if (section < 0) continue;
    for (int k = 0; k < keys.size(); ++k)
      if (isKey(t, keys[k].first)) found[k] = i;
    if (isKey(t, "Database")) database = valueOf(t);
    else if (isKey(t, "Servername") || isKey(t, "Server")) server = valueOf(t);
    else if (isKey(t, "Port")) port = valueOf(t);
  }
  if (existing && section >= 0)
    *existing = server.isEmpty() ? QString::fromLocal8Bit(database)
                                 : QStringLiteral("%1:%2/%3").arg(QString::fromUtf8(server),
                                                                  QString::fromUtf8(port.isEmpty() ? "5432" : port),
                                                                  QString::fromUtf8(database));
  DsnResult result = DsnResult::Added;
  if (section >= 0) {
    bool same = true;
    for (int k = 0; k < keys.size(); ++k)
      same = same && found[k] >= 0 && lines[found[k]].trimmed() == lineOf(keys[k]);
    if (!replace || same) return DsnResult::Kept;
    // Pointed at the target, with the station's wait for a locked database on SQLite; the keys
    // of the driver it named before go.
    for (int i = end - 1; i > section; --i) {
      const QByteArray t = lines[i].trimmed();
      bool foreign = false;
      for (const char* key : kDriverKeys) foreign = foreign || isKey(t, key);
      for (const auto& kv : keys) foreign = foreign && !isKey(t, kv.first);
      if (!foreign) continue;
      lines.removeAt(i);
      --end;
      for (int& f : found)
        if (f > i) --f;
    }
    for (int k = 0; k < keys.size(); ++k) {
      if (found[k] >= 0) {
        lines[found[k]] = lineOf(keys[k]);
      } else {
        lines.insert(end, lineOf(keys[k]));
        for (int& f : found)
          if (f >= end) ++f;
        ++end;
      }
    }
    result = DsnResult::Replaced;
  } else {
    lines << "[" + dsn.toUtf8() + "]" << "Description = Velmor station database";
    for (const auto& kv : keys) lines << lineOf(kv);
  }
  // Other entries of the file may carry passwords: the file is the user's alone, and replaced
  // whole, so that a full disk leaves them as they were.
  QString why;
  if (!files::WriteWhole(iniPath, lines.join('\n') + '\n', &why)) {
    if (error) *error = QStringLiteral("cannot write %1").arg(why);
    return DsnResult::Failed;
  }
  return result;
}
