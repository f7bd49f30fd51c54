#include "admin/frmSearch.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <cmath>

#include "admin/frmSet.h"
#include "codepage/narrow.h"
#include "common/FormInstance.h"
#include "common/MemberRoster.h"
#include "ui/keys_fonts.h"
#include "ui/msgbox.h"

namespace {
FormInstance<frmSearch> gForm;

const QString kInputTitle = QStringLiteral("入力の確認");
}  // namespace

frmSearch& frmSearch::instance() { return gForm.Get([] { return new frmSearch(); }); }

bool frmSearch::IsLoaded() { return gForm.IsLoaded(); }

void frmSearch::Unload() {
  gForm.DismissDialog();
}

frmSearch::frmSearch()
    : QDialog(frmSet::IsLoaded() ? &frmSet::instance() : nullptr,
              Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint) {
  setObjectName(QStringLiteral("frmSearch"));
  setWindowTitle(QStringLiteral("登録データ検索"));
  setFont(ui::StationFont(9));
  setModal(true);

  auto makeField = [this](const char* name) {
    auto* field = new QLineEdit(this);
    field->setObjectName(QLatin1String(name));
    field->setMinimumWidth(220);
    return field;
  };
  txtID = makeField("txtID");
  txtName = makeField("txtName");
  txtNo = makeField("txtNo");
  cmdSerach = new QPushButton(QStringLiteral("検索"), this);
  cmdSerach->setObjectName(QStringLiteral("cmdSerach"));
  cmdSerach->setAutoDefault(false);
  cmdCancel = new QPushButton(QStringLiteral("キャンセル"), this);
  cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
  cmdCancel->setAutoDefault(false);
  connect(cmdSerach, &QPushButton::clicked, this, &frmSearch::cmdSerach_Click);
  connect(cmdCancel, &QPushButton::clicked, this, &frmSearch::cmdCancel_Click);

  auto* fields = new QFormLayout;
  fields->addRow(QStringLiteral("ID番号："), txtID);
  fields->addRow(QStringLiteral("名前："), txtName);
  fields->addRow(QStringLiteral("行番号："), txtNo);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(cmdSerach);
  buttons->addWidget(cmdCancel);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(fields);
  layout->addLayout(buttons);
  setTabOrder(txtID, txtName);
  setTabOrder(txtName, txtNo);
  setTabOrder(txtNo, cmdSerach);
  setTabOrder(cmdSerach, cmdCancel);
  setFixedSize(sizeHint());
}

void frmSearch::cmdCancel_Click() { Unload(); }

void frmSearch::reject() { Unload(); }

int frmSearch::fgDataSearch(const QString& id, const QString& name) {
  const MemberRoster& roster = MemberRoster::Shared();
  if (!id.isEmpty()) {
    for (int i = 0; i < roster.Count(); ++i)
      if (roster.Text(i, PackedMembers::Id) == id) return i + 1;
    return 0;
  }
  if (!name.isEmpty()) {
    for (int i = 0; i < roster.Count(); ++i)
      if (roster.Text(i, PackedMembers::Name).contains(name)) return i + 1;
  }
  return 0;
}

void frmSearch::cmdSerach_Click() {
  txtID->setText(cp::ToHalfWidth(txtID->text()));
  txtNo->setText(cp::ToHalfWidth(txtNo->text()));
  const QString no = txtNo->text().trimmed();
  if (txtID->text().isEmpty() && txtName->text().isEmpty() && txtNo->text().isEmpty()) {
    ui::MsgBox(QStringLiteral("条件を指定してください"), ui::vbInformation, kInputTitle);
    return;
  }
  long long row = 0;
  if (!txtNo->text().isEmpty()) {
    bool numeric = false;
    const double value = no.toDouble(&numeric);
    if (!numeric || !std::isfinite(value)) {
      ui::MsgBox(QStringLiteral("行番号は数字で指定してください"), ui::vbInformation, kInputTitle);
      return;
    }
    row = std::llround(value);
    if (row <= 0) {
      ui::MsgBox(QStringLiteral("行番号は1以上で指定してください"), ui::vbInformation, kInputTitle);
      return;
    }
    if (row > MemberRoster::Shared().Count()) {
      ui::MsgBox(QStringLiteral("指定された行番号のデータはありません"), ui::vbInformation, kInputTitle);
      return;
    }
  }
  if (ui::MsgBox(QStringLiteral("検索を開始します"), ui::vbOKCancel | ui::vbInformation,
                 QStringLiteral("処理の確認")) != ui::vbOK)
    return;
  if (row == 0) {
    row = fgDataSearch(txtID->text(), txtName->text());
    if (row <= 0) {
      ui::MsgBox(QStringLiteral("指定されたデータは見つかりません"), ui::vbInformation, kInputTitle);
      return;
    }
  }
  if (frmSet::IsLoaded()) frmSet::instance().frmSet_ShowMemberRow(static_cast<int>(row));
  Unload();
}
