#include "printing/printing.h"

#include <QFileInfo>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>

#include <utility>

#include "files/files.h"
#include "printing/catalog.h"
#include "printing/qprinter_settings.h"

namespace printing {
namespace {

// Font metrics are taken at a fixed resolution, so that line heights do not depend on the job.
constexpr double kMetricsDpi = 1200;

const QPaintDevice* MetricsDevice() {
  static const QImage device = [] {
    QImage image(1, 1, QImage::Format_Mono);
    const int dotsPerMeter = qRound(kMetricsDpi / 0.0254);
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    return image;
  }();
  return &device;
}

QPageSize PageSizeOf(int code, double widthMm, double lengthMm) {
  if (code == vbPRPSUser)
    return QPageSize(QSizeF(widthMm, lengthMm), QPageSize::Millimeter, QString(),
                     QPageSize::ExactMatch);
  return QPageSize(QPageSize::id(code));
}

// DEVMODE bin codes and Qt's paper sources.
QPrinter::PaperSource SourceOf(int bin) {
  if (bin >= 1 && bin <= 11) return static_cast<QPrinter::PaperSource>(bin - 1);
  if (bin == 14) return QPrinter::Cassette;
  if (bin == 15) return QPrinter::FormSource;
  return QPrinter::Auto;
}

}  // namespace

void ApplyToQPrinter(const PrinterSettings& s, QPrinter& printer) {
  const QPageSize size = PageSizeOf(s.paperSize, s.paperWidth, s.paperLength);
  printer.setPageSize(size.isValid() ? size : QPageSize(QPageSize::A4));
  printer.setPageOrientation(s.orientation == vbPRORLandscape ? QPageLayout::Landscape
                                                              : QPageLayout::Portrait);
  printer.setColorMode(s.colorMode == vbPRCMMonochrome ? QPrinter::GrayScale : QPrinter::Color);
  printer.setDuplex(s.duplex == vbPRDPVertical     ? QPrinter::DuplexLongSide
                    : s.duplex == vbPRDPHorizontal ? QPrinter::DuplexShortSide
                                                   : QPrinter::DuplexNone);
  printer.setPaperSource(SourceOf(s.paperBin));
  if (s.printQuality > 0) printer.setResolution(s.printQuality);
}

bool IsKnownPaper(int code, double widthMm, double lengthMm) {
  if (code == vbPRPSUser) return widthMm > 0 && lengthMm > 0;
  return code > 0 && QPageSize::id(code) != QPageSize::Custom;
}

QStringList FontFamilies(const QString& name) {
  if (name == QStringLiteral("ＭＳ ゴシック") || name == QStringLiteral("MS Gothic"))
    return {QStringLiteral("IPAGothic"), QStringLiteral("Noto Sans Mono CJK JP")};
  if (name == QStringLiteral("ＭＳ Ｐゴシック") || name == QStringLiteral("MS PGothic"))
    return {QStringLiteral("IPAPGothic"), QStringLiteral("Noto Sans CJK JP")};
  return {name};
}

Printer::Printer() = default;

Printer::~Printer() { EndDoc(); }

QString Printer::DeviceName() const {
  if (!settings_.deviceName.isEmpty()) return settings_.deviceName;
  const QString byDefault = Catalog().DefaultName();
  if (!byDefault.isEmpty()) return byDefault;
  const QStringList names = Catalog().Names();
  return names.isEmpty() ? QString() : names.first();
}

void Printer::SetSettings(const PrinterSettings& settings) {
  const PrinterSettings kept = settings_;
  settings_ = settings;
  settings_.paperSize = kept.paperSize;
  settings_.paperWidth = kept.paperWidth;
  settings_.paperLength = kept.paperLength;
  // New settings begin a new print run: its first job goes to the output file itself again.
  SetOutputFile(settings.outputFile);
}

bool Printer::SetPaperSize(int code, double widthMm, double lengthMm) {
  if (!IsKnownPaper(code, widthMm, lengthMm)) {
    error_ = QStringLiteral("unknown paper size %1").arg(code);
    return false;
  }
  settings_.paperSize = code;
  settings_.paperWidth = code == vbPRPSUser ? widthMm : 0;
  settings_.paperLength = code == vbPRPSUser ? lengthMm : 0;
  return true;
}

void Printer::SetOutputFile(const QString& path) {
  settings_.outputFile = path;
  jobsWritten_ = 0;
  jobFiles_.clear();
}

QString Printer::JobFile(int job) const {
  if (job <= 1) return settings_.outputFile;
  const QFileInfo info(settings_.outputFile);
  const QString suffix = info.suffix();
  const QString base = info.path() + QLatin1Char('/') + info.completeBaseName();
  return base + QStringLiteral("-%1").arg(job) + (suffix.isEmpty() ? QString() : "." + suffix);
}

void Printer::SetScaleMode(int mode) {
  switch (mode) {
    case vbTwips: case vbPoints: case vbPixels: case vbInches: case vbMillimeters: case vbCentimeters:
      scaleMode_ = mode;
      break;
    default: break;  // other modes are not used; the current one stays
  }
}

double Printer::UnitsPerInch() const {
  switch (scaleMode_) {
    case vbPoints: return 72;
    case vbPixels: return jobDpi_ > 0 ? jobDpi_ : kMetricsDpi;
    case vbInches: return 1;
    case vbMillimeters: return 25.4;
    case vbCentimeters: return 2.54;
    default: return 1440;
  }
}

double Printer::ToDevice(double units) const { return units * jobDpi_ / UnitsPerInch(); }

QRectF Printer::DeviceRect(double x, double y, double width, double height) const {
  return QRectF(ToDevice(x), ToDevice(y), ToDevice(width), ToDevice(height));
}

QFont Printer::Font() const {
  QFont font;
  font.setFamilies(FontFamilies(FontName));
  font.setPointSizeF(FontSize > 0 ? FontSize : 1);
  font.setBold(FontBold);
  return font;
}

double Printer::TextHeight() const {
  // One em: the height of the station's gothic (ascent and descent, no leading). The gothic
  // printed in its place is taller, and sixty body lines would then run off a printer's page.
  return (FontSize > 0 ? FontSize : 1) / 72 * UnitsPerInch();
}

double Printer::TextWidth(const QString& text) const {
  return QFontMetricsF(Font(), MetricsDevice()).horizontalAdvance(text) / kMetricsDpi *
         UnitsPerInch();
}

bool Printer::StartJob() {
  if (painter_) return true;
  std::unique_ptr<QPagedPaintDevice> device;
  QString target;
  if (!settings_.outputFile.isEmpty()) {
    // A file holds the whole page: positions count from the paper's top left corner. The PDF is
    // made in memory and written out whole by EndDoc.
    target = JobFile(jobsWritten_ + 1);
    if (!QFileInfo(QFileInfo(target).absolutePath()).isDir()) {
      error_ = QStringLiteral("cannot write \"%1\"").arg(target);
      return false;
    }
    pdf_.close();
    pdf_.setData(QByteArray());
    pdf_.open(QIODevice::WriteOnly);
    auto writer = std::make_unique<QPdfWriter>(&pdf_);
    writer->setCreator(QStringLiteral("Velmor"));
    writer->setTitle(docName_);
    writer->setResolution(settings_.printQuality > 0 ? settings_.printQuality : 1200);
    const QPageSize size = PageSizeOf(settings_.paperSize, settings_.paperWidth, settings_.paperLength);
    writer->setPageLayout(QPageLayout(size.isValid() ? size : QPageSize(QPageSize::A4),
                                      settings_.orientation == vbPRORLandscape ? QPageLayout::Landscape
                                                                               : QPageLayout::Portrait,
                                      QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter));
    jobDpi_ = writer->resolution();
    device = std::move(writer);
  } else {
    auto job = std::make_unique<QPrinter>(QPrinter::HighResolution);
    job->setCreator(QStringLiteral("Velmor"));
    job->setDocName(docName_);
    ApplyToQPrinter(settings_, *job);
    const QString name = DeviceName();
    if (name.isEmpty() || FindInstalled(name).isEmpty()) {
      error_ = QStringLiteral("no printer named \"%1\" is installed").arg(name);
      return false;
    }
    job->setOutputFormat(QPrinter::NativeFormat);
    job->setPrinterName(name);
    if (job->outputFormat() != QPrinter::NativeFormat || job->printerName() != name) {
      error_ = QStringLiteral("the printer \"%1\" cannot be reached").arg(name);
      return false;
    }
    job->setFullPage(false);  // positions count from the printable area's corner
    jobDpi_ = job->resolution();
    device = std::move(job);
  }
  auto painter = std::make_unique<QPainter>();
  if (!painter->begin(device.get())) {
    error_ = target.isEmpty() ? QStringLiteral("the printer \"%1\" refused the job").arg(DeviceName())
                              : QStringLiteral("cannot write \"%1\"").arg(target);
    return false;
  }
  if (settings_.zoom > 0 && settings_.zoom != 100)
    painter->scale(settings_.zoom / 100.0, settings_.zoom / 100.0);
  painter->setRenderHint(QPainter::Antialiasing, false);
  job_ = std::move(device);
  pdfFile_ = target;
  painter_ = std::move(painter);
  return true;
}

bool Printer::Print(const QString& text) {
  if (!StartJob()) return false;
  const QFont font = Font();
  painter_->setFont(font);
  painter_->setPen(Qt::black);
  QString all = text;
  all.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  const QStringList lines = all.split(QLatin1Char('\n'));
  const double lineHeight = TextHeight();
  // The font's ascent and descent, shrunk together to fill the line and no more.
  const QFontMetricsF metrics(font, job_.get());
  const double baseline = ToDevice(lineHeight) * metrics.ascent() / (metrics.ascent() + metrics.descent());
  for (const QString& line : lines) {
    if (!line.isEmpty())
      painter_->drawText(QPointF(ToDevice(CurrentX), ToDevice(CurrentY) + baseline), line);
    CurrentX = 0;
    CurrentY += lineHeight;
  }
  return true;
}

bool Printer::PaintPicture(const QPixmap& picture, double x, double y, double width, double height) {
  if (picture.isNull()) {
    error_ = QStringLiteral("no picture to paint");
    return false;
  }
  if (!StartJob()) return false;
  painter_->setRenderHint(QPainter::SmoothPixmapTransform, true);
  painter_->drawPixmap(DeviceRect(x, y, width, height), picture, QRectF(picture.rect()));
  return true;
}

QPainter* Printer::Painter() { return StartJob() ? painter_.get() : nullptr; }

bool Printer::EndDoc() {
  if (!painter_) return true;
  bool ended = painter_->end();
  const QString file = std::exchange(pdfFile_, QString());
  painter_.reset();
  job_.reset();  // a PDF writer ends its document here
  QString why;
  if (!file.isEmpty()) {
    pdf_.close();
    ended = ended && files::WriteWhole(file, pdf_.data(), &why);
    pdf_.setData(QByteArray());
  }
  if (!ended) {
    error_ = file.isEmpty() ? QStringLiteral("the print job could not be sent")
                            : QStringLiteral("cannot write \"%1\"").arg(file) +
                                  (why.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(why));
    return false;
  }
  if (!file.isEmpty()) {
    ++jobsWritten_;
    jobFiles_ << file;
  }
  return true;
}

Printer& ThePrinter() {
  static Printer* printer = new Printer;  // lives for the run
  return *printer;
}

void ResetThePrinter() {
  Printer& printer = ThePrinter();
  printer.EndDoc();
  printer.SetSettings(PrinterSettings{});
  printer.SetPaperSize(vbPRPSA4);
  printer.SetOutputFile(QString());
  printer.SetScaleMode(vbTwips);
  printer.SetDocName(QString());
  printer.CurrentX = printer.CurrentY = 0;
  printer.FontName = QStringLiteral("ＭＳ ゴシック");
  printer.FontSize = 10;
  printer.FontBold = false;
}

}  // namespace printing
