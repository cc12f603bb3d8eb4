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
#include "support/device_views.hpp"
#include "support/fake_hid_library.hpp"

using namespace device;

namespace {

// Handle 0 is what a library says for "no device"; the others cover the controller, a
// device sharing its vendor, one sharing its product, and a stranger.
void addDevices(testing_support::FakeHidLibrary& hid) {
    hid.devices[1] = {ControllerVendorId, ControllerProductId, {}};
    hid.devices[2] = {ControllerVendorId, ControllerProductId + 1, {}};
    hid.devices[3] = {0x046D, ControllerProductId, {}};
    hid.devices[4] = {0x046D, 0xC52B, {}};
    hid.devices[0xFFFFFFFFu] = {ControllerVendorId, ControllerProductId, {}};
}

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
    testing_support::FakeHidLibrary hid;
    addDevices(hid);
    Report inReport{};
    Measurements latest;
    testing_support::FakeStatusPanels panels;
    testing_support::ShownParameters display;
    testing_support::RecordedCodes codes;
    DeviceEventHook hook(hid, inReport, latest, panels);
    hook.setParameterDisplay(&display);
    hook.setButtonCodeSink(&codes);
    showInitialStatus(panels);

    // The model.
    std::array<QString, 5> wantPanels = panels.texts;
    Measurements wantLatest;
    std::size_t wantShown = 0, wantCodes = 0, wantReadNotify = 0;
    QByteArray name;                 // the product name of the last plug
    std::optional<Report> nextRead;  // nullopt: the Read fails and leaves the buffer

    while (in.remaining_bytes() > 0) {
        const std::uint8_t op = in.ConsumeIntegral<std::uint8_t>();
        int event = (op & 7) <= 4 ? (op & 7) : in.ConsumeIntegral<int>();
        HidLibrary::Handle h = (op >> 3) & 7;
        if (h == 5) h = 0xFFFFFFFFu;
        if (h == 6) h = in.ConsumeIntegral<HidLibrary::Handle>();
        const bool isController =
            hid.GetVendorID(h) == ControllerVendorId && hid.GetProductID(h) == ControllerProductId;

        if (event == NotifyPlugged) {
            name = QByteArray::fromStdString(in.ConsumeRandomLengthString(300));
            if (hid.devices.count(h)) hid.devices[h].name = name;
        } else if (event == NotifyChanged) {
            hid.handle = in.ConsumeIntegral<HidLibrary::Handle>();
        } else if (event == NotifyRead) {
            hid.reads.clear();
            if (op & 0x40) {
                nextRead.reset();
            } else {
                Report r{};
                const std::vector<std::uint8_t> bytes = in.ConsumeBytes<std::uint8_t>(r.size());
                std::copy(bytes.begin(), bytes.end(), r.begin());
                // Mostly the known types, so that their decoding gets exercised.
                if (op & 0x80) r[1] = static_cast<std::uint8_t>(1 + (r[1] % 4));
                nextRead = r;
            }
            hid.reads.push_back(nextRead);
        }

        const Report before = inReport;
        const std::size_t readsBefore = hid.readCalls.size();
        hook.handle(event, h);

        switch (event) {
            case NotifyPlugged:
                if (!isController) break;
                {
                    const qsizetype end = std::min<qsizetype>(256, name.size());
                    qsizetype zero = name.left(end).indexOf('\0');
                    if (zero < 0) zero = end;
                    wantPanels[0] = QStringLiteral("Устройство подключено");
                    wantPanels[1] = QString::fromUtf8(name.left(zero));
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
                FUZZ_CHECK(hid.readNotifyCalls.back().first == hid.handle);
                FUZZ_CHECK(hid.readNotifyCalls.back().second);
                break;
            case NotifyRead: {
                FUZZ_CHECK(hid.readCalls.size() == readsBefore + (isController ? 1 : 0));
                if (!isController || !nextRead) {
                    // Nothing read, or a failed read: the buffer is not decoded at all.
                    FUZZ_CHECK(inReport == before);
                    break;
                }
                const Report& r = *nextRead;
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
        for (int written : panels.writes) FUZZ_CHECK(written >= 0 && written <= 3);
        panels.writes.clear();
        FUZZ_CHECK(panels.texts == wantPanels);
        FUZZ_CHECK(display.shown.size() == wantShown);
        FUZZ_CHECK(codes.codes.size() == wantCodes);
        FUZZ_CHECK(hid.readNotifyCalls.size() == wantReadNotify);
        expectMeasurements(latest, wantLatest);
    }
    return 0;
}
