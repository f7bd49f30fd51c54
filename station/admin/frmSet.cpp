#include "admin/frmSet.h"

#include <QApplication>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QComboBox>
#include <QRadioButton>
#include <QScrollBar>
#include <QStackedLayout>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "admin/TableChecks.h"
#include "admin/TableModels.h"
#include "admin/frmContents.h"
#include "admin/frmMContents.h"
#include "admin/frmInport.h"
#include "admin/frmSearch.h"
#include "common/FormInstance.h"
#include "common/MemberRoster.h"
#include "common/SettingsFields.h"
#include "common/Navigation.h"
#include "common/TableRecords.h"
#include "common/frmNow.h"
#include "common/globals.h"
#include "common/mdlLogWrite.h"
#include "common/mdlVelmor.h"
#include "ui/clock.h"
#include "ui/keys_fonts.h"
#include "ui/msgbox.h"

namespace {
FormInstance<frmSet> gForm;

const QString kShowMembers = QStringLiteral("データを表示");   // caption while the messages show
const QString kShowMessages = QStringLiteral("ﾒｯｾｰｼﾞを表示");  // caption while the members show
const QString kRowTitle = QStringLiteral("登録内容の確認");

int Twips(int twips) { return static_cast<int>(std::lround(twips / TwipsPerPixelX())); }

QDate Today() { return ui::Now().date(); }
QString TodayText() { return Today().toString(QStringLiteral("yyyy/MM/dd")); }

QString WriteFailure(const RecordsFailure& failure, const char16_t* rowText, const char16_t* tableText) {
  const QString head = failure.row > 0 ? QString::number(failure.row) + QString::fromUtf16(rowText)
                                       : QString::fromUtf16(tableText);
  return failure.error.isEmpty() ? head : head + QStringLiteral("\r\n") + failure.error;
}

QTableView* MakeGrid(QWidget* parent, const QString& name, QAbstractItemModel* model) {
  auto* grid = new QTableView(parent);
  grid->setObjectName(name);
  grid->setModel(model);
  grid->setSortingEnabled(false);
  grid->setSelectionMode(QAbstractItemView::ContiguousSelection);
  grid->setSelectionBehavior(QAbstractItemView::SelectItems);
  grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid->setWordWrap(false);
  grid->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
  grid->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  grid->setAttribute(Qt::WA_InputMethodEnabled);
  grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 10);
  grid->verticalHeader()->setFixedWidth(Twips(250));
  grid->horizontalHeader()->setHighlightSections(false);
  grid->horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
  return grid;
}
}  // namespace

frmSet& frmSet::instance() { return gForm.Get([] { return new frmSet(); }); }

bool frmSet::IsLoaded() { return gForm.IsLoaded(); }

void frmSet::Unload() {
  frmSet* window = gForm.Take();
  if (!window) return;
  window->hide();
  window->deleteLater();
}

frmSet::frmSet() : QWidget(nullptr) {
  setObjectName(QStringLiteral("frmSet"));
  setWindowTitle(QStringLiteral("Tovaniの設定"));
  setFont(ui::StationFont(9));
  BuildWidgets();
  ShareSettingsFields(txtAppUser, txtLogoFile);  // the card print reads them as they are edited
  // The window opens on the message table.
  Form_Load();
}

void frmSet::BuildWidgets() {
  dataModel_ = new MemberTableModel(MemberRoster::Shared(), this);
  messageModel_ = new MessageTableModel(this);

  auto* tableArea = new QWidget(this);
  tableArea->setObjectName(QStringLiteral("fraTables"));
  auto* stack = new QStackedLayout(tableArea);
  stack->setStackingMode(QStackedLayout::StackAll);

  fgData = MakeGrid(tableArea, QStringLiteral("fgData"), dataModel_);
  const int memberWidths[] = {1000, 1750, 750, 1750, 0, 3000, 1250, 750, 500};
  for (int c = 0; c < MemberTableModel::kColumns; ++c) fgData->setColumnWidth(c, Twips(memberWidths[c]));
  fgData->setColumnHidden(MemberTableModel::ColMailName, true);
  // The ID column is never narrower than nine digits in the grid's font, with the margins a cell
  // keeps around its text and the grid line.
  int nineDigits = 0;
  for (char digit = '0'; digit <= '9'; ++digit)
    nineDigits = std::max(nineDigits, fgData->fontMetrics().horizontalAdvance(QString(9, QLatin1Char(digit))));
  const int textMargin = fgData->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, fgData) + 1;
  fgData->setColumnWidth(MemberTableModel::ColId,
                         std::max(fgData->columnWidth(MemberTableModel::ColId), nineDigits + 2 * textMargin + 1));
  auto* sendButtons = new RowControlDelegate(RowControlDelegate::Kind::Button, fgData);
  fgData->setItemDelegateForColumn(MemberTableModel::ColSend, sendButtons);
  fgData->setItemDelegateForColumn(MemberTableModel::ColPick,
                                   new RowControlDelegate(RowControlDelegate::Kind::Check, fgData));
  connect(sendButtons, &RowControlDelegate::Clicked, this, [this](int row) { frmSet_cmdSend_Click(row + 1); });

  fgMessage = MakeGrid(tableArea, QStringLiteral("fgMessage"), messageModel_);
  fgMessage->setColumnWidth(MessageTableModel::ColMessage, Twips(10000));
  fgMessage->setColumnWidth(MessageTableModel::ColEntry, Twips(750));
  fgMessage->setItemDelegateForColumn(MessageTableModel::ColEntry,
                                      new RowControlDelegate(RowControlDelegate::Kind::Check, fgMessage));
  stack->addWidget(fgData);
  stack->addWidget(fgMessage);

  for (QTableView* grid : {fgData, fgMessage}) {
    grid->installEventFilter(this);
    connect(grid, &QTableView::doubleClicked, this, [this, grid] { fgGrid_DblClick(grid); });
    // The editor rides on its cell while the grid scrolls.
    connect(grid->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { PlaceEditor(); });
    connect(grid->horizontalScrollBar(), &QScrollBar::valueChanged, this, [this] { PlaceEditor(); });
  }

  // The floating editor, shared by both grids, shown only while a cell is edited.
  inputTxt = new QLineEdit(this);
  inputTxt->setObjectName(QStringLiteral("inputTxt"));
  inputTxt->hide();
  inputTxt->installEventFilter(this);

  auto makeButton = [this](const char* name, const QString& caption) {
    auto* b = new QPushButton(caption, this);
    b->setObjectName(QLatin1String(name));
    b->setMinimumWidth(Twips(1300));
    return b;
  };
  cmdData = makeButton("cmdData", kShowMembers);
  cmdPrint = makeButton("cmdPrint", QStringLiteral("カード印刷"));
  cmdHist = makeButton("cmdHist", QStringLiteral("入退室履歴"));
  cmdSearch = makeButton("cmdSearch", QStringLiteral("データ検索"));
  cmdInport = makeButton("cmdInport", QStringLiteral("データ取込"));
  cmdAllSend = makeButton("cmdAllSend", QStringLiteral("一括メール"));
  cmdOK = makeButton("cmdOK", QStringLiteral("OK"));
  cmdCancel = makeButton("cmdCancel", QStringLiteral("キャンセル"));
  connect(cmdData, &QPushButton::clicked, this, &frmSet::frmSet_cmdData_Click);
  connect(cmdPrint, &QPushButton::clicked, this, &frmSet::frmSet_cmdPrint_Click);
  connect(cmdHist, &QPushButton::clicked, this, &frmSet::frmSet_cmdHist_Click);
  connect(cmdSearch, &QPushButton::clicked, this, &frmSet::frmSet_cmdSearch_Click);
  connect(cmdInport, &QPushButton::clicked, this, &frmSet::frmSet_cmdInport_Click);
  connect(cmdAllSend, &QPushButton::clicked, this, &frmSet::frmSet_cmdAllSend_Click);
  connect(cmdOK, &QPushButton::clicked, this, &frmSet::frmSet_cmdOK_Click);
  connect(cmdCancel, &QPushButton::clicked, this, &frmSet::frmSet_cmdCancel_Click);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(cmdData);
  buttons->addWidget(cmdPrint);
  buttons->addWidget(cmdHist);
  buttons->addWidget(cmdAllSend);
  buttons->addWidget(cmdInport);
  buttons->addWidget(cmdSearch);
  buttons->addStretch(1);
  buttons->addWidget(cmdOK);
  buttons->addWidget(cmdCancel);

  QWidget* settings = BuildSettingsFields();
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(settings);
  layout->addWidget(tableArea, 1);
  layout->addLayout(buttons);

  setTabOrder(optFtp[1], fgData);
  setTabOrder(fgData, fgMessage);
  setTabOrder(fgMessage, cmdData);
  setTabOrder(cmdData, cmdPrint);
  setTabOrder(cmdPrint, cmdHist);
  setTabOrder(cmdHist, cmdAllSend);
  setTabOrder(cmdAllSend, cmdInport);
  setTabOrder(cmdInport, cmdSearch);
  setTabOrder(cmdSearch, cmdOK);
  setTabOrder(cmdOK, cmdCancel);
  resize(Twips(13500), Twips(11000));
}

bool frmSet::MessagesOnScreen() const { return cmdData->text() == kShowMembers; }

QTableView* frmSet::GridOnScreen() const { return MessagesOnScreen() ? fgMessage : fgData; }

EditableTable* frmSet::ModelOf(QTableView* grid) const {
  if (grid == fgData) return dataModel_;
  return messageModel_;
}

void frmSet::ShowTable(bool members) {
  fgData->setVisible(members);
  fgMessage->setVisible(!members);
  cmdData->setText(members ? kShowMessages : kShowMembers);
  for (QPushButton* b : {cmdPrint, cmdHist, cmdAllSend, cmdSearch, cmdInport}) b->setVisible(members);
}

void frmSet::BackToLogin() {
  Unload();
  nav::Open(nav::Window::Login);
}

void frmSet::frmSet_cmdOK_Click() {
  if (editing_) inputTxt_LostFocus();
  // Everything is checked, the table on screen included, before anything is written.
  if (!CheckFields()) return;
  frmNow& busy = frmNow::instance();
  busy.lblNow->setVisible(true);
  busy.lblNow->setText(QStringLiteral("登録データの確認中..."));
  busy.show();
  busy.repaint();
  if (optSendMailYes->isChecked()) {
    QString problem;
    if (txtMailAddr->text().isEmpty()) problem = QStringLiteral("メールアドレスを設定してください");
    else if (!txtMailAddr->text().contains(QLatin1Char('@'))) problem = QStringLiteral("メールアドレスの形式を確認してください");
    if (!problem.isEmpty()) {
      ui::MsgBox(problem, ui::vbInformation, QStringLiteral("設定の確認"));
      frmNow::Unload();
      FocusField(txtMailAddr);
      return;
    }
  }
  const bool members = !MessagesOnScreen();
  // A table that could not be loaded was never edited: there is nothing of it to save.
  if (ModelOf(GridOnScreen())->IsLoaded()) {
    const QString error = members ? frmSet_CheckMembers() : frmSet_CheckMessages();
    if (!error.isEmpty()) {
      ui::MsgBox(error, ui::vbCritical, kRowTitle);
      frmNow::Unload();
      return;
    }
  }
  AssignFields();
  if (!SaveEverything(members)) {
    frmNow::Unload();
    return;
  }
  Log(QStringLiteral("設定を終了"), QStringLiteral("成功"));
  frmNow::Unload();
  BackToLogin();
}

void frmSet::frmSet_cmdCancel_Click() {
  Log(QStringLiteral("設定をキャンセル"), QStringLiteral("成功"));
  BackToLogin();
}

QString frmSet::SaveTable(bool members) { return members ? frmSet_SaveMembers() : frmSet_SaveMessages(); }

void frmSet::frmSet_cmdData_Click() {
  if (editing_) inputTxt_LostFocus();
  frmNow& busy = frmNow::instance();
  busy.lblNow->setVisible(true);
  busy.lblNow->setText(QStringLiteral("登録データの確認中..."));
  busy.show();
  busy.repaint();

  const bool members = !MessagesOnScreen();
  if (ModelOf(GridOnScreen())->IsLoaded()) {
    const QString error = SaveTable(members);
    if (!error.isEmpty()) {
      ui::MsgBox(error, ui::vbCritical, kRowTitle);
      frmNow::Unload();
      return;
    }
  }
  if (members) {
    ShowTable(false);
    frmSet_LoadMessages();
    Log(QStringLiteral("メッセージを表示"), QStringLiteral("成功"));
  } else {
    ShowTable(true);
    default_fgData();
    Log(QStringLiteral("データを表示"), QStringLiteral("成功"));
  }
  frmNow::Unload();
}

void frmSet::frmSet_cmdSearch_Click() {
  if (editing_) inputTxt_LostFocus();
  frmSearch::instance().exec();
}

void frmSet::frmSet_cmdInport_Click() {
  if (editing_) inputTxt_LostFocus();
  frmInport& window = frmInport::instance();
  window.show();
  window.raise();
  window.activateWindow();
}

bool frmSet::HasMemberRows() const {
  // The header row and the empty new row alone: no member to work on.
  if (MemberRoster::Shared().Count() > 0) return true;
  ui::MsgBox(QStringLiteral("対象データがありません。"), ui::vbInformation, QStringLiteral("処理の確認"));
  return false;
}

void frmSet::frmSet_cmdPrint_Click() {
  if (editing_) inputTxt_LostFocus();
  frmNow& busy = frmNow::instance();
  busy.lblNow->setVisible(true);
  busy.lblNow->setText(QStringLiteral("登録データの確認中..."));
  busy.show();
  busy.repaint();
  if (!HasMemberRows()) {
    frmNow::Unload();
    return;
  }
  // The cards are printed from the database: the table's edits go there first.
  const QString error = frmSet_SaveMembers();
  frmNow::Unload();
  if (!error.isEmpty()) {
    ui::MsgBox(error, ui::vbCritical, kRowTitle);
    return;
  }
  nav::Open(nav::Window::CardPrint);
}

void frmSet::frmSet_cmdHist_Click() {
  if (editing_) inputTxt_LostFocus();
  if (!HasMemberRows()) return;
  nav::Open(nav::Window::HistoryFilter);
}

void frmSet::frmSet_cmdSend_Click(int row) {
  // One composer at a time: while a row's mail is written or sent, the buttons do nothing.
  if (frmMContents::IsLoaded()) return;
  if (editing_) inputTxt_LostFocus();
  MemberRoster& roster = MemberRoster::Shared();
  if (row < 1 || row > roster.Count()) return;
  if (optDial->isChecked() &&
      ui::MsgBox(QStringLiteral("ダイヤルアップ接続を行う場合は、送信に時間がかかる場合があります。"),
                 ui::vbInformation | ui::vbOKCancel, QStringLiteral("送信の確認")) == ui::vbCancel)
    return;
  // The row is mailed as it stands on screen; its tidied cells stay tidied whatever follows.
  RosterMember member = roster.At(row - 1);
  const QString error = CheckContactRow(member, Today());
  if (member.id != roster.At(row - 1).id || member.mailAddr != roster.At(row - 1).mailAddr ||
      member.date != roster.At(row - 1).date)
    roster.Replace(row - 1, member);
  if (!error.isEmpty()) {
    ui::MsgBox(error, ui::vbCritical, kRowTitle);
    return;
  }
  if (optDial->isChecked()) {
    auto refuse = [](const QString& text) {
      ui::MsgBox(text, ui::vbInformation, QStringLiteral("接続設定の確認"));
    };
    if (entryCombo1->currentText().isEmpty()) return refuse(QStringLiteral("接続先名を設定してください"));
    if (user->text().isEmpty()) return refuse(QStringLiteral("接続先のユーザー名を設定してください"));
    if (pass->text().isEmpty()) return refuse(QStringLiteral("接続先のパスワードを設定してください"));
  }
  gintMailMode = 1;
  glngSendRow = row;
  frmMContents::instance().exec();
}

void frmSet::frmSet_cmdContents_Click() {
  if (editing_) inputTxt_LostFocus();
  gintMailMode = 0;
  frmContents::instance().exec();
}

void frmSet::frmSet_cmdAllSend_Click() {
  if (editing_) inputTxt_LostFocus();
  if (!HasMemberRows()) return;
  gintHistMode = 0;
  gintMailMode = 2;
  frmMContents::instance().exec();
}

void frmSet::frmSet_ShowMemberRow(int row) {
  if (row < 1 || row > dataModel_->DataRows()) return;
  fgData->doItemsLayout();  // rows added since the last paint count too
  fgData->scrollTo(dataModel_->index(row - 1, 0), QAbstractItemView::PositionAtTop);
}

// ---- loading and saving ----------------------------------------------------------------------

void frmSet::default_fgData() {
  ShowTable(true);
  PackedMembers rows;
  QString error;
  MemberRoster::Shared().Clear();  // the old rows go before the new ones are read
  if (!LoadMemberRows(rows, TodayText(), &error)) {
    ui::MsgBox(QStringLiteral("登録データを読み込めませんでした。\r\n") + error, ui::vbCritical,
               QStringLiteral("ロードエラー"));
    return;
  }
  MemberRoster::Shared().Reset(std::move(rows));
}

void frmSet::frmSet_LoadMessages() {
  std::vector<GreetingRow> rows;
  QString error;
  if (!LoadGreetingRows(rows, &error)) {
    messageModel_->Clear();
    ui::MsgBox(QStringLiteral("メッセージを読み込めませんでした。\r\n") + error, ui::vbCritical,
               QStringLiteral("ロードエラー"));
    return;
  }
  messageModel_->Reset(std::move(rows));
}

QString frmSet::frmSet_CheckMembers() {
  MemberRoster& roster = MemberRoster::Shared();
  if (!roster.Loaded()) return QStringLiteral("登録データを読み込めていないため、保存できません。");
  std::vector<RosterMember> rows = roster.Members();
  std::vector<int> tidied;
  const QString error = CheckMemberRows(rows, Today(), &tidied);
  // The rows tested keep their tidying, also when a later row fails.
  for (int row : tidied) roster.Replace(row, rows[static_cast<size_t>(row)]);
  return error;
}

QString frmSet::frmSet_WriteMembers() {
  RecordsFailure failure;
  if (WriteMemberRows(MemberRoster::Shared().Members(), TodayText(), &failure)) return QString();
  return WriteFailure(failure, u"行目を保存できませんでした。", u"登録データを保存できませんでした。");
}

QString frmSet::frmSet_CheckMessages() {
  if (!messageModel_->IsLoaded()) return QStringLiteral("メッセージを読み込めていないため、保存できません。");
  return CheckGreetingRows(messageModel_->Rows());
}

QString frmSet::frmSet_WriteMessages() {
  RecordsFailure failure;
  if (WriteGreetingRows(messageModel_->Rows(), &failure)) return QString();
  return WriteFailure(failure, u"行目のメッセージを保存できませんでした。", u"メッセージを保存できませんでした。");
}

namespace {
// Runs `write` in a transaction of its own; its text, or the transaction's failure.
QString WriteWhole(const std::function<QString()>& write, const char16_t* tableText) {
  QString result;
  QString error;
  if (RunInTransaction([&] { return (result = write()).isEmpty(); }, &error)) return QString();
  if (!result.isEmpty()) return result;
  return WriteFailure({0, error}, u"", tableText);
}
}  // namespace

QString frmSet::frmSet_SaveMembers() {
  const QString error = frmSet_CheckMembers();
  if (!error.isEmpty()) return error;
  return WriteWhole([this] { return frmSet_WriteMembers(); }, u"登録データを保存できませんでした。");
}

QString frmSet::frmSet_SaveMessages() {
  const QString error = frmSet_CheckMessages();
  if (!error.isEmpty()) return error;
  return WriteWhole([this] { return frmSet_WriteMessages(); }, u"メッセージを保存できませんでした。");
}

// ---- editing ---------------------------------------------------------------------------------

void frmSet::OpenEditor(QTableView* grid, const QString& text) {
  EditableTable* model = ModelOf(grid);
  const QModelIndex current = grid->currentIndex();
  if (!model->IsLoaded() || !current.isValid() || grid->isHidden()) return;
  // The button and tick columns carry no text.
  if (grid == fgData && current.column() >= MemberTableModel::ColSend) return;
  if (grid == fgMessage && current.column() == MessageTableModel::ColEntry) return;
  if (editing_) inputTxt_LostFocus();
  editGrid_ = grid;
  lngEditRow = current.row();
  lngEditCol = current.column();
  strOldText = model->Text(lngEditRow, lngEditCol);
  intLastKey = 0;
  editing_ = true;
  inputTxt->setText(text);
  inputTxt->end(false);
  // The editor opens over its cell inside the grid: the grid scrolls the cell into view first.
  grid->doItemsLayout();
  grid->scrollTo(current);
  PlaceEditor();
  inputTxt->raise();
  inputTxt->setFocus(Qt::OtherFocusReason);
}

void frmSet::PlaceEditor() {
  if (!editing_ || !editGrid_) return;
  const QRect cell = editGrid_->visualRect(ModelOf(editGrid_)->index(lngEditRow, lngEditCol));
  const QWidget* viewport = editGrid_->viewport();
  // Never outside the grid: of a cell scrolled partly out of view, only its visible part.
  const QRect shown = cell.intersected(viewport->rect());
  if (!shown.isEmpty()) inputTxt->setGeometry(QRect(viewport->mapTo(this, shown.topLeft()), shown.size()));
  inputTxt->setVisible(!shown.isEmpty());
}

void frmSet::fgGrid_DblClick(QTableView* grid) {
  if (grid == fgData && !gblnUserUpdate) return;
  const QModelIndex current = grid->currentIndex();
  if (!current.isValid()) return;
  OpenEditor(grid, ModelOf(grid)->Text(current.row(), current.column()));
}

void frmSet::inputTxt_LostFocus() {
  if (!editing_) return;
  editing_ = false;
  QTableView* grid = editGrid_;
  EditableTable* model = ModelOf(grid);
  const int row = lngEditRow;
  if (intLastKey != 27) {
    // A row typed into the empty last row becomes a record; a new empty row follows it. The
    // current cell stays on the cell just written, in view.
    if (row == model->LastRow()) {
      model->AppendRow();
      grid->setCurrentIndex(model->index(row, lngEditCol));
      grid->doItemsLayout();
      grid->scrollTo(model->index(row, lngEditCol));
    }
    model->SetText(row, lngEditCol, inputTxt->text());
  }
  // A member row without a mail address gets today as its registration date, when it has none.
  if (grid == fgData && row < model->DataRows() && model->Text(row, MemberTableModel::ColMailAddr).isEmpty() &&
      model->Text(row, MemberTableModel::ColDate).isEmpty())
    model->SetText(row, MemberTableModel::ColDate, TodayText());
  intLastKey = 0;
  const bool hadFocus = inputTxt->hasFocus();
  inputTxt->hide();
  if (hadFocus && grid->isVisible()) grid->setFocus(Qt::OtherFocusReason);
}

bool frmSet::GridKeyPress(QTableView* grid, QKeyEvent* key) {
  if (key->key() == Qt::Key_Delete) {
    if (!key->isAutoRepeat()) GridDelete(grid);
    return true;
  }
  if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return false;
  const int ascii = ui::KeyAsciiOf(key);
  if (ascii == 8) {
    OpenEditor(grid, QString());
    return true;
  }
  if (ascii == 13 || ascii == 9 || ascii == 27 || ascii == 32) return false;
  const QString text = key->text();
  if (text.isEmpty() || !text.at(0).isPrint() || text.at(0).isSpace()) return false;
  OpenEditor(grid, text);
  return true;
}

void frmSet::GridDelete(QTableView* grid) {
  EditableTable* model = ModelOf(grid);
  if (!model->IsLoaded()) return;
  const QModelIndex current = grid->currentIndex();
  if (!current.isValid()) return;
  int top = current.row(), bottom = current.row(), left = current.column(), right = current.column();
  const QItemSelection selection = grid->selectionModel()->selection();
  for (const QItemSelectionRange& range : selection) {
    top = std::min(top, range.top());
    bottom = std::max(bottom, range.bottom());
    left = std::min(left, range.left());
    right = std::max(right, range.right());
  }
  if (left == right) {
    OpenEditor(grid, QString());
    return;
  }
  const int lastRow = model->LastRow();
  if (left == 0 && right == model->columnCount() - 1 && top != lastRow) {
    if (ui::MsgBox(QStringLiteral("選択行を削除します。"), ui::vbOKCancel | ui::vbInformation,
                   QStringLiteral("確認")) != ui::vbOK)
      return;
    // The empty last row is never deleted.
    model->RemoveRows(top, std::min(bottom, lastRow - 1));
    return;
  }
  if (ui::MsgBox(QStringLiteral("選択範囲をクリアします。"), ui::vbOKCancel | ui::vbInformation,
                 QStringLiteral("確認")) != ui::vbOK)
    return;
  model->ClearRange(top, left, bottom, right);
}

bool frmSet::eventFilter(QObject* watched, QEvent* event) {
  if (watched == txtPort && event->type() == QEvent::FocusOut) {
    const auto reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) txtPort_LostFocus();
    return QWidget::eventFilter(watched, event);
  }
  if (watched == inputTxt) {
    if (event->type() == QEvent::KeyPress) {
      auto* key = static_cast<QKeyEvent*>(event);
      const int ascii = ui::KeyAsciiOf(key);
      if (ascii == 13 || ascii == 9 || ascii == 27 || key->key() == Qt::Key_Backtab) {
        intLastKey = ascii == 13 || ascii == 27 ? ascii : 9;
        inputTxt_LostFocus();
        return true;
      }
    } else if (event->type() == QEvent::FocusOut) {
      const auto reason = static_cast<QFocusEvent*>(event)->reason();
      if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) inputTxt_LostFocus();
    }
    return QWidget::eventFilter(watched, event);
  }
  auto* grid = qobject_cast<QTableView*>(watched);
  if (grid && (grid == fgData || grid == fgMessage)) {
    if (event->type() == QEvent::KeyPress) {
      if (GridKeyPress(grid, static_cast<QKeyEvent*>(event))) return true;
    } else if (event->type() == QEvent::InputMethod) {
      // Japanese typed on the grid goes on in the editor, opened empty on the current cell.
      auto* input = static_cast<QInputMethodEvent*>(event);
      if (!input->preeditString().isEmpty() || !input->commitString().isEmpty()) {
        OpenEditor(grid, QString());
        if (editing_) {
          QApplication::sendEvent(inputTxt, event);
          return true;
        }
      }
    }
  }
  return QWidget::eventFilter(watched, event);
}
