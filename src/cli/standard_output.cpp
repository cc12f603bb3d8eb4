#include "cli/standard_output.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

namespace cli {

StandardOutput::StandardOutput() {
    open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    stream_.setDevice(this);
}

void StandardOutput::reserveClosedDescriptors() {
#ifndef _WIN32
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // The lowest free descriptor is this one: every lower one is open.
        const int null = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (null >= 0 && null != fd) ::close(null);
        if (fd == 1) closedAtStart_ = true;
    }
#endif
}

void StandardOutput::failWith(int error) {
    if (failure_.isEmpty()) failure_ = QString::fromLocal8Bit(std::strerror(error));
}

qint64 StandardOutput::writeData(const char* data, qint64 size) {
    // After finish() stdout is closed: nothing may reach the stream any more.
    if (!failure_.isEmpty() || finished_) return -1;
    if (closedAtStart_) {
        failure_ = QStringLiteral("it is closed");
        return -1;
    }
    // Through stdio, which keeps the platform's line ends (CR LF on a Windows console).
    errno = 0;
    const std::size_t n = std::fwrite(data, 1, static_cast<std::size_t>(size), stdout);
    if (n != static_cast<std::size_t>(size) || std::fflush(stdout) != 0) {
        failWith(errno ? errno : EIO);
        return -1;
    }
    return size;
}

bool StandardOutput::ok() {
    stream_.flush();
    if (stream_.status() != QTextStream::Ok && failure_.isEmpty()) failWith(EIO);
    return failure_.isEmpty();
}

bool StandardOutput::finish() {
    const bool flushed = ok();
    // The close reports what a network file system could only tell then.
    errno = 0;
    finished_ = true;
    if (std::fclose(stdout) != 0 && flushed) failWith(errno ? errno : EIO);
    return failure_.isEmpty();
}

}  // namespace cli
