// The program as Velmor runs it (RunProgram, its shutdown signals included), whose administrator
// is played by itself, for the tests that end it by a signal in the middle of a long run:
//
//   admin_child <folder/> bulk       logs in as the administrator, shows the members, ticks them
//                                    all, and sends the composer's texts through 一括メール → 送信
//                                    → 選択データに送信 → 送信
//   admin_child <folder/> testmail   logs in as the administrator, opens the templates and sends
//                                    their test mail (内容 → 送信テスト → 送信)
//
// Every message box is answered OK and written to the standard output as "box <text>", one line;
// "run" says that the last click starts the run. The exit status is the program's.
#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QCheckBox>
#include <QTimer>

#include <cstdio>

#include "admin/frmContents.h"
#include "admin/frmMContents.h"
#include "admin/frmMail.h"
#include "admin/frmSet.h"
#include "common/MemberRoster.h"
#include "history/frmPrint.h"
#include "program.h"
#include "startup/frmLogin.h"
#include "ui/msgbox.h"
#include "ui/process_setup.h"

namespace {

void Say(QString line) {
  line.replace(QLatin1Char('\n'), QLatin1Char(' '));
  std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
  std::fflush(stdout);
}

// Runs `click` once the event loop that the next modal window runs has started.
void InNextModal(std::function<void()> click) { QTimer::singleShot(0, std::move(click)); }

void Drive(const QString& run) {
  frmLogin* login = frmLogin::instance();
  login->txtPassword->setText(QStringLiteral("admin"));
  login->frmLogin_cmdOK_Click();
  login->LoginTimerProc();  // the administration at once, not five seconds later
  frmSet& settings = frmSet::instance();
  if (run == QLatin1String("bulk")) {
    settings.cmdData->click();
    MemberRoster& roster = MemberRoster::Shared();
    for (int row = 0; row < roster.Count(); ++row) roster.SetTicked(row, true);
    InNextModal([] {
      frmMContents& composer = frmMContents::instance();
      composer.txtSubject->setText(QStringLiteral("%名前%%敬称%へのお知らせ"));
      composer.rtxtContents->setPlainText(QStringLiteral("休館日のお知らせです。"));
      InNextModal([] {
        frmPrint& print = frmPrint::instance();
        print.chkChkBox->setChecked(true);
        Say(QStringLiteral("run"));
        print.cmdPrint->click();
      });
      composer.cmdOK->click();
    });
    settings.cmdAllSend->click();
  } else {
    InNextModal([] {
      InNextModal([] {
        Say(QStringLiteral("run"));
        frmMail::instance().cmdSend->click();
      });
      frmContents::instance().cmdSend->click();
    });
    settings.cmdContents->click();
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  ui::PrepareRuntimeFolder();
  QApplication app(argc, argv);
  ui::SetMsgBoxHook([](const QString& text, int, const QString&) {
    Say(QStringLiteral("box ") + text);
    return static_cast<int>(ui::vbOK);
  });
  const QString run = QString::fromLocal8Bit(argv[2]);
  QTimer::singleShot(0, [run] { Drive(run); });
  return RunProgram(QString::fromLocal8Bit(argv[1]));
}
