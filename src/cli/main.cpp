#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>

#include "cli/cli_options.hpp"
#include "cli/cli_session.hpp"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("drevonix-cli"));
    QTextStream out(stdout);
    QTextStream err(stderr);

    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    const cli::ParseResult parsed = cli::parseArguments(args);
    if (!parsed.error.isEmpty()) {
        err << "drevonix-cli: " << parsed.error << " (see --help)" << Qt::endl;
        return cli::ExitBadArguments;
    }
    cli::Session session(parsed.options, out, err);
    return session.run();
}
