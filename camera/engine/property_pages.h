#pragma once
// Property pages of the live graph's parts (capture filter, crossbar, DV decoder, pins), shown by
// the host in its modal property dialog. The engine describes each page as a list of numeric
// properties that apply themselves; the dialog only shows and edits them.
#include <QString>

#include <functional>
#include <vector>

#include "engine/hresult.h"

namespace capture {

struct PropertyItem {
  QString name;
  long minimum = 0, maximum = 0, step = 1, value = 0;
  std::function<HRESULT(long)> apply;  // called with the edited value when the user confirms
};

struct PropertySheet {
  QString caption;
  std::vector<PropertyItem> items;
};

class IPropertyFrame {
 public:
  virtual ~IPropertyFrame() = default;
  // Shows the sheet modally and returns when the user closed it (values applied by then).
  virtual void Show(PropertySheet& sheet) = 0;
};

}  // namespace capture
