// DeliverMail of an entry notice with a 100 KB photo to the local SMTP server, as the station
// sends it (trace variant), with and without the POP login before it. Each repetition is one
// mail; the median over 200 is the figure to watch (target: 15 ms without POP login).
//
//   build/bin/bench_mail --benchmark_counters_tabular=true
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

#include "mail/mail.h"
#include "common/globals.h"
#include "common/mdlMail.h"
#include "support/support_servers.h"

namespace {

testsupport::SmtpServer* gSmtp = nullptr;
testsupport::Pop3Server* gPop = nullptr;
QString gPhoto;

void DeliverEntryNotice(benchmark::State& state) {
  const bool popLogin = state.range(0) != 0;
  gblnIsServer = false;
  gstrMailServer = QStringLiteral("127.0.0.1");
  gstrPop3Server = QStringLiteral("127.0.0.1\t") + QString::number(gPop->Port());
  gintPort = gSmtp->Port();
  gintMailReg = popLogin ? 1 : 0;
  gintRegM = 0;
  gstrAuthID = QStringLiteral("box");
  gstrAuthPsw = QStringLiteral("pw");
  MailAccount account = MailAccountFromSettings();
  account.senderName = QStringLiteral("ベルモア教室");
  account.senderAddress = QStringLiteral("station@example.jp");
  account.dialEntry.clear();
  account.traceVariant = true;
  for (auto _ : state) {
    const MailResult result = DeliverMail(
        account, QStringLiteral("parent@example.jp;office@example.jp"),
        QStringLiteral("%名前%%敬称% 入室のお知らせ"),
        QStringLiteral("%名前%%敬称%が %日付% %時間% に入室しました。\n写真を添付します。\n"),
        QStringLiteral("山田 太郎"), QStringLiteral("さま"), gPhoto);
    if (result != MailResult::Sent) state.SkipWithError("the mail was not sent");
  }
}
BENCHMARK(DeliverEntryNotice)
    ->ArgName("pop_login")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->Repetitions(200)
    ->ReportAggregatesOnly(true)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QTemporaryDir dir;
  gstrLogDir = dir.filePath(QStringLiteral("log/"));
  gPhoto = dir.filePath(QStringLiteral("20240501081530.jpg"));
  {
    QByteArray photo(100 * 1024, '\0');
    for (int i = 0; i < photo.size(); ++i) photo[i] = char((i * 2654435761u) >> 24);
    QFile file(gPhoto);
    if (!file.open(QIODevice::WriteOnly) || file.write(photo) != photo.size()) return 1;
  }
  testsupport::SmtpServer smtp;
  testsupport::Pop3Server pop;
  if (!smtp.Start() || !pop.Start(QStringLiteral("box"), QStringLiteral("pw"))) {
    std::fprintf(stderr, "test servers: %s%s\n", qPrintable(smtp.Error()), qPrintable(pop.Error()));
    return 1;
  }
  gSmtp = &smtp;
  gPop = &pop;
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
