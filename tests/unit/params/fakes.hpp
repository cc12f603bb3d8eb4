#pragma once

#include <QString>

#include "support/qt_print.hpp"

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
