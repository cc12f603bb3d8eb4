// Any sequence of notifications and 65-byte reports into DeviceEventHook. The hook must
// never crash, write only panels 0..3, and route exactly what a model of the dispatch
// rules says. The conversions are checked against straight lines through known answers,
// not against a second copy of the formulas.
#include <fuzzer/FuzzedDataProvider.h>

#include <QByteArray>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <optional>
#include <vector>

#include "device/device_event_hook.hpp"
#include "fuzz_check.hpp"

using namespace device;

namespace {

struct DeviceIds {
    int vendor;
    int product;
};

// Handle 0 is what a library says for "no device"; the others cover the controller, a
// device sharing its vendor, one sharing its product, and a stranger.
const std::map<HidLibrary::Handle, DeviceIds> kDevices = {
    {1, {ControllerVendorId, ControllerProductId}},
    {2, {ControllerVendorId, ControllerProductId + 1}},
    {3, {0x046D, ControllerProductId}},
    {4, {0x046D, 0xC52B}},
    {0xFFFFFFFFu, {ControllerVendorId, ControllerProductId}},
};

class FakeHid : public HidLibrary {
public:
    QByteArray name;  // what GetProductName writes, not terminated
    HidLibrary::Handle getHandleResult = 0;
    std::vector<std::pair<Handle, bool>> readNotifyCalls;
    std::optional<Report> nextRead;  // nullopt: Read fails and leaves the buffer
    int reads = 0;

    bool Connect() override { return true; }
    Handle GetHandle(int, int) override { return getHandleResult; }
    int GetVendorID(Handle h) override {
        const auto it = kDevices.find(h);
        return it == kDevices.end() ? 0 : it->second.vendor;
    }
    int GetProductID(Handle h) override {
        const auto it = kDevices.find(h);
        return it == kDevices.end() ? 0 : it->second.product;
    }
    void GetProductName(Handle, char* buffer, int size) override {
        // A library may fill the whole buffer and leave no terminator.
        FUZZ_CHECK(size == 256);
        const int n = std::min(size, static_cast<int>(name.size()));
        std::memcpy(buffer, name.constData(), static_cast<std::size_t>(n));
    }
    bool SetReadNotify(Handle h, bool on) override {
        readNotifyCalls.emplace_back(h, on);
        return true;
    }
    bool Read(Handle, Report& report) override {
        ++reads;
        if (!nextRead) return false;
        report = *nextRead;
        return true;
    }
    bool Write(Handle, const Report&) override { return true; }
};

struct Panels : StatusView {
    std::array<QString, 5> texts;
    void setPanelText(int panel, const QString& text) override {
        FUZZ_CHECK(panel >= 0 && panel <= 3);
        texts[static_cast<std::size_t>(panel)] = text;
    }
};

struct Display : ParameterDisplay {
    std::vector<ParameterValues> shown;
    void showParameters(const ParameterValues& v) override { shown.push_back(v); }
};

struct Codes : ButtonCodeSink {
    std::vector<std::int32_t> codes;
    void JoyCode(const std::int32_t& code) override { codes.push_back(code); }
};

bool near(long double a, long double b) {
    return std::fabs(a - b) <= 1e-9L * std::max(1.0L, std::fabs(b));
}

// Every conversion is a straight line in the raw count; two known answers fix it.
struct Line {
    long double raw0, value0, raw1, value1;
    long double at(int raw) const {
        return value0 + (raw - raw0) * (value1 - value0) / (raw1 - raw0);
    }
};
// U1: 1004 counts are 15 V (the form's upper limit), twice the scale plus 20 is 30 V.
constexpr Line kU1{1004, 15.0L, 2028, 30.0L};
// 512 counts are 2.5 V at the sensor, -10 °C; the full scale, 5 V, is 240 °C.
constexpr Line kCelsius{512, -10.0L, 1024, 240.0L};
// ACC and ATX: the diode drop at zero counts, plus 15 V at the full scale.
constexpr Line kAcc{0, 0.33L, 1024, 15.33L};
constexpr Line kAtx{0, 0.38L, 1024, 15.38L};

int be16(const Report& r, std::size_t at) {
    return r[at] * 256 + r[at + 1];
}
int le16(const Report& r, std::size_t at) {
    return r[at] + 256 * r[at + 1];
}

void expectMeasurements(const Measurements& got, const Measurements& want) {
    FUZZ_CHECK(near(got.AccVolts, want.AccVolts));
    FUZZ_CHECK(near(got.AtxVolts, want.AtxVolts));
    FUZZ_CHECK(near(got.TemperatureC, want.TemperatureC));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    FakeHid hid;
    Report inReport{};
    Measurements latest;
    Panels panels;
    Display display;
    Codes codes;
    DeviceEventHook hook(hid, inReport, latest, panels);
    hook.setParameterDisplay(&display);
    hook.setButtonCodeSink(&codes);
    showInitialStatus(panels);

    // The model.
    std::array<QString, 5> wantPanels = panels.texts;
    Measurements wantLatest;
    std::size_t wantShown = 0, wantCodes = 0, wantReadNotify = 0;

    while (in.remaining_bytes() > 0) {
        const std::uint8_t op = in.ConsumeIntegral<std::uint8_t>();
        int event = (op & 7) <= 4 ? (op & 7) : in.ConsumeIntegral<int>();
        HidLibrary::Handle h = (op >> 3) & 7;
        if (h == 5) h = 0xFFFFFFFFu;
        if (h == 6) h = in.ConsumeIntegral<HidLibrary::Handle>();
        const bool isController = kDevices.count(h) &&
                                  kDevices.at(h).vendor == ControllerVendorId &&
                                  kDevices.at(h).product == ControllerProductId;

        if (event == NotifyPlugged) {
            hid.name = QByteArray::fromStdString(in.ConsumeRandomLengthString(300));
        } else if (event == NotifyChanged) {
            hid.getHandleResult = in.ConsumeIntegral<HidLibrary::Handle>();
        } else if (event == NotifyRead) {
            if (op & 0x40) {
                hid.nextRead.reset();
            } else {
                Report r{};
                const std::vector<std::uint8_t> bytes = in.ConsumeBytes<std::uint8_t>(r.size());
                std::copy(bytes.begin(), bytes.end(), r.begin());
                // Mostly the known types, so that their decoding gets exercised.
                if (op & 0x80) r[1] = static_cast<std::uint8_t>(1 + (r[1] % 4));
                hid.nextRead = r;
            }
        }

        const Report before = inReport;
        const int readsBefore = hid.reads;
        hook.handle(event, h);

        switch (event) {
            case NotifyPlugged:
                if (!isController) break;
                {
                    const qsizetype end = std::min<qsizetype>(256, hid.name.size());
                    qsizetype zero = hid.name.left(end).indexOf('\0');
                    if (zero < 0) zero = end;
                    wantPanels[0] = QStringLiteral("Устройство подключено");
                    wantPanels[1] = QString::fromUtf8(hid.name.left(zero));
                    wantPanels[2] = QStringLiteral("VID 0x04D8");
                    wantPanels[3] = QStringLiteral("PID 0x003F");
                }
                break;
            case NotifyUnplugged:
                if (!isController) break;
                wantPanels = {QStringLiteral("Устройство отключено"), QString(),
                              QStringLiteral("VID"), QStringLiteral("PID"), QString()};
                wantLatest = Measurements{};
                break;
            case NotifyChanged:
                ++wantReadNotify;
                FUZZ_CHECK(hid.readNotifyCalls.size() == wantReadNotify);
                FUZZ_CHECK(hid.readNotifyCalls.back().first == hid.getHandleResult);
                FUZZ_CHECK(hid.readNotifyCalls.back().second);
                break;
            case NotifyRead: {
                FUZZ_CHECK(hid.reads == readsBefore + (isController ? 1 : 0));
                if (!isController || !hid.nextRead) {
                    // Nothing read, or a failed read: the buffer is not decoded at all.
                    FUZZ_CHECK(inReport == before);
                    break;
                }
                const Report& r = *hid.nextRead;
                FUZZ_CHECK(inReport == r);
                if (r[1] == ReportParameters) {
                    ++wantShown;
                    FUZZ_CHECK(display.shown.size() == wantShown);
                    const ParameterValues& v = display.shown.back();
                    FUZZ_CHECK(near(v.u1Volts, kU1.at(be16(r, 2))));
                    FUZZ_CHECK(near(v.t1Celsius, kCelsius.at(be16(r, 4))));
                    for (std::size_t i = 0; i < 5; ++i) FUZZ_CHECK(v.plain[i] == r[6 + i]);
                    for (std::size_t i = 0; i < 7; ++i)
                        FUZZ_CHECK(v.plain[5 + i] == be16(r, 11 + 2 * i));
                    FUZZ_CHECK(v.plain[12] == r[25] && v.plain[13] == r[26]);
                    FUZZ_CHECK(v.ignoreT == (r[27] != 0));
                } else if (r[1] == ReportTelemetry) {
                    wantLatest.AccVolts = kAcc.at(le16(r, 2));
                    wantLatest.AtxVolts = kAtx.at(le16(r, 4));
                    wantLatest.TemperatureC = kCelsius.at(le16(r, 6));
                } else if (r[1] == ReportButtonCode) {
                    ++wantCodes;
                    FUZZ_CHECK(codes.codes.size() == wantCodes);
                    FUZZ_CHECK(codes.codes.back() == le16(r, 2));
                }
                break;
            }
            default:
                break;
        }
        FUZZ_CHECK(panels.texts == wantPanels);
        FUZZ_CHECK(display.shown.size() == wantShown);
        FUZZ_CHECK(codes.codes.size() == wantCodes);
        FUZZ_CHECK(hid.readNotifyCalls.size() == wantReadNotify);
        expectMeasurements(latest, wantLatest);
    }
    return 0;
}
