#pragma once
// The serial barcode reader of both station windows: the receive buffer that cuts the incoming
// characters into IDs at their end marks (TAB, CR, LF, CR LF), the communication error texts, and
// the hand-over of each ID to the window's ID road, one ID at a time.
#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>

namespace serial {
class MSComm;
}

// The receive buffer. Append() takes what one read of the line gave and returns the IDs it
// completes, in order; what follows the last end mark waits for the next read. A frame holding a
// byte outside printable ASCII (0x20-0x7E) besides its end mark is line noise, not an ID: it is
// dropped with a line in the operation log and never handed on, so no part of it can become an
// ID. (IDs are digits: a double-byte character of the code page is dropped as well.)
class BarcodeBuffer {
 public:
  QStringList Append(const QByteArray& input);
  // Characters received and not yet cut into an ID.
  const QByteArray& Text() const { return mstrBarBuf; }
  void Clear();

 private:
  // Cuts the frame in front of the first end mark (TAB, CR, LF; CR LF is one mark). True when a
  // frame was taken.
  bool CutRound(QStringList& ids);
  void Take(QStringList& ids, qsizetype idEnd, qsizetype restStart);

  QByteArray mstrBarBuf;
  // The last cut ended at a CR that was the last character received: an LF arriving next is
  // the rest of that CR LF end mark, not an empty ID.
  bool mblnCrEnded = false;
};

// The message text for a communication error event code ("その他の通信エラー" for any code
// without a text of its own).
QString CommEventText(int code);

// Connects a window's serial control to its ID road. Each receive event is cut into IDs, which
// queue up and are handed on one after the other: an ID that arrives while the road of an earlier
// one still runs (the road lets waiting events through) waits for it, so no ID is lost, none is
// handed on twice and no road runs inside another. Error events show their text in a message box
// (stop icon) and change nothing else.
class BarcodeFrame : public QObject {
  Q_OBJECT

 public:
  using Road = std::function<void(const QString& id)>;
  BarcodeFrame(serial::MSComm& comm, Road road, QObject* parent = nullptr);

  // The window's receive event procedure (connected to the control's OnComm).
  void OnComm();

  const BarcodeBuffer& Buffer() const { return buffer_; }
  // The last read of the control's Input.
  const QByteArray& LastInput() const { return mvarBarInput; }
  // Bytes read from the line since the frame was made.
  qint64 BytesRead() const { return read_; }
  // IDs cut and not yet handed on.
  int Waiting() const { return static_cast<int>(queue_.size()); }
  // True while a road runs.
  bool Busy() const { return busy_; }

 private:
  void HandOn();

  serial::MSComm& comm_;
  Road road_;
  BarcodeBuffer buffer_;
  QByteArray mvarBarInput;
  std::deque<QString> queue_;
  qint64 read_ = 0;
  bool busy_ = false;
  bool posted_ = false;
};
