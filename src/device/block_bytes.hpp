#pragma once

#include <QString>
#include <QStringView>
#include <array>
#include <cstdint>
#include <optional>

#include "device/reports.hpp"

namespace device {

// Bytes 2..27 of a parameter block report or command, exactly as they travel.
inline constexpr std::size_t ParameterBlockSize = 26;
using ParameterBlockBytes = std::array<std::uint8_t, ParameterBlockSize>;

ParameterBlockBytes blockBytesOf(const RawParameterBlock& block);
ParameterBlockBytes blockBytesOf(const Report& report);
// 26 lower-case two-digit hex numbers separated by single spaces, on one line.
QString formatBlockBytes(const ParameterBlockBytes& bytes);
// The reverse of formatBlockBytes; surrounding white space is allowed, nothing else.
std::optional<ParameterBlockBytes> parseBlockBytes(QStringView text);

}  // namespace device
