#pragma once
// The busy window: a small modeless window whose one label tells what long operation runs.
// Callers set lblNow's text, show the window, repaint it, do their work and unload it.
#include <QPointer>
#include <QWidget>

class QLabel;

class frmNow : public QWidget {
  Q_OBJECT

 public:
  // The program-wide instance, created (and loaded, not shown) on first use.
  static frmNow& instance();
  static bool IsLoaded();
  // Closes the instance and deletes it later; nothing happens when none is loaded.
  static void Unload();

  QLabel* lblNow = nullptr;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  frmNow();
  void Form_Load();
};
