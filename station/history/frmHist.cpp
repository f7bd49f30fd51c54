#include "history/frmHist.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>

#include <algorithm>

#include "common/FormInstance.h"
#include "common/HistoryRecords.h"
#include "common/RowButtonDelegate.h"
#include "common/globals.h"
#include "common/mdlComDlg.h"
#include "common/mdlLogWrite.h"
#include "common/mdlVelmor.h"
#include "history/HistGridModel.h"
#include "history/HistoryCsv.h"
#include "history/frmImg.h"
#include "ui/keys_fonts.h"
#include "ui/msgbox.h"

namespace {
FormInstance<frmHist> gForm;

int Px(int twips) { return TwipsToPixelsX(twips); }
int Py(int twips) { return TwipsToPixelsY(twips); }
QRect Twips(int left, int top, int width, int height) { return {Px(left), Py(top), Px(width), Py(height)}; }

// Column widths of the grid, in twips; 0 hides the column.
constexpr int kColumnWidths[HistGridModel::kColumns] = {250, 1250, 2500, 0, 1000, 1000, 1000, 0, 750};

const QString kCheckTitle = QStringLiteral("処理の確認");
}  // namespace

frmHist& frmHist::instance() {
  return gForm.Get([] { return new frmHist(); }, [](frmHist& form) { form.Form_Load(); });
}

bool frmHist::IsLoaded() { return gForm.IsLoaded(); }

void frmHist::Unload() {
  frmHist* form = gForm.Take();
  if (!form) return;
  form->Form_Unload();
  form->Dismiss();
}

frmHist::frmHist() : HistoryDialog(QStringLiteral("frmHist"), QSize(TwipsToPixelsX(9600), TwipsToPixelsY(7200))) {
  setWindowTitle(QStringLiteral("入退室履歴"));
  BuildWidgets();
}

void frmHist::BuildWidgets() {
  const QFont font = ui::StationFont(9);
  setFont(font);

  mGrid = new HistGridModel(this);
  fgHist = new QTableView(this);
  fgHist->setObjectName(QStringLiteral("fgHist"));
  fgHist->setGeometry(Twips(270, 240, 9015, 6315));
  fgHist->setFont(font);
  fgHist->setModel(mGrid);
  fgHist->setSelectionBehavior(QAbstractItemView::SelectRows);
  fgHist->setSelectionMode(QAbstractItemView::SingleSelection);
  fgHist->setEditTriggers(QAbstractItemView::NoEditTriggers);
  fgHist->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
  fgHist->setWordWrap(false);
  fgHist->verticalHeader()->hide();
  // Rows of one height: the view then never measures them, however many there are.
  fgHist->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  fgHist->verticalHeader()->setDefaultSectionSize(std::max(Py(255), fgHist->fontMetrics().height() + 6));
  fgHist->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  fgHist->horizontalHeader()->setHighlightSections(false);
  // The date and time columns are never narrower than their texts in the grid's font.
  const int dateWidth = fgHist->fontMetrics().horizontalAdvance(QStringLiteral("00000000")) + 12;
  for (int col = 0; col < HistGridModel::kColumns; ++col) {
    if (kColumnWidths[col] == 0)
      fgHist->setColumnHidden(col, true);
    else if (col == HistGridModel::kDate || col == HistGridModel::kTime)
      fgHist->setColumnWidth(col, std::max(Px(kColumnWidths[col]), dateWidth));
    else
      fgHist->setColumnWidth(col, Px(kColumnWidths[col]));
  }

  QFont small = ui::StationFont(6.75);
  cmdSend = new RowButtonDelegate(QStringLiteral("表示"), QSize(Px(465), Py(195)), small,
                                  [this](int row) { return mGrid->HasPhoto(row); }, this);
  cmdSend->setObjectName(QStringLiteral("cmdSend"));
  fgHist->setItemDelegateForColumn(HistGridModel::kImage, cmdSend);
  connect(cmdSend, &RowButtonDelegate::clicked, this, &frmHist::cmdSend_Click);

  auto button = [this, &font](const char* name, const char* caption, QRect at) {
    auto* b = new QPushButton(QString::fromUtf8(caption), this);
    b->setObjectName(QLatin1String(name));
    b->setGeometry(at);
    b->setFont(font);
    b->setAutoDefault(false);
    return b;
  };
  cmdData = button("cmdData", "CSV出力", Twips(285, 6700, 1050, 360));
  lblNow = new QLabel(this);
  lblNow->setObjectName(QStringLiteral("lblNow"));
  lblNow->setGeometry(Twips(3240, 6810, 2475, 255));
  lblNow->setFont(font);
  cmdDayPrn = button("cmdDayPrn", "日別印刷", Twips(5775, 6700, 1050, 360));
  cmdPrint = button("cmdPrint", "ID別印刷", Twips(7000, 6700, 1050, 360));
  cmdCancel = button("cmdCancel", "キャンセル", Twips(8220, 6700, 1050, 360));
  cmdCancel->setDefault(true);

  // Cancel first, then the export and the two reports; the grid last.
  setTabOrder(cmdCancel, cmdData);
  setTabOrder(cmdData, cmdDayPrn);
  setTabOrder(cmdDayPrn, cmdPrint);
  setTabOrder(cmdPrint, fgHist);

  connect(cmdData, &QPushButton::clicked, this, &frmHist::cmdData_Click);
  connect(cmdDayPrn, &QPushButton::clicked, this, &frmHist::cmdDayPrn_Click);
  connect(cmdPrint, &QPushButton::clicked, this, &frmHist::cmdPrint_Click);
  connect(cmdCancel, &QPushButton::clicked, this, &frmHist::cmdCancel_Click);
}

void frmHist::Form_Load() {
  cmdCancel->setFocus();
  frmHist_default_fgHist(glngHistFrom, glngHistTo, 1, gblnIDSel);
}

void frmHist::Form_Unload() {
  gintHistMode = 0;
  frmImg::Unload();
}

void frmHist::cmdCancel_Click() { Unload(); }

void frmHist::SetProgress(const QString& text) {
  lblNow->setText(text);
  lblNow->setVisible(!text.isEmpty());
  lblNow->repaint();
}

void frmHist::frmHist_default_fgHist(int startYM, int endYM, int intSort, bool blnID) {
  SetProgress(QStringLiteral("データ抽出中..."));
  HistoryFilter filter;
  filter.after = startYM;
  filter.before = endYM;
  filter.byIds = blnID && glngIDCount > 0;
  if (filter.byIds) filter.ids = gstrIDList.mid(0, glngIDCount);
  filter.order = intSort != 0 ? HistoryOrder::ByDate : HistoryOrder::ById;

  std::vector<HistoryListRow> rows;
  QString error;
  const bool read = QueryHistory(filter, rows, &error);
  // The grid and its photo buttons always show the same rows: cleared together when nothing
  // (or nothing readable) was found.
  mGrid->SetRows(std::move(rows));
  fgHist->scrollToTop();
  if (!read) {
    SetProgress(QString());
    ui::MsgBox(QStringLiteral("履歴情報の抽出に失敗しました。\n") + error, ui::vbCritical,
               QStringLiteral("抽出エラー"));
    return;
  }
  if (mGrid->Count() == 0) {
    ui::MsgBox(QStringLiteral("指定された履歴情報はありません。"), ui::vbInformation, kCheckTitle);
    SetProgress(QString());
    return;
  }
  SetProgress(QString());
  lngStartYM = startYM;
  lngEndYM = endYM;
}

void frmHist::PrintReport(HistoryReport report) {
  RunHistoryReport(
      report, mGrid->Count() > 0, this,
      [this](int sort) {
        frmHist_default_fgHist(lngStartYM, lngEndYM, sort, gblnIDSel);
        ReportData data;
        data.startYM = lngStartYM;
        data.endYM = lngEndYM;
        for (const HistoryListRow& r : mGrid->Rows())
          data.rows.push_back({r.id, r.name, r.honorific, r.ioName, r.inDate, r.inTime});
        return data;
      },
      [this](const QString& text) { SetProgress(text); });
}

void frmHist::cmdSend_Click(int index) {
  if (index < 0 || index >= mGrid->Count() || !mGrid->HasPhoto(index)) return;
  glngImgRow = index;
  frmImg::instance().ShowModal();
}

void frmHist::cmdData_Click() {
  if (mGrid->Count() == 0) {
    ui::MsgBox(QStringLiteral("対象データがありません。"), ui::vbInformation, kCheckTitle);
    return;
  }
  QString filter = QStringLiteral("ﾃｷｽﾄﾌｧｲﾙ(*.txt;*.csv)|*.csv;*.txt|");
  filter.replace(QLatin1Char('|'), QChar(0));
  const QString path = ShowSaveDialog(this, filter, mstrCsvFile);
  if (path.isEmpty()) return;
  mstrCsvFile = path;

  SetProgress(QStringLiteral("CSVファイル出力中．．．"));
  std::vector<int> replacedRows;
  const bool written = frmHist_CSVHist(path, &replacedRows);
  SetProgress(QString());
  if (!written) {
    Log(QStringLiteral("履歴出力"), QStringLiteral("失敗"));
    return;
  }
  QString message = QStringLiteral("CSVファイルの出力は終了しました。");
  if (!replacedRows.empty()) {
    // The first rows where a character was written as "?".
    constexpr size_t kNamed = 5;
    QStringList named;
    for (size_t i = 0; i < replacedRows.size() && i < kNamed; ++i) named << QString::number(replacedRows[i]);
    message += QStringLiteral("\n出力できない文字を「?」に置き換えました（%1行目%2）。")
                   .arg(named.join(QStringLiteral("、")),
                        replacedRows.size() > kNamed ? QStringLiteral("ほか") : QString());
  }
  ui::MsgBox(message, ui::vbInformation, kCheckTitle);
  Log(QStringLiteral("履歴出力"), QStringLiteral("成功"));
}

bool frmHist::frmHist_CSVHist(const QString& path, std::vector<int>* replacedRows) {
  const CsvResult result = WriteHistoryCsv(mGrid->Rows(), path);
  if (replacedRows) *replacedRows = result.replacedRows;
  if (result.kind == CsvResult::Written) return true;
  ui::MsgBox(QStringLiteral("CSVファイルの出力に失敗しました。出力先を確認してください。\n") + result.error,
             ui::vbCritical, QStringLiteral("出力エラー"));
  return false;
}
