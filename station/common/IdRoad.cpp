#include "common/IdRoad.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>

#include "common/globals.h"
#include "common/mdlFTP.h"
#include "common/mdlLogWrite.h"
#include "common/mdlStation.h"
#include "sound/sound.h"
#include "ui/clock.h"

RoadOptions RoadOptions::Station() { return RoadOptions{}; }

RoadOptions RoadOptions::Minimized() {
  RoadOptions o;
  o.stationInput = false;
  o.logDatabaseFailures = false;
  o.photo = false;
  o.ftpRecord = false;
  o.logDialUpFailure = false;
  o.alwaysTrace = true;
  o.checkSoundWhenSilent = true;
  o.greeting = false;
  return o;
}

IdRoad::IdRoad(QObject* owner, RoadWindow* window, RoadOptions options)
    : state_(std::make_shared<State>()) {
  state_->owner = owner;
  state_->window = window;
  state_->options = options;
}

void IdRoad::Queue(const QString& input) { state_->queue.push_back(input); }

bool IdRoad::Submit(const QString& input) {
  if (state_->running) {
    Queue(input);
    return false;
  }
  // The state outlives the window: a road whose window goes while it waits still stores its
  // event.
  const std::shared_ptr<State> state = state_;
  state->running = true;
  state->lastEnd = Run(state, input);
  while (state->Window() && !state->queue.empty()) {
    const QString next = state->queue.front();
    state->queue.pop_front();
    state->lastEnd = Run(state, next);
  }
  state->running = false;
  return true;
}

namespace {

// The random sound of an event.
void EventSound(const RoadOptions& options) {
  if (gblnSound) {
    sound::Play(gstrAppPath + QStringLiteral("wave/wav") + NumberedName(RandomPick(glngWavNum)) +
                QStringLiteral(".wav"));
  } else if (options.checkSoundWhenSilent) {
    sound::Play(gstrAppPath + QStringLiteral("wave/chk.wav"));
  }
}

// The FTP record of an event: written into ftpFile/ and uploaded, its result logged.
void FtpRecord(const RoadEvent& e) {
  const QDateTime now = ui::Now();
  const QString line = now.toString(QStringLiteral("yyyy/MM/dd")) + QLatin1Char(',') +
                       now.toString(QStringLiteral("HH:mm:ss")) + QLatin1Char(',') + e.imgFile;
  QDir().mkpath(gstrFtpDir);
  const QString record = gstrFtpDir + e.id + (e.entry ? QStringLiteral("in.txt") : QStringLiteral("out.txt"));
  const int put = WriteTextFile(record, line) ? FtpPutFile(record) : 0;
  Log(e.id + QStringLiteral(" - FTP"), put > 0 ? QStringLiteral("成功") : QStringLiteral("失敗"));
}

}  // namespace

RoadEnd IdRoad::Run(const std::shared_ptr<State>& state, const QString& input) {
  const RoadOptions& o = state->options;
  RoadEvent e;
  e.input = input;
  auto end = [&](RoadEnd how) {
    state->lastEvent = e;
    if (RoadWindow* w = state->Window()) w->RoadEnded(e, how);
    return how;
  };
  if (RoadWindow* w = state->Window()) w->RoadStarted(e);

  // The station user's password ends the station; only the digits of anything else count.
  if (o.stationInput && input == gstrUserPsw) return end(RoadEnd::StationPassword);
  e.id = o.stationInput ? DigitsOnly(input) : input;
  if (o.stationInput) {
    if (RoadWindow* w = state->Window()) w->RoadBusy(e);
    if (e.id.isEmpty()) {
      Log(QStringLiteral("ID未入力"), QStringLiteral("失敗"));
      return end(RoadEnd::EmptyId);
    }
  }

  // Lookup. A failing database call before the event is stored ends the road, and the member
  // and the operator are told.
  const QString dbFailed = e.id + QStringLiteral(" - データベース");
  auto failed = [&](const QString& what) {
    if (o.logDatabaseFailures) Log(what, QStringLiteral("失敗"));
    sound::Play(gstrAppPath + QStringLiteral("wave/onerr.wav"));
    return end(RoadEnd::DatabaseFailed);
  };
  switch (FindMember(e.id, e.member)) {
    case LookupResult::Failed: return failed(dbFailed);
    case LookupResult::NotFound: return end(RoadEnd::Unregistered);
    case LookupResult::Found: break;
  }

  // The event stamp names the photo: an event in the same second as the last photo (IDs queued
  // behind a road follow at once) waits for the next second instead of overwriting that photo and
  // naming it in its own history row. The wait is bounded, so a clock that stands still cannot
  // hold the road.
  const bool photo = o.photo && glngCamCount > 0;
  e.stamp = EventStamp(ui::Now());
  if (photo && e.stamp == state->lastPhotoStamp) {
    QElapsedTimer waited;
    waited.start();
    while (e.stamp == state->lastPhotoStamp && waited.elapsed() < 1100) {
      QThread::msleep(10);
      e.stamp = EventStamp(ui::Now());
    }
  }
  e.nowText = StampText(e.stamp);

  // The decision, stored at once and whole: the member's last time and the event's history row
  // (its date and time, the photo it plans to keep) in one transaction, before the photo, the
  // sound, the greeting and the mail. Whatever happens later, the event is either not there at
  // all or there whole.
  const EntryExit decision =
      DecideEntryExit(e.member.lastIn, e.member.lastOut, e.nowText, glngInOutTime, glngInOutChg);
  if (decision == EntryExit::AlreadyRegistered) return end(RoadEnd::AlreadyRegistered);
  e.entry = decision == EntryExit::Entry;
  const HistoryRow row{e.id, IoName(e.entry), e.stamp.left(8).toInt(), e.nowText.mid(11),
                       photo && gblnSaveImg ? e.stamp + QStringLiteral(".jpg") : QString()};
  switch (RecordEvent(e.id, e.entry, e.nowText, row)) {
    case EventWrite::Stored: break;
    case EventWrite::LastTimeFailed: return failed(dbFailed);
    case EventWrite::HistoryFailed: return failed(e.id + QStringLiteral(" - 履歴"));
  }
  e.imgFile = row.imgFile;
  // The templates are read while the window is surely there.
  QString mailBody;
  if (RoadWindow* w = state->Window()) mailBody = w->RoadMailTemplate(e.entry);

  // The photo. The history names the kept file in the photo folder; a photo that did not come
  // about as planned is named as it came (or not at all).
  if (photo) {
    if (RoadWindow* w = state->Window()) {
      const EventPhoto taken = w->RoadPhoto(e);
      if (taken.attempted) state->lastPhotoStamp = e.stamp;
      e.photoFile = taken.file;
    }
    QString kept;
    if (gblnSaveImg && !e.photoFile.isEmpty() &&
        QFileInfo(e.photoFile).absolutePath() == QFileInfo(gstrImgDir + e.stamp).absolutePath())
      kept = QFileInfo(e.photoFile).fileName();
    if (kept != e.imgFile && SetHistoryPhoto(row, kept)) e.imgFile = kept;
  }
  EventSound(o);
  if (RoadWindow* w = state->Window())
    w->RoadGreeting(e, o.greeting ? PickGreeting(e.entry) : GreetingPick{});

  // Notification mail. Whatever becomes of it, the event is stored already.
  if (gblnSendMail && !e.member.mailAddr.isEmpty()) {
    if (RoadWindow* w = state->Window()) w->RoadBeforeMail(e);
    MailAccount account = MailAccountFromSettings();
    if (o.alwaysTrace) account.traceVariant = true;
    const QString attachment = o.photo && SettingIsTrue(gstrSendImg) ? e.photoFile : QString();
    e.mail = DeliverMail(account, e.member.mailAddr, e.entry ? gstrInSubject : gstrOtSubject,
                         mailBody, e.member.name, e.member.honorific, attachment);
    e.mailTried = true;
    switch (e.mail) {
      case MailResult::Sent: break;
      case MailResult::DialUpFailed:
        if (o.logDialUpFailure) Log(e.id + QStringLiteral(" - 接続失敗"), QStringLiteral("失敗"));
        break;
      case MailResult::ServerFailed:
        Log(e.id + QStringLiteral(" - メールサーバー接続"), QStringLiteral("失敗"));
        break;
      case MailResult::SendFailed:
        Log(e.id + QStringLiteral(" - メール送信"), QStringLiteral("失敗"));
        break;
    }
    if (RoadWindow* w = state->Window()) w->RoadAfterMail(e);
  }

  // Access line.
  Log(e.id + QStringLiteral(" - アクセス"), QStringLiteral("成功"));

  // FTP record.
  if (o.ftpRecord && gblnFtp) {
    if (RoadWindow* w = state->Window()) w->RoadBeforeFtp(e);
    FtpRecord(e);
    if (RoadWindow* w = state->Window()) w->RoadAfterFtp(e);
  }

  return end(RoadEnd::Recorded);
}
