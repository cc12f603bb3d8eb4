#include "common/cp1251.hpp"

#include <array>

namespace common {
namespace {

constexpr std::array<char16_t, 128> kHigh = {
#include "common/cp1251_table.inc"
};

}  // namespace

QChar cp1251Char(unsigned char byte) {
    if (byte < 0x80) return QChar(byte);
    const char16_t u = kHigh[byte - 0x80];
    return u ? QChar(u) : QChar(QChar::ReplacementCharacter);
}

int cp1251Byte(QChar ch) {
    const char16_t u = ch.unicode();
    if (u < 0x80) return u;
    // А..я, most of what is not ASCII, lie in one run in both: no search for them.
    if (u >= 0x0410 && u <= 0x044F) return u - 0x0410 + 0xC0;
    for (std::size_t i = 0; i < kHigh.size(); ++i)
        if (kHigh[i] == u) return static_cast<int>(0x80 + i);
    return -1;
}

// One byte per character, each written in place: no call into QByteArray per character.
void appendCp1251(QByteArray& out, QStringView text) {
    const qsizetype at = out.size();
    out.resize(at + text.size());
    char* d = out.data() + at;
    for (QChar ch : text) {
        const int b = cp1251Byte(ch);
        *d++ = b < 0 ? '?' : static_cast<char>(b);
    }
}

QByteArray toCp1251(const QString& text) {
    QByteArray out;
    appendCp1251(out, text);
    return out;
}

QString fromCp1251(QByteArrayView bytes) {
    QString out(bytes.size(), Qt::Uninitialized);
    QChar* d = out.data();
    for (char c : bytes) *d++ = cp1251Char(static_cast<unsigned char>(c));
    return out;
}

}  // namespace common
