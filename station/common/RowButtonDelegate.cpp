#include "common/RowButtonDelegate.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionButton>

RowButtonDelegate::RowButtonDelegate(const QString& caption, QSize size, const QFont& font,
                                     std::function<bool(int row)> enabled, QObject* parent)
    : QStyledItemDelegate(parent), caption_(caption), size_(size), font_(font), enabled_(std::move(enabled)) {}

QRect RowButtonDelegate::ButtonRect(const QRect& cell) const {
  QRect button(QPoint(0, 0), size_.boundedTo(cell.size()));
  button.moveCenter(cell.center());
  return button;
}

void RowButtonDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
  QStyledItemDelegate::paint(painter, option, index);
  QStyleOptionButton button;
  button.rect = ButtonRect(option.rect);
  button.text = caption_;
  const bool enabled = enabled_ && enabled_(index.row());
  button.state = enabled ? QStyle::State_Enabled : QStyle::State_None;
  button.palette = option.palette;
  button.palette.setCurrentColorGroup(enabled ? QPalette::Active : QPalette::Disabled);
  if (enabled && pressed_.isValid() && pressed_ == index) button.state |= QStyle::State_Sunken;
  else button.state |= QStyle::State_Raised;
  if (option.state & QStyle::State_HasFocus && enabled) button.state |= QStyle::State_HasFocus;
  const QWidget* widget = option.widget;
  QStyle* style = widget ? widget->style() : QApplication::style();
  painter->save();
  painter->setFont(font_);
  button.fontMetrics = QFontMetrics(font_);
  style->drawControl(QStyle::CE_PushButton, &button, painter, widget);
  painter->restore();
}

bool RowButtonDelegate::editorEvent(QEvent* event, QAbstractItemModel* model,
                                    const QStyleOptionViewItem& option, const QModelIndex& index) {
  const bool enabled = enabled_ && enabled_(index.row());
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
      const auto* mouse = static_cast<QMouseEvent*>(event);
      if (mouse->button() != Qt::LeftButton || !ButtonRect(option.rect).contains(mouse->position().toPoint()))
        return false;
      if (enabled) pressed_ = index;
      return true;
    }
    case QEvent::MouseButtonRelease: {
      const auto* mouse = static_cast<QMouseEvent*>(event);
      const bool wasPressed = pressed_.isValid() && pressed_ == index;
      pressed_ = QPersistentModelIndex();
      if (wasPressed && enabled && ButtonRect(option.rect).contains(mouse->position().toPoint())) {
        emit clicked(index.row());
        return true;
      }
      return wasPressed;
    }
    case QEvent::KeyPress: {
      const auto* key = static_cast<QKeyEvent*>(event);
      if (key->key() != Qt::Key_Space || key->modifiers() != Qt::NoModifier) return false;
      if (enabled) emit clicked(index.row());
      return true;
    }
    default:
      return QStyledItemDelegate::editorEvent(event, model, option, index);
  }
}
