#pragma once
// The settings file Velmor.ini in the program folder and the station settings loaded from it.
#include <QList>
#include <QString>

#include <optional>
#include <span>
#include <variant>

#include "profile/profile.h"

// Reads one key; the empty text when the file, section or key is missing. Never fails. A value
// is read up to kIniReadSize - 1 bytes.
inline constexpr int kIniReadSize = 1024;
QString ReadIni(const QString& section, const QString& key);

// Whether `value`, written into the settings file, is read back as the same text: every character
// held by the file's code page, no line break, no blanks around it or quotation marks that
// enclose it, and not longer than a read takes.
bool IniValueReadsBack(const QString& value);

// Writes one key, creating the section, the key or the file. Returns false when the value could
// not be stored (a character the settings file's code page cannot hold, an unwritable folder).
bool WriteIni(const QString& section, const QString& key, const QString& value);

// Several keys in one replacement of the file: afterwards it holds all of them or none. A
// failure is shown (the key whose text the file cannot hold, or the file that could not be
// written) and gives false.
struct IniKey {
  QString section, key, value;
};
bool WriteIniKeys(const QList<IniKey>& keys);

// The same for a save that must agree with the database: the new settings file only waits in
// `pending` (beside the settings file, which stays as it is) until ReplaceIni puts it in place.
// Failures are shown as by WriteIniKeys; when the database has already `committed` something
// (its name, as "パスワード"), a failed replacement says that it is stored and the file is not.
bool PrepareIniKeys(const QList<IniKey>& keys, profile::PendingProfile& pending);
bool ReplaceIni(profile::PendingProfile& pending, const QString& committed = QString());

// A number as the settings file holds it: a decimal text (blanks around it allowed), rounded to
// a whole number with halves going to the even neighbour, within low..high. False otherwise.
bool ToWholeNumber(const QString& text, double low, double high, int& out);

// A Boolean as the settings file holds it: "True" or "False" in any case, or a number (zero is
// false). False when the text is neither.
bool ToFlag(const QString& text, bool& out);

// The full path of the settings file.
QString IniPath();

// Makes the folders of members' data in `programFolder` (log/, ScanData/, ftpFile/) and the files
// in them their owner's alone, also where an older version or a copy left them open to others.
// False when a mode could not be set.
bool MakeMemberDataPrivate(const QString& programFolder);

// ---- the key table ----------------------------------------------------------------------------

// The two groups of keys the administration's settings save writes: A before it rewrites the
// password rows and saves its table, B after.
enum class SaveGroup { A, B };

enum class SettingKind { Flag, Int16, Int32, Text };

// Where the settings save writes a key: its group and its place in the group, counted from 1.
struct SettingSave {
  SaveGroup group;
  int order;
};

// One row of the settings key table: the one place that says a key's section, name, kind,
// program-wide value, default and whether the settings save writes it.
struct SettingKey {
  const char* section;
  const char* key;
  SettingKind kind;
  std::variant<bool*, int*, QString*> target;
  // The default taken when the value is empty; nullptr marks a required key (flags and numbers)
  // or a text that stays empty. It is also the value ResetProgramValues() gives, converted as
  // the load converts it (nullptr: false, 0 or the empty text).
  const char* whenEmpty;
  // Written by the settings save (WriteSavedSettings); nullopt: never written by it.
  std::optional<SettingSave> save;
};

// The rows in the order the load reads them.
std::span<const SettingKey> SettingKeys();

// Loads every key of the settings file into the program-wide values, in table order, with the
// conversions, defaults and replacements of the station. Returns false when a required key is
// missing or malformed; `error` then names the section and the key.
bool LoadSettings(QString* error);

// Gives every program-wide value of the key table its row's default (part of
// ResetProgramValues(), globals.h).
void ApplySettingDefaults();

// The program-wide value of a row in the form the settings file holds: a flag "True" or "False",
// a number its decimal text, a text unchanged.
QString SettingText(const SettingKey& row);

// Writes the keys of the settings save from their program-wide values, group A then group B,
// each in its order, in one replacement of the settings file (WriteIniKeys); with `pending`, only
// prepares that replacement (PrepareIniKeys).
bool WriteSavedSettings(profile::PendingProfile* pending = nullptr);
