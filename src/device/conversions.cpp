#include "device/conversions.hpp"

#include "common/number_format.hpp"

namespace device {

std::int32_t FloatToInt(long double x) {
    bool ok = false;
    const int v = common::formatFixed(x, 0, QLatin1Char('.')).toInt(&ok);
    return ok ? v : 0;
}

long double rawToVoltsA(unsigned raw) {
    return static_cast<long double>(raw + 20) / 1024 * 5 * 3;
}

std::int32_t voltsToRawA(long double volts) {
    return FloatToInt(volts / 15 * 1024 - 20);
}

long double rawToCelsius(unsigned raw) {
    return (static_cast<long double>(raw) / 1024 * 5 - 2.1L) * 100 - 50;
}

std::int32_t celsiusToRaw(long double celsius) {
    return FloatToInt(((celsius + 50) / 100 + 2.1L) / 5 * 1024);
}

long double rawToAccVolts(unsigned raw) {
    return static_cast<long double>(raw) / 1024 * 5 * 3 + 0.33L;
}

long double rawToAtxVolts(unsigned raw) {
    return static_cast<long double>(raw) / 1024 * 5 * 3 + 0.38L;
}

}  // namespace device
