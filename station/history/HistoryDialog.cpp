#include "history/HistoryDialog.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>

HistoryDialog::HistoryDialog(const QString& objectName, QSize client) : QDialog(nullptr) {
  setObjectName(objectName);
  setFixedSize(client);
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect frame(QPoint(0, 0), client);
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
  }
}

void HistoryDialog::ShowModal() {
  if (unloaded_) return;
  setWindowModality(Qt::ApplicationModal);
  exec();
}

void HistoryDialog::Dismiss() {
  unloaded_ = true;
  done(QDialog::Rejected);
  hide();
  deleteLater();
}

void HistoryDialog::closeEvent(QCloseEvent* event) {
  if (!unloaded_) {
    event->ignore();
    CloseRequested();
    return;
  }
  QDialog::closeEvent(event);
}

void HistoryDialog::reject() {
  if (!unloaded_) CloseRequested();
}
