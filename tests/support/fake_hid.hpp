#pragma once

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "device/hidapi/device_io.hpp"
#include "device/hidapi/hidapi_backend.hpp"
#include "device/hidapi/hidapi_monitor.hpp"

namespace device::testing {

using Bytes = std::vector<std::uint8_t>;

// The devices the fake system has, and what happened to them. An opened device is a real
// descriptor: one end of a packet socket pair, read by the program's own node code, so
// that reports keep their bounds and too long a report is cut as the kernel cuts it. The
// test holds the other end. A feeder thread may send while the UI thread works.
struct FakeSystem {
    std::mutex mutex;
    std::vector<HidDeviceInfo> attached;
    std::map<std::string, int> feeds;      // the test's end of each open device
    std::map<std::string, int> failReads;  // the next report read there fails with this errno
    std::map<std::string, int> opens, closes;
    std::map<std::string, std::vector<Bytes>> written;
    std::set<std::thread::id> readThreads;
    int writeResult = -2;  // -2: the full length
    bool failOpens = false;
    std::map<std::string, std::function<void()>> accessWatches;  // the nodes watched now

    template <class F>
    auto locked(F f) {
        std::lock_guard lock(mutex);
        return f();
    }
    // One input report to the open device at `path`; false when it is not open or its
    // buffer is full (a report the device would lose).
    bool send(const std::string& path, const Bytes& report) {
        std::lock_guard lock(mutex);
        const auto it = feeds.find(path);
        return it != feeds.end() &&
               ::send(it->second, report.data(), report.size(), MSG_DONTWAIT | MSG_NOSIGNAL) ==
                   static_cast<ssize_t>(report.size());
    }
    // The next read of `path` fails with `error`.
    bool failNextRead(const std::string& path, int error) {
        locked([&] { return failReads[path] = error; });
        return send(path, Bytes{0});
    }
    // The node's attributes change, as when udev applies an ACL.
    void changeAccess(const std::string& path, bool open) {
        std::function<void()> watch = locked([&] {
            failOpens = !open;
            return accessWatches.count(path) ? accessWatches[path] : nullptr;
        });
        if (watch) watch();
    }
    // The device's end goes away, as a node does on unplug.
    void hangUp(const std::string& path) {
        std::lock_guard lock(mutex);
        const auto it = feeds.find(path);
        if (it == feeds.end()) return;
        ::close(it->second);
        feeds.erase(it);
    }
};

class FakeConnection : public HidConnection {
public:
    FakeConnection(std::shared_ptr<FakeSystem> system, std::string path, int fd, int feed)
        : system_(std::move(system)),
          path_(std::move(path)),
          node_(adoptDeviceNode(fd)),
          feed_(feed) {}
    ~FakeConnection() override {
        std::lock_guard lock(system_->mutex);
        ++system_->closes[path_];
        const auto it = system_->feeds.find(path_);
        if (it != system_->feeds.end() && it->second == feed_) {
            ::close(feed_);
            system_->feeds.erase(it);
        }
    }

    int read(std::uint8_t* data, std::size_t size, int timeoutMs, int& error) override {
        const int n = node_->read(data, size, timeoutMs, error);
        std::lock_guard lock(system_->mutex);
        system_->readThreads.insert(std::this_thread::get_id());
        const auto fail = system_->failReads.find(path_);
        if (n <= 0 || fail == system_->failReads.end()) return n;
        error = fail->second;
        system_->failReads.erase(fail);
        return -1;
    }

    int write(const std::uint8_t* data, std::size_t size) override {
        std::lock_guard lock(system_->mutex);
        system_->written[path_].emplace_back(data, data + size);
        return system_->writeResult == -2 ? static_cast<int>(size) : system_->writeResult;
    }

    int descriptor() const override { return node_->descriptor(); }

private:
    std::shared_ptr<FakeSystem> system_;
    std::string path_;
    std::unique_ptr<HidConnection> node_;
    int feed_;
};

class FakeBackend : public HidBackend {
public:
    explicit FakeBackend(std::shared_ptr<FakeSystem> system) : system_(std::move(system)) {}
    std::vector<HidDeviceInfo> enumerate() override {
        return system_->locked([&] { return system_->attached; });
    }
    std::unique_ptr<HidConnection> open(const std::string& path, int& error) override {
        int ends[2];
        {
            std::lock_guard lock(system_->mutex);
            ++system_->opens[path];
            error = system_->failOpens ? EACCES : 0;
            if (system_->failOpens) return nullptr;
            if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, ends) !=
                0) {
                error = errno;
                return nullptr;
            }
            system_->feeds[path] = ends[1];
        }
        return std::make_unique<FakeConnection>(system_, path, ends[0], ends[1]);
    }
    std::unique_ptr<AccessWatch> watchAccess(const std::string& path,
                                             std::function<void()> changed) override {
        struct Watch final : AccessWatch {
            std::function<void()> end;
            ~Watch() override { end(); }
        };
        system_->locked([&] { return system_->accessWatches[path] = std::move(changed); });
        auto watch = std::make_unique<Watch>();
        watch->end = [system = system_, path] {
            system->locked([&] { return system->accessWatches.erase(path); });
        };
        return watch;
    }

private:
    std::shared_ptr<FakeSystem> system_;
};

// Fires when the test says a device came or went.
class FakeMonitor : public DeviceMonitor {
public:
    void start(std::function<void()> changed) override { changed_ = std::move(changed); }
    void fire() {
        if (changed_) changed_();
    }

private:
    std::function<void()> changed_;
};

}  // namespace device::testing
