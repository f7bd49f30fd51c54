#pragma once
// The photo viewer: the photograph of one history row (glngImgRow + 1 of the history window's
// grid) stretched to 320 x 240, captioned with the row's ID, name, reception word and date. A
// fixed placeholder picture stays when the photo is missing or cannot be read.
#include <QPixmap>

#include "history/HistoryDialog.h"

class PictureBox;

class frmImg : public HistoryDialog {
  Q_OBJECT

 public:
  static frmImg& instance();
  static bool IsLoaded();
  static void Unload();

  // The placeholder picture, 320 x 240.
  static QPixmap Placeholder();

  PictureBox* imgScan = nullptr;

 private:
  frmImg();
  void frmImg_Form_Load();
  void CloseRequested() override { Unload(); }
};
