// Windows: hidapi's handle, read by one thread per device, since there is no descriptor to
// watch. The thread sleeps in the read until a report comes. hidapi gives no way to cancel
// a pending read from another thread, so the read still has a bound: stopping a reader waits
// for at most one, and the program stops reading only when it ends or the device has gone
// (a gone device's read fails at once).
#include <QCoreApplication>
#include <QMetaObject>
#include <QTimer>
#include <atomic>
#include <system_error>
#include <thread>

#include "device/hidapi/device_io.hpp"

namespace device {
namespace {

// How long one read waits before the thread looks at its stop flag again: a wake-up
// every half second while the controller is silent, and at most that at the program's end.
constexpr int ReadTimeoutMs = 500;
// Reports handed over but not yet taken on the UI thread; more are dropped until it
// catches up.
constexpr int MostInFlight = 4096;

class ThreadReader final : public ReportReader {
public:
    ThreadReader(std::shared_ptr<HidConnection> connection, Handlers handlers)
        : connection_(std::move(connection)), handlers_(std::move(handlers)) {
        thread_ = std::thread([this] { run(); });
    }
    ~ThreadReader() override {
        stop_ = true;
        thread_.join();
    }
    ThreadReader(const ThreadReader&) = delete;
    ThreadReader& operator=(const ThreadReader&) = delete;

private:
    void run() {
        while (!stop_) {
            Report report{};
            int error = 0;
            const int n =
                connection_->read(report.data() + 1, report.size() - 1, ReadTimeoutMs, error);
            if (n == 0) continue;
            if (n < 0) {
                post([this, error] { handlers_.failed(error); });
                return;
            }
            if (inFlight_ >= MostInFlight) continue;
            ++inFlight_;
            post([this, report] {
                --inFlight_;
                handlers_.report(report);
            });
        }
    }

    // Runs `f` on the UI thread unless this reader is gone by then. The application object
    // receives the call, so that a handler may destroy the reader.
    template <class F>
    void post(F f) {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [alive = token_, f = std::move(f)] {
                if (!alive.expired()) f();
            },
            Qt::QueuedConnection);
    }

    std::shared_ptr<HidConnection> connection_;
    Handlers handlers_;
    std::shared_ptr<const char> alive_ = std::make_shared<const char>();
    std::weak_ptr<const char> token_ = alive_;
    std::atomic<bool> stop_{false};
    std::atomic<int> inFlight_{0};
    std::thread thread_;
};

}  // namespace

std::unique_ptr<HidConnection> openDevice(const std::string& path, int& error) {
    return openWithHidapi(path, error);
}

// Nothing announces a change of a device's access here: a look every second, only while
// a device is refused.
std::unique_ptr<AccessWatch> watchNodeAccess(const std::string&, std::function<void()> changed) {
    struct Timed final : AccessWatch {
        QTimer timer;
    };
    auto watch = std::make_unique<Timed>();
    QObject::connect(&watch->timer, &QTimer::timeout, &watch->timer, std::move(changed));
    watch->timer.start(1000);
    return watch;
}

std::unique_ptr<ReportReader> startReportReader(std::shared_ptr<HidConnection> connection,
                                                ReportReader::Handlers handlers) {
    if (!connection) return nullptr;
    try {
        return std::make_unique<ThreadReader>(std::move(connection), std::move(handlers));
    } catch (const std::system_error&) {
        return nullptr;
    }
}

}  // namespace device
