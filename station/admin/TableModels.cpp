#include "admin/TableModels.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>

#include <algorithm>

namespace {

static_assert(MemberTableModel::ColDate - MemberTableModel::ColId == PackedMembers::Date);

constexpr Qt::Alignment kCellAlignment = Qt::AlignLeft | Qt::AlignVCenter;

QString* MemberField(RosterMember& m, int col) {
  if (col < MemberTableModel::ColId || col > MemberTableModel::ColDate) return nullptr;
  return &FieldOf(m, static_cast<PackedMembers::Field>(col - MemberTableModel::ColId));
}

}  // namespace

// ---- members ---------------------------------------------------------------------------------

MemberTableModel::MemberTableModel(MemberRoster& roster, QObject* parent)
    : EditableTable(parent), roster_(roster) {
  // The roster has changed when it tells: the rows are announced to the views afterwards.
  connect(&roster_, &MemberRoster::Reloaded, this, [this] {
    beginResetModel();
    endResetModel();
  });
  connect(&roster_, &MemberRoster::Inserted, this, [this](int row, int count) {
    beginInsertRows({}, row, row + count - 1);
    endInsertRows();
  });
  connect(&roster_, &MemberRoster::Removed, this, [this](int first, int count) {
    beginRemoveRows({}, first, first + count - 1);
    endRemoveRows();
  });
  connect(&roster_, &MemberRoster::RowChanged, this,
          [this](int row) { emit dataChanged(index(row, 0), index(row, kColumns - 1)); });
}

QString MemberTableModel::Text(int row, int col) const {
  if (row < 0 || row >= roster_.Count() || col < ColId || col > ColDate) return QString();
  // The grid's text columns are the roster's fields in the same order.
  return roster_.Text(row, static_cast<PackedMembers::Field>(col - ColId));
}

void MemberTableModel::SetText(int row, int col, const QString& text) {
  if (row < 0 || row >= roster_.Count()) return;
  RosterMember m = roster_.At(row);
  QString* field = MemberField(m, col);
  if (!field || *field == text) return;
  *field = text;
  roster_.Replace(row, std::move(m));
}

void MemberTableModel::AppendRow() { roster_.Insert(roster_.Count(), RosterMember{}); }

void MemberTableModel::RemoveRows(int first, int last) {
  last = std::min(last, roster_.Count() - 1);
  if (first < 0 || last < first) return;
  roster_.Remove(first, last - first + 1);
}

void MemberTableModel::ClearRange(int top, int left, int bottom, int right) {
  bottom = std::min(bottom, roster_.Count() - 1);
  for (int row = std::max(top, 0); row <= bottom; ++row) {
    RosterMember m = roster_.At(row);
    bool changed = false;
    for (int col = std::max(left, 0); col <= std::min(right, int(ColDate)); ++col) {
      QString* field = MemberField(m, col);
      if (field && !field->isEmpty()) {
        field->clear();
        changed = true;
      }
    }
    if (changed) roster_.Replace(row, std::move(m));
  }
}

int MemberTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : roster_.Count() + 1;
}

int MemberTableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumns; }

QVariant MemberTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  const int row = index.row();
  const bool member = row < roster_.Count();
  switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
      if (index.column() == ColSend) return member ? QStringLiteral("送信") : QVariant();
      return Text(row, index.column());
    case Qt::CheckStateRole:
      if (index.column() == ColPick && member) return roster_.Ticked(row) ? Qt::Checked : Qt::Unchecked;
      return {};
    case Qt::TextAlignmentRole:
      return QVariant::fromValue(kCellAlignment);
    default:
      return {};
  }
}

bool MemberTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!index.isValid() || index.row() >= roster_.Count()) return false;
  if (role == Qt::CheckStateRole && index.column() == ColPick) {
    roster_.SetTicked(index.row(), value.value<Qt::CheckState>() == Qt::Checked);
    return true;
  }
  if (role == Qt::EditRole) {
    SetText(index.row(), index.column(), value.toString());
    return true;
  }
  return false;
}

QVariant MemberTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Vertical) return QString();
  static const char16_t* const headers[kColumns] = {u"ID", u"利用者名", u"敬称", u"かな", u"メール送信者名",
                                                    u"メールアドレス", u"登録日", u"送信", u"選択"};
  return section >= 0 && section < kColumns ? QString::fromUtf16(headers[section]) : QVariant();
}

Qt::ItemFlags MemberTableModel::flags(const QModelIndex& index) const {
  Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  if (index.column() == ColPick && index.row() < roster_.Count()) f |= Qt::ItemIsUserCheckable;
  return f;
}

// ---- messages --------------------------------------------------------------------------------

MessageTableModel::MessageTableModel(QObject* parent) : EditableTable(parent) {}

void MessageTableModel::Reset(std::vector<GreetingRow> rows) {
  beginResetModel();
  rows_ = std::move(rows);
  lastEntry_ = false;
  loaded_ = true;
  endResetModel();
}

void MessageTableModel::Clear() {
  beginResetModel();
  rows_.clear();
  lastEntry_ = false;
  loaded_ = false;
  endResetModel();
}

bool MessageTableModel::Entry(int row) const {
  if (row >= 0 && row < DataRows()) return rows_[static_cast<size_t>(row)].entry;
  return row == DataRows() && lastEntry_;
}

void MessageTableModel::SetEntry(int row, bool entry) {
  if (row >= 0 && row < DataRows()) rows_[static_cast<size_t>(row)].entry = entry;
  else if (row == DataRows()) lastEntry_ = entry;
  else return;
  emit dataChanged(index(row, ColEntry), index(row, ColEntry));
}

QString MessageTableModel::Text(int row, int col) const {
  if (col != ColMessage || row < 0 || row >= DataRows()) return QString();
  return rows_[static_cast<size_t>(row)].message;
}

void MessageTableModel::SetText(int row, int col, const QString& text) {
  if (col != ColMessage || row < 0 || row >= DataRows()) return;
  rows_[static_cast<size_t>(row)].message = text;
  emit dataChanged(index(row, ColMessage), index(row, ColMessage));
}

void MessageTableModel::AppendRow() {
  // The empty row becomes a greeting with the tick it had; the new empty row has none.
  const int row = DataRows() + 1;
  beginInsertRows({}, row, row);
  rows_.push_back({QString(), lastEntry_});
  lastEntry_ = false;
  endInsertRows();
  emit dataChanged(index(row - 1, 0), index(row, kColumns - 1));
}

void MessageTableModel::RemoveRows(int first, int last) {
  last = std::min(last, DataRows() - 1);
  if (first < 0 || last < first) return;
  beginRemoveRows({}, first, last);
  rows_.erase(rows_.begin() + first, rows_.begin() + last + 1);
  endRemoveRows();
}

void MessageTableModel::ClearRange(int top, int left, int bottom, int right) {
  bottom = std::min(bottom, DataRows());
  for (int row = std::max(top, 0); row <= bottom; ++row) {
    if (left <= ColMessage && right >= ColMessage) SetText(row, ColMessage, QString());
    if (left <= ColEntry && right >= ColEntry) SetEntry(row, false);
  }
}

int MessageTableModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : DataRows() + 1; }

int MessageTableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumns; }

QVariant MessageTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
      return Text(index.row(), index.column());
    case Qt::CheckStateRole:
      if (index.column() == ColEntry) return Entry(index.row()) ? Qt::Checked : Qt::Unchecked;
      return {};
    case Qt::TextAlignmentRole:
      return QVariant::fromValue(kCellAlignment);
    default:
      return {};
  }
}

bool MessageTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!index.isValid()) return false;
  if (role == Qt::CheckStateRole && index.column() == ColEntry) {
    SetEntry(index.row(), value.value<Qt::CheckState>() == Qt::Checked);
    return true;
  }
  if (role == Qt::EditRole && index.column() == ColMessage && index.row() < DataRows()) {
    SetText(index.row(), ColMessage, value.toString());
    return true;
  }
  return false;
}

QVariant MessageTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Vertical) return QString();
  if (section == ColMessage) return QStringLiteral("出力メッセージ");
  if (section == ColEntry) return QStringLiteral("来場時");
  return {};
}

Qt::ItemFlags MessageTableModel::flags(const QModelIndex& index) const {
  Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  if (index.column() == ColEntry) f |= Qt::ItemIsUserCheckable;
  return f;
}

// ---- per-row controls ------------------------------------------------------------------------

RowControlDelegate::RowControlDelegate(Kind kind, QObject* parent) : QStyledItemDelegate(parent), kind_(kind) {}

QRect RowControlDelegate::ControlRect(const QStyleOptionViewItem& option) const {
  const QRect cell = option.rect;
  if (kind_ == Kind::Check) {
    const QStyle* style = option.widget ? option.widget->style() : QApplication::style();
    const int w = style->pixelMetric(QStyle::PM_IndicatorWidth, &option, option.widget);
    const int h = style->pixelMetric(QStyle::PM_IndicatorHeight, &option, option.widget);
    return QRect(cell.center().x() - w / 2, cell.center().y() - h / 2, w, h);
  }
  return cell.adjusted(3, 1, -3, -1);
}

void RowControlDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
  QStyleOptionViewItem cell = option;
  initStyleOption(&cell, index);
  const QStyle* style = option.widget ? option.widget->style() : QApplication::style();
  // The cell's background and selection, without its text or check mark.
  cell.text.clear();
  cell.features &= ~QStyleOptionViewItem::HasCheckIndicator;
  style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, option.widget);
  if (kind_ == Kind::Button) {
    const QString caption = index.data(Qt::DisplayRole).toString();
    if (caption.isEmpty()) return;
    QStyleOptionButton button;
    button.rect = ControlRect(option);
    button.text = caption;
    button.state = QStyle::State_Enabled | QStyle::State_Raised;
    if (pressed_ == index) button.state |= QStyle::State_Sunken;
    button.fontMetrics = option.fontMetrics;
    style->drawControl(QStyle::CE_PushButton, &button, painter, option.widget);
  } else {
    const QVariant state = index.data(Qt::CheckStateRole);
    if (!state.isValid()) return;
    QStyleOptionButton box;
    box.rect = ControlRect(option);
    box.state = QStyle::State_Enabled |
                (state.value<Qt::CheckState>() == Qt::Checked ? QStyle::State_On : QStyle::State_Off);
    style->drawPrimitive(QStyle::PE_IndicatorCheckBox, &box, painter, option.widget);
  }
}

bool RowControlDelegate::editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                                     const QModelIndex& index) {
  if (event->type() != QEvent::MouseButtonPress && event->type() != QEvent::MouseButtonRelease &&
      event->type() != QEvent::MouseButtonDblClick)
    return false;
  auto* mouse = static_cast<QMouseEvent*>(event);
  if (mouse->button() != Qt::LeftButton) return false;
  const bool hit = ControlRect(option).contains(mouse->position().toPoint());
  if (kind_ == Kind::Button) {
    if (index.data(Qt::DisplayRole).toString().isEmpty()) return false;
    if (event->type() == QEvent::MouseButtonPress && hit) {
      pressed_ = index;
      return true;
    }
    if (event->type() == QEvent::MouseButtonRelease && pressed_.isValid()) {
      const bool same = pressed_ == index && hit;
      pressed_ = QModelIndex();
      if (same) emit Clicked(index.row());
      return true;
    }
    return hit;  // a double-click on the button is no edit
  }
  if (!index.data(Qt::CheckStateRole).isValid() || !hit) return false;
  if (event->type() == QEvent::MouseButtonRelease) {
    const bool on = index.data(Qt::CheckStateRole).value<Qt::CheckState>() == Qt::Checked;
    model->setData(index, on ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
  }
  return true;
}
