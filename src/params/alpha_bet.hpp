#pragma once

#include <QChar>

namespace params {

// The key filter of the parameter edits. Returns the typed character, or QChar(0) when
// nothing is to be inserted: its Windows-1251 code is 65 ('A') or above (every letter,
// Cyrillic included), it is a space, '*', '+' or '/', or the code page has no such
// character. Control characters, digits, '-', ',' and '.' pass.
QChar AlphaBet(QChar key);

}  // namespace params
