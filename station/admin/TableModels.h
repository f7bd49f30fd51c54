#pragma once
// The Qt models behind the settings window's two grids, and the delegate that draws a row's send
// button and tick. The member grid is a view over MemberRoster::Shared(): its rows, fields and
// ticks live there, and the grid follows every change of the roster. Both grids end with one
// empty row in which the next record is typed; it belongs to no member and no greeting.
#include <QAbstractTableModel>
#include <QStyledItemDelegate>

#include <vector>

#include "common/MemberRoster.h"
#include "common/TableRecords.h"

// The grid's common editing surface: cell texts by (row, column) counted from 0, the empty last
// row included.
class EditableTable : public QAbstractTableModel {
  Q_OBJECT

 public:
  using QAbstractTableModel::QAbstractTableModel;

  virtual QString Text(int row, int col) const = 0;
  // Writes a data row's cell (the last row has none: AppendRow() first).
  virtual void SetText(int row, int col, const QString& text) = 0;
  // Turns the empty last row into a data row; a new empty row follows it.
  virtual void AppendRow() = 0;
  // Takes out data rows first to last (the empty last row is never taken).
  virtual void RemoveRows(int first, int last) = 0;
  // Empties the cells of the rectangle; what "empty" means for a column of ticks or buttons is
  // the model's.
  virtual void ClearRange(int top, int left, int bottom, int right) = 0;
  // The number of data rows (rows without the empty last one).
  virtual int DataRows() const = 0;
  // False while the table is not loaded whole: then it can be neither edited nor saved.
  virtual bool IsLoaded() const = 0;

  int LastRow() const { return DataRows(); }
};

class MemberTableModel : public EditableTable {
  Q_OBJECT

 public:
  enum Column { ColId, ColName, ColHonorific, ColKana, ColMailName, ColMailAddr, ColDate, ColSend, ColPick, kColumns };

  explicit MemberTableModel(MemberRoster& roster, QObject* parent = nullptr);
  MemberRoster& Roster() const { return roster_; }

  QString Text(int row, int col) const override;
  void SetText(int row, int col, const QString& text) override;
  void AppendRow() override;
  void RemoveRows(int first, int last) override;
  // Send buttons and ticks stay as they are.
  void ClearRange(int top, int left, int bottom, int right) override;
  int DataRows() const override { return roster_.Count(); }
  bool IsLoaded() const override { return roster_.Loaded(); }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 private:
  MemberRoster& roster_;
};

class MessageTableModel : public EditableTable {
  Q_OBJECT

 public:
  enum Column { ColMessage, ColEntry, kColumns };

  explicit MessageTableModel(QObject* parent = nullptr);

  // The table loaded whole, or (Clear) not loaded.
  void Reset(std::vector<GreetingRow> rows);
  void Clear();
  const std::vector<GreetingRow>& Rows() const { return rows_; }
  // The entry tick of a row, the empty last row's included.
  bool Entry(int row) const;
  void SetEntry(int row, bool entry);

  QString Text(int row, int col) const override;
  void SetText(int row, int col, const QString& text) override;
  void AppendRow() override;
  void RemoveRows(int first, int last) override;
  // A cleared entry cell unticks its row.
  void ClearRange(int top, int left, int bottom, int right) override;
  int DataRows() const override { return static_cast<int>(rows_.size()); }
  bool IsLoaded() const override { return loaded_; }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 private:
  std::vector<GreetingRow> rows_;
  bool lastEntry_ = false;  // the tick of the empty last row
  bool loaded_ = false;
};

// Draws a row's control centred in its cell: a push button (captioned with the cell's text) or a
// check box (the cell's check state), and answers a click on it. Cells without a value draw
// nothing.
class RowControlDelegate : public QStyledItemDelegate {
  Q_OBJECT

 public:
  enum class Kind { Button, Check };
  RowControlDelegate(Kind kind, QObject* parent = nullptr);

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

 signals:
  // A row's button was clicked.
  void Clicked(int row);

 private:
  QRect ControlRect(const QStyleOptionViewItem& option) const;
  Kind kind_;
  QModelIndex pressed_;
};
