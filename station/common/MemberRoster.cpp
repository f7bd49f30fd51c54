#include "common/MemberRoster.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr quint32 kBlock = 1u << 20;  // bytes of a shared block; a longer row gets a block of its own
constexpr char kBetween = '\xFF';

template <typename Member>
auto& AnyFieldOf(Member& m, PackedMembers::Field field) {
  switch (field) {
    case PackedMembers::Id: return m.id;
    case PackedMembers::Name: return m.name;
    case PackedMembers::Honorific: return m.honorific;
    case PackedMembers::Kana: return m.kana;
    case PackedMembers::MailName: return m.mailName;
    case PackedMembers::MailAddr: return m.mailAddr;
    default: return m.date;
  }
}

}  // namespace

QString& FieldOf(RosterMember& member, PackedMembers::Field field) { return AnyFieldOf(member, field); }
const QString& FieldOf(const RosterMember& member, PackedMembers::Field field) { return AnyFieldOf(member, field); }

// ---- packed rows -----------------------------------------------------------------------------

void PackedMembers::Put(Row& row, const char* bytes, quint32 size) {
  if (size > room_) {
    const quint32 blockSize = std::max(kBlock, size);
    blocks_.emplace_back(new char[blockSize]);
    room_ = lastSize_ = blockSize;
  }
  row.block = static_cast<quint32>(blocks_.size() - 1);
  row.offset = lastSize_ - room_;
  row.size = size;
  std::memcpy(blocks_.back().get() + row.offset, bytes, size);
  room_ -= size;
  live_ += size;
}

PackedMembers::Row PackedMembers::Store(const RosterMember& member) {
  QByteArray bytes;
  for (int f = 0; f < kFields; ++f) {
    if (f) bytes += kBetween;
    bytes += FieldOf(member, Field(f)).toUtf8();
  }
  Row row;
  row.ticked = member.ticked;
  Put(row, bytes.constData(), static_cast<quint32>(bytes.size()));
  return row;
}

void PackedMembers::Forget(const Row& row) {
  live_ -= row.size;
  waste_ += row.size;
}

void PackedMembers::CompactIfWasteful() {
  if (waste_ < 8 * size_t(kBlock) || waste_ < live_) return;
  std::vector<std::unique_ptr<char[]>> old;
  old.swap(blocks_);
  room_ = lastSize_ = 0;
  live_ = waste_ = 0;
  for (Row& row : rows_) Put(row, old[row.block].get() + row.offset, row.size);
}

RosterMember PackedMembers::At(int row) const {
  RosterMember m;
  const Row& r = rows_.at(static_cast<size_t>(row));
  const char* p = Bytes(r);
  const char* const end = p + r.size;
  for (int f = 0; f < kFields; ++f) {
    const char* stop = static_cast<const char*>(std::memchr(p, kBetween, static_cast<size_t>(end - p)));
    if (!stop) stop = end;
    FieldOf(m, Field(f)) = QString::fromUtf8(p, stop - p);
    p = stop == end ? end : stop + 1;
  }
  m.ticked = r.ticked;
  return m;
}

QString PackedMembers::Text(int row, Field field) const {
  const Row& r = rows_.at(static_cast<size_t>(row));
  const char* p = Bytes(r);
  const char* const end = p + r.size;
  for (int f = 0; f < field && p < end; ++f) {
    const char* stop = static_cast<const char*>(std::memchr(p, kBetween, static_cast<size_t>(end - p)));
    p = stop ? stop + 1 : end;
  }
  const char* stop = static_cast<const char*>(std::memchr(p, kBetween, static_cast<size_t>(end - p)));
  return QString::fromUtf8(p, (stop ? stop : end) - p);
}

void PackedMembers::Insert(int row, const RosterMember& member) {
  const Row r = Store(member);
  rows_.insert(rows_.begin() + row, r);
}

void PackedMembers::Replace(int row, const RosterMember& member) {
  Forget(rows_[static_cast<size_t>(row)]);
  rows_[static_cast<size_t>(row)] = Store(member);
  CompactIfWasteful();
}

void PackedMembers::Remove(int first, int count) {
  for (int i = first; i < first + count; ++i) Forget(rows_[static_cast<size_t>(i)]);
  rows_.erase(rows_.begin() + first, rows_.begin() + first + count);
  CompactIfWasteful();
}

void PackedMembers::Clear() {
  rows_ = {};
  blocks_.clear();
  blocks_.shrink_to_fit();
  room_ = lastSize_ = 0;
  live_ = waste_ = 0;
}

// ---- the roster ------------------------------------------------------------------------------

MemberRoster& MemberRoster::Shared() {
  static MemberRoster roster;
  return roster;
}

void MemberRoster::Reset(std::vector<RosterMember> members) {
  PackedMembers packed;
  packed.Reserve(static_cast<int>(members.size()));
  for (const RosterMember& m : members) packed.Append(m);
  Reset(std::move(packed));
}

void MemberRoster::Reset(PackedMembers members) {
  members_ = std::move(members);
  loaded_ = true;
  emit Reloaded();
  emit Changed();
}

void MemberRoster::Clear() {
  members_.Clear();
  loaded_ = false;
  emit Reloaded();
  emit Changed();
}

void MemberRoster::Insert(int row, RosterMember member) {
  row = std::clamp(row, 0, Count());
  members_.Insert(row, member);
  emit Inserted(row, 1);
  emit Changed();
}

void MemberRoster::Remove(int first, int count) {
  if (first < 0 || count <= 0 || first >= Count()) return;
  const int last = std::min(Count(), first + count);
  members_.Remove(first, last - first);
  emit Removed(first, last - first);
  emit Changed();
}

void MemberRoster::Replace(int row, RosterMember member) {
  if (row < 0 || row >= Count()) return;
  members_.Replace(row, member);
  emit RowChanged(row);
  emit Changed();
}

void MemberRoster::SetTicked(int row, bool ticked) {
  if (row < 0 || row >= Count() || members_.Ticked(row) == ticked) return;
  members_.SetTicked(row, ticked);
  emit RowChanged(row);
  emit Changed();
}

std::vector<RosterMember> MemberRoster::Members() const {
  std::vector<RosterMember> members;
  members.reserve(static_cast<size_t>(Count()));
  for (int i = 0; i < Count(); ++i) members.push_back(At(i));
  return members;
}

QStringList MemberRoster::TickedIds() const {
  QStringList ids;
  for (int i = 0; i < Count(); ++i)
    if (members_.Ticked(i)) ids << members_.Text(i, PackedMembers::Id);
  return ids;
}

std::vector<int> MemberRoster::TickedRows() const {
  std::vector<int> rows;
  for (int i = 0; i < Count(); ++i)
    if (members_.Ticked(i)) rows.push_back(i);
  return rows;
}
