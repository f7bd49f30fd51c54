#pragma once
// 128-bit class and interface identifiers, written "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
#include <QString>

#include <cstdint>
#include <string_view>

namespace com {

struct Guid {
  std::uint32_t data1 = 0;
  std::uint16_t data2 = 0;
  std::uint16_t data3 = 0;
  std::uint8_t data4[8] = {};

  // Parses the braced or unbraced text form; `ok` (when given) says whether it was well formed.
  // A malformed text gives the null identifier.
  static constexpr Guid Parse(std::string_view text, bool* ok = nullptr);
  static Guid FromString(const QString& text, bool* ok = nullptr);

  // The braced upper-case text form.
  QString ToString() const;
  constexpr bool IsNull() const { return *this == Guid{}; }

  friend constexpr bool operator==(const Guid& a, const Guid& b) {
    if (a.data1 != b.data1 || a.data2 != b.data2 || a.data3 != b.data3) return false;
    for (int i = 0; i < 8; ++i)
      if (a.data4[i] != b.data4[i]) return false;
    return true;
  }
};

namespace detail {
constexpr int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
}  // namespace detail

constexpr Guid Guid::Parse(std::string_view text, bool* ok) {
  if (ok) *ok = false;
  if (text.size() == 38 && text.front() == '{' && text.back() == '}')
    text = text.substr(1, 36);
  if (text.size() != 36) return {};
  // Positions of the 32 hex digits in the 36-character form.
  std::uint8_t bytes[16] = {};
  int n = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (i == 8 || i == 13 || i == 18 || i == 23) {
      if (text[i] != '-') return {};
      continue;
    }
    const int hi = detail::HexDigit(text[i]);
    const int lo = i + 1 < text.size() ? detail::HexDigit(text[i + 1]) : -1;
    if (hi < 0 || lo < 0) return {};
    bytes[n++] = static_cast<std::uint8_t>(hi * 16 + lo);
    ++i;
  }
  Guid g;
  g.data1 = (std::uint32_t(bytes[0]) << 24) | (std::uint32_t(bytes[1]) << 16) |
            (std::uint32_t(bytes[2]) << 8) | bytes[3];
  g.data2 = static_cast<std::uint16_t>((bytes[4] << 8) | bytes[5]);
  g.data3 = static_cast<std::uint16_t>((bytes[6] << 8) | bytes[7]);
  for (int i = 0; i < 8; ++i) g.data4[i] = bytes[8 + i];
  if (ok) *ok = true;
  return g;
}

}  // namespace com
