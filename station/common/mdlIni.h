#pragma once
// The settings file Velmor.ini in the program folder and the station settings loaded from it.
#include <QString>

// Reads one key; the empty text when the file, section or key is missing. Never fails.
QString ReadIni(const QString& section, const QString& key);

// Writes one key, creating the section, the key or the file. Returns false when the value could
// not be stored (a character the settings file's code page cannot hold, an unwritable folder).
bool WriteIni(const QString& section, const QString& key, const QString& value);

// The full path of the settings file.
QString IniPath();

// Loads every key of the settings file into the program-wide values, in table order, with the
// conversions, defaults and replacements of the station. Returns false when a required key is
// missing or malformed; `error` then names the section and the key.
bool LoadSettings(QString* error);
