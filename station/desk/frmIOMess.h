#pragma once
// The result window of the minimized station: one line telling what became of the last scan,
// without a title bar, topmost in the top-right corner of the screen.
#include <QLabel>
#include <QRect>
#include <QWidget>

class frmIOMess : public QWidget {
  Q_OBJECT

 public:
  // The program-wide instance, created and placed on first use (not shown).
  static frmIOMess& instance();
  static bool IsLoaded();
  static void Unload();

  // Outer size of the window as designed, in twips.
  static constexpr int kWidthTwips = 5130;
  static constexpr int kHeightTwips = 435;

  // The window's rectangle in pixels on a screen `screenWidth` pixels wide: flush with the top and
  // the right edge, the designed size; each measure rounded to the nearest pixel, halves to even.
  static QRect Placement(int screenWidth, double twipsPerPixelX, double twipsPerPixelY);

  // Shows the window without activating it and puts it on top of every other window.
  void BringForward();

  QLabel* lblIOData = nullptr;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  frmIOMess();
  void frmIOMess_Form_Load();
};
