#pragma once
// The registry of classes and type libraries: one JSON file of keys, each key a set of named text
// values ("" is the key's default value). Key and value names compare without regard to case and
// keep the case they were written with. Keys are paths with "\" between their parts.
//
// The file is VELMOR_COM_REGISTRY when that is set, else com-registry.json in the user's
// configuration folder (XDG_CONFIG_HOME, else ~/.config) under velmor/. Writers take a lock file
// beside it and replace the file whole, so a reader never sees half a registry.
#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "com/guid.h"

namespace com {

inline constexpr const char* kRegistryEnv = "VELMOR_COM_REGISTRY";

struct CaseInsensitiveLess {
  bool operator()(const QString& a, const QString& b) const {
    return a.compare(b, Qt::CaseInsensitive) < 0;
  }
};

class Registry {
 public:
  using Values = std::map<QString, QString, CaseInsensitiveLess>;

  static QString DefaultPath();

  explicit Registry(QString path = DefaultPath()) : path_(std::move(path)) {}
  const QString& Path() const { return path_; }

  // Reads the file; a missing file is an empty registry. False (and nothing loaded) when the file
  // cannot be read or is not a registry.
  bool Load();
  // Writes the whole registry; false when the file cannot be written.
  bool Save();

  bool HasKey(const QString& key) const;
  // The value, or nullopt when the key or the value does not exist.
  std::optional<QString> Value(const QString& key, const QString& name = QString()) const;
  const Values* ValuesOf(const QString& key) const;
  QStringList Keys() const;
  // The keys directly below `key` (their last part only).
  QStringList SubKeys(const QString& key) const;

  void CreateKey(const QString& key);
  void SetValue(const QString& key, const QString& name, const QString& value);
  // Removes `key` and every key below it; false when there was none.
  bool DeleteTree(const QString& key);

  // Read, edit and write under the lock. False when the lock, the read or the write fails, or when
  // `edit` returns false (nothing is written then).
  static bool Update(const QString& path, const std::function<bool(Registry&)>& edit);

 private:
  QString path_;
  std::map<QString, Values, CaseInsensitiveLess> keys_;
};

// What a library writes for its type library.
struct TypeLibEntry {
  Guid libid;
  QString name;
  int major = 1;
  int minor = 0;
  QString path;      // the library file holding it
  QString helpFile;  // may be empty
  std::vector<std::pair<Guid, QString>> interfaces;  // identifiers and names
};

// What a library writes for one creatable class.
struct ClassEntry {
  Guid clsid;
  QString progId;
  QString userTypeName;
  QString path;  // the library file
  QString threadingModel = QStringLiteral("Apartment");
  bool control = false;  // a control (with misc status, type library, version and toolbox bitmap)
  std::uint32_t miscStatus = 0;
  Guid typeLib;
  QString version;
  int toolboxBitmap = 0;
};

QString TypeLibKey(const Guid& libid, int major, int minor);
QString ClassKey(const Guid& clsid);
QString ProgIdKey(const QString& progId);
QString InterfaceKey(const Guid& iid);

void RegisterTypeLib(Registry& reg, const TypeLibEntry& lib);
// False when that version of the type library is not registered (nothing is changed then).
bool UnregisterTypeLib(Registry& reg, const Guid& libid, int major, int minor);
void RegisterClassEntry(Registry& reg, const ClassEntry& cls);
// Removes the class key and its ProgID key; false when neither existed.
bool UnregisterClassEntry(Registry& reg, const Guid& clsid, const QString& progId);

// The absolute path of the library (or program) that holds `address`.
QString ModulePath(const void* address);

}  // namespace com
