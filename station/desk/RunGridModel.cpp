#include "desk/RunGridModel.h"

#include "common/StationRecords.h"
#include "common/mdlStation.h"

namespace {
const char* const kHeaders[RunGridModel::kColumns] = {"", "日付", "時間", "受付", "ID", "利用者名"};
}  // namespace

RunGridModel::RunGridModel(QObject* parent) : QAbstractTableModel(parent) {}

void RunGridModel::AddEvent(const QString& stamp, bool entry, const QString& id, const QString& name) {
  const int row = rowCount();
  beginInsertRows({}, row, row);
  events_.push_back({stamp, entry, id, name});
  endInsertRows();
}

int RunGridModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(events_.size()) + 1;
}

int RunGridModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumns; }

QString RunGridModel::Text(int row, int col) const {
  if (col < 0 || col >= kColumns || row < 0 || row >= rowCount()) return {};
  if (row == 0) return QString::fromUtf8(kHeaders[col]);
  const Event& e = events_[static_cast<size_t>(row - 1)];
  switch (col) {
    case 1: return StampText(e.stamp).left(10);
    case 2: return StampText(e.stamp).mid(11);
    case 3: return IoName(e.entry);
    case 4: return e.id;
    case 5: return e.name;
    default: return {};
  }
}

QVariant RunGridModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  if (role == Qt::DisplayRole) return Text(index.row(), index.column());
  if (role == Qt::BackgroundRole && (index.row() == 0 || index.column() == 0) && shade_.isValid())
    return shade_;
  return {};
}
