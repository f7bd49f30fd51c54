#pragma once
// The bulk mail run: one mail per chosen member, filled with his name and honorific, through the
// saved mail settings, with a dial-up, a POP login and a send for every member.
#include <QString>

struct BulkMailDraft;
struct MailAccount;

namespace db {
class Recordset;
}

// What became of the members of one run.
struct BulkMailOutcome {
  int sent = 0;        // mails the mail library accepted
  int failed = 0;      // POP login or sending failed
  int skipped = 0;     // no mail address
  int notReached = 0;  // members with an address left when a failed dial-up ended the run
  bool dialUpFailed = false;
  bool programEnded = false;  // the program ended during the run: the mail on its way and the
                              // members after it were not sent

  bool AllSent() const { return failed == 0 && !dialUpFailed && !programEnded; }
};

// Sends the draft to every member of `members` (fields ID, UserName, UserAdd, MailAddr) from its
// current record to its end; the record set is left at its end and open. A member without an
// address is passed over. A failed POP login or send writes "<ID> - メールサーバー接続" /
// "<ID> - メール送信", "失敗" in the operation log and the run goes on; with the plain sending
// variant each failed send also shows its own message. A failed dial-up shows its message and
// ends the run. The end of the program ends it at the mail on its way (its wait given up), with
// no line for that member.
BulkMailOutcome SendBulkMail(db::Recordset& members, const BulkMailDraft& draft, const MailAccount& account);

// The message that ends a bulk job: "送信は終了しました。" when every member with an address got
// his mail, otherwise what went wrong; either way with the members sent, failed, passed over and
// not reached.
QString BulkMailEndText(const BulkMailOutcome& outcome);
