#include "desk/BarcodeFrame.h"

#include <algorithm>

#include <QMetaObject>
#include <QPointer>

#include "codepage/codepage.h"
#include "common/mdlLogWrite.h"
#include "serial/mscomm.h"
#include "ui/msgbox.h"

namespace {
constexpr char kTab = '\t';
constexpr char kCr = '\r';
constexpr char kLf = '\n';

// True when every byte of the frame is printable ASCII, as the characters of an ID are.
bool IsPrintableAscii(const QByteArray& frame) {
  return std::all_of(frame.begin(), frame.end(), [](char c) { return c >= 0x20 && c <= 0x7E; });
}
}  // namespace

// ---- receive buffer ----------------------------------------------------------------------------

void BarcodeBuffer::Clear() {
  mstrBarBuf.clear();
  mblnCrEnded = false;
}

QStringList BarcodeBuffer::Append(const QByteArray& input) {
  QStringList ids;
  if (input.isEmpty()) return ids;
  QByteArray text = input;
  // A reader ending its IDs with CR LF often gets the two characters into two reads; the LF of
  // the second read closes the frame the CR already ended.
  if (mblnCrEnded && mstrBarBuf.isEmpty() && text.front() == kLf) text.remove(0, 1);
  mblnCrEnded = false;
  mstrBarBuf += text;
  // Every complete ID is cut in this event: one left behind would wait for the next scan.
  while (CutRound(ids)) {
  }
  return ids;
}

void BarcodeBuffer::Take(QStringList& ids, qsizetype idEnd, qsizetype restStart) {
  // The ID leaves the buffer before anybody sees it.
  const QByteArray id = mstrBarBuf.left(idEnd);
  mblnCrEnded = mstrBarBuf.at(idEnd) == kCr && restStart == idEnd + 1 &&
                restStart == mstrBarBuf.size();
  mstrBarBuf.remove(0, restStart);
  if (!IsPrintableAscii(id)) {
    Log(QStringLiteral("バーコード不正"), QStringLiteral("失敗"));
    return;
  }
  ids << cp::FromAnsi(id);
}

bool BarcodeBuffer::CutRound(QStringList& ids) {
  // The ID ends at the first end mark of any kind, so that a mark further on never joins two IDs
  // (or a clean ID and a noisy frame) into one frame; an LF right after a CR belongs to it.
  qsizetype end = -1;
  for (qsizetype i = 0; i < mstrBarBuf.size() && end < 0; ++i) {
    const char c = mstrBarBuf.at(i);
    if (c == kTab || c == kCr || c == kLf) end = i;
  }
  if (end < 0) return false;
  const bool crLf = mstrBarBuf.at(end) == kCr && end + 1 < mstrBarBuf.size() && mstrBarBuf.at(end + 1) == kLf;
  Take(ids, end, crLf ? end + 2 : end + 1);
  return true;
}

// ---- error texts -------------------------------------------------------------------------------

QString CommEventText(int code) {
  switch (code) {
    case serial::comEventBreak: return QStringLiteral("中断信号を受信");
    case serial::comEventCTSTO: return QStringLiteral("CTSタイムアウト");
    case serial::comEventDSRTO: return QStringLiteral("DSRタイムアウト");
    case serial::comEventFrame: return QStringLiteral("フレーム エラー");
    case serial::comEventOverrun: return QStringLiteral("ポート オーバーラン");
    case serial::comEventCDTO: return QStringLiteral("CDタイムアウト");
    case serial::comEventRxOver: return QStringLiteral("受信バッファ オーバーフロー");
    case serial::comEventRxParity: return QStringLiteral("パリティ エラー");
    case serial::comEventTxFull: return QStringLiteral("送信バッファがいっぱい");
    case serial::comEventDCB: return QStringLiteral("予期しないDCBエラー");
    default: return QStringLiteral("その他の通信エラー");
  }
}

// ---- frame ---------------------------------------------------------------------------------------

BarcodeFrame::BarcodeFrame(serial::MSComm& comm, Road road, QObject* parent)
    : QObject(parent), comm_(comm), road_(std::move(road)) {}

void BarcodeFrame::OnComm() {
  const int event = comm_.CommEvent();
  if (event == serial::comEvReceive) {
    mvarBarInput = comm_.Input();
    read_ += mvarBarInput.size();
    for (const QString& id : buffer_.Append(mvarBarInput)) queue_.push_back(id);
    // The roads run from the event loop, not inside the control's receive notification: the
    // line keeps raising its events while a road lets waiting events through.
    if (!queue_.empty() && !busy_ && !posted_) {
      posted_ = true;
      QMetaObject::invokeMethod(this, &BarcodeFrame::HandOn, Qt::QueuedConnection);
    }
    return;
  }
  if (event >= serial::comEvSend && event <= serial::comEvEOF) return;
  ui::MsgBox(CommEventText(event), ui::vbCritical);
}

void BarcodeFrame::HandOn() {
  posted_ = false;
  if (busy_) return;
  QPointer<BarcodeFrame> alive(this);
  busy_ = true;
  while (!queue_.empty()) {
    const QString id = queue_.front();
    queue_.pop_front();
    road_(id);
    if (!alive) return;  // the road unloaded the window
  }
  busy_ = false;
}
