#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QChar>
#include <QString>
#include <QStringView>

namespace common {

// Windows-1251: the code page of the settings file and of the original user interface.
// Characters it cannot hold are written as '?'.
QByteArray toCp1251(const QString& text);
// The same, added to the end of `out` without a copy of its own.
void appendCp1251(QByteArray& out, QStringView text);
QString fromCp1251(QByteArrayView bytes);

// The character of one code-page byte (0..255); the undefined byte 0x98 gives U+FFFD.
QChar cp1251Char(unsigned char byte);
// The code-page byte of a character, or -1 when the code page has none.
int cp1251Byte(QChar ch);

}  // namespace common
