#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <memory>

#include "app/signal_watch.hpp"

class QGuiApplication;
class QWidget;

namespace app {

// The end of the user's session, whichever way it is announced. On Linux: a session
// manager's commitDataRequest (X11), or SIGTERM, SIGHUP and SIGINT (systemd and logind end
// a session that way, and so does the controller when it powers the computer down). On
// Windows: WM_QUERYENDSESSION to the main window. Every one of them comes out as the
// single signal sessionEnding(), on the thread that owns this object.
//
// The signals are seen in the event loop (SignalWatch), where it is safe to save settings
// and close windows. WM_QUERYENDSESSION is answered only after sessionEnding() returns, so
// the settings are saved while Windows still waits for the answer.
class SessionEnd : public QObject {
    Q_OBJECT
public:
    explicit SessionEnd(QObject* parent = nullptr) : QObject(parent) {
        connect(&watch_, &SignalWatch::arrived, this, &SessionEnd::sessionEnding);
    }
    // Removing a Windows filter from the application is the filter's own destructor's work.
    ~SessionEnd() override = default;

    SessionEnd(const SessionEnd&) = delete;
    SessionEnd& operator=(const SessionEnd&) = delete;

    // Installs the signal handlers. Only one object per process may do so; false when
    // another already has or the pipe could not be made, and always on Windows, where a
    // program with windows is not ended by signals.
    bool watchSignals() { return watch_.watch(); }
    // Answers the session manager's question "may the session end?" with yes and ends
    // the program's session the same way as a signal does. On Windows the question is
    // the WM_QUERYENDSESSION that `mainWindow` receives.
    void watchSessionManager(QGuiApplication& app, QWidget& mainWindow);

    // The last signal number that arrived through the pipe (0 when none did yet).
    int lastSignal() const { return watch_.lastSignal(); }

signals:
    // `signalNumber` is the signal that ended the session, 0 for the session manager.
    void sessionEnding(int signalNumber);

private:
    SignalWatch watch_;
    std::unique_ptr<QAbstractNativeEventFilter> filter_;  // Windows
};

}  // namespace app
