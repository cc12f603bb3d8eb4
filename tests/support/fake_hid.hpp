#pragma once

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "device/hidapi/hidapi_backend.hpp"
#include "device/hidapi/hidapi_monitor.hpp"

namespace device::testing {

using Bytes = std::vector<std::uint8_t>;

// The devices the fake system has, and what happened to them. Shared with reader threads.
struct FakeSystem {
    std::mutex mutex;
    std::condition_variable wake;
    std::vector<HidDeviceInfo> attached;
    std::map<std::string, std::deque<Bytes>> incoming;  // input reports waiting per path
    std::set<std::string> failReads;                    // next read of that path fails
    std::map<std::string, int> opens, closes;
    std::map<std::string, std::vector<Bytes>> written;
    std::set<std::thread::id> readThreads;
    int writeResult = -2;  // -2: the full length
    bool failOpens = false;
    bool hangReads = false;  // reads ignore their timeout until released
    bool released = false;
    int hanging = 0;  // reads waiting for the release

    template <class F>
    auto locked(F f) {
        std::lock_guard lock(mutex);
        return f();
    }
    void send(const std::string& path, Bytes report) {
        locked([&] { incoming[path].push_back(std::move(report)); });
        wake.notify_all();
    }
};

class FakeConnection : public HidConnection {
public:
    FakeConnection(std::shared_ptr<FakeSystem> system, std::string path)
        : system_(std::move(system)), path_(std::move(path)) {}
    ~FakeConnection() override {
        system_->locked([&] { return ++system_->closes[path_]; });
    }

    int read(std::uint8_t* data, std::size_t size, int timeoutMs) override {
        std::unique_lock lock(system_->mutex);
        system_->readThreads.insert(std::this_thread::get_id());
        auto& queue = system_->incoming[path_];
        if (system_->hangReads) {
            ++system_->hanging;
            system_->wake.wait(lock, [&] { return system_->released; });
            --system_->hanging;
            return 0;
        }
        system_->wake.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                               [&] { return !queue.empty() || system_->failReads.count(path_); });
        if (system_->failReads.erase(path_)) return -1;
        if (queue.empty()) return 0;
        Bytes report = std::move(queue.front());
        queue.pop_front();
        const std::size_t n = std::min(size, report.size());
        std::copy_n(report.begin(), n, data);
        return static_cast<int>(n);
    }

    int write(const std::uint8_t* data, std::size_t size) override {
        std::lock_guard lock(system_->mutex);
        system_->written[path_].emplace_back(data, data + size);
        return system_->writeResult == -2 ? static_cast<int>(size) : system_->writeResult;
    }

private:
    std::shared_ptr<FakeSystem> system_;
    std::string path_;
};

class FakeBackend : public HidBackend {
public:
    explicit FakeBackend(std::shared_ptr<FakeSystem> system) : system_(std::move(system)) {}
    std::vector<HidDeviceInfo> enumerate() override {
        return system_->locked([&] { return system_->attached; });
    }
    std::unique_ptr<HidConnection> open(const std::string& path, int& error) override {
        std::lock_guard lock(system_->mutex);
        ++system_->opens[path];
        error = system_->failOpens ? EACCES : 0;
        if (system_->failOpens) return nullptr;
        return std::make_unique<FakeConnection>(system_, path);
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
