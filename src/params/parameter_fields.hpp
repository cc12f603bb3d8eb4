#pragma once

#include <QString>
#include <array>
#include <cstddef>
#include <cstdint>

#include "device/reports.hpp"

namespace params {

// How a field's number becomes its raw controller value.
enum class Encoding {
    ConversionA,  // volts, U1
    ConversionT,  // degrees Celsius, T1
    Byte,         // FloatToInt, low 8 bits
    Word,         // FloatToInt, 16 bits high byte first
};

// Where a field's raw value lives in device::RawParameterBlock.
enum class BlockSlot { U1, T1, N, Timing, X, Y };

// One of the sixteen parameter edits. The controls hold the values; this row holds what
// the program knows about each one.
struct ParameterField {
    QLatin1String name;  // object name of the edit, also the command line's name
    int minimum;         // accepted on write, inclusive
    int maximum;
    QLatin1String defaultText;  // put back into a faulty edit; also the edit's initial text
    Encoding encoding;
    BlockSlot slot;
    std::uint8_t slotIndex;   // index within RawParameterBlock::n or ::timing, else 0
    std::uint8_t reportByte;  // first byte of the field in the report

    // The number of defaultText (every default is a plain integer).
    long double defaultValue() const { return QString(defaultText).toInt(); }
};

inline constexpr int ParameterFieldCount = 16;

// The sixteen edits in processing order: the order of reading, showing and writing.
inline constexpr std::array<ParameterField, ParameterFieldCount> ParameterFields{{
    {QLatin1String("eACC"), 10, 15, QLatin1String("12"), Encoding::ConversionA, BlockSlot::U1, 0,
     2},
    {QLatin1String("eTRM"), -20, 20, QLatin1String("0"), Encoding::ConversionT, BlockSlot::T1, 0,
     4},
    {QLatin1String("eN1"), 1, 180, QLatin1String("30"), Encoding::Byte, BlockSlot::N, 0, 6},
    {QLatin1String("eN2"), 1, 180, QLatin1String("40"), Encoding::Byte, BlockSlot::N, 1, 7},
    {QLatin1String("eN3"), 1, 180, QLatin1String("60"), Encoding::Byte, BlockSlot::N, 2, 8},
    {QLatin1String("eN4"), 1, 180, QLatin1String("20"), Encoding::Byte, BlockSlot::N, 3, 9},
    {QLatin1String("eN5"), 1, 180, QLatin1String("5"), Encoding::Byte, BlockSlot::N, 4, 10},
    {QLatin1String("eMB_SW_P"), 1, 5000, QLatin1String("1000"), Encoding::Word, BlockSlot::Timing,
     0, 11},
    {QLatin1String("eMB_SW_D"), 1, 5000, QLatin1String("500"), Encoding::Word, BlockSlot::Timing, 1,
     13},
    {QLatin1String("eMNT_SW_P"), 1, 5000, QLatin1String("1000"), Encoding::Word, BlockSlot::Timing,
     2, 15},
    {QLatin1String("eMNT_SW_D"), 1, 5000, QLatin1String("500"), Encoding::Word, BlockSlot::Timing,
     3, 17},
    {QLatin1String("eMNT_SRS_P1"), 1, 5000, QLatin1String("1000"), Encoding::Word,
     BlockSlot::Timing, 4, 19},
    {QLatin1String("eMNT_SRS_P2"), 1, 5000, QLatin1String("500"), Encoding::Word, BlockSlot::Timing,
     5, 21},
    {QLatin1String("eMNT_SRS_D"), 1, 5000, QLatin1String("500"), Encoding::Word, BlockSlot::Timing,
     6, 23},
    {QLatin1String("eMNT_SRS_X"), 1, 10, QLatin1String("2"), Encoding::Byte, BlockSlot::X, 0, 25},
    {QLatin1String("eMNT_SRS_Y"), 1, 10, QLatin1String("1"), Encoding::Byte, BlockSlot::Y, 0, 26},
}};

// The check box "Игнорировать температуру": never invalid, written as 1 or 0.
inline constexpr QLatin1String IgnoreTName("ignoreT");
inline constexpr std::uint8_t IgnoreTReportByte = 27;

// Index of the field with this name in ParameterFields, or -1.
int fieldIndex(QStringView name);

// The raw value of a field in a block, and setting it (cut to the field's width).
unsigned rawValue(const device::RawParameterBlock& block, const ParameterField& field);
void setRawValue(device::RawParameterBlock& block, const ParameterField& field, unsigned raw);

// The raw value a validated number encodes to: the field's conversion or FloatToInt,
// cut to the field's 8 or 16 bits.
unsigned encodeRaw(const ParameterField& field, long double value);
// Puts that raw value into the field's bytes of a report (16-bit fields high byte first);
// no other byte is touched.
void encodeField(device::Report& report, const ParameterField& field, long double value);

}  // namespace params
