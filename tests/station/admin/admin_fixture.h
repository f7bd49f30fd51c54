#pragma once
// The settings window's tables over a temporary program folder: its settings loaded, the SQLite
// database behind the test's own "Pardix", a clock the test sets, message boxes recorded.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QStringList>

#include "admin/frmSet.h"
#include "support/msgbox_recorder.h"
#include "support/support_program.h"
#include "support/support_servers.h"

namespace admintest {

// A member row as stored, the fields the tables show and the ones they must leave alone.
struct StoredMember {
  QString id, name, honorific, kana, mailName, mailAddr, date, update, lastIn, lastOut;
};

// A file's bytes; empty when it cannot be read.
QByteArray FileBytes(const QString& path);

class AdminTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Settings and database.
  void Prepare();
  // The window, open on the message table.
  frmSet& Open();
  frmSet& Window() { return frmSet::instance(); }
  // Switches to the member table (the message table was on screen).
  void ShowMembers();

  // Makes the grid on screen current at (row, col) and types `keys` there.
  void TypeInto(int row, int col, const QString& keys, Qt::Key end = Qt::Key_Return);
  // Selects whole rows first to last of the grid on screen.
  void SelectRows(int first, int last);

  std::vector<StoredMember> StoredMembers() const;
  std::vector<std::pair<QString, int>> StoredGreetings() const;  // Message, InYes
  void AddGreeting(const QString& text, bool entry) const;

  static QDateTime now_;
  testsupport::ProgramFolder folder_;
  testsupport::MsgBoxRecorder boxes_;
};

// The administration with real SMTP and POP3 servers on 127.0.0.1, started once for a suite (the
// POP mailbox "popuser" / "poppw"), and the mail library's short limits.
class MailServedTest : public AdminTest {
 protected:
  static void StartServers(const testsupport::SmtpOptions& smtp = {});
  static void StopServers();
  static void SetUpTestSuite() { StartServers(); }
  static void TearDownTestSuite() { StopServers(); }
  void SetUp() override;
  void TearDown() override;

  static int Mails();
  // The text of the newest message box.
  QString LastBox() const;

  static testsupport::SmtpServer* smtp_;
  static testsupport::Pop3Server* pop_;
};

}  // namespace admintest
