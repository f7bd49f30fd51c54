#pragma once
// The printer object: a page description in the units of a scale mode, with a current position,
// fonts, text lines and pictures, sent as print jobs to a CUPS printer or written as PDF files.
// Every job (from the first output to EndDoc) is one document: on a printer one job, in files
// one PDF file.
#include <QBuffer>
#include <QFont>
#include <QImage>
#include <QPixmap>
#include <QRectF>
#include <QString>
#include <QStringList>

#include <memory>

class QPagedPaintDevice;
class QPainter;
class QWidget;

namespace printing {

// Scale modes (the units of positions and sizes).
enum ScaleMode { vbTwips = 1, vbPoints = 2, vbPixels = 3, vbInches = 5, vbMillimeters = 6, vbCentimeters = 7 };
// Paper sizes are the DEVMODE paper codes (9 is A4); 256 is a size of the user's own.
constexpr int vbPRPSA4 = 9;
constexpr int vbPRPSUser = 256;
enum Orientation { vbPRORPortrait = 1, vbPRORLandscape = 2 };
enum ColorMode { vbPRCMMonochrome = 1, vbPRCMColor = 2 };
enum Duplex { vbPRDPSimplex = 1, vbPRDPVertical = 2, vbPRDPHorizontal = 3 };

// What the printer dialog shows and changes.
struct PrinterSettings {
  QString deviceName;   // an installed printer; empty: the default printer
  QString outputFile;   // not empty: the jobs are written as PDF files (see Printer::JobFile)
  int paperSize = vbPRPSA4;
  double paperWidth = 0;   // millimetres, for paper size 256
  double paperLength = 0;  // millimetres, for paper size 256
  int orientation = vbPRORPortrait;
  int paperBin = 7;        // DEVMODE bin code; 7 automatic
  int printQuality = 0;    // dots per inch; 0 the printer's own
  int colorMode = vbPRCMColor;
  int duplex = vbPRDPSimplex;
  int zoom = 100;          // percent
};

// True when `code` names a paper the printer object knows (256 needs a positive width and length).
bool IsKnownPaper(int code, double widthMm = 0, double lengthMm = 0);

// The font families that print a font name of the station's texts: "ＭＳ ゴシック" prints in
// IPAGothic, "ＭＳ Ｐゴシック" in IPAPGothic; other names print as they are.
QStringList FontFamilies(const QString& name);

class Printer {
 public:
  Printer();
  ~Printer();  // a job still open is ended, as if EndDoc were called
  Printer(const Printer&) = delete;
  Printer& operator=(const Printer&) = delete;

  // The printer and its paper. Changes reach the next job; a job already started keeps its own.
  QString DeviceName() const;  // the chosen printer, else the catalog's default printer
  void SetDeviceName(const QString& name) { settings_.deviceName = name; }
  const PrinterSettings& Settings() const { return settings_; }
  // Takes every setting but the paper, which goes through SetPaperSize, and begins a new print
  // run: the jobs are numbered from 1 again (see SetOutputFile).
  void SetSettings(const PrinterSettings& settings);
  // False (and nothing changed) for a paper the printer does not know.
  bool SetPaperSize(int code, double widthMm = 0, double lengthMm = 0);
  int PaperSize() const { return settings_.paperSize; }
  void SetOrientation(int orientation) { settings_.orientation = orientation; }
  int Orientation() const { return settings_.orientation; }
  // PDF files instead of the printer: job 1 is written to `path` (replacing a file there), job n
  // to `path` with "-n" before its extension. The empty text prints on the printer again.
  void SetOutputFile(const QString& path);

  // Scale and position.
  int ScaleMode() const { return scaleMode_; }
  void SetScaleMode(int mode);
  double CurrentX = 0;
  double CurrentY = 0;

  // The font of the texts printed next.
  QString FontName = QStringLiteral("ＭＳ ゴシック");
  double FontSize = 10;
  bool FontBold = false;
  QFont Font() const;
  // The height of a line (one em of the current font size, whatever the font) and the width of
  // `text` in the current font, in scale units.
  double TextHeight() const;
  double TextWidth(const QString& text) const;

  // Prints `text` with its top at the current position; each CR LF (or LF) ends a line. After
  // the text the line ends: CurrentY moves down one line, CurrentX back to 0. An empty text
  // leaves an empty line.
  bool Print(const QString& text = QString());
  // Paints a picture into the box (x, y, width, height), in scale units.
  bool PaintPicture(const QPixmap& picture, double x, double y, double width, double height);
  // The painter of the open job (starting it when none is open), drawing in device pixels;
  // nullptr when the job cannot start. DeviceRect maps a box in scale units to device pixels.
  QPainter* Painter();
  QRectF DeviceRect(double x, double y, double width, double height) const;

  // The title of the jobs started from now on: the job's name in the printer queue and the PDF
  // file's title (a PDF queue names its files after it). Set it before the job's first output.
  void SetDocName(const QString& title) { docName_ = title; }
  const QString& DocName() const { return docName_; }

  // Ends the job: it goes to the printer or into its PDF file. Nothing happens when nothing was
  // printed since the last EndDoc. False when the job could not be completed.
  bool EndDoc();

  // The files of the jobs written since the output file was set, in job order.
  const QStringList& JobFiles() const { return jobFiles_; }
  // The name of the file job `job` (from 1) goes into.
  QString JobFile(int job) const;

  // Why the last operation that returned false failed.
  QString LastError() const { return error_; }

 private:
  bool StartJob();
  double UnitsPerInch() const;
  double ToDevice(double units) const;

  PrinterSettings settings_;
  int scaleMode_ = vbTwips;
  QString docName_;
  // The open job's device: a printer's job, or the PDF writer of a file job, which writes into
  // `pdf_`; EndDoc writes that into `pdfFile_` whole (the PDF engine does not tell a failed write).
  QBuffer pdf_;
  QString pdfFile_;
  std::unique_ptr<QPagedPaintDevice> job_;
  std::unique_ptr<QPainter> painter_;
  double jobDpi_ = 0;
  int jobsWritten_ = 0;
  QStringList jobFiles_;
  QString error_;
};

// The program's one printer object.
Printer& ThePrinter();
// Gives the program a fresh printer object (the default printer, nothing set); tests use it.
void ResetThePrinter();

// Shows the print-setup dialog over `settings` (owned by `owner`): the printer (an installed one,
// or a PDF file, whose replacement the user confirms), the paper and the orientation, the settings
// the jobs honour; the others stay as they are. Writes the user's choices back; true when he
// confirmed.
bool ExecPrintDialog(PrinterSettings& settings, QWidget* owner);

}  // namespace printing
