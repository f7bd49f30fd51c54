// The settings window's buttons that open the other administration and history windows, each
// clicked as the administrator does. (The folder views, the file dialogs, the card printing and
// the row guard of the history and card buttons have tests of their own.)
#include "admin_fixture.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <functional>

#include "admin/frmContents.h"
#include "admin/frmInport.h"
#include "admin/frmMContents.h"
#include "admin/frmSearch.h"
#include "admin/frmServer.h"
#include "common/globals.h"
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

}  // namespace
}  // namespace admintest
