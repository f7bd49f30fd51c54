// The station window's side of the ID road: where an ID enters it (the field, the pad and list
// confirmations, the serial reader) and what the window shows at each stage of it.
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>

#include "com/controlsite.h"
#include "common/PictureBox.h"
#include "common/globals.h"
#include "common/imgctl_util.h"
#include "common/mdlDB.h"
#include "common/mdlEnd.h"
#include "common/MailTemplates.h"
#include "desk/frmMain.h"
#include "files/files.h"
#include "ui/process_setup.h"

const QString frmMain::kRecordError = QStringLiteral("記録エラー！");

// ---- the ID road ---------------------------------------------------------------------------

void frmMain::frmMain_txtID_LostFocus() {
  if (mblnUnloaded) return;
  const QString input = gblnBarcode ? txtID->text() : gstrSelectedID;
  if (mRoad.Running()) {
    // Chosen on the list or the pad while a road runs: its turn comes after it. (With a reader
    // the field shows the running ID; new ones arrive by typing or by the serial line.)
    if (!gblnBarcode) mRoad.Queue(input);
    return;
  }
  RunRoads(input);
}

void frmMain::frmMain_HandOnID(const QString& id) {
  if (mblnUnloaded) return;
  if (mRoad.Running()) {
    mRoad.Queue(id);
    return;
  }
  txtID->setText(id);
  RunRoads(id);
  if (!mblnUnloaded && gblnBarcode && isActiveWindow()) txtID->setFocus(Qt::OtherFocusReason);
}

void frmMain::RunRoads(const QString& input) {
  QPointer<frmMain> alive(this);
  mRoad.Submit(input);
  if (!alive || mblnUnloaded) return;
  if (mblnEndAfterRoads) {
    Unload();
    EndProgram();
    return;
  }
  if (!mstrTypeAhead.isEmpty()) {
    // What was typed after the last Enter goes on in the field.
    txtID->setText(mstrTypeAhead);
    mstrTypeAhead.clear();
  }
}

// ---- what the station shows of a road ------------------------------------------------------------

bool frmMain::RoadWindowOpen() const { return !mblnUnloaded; }

void frmMain::RoadStarted(const RoadEvent& e) {
  txtID->setText(e.input);
  mblnActive = true;
  glngIdleCount = 0;
}

void frmMain::RoadBusy(const RoadEvent& e) {
  if (e.id.isEmpty()) txtID->clear();
  lblInput->setText(QStringLiteral("おまちください。"));
  lblInput->show();
  lblInput->repaint();
  mblnEventDone = false;
  mstrPhotoFile.clear();
}

void frmMain::RoadEnded(const RoadEvent& /*e*/, RoadEnd how) {
  switch (how) {
    case RoadEnd::StationPassword:
      gcnDB().Close();
      Unload();
      EndProgram();
      return;
    case RoadEnd::EmptyId:
      lblMess->hide();
      lblFirst->hide();
      lblMess->setText(Prompt());
      lblMess->show();
      lblMess->repaint();
      HideStatus();
      return;
    case RoadEnd::AlreadyRegistered:
      frmMain_SetWaitScreen();
      lblMess->setText(QStringLiteral("すでにとうろくされています。"));
      lblMess->repaint();
      HideStatus();
      if (gblnBarcode) {
        txtID->clear();
        txtID->setFocus(Qt::OtherFocusReason);
      }
      return;
    case RoadEnd::DatabaseFailed:
      // Nothing of the event was stored: the member must not walk away thinking it was, nor read
      // the name of the member before him over the error.
      mblnRecordError = true;
      frmMain_SetWaitScreen();
      HideStatus();
      mblnEventDone = true;
      txtID->clear();
      return;
    case RoadEnd::Unregistered:
    case RoadEnd::Recorded:
      if (how == RoadEnd::Recorded) mblnRecordError = false;
      HideStatus();
      mblnEventDone = true;
      txtID->clear();
      return;
  }
}

void frmMain::HideStatus() {
  // A scan that could not be recorded stays on the label until the next event is recorded.
  if (mblnRecordError) {
    lblInput->setText(kRecordError);
    lblInput->show();
    lblInput->repaint();
    return;
  }
  lblInput->hide();
}

EventPhoto frmMain::RoadPhoto(const RoadEvent& e) {
  com::ControlSite* cam = mOrnik1.get();
  if (!cam) return {};
  imgChange->setPicture(mpicLoaded);
  imgChange->hide();
  cam->SetVisible(true);
  if (QWidget* w = cam->Widget()) w->raise();

  // The still is made here, new and its owner's alone, before the control writes the picture into
  // it: a photograph from its first byte, never a file or link someone else put in its place.
  // Without keeping photos it is a scratch file of this event alone (a mail still waiting may
  // carry an earlier one) in the private runtime folder, under a name nobody can guess. The
  // photo's name is free: no photo replaces another.
  QString bmp;
  if (gblnSaveImg) {
    bmp = gstrImgDir + e.photoName + QStringLiteral(".bmp");
    QFile::remove(bmp);
    if (!files::CreateExclusive(bmp)) bmp.clear();
  } else {
    QString scratch = ui::PrepareRuntimeFolder();
    if (scratch.isEmpty()) scratch = gstrImgDir;
    bmp = files::CreateUnique(scratch, QStringLiteral("velmor-still-"), QStringLiteral(".bmp"));
  }
  if (bmp.isEmpty()) return {true, QString()};
  const QString jpg = gstrImgDir + e.photoName + QStringLiteral(".jpg");
  cam->CallByName(QStringLiteral("DVCStillCapture"), {com::Variant(bmp), com::Variant(std::int32_t(-1))});
  if (QFileInfo(bmp).size() <= 0) {
    // No still: no photo for this event; the live view stays.
    QFile::remove(bmp);
    return {true, QString()};
  }
  mstrPhotoFile = bmp;
  // The picture shown is the still as read for its JPEG: the JPEG is not read back.
  QImage still;
  if (ConvertStillToJpg(jpg, bmp, &still)) {
    QFile::remove(bmp);
    mstrPhotoFile = jpg;
  }
  cam->SetVisible(false);
  if (!still.isNull()) {
    mpicLoaded = QPixmap::fromImage(std::move(still));
    imgChange->setPicture(mpicLoaded);
  } else {
    ShowPicture(imgChange, mstrPhotoFile);
  }
  imgChange->show();
  imgChange->repaint();
  return {true, mstrPhotoFile, mstrPhotoFile == bmp && !gblnSaveImg};
}

void frmMain::RoadGreeting(const RoadEvent& e, const GreetingPick& greeting) {
  lblFirst->show();
  lblFirst->setText(e.member.name + e.member.honorific);
  lblFirst->repaint();
  if (greeting.found) {
    lblMess->setText(greeting.message);
    lblMess->show();
    lblMess->repaint();
  } else if (!greeting.failed) {
    lblMess->setText(QStringLiteral("とうろくされました"));
  }  // a failed query leaves the message as it was
  RandomPicture();
}

void frmMain::RandomPicture() {
  const int n = RandomPick(glngImgNum);
  const QString file = gstrAppPath + QStringLiteral("image/image") + NumberedName(n) + QStringLiteral(".jpg");
  mstrPicFile = QFileInfo(file).isFile() ? QFileInfo(file).fileName() : QString();
  ShowPicture(imgFirst, mstrPicFile.isEmpty() ? gstrAppPath + QStringLiteral("image/noimage.bmp")
                                              : gstrAppPath + QStringLiteral("image/") + mstrPicFile);
  imgFirst->repaint();
}

QString frmMain::RoadMailTemplate(bool entry) const {
  return MailTemplateText(entry ? rtxtinContents : rtxtotContents);
}

// The sender tells what became of an event's mail when it knows it, between roads: by then the
// screen may greet a later member, whose greeting stays; the status label says it.
void frmMain::RoadAfterMail(const RoadEvent& e) {
  switch (e.mail) {
    case MailResult::Sent:
    case MailResult::DialUpFailed: break;
    case MailResult::ServerFailed:
      if (mblnRecordError || mblnSendError) break;  // a graver word stays on the label
      lblInput->setText(QStringLiteral("メールサーバーに接続できません！"));
      lblInput->show();
      lblInput->repaint();
      break;
    case MailResult::SendFailed:
      mblnSendError = true;
      lblInput->setText(QStringLiteral("送信エラー！"));
      lblInput->show();
      lblInput->repaint();
      break;
  }
}

void frmMain::RoadNoticeEnded(const RoadEvent& e) {
  // The server's word goes with the end of its event's notification.
  if (e.mailTried && e.mail == MailResult::ServerFailed &&
      lblInput->text() == QStringLiteral("メールサーバーに接続できません！"))
    HideStatus();
  // After the FTP record of the event on screen the waiting screen comes back five seconds later;
  // a later member's greeting keeps its time.
  if (e.ftpTried && !e.givenUp && e.serial == mRoad.LastEvent().serial)
    glngIdleCount = glngIntTime * 60 - 5;
}
