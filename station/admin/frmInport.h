#pragma once
// The member import: members added to tblData from a CSV or TAB-separated file. "確認" reads the
// file into the preview, refusing the lines that would break the member table; "実行" reads it
// again and inserts the lines taken in one transaction between the settings window's table
// switches. Neither keeps the file's values in memory: the preview reads the lines it shows.
#include <QSet>
#include <QStringList>
#include <QWidget>

#include <array>
#include <functional>
#include <vector>

#include "common/TableRecords.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTableView;

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
  QTableView* fgInport = nullptr;

  void cmdFile_Click();
  void cmdOK_Click();
  void cmdCancel_Click();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  frmInport();
  // A data line of the file: its number, its values (one per field, null when not named), and
  // why it is refused ("" when it is imported).
  struct Line {
    int number = 0;
    std::array<QString, 5> values;
    QString refused;
  };
  // Which lines are refused and why, as the file is read.
  struct Judging {
    QSet<quint64> stored;  // the members' IDs (IdKey)
    QSet<quint64> seen;    // the IDs of the lines taken so far
    int taken = 0;
    int refused = 0;
    QStringList reported;  // the first refused lines, with their reasons
  };
  bool CheckStage();
  void ImportStage();
  // Reads the file line by line, judges each line and hands every line taken to `take` (with
  // the byte offset where it starts). False when the file cannot be read or a line lacks a named
  // column (its number in `failedLine`), or when `take` returns false.
  bool ReadFile(Judging& judging, const std::function<bool(const Line&, qint64)>& take,
                int* failedLine);
  // Splits `text` into `line`'s values; false when a named column lies beyond the line.
  bool TakeValues(const QString& text, Line& line) const;
  void Judge(Line& line, Judging& judging) const;
  bool LoadStoredIds(Judging& judging) const;
  void SetInputs(bool enabled);
  QString Report(const Judging& judging) const;

  std::array<int, 5> column_{};  // 0 when not named
  bool csv_ = true;
  bool header_ = false;
  bool utf8_ = false;  // the file's encoding, as ReadFile found it
  QString path_;
  bool finished_ = false;
};
