#include "history/BulkMailRun.h"

#include "common/BulkMailDraft.h"
#include "common/mdlEnd.h"
#include "common/mdlLogWrite.h"
#include "common/mdlMail.h"
#include "db/db.h"
#include "ui/msgbox.h"

BulkMailOutcome SendBulkMail(db::Recordset& members, const BulkMailDraft& draft,
                             const MailAccount& account) {
  BulkMailOutcome outcome;
  for (; !members.Eof(); members.MoveNext()) {
    // The program may end while a mail waits on its server or a message box is open.
    if (ProgramEnded()) {
      outcome.programEnded = true;
      return outcome;
    }
    const QString address = members.Text(QStringLiteral("MailAddr"));
    if (address.isEmpty()) {
      ++outcome.skipped;
    } else {
      const QString id = members.Text(QStringLiteral("ID"));
      const MailResult result = DeliverMail(account, address, draft.subject, draft.body,
                                            members.Text(QStringLiteral("UserName")),
                                            members.Text(QStringLiteral("UserAdd")), QString());
      if (result != MailResult::Sent && ProgramEnded()) {
        // Its wait was given up: no failure of the server's to tell.
        outcome.programEnded = true;
        return outcome;
      }
      switch (result) {
        case MailResult::Sent:
          ++outcome.sent;
          break;
        case MailResult::ServerFailed:
          ++outcome.failed;
          Log(id + QStringLiteral(" - メールサーバー接続"), QStringLiteral("失敗"));
          break;
        case MailResult::SendFailed:
          ++outcome.failed;
          if (!account.traceVariant)
            ui::MsgBox(QStringLiteral("送信に失敗しました。接続環境を確認してください。"), ui::vbCritical,
                       QStringLiteral("送信の確認"));
          Log(id + QStringLiteral(" - メール送信"), QStringLiteral("失敗"));
          break;
        case MailResult::DialUpFailed:
          ui::MsgBox(QStringLiteral("ダイアルアップ接続が確立できません。"), ui::vbOKOnly,
                     QStringLiteral("接続の確認"));
          outcome.dialUpFailed = true;
          // Members already handled keep their mails; this one and the rest get none.
          for (; !members.Eof(); members.MoveNext())
            if (!members.Text(QStringLiteral("MailAddr")).isEmpty()) ++outcome.notReached;
          return outcome;
      }
    }
  }
  return outcome;
}

QString BulkMailEndText(const BulkMailOutcome& o) {
  QString counts = QStringLiteral("送信 %1件").arg(o.sent);
  if (o.failed > 0) counts += QStringLiteral("、失敗 %1件").arg(o.failed);
  if (o.notReached > 0) counts += QStringLiteral("、未送信 %1件").arg(o.notReached);
  if (o.skipped > 0) counts += QStringLiteral("、メールアドレスなし %1件").arg(o.skipped);
  QString head;
  if (o.dialUpFailed)
    head = QStringLiteral("送信を中断しました。");
  else if (o.failed > 0)
    head = QStringLiteral("エラーが発生しています。接続環境を確認してください。");
  else
    head = QStringLiteral("送信は終了しました。");
  return head + QLatin1Char('\n') + counts;
}
