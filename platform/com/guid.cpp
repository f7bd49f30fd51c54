#include "com/guid.h"

namespace com {

Guid Guid::FromString(const QString& text, bool* ok) {
  const QByteArray latin = text.trimmed().toLatin1();
  return Parse(std::string_view(latin.constData(), static_cast<std::size_t>(latin.size())), ok);
}

QString Guid::ToString() const {
  return QString::asprintf("{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", data1, data2, data3,
                           data4[0], data4[1], data4[2], data4[3], data4[4], data4[5], data4[6],
                           data4[7]);
}

}  // namespace com
