// The only file that talks to hidapi.
#include "device/hidapi/hidapi_backend.hpp"

#include <hidapi.h>

#include <cerrno>

#ifdef __linux__
#include <fcntl.h>
#include <unistd.h>
#endif

namespace device {
namespace {

class HidapiConnection final : public HidConnection {
public:
    explicit HidapiConnection(hid_device* device) : device_(device) {}
    ~HidapiConnection() override { hid_close(device_); }
    HidapiConnection(const HidapiConnection&) = delete;
    HidapiConnection& operator=(const HidapiConnection&) = delete;

    int read(std::uint8_t* data, std::size_t size, int timeoutMs) override {
        return hid_read_timeout(device_, data, size, timeoutMs);
    }
    int write(const std::uint8_t* data, std::size_t size) override {
        return hid_write(device_, data, size);
    }

private:
    hid_device* device_;
};

class HidapiBackend final : public HidBackend {
public:
    HidapiBackend() : initialised_(hid_init() == 0) {}
    ~HidapiBackend() override {
        if (initialised_) hid_exit();
    }
    HidapiBackend(const HidapiBackend&) = delete;
    HidapiBackend& operator=(const HidapiBackend&) = delete;

    std::vector<HidDeviceInfo> enumerate() override {
        std::vector<HidDeviceInfo> result;
        if (!initialised_) return result;
        hid_device_info* list = hid_enumerate(0, 0);
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
        error = EIO;
        if (!initialised_) return nullptr;
        hid_device* device = hid_open_path(path.c_str());
        if (!device) {
            error = whyNotOpened(path);
            return nullptr;
        }
        error = 0;
        return std::make_unique<HidapiConnection>(device);
    }

private:
    // hidapi keeps the reason only as text, and its own error reporting may change errno
    // on the way out: ask the system again. Elsewhere a path is no file name.
    static int whyNotOpened(const std::string& path) {
#ifdef __linux__
        const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
        if (fd < 0) return errno;
        ::close(fd);
        return ENOTTY;  // opened, but not a HID device that hidapi could use
#else
        (void)path;
        return EIO;
#endif
    }

    bool initialised_;
};

}  // namespace

std::unique_ptr<HidBackend> makeHidapiBackend() {
    return std::make_unique<HidapiBackend>();
}

}  // namespace device
