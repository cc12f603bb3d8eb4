// The only file that talks to hidapi.
#include "device/hidapi/hidapi_backend.hpp"

#include <hidapi.h>

#include <QCoreApplication>
#include <QString>

#include <cerrno>

#include "device/hidapi/device_io.hpp"

namespace device {
namespace {

class HidapiConnection final : public HidConnection {
public:
    explicit HidapiConnection(hid_device* device) : device_(device) {}
    ~HidapiConnection() override { hid_close(device_); }
    HidapiConnection(const HidapiConnection&) = delete;
    HidapiConnection& operator=(const HidapiConnection&) = delete;

    int read(std::uint8_t* data, std::size_t size, int timeoutMs, int& error) override {
        const int n = hid_read_timeout(device_, data, size, timeoutMs);
        error = 0;  // hidapi keeps the reason only as text
        return n;
    }
    int write(const std::uint8_t* data, std::size_t size) override {
        return hid_write(device_, data, size);
    }

private:
    hid_device* device_;
};

class HidapiBackend final : public HidBackend {
public:
    HidapiBackend() : initialised_(hid_init() == 0) {
        // Without it no controller is ever found: say why, or "not connected" hides it.
        if (!initialised_)
            qWarning("%s: the HID library did not start: %s",
                     qPrintable(QCoreApplication::applicationName()),
                     qPrintable(QString::fromWCharArray(hid_error(nullptr))));
    }
    ~HidapiBackend() override {
        if (initialised_) hid_exit();
    }
    HidapiBackend(const HidapiBackend&) = delete;
    HidapiBackend& operator=(const HidapiBackend&) = delete;

    std::vector<HidDeviceInfo> enumerate() override {
        std::vector<HidDeviceInfo> result;
        if (!initialised_) return result;
        hid_device_info* list = hid_enumerate(0, 0);
        // An empty list is either no devices or a failure; left unsaid, a failure looks like
        // "not connected" for ever. Said once: the listing repeats every second.
        if (!list && !listingFailureShown_) {
            const QString why = listingFailure(QString::fromWCharArray(hid_error(nullptr)));
            if (!why.isEmpty()) {
                listingFailureShown_ = true;
                qWarning("%s: the HID devices could not be listed: %s",
                         qPrintable(QCoreApplication::applicationName()), qPrintable(why));
            }
        }
        for (const hid_device_info* d = list; d; d = d->next) {
            if (!d->path) continue;
            HidDeviceInfo info;
            info.path = d->path;
            info.vendorId = d->vendor_id;
            info.productId = d->product_id;
            if (d->product_string) info.productName = QString::fromWCharArray(d->product_string);
            result.push_back(std::move(info));
        }
        hid_free_enumeration(list);
        return result;
    }

    std::unique_ptr<HidConnection> open(const std::string& path, int& error) override {
        if (!initialised_) {
            error = EIO;
            return nullptr;
        }
        return openDevice(path, error);
    }

    std::unique_ptr<AccessWatch> watchAccess(const std::string& path,
                                             std::function<void()> changed) override {
        return watchNodeAccess(path, std::move(changed));
    }

private:
    bool initialised_;
    bool listingFailureShown_ = false;
};

}  // namespace

QString listingFailure(const QString& hidError) {
    // hidapi 0.13 and 0.14, on Windows and Linux alike, set these two after an empty listing
    // that did not fail; anything else is the reason it failed.
    if (hidError == QLatin1String("Success") ||
        hidError == QLatin1String("No HID devices found in the system."))
        return {};
    return hidError.isEmpty() ? QStringLiteral("no reason given") : hidError;
}

std::unique_ptr<HidConnection> openWithHidapi(const std::string& path, int& error) {
    hid_device* device = hid_open_path(path.c_str());
    // hidapi keeps the reason only as text.
    error = device ? 0 : EIO;
    return device ? std::make_unique<HidapiConnection>(device) : nullptr;
}

std::unique_ptr<HidBackend> makeHidapiBackend() {
    return std::make_unique<HidapiBackend>();
}

}  // namespace device
