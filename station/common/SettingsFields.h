#pragma once
// The settings window's fields that the windows it opens read as they stand on screen, edited and
// not saved yet: the installation name (the ID cards carry it) and the logo file (the print and
// selection window shows it). The settings window shares them while it is open; without it the
// saved values stand in.
#include <QString>

class QLineEdit;

// The settings window's name and logo fields; each is forgotten when it is deleted.
void ShareSettingsFields(QLineEdit* appUser, QLineEdit* logoFile);

// The text of the shared name field, else the saved installation name (gstrAppUser).
QString EditedAppUser();
// The text of the shared logo field, else the saved logo file (gstrLogoFile).
QString EditedLogoFile();
