#include "support/support_pdf.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>

namespace testsupport {
namespace {

QByteArray Run(const QString& program, const QStringList& arguments) {
  QProcess process;
  process.start(program, arguments);
  if (!process.waitForFinished(60000)) return {};
  return process.readAllStandardOutput();
}

constexpr double kMmPerPoint = 25.4 / 72;

}  // namespace

QString PdfText(const QString& pdf) {
  return QString::fromUtf8(Run(QStringLiteral("pdftotext"), {"-layout", pdf, "-"}));
}

namespace {
// A line "Name:   value" of pdfinfo's answer.
QString PdfInfo(const QString& pdf, const QString& name) {
  const QString info = QString::fromUtf8(Run(QStringLiteral("pdfinfo"), {pdf}));
  const auto match = QRegularExpression(QStringLiteral("^%1:\\s+(.*)$").arg(name),
                                        QRegularExpression::MultilineOption)
                         .match(info);
  return match.hasMatch() ? match.captured(1).trimmed() : QString();
}
}  // namespace

QString PdfTitle(const QString& pdf) { return PdfInfo(pdf, QStringLiteral("Title")); }

int PdfPages(const QString& pdf) { return PdfInfo(pdf, QStringLiteral("Pages")).toInt(); }

QSizeF PdfPageSize(const QString& pdf, int page) {
  const QString info = QString::fromUtf8(
      Run(QStringLiteral("pdfinfo"), {"-f", QString::number(page), "-l", QString::number(page), pdf}));
  const auto match = QRegularExpression(QStringLiteral("^Page\\s+%1 size:\\s+([\\d.]+) x ([\\d.]+) pts").arg(page),
                                        QRegularExpression::MultilineOption)
                         .match(info);
  if (!match.hasMatch()) return {};
  return QSizeF(match.captured(1).toDouble() * kMmPerPoint, match.captured(2).toDouble() * kMmPerPoint);
}

std::vector<PdfWord> PdfWords(const QString& pdf) {
  std::vector<PdfWord> words;
  QXmlStreamReader xml(Run(QStringLiteral("pdftotext"), {"-bbox", pdf, "-"}));
  int page = 0;
  while (!xml.atEnd()) {
    if (xml.readNext() != QXmlStreamReader::StartElement) continue;
    if (xml.name() == QLatin1String("page")) ++page;
    if (xml.name() != QLatin1String("word")) continue;
    PdfWord word;
    word.page = page;
    const auto a = xml.attributes();
    word.xMin = a.value("xMin").toDouble() * kMmPerPoint;
    word.yMin = a.value("yMin").toDouble() * kMmPerPoint;
    word.xMax = a.value("xMax").toDouble() * kMmPerPoint;
    word.yMax = a.value("yMax").toDouble() * kMmPerPoint;
    word.text = xml.readElementText();
    words.push_back(word);
  }
  return words;
}

QImage RenderPdfPage(const QString& pdf, int page, int dpi) {
  QTemporaryDir dir;
  const QString base = dir.filePath(QStringLiteral("page"));
  Run(QStringLiteral("pdftoppm"), {"-r", QString::number(dpi), "-f", QString::number(page), "-l",
                                   QString::number(page), "-png", "-singlefile", pdf, base});
  return QImage(base + QStringLiteral(".png"));
}

QStringList ScanBarcodes(const QImage& picture) {
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("scan.png"));
  picture.save(file);
  const QString out = QString::fromUtf8(Run(
      QStringLiteral("zbarimg"), {"--raw", "-q", "-Sdisable", "-Scode128.enable", file}));
  return out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

}  // namespace testsupport
