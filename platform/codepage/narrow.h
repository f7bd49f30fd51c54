#pragma once
// The narrow conversion: full-width letters, digits, signs and katakana (with their voiced and
// half-voiced marks split off) to their half-width forms. Our own table, not a Unicode
// normalisation: NFKC would also turn half-width kana into full-width ones. Hiragana, kanji and
// every other character stay as they are.
#include <QString>

namespace cp {

QString ToHalfWidth(const QString& text);

}  // namespace cp
