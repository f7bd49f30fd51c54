#include "common/SettingsFields.h"

#include <QLineEdit>
#include <QPointer>

#include "common/globals.h"

namespace {

QPointer<QLineEdit>& AppUserField() {
  static QPointer<QLineEdit> field;
  return field;
}

QPointer<QLineEdit>& LogoFileField() {
  static QPointer<QLineEdit> field;
  return field;
}

}  // namespace

void ShareSettingsFields(QLineEdit* appUser, QLineEdit* logoFile) {
  AppUserField() = appUser;
  LogoFileField() = logoFile;
}

QString EditedAppUser() { return AppUserField() ? AppUserField()->text() : gstrAppUser; }

QString EditedLogoFile() { return LogoFileField() ? LogoFileField()->text() : gstrLogoFile; }
