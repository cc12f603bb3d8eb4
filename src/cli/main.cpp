#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>

#include "app/signal_watch.hpp"
#include "cli/cli_options.hpp"
#include "cli/cli_session.hpp"
#include "cli/standard_output.hpp"
#include "common/utf8_locale.hpp"

int main(int argc, char** argv) {
    cli::StandardOutput::reserveClosedDescriptors();
    common::chooseUtf8Ctype();
    // What the signals mean depends on the command: held until the arguments say.
    app::SignalWatch::holdSignals();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("drevonix-cli"));
    cli::StandardOutput output;
    QTextStream err(stderr);

    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    const cli::ParseResult parsed = cli::parseArguments(args);
    if (!parsed.error.isEmpty()) {
        err << "drevonix-cli: " << parsed.error << " (see --help)" << Qt::endl;
        return cli::ExitBadArguments;
    }
    // The commands that run until they are stopped end with 0 when they are; keys reads
    // its table again on SIGHUP, unless the hangup is its terminal's. A short command
    // killed by a signal never says "done".
    switch (parsed.options.command) {
        case cli::Command::Keys:
        case cli::Command::Watch:
        case cli::Command::Buttons:
            app::SignalWatch::handleFromStart(parsed.options.command != cli::Command::Keys ||
                                              app::SignalWatch::hangupIsTerminalGone());
            break;
        default:
            app::SignalWatch::releaseSignals();
            break;
    }
    int code = cli::ExitDone;
    {
        cli::Session session(parsed.options, output, err);
        code = session.run();
    }
    // A backup that never reached its file is no success; a failure already reported
    // keeps its own status.
    if (!output.finish()) {
        err << "drevonix-cli: cannot write to standard output: " << output.failure() << Qt::endl;
        if (code == cli::ExitDone) code = cli::ExitOutputLost;
    }
    return code;
}
