// The controller's side of a USB HID gadget, for the kernel lane: our ControllerEmulator
// answers what the host writes to the gadget's /dev/hidg0, so the real programs in the
// guest talk to the kernel's own hidraw node with the controller's protocol, and nobody
// keeps a second copy of it.
//
//   kernel_controller --device /dev/hidg0 --log FILE --control FIFO [--mute CMD]...
//                     [--rate N] [--udc FILE]
//
// ACTION lines on FIFO:
//   press CODE COUNT   COUNT wheel-button reports with CODE, at the rate (default 100/s)
//   hold CODE          reports with CODE until release
//   release
//   mute CMD           stay silent on command CMD (1 or 3); unmute CMD answers again
//   unplug, plug       the gadget unbound from its UDC (write "" to the gadget's UDC FILE)
//                      or bound to the first UDC of /sys/class/udc again
//   unplug-on CMD      unplug as soon as command CMD arrives: while the host still waits
//                      for the answer
//   mark               only logs "MS mark": the controller's clock, for the scripts
//   quit
//
// Log, one line each, MS since the start: "MS out LEN HEX" (every report read from the
// host, with its length), "MS in LEN HEX" (every report sent), "MS error WHAT: WHY",
// "MS ready", "MS do ACTION".
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSocketNotifier>
#include <QStringList>
#include <QTextStream>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <deque>
#include <memory>
#include <set>
#include <vector>

#include "emulator/controller_emulator.hpp"

namespace {

constexpr qsizetype kPayload = 64;  // reports on the gadget carry no report number
constexpr std::size_t kQueueLimit = 1024;
constexpr int kReopenMs = 100;

class GadgetController : public QObject {
public:
    GadgetController(QString device, const QString& logPath, const QString& control,
                     std::set<int> mute, int rate, QString udc)
        : device_(std::move(device)), mute_(std::move(mute)), udc_(std::move(udc)), log_(logPath) {
        clock_.start();
        if (!log_.open(QIODevice::Append | QIODevice::Text)) fatal("cannot open " + logPath);
        emulator_.setRate(rate);
        connect(&emulator_, &emulator::ControllerEmulator::inputReport, this,
                [this](const device::Report& r) {
                    if (queue_.size() < kQueueLimit)
                        queue_.emplace_back(r.begin() + 1, r.begin() + 1 + kPayload);
                    flush();
                });
        openControl(control);
        reopen_.setSingleShot(true);
        reopen_.setInterval(kReopenMs);
        connect(&reopen_, &QTimer::timeout, this, [this] { openDevice(); });
        openDevice();
        line("ready");
    }

private:
    [[noreturn]] void fatal(const QString& why) {
        std::fprintf(stderr, "kernel_controller: %s\n", qPrintable(why));
        std::exit(2);
    }

    void line(const QString& text) {
        log_.write(QStringLiteral("%1 %2\n").arg(clock_.elapsed()).arg(text).toUtf8());
        log_.flush();
    }
    void report(const char* way, const std::uint8_t* data, qsizetype n) {
        line(QStringLiteral("%1 %2 %3")
                 .arg(QLatin1String(way))
                 .arg(n)
                 .arg(QString::fromLatin1(
                     QByteArray(reinterpret_cast<const char*>(data), n).toHex(' '))));
    }
    void error(const QString& what) {
        line(QStringLiteral("error %1: %2").arg(what, QString::fromLocal8Bit(strerror(errno))));
    }

    // The node stays while the gadget is unbound, but fails until the host enumerates the
    // gadget again: errors close it, and it is opened afresh a little later.
    void openDevice() {
        fd_ = ::open(device_.toLocal8Bit().constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        if (fd_ < 0) {
            reopen_.start();
            return;
        }
        readable_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
        writable_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Write);
        writable_->setEnabled(false);
        connect(readable_.get(), &QSocketNotifier::activated, this, [this] { readReports(); });
        connect(writable_.get(), &QSocketNotifier::activated, this, [this] { flush(); });
    }
    void closeDevice() {
        readable_.reset();
        writable_.reset();
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
        queue_.clear();
        reopen_.start();
    }

    void readReports() {
        std::uint8_t data[256];
        for (;;) {
            const ssize_t n = ::read(fd_, data, sizeof data);
            if (n < 0) {
                if (errno == EAGAIN || errno == EINTR) return;
                error(QStringLiteral("read"));
                closeDevice();
                return;
            }
            if (n == 0) return;
            report("out", data, n);
            device::Report r{};
            std::memcpy(r.data() + 1, data, std::min<std::size_t>(n, r.size() - 1));
            if (r[1] == unplugOn_) unplug();
            if (mute_.count(r[1]) == 0) emulator_.receive(r);
        }
    }

    void flush() {
        while (fd_ >= 0 && !queue_.empty()) {
            const auto& r = queue_.front();
            const ssize_t n = ::write(fd_, r.data(), r.size());
            if (n < 0 && errno == EAGAIN) {
                writable_->setEnabled(true);
                return;
            }
            if (n < 0) {
                error(QStringLiteral("write"));
                closeDevice();
                return;
            }
            report("in", r.data(), n);
            queue_.pop_front();
        }
        if (writable_) writable_->setEnabled(false);
    }

    void unplug() {
        unplugOn_ = -1;
        bind(QByteArray("\n"), "unplugged");
    }
    void plug() {
        QByteArray name;
        const QStringList udcs =
            QDir(QStringLiteral("/sys/class/udc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        if (!udcs.isEmpty()) name = udcs.first().toLocal8Bit() + '\n';
        bind(name, "plugged");
    }
    // The log line comes after the write has returned: the host has seen the change.
    void bind(const QByteArray& udcName, const char* done) {
        QFile udc(udc_);
        if (udcName.isEmpty() || !udc.open(QIODevice::WriteOnly) ||
            udc.write(udcName) != udcName.size() || !udc.flush())
            line("error " + QString::fromLatin1(done) + ": cannot write " + udc_);
        else
            line(QString::fromLatin1(done));
    }

    void openControl(const QString& path) {
        const QByteArray p = path.toLocal8Bit();
        if (::mkfifo(p.constData(), 0600) != 0 && errno != EEXIST) fatal("cannot make " + path);
        // Open for writing too, so a writer that comes and goes never reads as the end.
        controlFd_ = ::open(p.constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        if (controlFd_ < 0) fatal("cannot open " + path);
        control_ = std::make_unique<QSocketNotifier>(controlFd_, QSocketNotifier::Read);
        connect(control_.get(), &QSocketNotifier::activated, this, [this] {
            char buffer[256];
            const ssize_t n = ::read(controlFd_, buffer, sizeof buffer);
            if (n <= 0) return;
            pending_.append(buffer, n);
            for (qsizetype eol; (eol = pending_.indexOf('\n')) >= 0;) {
                const QString action = QString::fromLocal8Bit(pending_.left(eol)).trimmed();
                pending_.remove(0, eol + 1);
                if (!action.isEmpty()) act(action);
            }
        });
    }

    void act(const QString& action) {
        line("do " + action);
        const QStringList w = action.split(' ', Qt::SkipEmptyParts);
        const auto number = [&](int i) { return w.size() > i ? w[i].toInt() : -1; };
        if (w[0] == "press" && w.size() == 3)
            emulator_.burst(number(1), number(2));
        else if (w[0] == "hold" && w.size() == 2)
            emulator_.hold(number(1));
        else if (w[0] == "release")
            emulator_.release();
        else if (w[0] == "mute" && w.size() == 2)
            mute_.insert(number(1));
        else if (w[0] == "unmute" && w.size() == 2)
            mute_.erase(number(1));
        else if (w[0] == "unplug")
            unplug();
        else if (w[0] == "plug")
            plug();
        else if (w[0] == "mark")
            ;  // the "do mark" line is all
        else if (w[0] == "unplug-on" && w.size() == 2)
            unplugOn_ = number(1);
        else if (w[0] == "quit")
            QCoreApplication::quit();
        else
            line("error unknown action");
    }

    QString device_;
    std::set<int> mute_;
    QString udc_;
    int unplugOn_ = -1;
    QFile log_;
    QElapsedTimer clock_;
    emulator::ControllerEmulator emulator_;
    int fd_ = -1;
    std::unique_ptr<QSocketNotifier> readable_;
    std::unique_ptr<QSocketNotifier> writable_;
    std::deque<std::vector<std::uint8_t>> queue_;
    QTimer reopen_;
    int controlFd_ = -1;
    std::unique_ptr<QSocketNotifier> control_;
    QByteArray pending_;
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QString device = QStringLiteral("/dev/hidg0"), log, control, udc;
    std::set<int> mute;
    int rate = 100;
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString value = i + 1 < args.size() ? args[i + 1] : QString();
        if (args[i] == "--device")
            device = value;
        else if (args[i] == "--log")
            log = value;
        else if (args[i] == "--control")
            control = value;
        else if (args[i] == "--mute")
            mute.insert(value.toInt());
        else if (args[i] == "--udc")
            udc = value;
        else if (args[i] == "--rate")
            rate = value.toInt();
        else {
            std::fprintf(stderr, "kernel_controller: unknown argument %s\n", qPrintable(args[i]));
            return 2;
        }
        ++i;
    }
    if (log.isEmpty() || control.isEmpty()) {
        std::fprintf(stderr,
                     "usage: kernel_controller [--device NODE] --log FILE --control FIFO "
                     "[--mute CMD]... [--rate N] [--udc FILE]\n");
        return 2;
    }
    GadgetController controller(device, log, control, mute, rate, udc);
    return app.exec();
}
