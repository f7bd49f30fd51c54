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
#include <QAbstractTableModel>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

#include "admin/ImportFile.h"
#include "admin/frmSet.h"
#include "common/mdlDB.h"
#include "codepage/narrow.h"
#include "common/FormInstance.h"
#include "common/mdlComDlg.h"
#include "common/mdlEnd.h"
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
// Members inserted by one statement.
constexpr int kInsertBatch = 64;

// The longest value each field's column holds, in characters.
constexpr std::array<int, 5> kLengths = {kMemberIdLength, kUserNameLength, kUserAddLength,
                                         kNameKanaLength, kMailAddrLength};

QString ReadError(int line) {
  return QString::number(line) + QStringLiteral(" 件目で読み込みでエラーが発生しています。") +
         QStringLiteral("\r\n読み込みファイルを再度確認するか、指定内容を確認してください。");
}

// Characters, not UTF-16 units: a character outside the basic plane counts once, as the
// database counts it.
qsizetype Characters(const QString& text) {
  qsizetype n = text.size();
  for (const QChar c : text)
    if (c.isHighSurrogate()) --n;
  return n;
}

// An ID of digits (at most nine) as a number that keeps its leading zeros apart: "012" and "12"
// are two IDs. 0 for any other text, which no line taken can carry.
quint64 IdKey(const QString& id) {
  if (id.isEmpty() || id.size() > kMemberIdLength) return 0;
  quint64 value = 0;
  for (const QChar c : id) {
    if (c < QLatin1Char('0') || c > QLatin1Char('9')) return 0;
    value = value * 10 + (c.unicode() - u'0');
  }
  return (quint64(id.size()) << 40) | value;
}

// The preview: the lines taken, each read from the file when the grid shows it. Only where each
// line starts is kept, so a file of a million lines previews in a few megabytes.
class PreviewModel : public QAbstractTableModel {
 public:
  using Split = std::function<QStringList(const QString&)>;
  PreviewModel(QStringList headers, Split split, QObject* parent)
      : QAbstractTableModel(parent), headers_(std::move(headers)), split_(std::move(split)) {}
  // The file the lines are read from, in the encoding found when it was read whole.
  void OpenFile(const QString& path, bool utf8) { reader_.OpenAs(path, utf8); }
  void Add(int number, qint64 offset) {
    numbers_.push_back(number);
    offsets_.push_back(offset);
  }
  int rowCount(const QModelIndex& parent = {}) const override {
    return parent.isValid() ? 0 : static_cast<int>(offsets_.size());
  }
  int columnCount(const QModelIndex& parent = {}) const override {
    return parent.isValid() ? 0 : static_cast<int>(headers_.size());
  }
  QVariant data(const QModelIndex& index, int role) const override {
    if (role != Qt::DisplayRole || !index.isValid()) return {};
    const auto row = static_cast<size_t>(index.row());
    if (index.column() == 0) return QString::number(numbers_[row]);
    if (static_cast<int>(row) != cachedRow_) {
      QString text;
      cached_ = reader_.LineAt(offsets_[row], text) ? split_(text) : QStringList();
      cachedRow_ = static_cast<int>(row);
    }
    return cached_.value(index.column() - 1);
  }
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole) return headers_.value(section);
    return QAbstractTableModel::headerData(section, orientation, role);
  }

 private:
  QStringList headers_;
  Split split_;
  std::vector<int> numbers_;
  std::vector<qint64> offsets_;
  mutable ImportFileReader reader_;
  mutable int cachedRow_ = -1;
  mutable QStringList cached_;
};
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

  fgInport = new QTableView(this);
  fgInport->setObjectName(QStringLiteral("fgInport"));
  fgInport->setEditTriggers(QAbstractItemView::NoEditTriggers);
  fgInport->verticalHeader()->hide();
  fgInport->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);

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

bool frmInport::TakeValues(const QString& text, Line& line) const {
  const QStringList fields = SplitImportLine(text, csv_, &line.refused);
  if (!line.refused.isEmpty()) return true;
  for (int f = 0; f < 5; ++f) {
    if (column_[f] == 0) continue;
    // The line with one separator appended: a missing last column is an empty value.
    if (column_[f] > fields.size() + 1) return false;
    line.values[f] = column_[f] <= fields.size() ? fields[column_[f] - 1] : QStringLiteral("");
  }
  return true;
}

// Refuses the lines that would break the member table or the database: a NUL (which would cut
// the value short), an ID that is not digits or is longer than nine, an ID repeated in the file
// or held by a member already, an empty required value, a value longer than its column.
void frmInport::Judge(Line& line, Judging& judging) const {
  auto refuse = [&](const QString& reason) {
    line.refused = reason;
    ++judging.refused;
    if (judging.reported.size() < kReportedLines)
      judging.reported << QStringLiteral("%1 件目：%2").arg(line.number).arg(reason);
  };
  if (!line.refused.isEmpty()) return refuse(line.refused);
  for (int f = 0; f < 5; ++f)
    if (column_[f] != 0 && line.values[f].contains(QChar(0)))
      return refuse(kLabels[f] + QStringLiteral("にNUL文字があります"));
  quint64 key = 0;
  if (column_[kId] != 0) {
    QString& id = line.values[kId];
    id = cp::ToHalfWidth(id.trimmed());
    const bool digits = !id.isEmpty() && std::all_of(id.begin(), id.end(), [](QChar c) {
      return c >= QLatin1Char('0') && c <= QLatin1Char('9');
    });
    if (!digits) return refuse(QStringLiteral("ID番号が数字ではありません"));
    if (id.size() > kMemberIdLength) return refuse(QStringLiteral("ID番号が9桁を超えています"));
    key = IdKey(id);
    if (judging.stored.contains(key)) return refuse(QStringLiteral("ID番号が登録済みです"));
    if (judging.seen.contains(key)) return refuse(QStringLiteral("ID番号がファイル内で重複しています"));
  }
  for (int f = kName; f < 5; ++f) {
    if (column_[f] == 0) continue;
    if (f != kMail && line.values[f].isEmpty()) return refuse(kLabels[f] + QStringLiteral("がありません"));
    if (Characters(line.values[f]) > kLengths[f])
      return refuse(kLabels[f] + QStringLiteral("が%1文字を超えています").arg(kLengths[f]));
  }
  if (key != 0) judging.seen.insert(key);
  ++judging.taken;
}

bool frmInport::LoadStoredIds(Judging& judging) const {
  QSet<QString> ids;
  if (!LoadMemberIds(ids)) return false;
  judging.stored.clear();
  judging.stored.reserve(ids.size());
  for (const QString& id : ids)
    if (const quint64 key = IdKey(id)) judging.stored.insert(key);
  return true;
}

bool frmInport::ReadFile(Judging& judging, const std::function<bool(const Line&, qint64)>& take,
                         int* failedLine) {
  *failedLine = 0;
  ImportFileReader reader;
  if (!reader.Open(path_)) {
    *failedLine = 1;
    return false;
  }
  utf8_ = reader.Utf8();
  QString text;
  qint64 offset = 0;
  if (header_) reader.Next(text);
  for (int number = 1; reader.Next(text, &offset); ++number) {
    Line line;
    line.number = number;
    if (!TakeValues(text, line)) {
      *failedLine = number;
      return false;
    }
    Judge(line, judging);
    if (line.refused.isEmpty() && !take(line, offset)) return false;
  }
  return true;
}

QString frmInport::Report(const Judging& judging) const {
  QString text = QStringLiteral("取り込む行：%1 件　取り込まない行：%2 件").arg(judging.taken).arg(judging.refused);
  if (judging.refused > 0) text += QStringLiteral("\r\n") + judging.reported.join(QStringLiteral("\r\n"));
  if (judging.refused > kReportedLines)
    text += QStringLiteral("\r\n他 %1 件").arg(judging.refused - kReportedLines);
  return text;
}

bool frmInport::CheckStage() {
  if (QAbstractItemModel* old = fgInport->model()) {
    fgInport->setModel(nullptr);
    old->deleteLater();
  }
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
  path_ = txtFile->text();
  csv_ = optFile[0]->isChecked();
  header_ = optLine[1]->isChecked();

  // The preview: the lines to be imported, under their line numbers.
  std::vector<int> named;
  for (int f = 0; f < 5; ++f)
    if (column_[f] != 0) named.push_back(f);
  QStringList headers{QString()};
  for (int f : named) headers << kLabels[f];
  auto split = [this, named](const QString& text) {
    Line line;
    QStringList shown;
    if (!TakeValues(text, line)) return shown;
    for (int f : named) shown << (f == kId ? cp::ToHalfWidth(line.values[f].trimmed()) : line.values[f]);
    return shown;
  };
  auto* model = new PreviewModel(headers, split, fgInport);
  Judging judging;
  LoadStoredIds(judging);
  int failedLine = 0;
  if (!ReadFile(judging, [model](const Line& line, qint64 offset) {
        model->Add(line.number, offset);
        return true;
      }, &failedLine)) {
    delete model;
    ui::MsgBox(ReadError(failedLine), ui::vbCritical, kConfirmTitle);
    return false;
  }
  model->OpenFile(path_, utf8_);
  fgInport->setModel(model);
  // The line numbers 400 twips wide, the fields 2000; a column whose text needs more is widened
  // to it (judged on the lines in view).
  for (int c = 0; c < model->columnCount(); ++c) {
    fgInport->resizeColumnToContents(c);
    fgInport->setColumnWidth(c, std::max(TwipsToPixelsX(c == 0 ? 400 : 2000), fgInport->columnWidth(c)));
  }
  SetInputs(false);
  ui::MsgBox(QStringLiteral("表示された内容を確認して実行を押してください。(キャンセルで再指定)") +
                 QStringLiteral("\r\n") + Report(judging),
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

  // The file is read again and judged again: the members saved just now may hold IDs that the
  // preview did not know. The members go in many to a statement; when one of those fails, the
  // import is run again a member to a statement, to name the line that failed.
  const QString yymm = ui::Now().toString(QStringLiteral("yyMM"));
  Judging judging;
  int failedLine = 0;
  QString failure, error;
  bool insertFailed = false;
  auto run = [&](int batch) {
    judging = Judging();
    LoadStoredIds(judging);
    const qsizetype storedBefore = judging.stored.size();
    const qint64 nextId = NextAutomaticId(yymm);
    ImportedMemberInserter inserter(batch);
    failedLine = 0;
    failure.clear();
    error.clear();
    insertFailed = false;
    auto insert = [&](const Line& line, qint64) {
      ImportedMember m;
      // Each line counts, taken or not: the ID a refused line would have had stays unused.
      const qint64 automatic = nextId + line.number - 1;
      m.id = column_[kId] != 0 ? line.values[kId] : QStringLiteral("%1").arg(automatic, 9, 10, QLatin1Char('0'));
      m.name = line.values[kName];
      m.honorific = column_[kHonorific] != 0 ? line.values[kHonorific] : QStringLiteral("さま");
      m.kana = line.values[kKana];
      m.mailAddr = column_[kMail] != 0 ? line.values[kMail] : QString();
      if (inserter.Insert(m, &failure)) return true;
      failedLine = line.number;
      insertFailed = true;
      return false;
    };
    // A commit the connection lost sight of counts as done when every member taken is there.
    auto allThere = [&] {
      QSet<QString> ids;
      return LoadMemberIds(ids) && ids.size() == storedBefore + judging.taken;
    };
    return RunInTransaction(
        [&] {
          if (!ReadFile(judging, insert, &failedLine)) return false;
          if (inserter.Flush(&failure)) return true;
          insertFailed = true;
          return false;
        },
        &error, allThere);
  };
  bool ok = run(kInsertBatch);
  if (!ok && insertFailed) ok = run(1);
  if (!ok) {
    // Nothing was imported; the settings window shows the members as they are.
    if (haveSettings && frmSet::instance().MessagesOnScreen()) frmSet::instance().frmSet_cmdData_Click();
    QString text = ReadError(failedLine);
    if (insertFailed || failedLine == 0) text += QStringLiteral("\r\n") + (insertFailed ? failure : error);
    ui::MsgBox(text, ui::vbCritical, kConfirmTitle);
    return;
  }
  WriteLog(TodayLogName(), QStringLiteral("データインポート"), QStringLiteral("実行"));
  ui::MsgBox(QStringLiteral("インポートは終了しました。") + QStringLiteral("\r\n") +
                 Report(judging).replace(QStringLiteral("取り込む行"),
                                                                   QStringLiteral("取り込んだ行")),
             ui::vbInformation, kConfirmTitle);
  if (ProgramEnded()) return;  // the members are stored; the windows go with the program
  if (haveSettings) {
    frmSet& settings = frmSet::instance();
    // Back on the members, loaded with the new ones.
    if (settings.MessagesOnScreen()) settings.frmSet_cmdData_Click();
    else settings.default_fgData();
  }
  finished_ = true;
  Unload();
}
