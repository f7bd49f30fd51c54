#include "wiring.h"

#include "admin/frmSet.h"
#include "common/Navigation.h"
#include "common/frmBack.h"
#include "common/globals.h"
#include "common/mdlEnd.h"
#include "desk/frmMain.h"
#include "desk/frmMin.h"
#include "history/frmPrint.h"
#include "startup/frmLogin.h"

void ConnectWindows() {
  nav::SetOpener(nav::Window::Login, [] {
    if (frmLogin* login = frmLogin::instance()) login->show();
  });
  nav::SetOpener(nav::Window::Station, [] {
    frmBack::instance();
    frmMain::instance().show();
  });
  nav::SetOpener(nav::Window::MinimizedStation, [] { frmMin::instance().Show(); });
  nav::SetOpener(nav::Window::Settings, [] { frmSet::instance().show(); });
  // Neither mode value chosen: the window opens for the card sheets.
  nav::SetOpener(nav::Window::CardPrint, [] { frmPrint::instance().ShowModal(); });
  nav::SetOpener(nav::Window::BulkRecipients, [] {
    gintMailMode = 2;
    frmPrint::instance().ShowModal();
  });
  nav::SetOpener(nav::Window::HistoryFilter, [] {
    gintHistMode = 1;
    frmPrint::instance().ShowModal();
  });
}

void EndOnShutdownSignal() {
  if (frmLogin::IsLoaded()) {
    if (frmLogin* login = frmLogin::instance()) login->frmLogin_cmdCancel_Click();
  } else if (frmMain::IsLoaded()) {
    frmMain::instance().EndStation();
  } else if (frmMin::IsLoaded()) {
    frmMin::Unload();
  } else {
    EndProgram();
  }
}
