#include "app/session_end.hpp"

#include <QGuiApplication>
#include <QPointer>
#include <QWidget>

#include <windows.h>

namespace app {
namespace {

// Windows asks every top-level window whether the session may end; the main window's
// question is ours. It is answered yes, without asking anybody and without Qt's own
// handling, and the end-of-session path runs before the answer goes back: Windows waits
// for it, and so the settings are saved before the session goes on ending.
class QueryEndSessionFilter final : public QAbstractNativeEventFilter {
public:
    QueryEndSessionFilter(SessionEnd& end, QWidget& window) : end_(end), window_(&window) {}

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override {
        if (eventType != "windows_generic_MSG" || !window_) return false;
        const MSG* msg = static_cast<const MSG*>(message);
        if (msg->message != WM_QUERYENDSESSION ||
            msg->hwnd != reinterpret_cast<HWND>(window_->internalWinId()))
            return false;
        // The answer is 1 whatever the save does: a failed save shows its box, and once
        // that is closed the session goes on ending.
        *result = TRUE;
        emit end_.sessionEnding(0);
        return true;
    }

private:
    SessionEnd& end_;
    QPointer<QWidget> window_;
};

}  // namespace

void SessionEnd::watchSessionManager(QGuiApplication& app, QWidget& mainWindow) {
    // The main window starts hidden and may never be shown; without a native window it
    // would never be asked, and the settings would not be saved.
    mainWindow.winId();
    filter_ = std::make_unique<QueryEndSessionFilter>(*this, mainWindow);
    app.installNativeEventFilter(filter_.get());
}

}  // namespace app
