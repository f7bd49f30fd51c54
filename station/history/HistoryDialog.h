#pragma once
// What the history folder's modal windows share: a fixed client size centred on the screen, the
// modal showing, and the steps of an unload. The close box and Esc go to the window's own close
// (an unload, or a cancel) while it is loaded.
#include <QDialog>

class HistoryDialog : public QDialog {
  Q_OBJECT

 public:
  // Shows the window modally; returns when it has unloaded.
  void ShowModal();

 protected:
  HistoryDialog(const QString& objectName, QSize client);

  // The steps of an unload, once the window has left its instance slot.
  void Dismiss();
  // What the close box and Esc do.
  virtual void CloseRequested() = 0;

  void closeEvent(QCloseEvent* event) override;
  void reject() override;

  bool unloaded_ = false;
};
