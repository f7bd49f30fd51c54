#include "narrow.h"

#include <array>

namespace cp {

namespace {

// Full-width katakana from ァ (U+30A1) to ヶ (U+30F6): the half-width form, and the mark that
// follows it (0 none, 1 voiced ﾞ, 2 half-voiced ﾟ).
struct Kana {
  char16_t base;
  char mark;
};

constexpr std::array<Kana, 0x30F6 - 0x30A1 + 1> kKatakana = {{
    {u'ｧ', 0}, {u'ｱ', 0}, {u'ｨ', 0}, {u'ｲ', 0}, {u'ｩ', 0}, {u'ｳ', 0}, {u'ｪ', 0}, {u'ｴ', 0},
    {u'ｫ', 0}, {u'ｵ', 0},                                                      // ァ..オ
    {u'ｶ', 0}, {u'ｶ', 1}, {u'ｷ', 0}, {u'ｷ', 1}, {u'ｸ', 0}, {u'ｸ', 1}, {u'ｹ', 0}, {u'ｹ', 1},
    {u'ｺ', 0}, {u'ｺ', 1},                                                      // カ..ゴ
    {u'ｻ', 0}, {u'ｻ', 1}, {u'ｼ', 0}, {u'ｼ', 1}, {u'ｽ', 0}, {u'ｽ', 1}, {u'ｾ', 0}, {u'ｾ', 1},
    {u'ｿ', 0}, {u'ｿ', 1},                                                      // サ..ゾ
    {u'ﾀ', 0}, {u'ﾀ', 1}, {u'ﾁ', 0}, {u'ﾁ', 1}, {u'ｯ', 0}, {u'ﾂ', 0}, {u'ﾂ', 1}, {u'ﾃ', 0},
    {u'ﾃ', 1}, {u'ﾄ', 0}, {u'ﾄ', 1},                                           // タ..ド
    {u'ﾅ', 0}, {u'ﾆ', 0}, {u'ﾇ', 0}, {u'ﾈ', 0}, {u'ﾉ', 0},                     // ナ..ノ
    {u'ﾊ', 0}, {u'ﾊ', 1}, {u'ﾊ', 2}, {u'ﾋ', 0}, {u'ﾋ', 1}, {u'ﾋ', 2}, {u'ﾌ', 0}, {u'ﾌ', 1},
    {u'ﾌ', 2}, {u'ﾍ', 0}, {u'ﾍ', 1}, {u'ﾍ', 2}, {u'ﾎ', 0}, {u'ﾎ', 1}, {u'ﾎ', 2}, // ハ..ポ
    {u'ﾏ', 0}, {u'ﾐ', 0}, {u'ﾑ', 0}, {u'ﾒ', 0}, {u'ﾓ', 0},                     // マ..モ
    {u'ｬ', 0}, {u'ﾔ', 0}, {u'ｭ', 0}, {u'ﾕ', 0}, {u'ｮ', 0}, {u'ﾖ', 0},          // ャ..ヨ
    {u'ﾗ', 0}, {u'ﾘ', 0}, {u'ﾙ', 0}, {u'ﾚ', 0}, {u'ﾛ', 0},                     // ラ..ロ
    {u'ﾜ', 0}, {u'ﾜ', 0}, {u'ｲ', 0}, {u'ｴ', 0}, {u'ｦ', 0}, {u'ﾝ', 0},          // ヮ..ン
    {u'ｳ', 1}, {u'ｶ', 0}, {u'ｹ', 0},                                           // ヴ ヵ ヶ
}};

// Signs of the Japanese punctuation block and a few others that have a half-width form.
char16_t NarrowSign(char16_t c) {
  switch (c) {
    case u'\u3000': return u' ';
    case u'、': return u'､';
    case u'。': return u'｡';
    case u'「': return u'｢';
    case u'」': return u'｣';
    case u'・': return u'･';
    case u'ー': return u'ｰ';
    case u'゛': return u'ﾞ';
    case u'゜': return u'ﾟ';
    case u'’': return u'\'';
    case u'‘': return u'`';
    case u'”': return u'"';
    case u'“': return u'"';
    default: return 0;
  }
}

}  // namespace

QString ToHalfWidth(const QString& text) {
  QString out;
  out.reserve(text.size());
  for (const QChar qc : text) {
    const char16_t c = qc.unicode();
    if (c >= 0xFF01 && c <= 0xFF5E) {  // ！ to ～: the ASCII signs, digits and letters
      out += QChar(static_cast<char16_t>(c - 0xFF01 + 0x21));
    } else if (c >= 0x30A1 && c <= 0x30F6) {
      const Kana& k = kKatakana[c - 0x30A1];
      out += QChar(k.base);
      if (k.mark == 1) out += QChar(u'ﾞ');
      if (k.mark == 2) out += QChar(u'ﾟ');
    } else if (const char16_t sign = NarrowSign(c)) {
      out += QChar(sign);
    } else {
      out += qc;
    }
  }
  return out;
}

}  // namespace cp
