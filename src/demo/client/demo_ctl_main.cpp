// drevonix-demo-ctl: sends commands to a running drevonix-demo's control socket and prints
// the answers, one line each. For shell scripts, which cannot open a local socket; --help
// says the rest.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLocalSocket>
#include <QStringList>
#include <QTextStream>
#include <QThread>
#include <cmath>
#include <cstdio>

#include "common/utf8_locale.hpp"
#include "demo/socket_path.hpp"

namespace {

constexpr int ExitOk = 0;
constexpr int ExitRefused = 1;
constexpr int ExitNoDemo = 2;

// Below a tenth of a second no demo answers; a day is past any script's patience.
constexpr double MinTimeoutSeconds = 0.1;
constexpr double MaxTimeoutSeconds = 86400;

const char* const kUsage =
    "Usage: drevonix-demo-ctl [--socket PATH] [--timeout SECONDS] [COMMAND...]\n";

int usage() {
    std::fputs(kUsage, stderr);
    return ExitNoDemo;
}

int refuse(const QString& message) {
    std::fprintf(stderr, "drevonix-demo-ctl: %s\n", qUtf8Printable(message));
    return ExitNoDemo;
}

int help() {
    std::fputs(kUsage, stdout);
    std::fputs(
        "\n"
        "Sends commands to a running drevonix-demo's control socket and prints the answers,\n"
        "one line each (\"ok ...\" or \"error: ...\"). Each COMMAND is one argument of one\n"
        "line; without any, commands are read from the standard input, one a line.\n"
        "\n"
        "Options:\n"
        "  --socket PATH       the demo's socket (default: $DREVONIX_SIM_SOCKET)\n"
        "  --timeout SECONDS   how long to wait for each answer, 0.1 to 86400 (default 30)\n"
        "  --help              shows this text\n"
        "  --version           prints the version\n"
        "\n"
        "Commands:\n"
        "  plug, unplug              attach or detach the emulated controller\n"
        "  other plug, other unplug  the same for an unrelated HID device\n"
        "  adc ACC ATX TEMP          raw measurement values; adc auto resumes the variation\n"
        "  rate N                    wheel-button reports per second\n"
        "  hold CODE, release        a wheel button held down, and let go\n"
        "  burst CODE N              a press of N reports\n"
        "  block                     the emulator's stored parameter block\n"
        "  get NAME                  a control by object name, or StatusBar.0 .. StatusBar.4,\n"
        "                            Chart2.min, Chart2.max, Series1.count, window.visible,\n"
        "                            window.active, tab, WindowActive, ReportCount (the\n"
        "                            reports of the press going on; 0 once it has ended)\n"
        "  quit                      ends the demo\n"
        "\n"
        "The demo listens only when started with DREVONIX_SIM_SOCKET naming a path; a\n"
        "socket that is not there yet is waited for up to 5 seconds.\n"
        "\n"
        "Exit status:\n"
        "  0  every answer began with \"ok\"\n"
        "  1  an answer was an error\n"
        "  2  the demo could not be reached or did not answer in time, or bad arguments\n",
        stdout);
    return ExitOk;
}

}  // namespace

int main(int argc, char* argv[]) {
    common::chooseUtf8Ctype();
    QCoreApplication application(argc, argv);
    QStringList args = application.arguments().mid(1);
    QString path = qEnvironmentVariable("DREVONIX_SIM_SOCKET");
    int timeoutMs = 30000;
    while (!args.isEmpty() && args.first().startsWith(QLatin1String("--"))) {
        const QString option = args.takeFirst();
        if (option == QLatin1String("--help")) return help();
        if (option == QLatin1String("--version")) {
            std::fputs("drevonix-demo-ctl " DREVONIX_VERSION "\n", stdout);
            return ExitOk;
        }
        if (args.isEmpty()) return usage();
        if (option == QLatin1String("--socket")) {
            path = args.takeFirst();
        } else if (option == QLatin1String("--timeout")) {
            bool ok = false;
            const QString given = args.takeFirst();
            const double seconds = given.toDouble(&ok);
            // "nan" and "inf" are numbers to toDouble(); a tiny one would mean "don't wait".
            if (!ok || !std::isfinite(seconds) || seconds < MinTimeoutSeconds ||
                seconds > MaxTimeoutSeconds)
                return refuse(QStringLiteral("--timeout \"%1\": expected seconds from %2 to %3")
                                  .arg(given)
                                  .arg(MinTimeoutSeconds)
                                  .arg(MaxTimeoutSeconds));
            timeoutMs = static_cast<int>(std::lround(seconds * 1000));
        } else {
            return usage();
        }
    }
    if (path.isEmpty()) {
        std::fputs("drevonix-demo-ctl: no socket (--socket PATH or DREVONIX_SIM_SOCKET)\n", stderr);
        return ExitNoDemo;
    }
    // The socket only splits lines: a line break would send two commands, and every later
    // answer would be printed against the wrong one.
    for (QString command : args)
        if (command.contains(QLatin1Char('\n')) || command.contains(QLatin1Char('\r')))
            return refuse(QStringLiteral("a command must be one line: \"%1\"")
                              .arg(command.replace(QLatin1Char('\n'), QLatin1String("\\n"))
                                       .replace(QLatin1Char('\r'), QLatin1String("\\r"))));
#ifdef Q_OS_UNIX
    // As the demo takes it: a relative path counts from the current folder (Qt's own
    // default would be the temporary folder).
    path = QDir::current().absoluteFilePath(path);
#endif
    if (const QString problem = demo::socketPathProblem(path); !problem.isEmpty())
        return refuse(problem);

    // "drevonix-demo &" followed at once by a command: the demo makes its socket a moment
    // after it starts, so a missing or not yet listening socket is tried again for a few
    // seconds. Anything else (no permission, not a socket) will not change by waiting.
    QLocalSocket socket;
    const int waitMs = qMin(timeoutMs, 5000);
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        socket.connectToServer(path);
        if (socket.waitForConnected(waitMs)) break;
        const bool absent = socket.error() == QLocalSocket::ServerNotFoundError ||
                            socket.error() == QLocalSocket::ConnectionRefusedError;
        if (absent && waited.elapsed() < waitMs) {
            QThread::msleep(100);
            continue;
        }
        if (absent)
            std::fprintf(stderr, "drevonix-demo-ctl: no drevonix-demo is listening on %s\n",
                         qUtf8Printable(path));
        else
            std::fprintf(stderr, "drevonix-demo-ctl: %s: %s\n", qUtf8Printable(path),
                         qUtf8Printable(socket.errorString()));
        return ExitNoDemo;
    }

    QTextStream in(stdin);
    int status = ExitOk;
    const auto send = [&](const QString& command) {
        socket.write(command.toUtf8() + '\n');
        socket.flush();
        while (!socket.canReadLine()) {
            if (!socket.waitForReadyRead(timeoutMs)) {
                std::fprintf(stderr, "drevonix-demo-ctl: no answer to \"%s\"\n",
                             qUtf8Printable(command));
                return false;
            }
        }
        const QByteArray answer = socket.readLine();
        std::fwrite(answer.constData(), 1, static_cast<std::size_t>(answer.size()), stdout);
        std::fflush(stdout);
        if (!answer.startsWith("ok")) status = ExitRefused;
        return true;
    };
    if (!args.isEmpty()) {
        for (const QString& command : args)
            if (!send(command)) return ExitNoDemo;
    } else {
        QString line;
        while (in.readLineInto(&line))
            if (!send(line)) return ExitNoDemo;
    }
    return status;
}
