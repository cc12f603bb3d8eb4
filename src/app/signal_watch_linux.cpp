#include "app/signal_watch.hpp"

#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>
#include <array>
#include <cerrno>
#include <csignal>

namespace app {
namespace {

constexpr std::array<int, 3> WatchedSignals = {SIGTERM, SIGHUP, SIGINT};

// Written by the signal handler, read by the event loop. -1 when no object watches.
int pipeFds[2] = {-1, -1};
volatile std::sig_atomic_t installed = 0;

extern "C" void onSignal(int signo) {
    // Only async-signal-safe calls here: one write(), errno kept for the interrupted code.
    const int savedErrno = errno;
    const unsigned char byte = static_cast<unsigned char>(signo);
    [[maybe_unused]] const auto n = ::write(pipeFds[1], &byte, 1);
    errno = savedErrno;
}

bool makePipe() {
    if (::pipe(pipeFds) != 0) return false;
    for (int fd : pipeFds) {
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
        // A full pipe must never block the handler; a lost byte is harmless because one
        // pending byte is enough to be woken.
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
    return true;
}

}  // namespace

SignalWatch::~SignalWatch() {
    if (!ownsHandlers_) return;
    for (int s : WatchedSignals) std::signal(s, SIG_DFL);
    delete notifier_;
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    pipeFds[0] = pipeFds[1] = -1;
    installed = 0;
}

bool SignalWatch::watch() {
    if (installed || !makePipe()) return false;
    installed = 1;
    ownsHandlers_ = true;
    notifier_ = new QSocketNotifier(pipeFds[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &SignalWatch::drainPipe);

    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    // Restart interrupted system calls: the UI thread must not see EINTR from a read
    // in some library because a signal came.
    sa.sa_flags = SA_RESTART;
    for (int s : WatchedSignals) ::sigaction(s, &sa, nullptr);
    return true;
}

void SignalWatch::drainPipe() {
    // A signal that ends the program outweighs a later SIGHUP in the same burst, which a
    // program may take as "read your settings again": the end must not be lost.
    std::array<unsigned char, 64> buf{};
    ssize_t n = 0;
    bool any = false;
    bool ending = false;
    while ((n = ::read(pipeFds[0], buf.data(), buf.size())) > 0) {
        for (ssize_t i = 0; i < n; ++i) {
            const int signo = buf[static_cast<size_t>(i)];
            if (signo != SIGHUP || !ending) lastSignal_ = signo;
            ending = ending || signo != SIGHUP;
        }
        any = true;
    }
    if (any) emit arrived(lastSignal_);
}

}  // namespace app
