#include "common/IdRoad.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <mutex>
#include <optional>

#include "common/globals.h"
#include "common/imgctl_util.h"
#include "common/mdlFTP.h"
#include "common/mdlLogWrite.h"
#include "common/mdlRas.h"
#include "common/mdlStation.h"
#include "files/files.h"
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
  // The state outlives the window: a road whose window goes meanwhile still stores its event.
  const std::shared_ptr<State> state = state_;
  state->running = true;
  state->lastEnd = Run(state, input);
  while (state->Window() && !state->queue.empty()) {
    const QString next = state->queue.front();
    state->queue.pop_front();
    state->lastEnd = Run(state, next);
  }
  state->running = false;
  TellHeld(state);
  return true;
}

bool IdRoad::WaitForNotices(int timeoutMs) {
  QDeadlineTimer deadline(timeoutMs);
  while ((NoticesPending() > 0 || *state_->untold > 0) && !deadline.hasExpired()) {
    if (QCoreApplication::instance())
      QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
    else
      QThread::msleep(5);
  }
  return NoticesPending() == 0 && *state_->untold == 0;
}

void IdRoad::TellHeld(const std::shared_ptr<State>& state) {
  while (!state->held.empty() && !state->running) {
    const std::function<void(RoadWindow*)> show = std::move(state->held.front());
    state->held.erase(state->held.begin());
    if (RoadWindow* w = state->Window()) show(w);
  }
}

void IdRoad::State::Tell(std::function<void(RoadWindow*)> show) {
  if (running)
    held.push_back(std::move(show));
  else if (RoadWindow* w = Window())
    show(w);
}

QString FreePhotoName(const QString& folder, const QString& stamp, const QString& taken) {
  auto used = [&](const QString& name) {
    return name == taken || QFileInfo::exists(folder + name + QStringLiteral(".jpg")) ||
           QFileInfo::exists(folder + name + QStringLiteral(".bmp"));
  };
  if (!used(stamp)) return stamp;
  const QString form = QStringLiteral("yyyyMMddHHmmss");
  QDateTime at = QDateTime::fromString(stamp, form);
  if (!at.isValid()) return stamp;
  // A day of names taken in a row would be a folder that no longer takes photos at all.
  for (int i = 0; i < 86400; ++i) {
    at = at.addSecs(1);
    const QString name = at.toString(form);
    if (!used(name)) return name;
  }
  return stamp;
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

// The log lines of one event's notifications, whose mail and FTP record go out on two senders.
// The access line is written exactly once: after the mail's lines and before the FTP line when
// they go out (an FTP line that comes first waits for it), or when they are given up, before the
// event's one "<ID> - 通知" "中止". Each call returns the event as its notifications ended when
// it was the last of them to come through.
class NoticeLines {
 public:
  NoticeLines(const RoadEvent& e, bool mail, bool ftp)
      : e_(e), mailOpen_(mail), open_((mail ? 1 : 0) + (ftp ? 1 : 0)) {}

  // The mail went out or failed; its lines are written.
  std::optional<RoadEvent> MailDone(MailResult result) {
    const std::lock_guard<std::mutex> lock(mutex_);
    e_.mailTried = true;
    e_.mail = result;
    mailOpen_ = false;
    AccessOnce();
    if (ftpLine_) FtpLine(*ftpLine_);
    return PartDone();
  }
  // The FTP record arrived (`sent`) or not.
  std::optional<RoadEvent> FtpDone(bool sent) {
    const std::lock_guard<std::mutex> lock(mutex_);
    e_.ftpTried = true;
    e_.ftpSent = sent;
    if (mailOpen_) {
      ftpLine_ = sent;  // after the mail's lines and the access line
    } else {
      AccessOnce();
      FtpLine(sent);
    }
    return PartDone();
  }
  // The mail (`mail`) or the FTP record was given up.
  std::optional<RoadEvent> GivenUp(bool mail) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (mail) mailOpen_ = false;
    AccessOnce();
    if (ftpLine_) FtpLine(*ftpLine_);
    if (!e_.givenUp) Log(e_.id + QStringLiteral(" - 通知"), QStringLiteral("中止"));
    e_.givenUp = true;
    return PartDone();
  }

 private:
  void AccessOnce() {
    if (access_) return;
    access_ = true;
    Log(e_.id + QStringLiteral(" - アクセス"), QStringLiteral("成功"));
  }
  void FtpLine(bool sent) {
    ftpLine_.reset();
    Log(e_.id + QStringLiteral(" - FTP"), sent ? QStringLiteral("成功") : QStringLiteral("失敗"));
  }
  std::optional<RoadEvent> PartDone() {
    if (--open_ == 0) return e_;
    return std::nullopt;
  }

  std::mutex mutex_;
  RoadEvent e_;
  bool mailOpen_;     // the mail has yet to go out
  int open_;          // parts not yet through
  bool access_ = false;
  std::optional<bool> ftpLine_;  // an FTP line waiting for the access line
};

}  // namespace

RoadEnd IdRoad::Run(const std::shared_ptr<State>& state, const QString& input) {
  const RoadOptions& o = state->options;
  RoadEvent e;
  e.serial = ++state->serial;
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

  // The event's moment. Its photo is named by it, or by the next free moment when a photo of
  // that name is there already (an event in the same second, a clock set back).
  const bool photo = o.photo && glngCamCount > 0;
  e.stamp = EventStamp(ui::Now());
  if (photo) e.photoName = FreePhotoName(gstrImgDir, e.stamp, state->lastPhotoName);
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
                       photo && gblnSaveImg ? e.photoName + QStringLiteral(".jpg") : QString()};
  switch (RecordEvent(e.id, e.entry, e.nowText, row)) {
    case EventWrite::Stored: break;
    case EventWrite::LastTimeFailed: return failed(dbFailed);
    case EventWrite::HistoryFailed: return failed(e.id + QStringLiteral(" - 履歴"));
  }
  e.imgFile = row.imgFile;
  if (photo) state->lastPhotoName = e.photoName;
  // The templates are read while the window is surely there.
  QString mailBody;
  if (RoadWindow* w = state->Window()) mailBody = w->RoadMailTemplate(e.entry);

  // The photo. The history names the kept file in the photo folder; a photo that did not come
  // about as planned is named as it came (or not at all), and a photo missing is logged.
  EventPhoto shot;
  if (photo) {
    if (RoadWindow* w = state->Window()) {
      shot = w->RoadPhoto(e);
      e.photoFile = shot.file;
      if (e.photoFile.isEmpty()) Log(e.id + QStringLiteral(" - 画像"), QStringLiteral("失敗"));
    }
    QString kept;
    if (gblnSaveImg && !e.photoFile.isEmpty() && !shot.scratch &&
        QFileInfo(e.photoFile).absolutePath() == QFileInfo(gstrImgDir + e.photoName).absolutePath())
      kept = QFileInfo(e.photoFile).fileName();
    if (kept != e.imgFile && SetHistoryPhoto(row, kept)) e.imgFile = kept;
  }
  EventSound(o);
  if (RoadWindow* w = state->Window())
    w->RoadGreeting(e, o.greeting ? PickGreeting(e.entry) : GreetingPick{});
  // The member is greeted: now the photo goes to the disk for good.
  if (photo) FlushPhoto(e.photoFile);

  // What the event sends out goes to the senders; the window is free for the next member.
  const bool mail = gblnSendMail && !e.member.mailAddr.isEmpty();
  const bool ftp = o.ftpRecord && gblnFtp;
  const bool attach = mail && o.photo && SettingIsTrue(gstrSendImg) && !e.photoFile.isEmpty();
  if (shot.scratch && !attach) QFile::remove(e.photoFile);  // no mail will carry it
  if (!mail && !ftp) {
    Log(e.id + QStringLiteral(" - アクセス"), QStringLiteral("成功"));
  } else {
    Notify(state, e, mailBody, mail, ftp, attach, shot.scratch);
  }
  return end(RoadEnd::Recorded);
}

// What one recorded event sends out, and all it needs for it: the event, and the mail account,
// the templates, the FTP account, the record folder and the dial-up values as they stood on the
// window thread when the event was recorded. The senders read nothing else of the settings, so
// that a change made meanwhile (in the settings window) reaches the next event, never one on its
// way. Its mail goes out on the mail sender and its record on the FTP sender; the window hears
// of each outcome on its own thread.
class IdRoad::EventNotice {
 public:
  struct Mail {
    MailAccount account;
    QString subject;
    QString body;
    QString attachment;         // the photo, or empty
    bool scratchPhoto = false;  // the attachment is the event's scratch still alone: it goes once
                                // its mail is through, whatever became of it
    bool logDialUpFailure = true;
    QDateTime when;             // the event's moment, for the placeholders
  };
  struct Record {
    FtpAccount account;
    QString folder;             // where the record file is written
    QString dialEntry;          // the record brings the dial-up line up itself: it may go first
    QString dialUser;
    QString dialPassword;
  };

  EventNotice(const std::shared_ptr<State>& state, const RoadEvent& e, std::optional<Mail> mail,
              std::optional<Record> record)
      : e_(e),
        mail_(std::move(mail)),
        record_(std::move(record)),
        state_(state),
        relay_(state->relay.get()),
        untold_(state->untold),
        lines_(e, mail_.has_value(), record_.has_value()) {}

  // On the mail sender.
  void SendMail() {
    RoadEvent m = e_;
    m.mail = DeliverMail(mail_->account, e_.member.mailAddr, mail_->subject, mail_->body,
                         e_.member.name, e_.member.honorific, mail_->attachment, mail_->when);
    m.mailTried = true;
    DropScratchPhoto();
    // A mail the server accepted went out, even when the station ended meanwhile.
    if (m.mail != MailResult::Sent && NoticeQueue::GivenUp()) {
      TellEnded(lines_.GivenUp(true));
      return;
    }
    switch (m.mail) {
      case MailResult::Sent: break;
      case MailResult::DialUpFailed:
        if (mail_->logDialUpFailure) Log(e_.id + QStringLiteral(" - 接続失敗"), QStringLiteral("失敗"));
        break;
      case MailResult::ServerFailed:
        Log(e_.id + QStringLiteral(" - メールサーバー接続"), QStringLiteral("失敗"));
        break;
      case MailResult::SendFailed:
        Log(e_.id + QStringLiteral(" - メール送信"), QStringLiteral("失敗"));
        break;
    }
    Tell([m](RoadWindow* w) { w->RoadAfterMail(m); });
    TellEnded(lines_.MailDone(m.mail));
  }
  // On the mail sender, or where its queue is given up, in place of SendMail.
  void MailGivenUp() {
    DropScratchPhoto();
    TellEnded(lines_.GivenUp(true));
  }

  // On the FTP sender.
  void SendRecord() {
    const bool sent = UploadRecord();
    TellEnded(!sent && NoticeQueue::GivenUp() ? lines_.GivenUp(false) : lines_.FtpDone(sent));
  }
  // On the FTP sender, or where its queue is given up, in place of SendRecord.
  void RecordGivenUp() { TellEnded(lines_.GivenUp(false)); }

 private:
  void DropScratchPhoto() const {
    if (mail_->scratchPhoto && !mail_->attachment.isEmpty()) QFile::remove(mail_->attachment);
  }

  // The record written into the record folder and uploaded, after the dial-up connection when
  // the settings called for one. Its line carries the event's own date and time. True when the
  // record arrived.
  bool UploadRecord() const {
    const QDateTime at = QDateTime::fromString(e_.stamp, QStringLiteral("yyyyMMddHHmmss"));
    const QString line = at.toString(QStringLiteral("yyyy/MM/dd")) + QLatin1Char(',') +
                         at.toString(QStringLiteral("HH:mm:ss")) + QLatin1Char(',') + e_.imgFile;
    files::MakePrivateFolder(record_->folder);
    const QString file =
        record_->folder + e_.id + (e_.entry ? QStringLiteral("in.txt") : QStringLiteral("out.txt"));
    return WriteTextFile(file, line) &&
           DialUpWhenNeeded(record_->dialEntry, record_->dialUser, record_->dialPassword) &&
           FtpPutFile(file, record_->account) > 0;
  }

  // Shows an outcome on the window thread, after the road that runs there (if any) has ended.
  void Tell(std::function<void(RoadWindow*)> show) const {
    ++*untold_;
    QMetaObject::invokeMethod(
        relay_,
        [state = state_, untold = untold_, show = std::move(show)] {
          --*untold;
          if (const std::shared_ptr<State> s = state.lock()) s->Tell(show);
        },
        Qt::QueuedConnection);
  }
  void TellEnded(const std::optional<RoadEvent>& ended) const {
    if (ended) Tell([done = *ended](RoadWindow* w) { w->RoadNoticeEnded(done); });
  }

  const RoadEvent e_;
  const std::optional<Mail> mail_;
  const std::optional<Record> record_;
  // The road's state is only taken on the window thread (a sender holding it could end it on the
  // sender's own thread). Its relay lives on the window thread and goes after both senders have
  // stopped; `untold_` counts the outcomes on their way to it.
  const std::weak_ptr<State> state_;
  QObject* const relay_;
  const std::shared_ptr<std::atomic<int>> untold_;
  NoticeLines lines_;
};

void IdRoad::Notify(const std::shared_ptr<State>& state, const RoadEvent& e, const QString& mailBody,
                    bool mail, bool ftp, bool attachPhoto, bool scratchPhoto) {
  const RoadOptions& o = state->options;
  // Everything the senders need is taken now, as the event and the settings stand.
  std::optional<EventNotice::Mail> mailPart;
  if (mail) {
    mailPart = EventNotice::Mail{MailAccountFromSettings(),
                                 e.entry ? gstrInSubject : gstrOtSubject,
                                 mailBody,
                                 attachPhoto ? e.photoFile : QString(),
                                 scratchPhoto,
                                 o.logDialUpFailure,
                                 QDateTime::fromString(e.stamp, QStringLiteral("yyyyMMddHHmmss"))};
    if (o.alwaysTrace) mailPart->account.traceVariant = true;
  }
  std::optional<EventNotice::Record> recordPart;
  if (ftp)
    recordPart = EventNotice::Record{FtpAccountFromSettings(), gstrFtpDir, gstrDialEntry,
                                     gstrDialUser, gstrDialPsw};
  const auto notice = std::make_shared<EventNotice>(state, e, std::move(mailPart), std::move(recordPart));
  if (mail) state->mails.Post([notice] { notice->SendMail(); }, [notice] { notice->MailGivenUp(); });
  if (ftp) state->records.Post([notice] { notice->SendRecord(); }, [notice] { notice->RecordGivenUp(); });
}
