#pragma once
// A push button in every cell of one grid column, drawn by the grid's delegate rather than made of
// one widget per row, so that grids of tens of thousands of rows scroll smoothly. The button of a
// row is pressed with the mouse, or with the space key while its cell is the current one.
#include <QFont>
#include <QPersistentModelIndex>
#include <QSize>
#include <QStyledItemDelegate>

#include <functional>

class RowButtonDelegate : public QStyledItemDelegate {
  Q_OBJECT

 public:
  // Buttons of `size` pixels with `caption` in `font`, centred in their cells; `enabled` says
  // whether the button of a model row can be pressed.
  RowButtonDelegate(const QString& caption, QSize size, const QFont& font,
                    std::function<bool(int row)> enabled, QObject* parent = nullptr);

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

  // Where the button of a cell lies.
  QRect ButtonRect(const QRect& cell) const;

 signals:
  // The button of model row `row` was pressed and released.
  void clicked(int row);

 private:
  QString caption_;
  QSize size_;
  QFont font_;
  std::function<bool(int)> enabled_;
  QPersistentModelIndex pressed_;
};
