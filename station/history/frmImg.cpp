#include "history/frmImg.h"

#include <QFileInfo>
#include <QPainter>

#include "common/FormInstance.h"
#include "common/PictureBox.h"
#include "common/globals.h"
#include "common/mdlVelmor.h"
#include "history/HistGridModel.h"
#include "history/frmHist.h"
#include "ui/keys_fonts.h"

namespace {
FormInstance<frmImg> gForm;

}  // namespace

frmImg& frmImg::instance() {
  return gForm.Get([] { return new frmImg(); }, [](frmImg& form) { form.frmImg_Form_Load(); });
}

bool frmImg::IsLoaded() { return gForm.IsLoaded(); }

void frmImg::Unload() {
  if (frmImg* form = gForm.Take()) form->Dismiss();
}

QPixmap frmImg::Placeholder() {
  QPixmap picture(320, 240);
  picture.fill(QColor(0xd8, 0xd8, 0xd8));
  QPainter p(&picture);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(0x90, 0x90, 0x90), 6));
  p.setBrush(Qt::NoBrush);
  // A camera outline: body, lens and viewfinder.
  p.drawRoundedRect(QRectF(100, 80, 120, 84), 10, 10);
  p.drawEllipse(QPointF(160, 122), 26, 26);
  p.drawRect(QRectF(128, 66, 34, 14));
  p.setPen(QColor(0x80, 0x80, 0x80));
  p.setFont(ui::StationFont(12, true));
  p.drawText(QRect(0, 176, 320, 40), Qt::AlignCenter, QStringLiteral("NO IMAGE"));
  return picture;
}

frmImg::frmImg() : HistoryDialog(QStringLiteral("frmImg"), QSize(TwipsToPixelsX(4770), TwipsToPixelsY(3600))) {
  imgScan = new PictureBox(this);
  imgScan->setObjectName(QStringLiteral("imgScan"));
  imgScan->setStretch(true);
  imgScan->setGeometry(0, 0, TwipsToPixelsX(4800), TwipsToPixelsY(3600));
  imgScan->setPicture(Placeholder());
}

void frmImg::frmImg_Form_Load() {
  if (!frmHist::IsLoaded()) return;
  const HistGridModel& grid = frmHist::instance().Grid();
  const int r = glngImgRow + 1;
  setWindowTitle(grid.Text(r, HistGridModel::kId) + QLatin1Char(' ') + grid.Text(r, HistGridModel::kName) +
                 QLatin1Char(' ') + grid.Text(r, HistGridModel::kIoName) + QLatin1Char(' ') +
                 grid.Text(r, HistGridModel::kDate));
  const QString file = grid.Text(r, HistGridModel::kImgFile);
  const QString path = gstrImgDir + file;
  QPixmap photo;
  // A photo that is missing or cannot be read leaves the placeholder.
  if (!file.isEmpty() && QFileInfo(path).isFile() && LoadPicture(path, photo)) {
    imgScan->setPicture(photo);
    imgScan->repaint();
  }
  repaint();
}
