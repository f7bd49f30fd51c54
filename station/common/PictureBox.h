#pragma once
// The picture control of every window: shows one picture, either at its own size (the control
// takes the picture's size) or stretched to the control's size.
#include <QPixmap>
#include <QWidget>

class PictureBox : public QWidget {
  Q_OBJECT
  Q_PROPERTY(bool Stretch READ Stretch WRITE setStretch)
  Q_PROPERTY(int Width READ Width WRITE setWidth)
  Q_PROPERTY(int Height READ Height WRITE setHeight)
  Q_PROPERTY(int Left READ Left WRITE setLeft)
  Q_PROPERTY(int Top READ Top WRITE setTop)
  Q_PROPERTY(QPixmap Picture READ Picture WRITE setPicture)

 public:
  explicit PictureBox(QWidget* parent = nullptr);

  // True: the picture is drawn at the control's size. False: the control takes the picture's
  // size whenever a picture is set (and when Stretch turns False with a picture shown).
  bool Stretch() const { return m_stretch; }
  void setStretch(bool stretch);

  // Size and place in the units of the container (pixels).
  int Width() const { return width(); }
  void setWidth(int width);
  int Height() const { return height(); }
  void setHeight(int height);
  int Left() const { return x(); }
  void setLeft(int left);
  int Top() const { return y(); }
  void setTop(int top);

  // The picture shown; a null pixmap shows nothing.
  const QPixmap& Picture() const { return m_picture; }
  void setPicture(const QPixmap& picture);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  bool m_stretch = false;
  QPixmap m_picture;
};

// Loads a picture file (BMP, GIF, JPEG, PNG, recognised by content). Returns false and leaves
// `picture` untouched when the file cannot be read as a picture; `error` then tells why.
bool LoadPicture(const QString& path, QPixmap& picture, QString* error = nullptr);
