#include "printing/catalog.h"

#include <cups/cups.h>

namespace printing {
namespace {

// The CUPS destinations of the user: the print server's queues with the user's own lpoptions.
class CupsCatalog : public PrinterCatalog {
 public:
  QStringList Names() const override {
    QStringList names;
    Read([&](cups_dest_t* dests, int count) {
      for (int i = 0; i < count; ++i)
        if (!dests[i].instance) names << QString::fromUtf8(dests[i].name);
    });
    return names;
  }

  QString DefaultName() const override {
    QString name;
    Read([&](cups_dest_t* dests, int count) {
      for (int i = 0; i < count; ++i)
        if (dests[i].is_default && !dests[i].instance) name = QString::fromUtf8(dests[i].name);
    });
    return name;
  }

  bool SetDefault(const QString& name) override {
    cups_dest_t* dests = nullptr;
    const int count = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
    const QByteArray wanted = name.toUtf8();
    bool found = false;
    for (int i = 0; i < count; ++i) {
      const bool match = !dests[i].instance && wanted == dests[i].name;
      found = found || match;
      dests[i].is_default = match ? 1 : 0;
    }
    // Writes the user's lpoptions; the server's own default is left alone.
    const bool written = found && cupsSetDests2(CUPS_HTTP_DEFAULT, count, dests) == 0;
    cupsFreeDests(count, dests);
    return written;
  }

 private:
  template <typename F>
  static void Read(F&& use) {
    cups_dest_t* dests = nullptr;
    const int count = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
    use(dests, count);
    cupsFreeDests(count, dests);
  }
};

std::unique_ptr<PrinterCatalog>& Current() {
  static std::unique_ptr<PrinterCatalog> catalog = std::make_unique<CupsCatalog>();
  return catalog;
}

}  // namespace

PrinterCatalog& Catalog() { return *Current(); }

void SetCatalog(std::unique_ptr<PrinterCatalog> catalog) {
  Current() = catalog ? std::move(catalog) : std::make_unique<CupsCatalog>();
}

QString FindInstalled(const QString& name) {
  for (const QString& installed : Catalog().Names())
    if (installed.compare(name, Qt::CaseInsensitive) == 0) return installed;
  return QString();
}

}  // namespace printing
