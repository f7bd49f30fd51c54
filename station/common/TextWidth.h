#pragma once
// Full-width letters, digits and signs typed through a Japanese input method, turned into their
// half-width forms before a field is checked.
#include <QString>

// Turns the full-width forms of ASCII (U+FF01 to U+FF5E) and the ideographic space into ASCII;
// every other character stays as it is.
QString ToHalfWidth(const QString& text);
