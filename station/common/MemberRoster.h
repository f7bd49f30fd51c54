#pragma once
// The members as the administration's member table holds them while it is edited, each with its
// tick. The table window edits them; the windows that act on "the ticked members" or on one
// member's row (the print and selection window, the contact and bulk mails, the import) read them
// here, as data, never from the table's widgets. A tick belongs to its member: it travels with him
// when rows above him are inserted or deleted.
#include <QObject>
#include <QString>
#include <QStringList>

#include <vector>

// One member row of the table, in the table's column order (the hidden sender name included).
struct RosterMember {
  QString id;        // ID
  QString name;      // UserName
  QString honorific; // UserAdd
  QString kana;      // NameKana
  QString mailName;  // MailName (not shown)
  QString mailAddr;  // MailAddr, addresses separated by ";"
  QString date;      // Date, "yyyy/mm/dd"
  bool ticked = false;
};

class MemberRoster : public QObject {
  Q_OBJECT

 public:
  // The one roster the settings window's member table edits.
  static MemberRoster& Shared();

  // False until a load of the whole member table has succeeded (and after Clear()).
  bool Loaded() const { return loaded_; }

  int Count() const { return static_cast<int>(members_.size()); }
  // Member row `row`, counted from 0.
  const RosterMember& At(int row) const { return members_.at(static_cast<size_t>(row)); }

  // The table loaded whole: replaces every row.
  void Reset(std::vector<RosterMember> members);
  // Forgets every row; the roster counts as not loaded.
  void Clear();
  // Edits of the table.
  void Insert(int row, RosterMember member);
  void Remove(int first, int count = 1);
  void Replace(int row, RosterMember member);
  void SetTicked(int row, bool ticked);

  // Every row, in table order.
  const std::vector<RosterMember>& Members() const { return members_; }

  // IDs of the ticked members, in table order.
  QStringList TickedIds() const;
  // Rows (from 0) of the ticked members, in table order.
  std::vector<int> TickedRows() const;

 signals:
  // Any change of rows or ticks.
  void Changed();
  // What changed, for views that follow the rows (emitted before Changed): every row replaced,
  // `count` rows put in at `row`, `count` rows taken out from `first`, one row's fields or tick.
  void Reloaded();
  void Inserted(int row, int count);
  void Removed(int first, int count);
  void RowChanged(int row);

 private:
  std::vector<RosterMember> members_;
  bool loaded_ = false;
};
