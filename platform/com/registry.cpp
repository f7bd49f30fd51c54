#include "com/registry.h"

#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <chrono>
#include <thread>

#include "files/files.h"

namespace com {

namespace {

constexpr const char* kFormat = "velmor-com-registry 1";

// An exclusive lock on a file beside the registry, held by this object: released when it goes
// and, by the system, when its process ends, so a crashed writer never leaves a stale lock.
class FileLock {
 public:
  explicit FileLock(const QString& path) {
    fd_ = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  }
  ~FileLock() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  bool Lock(std::chrono::milliseconds limit) {
    if (fd_ < 0) return false;
    const auto end = std::chrono::steady_clock::now() + limit;
    while (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
      if (errno != EWOULDBLOCK && errno != EINTR) return false;
      if (std::chrono::steady_clock::now() >= end) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
  }

 private:
  int fd_ = -1;
};

}  // namespace

QString Registry::DefaultPath() {
  const QString env = qEnvironmentVariable(kRegistryEnv);
  if (!env.isEmpty()) return env;
  QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
  if (base.isEmpty()) base = QDir::homePath() + QStringLiteral("/.config");
  return base + QStringLiteral("/velmor/com-registry.json");
}

bool Registry::Load() {
  keys_.clear();
  // No file yet (where a link leads, too): an empty registry.
  const QString target = files::WriteTarget(path_);
  if (!target.isEmpty() && !QFileInfo::exists(target)) return true;
  QFile file(path_);
  if (!file.open(QIODevice::ReadOnly)) return false;
  QJsonParseError error;
  const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &error);
  if (error.error != QJsonParseError::NoError || !doc.isObject()) return false;
  const QJsonObject root = doc.object();
  if (root.value(QStringLiteral("format")).toString() != QLatin1String(kFormat)) return false;
  const QJsonObject keys = root.value(QStringLiteral("keys")).toObject();
  for (auto it = keys.begin(); it != keys.end(); ++it) {
    Values& values = keys_[it.key()];
    const QJsonObject obj = it.value().toObject();
    for (auto v = obj.begin(); v != obj.end(); ++v) values[v.key()] = v.value().toString();
  }
  return true;
}

bool Registry::Save() {
  QJsonObject keys;
  for (const auto& [key, values] : keys_) {
    QJsonObject obj;
    for (const auto& [name, value] : values) obj.insert(name, value);
    keys.insert(key, obj);
  }
  QJsonObject root;
  root.insert(QStringLiteral("format"), QLatin1String(kFormat));
  root.insert(QStringLiteral("keys"), keys);
  const QFileInfo info(files::WriteTarget(path_));  // a link may lead to a folder still missing
  if (!QDir().mkpath(info.absolutePath())) return false;
  return files::WriteWhole(path_, QJsonDocument(root).toJson(QJsonDocument::Indented));
}

bool Registry::HasKey(const QString& key) const { return keys_.count(key) != 0; }

std::optional<QString> Registry::Value(const QString& key, const QString& name) const {
  auto k = keys_.find(key);
  if (k == keys_.end()) return std::nullopt;
  auto v = k->second.find(name);
  if (v == k->second.end()) return std::nullopt;
  return v->second;
}

const Registry::Values* Registry::ValuesOf(const QString& key) const {
  auto k = keys_.find(key);
  return k == keys_.end() ? nullptr : &k->second;
}

QStringList Registry::Keys() const {
  QStringList out;
  for (const auto& [key, values] : keys_) out << key;
  return out;
}

QStringList Registry::SubKeys(const QString& key) const {
  QStringList out;
  const QString prefix = key + QLatin1Char('\\');
  for (const auto& [k, values] : keys_) {
    if (!k.startsWith(prefix, Qt::CaseInsensitive)) continue;
    const QString rest = k.mid(prefix.size());
    const QString first = rest.section(QLatin1Char('\\'), 0, 0);
    if (!first.isEmpty() && !out.contains(first, Qt::CaseInsensitive)) out << first;
  }
  return out;
}

void Registry::CreateKey(const QString& key) { keys_[key]; }

void Registry::SetValue(const QString& key, const QString& name, const QString& value) {
  keys_[key][name] = value;
}

bool Registry::DeleteTree(const QString& key) {
  bool any = false;
  const QString prefix = key + QLatin1Char('\\');
  for (auto it = keys_.begin(); it != keys_.end();) {
    if (it->first.compare(key, Qt::CaseInsensitive) == 0 ||
        it->first.startsWith(prefix, Qt::CaseInsensitive)) {
      it = keys_.erase(it);
      any = true;
    } else {
      ++it;
    }
  }
  return any;
}

bool Registry::Update(const QString& path, const std::function<bool(Registry&)>& edit) {
  // The lock lies beside the file written, so that writers through a link and through the
  // file's own name wait for each other.
  const QString target = files::WriteTarget(path);
  const QFileInfo info(target);
  if (target.isEmpty() || info.isDir() || !QDir().mkpath(info.absolutePath())) return false;
  FileLock lock(target + QStringLiteral(".lock"));
  if (!lock.Lock(std::chrono::seconds(10))) return false;
  Registry reg(path);
  if (!reg.Load()) return false;
  if (!edit(reg)) return false;
  return reg.Save();
}

QString TypeLibKey(const Guid& libid, int major, int minor) {
  return QStringLiteral("TypeLib\\%1\\%2.%3").arg(libid.ToString()).arg(major).arg(minor);
}
QString ClassKey(const Guid& clsid) { return QStringLiteral("CLSID\\") + clsid.ToString(); }
QString ProgIdKey(const QString& progId) { return QStringLiteral("ProgID\\") + progId; }
QString InterfaceKey(const Guid& iid) { return QStringLiteral("Interface\\") + iid.ToString(); }

void RegisterTypeLib(Registry& reg, const TypeLibEntry& lib) {
  const QString key = TypeLibKey(lib.libid, lib.major, lib.minor);
  reg.DeleteTree(key);
  reg.SetValue(key, QString(), lib.name);
  reg.SetValue(key, QStringLiteral("Path"), lib.path);
  if (!lib.helpFile.isEmpty()) {
    reg.SetValue(key, QStringLiteral("HelpFile"), lib.helpFile);
    reg.SetValue(key, QStringLiteral("HelpDir"), QFileInfo(lib.path).absolutePath());
  }
  const QString version = QStringLiteral("%1.%2").arg(lib.major).arg(lib.minor);
  for (const auto& [iid, name] : lib.interfaces) {
    const QString ikey = InterfaceKey(iid);
    reg.DeleteTree(ikey);
    reg.SetValue(ikey, QString(), name);
    reg.SetValue(ikey, QStringLiteral("TypeLib"), lib.libid.ToString());
    reg.SetValue(ikey, QStringLiteral("Version"), version);
  }
}

bool UnregisterTypeLib(Registry& reg, const Guid& libid, int major, int minor) {
  const QString key = TypeLibKey(libid, major, minor);
  if (!reg.HasKey(key)) return false;
  reg.DeleteTree(key);
  const QString parent = QStringLiteral("TypeLib\\") + libid.ToString();
  if (reg.SubKeys(parent).isEmpty()) reg.DeleteTree(parent);
  // The interfaces this version described.
  const QString libText = libid.ToString();
  const QString version = QStringLiteral("%1.%2").arg(major).arg(minor);
  for (const QString& k : reg.Keys()) {
    if (!k.startsWith(QLatin1String("Interface\\"), Qt::CaseInsensitive)) continue;
    if (reg.Value(k, QStringLiteral("TypeLib")).value_or(QString()).compare(libText, Qt::CaseInsensitive) == 0 &&
        reg.Value(k, QStringLiteral("Version")).value_or(QString()) == version)
      reg.DeleteTree(k);
  }
  return true;
}

void RegisterClassEntry(Registry& reg, const ClassEntry& cls) {
  const QString key = ClassKey(cls.clsid);
  reg.DeleteTree(key);
  reg.SetValue(key, QString(), cls.userTypeName);
  reg.SetValue(key, QStringLiteral("InprocServer"), cls.path);
  reg.SetValue(key, QStringLiteral("ThreadingModel"), cls.threadingModel);
  if (!cls.progId.isEmpty()) reg.SetValue(key, QStringLiteral("ProgID"), cls.progId);
  if (cls.control) {
    reg.SetValue(key, QStringLiteral("Control"), QString());
    reg.SetValue(key, QStringLiteral("MiscStatus"), QString::number(cls.miscStatus));
    reg.SetValue(key, QStringLiteral("TypeLib"), cls.typeLib.ToString());
    reg.SetValue(key, QStringLiteral("Version"), cls.version);
    reg.SetValue(key, QStringLiteral("ToolboxBitmap"),
                 QStringLiteral("%1, %2").arg(cls.path).arg(cls.toolboxBitmap));
  }
  if (!cls.progId.isEmpty()) {
    const QString pkey = ProgIdKey(cls.progId);
    reg.DeleteTree(pkey);
    reg.SetValue(pkey, QString(), cls.userTypeName);
    reg.SetValue(pkey, QStringLiteral("CLSID"), cls.clsid.ToString());
  }
}

bool UnregisterClassEntry(Registry& reg, const Guid& clsid, const QString& progId) {
  bool any = reg.DeleteTree(ClassKey(clsid));
  if (!progId.isEmpty()) any = reg.DeleteTree(ProgIdKey(progId)) || any;
  return any;
}

QString ModulePath(const void* address) {
  Dl_info info{};
  if (!dladdr(address, &info) || !info.dli_fname) return QString();
  const QFileInfo fi(QFile::decodeName(info.dli_fname));
  const QString canonical = fi.canonicalFilePath();
  return canonical.isEmpty() ? fi.absoluteFilePath() : canonical;
}

}  // namespace com
