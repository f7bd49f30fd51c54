#pragma once
// The modal property frame of the control: one spin box per property of the sheet, captioned with
// the sheet's caption; OK applies the values the user changed.
#include <QWidget>

#include "engine/property_pages.h"

void ShowPropertyFrame(QWidget* owner, capture::PropertySheet& sheet);
