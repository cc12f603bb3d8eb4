#include <gtest/gtest.h>

#include "common/number_format.hpp"
#include "device/commands.hpp"
#include "device/conversions.hpp"
#include "device/reports.hpp"

using namespace device;

namespace {

std::string fmt(long double v, int decimals) {
    return common::formatFixed(v, decimals, QLatin1Char('.')).toStdString();
}

TEST(Conversions, WorkedValues) {
    struct {
        long double volts;
        int raw;
        const char* shownAfterRead;
    } voltsA[] = {{12, 799, "12.00"}, {10, 663, "10.00"}, {15, 1004, "15.00"}};
    for (const auto& c : voltsA) {
        EXPECT_EQ(voltsToRawA(c.volts), c.raw);
        EXPECT_EQ(fmt(rawToVoltsA(static_cast<unsigned>(c.raw)), 2), c.shownAfterRead);
    }
    EXPECT_NEAR(static_cast<double>(rawToVoltsA(799)), 11.997, 0.0005);

    struct {
        long double celsius;
        int raw;
        const char* shownAfterRead;
    } temps[] = {{0, 532, "0"}, {-20, 492, "-20"}, {20, 573, "20"}};
    for (const auto& c : temps) {
        EXPECT_EQ(celsiusToRaw(c.celsius), c.raw);
        EXPECT_EQ(fmt(rawToCelsius(static_cast<unsigned>(c.raw)), 0), c.shownAfterRead);
    }
    EXPECT_NEAR(static_cast<double>(rawToCelsius(492)), -19.77, 0.005);
    EXPECT_NEAR(static_cast<double>(rawToCelsius(532)), -0.234375, 1e-9);
    EXPECT_NEAR(static_cast<double>(rawToCelsius(512)), -10.0, 1e-12);
    EXPECT_EQ(rawToAccVolts(0), 0.33L);
    EXPECT_EQ(rawToAtxVolts(0), 0.38L);
}

TEST(Conversions, EdgeCasesOfTheDisplay) {
    EXPECT_EQ(fmt(rawToVoltsA(0), 2), "0.29");     // 20 / 1024 * 15
    EXPECT_EQ(fmt(rawToVoltsA(876), 2), "13.13");  // exactly 13.125, half away from zero
    EXPECT_EQ(rawToVoltsA(876), 13.125L);
    EXPECT_EQ(fmt(rawToAccVolts(64), 2), "1.27");  // 1.2675
    EXPECT_EQ(fmt(rawToCelsius(532), 0), "0");     // -0.23 has no sign
}

TEST(FloatToIntTest, HalvesAwayFromZero) {
    struct {
        long double x;
        int expected;
    } cases[] = {{799.2L, 799}, {799.5L, 800},   {-0.5L, -1}, {0.4L, 0},   {-0.4L, 0},
                 {-1.5L, -2},   {1004.4L, 1004}, {2.5L, 3},   {5000, 5000}};
    for (const auto& c : cases) EXPECT_EQ(FloatToInt(c.x), c.expected) << static_cast<double>(c.x);
}

Report reportWith(std::initializer_list<std::pair<int, int>> bytes) {
    Report r{};
    for (auto [at, v] : bytes) r[static_cast<size_t>(at)] = static_cast<std::uint8_t>(v);
    return r;
}

TEST(Decoding, ByteOrders) {
    // Telemetry is little-endian: 0x10 0x03 is raw 784, 11.81 V.
    const Report telemetry = reportWith({{1, 3}, {2, 0x10}, {3, 0x03}});
    EXPECT_EQ(fmt(decodeTelemetry(telemetry).AccVolts, 2), "11.81");
    // The same two bytes in a parameter block read high byte first.
    EXPECT_EQ(readParameterBlock(telemetry).u1, 4099);
    EXPECT_EQ(decodeButtonCode(reportWith({{1, 4}, {2, 0x34}, {3, 0x12}})), 4660);
    EXPECT_EQ(decodeButtonCode(reportWith({{1, 4}, {2, 0xFF}, {3, 0xFF}})), 65535);
    const Measurements m = decodeTelemetry(reportWith({{1, 3}, {6, 0x00}, {7, 0x02}}));
    EXPECT_NEAR(static_cast<double>(m.TemperatureC), -10.0, 1e-12);
    EXPECT_EQ(m.AtxVolts, 0.38L);
}

TEST(Decoding, BytesBeyond27AreIgnored) {
    Report a = reportWith({{1, 1}, {2, 3}, {3, 0x1F}, {27, 1}});
    Report b = a;
    for (size_t i = 28; i < ReportSize; ++i) b[i] = 0xA5;
    EXPECT_EQ(readParameterBlock(a), readParameterBlock(b));
    a[1] = 3;
    b[1] = 3;
    EXPECT_EQ(decodeTelemetry(a).AccVolts, decodeTelemetry(b).AccVolts);
}

TEST(Encoding, FactoryBlockBytes) {
    Report out{};
    for (size_t i = 28; i < ReportSize; ++i) out[i] = 0x77;
    writeParameterBlock(out, factoryParameterBlock());
    const std::uint8_t expected[28] = {0,    2,    0x03, 0x1F, 0x02, 0x14, 30,   40,   60,   20,
                                       5,    0x03, 0xE8, 0x01, 0xF4, 0x03, 0xE8, 0x01, 0xF4, 0x03,
                                       0xE8, 0x01, 0xF4, 0x01, 0xF4, 2,    1,    0};
    for (size_t i = 0; i < 28; ++i) EXPECT_EQ(out[i], expected[i]) << "byte " << i;
    for (size_t i = 28; i < ReportSize; ++i) EXPECT_EQ(out[i], 0x77) << "byte " << i;
    EXPECT_EQ(readParameterBlock(out), factoryParameterBlock());
}

TEST(Encoding, TimingIsBigEndianAndFlagIsOneOrZero) {
    RawParameterBlock b = factoryParameterBlock();
    b.timing[0] = 5000;
    b.ignoreT = 7;
    Report out{};
    writeParameterBlock(out, b);
    EXPECT_EQ(out[11], 0x13);
    EXPECT_EQ(out[12], 0x88);
    EXPECT_EQ(out[27], 1);
}

TEST(Commands, TelemetryRequestCarriesTheLastWriteUnchanged) {
    Report out{};
    writeParameterBlock(out, factoryParameterBlock());
    const Report afterWrite = out;
    setCommand(out, CmdRequestTelemetry);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[1], 3);
    for (size_t i = 2; i < ReportSize; ++i) EXPECT_EQ(out[i], afterWrite[i]) << "byte " << i;
}

TEST(Decoding, ParameterValuesInFormOrder) {
    const ParameterValues v = decodeParameterValues(factoryParameterBlock());
    EXPECT_EQ(fmt(v.u1Volts, 2), "12.00");
    EXPECT_EQ(fmt(v.t1Celsius, 0), "0");
    const std::array<int, 14> plain = {30,   40,  60,   20,  5,   1000, 500,
                                       1000, 500, 1000, 500, 500, 2,    1};
    EXPECT_EQ(v.plain, plain);
    EXPECT_FALSE(v.ignoreT);
}

}  // namespace
