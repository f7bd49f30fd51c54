// The settings window's buttons that open the other administration and history windows, each
// clicked as the administrator does. (The folder views, the file dialogs, the card printing and
// the row guard of the history and card buttons have tests of their own.)
#include "admin_fixture.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>

#include <functional>

#include "admin/frmContents.h"
#include "admin/frmInport.h"
#include "admin/frmMContents.h"
#include "admin/frmMail.h"
#include "admin/frmSearch.h"
#include "admin/frmServer.h"
#include "common/globals.h"
#include "common/mdlIni.h"
#include "history/frmPrint.h"

namespace admintest {
namespace {

class SettingsButtons : public AdminTest {};

TEST_F(SettingsButtons, EachButtonOpensItsWindowInItsMode) {
  Prepare();
  gblnSendMail = true;    // the template button is enabled
  gblnIsServer = false;   // the mail server button shows
  gstrAllSubject = "一括 %名前%";
  gstrSptSubject = "連絡 %名前%";
  frmSet& f = Open();
  ShowMembers();

  // No member in the table: the bulk mail is refused.
  f.cmdAllSend->click();
  EXPECT_EQ(boxes_.Texts().back(), "対象データがありません。");
  EXPECT_FALSE(frmMContents::IsLoaded());

  folder_.AddMember("101", "青木");
  f.default_fgData();
  struct Case {
    QPushButton* button;
    QString window;                 // the modal window that opens
    std::function<bool()> inMode;   // asked while it is open, where the window has modes
    std::function<void()> unload;
  };
  const std::vector<Case> cases = {
      {f.cmdContents, "frmContents", {}, &frmContents::Unload},
      {f.cmdServer, "frmServer", {}, &frmServer::Unload},
      {f.cmdSearch, "frmSearch", {}, &frmSearch::Unload},
      // The bulk mail: its mode and its own template.
      {f.cmdAllSend, "frmMContents",
       [] { return gintMailMode == 2 && frmMContents::instance().txtSubject->text() == gstrAllSubject; },
       &frmMContents::Unload},
      {f.cmdHist, "frmPrint", [] { return frmPrint::instance().mode() == frmPrint::Mode::History; },
       &frmPrint::Unload},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.window.toStdString());
    QString opened;
    bool inMode = !c.inMode;
    QTimer inspect;
    inspect.setSingleShot(true);
    QObject::connect(&inspect, &QTimer::timeout, [&] {
      if (QWidget* modal = QApplication::activeModalWidget()) opened = modal->objectName();
      if (c.inMode) inMode = c.inMode();
      c.unload();
    });
    inspect.start(0);
    c.button->click();
    EXPECT_EQ(opened, c.window);
    EXPECT_TRUE(inMode);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }

  // The import window is modeless: the settings window stays usable beside it.
  f.cmdInport->click();
  ASSERT_TRUE(frmInport::IsLoaded());
  EXPECT_TRUE(frmInport::instance().isVisible());
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  f.cmdData->click();
  EXPECT_TRUE(f.MessagesOnScreen());
}

TEST_F(SettingsButtons, TheBottomRowAndItsTabOrderRunImportThenSearchThenOk) {
  Prepare();
  frmSet& f = Open();
  ShowMembers();
  const std::vector<QPushButton*> row = {f.cmdData, f.cmdPrint,  f.cmdHist, f.cmdAllSend,
                                         f.cmdInport, f.cmdSearch, f.cmdOK,   f.cmdCancel};
  for (size_t i = 1; i < row.size(); ++i) {
    SCOPED_TRACE(row[i]->objectName().toStdString());
    EXPECT_LT(row[i - 1]->x(), row[i]->x());
    EXPECT_EQ(row[i - 1]->nextInFocusChain(), row[i]);
  }
}

// Types `typed` into a field of a window opened anew, leaves the window by `leave`, and gives the
// field's text when the window opens once more.
template <class Window>
QString TypedThenReopened(QLineEdit* Window::*field, const QString& typed, void (*leave)(QDialog&)) {
  Window& window = Window::instance();
  window.show();
  (window.*field)->setFocus();
  (window.*field)->setText(typed);
  leave(window);
  EXPECT_FALSE(Window::IsLoaded());
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  const QString again = (Window::instance().*field)->text();
  Window::Unload();
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  return again;
}

// Esc and the close box are Cancel in the mail server window and the search: what was typed there
// is gone when the window opens again, and nothing was stored.
TEST_F(SettingsButtons, EscOrTheCloseBoxInTheServerAndSearchWindowsKeepsNothing) {
  Prepare();
  Open();
  gstrMailServer = "smtp.saved.jp";
  void (*esc)(QDialog&) = [](QDialog& d) { QTest::keyClick(d.focusWidget() ? d.focusWidget() : &d, Qt::Key_Escape); };
  void (*closeBox)(QDialog&) = [](QDialog& d) { d.close(); };
  for (auto leave : {esc, closeBox}) {
    SCOPED_TRACE(leave == esc ? "Esc" : "close box");
    EXPECT_EQ(TypedThenReopened(&frmServer::txtServer, "smtp.typed.jp", leave), "smtp.saved.jp");
    EXPECT_EQ(gstrMailServer, "smtp.saved.jp");
    EXPECT_EQ(ReadIni("MAIL", "mailserver"), "");
    EXPECT_EQ(TypedThenReopened(&frmSearch::txtName, "青木", leave), "");
  }
}

// No administration dialog has a default button: Enter in a one-line field presses nothing.
TEST_F(SettingsButtons, EnterInAFieldPressesNoButton) {
  Prepare();
  Open();
  gintMailMode = 1;  // the composer as the contact mail, its subject empty
  glngSendRow = 0;
  gstrSptSubject.clear();
  gstrMailServer = "smtp.ex.jp";
  gstrPop3Server = "pop.ex.jp";
  gstrAuthID = "id";
  gstrAuthPsw = "pw";
  struct Case {
    QDialog* dialog;
    QWidget* field;
    std::function<void()> unload;
  };
  const QString subjectBefore = ReadIni("MAIL", "inSubject");
  frmContents& editor = frmContents::instance();
  editor.txtSubject->setText("入室");
  const std::vector<Case> cases = {
      {&editor, editor.txtSubject, &frmContents::Unload},
      {&frmMContents::instance(), frmMContents::instance().txtSubject, &frmMContents::Unload},
      {&frmMail::instance(), frmMail::instance().txtMail, &frmMail::Unload},
      {&frmSearch::instance(), frmSearch::instance().txtID, &frmSearch::Unload},
      {&frmServer::instance(), frmServer::instance().txtServer, &frmServer::Unload},
  };
  for (const Case& c : cases) {
    const QString name = c.dialog->objectName();
    SCOPED_TRACE(name.toStdString());
    c.dialog->show();
    c.field->setFocus();
    const size_t boxes = boxes_.Texts().size();
    QTest::keyClick(c.field, Qt::Key_Return);
    EXPECT_EQ(boxes_.Texts().size(), boxes);
    EXPECT_TRUE(c.dialog->isVisible());
    for (QPushButton* b : c.dialog->findChildren<QPushButton*>())
      EXPECT_FALSE(b->isDefault()) << b->objectName().toStdString();
  }
  // The editor saved nothing, the mail server window stored nothing.
  EXPECT_EQ(ReadIni("MAIL", "inSubject"), subjectBefore);
  EXPECT_EQ(ReadIni("MAIL", "mailserver"), "");
  for (auto it = cases.rbegin(); it != cases.rend(); ++it) it->unload();
}

}  // namespace
}  // namespace admintest
