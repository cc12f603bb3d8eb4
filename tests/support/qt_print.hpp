#pragma once

#include <QChar>
#include <QString>
#include <ostream>

// Readable Qt values in failure messages ("','" rather than the bytes).
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(QChar c, std::ostream* os) {
    *os << "'" << QString(c).toStdString() << "'";
}
