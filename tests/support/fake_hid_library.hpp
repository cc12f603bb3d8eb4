#pragma once

#include <QByteArray>
#include <algorithm>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "device/hid_library.hpp"

namespace testing_support {

// A controller link whose answers each test sets, to reach cases the emulator never
// produces; it writes down every lookup, read switch, read and write.
class FakeHidLibrary : public device::HidLibrary {
public:
    struct Device {
        int vendor = 0;
        int product = 0;
        QByteArray name;
    };
    struct Sent {
        Handle handle;
        device::Report report;
    };

    FakeHidLibrary() = default;
    // The controller attached under `controller`, which GetHandle returns.
    explicit FakeHidLibrary(Handle controller) : handle(controller) {
        devices[controller] = {device::ControllerVendorId, device::ControllerProductId,
                               "Controller"};
    }

    std::map<Handle, Device> devices;
    Handle handle = 0;  // what GetHandle returns, whatever it is asked
    bool readNotifyResult = true;
    std::deque<std::optional<device::Report>> reads;  // nullopt: that Read fails
    bool record = true;  // off where a benchmark counts memory: only writeCount then
    std::function<void()> onWrite;
    std::map<Handle, int> openErrors;  // errno of a device that may not be opened

    std::vector<std::pair<int, int>> lookups;
    std::vector<std::pair<Handle, bool>> readNotifyCalls;
    std::vector<Handle> readCalls;
    std::vector<Sent> writes;
    int writeCount = 0;

    bool Connect() override { return true; }
    Handle GetHandle(int vendorId, int productId) override {
        if (record) lookups.emplace_back(vendorId, productId);
        return handle;
    }
    int GetVendorID(Handle h) override {
        const auto it = devices.find(h);
        return it == devices.end() ? 0 : it->second.vendor;
    }
    int GetProductID(Handle h) override {
        const auto it = devices.find(h);
        return it == devices.end() ? 0 : it->second.product;
    }
    void GetProductName(Handle h, char* buffer, int size) override {
        // Like a library that fills the whole buffer when the name is long: no zero then.
        const auto it = devices.find(h);
        const QByteArray name = it == devices.end() ? QByteArray() : it->second.name;
        const auto n = static_cast<std::size_t>(std::min<qsizetype>(name.size(), size));
        std::memcpy(buffer, name.constData(), n);
        if (n < static_cast<std::size_t>(size)) buffer[n] = '\0';
    }
    bool SetReadNotify(Handle h, bool on) override {
        if (record) readNotifyCalls.emplace_back(h, on);
        return readNotifyResult;
    }
    bool Read(Handle h, device::Report& report) override {
        if (record) readCalls.push_back(h);
        if (reads.empty()) return false;
        const std::optional<device::Report> next = reads.front();
        reads.pop_front();
        if (!next) return false;
        report = *next;
        return true;
    }
    QString devicePath(Handle h) override { return QStringLiteral("/dev/hidraw%1").arg(h); }
    int openError(Handle h) override {
        const auto it = openErrors.find(h);
        return it == openErrors.end() ? 0 : it->second;
    }
    bool Write(Handle h, const device::Report& report) override {
        ++writeCount;
        if (record) writes.push_back({h, report});
        if (onWrite) onWrite();
        return h != 0;
    }
};

}  // namespace testing_support
