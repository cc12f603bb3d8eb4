#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <deque>
#include <functional>
#include <map>

#include "demo/control_commands.hpp"
#include "emulator/controller_emulator.hpp"
#include "keymap/key_mapper.hpp"

class QLocalServer;
class QLocalSocket;
class QWidget;

namespace demo {

// The demo's remote control for scripts and tests: a local socket that takes one UTF-8
// command per line and answers each with one line, "ok ..." or "error: ...". Clients are
// served side by side; each one's answers come in the order of its commands.
class ControlSocket : public QObject {
    Q_OBJECT
public:
    // Longer lines are answered with an error and skipped.
    static constexpr int MaxLineBytes = 4096;
    // What a client may send ahead while one of its commands is still running.
    static constexpr int MaxPendingBytes = 64 * 1024;
    // What may wait to be sent to a client that does not read its answers; a client past
    // it is dropped, or the demo would grow without bound.
    static constexpr qint64 MaxUnsentBytes = 1024 * 1024;
    // The environment variable that names the socket's path.
    static constexpr const char* EnvironmentVariable = "DREVONIX_SIM_SOCKET";

    // `mainWindow` is asked at each command, so the socket may come up before the window.
    ControlSocket(emulator::ControllerEmulator& emulator, std::function<QWidget*()> mainWindow,
                  QObject* parent = nullptr);
    ~ControlSocket() override;

    // Listens at `path`. A socket file left behind by an ended run is removed first; one
    // that another program still answers on is not taken over.
    // A relative path counts from the current folder.
    bool listen(const QString& path);
    QString errorString() const { return error_; }
    QString path() const { return path_; }
    // The key mapper behind `get WindowActive` (without one, the window's property of that
    // name) and `get ReportCount`, the reports counted in the press going on (0 once the
    // press has ended); nullptr while the main window is not up.
    void setKeyMapperSource(std::function<const keymap::KeyMapper*()> source) {
        keyMapper_ = std::move(source);
    }
    int clientCount() const { return static_cast<int>(clients_.size()); }

    // The answer to one line, for commands that answer at once; empty for a burst, whose
    // answer `done` gets when its last report has been sent.
    QString execute(const QByteArray& line, const std::function<void(const QString&)>& done);

private:
    struct Client {
        QByteArray buffer;
        bool busy = false;        // a burst of this client is running
        bool discarding = false;  // inside a line that was too long
    };

    void onNewConnection();
    void serve(QLocalSocket* socket);
    void answer(QLocalSocket* socket, const QString& line);
    void drop(QLocalSocket* socket);
    void onBurstFinished(int sent);
    QString run(const ControlCommand& command, const std::function<void(const QString&)>& done);

    emulator::ControllerEmulator& emulator_;
    std::function<QWidget*()> mainWindow_;
    std::function<const keymap::KeyMapper*()> keyMapper_;
    QLocalServer* server_ = nullptr;
    QString path_;
    QString error_;
    std::map<QLocalSocket*, Client> clients_;
    // Every burst the emulator started ends with one burstFinished, in the order started.
    struct PendingBurst {
        int count = 0;
        std::function<void(const QString&)> done;
    };
    std::deque<PendingBurst> bursts_;
};

}  // namespace demo
