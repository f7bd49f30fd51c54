#pragma once
// The system's ANSI code page: CP932 (Japanese Shift-JIS with the NEC and IBM extension rows).
// Every text file and every library boundary of the station passes through here.
#include <QByteArray>
#include <QString>

namespace cp {

// Converts to CP932. Returns false (and leaves `out` with '?' for every character that does not
// fit) when some character cannot be held by the code page; callers that write files report it.
bool ToAnsi(const QString& text, QByteArray& out);

// Converts to CP932, replacing what does not fit by '?'. For texts whose loss is harmless.
QByteArray ToAnsiLossy(const QString& text);

// True when every character of `text` can be held by CP932.
bool FitsAnsi(const QString& text);

// Converts from CP932; never fails: a broken byte becomes U+FFFD.
QString FromAnsi(const QByteArray& bytes);

// Length of `text` in CP932 bytes (a Japanese character counts two).
int AnsiLength(const QString& text);

// The longest prefix of CP932 `bytes` of at most `maxBytes` bytes that does not end inside a
// two-byte character.
QByteArray CutAnsi(const QByteArray& bytes, int maxBytes);

// True when `b` is a CP932 lead byte (the first byte of a two-byte character).
inline bool IsLeadByte(unsigned char b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

}  // namespace cp
