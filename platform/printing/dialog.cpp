#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPageSize>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "printing/catalog.h"
#include "printing/printing.h"
#include "ui/keys_fonts.h"
#include "ui/msgbox.h"

namespace printing {
namespace {

const QString kTitle = QStringLiteral("プリンタの設定");

// The papers offered, by their DEVMODE codes.
constexpr int kPapers[] = {8, 9, 11, 12, 13, 1, 5};  // A3 A4 A5 B4 B5 Letter Legal

QString PaperName(int code, double widthMm, double lengthMm) {
  if (code == vbPRPSUser)
    return QStringLiteral("ユーザー定義 (%1 × %2 mm)").arg(widthMm).arg(lengthMm);
  return QPageSize(QPageSize::id(code)).name();
}

// The print-setup form: the printer (or a PDF file), its paper and the orientation, the settings
// every print job of the program honours. The other settings pass through unchanged.
class PrintSetupDialog : public QDialog {
 public:
  PrintSetupDialog(PrinterSettings& settings, QWidget* owner) : QDialog(owner), settings_(settings) {
    setWindowTitle(kTitle);
    setFont(ui::StationFont(9));
    Build();
  }

  void accept() override {
    const bool toFile = printer_->currentIndex() == printer_->count() - 1;
    const QString file = outputFile_->text().trimmed();
    if (toFile) {
      const QFileInfo info(file);
      if (file.isEmpty()) return Refuse(QStringLiteral("出力するファイル名を入力してください。"));
      if (info.isDir() || !info.absoluteDir().exists())
        return Refuse(QStringLiteral("指定されたフォルダが見つかりません。\n") + file);
      if (info.exists() &&
          ui::MsgBox(info.fileName() + QStringLiteral(" は既に存在します。\n上書きしますか?"),
                     ui::vbOKCancel + ui::vbExclamation, kTitle) != ui::vbOK)
        return;
      settings_.outputFile = info.absoluteFilePath();
    } else {
      settings_.deviceName = printer_->currentText();
      settings_.outputFile.clear();
    }
    const int code = paper_->currentData().toInt();
    settings_.paperSize = code;
    if (code != vbPRPSUser) settings_.paperWidth = settings_.paperLength = 0;
    settings_.orientation = landscape_->isChecked() ? vbPRORLandscape : vbPRORPortrait;
    QDialog::accept();
  }

 private:
  void Refuse(const QString& text) {
    ui::MsgBox(text, ui::vbExclamation, kTitle);
    outputFile_->setFocus();
  }

  void Build() {
    auto* printerBox = new QGroupBox(QStringLiteral("プリンタ"), this);
    printer_ = new QComboBox(printerBox);
    printer_->setObjectName(QStringLiteral("printer"));
    const QStringList names = Catalog().Names();
    printer_->addItems(names);
    printer_->addItem(QStringLiteral("PDFファイルへ出力"));
    const QString current = FindInstalled(settings_.deviceName);
    printer_->setCurrentIndex(!settings_.outputFile.isEmpty() ? printer_->count() - 1
                              : current.isEmpty()             ? 0
                                                              : static_cast<int>(names.indexOf(current)));
    outputFile_ = new QLineEdit(settings_.outputFile, printerBox);
    outputFile_->setObjectName(QStringLiteral("outputFile"));
    auto* browse = new QPushButton(QStringLiteral("参照..."), printerBox);
    browse->setObjectName(QStringLiteral("browse"));
    browse->setAutoDefault(false);
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(outputFile_, 1);
    fileRow->addWidget(browse);
    auto* printerForm = new QFormLayout(printerBox);
    printerForm->addRow(QStringLiteral("プリンタ名(&N):"), printer_);
    // A row holding a layout gets no buddy of its own: the label names its line edit itself.
    auto* fileLabel = new QLabel(QStringLiteral("ファイル名(&F):"), printerBox);
    fileLabel->setBuddy(outputFile_);
    printerForm->addRow(fileLabel, fileRow);

    auto* paperBox = new QGroupBox(QStringLiteral("用紙"), this);
    paper_ = new QComboBox(paperBox);
    paper_->setObjectName(QStringLiteral("paperSize"));
    for (int code : kPapers) paper_->addItem(PaperName(code, 0, 0), code);
    if (paper_->findData(settings_.paperSize) < 0 &&
        IsKnownPaper(settings_.paperSize, settings_.paperWidth, settings_.paperLength))
      paper_->addItem(PaperName(settings_.paperSize, settings_.paperWidth, settings_.paperLength),
                      settings_.paperSize);
    paper_->setCurrentIndex(std::max(0, paper_->findData(settings_.paperSize)));
    auto* paperForm = new QFormLayout(paperBox);
    paperForm->addRow(QStringLiteral("サイズ(&Z):"), paper_);

    auto* orientationBox = new QGroupBox(QStringLiteral("印刷の向き"), this);
    portrait_ = new QRadioButton(QStringLiteral("縦(&O)"), orientationBox);
    portrait_->setObjectName(QStringLiteral("portrait"));
    landscape_ = new QRadioButton(QStringLiteral("横(&A)"), orientationBox);
    landscape_->setObjectName(QStringLiteral("landscape"));
    (settings_.orientation == vbPRORLandscape ? landscape_ : portrait_)->setChecked(true);
    auto* orientationColumn = new QVBoxLayout(orientationBox);
    orientationColumn->addWidget(portrait_);
    orientationColumn->addWidget(landscape_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));

    auto* lower = new QHBoxLayout;
    lower->addWidget(paperBox, 1);
    lower->addWidget(orientationBox);
    auto* column = new QVBoxLayout(this);
    column->addWidget(printerBox);
    column->addLayout(lower);
    column->addWidget(buttons);

    auto fileChosen = [this, browse] {
      const bool toFile = printer_->currentIndex() == printer_->count() - 1;
      outputFile_->setEnabled(toFile);
      browse->setEnabled(toFile);
    };
    fileChosen();
    connect(printer_, &QComboBox::currentIndexChanged, this, fileChosen);
    connect(browse, &QPushButton::clicked, this, [this] {
      // Replacing a file is asked once, when the dialog is confirmed.
      const QString chosen = QFileDialog::getSaveFileName(
          this, QStringLiteral("名前を付けて保存"), outputFile_->text(),
          QStringLiteral("PDF (*.pdf)"), nullptr, QFileDialog::DontConfirmOverwrite);
      if (!chosen.isEmpty()) outputFile_->setText(chosen);
    });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  }

  PrinterSettings& settings_;
  QComboBox* printer_ = nullptr;
  QLineEdit* outputFile_ = nullptr;
  QComboBox* paper_ = nullptr;
  QRadioButton* portrait_ = nullptr;
  QRadioButton* landscape_ = nullptr;
};

}  // namespace

bool ExecPrintDialog(PrinterSettings& settings, QWidget* owner) {
  PrinterSettings chosen = settings;
  PrintSetupDialog dialog(chosen, owner);
  if (dialog.exec() != QDialog::Accepted) return false;
  settings = chosen;
  return true;
}

}  // namespace printing
