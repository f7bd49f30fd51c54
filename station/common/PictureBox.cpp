#include "common/PictureBox.h"

#include <QImageReader>
#include <QPainter>

#include <algorithm>

PictureBox::PictureBox(QWidget* parent) : QWidget(parent) {}

void PictureBox::setStretch(bool stretch) {
  m_stretch = stretch;
  if (!m_stretch && !m_picture.isNull()) resize(m_picture.deviceIndependentSize().toSize());
  update();
}

void PictureBox::setWidth(int width) { resize(std::max(width, 0), height()); }
void PictureBox::setHeight(int height) { resize(width(), std::max(height, 0)); }
void PictureBox::setLeft(int left) { move(left, y()); }
void PictureBox::setTop(int top) { move(x(), top); }

void PictureBox::setPicture(const QPixmap& picture) {
  m_picture = picture;
  if (!m_stretch && !m_picture.isNull()) resize(m_picture.deviceIndependentSize().toSize());
  update();
}

void PictureBox::paintEvent(QPaintEvent*) {
  if (m_picture.isNull()) return;
  QPainter painter(this);
  painter.setRenderHint(QPainter::SmoothPixmapTransform, m_stretch);
  if (m_stretch)
    painter.drawPixmap(rect(), m_picture);
  else
    painter.drawPixmap(0, 0, m_picture);
}

bool LoadPicture(const QString& path, QPixmap& picture, QString* error) {
  QImageReader reader(path);
  reader.setDecideFormatFromContent(true);
  const QImage image = reader.read();
  if (image.isNull()) {
    if (error) *error = reader.errorString();
    return false;
  }
  picture = QPixmap::fromImage(image);
  return true;
}
