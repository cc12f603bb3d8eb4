// drevonix-demo-ctl: sends commands to a running drevonix-demo's control socket and prints
// the answers, one line each. For shell scripts, which cannot open a local socket; --help
// says the rest.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLocalSocket>
#include <QStringList>
#include <QTextStream>
#include <QThread>
#include <cstdio>

#include "common/utf8_locale.hpp"

namespace {

constexpr int ExitOk = 0;
constexpr int ExitRefused = 1;
constexpr int ExitNoDemo = 2;

const char* const kUsage =
    "Usage: drevonix-demo-ctl [--socket PATH] [--timeout SECONDS] [COMMAND...]\n";

int usage() {
    std::fputs(kUsage, stderr);
    return ExitNoDemo;
}

int help() {
    std::fputs(kUsage, stdout);
    std::fputs(
        "\n"
        "Sends commands to a running drevonix-demo's control socket and prints the answers,\n"
        "one line each (\"ok ...\" or \"error: ...\"). Each COMMAND is one argument; without\n"
        "any, commands are read from the standard input, one a line.\n"
        "\n"
        "Options:\n"
        "  --socket PATH       the demo's socket (default: $DREVONIX_SIM_SOCKET)\n"
        "  --timeout SECONDS   how long to wait for each answer (default 30)\n"
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
            const double seconds = args.takeFirst().toDouble(&ok);
            if (!ok || seconds <= 0 || seconds > 86400) return usage();
            timeoutMs = static_cast<int>(seconds * 1000);
        } else {
            return usage();
        }
    }
    if (path.isEmpty()) {
        std::fputs("drevonix-demo-ctl: no socket (--socket PATH or DREVONIX_SIM_SOCKET)\n", stderr);
        return ExitNoDemo;
    }

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
