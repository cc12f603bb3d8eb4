#pragma once

#include <cstdint>

namespace device {

// Rounds to the nearest integer, halves away from zero, through the "0" display format
// (so the decision is made on the value's 18 printed significant digits).
std::int32_t FloatToInt(long double x);

// Conversion A: U1 of the parameter block. 20 counts are added before scaling.
long double rawToVoltsA(unsigned raw);
std::int32_t voltsToRawA(long double volts);
// Conversion T: T1 of the block and the telemetry temperature.
long double rawToCelsius(unsigned raw);
std::int32_t celsiusToRaw(long double celsius);
// Conversions V1 (ACC) and V2 (ATX) of telemetry; read only.
long double rawToAccVolts(unsigned raw);
long double rawToAtxVolts(unsigned raw);

}  // namespace device
