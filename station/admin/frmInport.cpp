#include "admin/frmInport.h"

#include <QCloseEvent>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

#include "admin/ImportFile.h"
#include "admin/frmSet.h"
#include "codepage/narrow.h"
#include "common/FormInstance.h"
#include "common/mdlComDlg.h"
#include "common/mdlLogWrite.h"
#include "common/mdlVelmor.h"
#include "ui/clock.h"
#include "ui/keys_fonts.h"
#include "ui/msgbox.h"

namespace {
FormInstance<frmInport> gForm;

const QString kInputTitle = QStringLiteral("入力の確認");
const QString kConfirmTitle = QStringLiteral("処理の確認");
const std::array<QString, 5> kLabels = {QStringLiteral("ID番号"), QStringLiteral("利用者"),
                                        QStringLiteral("敬称"), QStringLiteral("かな"),
                                        QStringLiteral("メール")};
const std::array<bool, 5> kRequired = {false, true, false, true, false};
constexpr int kId = 0, kName = 1, kHonorific = 2, kKana = 3, kMail = 4;
// The refused lines named one by one in a report; the rest are counted.
constexpr int kReportedLines = 20;

QString ReadError(int line) {
  return QString::number(line) + QStringLiteral(" 件目で読み込みでエラーが発生しています。") +
         QStringLiteral("\r\n読み込みファイルを再度確認するか、指定内容を確認してください。");
}
}  // namespace

frmInport& frmInport::instance() { return gForm.Get([] { return new frmInport(); }); }

bool frmInport::IsLoaded() { return gForm.IsLoaded(); }

void frmInport::Unload() {
  frmInport* window = gForm.Take();
  if (!window) return;
  window->finished_ = true;  // unloaded from code: nothing to ask
  window->hide();
  window->deleteLater();
}

frmInport::frmInport()
    : QWidget(frmSet::IsLoaded() ? &frmSet::instance() : nullptr, Qt::Window) {
  setObjectName(QStringLiteral("frmInport"));
  setWindowTitle(QStringLiteral("インポート指定"));
  setFont(ui::StationFont(9));
  setAttribute(Qt::WA_DeleteOnClose);

  auto* fileRow = new QHBoxLayout;
  fileRow->addWidget(new QLabel(QStringLiteral("ﾌｧｲﾙ名："), this));
  txtFile = new QLineEdit(this);
  txtFile->setObjectName(QStringLiteral("txtFile"));
  cmdFile = new QPushButton(QStringLiteral("参照"), this);
  cmdFile->setObjectName(QStringLiteral("cmdFile"));
  fileRow->addWidget(txtFile, 1);
  fileRow->addWidget(cmdFile);

  auto* kind = new QGroupBox(QStringLiteral("ﾌｧｲﾙの種類"), this);
  auto* kindLayout = new QHBoxLayout(kind);
  optFile[0] = new QRadioButton(QStringLiteral("CSV(ｶﾝﾏ区切り)"), kind);
  optFile[1] = new QRadioButton(QStringLiteral("ﾃｷｽﾄ(ﾀﾌﾞ区切り)"), kind);
  auto* first = new QGroupBox(QStringLiteral("ﾌｧｲﾙの1行目"), this);
  auto* firstLayout = new QHBoxLayout(first);
  optLine[0] = new QRadioButton(QStringLiteral("ﾃﾞｰﾀ行"), first);
  optLine[1] = new QRadioButton(QStringLiteral("項目名"), first);
  for (int i = 0; i < 2; ++i) {
    optFile[i]->setObjectName(QStringLiteral("optFile%1").arg(i));
    optLine[i]->setObjectName(QStringLiteral("optLine%1").arg(i));
    kindLayout->addWidget(optFile[i]);
    firstLayout->addWidget(optLine[i]);
  }
  optFile[0]->setChecked(true);
  optLine[0]->setChecked(true);

  auto* fields = new QGroupBox(QStringLiteral("項目設定（項目No指定)"), this);
  auto* fieldsLayout = new QHBoxLayout(fields);
  for (int i = 0; i < 5; ++i) {
    lblCol[i] = new QLabel(kLabels[i] + (kRequired[i] ? QStringLiteral("(*)") : QString()) +
                               QStringLiteral("："),
                           fields);
    txtColNo[i] = new QLineEdit(fields);
    txtColNo[i]->setObjectName(QStringLiteral("txtColNo%1").arg(i));
    txtColNo[i]->setMaximumWidth(50);
    fieldsLayout->addWidget(lblCol[i]);
    fieldsLayout->addWidget(txtColNo[i]);
    if (i > 0) setTabOrder(txtColNo[i - 1], txtColNo[i]);
  }

  fgInport = new QTableWidget(this);
  fgInport->setObjectName(QStringLiteral("fgInport"));
  fgInport->setEditTriggers(QAbstractItemView::NoEditTriggers);
  fgInport->verticalHeader()->hide();

  cmdOK = new QPushButton(QStringLiteral("確認"), this);
  cmdOK->setObjectName(QStringLiteral("cmdOK"));
  cmdCancel = new QPushButton(QStringLiteral("終了"), this);
  cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(cmdOK);
  buttons->addWidget(cmdCancel);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(fileRow);
  auto* choices = new QHBoxLayout;
  choices->addWidget(kind);
  choices->addWidget(first);
  layout->addLayout(choices);
  layout->addWidget(fields);
  layout->addWidget(fgInport, 1);
  layout->addLayout(buttons);

  connect(cmdFile, &QPushButton::clicked, this, &frmInport::cmdFile_Click);
  connect(cmdOK, &QPushButton::clicked, this, &frmInport::cmdOK_Click);
  connect(cmdCancel, &QPushButton::clicked, this, &frmInport::cmdCancel_Click);
  resize(720, 480);
}

void frmInport::cmdFile_Click() {
  const QString path = ShowOpenDialog(
      this, QStringLiteral("ﾃｷｽﾄﾌｧｲﾙ(*.txt;*.csv)\0*.csv;*.txt\0すべてのﾌｧｲﾙ(*.*)\0*.*\0"), QString());
  if (!path.isEmpty()) txtFile->setText(path);
}

void frmInport::SetInputs(bool enabled) {
  txtFile->setEnabled(enabled);
  cmdFile->setEnabled(enabled);
  for (QRadioButton* o : optFile) o->setEnabled(enabled);
  for (QLineEdit* t : txtColNo) t->setEnabled(enabled);
  cmdOK->setText(enabled ? QStringLiteral("確認") : QStringLiteral("実行"));
  cmdCancel->setText(enabled ? QStringLiteral("終了") : QStringLiteral("キャンセル"));
}

void frmInport::cmdCancel_Click() {
  if (cmdCancel->text() == QStringLiteral("終了")) close();
  else SetInputs(true);
}

void frmInport::closeEvent(QCloseEvent* event) {
  if (!finished_ && ui::MsgBox(QStringLiteral("インポートを中止します"), ui::vbInformation | ui::vbOKCancel,
                               kConfirmTitle) == ui::vbCancel) {
    event->ignore();
    return;
  }
  gForm.Take();
  event->accept();
}

void frmInport::cmdOK_Click() {
  if (cmdOK->text() == QStringLiteral("確認")) CheckStage();
  else ImportStage();
}

bool frmInport::ReadLines() {
  lines_.clear();
  QFile file(txtFile->text());
  if (!file.open(QIODevice::ReadOnly)) {
    ui::MsgBox(ReadError(1), ui::vbCritical, kConfirmTitle);
    return false;
  }
  std::vector<QStringList> split = SplitImportLines(DecodeImportFile(file.readAll()), optFile[0]->isChecked());
  const size_t skip = optLine[1]->isChecked() && !split.empty() ? 1 : 0;
  lines_.reserve(split.size());
  for (size_t i = skip; i < split.size(); ++i) {
    Line line;
    line.number = static_cast<int>(i - skip) + 1;
    for (int f = 0; f < 5; ++f) {
      if (column_[f] == 0) continue;
      if (column_[f] > split[i].size()) {
        lines_.clear();
        ui::MsgBox(ReadError(line.number), ui::vbCritical, kConfirmTitle);
        return false;
      }
      line.values[f] = split[i][column_[f] - 1];
    }
    lines_.push_back(std::move(line));
  }
  return true;
}

// Marks the lines that would break the member table: IDs that are not digits or are longer
// than 9, and IDs repeated in the file or held by a member already.
void frmInport::Refuse(const QSet<QString>& stored) {
  if (column_[kId] == 0) return;
  QSet<QString> seen;
  for (Line& line : lines_) {
    line.refused.clear();
    QString& id = line.values[kId];
    id = cp::ToHalfWidth(id.trimmed());
    const bool digits = !id.isEmpty() && std::all_of(id.begin(), id.end(), [](QChar c) {
      return c >= QLatin1Char('0') && c <= QLatin1Char('9');
    });
    if (!digits) line.refused = QStringLiteral("ID番号が数字ではありません");
    else if (id.size() > 9) line.refused = QStringLiteral("ID番号が9桁を超えています");
    else if (stored.contains(id)) line.refused = QStringLiteral("ID番号が登録済みです");
    else if (seen.contains(id)) line.refused = QStringLiteral("ID番号がファイル内で重複しています");
    else seen.insert(id);
  }
}

QString frmInport::Report(int inserted) const {
  QStringList refused;
  int count = 0;
  for (const Line& line : lines_) {
    if (line.refused.isEmpty()) continue;
    if (++count <= kReportedLines) refused << QStringLiteral("%1 件目：%2").arg(line.number).arg(line.refused);
  }
  QString text = QStringLiteral("取り込む行：%1 件　取り込まない行：%2 件").arg(inserted).arg(count);
  if (count > 0) text += QStringLiteral("\r\n") + refused.join(QStringLiteral("\r\n"));
  if (count > kReportedLines) text += QStringLiteral("\r\n他 %1 件").arg(count - kReportedLines);
  return text;
}

bool frmInport::CheckStage() {
  fgInport->clear();
  fgInport->setRowCount(0);
  fgInport->setColumnCount(0);
  if (txtFile->text().isEmpty()) {
    ui::MsgBox(QStringLiteral("ファイルの指定がありません。"), ui::vbInformation, kInputTitle);
    return false;
  }
  if (!QFile::exists(txtFile->text())) {
    ui::MsgBox(QStringLiteral("指定されたファイルが見つかりません。"), ui::vbInformation, kInputTitle);
    return false;
  }
  if (std::all_of(txtColNo.begin(), txtColNo.end(), [](QLineEdit* t) { return t->text().isEmpty(); })) {
    ui::MsgBox(QStringLiteral("項目番号の指定がありません。"), ui::vbInformation, kInputTitle);
    return false;
  }
  for (int f = 0; f < 5; ++f) {
    column_[f] = 0;
    const QString text = cp::ToHalfWidth(txtColNo[f]->text().trimmed());
    if (text.isEmpty()) continue;
    bool ok = false;
    const int n = text.toInt(&ok);
    if (!ok || n < 1) {
      ui::MsgBox(kLabels[f] + QStringLiteral(" の項目番号を数字で入力してください"), ui::vbInformation, kInputTitle);
      return false;
    }
    column_[f] = n;
  }
  for (int f = 0; f < 5; ++f) {
    if (kRequired[f] && column_[f] == 0) {
      ui::MsgBox(kLabels[f] + QStringLiteral(" の項目は必須です。番号を入力してください"), ui::vbInformation,
                 kInputTitle);
      return false;
    }
  }
  if (!ReadLines()) return false;
  QSet<QString> stored;
  LoadMemberIds(stored);
  Refuse(stored);

  // The preview: the lines to be imported, under their line numbers.
  std::vector<int> named;
  for (int f = 0; f < 5; ++f)
    if (column_[f] != 0) named.push_back(f);
  QStringList headers{QString()};
  for (int f : named) headers << kLabels[f];
  fgInport->setColumnCount(static_cast<int>(headers.size()));
  fgInport->setHorizontalHeaderLabels(headers);
  int rows = 0;
  for (const Line& line : lines_) rows += line.refused.isEmpty() ? 1 : 0;
  fgInport->setUpdatesEnabled(false);
  fgInport->setRowCount(rows);
  int row = 0;
  for (const Line& line : lines_) {
    if (!line.refused.isEmpty()) continue;
    fgInport->setItem(row, 0, new QTableWidgetItem(QString::number(line.number)));
    for (size_t c = 0; c < named.size(); ++c)
      fgInport->setItem(row, static_cast<int>(c) + 1, new QTableWidgetItem(line.values[named[c]]));
    ++row;
  }
  // The line numbers 400 twips wide, the fields 2000; a column whose text needs more is widened
  // to it.
  for (int c = 0; c < fgInport->columnCount(); ++c) {
    fgInport->resizeColumnToContents(c);
    fgInport->setColumnWidth(c, std::max(TwipsToPixelsX(c == 0 ? 400 : 2000), fgInport->columnWidth(c)));
  }
  fgInport->setUpdatesEnabled(true);
  SetInputs(false);
  ui::MsgBox(QStringLiteral("表示された内容を確認して実行を押してください。(キャンセルで再指定)") +
                 QStringLiteral("\r\n") + Report(rows),
             ui::vbInformation, kConfirmTitle);
  return true;
}

void frmInport::ImportStage() {
  if (ui::MsgBox(QStringLiteral("表示された内容でデータを取り込みます。"), ui::vbInformation | ui::vbOKCancel,
                 kConfirmTitle) == ui::vbCancel)
    return;
  if (column_[kId] != 0 &&
      ui::MsgBox(QStringLiteral("ID番号の取込で番号に重複がある場合は、重複データは取り込まれません。"),
                 ui::vbInformation | ui::vbOKCancel, kConfirmTitle) == ui::vbCancel)
    return;

  // The table on screen is saved first: the member table by the switch to the messages, or the
  // message table by the switch to the members. A save that fails stops here.
  const bool haveSettings = frmSet::IsLoaded();
  if (haveSettings) {
    frmSet& settings = frmSet::instance();
    const bool messagesBefore = settings.MessagesOnScreen();
    settings.frmSet_cmdData_Click();
    if (settings.MessagesOnScreen() == messagesBefore) return;
  }

  // The members saved just now may hold IDs that the preview did not know.
  QSet<QString> stored;
  LoadMemberIds(stored);
  Refuse(stored);
  const QString yymm = ui::Now().toString(QStringLiteral("yyMM"));
  qint64 nextId = NextAutomaticId(yymm);
  std::vector<ImportedMember> members;
  std::vector<int> lineOf;
  for (const Line& line : lines_) {
    const qint64 automatic = nextId++;
    if (!line.refused.isEmpty()) continue;
    ImportedMember m;
    m.id = column_[kId] != 0 ? line.values[kId]
                             : QStringLiteral("%1").arg(automatic, 9, 10, QLatin1Char('0'));
    m.name = line.values[kName];
    m.honorific = column_[kHonorific] != 0 ? line.values[kHonorific] : QStringLiteral("さま");
    m.kana = line.values[kKana];
    m.mailAddr = column_[kMail] != 0 ? line.values[kMail] : QString();
    members.push_back(std::move(m));
    lineOf.push_back(line.number);
  }
  RecordsFailure failure;
  QString error;
  // A commit the connection lost sight of counts as done when every imported member is there.
  auto allThere = [&] {
    QSet<QString> ids;
    if (!LoadMemberIds(ids)) return false;
    for (const ImportedMember& m : members)
      if (!ids.contains(m.id)) return false;
    return true;
  };
  const bool ok =
      RunInTransaction([&] { return InsertImportedMembers(members, &failure); }, &error, allThere);
  if (!ok) {
    // Nothing was imported; the settings window shows the members as they are.
    const int line = failure.row > 0 ? lineOf[failure.row - 1] : 0;
    if (haveSettings && frmSet::instance().MessagesOnScreen()) frmSet::instance().frmSet_cmdData_Click();
    ui::MsgBox(ReadError(line) + QStringLiteral("\r\n") + (failure.error.isEmpty() ? error : failure.error),
               ui::vbCritical, kConfirmTitle);
    return;
  }
  WriteLog(TodayLogName(), QStringLiteral("データインポート"), QStringLiteral("実行"));
  ui::MsgBox(QStringLiteral("インポートは終了しました。") + QStringLiteral("\r\n") +
                 Report(static_cast<int>(members.size())).replace(QStringLiteral("取り込む行"),
                                                                   QStringLiteral("取り込んだ行")),
             ui::vbInformation, kConfirmTitle);
  if (haveSettings) {
    frmSet& settings = frmSet::instance();
    // Back on the members, loaded with the new ones.
    if (settings.MessagesOnScreen()) settings.frmSet_cmdData_Click();
    else settings.default_fgData();
  }
  finished_ = true;
  Unload();
}
