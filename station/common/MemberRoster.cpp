#include "common/MemberRoster.h"

#include <algorithm>

MemberRoster& MemberRoster::Shared() {
  static MemberRoster roster;
  return roster;
}

void MemberRoster::Reset(std::vector<RosterMember> members) {
  members_ = std::move(members);
  loaded_ = true;
  emit Reloaded();
  emit Changed();
}

void MemberRoster::Clear() {
  members_.clear();
  loaded_ = false;
  emit Reloaded();
  emit Changed();
}

void MemberRoster::Insert(int row, RosterMember member) {
  row = std::clamp(row, 0, Count());
  members_.insert(members_.begin() + row, std::move(member));
  emit Inserted(row, 1);
  emit Changed();
}

void MemberRoster::Remove(int first, int count) {
  if (first < 0 || count <= 0 || first >= Count()) return;
  const int last = std::min(Count(), first + count);
  members_.erase(members_.begin() + first, members_.begin() + last);
  emit Removed(first, last - first);
  emit Changed();
}

void MemberRoster::Replace(int row, RosterMember member) {
  if (row < 0 || row >= Count()) return;
  members_[static_cast<size_t>(row)] = std::move(member);
  emit RowChanged(row);
  emit Changed();
}

void MemberRoster::SetTicked(int row, bool ticked) {
  if (row < 0 || row >= Count() || members_[static_cast<size_t>(row)].ticked == ticked) return;
  members_[static_cast<size_t>(row)].ticked = ticked;
  emit RowChanged(row);
  emit Changed();
}

QStringList MemberRoster::TickedIds() const {
  QStringList ids;
  for (const RosterMember& m : members_)
    if (m.ticked) ids << m.id;
  return ids;
}

std::vector<int> MemberRoster::TickedRows() const {
  std::vector<int> rows;
  for (int i = 0; i < Count(); ++i)
    if (members_[static_cast<size_t>(i)].ticked) rows.push_back(i);
  return rows;
}
