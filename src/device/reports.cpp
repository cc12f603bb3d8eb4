#include "device/reports.hpp"

#include "device/conversions.hpp"

namespace device {
namespace {

std::uint16_t bigEndian(const Report& r, std::size_t at) {
    return static_cast<std::uint16_t>(r[at] << 8 | r[at + 1]);
}
std::uint16_t littleEndian(const Report& r, std::size_t at) {
    return static_cast<std::uint16_t>(r[at] | r[at + 1] << 8);
}
void putBigEndian(Report& r, std::size_t at, std::uint16_t v) {
    r[at] = static_cast<std::uint8_t>(v >> 8);
    r[at + 1] = static_cast<std::uint8_t>(v & 0xFF);
}

constexpr std::size_t kU1 = 2, kT1 = 4, kN = 6, kTiming = 11, kX = 25, kY = 26, kFlag = 27;

}  // namespace

RawParameterBlock factoryParameterBlock() {
    RawParameterBlock b;
    b.u1 = 799;
    b.t1 = 532;
    b.n = {30, 40, 60, 20, 5};
    b.timing = {1000, 500, 1000, 500, 1000, 500, 500};
    b.x = 2;
    b.y = 1;
    b.ignoreT = 0;
    return b;
}

RawParameterBlock readParameterBlock(const Report& r) {
    RawParameterBlock b;
    b.u1 = bigEndian(r, kU1);
    b.t1 = bigEndian(r, kT1);
    for (std::size_t i = 0; i < b.n.size(); ++i) b.n[i] = r[kN + i];
    for (std::size_t i = 0; i < b.timing.size(); ++i) b.timing[i] = bigEndian(r, kTiming + 2 * i);
    b.x = r[kX];
    b.y = r[kY];
    b.ignoreT = r[kFlag];
    return b;
}

void writeParameterBlock(Report& out, const RawParameterBlock& b) {
    setCommand(out, CmdWriteParameters);
    putBigEndian(out, kU1, b.u1);
    putBigEndian(out, kT1, b.t1);
    for (std::size_t i = 0; i < b.n.size(); ++i) out[kN + i] = b.n[i];
    for (std::size_t i = 0; i < b.timing.size(); ++i)
        putBigEndian(out, kTiming + 2 * i, b.timing[i]);
    out[kX] = b.x;
    out[kY] = b.y;
    out[kFlag] = b.ignoreT ? 1 : 0;
}

ParameterValues decodeParameterValues(const RawParameterBlock& b) {
    ParameterValues v;
    v.u1Volts = rawToVoltsA(b.u1);
    v.t1Celsius = rawToCelsius(b.t1);
    std::size_t i = 0;
    for (auto n : b.n) v.plain[i++] = n;
    for (auto t : b.timing) v.plain[i++] = t;
    v.plain[i++] = b.x;
    v.plain[i++] = b.y;
    v.ignoreT = b.ignoreT != 0;
    return v;
}

Measurements decodeTelemetry(const Report& r) {
    Measurements m;
    m.AccVolts = rawToAccVolts(littleEndian(r, 2));
    m.AtxVolts = rawToAtxVolts(littleEndian(r, 4));
    m.TemperatureC = rawToCelsius(littleEndian(r, 6));
    return m;
}

std::int32_t decodeButtonCode(const Report& r) {
    return littleEndian(r, 2);
}

void setCommand(Report& out, Command command) {
    out[0] = 0;
    out[1] = command;
}

}  // namespace device
