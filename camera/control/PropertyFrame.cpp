#include "PropertyFrame.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QSpinBox>

#include <vector>

void ShowPropertyFrame(QWidget* owner, capture::PropertySheet& sheet) {
  QDialog frame(owner);
  frame.setObjectName(QStringLiteral("PropertyFrame"));
  frame.setWindowTitle(sheet.caption);
  auto* form = new QFormLayout(&frame);
  std::vector<QSpinBox*> boxes;
  for (const capture::PropertyItem& item : sheet.items) {
    auto* box = new QSpinBox(&frame);
    box->setObjectName(item.name);
    box->setRange(int(item.minimum), int(item.maximum));
    box->setSingleStep(int(item.step > 0 ? item.step : 1));
    box->setValue(int(item.value));
    form->addRow(item.name, box);
    boxes.push_back(box);
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &frame);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &frame, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &frame, &QDialog::reject);
  form->addRow(buttons);
  if (frame.exec() != QDialog::Accepted) return;
  for (std::size_t i = 0; i < boxes.size(); ++i)
    if (boxes[i]->value() != sheet.items[i].value && sheet.items[i].apply) sheet.items[i].apply(boxes[i]->value());
}
