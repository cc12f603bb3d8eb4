#include <QGuiApplication>
#include <QSessionManager>

#include "app/session_end.hpp"

namespace app {

void SessionEnd::watchSessionManager(QGuiApplication& app, QWidget&) {
    // The session may end: no question to the user and no veto. The settings are saved
    // right here, while the session manager still waits for our answer.
    connect(&app, &QGuiApplication::commitDataRequest, this,
            [this](QSessionManager&) { emit sessionEnding(0); });
}

}  // namespace app
