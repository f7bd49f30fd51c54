#pragma once
// The administrator's settings window: the member table and the greeting message table (one on
// screen at a time, switched by cmdData), edited in place through one floating editor, the member
// search, and OK and Cancel, which close it and bring back a new login window, whose start-up
// reloads everything.
//
// The member table's rows and ticks live in MemberRoster::Shared(): other windows read the
// members from there. Row numbers of these procedures count the data rows from 1, as the
// administrator sees them; the roster counts from 0.
#include <QString>
#include <QWidget>

class QLineEdit;
class QPushButton;
class QTableView;
class EditableTable;
class MemberTableModel;
class MessageTableModel;

class frmSet : public QWidget {
  Q_OBJECT

 public:
  static frmSet& instance();
  static bool IsLoaded();
  static void Unload();

  QTableView* fgData = nullptr;
  QTableView* fgMessage = nullptr;
  QLineEdit* inputTxt = nullptr;
  QPushButton* cmdData = nullptr;
  QPushButton* cmdSearch = nullptr;
  QPushButton* cmdPrint = nullptr;
  QPushButton* cmdHist = nullptr;
  QPushButton* cmdOK = nullptr;
  QPushButton* cmdCancel = nullptr;

  MemberTableModel& MemberModel() const { return *dataModel_; }
  MessageTableModel& MessageModel() const { return *messageModel_; }
  // True while the message table is on screen (the caption of cmdData says which).
  bool MessagesOnScreen() const;

  void frmSet_cmdOK_Click();
  void frmSet_cmdCancel_Click();
  // Saves the table on screen and shows the other one, loaded fresh. The import window calls it
  // before and after an import.
  void frmSet_cmdData_Click();
  void frmSet_cmdSearch_Click();
  // The card sheets (after the member table is saved) and the history filter.
  void frmSet_cmdPrint_Click();
  void frmSet_cmdHist_Click();
  // True when the member table holds a member; otherwise says "対象データがありません。".
  bool HasMemberRows() const;
  // A row's send button (row from 1).
  void frmSet_cmdSend_Click(int row);

  // Loads the member table (a failure is reported, and the table then refuses to be saved).
  void default_fgData();
  void frmSet_LoadMessages();

  // The save of each table in two steps, so that a caller can check everything before it writes
  // anything: the row checks (tidying the rows they pass), then the writes, which run inside the
  // caller's transaction. Each returns "" or the text to show under "登録内容の確認".
  QString frmSet_CheckMembers();
  QString frmSet_WriteMembers();
  QString frmSet_CheckMessages();
  QString frmSet_WriteMessages();
  // Both steps, the writes in a transaction of their own: the table is written whole or not at
  // all.
  QString frmSet_SaveMembers();
  QString frmSet_SaveMessages();

  // Scrolls the member table so that `row` (from 1) is its first visible row.
  void frmSet_ShowMemberRow(int row);

  // The editing of the grid on screen (rows and columns of the model, from 0).
  void fgGrid_DblClick(QTableView* grid);
  void inputTxt_LostFocus();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  frmSet();
  void BuildWidgets();
  void BackToLogin();
  QTableView* GridOnScreen() const;
  EditableTable* ModelOf(QTableView* grid) const;
  void ShowTable(bool members);
  void OpenEditor(QTableView* grid, const QString& text);
  void PlaceEditor();
  bool GridKeyPress(QTableView* grid, QKeyEvent* key);
  void GridDelete(QTableView* grid);
  QString SaveTable(bool members);

  MemberTableModel* dataModel_ = nullptr;
  MessageTableModel* messageModel_ = nullptr;

  // The cell being edited and its text before.
  QTableView* editGrid_ = nullptr;
  bool editing_ = false;
  QString strOldText;
  int lngEditRow = 0;
  int lngEditCol = 0;
  int intLastKey = 0;
};
