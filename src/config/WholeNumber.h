#pragma once

#include <QString>

// The whole number at the start of a setting's text ("24", " 1000000", "12 h"):
// leading blanks and a sign are read, reading stops at the first other
// character, and a text without digits is 0. Values are clamped to 32 bits.
qint32 WholeNumber(const QString& text);
