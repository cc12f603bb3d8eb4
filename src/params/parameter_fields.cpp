#include "params/parameter_fields.hpp"

#include "device/conversions.hpp"

namespace params {

int fieldIndex(QStringView name) {
    for (int i = 0; i < ParameterFieldCount; ++i)
        if (name == ParameterFields[static_cast<std::size_t>(i)].name) return i;
    return -1;
}

unsigned rawValue(const device::RawParameterBlock& block, const ParameterField& field) {
    switch (field.slot) {
        case BlockSlot::U1:
            return block.u1;
        case BlockSlot::T1:
            return block.t1;
        case BlockSlot::N:
            return block.n.at(field.slotIndex);
        case BlockSlot::Timing:
            return block.timing.at(field.slotIndex);
        case BlockSlot::X:
            return block.x;
        case BlockSlot::Y:
            return block.y;
    }
    return 0;
}

void setRawValue(device::RawParameterBlock& block, const ParameterField& field, unsigned raw) {
    const auto byte = static_cast<std::uint8_t>(raw & 0xFF);
    const auto word = static_cast<std::uint16_t>(raw & 0xFFFF);
    switch (field.slot) {
        case BlockSlot::U1:
            block.u1 = word;
            break;
        case BlockSlot::T1:
            block.t1 = word;
            break;
        case BlockSlot::N:
            block.n.at(field.slotIndex) = byte;
            break;
        case BlockSlot::Timing:
            block.timing.at(field.slotIndex) = word;
            break;
        case BlockSlot::X:
            block.x = byte;
            break;
        case BlockSlot::Y:
            block.y = byte;
            break;
    }
}

unsigned encodeRaw(const ParameterField& field, long double value) {
    switch (field.encoding) {
        case Encoding::ConversionA:
            return static_cast<unsigned>(device::voltsToRawA(value)) & 0xFFFF;
        case Encoding::ConversionT:
            return static_cast<unsigned>(device::celsiusToRaw(value)) & 0xFFFF;
        case Encoding::Byte:
            return static_cast<unsigned>(device::FloatToInt(value)) & 0xFF;
        case Encoding::Word:
            return static_cast<unsigned>(device::FloatToInt(value)) & 0xFFFF;
    }
    return 0;
}

void encodeField(device::Report& report, const ParameterField& field, long double value) {
    const unsigned raw = encodeRaw(field, value);
    if (field.encoding == Encoding::Byte) {
        report.at(field.reportByte) = static_cast<std::uint8_t>(raw);
    } else {
        report.at(field.reportByte) = static_cast<std::uint8_t>(raw >> 8);
        report.at(field.reportByte + 1u) = static_cast<std::uint8_t>(raw & 0xFF);
    }
}

}  // namespace params
