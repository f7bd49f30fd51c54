// The bulk mail to 1,000 members through the local SMTP and POP3 servers, as the administrator
// sends it: the print and selection window with "すべてに送信", a POP login and one mail per
// member, from the click on 送信 to the end of the job (target: 30 s).
//
//   build/bin/bench_bulkmail
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCheckBox>

#include <cstdio>
#include <memory>

#include "common/BulkMailDraft.h"
#include "common/globals.h"
#include "common/mdlDB.h"
#include "db/db.h"
#include "history/frmPrint.h"
#include "mail/mail.h"
#include "support/bench_support.h"
#include "support/msgbox_recorder.h"
#include "support/support_program.h"
#include "support/support_servers.h"

namespace {

constexpr int kRecipients = 1000;

std::unique_ptr<testsupport::ProgramFolder> gFolder;
std::unique_ptr<testsupport::SmtpServer> gSmtp;
std::unique_ptr<testsupport::Pop3Server> gPop;

void BulkMailToAllMembers(benchmark::State& state) {
  testsupport::MsgBoxRecorder boxes;
  for (auto _ : state) {
    const auto mailsBefore = gSmtp->Messages().size();
    gintMailMode = 2;
    TheBulkMailDraft() = {QStringLiteral("%名前%%敬称%へ 休館日のお知らせ"),
                          QStringLiteral("%名前%%敬称%\r\n12月29日から1月3日まで休館します。"), false};
    frmPrint& p = frmPrint::instance();
    p.chkAll->setChecked(true);
    p.cmdPrint_Click();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    state.PauseTiming();
    const QString end = boxes.Texts().empty() ? QString() : boxes.Texts().back();
    if (end != QStringLiteral("送信は終了しました。\n送信 %1件").arg(kRecipients) ||
        gSmtp->Messages().size() - mailsBefore != kRecipients)
      state.SkipWithError(qPrintable(QStringLiteral("the job ended with: ") + end));
    state.ResumeTiming();
  }
  state.counters["mails"] = kRecipients;
}
BENCHMARK(BulkMailToAllMembers)->Iterations(1)->Repetitions(3)->UseRealTime()->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
  return benchsupport::RunBenchmarks(
      argc, argv,
      [] {
        testsupport::InstallMsgBoxRecorder();
        gSmtp = std::make_unique<testsupport::SmtpServer>();
        gPop = std::make_unique<testsupport::Pop3Server>();
        if (!gSmtp->Start() || !gPop->Start(QStringLiteral("box"), QStringLiteral("pw"))) {
          std::fprintf(stderr, "test servers: %s%s\n", qPrintable(gSmtp->Error()), qPrintable(gPop->Error()));
          return false;
        }
        gFolder = std::make_unique<testsupport::ProgramFolder>();
        gFolder->CreateDatabase(false);
        benchsupport::FillStationDatabase(gFolder->DatabaseFile(), kRecipients, 0);
        QString error;
        if (!OpenStationDatabase(&error) ||
            !db::Execute(gcnDB(), QStringLiteral("UPDATE tblData SET MailAddr = 'm' || ID || '@example.jp'"), {},
                         nullptr, &error)) {
          std::fprintf(stderr, "%s\n", qPrintable(error));
          return false;
        }
        // The saved settings: the own server with POP before SMTP, the trace variant.
        gblnIsServer = false;
        gstrMailServer = QStringLiteral("127.0.0.1");
        gstrPop3Server = QStringLiteral("127.0.0.1\t") + QString::number(gPop->Port());
        gintPort = gSmtp->Port();
        gintMailReg = 1;
        gintRegM = 0;
        gstrAuthID = QStringLiteral("box");
        gstrAuthPsw = QStringLiteral("pw");
        gstrAppUser = QStringLiteral("ベルモア教室");
        gstrMailAddr = QStringLiteral("station@example.jp");
        gblnLog = true;
        return true;
      },
      [] {
        gFolder.reset();
        gPop.reset();
        gSmtp.reset();
      });
}
