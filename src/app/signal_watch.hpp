#pragma once

#include <QObject>

class QSocketNotifier;

namespace app {

// SIGTERM, SIGHUP and SIGINT, seen in the event loop. The handlers only write one byte into
// a pipe; arrived() is emitted on the thread that owns this object, where any work is
// safe. Signals that come in a burst before the loop runs arrive once, as the last of them,
// except that SIGTERM or SIGINT is never replaced by a SIGHUP after it.
class SignalWatch : public QObject {
    Q_OBJECT
public:
    explicit SignalWatch(QObject* parent = nullptr) : QObject(parent) {}
    ~SignalWatch() override;

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
    int lastSignal_ = 0;
};

}  // namespace app
