#include "admin/frmSet.h"

#include <QLabel>
#include <QPushButton>

#include "common/FormInstance.h"
#include "common/Navigation.h"

namespace {
FormInstance<frmSet> gForm;
}

frmSet& frmSet::instance() { return gForm.Get([] { return new frmSet(); }); }

bool frmSet::IsLoaded() { return gForm.IsLoaded(); }

void frmSet::Unload() {
  frmSet* window = gForm.Take();
  if (!window) return;
  window->hide();
  window->deleteLater();
}

frmSet::frmSet() : QWidget(nullptr) {
  setObjectName(QStringLiteral("frmSet"));
  setWindowTitle(QStringLiteral("設定"));
  setFixedSize(480, 200);
  auto* note = new QLabel(QStringLiteral("管理画面"), this);
  note->setGeometry(16, 16, 440, 100);
  note->setAlignment(Qt::AlignCenter);
  cmdOK = new QPushButton(QStringLiteral("OK"), this);
  cmdOK->setObjectName(QStringLiteral("cmdOK"));
  cmdOK->setGeometry(264, 150, 96, 28);
  cmdCancel = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
  cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
  cmdCancel->setGeometry(368, 150, 96, 28);
  connect(cmdOK, &QPushButton::clicked, this, &frmSet::frmSet_cmdOK_Click);
  connect(cmdCancel, &QPushButton::clicked, this, &frmSet::frmSet_cmdCancel_Click);
}

void frmSet::BackToLogin() {
  Unload();
  nav::Open(nav::Window::Login);
}

void frmSet::frmSet_cmdOK_Click() { BackToLogin(); }

void frmSet::frmSet_cmdCancel_Click() { BackToLogin(); }
