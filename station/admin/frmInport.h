#pragma once
// The member import: members added to tblData from a CSV or TAB-separated file. "確認" reads the
// file into the preview, refusing the lines that would break the member table; "実行" inserts
// the previewed lines in one transaction between the settings window's table switches.
#include <QStringList>
#include <QWidget>

#include <array>
#include <vector>

#include "common/TableRecords.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTableWidget;

class frmInport : public QWidget {
  Q_OBJECT

 public:
  static frmInport& instance();
  static bool IsLoaded();
  static void Unload();

  QLineEdit* txtFile = nullptr;
  QPushButton* cmdFile = nullptr;
  std::array<QRadioButton*, 2> optFile{};
  std::array<QRadioButton*, 2> optLine{};
  std::array<QLabel*, 5> lblCol{};
  std::array<QLineEdit*, 5> txtColNo{};
  QPushButton* cmdOK = nullptr;
  QPushButton* cmdCancel = nullptr;
  QTableWidget* fgInport = nullptr;

  void cmdFile_Click();
  void cmdOK_Click();
  void cmdCancel_Click();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  frmInport();
  // A line of the file: its number and its values (one per field, null when not named), and
  // why it is refused ("" when it is imported).
  struct Line {
    int number = 0;
    std::array<QString, 5> values;
    QString refused;
  };
  bool CheckStage();
  void ImportStage();
  // Reads the file into lines_; false after its message.
  bool ReadLines();
  void Refuse(const QSet<QString>& stored);
  void SetInputs(bool enabled);
  QString Report(int inserted) const;

  std::array<int, 5> column_{};  // 0 when not named
  std::vector<Line> lines_;
  bool finished_ = false;
};
