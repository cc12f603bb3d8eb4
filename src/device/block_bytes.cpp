#include "device/block_bytes.hpp"

#include <QList>
#include <algorithm>

#include "common/number_format.hpp"

namespace device {

ParameterBlockBytes blockBytesOf(const Report& report) {
    ParameterBlockBytes b{};
    std::copy_n(report.begin() + 2, b.size(), b.begin());
    return b;
}

ParameterBlockBytes blockBytesOf(const RawParameterBlock& block) {
    Report r{};
    writeParameterBlock(r, block);
    return blockBytesOf(r);
}

QString formatBlockBytes(const ParameterBlockBytes& bytes) {
    QString s;
    s.reserve(static_cast<qsizetype>(bytes.size() * 3));
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i) s += QLatin1Char(' ');
        s += QStringLiteral("%1").arg(bytes[i], 2, 16, QLatin1Char('0'));
    }
    return s;
}

std::optional<ParameterBlockBytes> parseBlockBytes(QStringView text) {
    const auto parts = text.trimmed().split(QLatin1Char(' '));
    ParameterBlockBytes b{};
    if (parts.size() != static_cast<qsizetype>(b.size())) return std::nullopt;
    for (std::size_t i = 0; i < b.size(); ++i) {
        const QStringView part = parts[static_cast<qsizetype>(i)];
        if (part.size() != 2 || common::hexDigit(part[0]) < 0 || common::hexDigit(part[1]) < 0)
            return std::nullopt;
        b[i] = static_cast<std::uint8_t>(part.toUInt(nullptr, 16));
    }
    return b;
}

}  // namespace device
