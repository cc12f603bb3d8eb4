#include "keymap/emitters/uinput_emitter.hpp"

#include <QCoreApplication>

#include <fcntl.h>
#include <linux/input.h>
#include <linux/uinput.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "keymap/vk_table.hpp"

namespace keymap {

FdUinputIo::~FdUinputIo() {
    if (fd_ >= 0) ::close(fd_);
}

int FdUinputIo::control(unsigned long request, unsigned long arg) {
    return ::ioctl(fd_, request, arg);
}

bool FdUinputIo::write(const void* data, std::size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd_, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

std::unique_ptr<UinputEmitter> UinputEmitter::open(const QString& path, QString* error) {
    const int fd = ::open(path.toLocal8Bit().constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (error)
            *error =
                QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return nullptr;
    }
    return create(std::make_unique<FdUinputIo>(fd), error);
}

// The setup written out as the original uinput protocol (event bits by ioctl, then the
// device record by write), which every kernel with uinput accepts.
std::unique_ptr<UinputEmitter> UinputEmitter::create(std::unique_ptr<UinputIo> io, QString* error) {
    auto fail = [error](const char* what) -> std::unique_ptr<UinputEmitter> {
        if (error)
            *error = QStringLiteral("uinput %1: %2")
                         .arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno)));
        return nullptr;
    };

    if (io->control(UI_SET_EVBIT, EV_KEY) < 0) return fail("UI_SET_EVBIT");
    std::set<int> codes;
    for (const vk::KeyRow& r : vk::rows()) codes.insert(r.evdev);
    for (int code : codes)
        if (io->control(UI_SET_KEYBIT, static_cast<unsigned long>(code)) < 0)
            return fail("UI_SET_KEYBIT");

    uinput_user_dev dev;
    std::memset(&dev, 0, sizeof dev);
    std::strncpy(dev.name, DeviceName, UINPUT_MAX_NAME_SIZE - 1);
    dev.id.bustype = BUS_VIRTUAL;
    dev.id.version = 1;
    if (!io->write(&dev, sizeof dev)) return fail("device record");
    if (io->control(UI_DEV_CREATE, 0) < 0) return fail("UI_DEV_CREATE");

    return std::unique_ptr<UinputEmitter>(new UinputEmitter(std::move(io)));
}

UinputEmitter::~UinputEmitter() {
    io_->control(UI_DEV_DESTROY, 0);
}

void UinputEmitter::writeEvent(std::uint16_t type, std::uint16_t code, std::int32_t value) {
    input_event ev;
    std::memset(&ev, 0, sizeof ev);  // the kernel stamps the time
    ev.type = type;
    ev.code = code;
    ev.value = value;
    io_->write(&ev, sizeof ev);
}

void UinputEmitter::key(std::uint8_t vk, bool pressed) {
    const std::uint16_t code = vk::evdevFromVk(vk);
    if (code == 0) {
        if (reportedUnknown_.insert(vk).second)
            qWarning("%s: virtual key %d has no Linux key code; not sent",
                     qPrintable(QCoreApplication::applicationName()), vk);
        return;
    }
    writeEvent(EV_KEY, code, pressed ? 1 : 0);
    writeEvent(EV_SYN, SYN_REPORT, 0);
}

}  // namespace keymap
