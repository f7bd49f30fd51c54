#include "history/HistGridModel.h"

#include <QColor>

namespace {
const char* const kHeaders[HistGridModel::kColumns] = {"",     "ID",   "利用者名",   "敬称", "受付",
                                                       "日付", "時間", "ファイル名", "画像"};

const QString& Cell(const HistoryListRow& r, int col) {
  static const QString empty;
  switch (col) {
    case HistGridModel::kId: return r.id;
    case HistGridModel::kName: return r.name;
    case HistGridModel::kHonorific: return r.honorific;
    case HistGridModel::kIoName: return r.ioName;
    case HistGridModel::kDate: return r.inDate;
    case HistGridModel::kTime: return r.inTime;
    case HistGridModel::kImgFile: return r.imgFile;
    default: return empty;
  }
}
}  // namespace

HistGridModel::HistGridModel(QObject* parent) : QAbstractTableModel(parent) {}

void HistGridModel::SetRows(std::vector<HistoryListRow> rows) {
  beginResetModel();
  rows_ = std::move(rows);
  endResetModel();
}

QString HistGridModel::Text(int row, int col) const {
  if (col < 0 || col >= kColumns || row < 0 || row > Count()) return {};
  if (row == 0) return QString::fromUtf8(kHeaders[col]);
  return Cell(rows_[static_cast<size_t>(row - 1)], col);
}

bool HistGridModel::HasPhoto(int row) const {
  return row >= 0 && row < Count() && !rows_[static_cast<size_t>(row)].imgFile.isEmpty();
}

int HistGridModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : Count(); }

int HistGridModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumns; }

QVariant HistGridModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= Count()) return {};
  if (role == Qt::DisplayRole) return Cell(rows_[static_cast<size_t>(index.row())], index.column());
  if (role == Qt::BackgroundRole && index.column() == kBlank) return QVariant::fromValue(QColor(Qt::lightGray));
  return {};
}

QVariant HistGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < kColumns)
    return QString::fromUtf8(kHeaders[section]);
  return QAbstractTableModel::headerData(section, orientation, role);
}
