#pragma once
// The road of one ID, from its arrival to its stored event: the member lookup, the entry/exit
// decision with the member's last time and the history row, the photo (through the window), the
// sound and the greeting all happen when the ID arrives, with the arrival's own time. What the
// event sends out afterwards goes to the road's two senders, off the window thread: the mails
// (with the access line) on one, the FTP records on the other, each in the order the events were
// recorded, so that a slow or dead server delays its own notifications, never the other server's
// and never the next member. Both
// station windows run their IDs on it; what differs between them is a RoadOptions value. The road
// needs no window: it reports each stage to a RoadWindow as it happens (the sender's outcomes on
// the window's thread, between roads), and a window shows what it shows of it. IDs that arrive
// while a road runs wait in the road's queue and take their turn after it, each once, in order.
#include <QObject>
#include <QPointer>
#include <QString>

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "common/NoticeQueue.h"
#include "common/StationRecords.h"
#include "common/mdlMail.h"

// What differs between the full station and the minimized one.
struct RoadOptions {
  // The full station's input: only the digits of what arrived count, an empty ID is logged, the
  // station user's password ends the station. Without it the ID is taken as it arrived.
  bool stationInput = true;
  // Database failures are logged ("<ID> - データベース", "<ID> - 履歴").
  bool logDatabaseFailures = true;
  // A photo through the window when cameras were counted, attached when the settings say so.
  bool photo = true;
  // The FTP record of each event (when the settings have it on).
  bool ftpRecord = true;
  // A failed dial-up is logged ("<ID> - 接続失敗").
  bool logDialUpFailure = true;
  // Always the trace variant of the mail, whatever the sending variant says.
  bool alwaysTrace = false;
  // With sounds off, wave/chk.wav is played instead of nothing.
  bool checkSoundWhenSilent = false;
  // The greeting message is picked from the database.
  bool greeting = true;

  static RoadOptions Station();
  static RoadOptions Minimized();
};

// How a road ended.
enum class RoadEnd {
  StationPassword,    // the station user's password arrived: the station ends
  EmptyId,            // nothing of the ID was left
  DatabaseFailed,     // the lookup or the decision's write failed
  Unregistered,       // no member has this ID
  AlreadyRegistered,  // too soon after the member's last event
  Recorded,           // an entry or exit was recorded
};

// One event as the road knows it at each stage.
struct RoadEvent {
  quint64 serial = 0;  // counts the road's runs, from 1
  QString input;       // what arrived
  QString id;          // the ID looked up
  MemberRecord member;
  QString stamp;       // yyyymmddhhmmss, the event's moment
  QString photoName;   // the photo's name without extension: the stamp, or the next free one
  QString nowText;     // yyyy/mm/dd hh:mm:ss, the time written as the member's last time
  bool entry = false;
  QString photoFile;   // the photo taken for the event (full path), empty without one
  bool mailTried = false;
  MailResult mail = MailResult::Sent;
  bool ftpTried = false;
  bool ftpSent = false;
  bool givenUp = false;  // its notification was given up (the station ended)
  QString imgFile;     // the photo's file name as the history row names it
};

// The name (without extension) a photo of the event stamped `stamp` gets in `folder`: the stamp
// itself, or when a photo of that name is there already (taken by an earlier event in the same
// second, a clock set back, a shared folder) the next later moment of the same form whose name is
// free, so that no photo ever replaces another. `taken` is a name given out last, whose file may
// not be there yet.
QString FreePhotoName(const QString& folder, const QString& stamp, const QString& taken = {});

// A photo a window took for an event.
struct EventPhoto {
  bool attempted = false;  // the camera was asked for a still
  QString file;            // the photo's file (JPEG, or the still itself when it could not be
                           // converted); empty when no still came
  bool scratch = false;    // `file` is a scratch still of this event alone, not kept: removed once
                           // the event's mail is through (or at once without a mail to carry it)
};

// What a window shows of the roads it runs. Every stage does nothing unless the window says.
class RoadWindow {
 public:
  virtual ~RoadWindow() = default;
  // False once the window is unloading: the road then stores what it has and shows nothing more.
  virtual bool RoadWindowOpen() const = 0;
  // The road has taken its input.
  virtual void RoadStarted(const RoadEvent&) {}
  // The ID is cleaned (possibly empty): the window shows that it is busy.
  virtual void RoadBusy(const RoadEvent&) {}
  // The decision is made and stored: the window may take the event's photo.
  virtual EventPhoto RoadPhoto(const RoadEvent&) { return {}; }
  // The sound has played: the window greets the member (`greeting` as picked, when asked for).
  virtual void RoadGreeting(const RoadEvent&, const GreetingPick& /*greeting*/) {}
  // The body of the notification mail (entry or exit).
  virtual QString RoadMailTemplate(bool /*entry*/) const { return {}; }
  // The road has ended, in one of its ways.
  virtual void RoadEnded(const RoadEvent&, RoadEnd) {}
  // What became of a recorded event's notification mail (`mail`), told on the window's thread
  // once the sender knows it, between roads.
  virtual void RoadAfterMail(const RoadEvent&) {}
  // The event's notification is over (mail and FTP record as tried, or given up).
  virtual void RoadNoticeEnded(const RoadEvent&) {}
};

class IdRoad {
 public:
  // `owner` is the window's object: once it is gone the road no longer calls `window`.
  IdRoad(QObject* owner, RoadWindow* window, RoadOptions options);

  // Runs the road for `input`, then for every ID that arrives meanwhile. Called while a road runs,
  // it queues `input` behind it and returns false at once.
  bool Submit(const QString& input);
  // Queues `input` behind the running road (an ID typed or chosen while one runs).
  void Queue(const QString& input);

  bool Running() const { return state_->running; }
  int Waiting() const { return static_cast<int>(state_->queue.size()); }
  // Drops the IDs still waiting (the station is ending).
  void DropWaiting() { state_->queue.clear(); }

  // Notifications of recorded events not yet sent (mails and FTP records, waiting or being sent).
  int NoticesPending() const { return state_->mails.Pending() + state_->records.Pending(); }
  // Gives up the notifications not yet sent on both senders, each event with its access line
  // (when it had none yet) and "<ID> - 通知" "中止" (the station is ending).
  void GiveUpNotices() { state_->GiveUpNotices(); }
  // Lets the window thread deliver its events until every notification is sent and its outcome
  // told to the window, or `timeoutMs` has passed. True when all are through.
  bool WaitForNotices(int timeoutMs = 60000);

  // The end of the last road run.
  RoadEnd LastEnd() const { return state_->lastEnd; }
  const RoadEvent& LastEvent() const { return state_->lastEvent; }

 private:
  struct State {
    QPointer<QObject> owner;
    RoadWindow* window = nullptr;
    RoadOptions options;
    bool running = false;
    std::deque<QString> queue;
    quint64 serial = 0;      // of the last road run
    QString lastPhotoName;   // the last photo name given out
    RoadEnd lastEnd = RoadEnd::Recorded;
    RoadEvent lastEvent;
    // Outcomes of the senders that came while a road ran: told when it has ended.
    std::vector<std::function<void(RoadWindow*)>> held;
    // Outcomes on their way to the window thread (counted by the sender too).
    std::shared_ptr<std::atomic<int>> untold = std::make_shared<std::atomic<int>>(0);
    // Outcomes reach the window thread through this object (it lives there); the senders go
    // before it.
    std::unique_ptr<QObject> relay = std::make_unique<QObject>();
    NoticeQueue mails;    // the notification mails and the access lines
    NoticeQueue records;  // the FTP records
    ~State() { GiveUpNotices(); }
    void GiveUpNotices() { NoticeQueue::GiveUp({&mails, &records}); }
    RoadWindow* Window() const { return owner && window->RoadWindowOpen() ? window : nullptr; }
    // Shows a sender's outcome on the window thread: held while a road runs, told at once else.
    void Tell(std::function<void(RoadWindow*)> show);
  };
  class EventNotice;  // what one recorded event sends out
  static RoadEnd Run(const std::shared_ptr<State>& state, const QString& input);
  static void Notify(const std::shared_ptr<State>& state, const RoadEvent& e, const QString& mailBody,
                     bool mail, bool ftp, bool attachPhoto, bool scratchPhoto);
  static void TellHeld(const std::shared_ptr<State>& state);

  std::shared_ptr<State> state_;
};
