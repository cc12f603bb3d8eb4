// The report floor: the least a Qt program can spend on a device's reports. It reads the
// node on its main thread, one read per wake of a QSocketNotifier, and does nothing else.
// bench/device/mock_load.sh runs it on the mock controller beside drevonix.
//
//   bench_report_floor NODE COUNT
//
// Ends after COUNT reports, or when the node hangs up; prints how many it read.
#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fputs("usage: bench_report_floor NODE COUNT\n", stderr);
        return 2;
    }
    const long count = std::strtol(argv[2], nullptr, 10);
    const int fd = ::open(argv[1], O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 || count <= 0) {
        std::perror(argv[1]);
        return 2;
    }
    long reports = 0;
    QSocketNotifier notifier(fd, QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, [&] {
        std::array<unsigned char, 64> report;
        const ssize_t n = ::read(fd, report.data(), report.size());
        if (n > 0 && ++reports < count) return;
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) return;
        if (n <= 0)
            std::fprintf(stderr, "bench_report_floor: %s\n",
                         n < 0 ? std::strerror(errno) : "end of file");
        notifier.setEnabled(false);
        app.quit();
    });
    app.exec();
    std::printf("read %ld reports\n", reports);
    ::close(fd);
    return 0;
}
