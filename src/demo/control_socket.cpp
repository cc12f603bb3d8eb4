#include "demo/control_socket.hpp"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStringDecoder>
#include <QTimer>

#include "demo/socket_path.hpp"
#include "demo/window_state.hpp"

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace demo {
namespace {

QString refusal(const QString& reason) {
    return QStringLiteral("error: ") + reason;
}

}  // namespace

ControlSocket::ControlSocket(emulator::ControllerEmulator& emulator,
                             std::function<QWidget*()> mainWindow, QObject* parent)
    : QObject(parent), emulator_(emulator), mainWindow_(std::move(mainWindow)) {
    connect(&emulator_, &emulator::ControllerEmulator::burstFinished, this,
            &ControlSocket::onBurstFinished);
}

ControlSocket::~ControlSocket() {
    // Disconnect handlers must not run into a half-destroyed object.
    for (auto& [socket, client] : clients_) socket->disconnect(this);
}

bool ControlSocket::listen(const QString& name) {
    error_.clear();
#ifdef Q_OS_UNIX
    // A relative name would land in the temporary folder; a path means where it says.
    const QString path = QDir::current().absoluteFilePath(name);
#else
    const QString path = name;
#endif
    if (const QString problem = socketPathProblem(path); !problem.isEmpty()) {
        error_ = problem;
        return false;
    }
    if (server_) {
        server_->close();
        delete server_;
        server_ = nullptr;
    }
    {
        QLocalSocket probe;
        probe.connectToServer(path);
        if (probe.waitForConnected(200)) {
            error_ = QStringLiteral("%1 is in use by another program").arg(path);
            return false;
        }
    }
#ifdef Q_OS_UNIX
    // Only a socket is ever removed: a typing error in the path must not cost a file.
    struct stat info = {};
    if (::lstat(QFile::encodeName(path).constData(), &info) == 0 && !S_ISSOCK(info.st_mode)) {
        error_ = QStringLiteral("%1 exists and is not a socket").arg(path);
        return false;
    }
#endif
    QLocalServer::removeServer(path);
    server_ = new QLocalServer(this);
    // Only this user may drive the demo's keystrokes.
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, &ControlSocket::onNewConnection);
    if (!server_->listen(path)) {
        error_ = server_->errorString();
        delete server_;
        server_ = nullptr;
        return false;
    }
    path_ = path;
    return true;
}

void ControlSocket::onNewConnection() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        socket->setReadBufferSize(MaxPendingBytes);
        clients_[socket] = Client{};
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { serve(socket); });
        connect(socket, &QLocalSocket::disconnected, this, [this, socket] {
            clients_.erase(socket);
            socket->deleteLater();
        });
        serve(socket);
    }
}

void ControlSocket::serve(QLocalSocket* socket) {
    // Looked up afresh after every answer: writing to a peer that has gone may disconnect
    // it on the spot, and with that the client is forgotten.
    for (;;) {
        const auto it = clients_.find(socket);
        if (it == clients_.end() || it->second.busy) return;
        Client& c = it->second;
        const qsizetype end = c.buffer.indexOf('\n');
        if (end < 0) {
            if (c.buffer.size() > MaxLineBytes) {
                c.buffer.clear();
                if (!c.discarding) {
                    c.discarding = true;
                    answer(socket, refusal(QStringLiteral("line too long")));
                    continue;
                }
            }
            const QByteArray more = socket->read(MaxLineBytes);
            if (more.isEmpty()) return;
            c.buffer += more;
            continue;
        }
        const QByteArray line = c.buffer.left(end);
        c.buffer.remove(0, end + 1);
        if (c.discarding) {
            c.discarding = false;
            continue;
        }
        if (line.size() > MaxLineBytes) {
            answer(socket, refusal(QStringLiteral("line too long")));
            continue;
        }
        QPointer<QLocalSocket> guard(socket);
        const QString reply = execute(line, [this, guard](const QString& late) {
            if (!guard) return;
            const auto again = clients_.find(guard.data());
            if (again == clients_.end()) return;
            again->second.busy = false;
            answer(guard.data(), late);
            // Commands sent ahead wait in the buffers; go on with them from the loop.
            QTimer::singleShot(0, this, [this, guard] {
                if (guard) serve(guard.data());
            });
        });
        if (reply.isEmpty())
            c.busy = true;
        else
            answer(socket, reply);
    }
}

void ControlSocket::answer(QLocalSocket* socket, const QString& line) {
    socket->write(line.toUtf8() + '\n');
    socket->flush();
    if (socket->bytesToWrite() > MaxUnsentBytes) drop(socket);
}

void ControlSocket::drop(QLocalSocket* socket) {
    // Forgotten first: the disconnect handler must not run for it, and serve() finds it gone.
    clients_.erase(socket);
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
}

QString ControlSocket::execute(const QByteArray& line,
                               const std::function<void(const QString&)>& done) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8(line);
    if (utf8.hasError()) return refusal(QStringLiteral("not UTF-8"));
    const ParsedCommand parsed = parseControlCommand(text);
    if (!parsed.ok) return refusal(parsed.error);
    return run(parsed.command, done);
}

QString ControlSocket::run(const ControlCommand& command,
                           const std::function<void(const QString&)>& done) {
    using Kind = ControlCommand::Kind;
    const QString ok = QStringLiteral("ok");
    const QString unplugged = refusal(QStringLiteral("the controller is unplugged"));
    switch (command.kind) {
        case Kind::Plug:
            emulator_.plug();
            return ok;
        case Kind::Unplug:
            emulator_.unplug();
            return ok;
        case Kind::OtherPlug:
            emulator_.plugOther();
            return ok;
        case Kind::OtherUnplug:
            emulator_.unplugOther();
            return ok;
        case Kind::Adc:
            emulator_.setTelemetry(command.adc);
            return ok;
        case Kind::AdcAuto:
            emulator_.setVariation(true);
            return ok;
        case Kind::Rate:
            emulator_.setRate(command.number);
            return ok;
        case Kind::Hold:
            if (!emulator_.isPlugged()) return unplugged;
            emulator_.hold(command.number);
            return ok;
        case Kind::Release:
            emulator_.release();
            return ok;
        case Kind::Burst:
            if (!emulator_.isPlugged()) return unplugged;
            bursts_.push_back({command.count, done});
            emulator_.burst(command.number, command.count);
            return {};
        case Kind::Block:
            return ok + QLatin1Char(' ') + device::formatBlockBytes(emulator_.blockBytes());
        case Kind::Get: {
            const bool active = command.name == QLatin1String("WindowActive");
            if (keyMapper_ && (active || command.name == QLatin1String("ReportCount"))) {
                const keymap::KeyMapper* mapper = keyMapper_();
                if (!mapper) return refusal(QStringLiteral("the main window is not up yet"));
                return ok + QLatin1Char(' ') +
                       QString::number(active ? int{mapper->WindowActive()}
                                              : mapper->ReportCount());
            }
            const StateAnswer state = readControlState(mainWindow_(), command.name);
            if (!state.ok) return refusal(state.text);
            return state.text.isEmpty() ? ok : ok + QLatin1Char(' ') + state.text;
        }
        case Kind::Quit: {
            QAction* exit = exitAction(mainWindow_());
            if (!exit) return refusal(QStringLiteral("no exit item N4 in PopupMenu1"));
            // After the answer has gone out: the exit may end the program at once.
            QTimer::singleShot(0, exit, &QAction::trigger);
            return ok;
        }
    }
    return refusal(QStringLiteral("unknown command"));
}

void ControlSocket::onBurstFinished(int sent) {
    // Bursts started by others (none in this program) have no entry.
    if (bursts_.empty()) return;
    PendingBurst burst = std::move(bursts_.front());
    bursts_.pop_front();
    if (sent == burst.count)
        burst.done(QStringLiteral("ok"));
    else
        burst.done(refusal(
            QStringLiteral("burst cut short after %1 of %2 reports").arg(sent).arg(burst.count)));
}

}  // namespace demo
