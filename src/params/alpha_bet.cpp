#include "params/alpha_bet.hpp"

#include "common/cp1251.hpp"

namespace params {

QChar AlphaBet(QChar key) {
    const int code = common::cp1251Byte(key);
    // A character outside the code page could never have been typed into the original;
    // it is no part of a number either.
    if (code < 0 || code >= 65) return QChar(0);
    if (code == 0x20 || code == 0x2A || code == 0x2B || code == 0x2F) return QChar(0);
    return key;
}

}  // namespace params
