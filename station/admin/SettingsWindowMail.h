#pragma once
// The test and contact mails go out through the saved mail account, with the sender and the
// dial-up choice taken from the settings window's fields as they stand on screen (unsaved edits
// included), and always without the trace file.
#include <QString>

#include "common/mdlMail.h"

MailResult SendWithSettingsWindow(const QString& recipients, const QString& subject,
                                  const QString& body, const QString& name,
                                  const QString& honorific, const QString& attachment);
