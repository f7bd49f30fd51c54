#include "support/msgbox_recorder.h"

#include "ui/msgbox.h"

namespace testsupport {
namespace {
struct State {
  std::vector<ShownBox> boxes;
  std::deque<int> answers;
};
State& Shared() {
  static State state;
  return state;
}
}  // namespace

void InstallMsgBoxRecorder() {
  ui::SetMsgBoxHook([](const QString& text, int style, const QString& title) {
    State& s = Shared();
    s.boxes.push_back({text, style, title});
    if (s.answers.empty()) return static_cast<int>(ui::vbOK);
    const int answer = s.answers.front();
    s.answers.pop_front();
    return answer;
  });
}

MsgBoxRecorder::MsgBoxRecorder() {
  Shared().boxes.clear();
  Shared().answers.clear();
}

MsgBoxRecorder::~MsgBoxRecorder() {
  Shared().boxes.clear();
  Shared().answers.clear();
}

void MsgBoxRecorder::Answer(int answer) { Shared().answers.push_back(answer); }

const std::vector<ShownBox>& MsgBoxRecorder::Boxes() const { return Shared().boxes; }

std::vector<QString> MsgBoxRecorder::Texts() const {
  std::vector<QString> texts;
  for (const ShownBox& b : Shared().boxes) texts.push_back(b.text);
  return texts;
}

}  // namespace testsupport
