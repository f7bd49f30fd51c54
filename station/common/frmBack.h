#pragma once
// The backdrop of the full-screen station: an empty window over the whole screen (under any
// panel too), kept below every other window, that hands the focus back to the station window
// when it is clicked.
#include <QPointer>
#include <QWidget>

class frmBack : public QWidget {
  Q_OBJECT

 public:
  // The program-wide instance, created on first use; creating it loads and shows it.
  static frmBack& instance();
  // True while an instance exists (asking does not create one).
  static bool IsLoaded();
  // Closes the instance and deletes it later; the next use creates a new one. Nothing happens
  // when none is loaded.
  static void Unload();

  // The window that a click on the backdrop gives the focus to. Whoever creates the station
  // window registers it here; a deleted window counts as none.
  static void SetStationWindow(QWidget* window);
  static QWidget* StationWindow();

  // The screen's size in pixels, taken when the window loaded.
  int ScreenWidth() const { return mlngWidth; }
  int ScreenHeight() const { return mlngHeight; }

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  frmBack();
  void Form_Load();
  void Form_Click();
  void Form_DblClick();

  int mlngWidth = 0;
  int mlngHeight = 0;
};
