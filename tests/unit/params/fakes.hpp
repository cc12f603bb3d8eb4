#pragma once

#include <QString>
#include <ostream>

// Readable parameter names in test output ("','" rather than the bytes).
inline void PrintTo(QChar c, std::ostream* os) {
    *os << "'" << QString(c).toStdString() << "'";
}

namespace params_test {

// Replaces '#' by the locale's separator and '~' by the other one.
inline QString localised(const char* text, QChar sep) {
    const QChar other = sep == QLatin1Char(',') ? QLatin1Char('.') : QLatin1Char(',');
    QString s = QString::fromUtf8(text);
    s.replace(QLatin1Char('~'), other);
    s.replace(QLatin1Char('#'), sep);
    return s;
}

}  // namespace params_test
