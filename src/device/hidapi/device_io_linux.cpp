// Linux: the hidraw node, opened by us and read on the UI thread whenever it is readable.
// hidapi lists the devices, but it gives no way to its descriptor, so a node opened through
// it could only be read by a thread that waits; its own reads and writes on Linux are the
// same plain calls as here.
#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>

#include "device/hidapi/device_io.hpp"

namespace device {
namespace {

class DeviceNode final : public HidConnection {
public:
    explicit DeviceNode(int fd) : fd_(fd) {}
    ~DeviceNode() override { ::close(fd_); }
    DeviceNode(const DeviceNode&) = delete;
    DeviceNode& operator=(const DeviceNode&) = delete;

    int read(std::uint8_t* data, std::size_t size, int timeoutMs, int& error) override {
        error = 0;
        if (timeoutMs != 0) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, timeoutMs) == 0) return 0;
        }
        for (;;) {
            const ssize_t n = ::read(fd_, data, size);
            if (n > 0) return static_cast<int>(n);
            if (n == 0) {
                error = ENODEV;  // an end of file: the other end has gone
                return -1;
            }
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
            error = errno;
            return -1;
        }
    }

    int write(const std::uint8_t* data, std::size_t size) override {
        for (;;) {
            const ssize_t n = ::write(fd_, data, size);
            if (n >= 0 || errno != EINTR) return static_cast<int>(n);
        }
    }

    int descriptor() const override { return fd_; }

private:
    int fd_;
};

class NodeReader final : public ReportReader {
public:
    NodeReader(std::shared_ptr<HidConnection> connection, Handlers handlers)
        : connection_(std::move(connection)),
          handlers_(std::move(handlers)),
          notifier_(connection_->descriptor(), QSocketNotifier::Read) {
        QObject::connect(&notifier_, &QSocketNotifier::activated, &notifier_,
                         [this] { readWaiting(); });
    }

private:
    // The kernel keeps up to 64 reports per open node. Taking at most that many per wake
    // lets the event loop run in between, even if the device never pauses.
    static constexpr int MostPerWake = 64;

    void readWaiting() {
        const std::weak_ptr<const char> alive = alive_;
        for (int i = 0; i < MostPerWake; ++i) {
            // Unnumbered reports arrive without their report number: 0 goes in front, and
            // the rest stays zero. The buffer is never smaller than a report: the kernel
            // drops whatever does not fit.
            Report report{};
            int error = 0;
            const int n = connection_->read(report.data() + 1, report.size() - 1, 0, error);
            if (n == 0) return;
            if (n < 0) {
                // A node that has gone stays readable: stop watching before anyone is told.
                notifier_.setEnabled(false);
                handlers_.failed(error);
                return;
            }
            handlers_.report(report);
            if (alive.expired() || !readable()) return;
        }
    }

    // Whether more is waiting: one poll, where a read that finds nothing would cost a
    // failed call (and on a mocked node a round of the mock's own checks).
    bool readable() const {
        pollfd p{connection_->descriptor(), POLLIN, 0};
        return ::poll(&p, 1, 0) > 0;
    }

    std::shared_ptr<HidConnection> connection_;
    Handlers handlers_;
    QSocketNotifier notifier_;
    std::shared_ptr<const char> alive_ = std::make_shared<const char>();
};

// udev and logind grant access by changing the node's owner, mode or ACL: each is an
// attribute change, which inotify reports without anything polling. The node's folder is
// watched, not the node: inotify needs read access to what it watches, which is just what
// a refused node does not give.
class AttributeWatch final : public AccessWatch {
public:
    AttributeWatch(int fd, std::string name, std::function<void()> changed)
        : fd_(fd),
          name_(std::move(name)),
          changed_(std::move(changed)),
          notifier_(fd, QSocketNotifier::Read) {
        QObject::connect(&notifier_, &QSocketNotifier::activated, &notifier_, [this] {
            // One look covers every event that is waiting; other nodes' changes are not ours.
            alignas(inotify_event) char events[4096];
            bool ours = false;
            for (ssize_t n; (n = ::read(fd_, events, sizeof events)) > 0;) {
                for (const char* p = events; p < events + n;) {
                    const auto* e = reinterpret_cast<const inotify_event*>(p);
                    ours = ours || (e->len && name_ == e->name);
                    p += sizeof(inotify_event) + e->len;
                }
            }
            if (ours) changed_();
        });
    }
    ~AttributeWatch() override {
        notifier_.setEnabled(false);
        ::close(fd_);
    }
    AttributeWatch(const AttributeWatch&) = delete;
    AttributeWatch& operator=(const AttributeWatch&) = delete;

private:
    int fd_;
    std::string name_;
    std::function<void()> changed_;
    QSocketNotifier notifier_;
};

}  // namespace

std::unique_ptr<AccessWatch> watchNodeAccess(const std::string& path,
                                             std::function<void()> changed) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos || slash + 1 == path.size()) return nullptr;
    const int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd < 0) return nullptr;
    if (::inotify_add_watch(fd, slash ? path.substr(0, slash).c_str() : "/", IN_ATTRIB) < 0) {
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<AttributeWatch>(fd, path.substr(slash + 1), std::move(changed));
}

std::unique_ptr<HidConnection> adoptDeviceNode(int fd) {
    return std::make_unique<DeviceNode>(fd);
}

// The path is one hidapi listed among the hidraw nodes: nothing more to ask of it.
std::unique_ptr<HidConnection> openDevice(const std::string& path, int& error) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = errno;
        return nullptr;
    }
    error = 0;
    return adoptDeviceNode(fd);
}

std::unique_ptr<ReportReader> startReportReader(std::shared_ptr<HidConnection> connection,
                                                ReportReader::Handlers handlers) {
    if (!connection || connection->descriptor() < 0) return nullptr;
    return std::make_unique<NodeReader>(std::move(connection), std::move(handlers));
}

}  // namespace device
