#include "admin/SettingsWindowMail.h"

#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>

#include "admin/frmSet.h"
#include "common/mdlRas.h"

MailResult SendWithSettingsWindow(const QString& recipients, const QString& subject,
                                  const QString& body, const QString& name,
                                  const QString& honorific, const QString& attachment) {
  MailAccount account = MailAccountFromSettings();
  account.traceVariant = false;
  account.dialEntry.clear();
  if (frmSet::IsLoaded()) {
    const frmSet& f = frmSet::instance();
    account.senderName = f.txtAppUser->text();
    account.senderAddress = f.txtMailAddr->text();
    if (!f.optLan->isChecked()) {
      // Dial-up is chosen: without a connection up, an entry must be dialled.
      account.dialEntry = f.entryCombo1->currentText();
      account.dialUser = f.user->text();
      account.dialPassword = f.pass->text();
      if (account.dialEntry.isEmpty() && !IsRasConnected()) return MailResult::DialUpFailed;
    }
  }
  return DeliverMail(account, recipients, subject, body, name, honorific, attachment);
}
