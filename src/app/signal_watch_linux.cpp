#include "app/signal_watch.hpp"

#include <QSocketNotifier>

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>
#include <array>
#include <cerrno>
#include <csignal>

namespace app {
namespace {

constexpr std::array<int, 3> WatchedSignals = {SIGTERM, SIGHUP, SIGINT};

// Written by the signal handler, read by the event loop. -1 while there is none.
int pipeFds[2] = {-1, -1};
volatile std::sig_atomic_t installed = 0;  // an object watches

// What the handler does with a signal while no object watches.
enum Mode : int {
    Default,   // no handler of ours
    Starting,  // from the start of main(): ending signals end the process, SIGHUP may wait
    Watched,   // an object watches: everything goes through the pipe
    Ending,    // the watch is gone, the program is on its way out
};
volatile std::sig_atomic_t mode = Default;
volatile std::sig_atomic_t hangupEnds = 1;

bool endsAtOnce(int signo) {
    return signo != SIGHUP || hangupEnds;
}

extern "C" void onSignal(int signo) {
    // Only async-signal-safe calls here: _exit(), one write(), errno kept for the
    // interrupted code.
    if (mode == Starting && endsAtOnce(signo)) ::_exit(0);
    const int savedErrno = errno;
    const unsigned char byte = static_cast<unsigned char>(signo);
    if (pipeFds[1] >= 0) {
        [[maybe_unused]] const auto n = ::write(pipeFds[1], &byte, 1);
    }
    errno = savedErrno;
}

bool makePipe() {
    if (pipeFds[0] >= 0) return true;
    if (::pipe(pipeFds) != 0) return false;
    for (int fd : pipeFds) {
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
        // A full pipe must never block the handler; a lost byte is harmless because one
        // pending byte is enough to be woken.
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
    return true;
}

sigset_t watchedSet() {
    sigset_t set;
    sigemptyset(&set);
    for (int s : WatchedSignals) sigaddset(&set, s);
    return set;
}

void setHandlers(void (*handler)(int)) {
    struct sigaction sa = {};
    sa.sa_handler = handler;
    sigemptyset(&sa.sa_mask);
    // Restart interrupted system calls: the UI thread must not see EINTR from a read
    // in some library because a signal came.
    sa.sa_flags = SA_RESTART;
    for (int s : WatchedSignals) ::sigaction(s, &sa, nullptr);
}

void unblock() {
    const sigset_t set = watchedSet();
    ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

}  // namespace

void SignalWatch::holdSignals() {
    // Threads started from now on inherit the mask and never take these signals.
    const sigset_t set = watchedSet();
    ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

void SignalWatch::handleFromStart(bool hangupEndsProgram) {
    hangupEnds = hangupEndsProgram ? 1 : 0;
    makePipe();  // without it the ending signals still end us; a SIGHUP is then lost
    mode = Starting;
    setHandlers(onSignal);
    unblock();
}

void SignalWatch::releaseSignals() {
    mode = Default;
    setHandlers(SIG_DFL);
    unblock();
}

bool SignalWatch::hangupIsTerminalGone() {
    static const bool terminal = [] {
        struct sigaction now = {};
        if (::sigaction(SIGHUP, nullptr, &now) == 0 && now.sa_handler == SIG_IGN) return false;
        const int fd = ::open("/dev/tty", O_RDONLY | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) return false;
        ::close(fd);
        return true;
    }();
    return terminal;
}

SignalWatch::~SignalWatch() {
    if (!ownsHandlers_) return;
    delete notifier_;
    installed = 0;
    if (mode == Watched && fromStart_) {
        mode = Ending;
        return;
    }
    setHandlers(SIG_DFL);
    mode = Default;
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    pipeFds[0] = pipeFds[1] = -1;
}

bool SignalWatch::watch() {
    if (installed || !makePipe()) return false;
    installed = 1;
    ownsHandlers_ = true;
    fromStart_ = mode != Default;
    notifier_ = new QSocketNotifier(pipeFds[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &SignalWatch::drainPipe);
    // Anything that came while the program started waits in the pipe and is read once
    // the loop runs.
    mode = Watched;
    if (!fromStart_) setHandlers(onSignal);
    unblock();
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
