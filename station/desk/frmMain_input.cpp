// The station window's inputs without the ID field: the paged name list, the number pad and the
// serial barcode frame. Each procedure is wired to its control; the window's load calls
// frmMain_ShowNamePage for page 1 in the name-list modes.
#include <QFileInfo>
#include <QIcon>

#include "db/db.h"
#include "desk/BarcodeFrame.h"
#include "desk/frmChk.h"
#include "desk/frmChkNo.h"
#include "desk/frmMain.h"
#include "common/mdlStation.h"
#include "common/PictureBox.h"
#include "common/StationRecords.h"
#include "common/globals.h"
#include "common/mdlEnd.h"
#include "ui/msgbox.h"

namespace {

// Icon buttons show a drawn list picture, except in the seasonal screen with the plain name list,
// where they carry the member's ID.
bool IconsShowIDs() { return gintScreen == 2 && gintNoBarScr == 1; }

// The list-picture draw: a random number from 1 to glngImgNum, the file image/imageNNNs.jpg of
// the program folder, and the picture loaded from it (none when the file is missing).
void DrawListPicture(frmMain& form) {
  form.mlngPicNo = RandomPick(glngImgNum);
  const QString file = gstrAppPath + QStringLiteral("image/image") + NumberedName(form.mlngPicNo) +
                       QStringLiteral("s.jpg");
  form.mstrPicFile = QFileInfo(file).isFile() ? QFileInfo(file).fileName() : QString();
  QPixmap picture;
  if (form.mstrPicFile.isEmpty() ||
      !LoadPicture(gstrAppPath + QStringLiteral("image/") + form.mstrPicFile, picture))
    picture = QPixmap();
  form.mpicLoaded = picture;
}

void SetIconPicture(QPushButton* icon, const QPixmap& picture) {
  icon->setProperty("picture", picture);
  icon->setIcon(picture.isNull() ? QIcon() : QIcon(picture));
  icon->setIconSize(icon->size() - QSize(6, 6));
}

QPixmap IconPicture(const QPushButton* icon) { return icon->property("picture").value<QPixmap>(); }

}  // namespace

// ---- name list ---------------------------------------------------------------------------------

// Builds page mlngPage of the name list (buttons, captions, pictures, mstrPageIDs).
void frmMain::frmMain_ShowNamePage() {
  mstrListSQL = NameListSql(gintScreen == 2 && gintNoBarScr != 3);
  db::Recordset& rs = grsDB();
  // A database that fails leaves the page as it was.
  if (!rs.Open(gcnDB(), mstrListSQL)) return;
  if (rs.RecordCount() <= 0) {
    ui::MsgBox(QStringLiteral("登録者データが無いため、入力画面を作成できません。"), ui::vbCritical,
               QStringLiteral("データの確認"));
    rs.Close();
    gcnDB().Close();
    Unload();
    EndProgram();
    return;
  }
  const int count = rs.RecordCount();
  const int pages = count / mlngPageSize + (count % mlngPageSize > 0 ? 1 : 0);
  lblCnt->setText(QString::number(mlngPage) + QLatin1Char('/') + QString::number(pages));
  for (int i = 0; i < 20; ++i) {
    cmdIcon[i]->hide();
    cmdName[i]->hide();
  }
  rs.MoveFirst();
  if (mlngPage > 1) rs.Move((mlngPage - 1) * mlngPageSize);

  for (int i = 0; i < 20 && !rs.Eof(); ++i, rs.MoveNext()) {
    QPushButton* icon = cmdIcon[i];
    QPushButton* name = cmdName[i];
    if (i == 0) {
      icon->move(30, 288);
    } else if (i == 7 || i == 14) {
      const int column = cmdName[0]->x() + cmdName[0]->width();
      icon->move((i == 7 ? column : 2 * column) + 30, 288);
    } else {
      icon->move(cmdIcon[i - 1]->x(), cmdIcon[i - 1]->y() + cmdIcon[i - 1]->height() + 10);
    }
    name->move(icon->x() + icon->width(), icon->y());
    if (IconsShowIDs()) {
      SetIconPicture(icon, QPixmap());
      icon->setText(rs.Text(QStringLiteral("ID")));
    } else {
      DrawListPicture(*this);
      SetIconPicture(icon, mpicLoaded);
      icon->setText(QString());
    }
    name->setText(rs.Text(QStringLiteral("UserName")) + QLatin1Char(' ') +
                  rs.Text(QStringLiteral("UserAdd")));
    // Members added since the window loaded still get their place.
    while (mstrPageIDs.size() <= i) mstrPageIDs.append(QString());
    mstrPageIDs[i] = rs.Text(QStringLiteral("ID"));
    icon->show();
    name->show();
    icon->repaint();
    name->repaint();
  }
  rs.Close();
}

static int PagesOf(const QLabel* counter) {
  const QString text = counter->text();
  return text.mid(text.indexOf(QLatin1Char('/')) + 1).toInt();
}

void frmMain::frmMain_imgFoward_Click() {
  if (mlngPage > 1 && mlngPage <= PagesOf(lblCnt)) {
    --mlngPage;
    frmMain_SetWaitScreen();
    frmMain_ShowNamePage();
    return;
  }
  mblnActive = true;
  lblMess->setText(QStringLiteral("これより前の画面はありません。"));
}

void frmMain::frmMain_imgNext_Click() {
  if (mlngPage < PagesOf(lblCnt)) {
    ++mlngPage;
    frmMain_SetWaitScreen();
    frmMain_ShowNamePage();
    return;
  }
  mblnActive = true;
  lblMess->setText(QStringLiteral("これより次の画面はありません。"));
}

// A member chosen by his icon: gstrSelectedID, then the confirmation window, whose OK calls
// frmMain_txtID_LostFocus.
void frmMain::frmMain_cmdIcon_Click(int Index) {
  if (Index < 0 || Index >= 20) return;
  const bool check = gintNoBarScr == 3;
  QPixmap picture;
  if (gintScreen == 1 || check) {
    picture = IconPicture(cmdIcon[Index]);
  } else {
    DrawListPicture(*this);
    picture = mpicLoaded;
  }
  const QString caption = cmdName[Index]->text();
  if (check) {
    frmChkNo& form = frmChkNo::instance();
    form.imgPic->setPicture(picture);
    form.lblName->setText(caption + QStringLiteral("\n番号を入力してください"));
    form.lblName->repaint();
  } else {
    frmChk& form = frmChk::instance();
    form.imgPic->setPicture(picture);
    form.lblName->setText(caption + QStringLiteral("\nですか？"));
    form.lblName->repaint();
  }
  gstrSelectedID = mstrPageIDs.value(Index);
  if (check)
    frmChkNo::instance().ShowModal();
  else
    frmChk::instance().ShowModal();
}

void frmMain::frmMain_cmdName_Click(int Index) { frmMain_cmdIcon_Click(Index); }

// ---- number pad --------------------------------------------------------------------------------

void frmMain::frmMain_cmdNo_Click(int Index) {
  lblNo->setText(lblNo->text() + QString::number(Index));
  lblNo->repaint();
  mblnActive = true;
  glngIdleCount = 0;
  setFocus();
}

void frmMain::frmMain_cmdClear_Click() {
  const QString text = lblNo->text();
  lblNo->setText(text.size() < 2 ? QString() : text.left(text.size() - 1));
  setFocus();
}

// The pad's lookup; the clock also calls it for a number left on the pad.
void frmMain::frmMain_cmdRet_Click() {
  const QString number = lblNo->text();
  if (number.isEmpty()) return;
  DrawListPicture(*this);
  frmChk& form = frmChk::instance();
  form.imgPic->setPicture(mpicLoaded);
  // Compared as typed, leading zeros included. A failing lookup counts as not found.
  db::Recordset& rs = grsDB();
  if (rs.Open(gcnDB(), QStringLiteral("select * from tblData where ID=?"), {number}) &&
      rs.RecordCount() > 0) {
    form.lblName->setText(rs.Text(QStringLiteral("UserName")) + QLatin1Char(' ') +
                          rs.Text(QStringLiteral("UserAdd")) + QStringLiteral("\nですか？"));
  } else {
    form.lblName->setText(QStringLiteral("指定された番号の登録データは見つかりません。"));
    form.cmdOK->hide();
    form.cmdNo->setText(QStringLiteral("ＯＫ"));
  }
  rs.Close();
  gstrSelectedID = number;
  form.ShowModal();
}

// Every key press on the window comes here first; setting KeyAscii to 0 swallows the key.
void frmMain::frmMain_Form_KeyPress(int& KeyAscii) {
  if (gblnBarcode || gintNoBarScr != 2) return;
  if (KeyAscii == 8) {
    const QString text = lblNo->text();
    lblNo->setText(text.size() > 1 ? text.left(text.size() - 1) : QString());
  } else if (KeyAscii == 13) {
    if (!lblNo->text().isEmpty()) frmMain_cmdRet_Click();
  } else if (KeyAscii >= '0' && KeyAscii <= '9') {
    lblNo->setText(lblNo->text() + QChar(KeyAscii));
  }
}

// ---- serial barcode frame ----------------------------------------------------------------------

// Receive event of MSComm1: cut the frames into IDs and hand each on with frmMain_HandOnID.
void frmMain::frmMain_MSComm1_OnComm() {
  auto* frame = findChild<BarcodeFrame*>(QStringLiteral("BarcodeFrame"), Qt::FindDirectChildrenOnly);
  if (!frame) {
    frame = new BarcodeFrame(*MSComm1, [this](const QString& id) { frmMain_HandOnID(id); }, this);
    frame->setObjectName(QStringLiteral("BarcodeFrame"));
  }
  frame->OnComm();
}
