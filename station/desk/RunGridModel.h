#pragma once
// The minimized station's list of the run's events: a header row, then one row per event with the
// date, the time, the kind, the ID and the member's name, behind a narrow blank first column.
// Each event is held as the little the row shows, so thousands of scans cost little memory.
#include <QAbstractTableModel>
#include <QColor>
#include <QString>

#include <vector>

class RunGridModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit RunGridModel(QObject* parent = nullptr);

  // Headers of the six columns ("" for the narrow first one).
  static constexpr int kColumns = 6;

  // Appends an event: its stamp yyyymmddhhmmss, entry or exit, the ID and the member's name.
  void AddEvent(const QString& stamp, bool entry, const QString& id, const QString& name);

  // The text of a cell, row 0 being the header row.
  QString Text(int row, int col) const;

  // The shade of the header row and the first column.
  void SetFixedShade(const QColor& shade) { shade_ = shade; }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;

 private:
  struct Event {
    QString stamp;
    bool entry = false;
    QString id;
    QString name;
  };
  std::vector<Event> events_;
  QColor shade_;
};
