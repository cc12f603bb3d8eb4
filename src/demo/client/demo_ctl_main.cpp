// drevonix-demo-ctl: sends commands to a running drevonix-demo's control socket and prints
// the answers, one line each. For shell scripts, which cannot open a local socket.
//
//   drevonix-demo-ctl [--socket PATH] [--timeout SECONDS] [COMMAND...]
//
// Each COMMAND is one line ("get StatusBar.0", "burst 700 100"); without any, lines are
// read from the standard input. Exit status: 0 when every answer began with "ok", 1 when
// one was an error, 2 when the demo could not be reached or did not answer in time.
#include <QCoreApplication>
#include <QLocalSocket>
#include <QStringList>
#include <QTextStream>
#include <cstdio>

namespace {

constexpr int ExitOk = 0;
constexpr int ExitRefused = 1;
constexpr int ExitNoDemo = 2;

int usage() {
    std::fputs("usage: drevonix-demo-ctl [--socket PATH] [--timeout SECONDS] [COMMAND...]\n",
               stderr);
    return ExitNoDemo;
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    QStringList args = application.arguments().mid(1);
    QString path = qEnvironmentVariable("DREVONIX_SIM_SOCKET");
    int timeoutMs = 30000;
    while (!args.isEmpty() && args.first().startsWith(QLatin1String("--"))) {
        const QString option = args.takeFirst();
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

    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(qMin(timeoutMs, 5000))) {
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
