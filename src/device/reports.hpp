#pragma once

#include <array>
#include <cstdint>

namespace device {

// Every report exchanged with the controller: byte 0 the HID report number, then 64 bytes.
inline constexpr std::size_t ReportSize = 65;
using Report = std::array<std::uint8_t, ReportSize>;

inline constexpr int ControllerVendorId = 1240;  // 0x04D8
inline constexpr int ControllerProductId = 63;   // 0x003F

enum Command : std::uint8_t {
    CmdReadParameters = 1,
    CmdWriteParameters = 2,
    CmdRequestTelemetry = 3,
};

enum InputReportType : std::uint8_t {
    ReportParameters = 1,
    ReportTelemetry = 3,
    ReportButtonCode = 4,
};

// The last decoded telemetry. Zero at start-up and after the controller is unplugged.
struct Measurements {
    long double AccVolts = 0;
    long double AtxVolts = 0;
    long double TemperatureC = 0;
};

// The parameter block as raw controller values (bytes 2..27, big-endian fields).
struct RawParameterBlock {
    std::uint16_t u1 = 0;                   // conversion A
    std::uint16_t t1 = 0;                   // conversion T
    std::array<std::uint8_t, 5> n{};        // N1..N5, seconds
    std::array<std::uint16_t, 7> timing{};  // MB SW P/D, MNT SW P/D, MNT SRS P1/P2/D, ms
    std::uint8_t x = 0;
    std::uint8_t y = 0;
    std::uint8_t ignoreT = 0;  // byte 27; non-zero means "ignore the temperature"

    bool operator==(const RawParameterBlock&) const = default;
};

// The block in the units the form shows: U1 in volts, T1 in degrees, the fourteen plain
// integers in form order (N1..N5, the seven timings, X, Y) and the flag.
struct ParameterValues {
    long double u1Volts = 0;
    long double t1Celsius = 0;
    std::array<int, 14> plain{};
    bool ignoreT = false;
};

// The controller's factory block, which is also what the form's defaults encode to.
RawParameterBlock factoryParameterBlock();

// Bytes 2..27 of a parameter block report or command.
RawParameterBlock readParameterBlock(const Report& report);
// Sets bytes 0..27 of `out` (report number 0, command 2, the block); bytes 28..64 untouched.
void writeParameterBlock(Report& out, const RawParameterBlock& block);

ParameterValues decodeParameterValues(const RawParameterBlock& block);
Measurements decodeTelemetry(const Report& report);
// The 16-bit wheel code of a type-4 report, low byte first.
std::int32_t decodeButtonCode(const Report& report);

// Sets only bytes 0 and 1 of the shared output buffer, as every command does.
void setCommand(Report& out, Command command);

}  // namespace device
