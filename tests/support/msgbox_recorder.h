#pragma once
// Every test program answers message boxes through this recorder: nothing is ever shown, every
// box is kept with its text, style and title, and answered by the next queued answer (OK when
// none is queued).
#include <QString>

#include <deque>
#include <vector>

namespace testsupport {

struct ShownBox {
  QString text;
  int style = 0;
  QString title;
};

class MsgBoxRecorder {
 public:
  // Clears what earlier tests left.
  MsgBoxRecorder();
  ~MsgBoxRecorder();
  // Queues answers for the next boxes, in order.
  void Answer(int answer);
  const std::vector<ShownBox>& Boxes() const;
  // The texts of the boxes shown, in order.
  std::vector<QString> Texts() const;
};

// Installed by the common main; the recorder above only reads and steers it.
void InstallMsgBoxRecorder();

}  // namespace testsupport
