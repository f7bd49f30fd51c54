#pragma once
// The installed printers and the user's default printer. The program asks one catalog, normally
// the CUPS client library's destinations; tests put a list of their own in its place.
#include <QString>
#include <QStringList>

#include <memory>

namespace printing {

class PrinterCatalog {
 public:
  virtual ~PrinterCatalog() = default;
  // The names of the installed printers, in the order the system lists them.
  virtual QStringList Names() const = 0;
  // The user's default printer; the empty text when there is none.
  virtual QString DefaultName() const = 0;
  // Makes the installed printer `name` (its exact name) the user's default. False when it is not
  // installed or the default could not be written.
  virtual bool SetDefault(const QString& name) = 0;
};

// The catalog the program uses: the CUPS destinations unless another one was put in its place.
PrinterCatalog& Catalog();
// Puts `catalog` in place of the one used; an empty pointer gives back the CUPS catalog.
void SetCatalog(std::unique_ptr<PrinterCatalog> catalog);

// The installed printer whose name equals `name` when letter case is ignored (the first in the
// catalog's order); the empty text when none does.
QString FindInstalled(const QString& name);

}  // namespace printing
