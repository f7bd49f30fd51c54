#pragma once
// The members as the administration's member table holds them while it is edited, each with its
// tick. The table window edits them; the windows that act on "the ticked members" or on one
// member's row (the print and selection window, the contact and bulk mails, the import) read them
// here, as data, never from the table's widgets. A tick belongs to its member: it travels with him
// when rows above him are inserted or deleted.
#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
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

// Member rows packed for a table of a million members: a row's seven texts are kept as UTF-8 in
// one run of bytes (0xFF, a byte UTF-8 never holds, between them) inside large shared blocks, so
// that a row costs its text and 16 bytes instead of seven strings of their own. Rows are unpacked
// when read. A row that is replaced or removed leaves its old bytes behind until they outweigh
// the rows in use; then the blocks are written anew.
class PackedMembers {
 public:
  // The seven texts of a row, in RosterMember's order.
  enum Field { Id, Name, Honorific, Kana, MailName, MailAddr, Date, kFields };

  int Count() const { return static_cast<int>(rows_.size()); }
  void Reserve(int rows) { rows_.reserve(static_cast<size_t>(rows)); }
  RosterMember At(int row) const;
  QString Text(int row, Field field) const;
  bool Ticked(int row) const { return rows_[static_cast<size_t>(row)].ticked; }

  void Append(const RosterMember& member) { Insert(Count(), member); }
  void Insert(int row, const RosterMember& member);
  void Replace(int row, const RosterMember& member);
  void SetTicked(int row, bool ticked) { rows_[static_cast<size_t>(row)].ticked = ticked; }
  void Remove(int first, int count);
  void Clear();

 private:
  struct Row {
    quint32 block = 0;
    quint32 offset = 0;
    quint32 size = 0;
    bool ticked = false;
  };
  const char* Bytes(const Row& row) const { return blocks_[row.block].get() + row.offset; }
  Row Store(const RosterMember& member);
  void Put(Row& row, const char* bytes, quint32 size);
  void Forget(const Row& row);
  void CompactIfWasteful();

  std::vector<Row> rows_;
  std::vector<std::unique_ptr<char[]>> blocks_;
  quint32 room_ = 0;          // bytes still free at the end of the last block
  quint32 lastSize_ = 0;      // size of the last block
  size_t live_ = 0;           // bytes of the rows in use
  size_t waste_ = 0;          // bytes left behind by replaced and removed rows
};

// The text `field` of a member.
QString& FieldOf(RosterMember& member, PackedMembers::Field field);
const QString& FieldOf(const RosterMember& member, PackedMembers::Field field);

class MemberRoster : public QObject {
  Q_OBJECT

 public:
  // The one roster the settings window's member table edits.
  static MemberRoster& Shared();

  // False until a load of the whole member table has succeeded (and after Clear()).
  bool Loaded() const { return loaded_; }

  int Count() const { return members_.Count(); }
  // Member row `row`, counted from 0.
  RosterMember At(int row) const { return members_.At(row); }
  // One text of member row `row`, without unpacking the others.
  QString Text(int row, PackedMembers::Field field) const { return members_.Text(row, field); }
  bool Ticked(int row) const { return members_.Ticked(row); }

  // The table loaded whole: replaces every row.
  void Reset(std::vector<RosterMember> members);
  void Reset(PackedMembers members);
  // Forgets every row; the roster counts as not loaded.
  void Clear();
  // Edits of the table.
  void Insert(int row, RosterMember member);
  void Remove(int first, int count = 1);
  void Replace(int row, RosterMember member);
  void SetTicked(int row, bool ticked);

  // Every row, in table order, unpacked.
  std::vector<RosterMember> Members() const;

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
  PackedMembers members_;
  bool loaded_ = false;
};
