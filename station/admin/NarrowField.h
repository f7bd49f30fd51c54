#pragma once
// Full-width characters typed into an ID, an address, a server name or a number become half-width
// before the field is tested, and the field shows what was tested.
#include <QLineEdit>
#include <QString>

#include "codepage/narrow.h"

// The field's text made half-width, written back into the field when it changed.
inline QString NarrowField(QLineEdit* field) {
  const QString text = cp::ToHalfWidth(field->text());
  if (text != field->text()) field->setText(text);
  return text;
}
