#include "common/frmNow.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>

#include "common/FormInstance.h"
#include "common/mdlVelmor.h"

namespace {
FormInstance<frmNow> gForm;
}  // namespace

frmNow& frmNow::instance() { return gForm.Get([] { return new frmNow(); }); }

bool frmNow::IsLoaded() { return gForm.IsLoaded(); }

void frmNow::Unload() { gForm.CloseAndDelete(); }

frmNow::frmNow() : QWidget(nullptr, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint) {
  setObjectName(QStringLiteral("frmNow"));
  setWindowTitle(QStringLiteral("処理中．．．"));
  const QSize client(TwipsToPixelsX(3360), TwipsToPixelsY(735));
  setFixedSize(client);

  lblNow = new QLabel(QStringLiteral("メール送信中．．．"), this);
  lblNow->setObjectName(QStringLiteral("lblNow"));
  lblNow->setGeometry(TwipsToPixelsX(240), 0, client.width() - TwipsToPixelsX(480),
                      client.height());
  lblNow->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect frame(QPoint(0, 0), client);
    frame.moveCenter(screen->geometry().center());
    move(frame.topLeft());
  }
  Form_Load();
}

void frmNow::Form_Load() {
  // Painted at once, so the label shows before the caller's work starts.
  repaint();
}

void frmNow::closeEvent(QCloseEvent* event) {
  QWidget::closeEvent(event);
  if (event->isAccepted() && gForm.Release(this)) deleteLater();
}
