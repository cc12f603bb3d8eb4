#pragma once

#include <QObject>

class QSocketNotifier;

namespace app {

// SIGTERM, SIGHUP and SIGINT, seen in the event loop. The handlers only write one byte into
// a pipe; arrived() is emitted on the thread that owns this object, where any work is
// safe. Signals that come in a burst before the loop runs arrive once, as the last of them,
// except that SIGTERM or SIGINT is never replaced by a SIGHUP after it.
//
// A program that lives until it is told to end takes charge of these signals as the first
// thing its main() does: a SIGHUP from `systemctl reload` or a SIGTERM from a shutdown
// can come a moment after the start, long before the event loop runs, and their default
// action would kill it. Until an object watches, an ending signal ends the process at once
// with status 0 (there is nothing to save yet) and a SIGHUP that does not end it waits in
// the pipe for the watch. Once the watch is gone again the program is ending anyway, and
// the signals change nothing more.
class SignalWatch : public QObject {
    Q_OBJECT
public:
    explicit SignalWatch(QObject* parent = nullptr) : QObject(parent) {}
    ~SignalWatch() override;

    // First thing in main() where the arguments decide what the signals mean: they wait,
    // blocked, until handleFromStart() or releaseSignals().
    static void holdSignals();
    // Installs the handlers for the whole run and lets held signals in; see above.
    // `hangupEnds`: whether SIGHUP ends the program (else it waits for the watch).
    static void handleFromStart(bool hangupEnds);
    // For a command that runs briefly and has nothing to tidy up: the default actions
    // (killed, and the shell says so; never a success it did not have).
    static void releaseSignals();
    // Whether a SIGHUP means that our terminal has gone: we were started with a controlling
    // terminal, and not under nohup (which ignores the hangup for us). Decided at the first
    // call, which comes before handleFromStart(): a hangup takes the terminal away.
    static bool hangupIsTerminalGone();

    SignalWatch(const SignalWatch&) = delete;
    SignalWatch& operator=(const SignalWatch&) = delete;

    // Installs the handlers. Only one object per process may do so; false when another
    // already has or the pipe could not be made, and always on Windows.
    bool watch();

    // The last signal number that arrived through the pipe (0 when none did yet).
    int lastSignal() const { return lastSignal_; }

signals:
    void arrived(int signalNumber);

private:
    void drainPipe();

    QSocketNotifier* notifier_ = nullptr;
    bool ownsHandlers_ = false;
    bool fromStart_ = false;  // the handlers were there before us and stay after us
    int lastSignal_ = 0;
};

}  // namespace app
