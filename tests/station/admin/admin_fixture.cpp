#include "admin_fixture.h"

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTableView>
#include <QTest>

#include "common/MemberRoster.h"
#include "mail/mail.h"
#include "common/WindowHome.h"
#include "common/globals.h"
#include "common/mdlIni.h"
#include "db/db.h"
#include "ui/clock.h"

namespace admintest {

QDateTime AdminTest::now_;

QByteArray FileBytes(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void AdminTest::SetUp() {
  now_ = QDateTime(QDate(2026, 6, 15), QTime(9, 5, 0));
  ui::SetClock([] { return now_; });
  MemberRoster::Shared().Clear();
}

void AdminTest::TearDown() {
  windows::UnloadAll();
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  MemberRoster::Shared().Clear();
  ui::SetClock({});
}

void AdminTest::Prepare() {
  // A program folder whose settings the window can save as they load: a logo, a greeting, and
  // the passwords the login read.
  folder_.WriteBytes("image/logo.jpg", "x");
  folder_.WriteSettings("[SYSTEM]\nlog=True\ninMessage=カードをかざしてください\n");
  QString error;
  ASSERT_TRUE(LoadSettings(&error)) << error.toStdString();
  folder_.CreateDatabase();
  gstrAdminPsw = QStringLiteral("admin");
  gstrUserPsw = QStringLiteral("9999");
}

frmSet& AdminTest::Open() {
  frmSet& f = Window();
  f.show();
  f.activateWindow();
  QApplication::setActiveWindow(&f);
  (void)QTest::qWaitForWindowActive(&f, 1000);
  return f;
}

void AdminTest::ShowMembers() {
  ASSERT_TRUE(Window().MessagesOnScreen());
  Window().frmSet_cmdData_Click();
  ASSERT_FALSE(Window().MessagesOnScreen());
}

void AdminTest::TypeInto(int row, int col, const QString& keys, Qt::Key end) {
  QTableView* grid = Window().MessagesOnScreen() ? Window().fgMessage : Window().fgData;
  grid->setFocus();
  grid->setCurrentIndex(grid->model()->index(row, col));
  // A character typed on the grid (Japanese ones included, which QTest cannot type) opens the
  // editor with it; the rest goes into the editor.
  QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, keys.left(1));
  QApplication::sendEvent(grid, &press);
  Window().inputTxt->insert(keys.mid(1));
  QTest::keyClick(Window().inputTxt, end);
}

void AdminTest::SelectRows(int first, int last) {
  QTableView* grid = Window().MessagesOnScreen() ? Window().fgMessage : Window().fgData;
  QAbstractItemModel* m = grid->model();
  grid->setCurrentIndex(m->index(first, 0));
  grid->selectionModel()->select(QItemSelection(m->index(first, 0), m->index(last, m->columnCount() - 1)),
                                 QItemSelectionModel::ClearAndSelect);
}

std::vector<StoredMember> AdminTest::StoredMembers() const {
  db::Recordset rs;
  EXPECT_TRUE(rs.Open(gcnDB(), "select * from tblData order by ID"));
  std::vector<StoredMember> out;
  for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext())
    out.push_back({rs.Text("ID"), rs.Text("UserName"), rs.Text("UserAdd"), rs.Text("NameKana"),
                   rs.Text("MailName"), rs.Text("MailAddr"), rs.Text("Date"), rs.Text("Update"),
                   rs.Text("LastIn"), rs.Text("LastOut")});
  return out;
}

std::vector<std::pair<QString, int>> AdminTest::StoredGreetings() const {
  db::Recordset rs;
  EXPECT_TRUE(rs.Open(gcnDB(), "select * from tblMessage"));
  std::vector<std::pair<QString, int>> out;
  for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext())
    out.emplace_back(rs.Text("Message"), rs.Value("InYes").toInt());
  return out;
}

void AdminTest::AddGreeting(const QString& text, bool entry) const {
  ASSERT_TRUE(db::Execute(gcnDB(), "INSERT INTO tblMessage (Message, InYes) VALUES (?, ?)",
                          {text, db::Bool(entry)}));
}

testsupport::SmtpServer* MailServedTest::smtp_ = nullptr;
testsupport::Pop3Server* MailServedTest::pop_ = nullptr;

void MailServedTest::StartServers(const testsupport::SmtpOptions& smtp) {
  smtp_ = new testsupport::SmtpServer;
  pop_ = new testsupport::Pop3Server;
  ASSERT_TRUE(smtp_->Start(smtp)) << smtp_->Error().toStdString();
  ASSERT_TRUE(pop_->Start("popuser", "poppw")) << pop_->Error().toStdString();
}

void MailServedTest::StopServers() {
  delete smtp_;
  delete pop_;
  smtp_ = nullptr;
  pop_ = nullptr;
}

void MailServedTest::SetUp() {
  AdminTest::SetUp();
  mail::SetLimits({10, 10, 10});
  mail::SetDefaultPorts(25, pop_->Port());
}

void MailServedTest::TearDown() {
  AdminTest::TearDown();
  mail::SetLimits({});
  mail::SetDefaultPorts(25, 110);
}

int MailServedTest::Mails() { return int(smtp_->Messages().size()); }

QString MailServedTest::LastBox() const { return boxes_.Texts().empty() ? QString() : boxes_.Texts().back(); }

}  // namespace admintest
