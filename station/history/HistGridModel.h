#pragma once
// The rows of the history window's grid: a narrow blank first column, then ID, name, honorific
// (hidden), reception word, date, time, photo file name (hidden) and the photo button's column.
// The header texts are the grid's header row.
#include <QAbstractTableModel>

#include <vector>

#include "common/HistoryRecords.h"

class HistGridModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Column { kBlank, kId, kName, kHonorific, kIoName, kDate, kTime, kImgFile, kImage, kColumns };

  explicit HistGridModel(QObject* parent = nullptr);

  // Replaces every row (an empty list leaves the header alone).
  void SetRows(std::vector<HistoryListRow> rows);
  const std::vector<HistoryListRow>& Rows() const { return rows_; }
  int Count() const { return static_cast<int>(rows_.size()); }

  // The text of cell (row, col) counted as on the grid: row 0 is the header row, data rows
  // start at 1; the empty text outside the grid.
  QString Text(int row, int col) const;
  // True when data row `row` (from 0) names a photo.
  bool HasPhoto(int row) const;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  std::vector<HistoryListRow> rows_;
};
