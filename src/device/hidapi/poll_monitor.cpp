#include <QTimer>

#include "device/hidapi/hidapi_monitor.hpp"

namespace device {
namespace {

class PollingMonitor final : public DeviceMonitor {
public:
    explicit PollingMonitor(int intervalMs) { timer_.setInterval(intervalMs); }

    void start(std::function<void()> changed) override {
        QObject::connect(&timer_, &QTimer::timeout, &timer_, std::move(changed));
        timer_.start();
    }

private:
    QTimer timer_;
};

}  // namespace

std::unique_ptr<DeviceMonitor> makePollingMonitor(int intervalMs) {
    return std::make_unique<PollingMonitor>(intervalMs);
}

}  // namespace device
