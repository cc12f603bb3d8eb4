#include "cli/cli_options.hpp"

#include <array>

namespace cli {
namespace {

// A whole decimal number within bounds: digits only, no sign, no spaces.
std::optional<long long> wholeNumber(const QString& text, long long min, long long max) {
    if (text.isEmpty() || text.size() > 12) return std::nullopt;
    for (QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return std::nullopt;
    const long long v = text.toLongLong();
    if (v < min || v > max) return std::nullopt;
    return v;
}

struct Parser {
    explicit Parser(const QStringList& a) : args(a) {}

    const QStringList& args;
    qsizetype i = 0;
    ParseResult result;
    bool commandSeen = false;
    QStringList simOptionsGiven;

    bool fail(const QString& message) {
        if (result.error.isEmpty()) result.error = message;
        return false;
    }

    // The value of "--name VALUE" or "--name=VALUE".
    std::optional<QString> value(const QString& arg, const QString& name) {
        if (arg.size() > name.size()) return arg.mid(name.size() + 1);
        if (i + 1 >= args.size()) {
            fail(QStringLiteral("%1 needs a value").arg(name));
            return std::nullopt;
        }
        return args[++i];
    }

    bool matches(const QString& arg, const QString& name) {
        return arg == name || arg.startsWith(name + QLatin1Char('='));
    }

    bool option(const QString& arg) {
        Options& o = result.options;
        if (arg == QLatin1String("--simulate")) {
            o.simulate = true;
        } else if (arg.startsWith(QLatin1String("--simulate="))) {
            o.simulate = true;
            o.statePath = arg.mid(11);
            if (o.statePath.isEmpty())
                return fail(QStringLiteral("--simulate=STATE needs a file name"));
        } else if (matches(arg, QStringLiteral("--sim-telemetry"))) {
            simOptionsGiven << QStringLiteral("--sim-telemetry");
            const auto v = value(arg, QStringLiteral("--sim-telemetry"));
            if (!v) return false;
            const QStringList parts = v->split(QLatin1Char(','));
            std::array<std::uint16_t, 3> raw{};
            bool ok = parts.size() == 3;
            for (qsizetype k = 0; ok && k < 3; ++k) {
                const auto n = wholeNumber(parts[k], 0, 65535);
                ok = n.has_value();
                if (ok) raw[static_cast<std::size_t>(k)] = static_cast<std::uint16_t>(*n);
            }
            if (!ok)
                return fail(
                    QStringLiteral("--sim-telemetry \"%1\": expected ACC,ATX,TEMP, three raw "
                                   "values 0 to 65535")
                        .arg(*v));
            o.simTelemetry = raw;
        } else if (matches(arg, QStringLiteral("--sim-press"))) {
            simOptionsGiven << QStringLiteral("--sim-press");
            const auto v = value(arg, QStringLiteral("--sim-press"));
            if (!v) return false;
            const QStringList parts = v->split(QLatin1Char(':'));
            const auto code = parts.size() == 2 ? wholeNumber(parts[0], 0, 65535) : std::nullopt;
            const auto reports =
                parts.size() == 2 ? wholeNumber(parts[1], 1, 1'000'000) : std::nullopt;
            if (!code || !reports)
                return fail(QStringLiteral("--sim-press \"%1\": expected CODE:REPORTS, a code 0 to "
                                           "65535 and 1 to 1000000 reports")
                                .arg(*v));
            o.simPresses.push_back({static_cast<int>(*code), static_cast<int>(*reports)});
        } else if (arg == QLatin1String("--sim-unplugged")) {
            simOptionsGiven << arg;
            o.simUnplugged = true;
        } else if (arg == QLatin1String("--sim-mute")) {
            simOptionsGiven << arg;
            o.simMute = true;
        } else if (arg == QLatin1String("--raw")) {
            if (o.command != Command::Read || !commandSeen)
                return fail(QStringLiteral("--raw belongs to the command read"));
            o.raw = true;
        } else if (arg == QLatin1String("--verbose")) {
            if (o.command != Command::Keys || !commandSeen)
                return fail(QStringLiteral("--verbose belongs to the command keys"));
            o.verbose = true;
        } else if (matches(arg, QStringLiteral("--count"))) {
            if (!commandSeen || (o.command != Command::Watch && o.command != Command::Buttons))
                return fail(QStringLiteral("--count belongs to the commands watch and buttons"));
            const auto v = value(arg, QStringLiteral("--count"));
            if (!v) return false;
            const auto n = wholeNumber(*v, 1, 1'000'000'000);
            if (!n)
                return fail(
                    QStringLiteral("--count \"%1\": expected a whole number from 1").arg(*v));
            o.count = *n;
        } else {
            return fail(QStringLiteral("unknown option \"%1\"").arg(arg));
        }
        return true;
    }

    bool command(const QString& arg) {
        Options& o = result.options;
        if (commandSeen) {
            if (o.command == Command::Write) {
                o.assignments << arg;
                return true;
            }
            return fail(QStringLiteral("unexpected argument \"%1\"").arg(arg));
        }
        static const std::pair<const char*, Command> names[] = {
            {"status", Command::Status},   {"read", Command::Read},   {"watch", Command::Watch},
            {"buttons", Command::Buttons}, {"write", Command::Write}, {"help", Command::Help},
            {"keys", Command::Keys},
        };
        for (const auto& [name, cmd] : names) {
            if (arg == QLatin1String(name)) {
                o.command = cmd;
                commandSeen = true;
                return true;
            }
        }
        return fail(QStringLiteral("unknown command \"%1\"").arg(arg));
    }

    ParseResult run() {
        bool help = false;
        bool version = false;
        for (; i < args.size(); ++i) {
            const QString& arg = args[i];
            if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
                help = true;
            } else if (arg == QLatin1String("--version")) {
                version = true;
            } else if (arg.startsWith(QLatin1Char('-')) && arg.size() > 1) {
                if (!option(arg)) break;
            } else if (!command(arg)) {
                break;
            }
        }
        if (help || version) {
            result.error.clear();
            result.options.command = help ? Command::Help : Command::Version;
            return result;
        }
        if (!result.error.isEmpty()) return result;
        Options& o = result.options;
        if (!commandSeen)
            fail(QStringLiteral("no command given (status, read, watch, buttons, write, keys)"));
        else if (o.command == Command::Keys && o.simulate)
            fail(QStringLiteral("keys types the real controller's buttons: no --simulate"));
        else if (!o.simulate && !simOptionsGiven.isEmpty())
            fail(QStringLiteral("%1 needs --simulate").arg(simOptionsGiven.first()));
        else if (o.command == Command::Write && o.assignments.isEmpty())
            fail(QStringLiteral("write needs at least one NAME=VALUE"));
        return result;
    }
};

}  // namespace

ParseResult parseArguments(const QStringList& args) {
    Parser p(args);
    return p.run();
}

QString usageText() {
    return QStringLiteral(
        "Usage: drevonix-cli [--simulate[=STATE]] [emulator options] COMMAND\n"
        "\n"
        "Talks to the car computer's USB power controller (vendor 0x04D8, product 0x003F).\n"
        "Numbers are printed and read with '.' as the decimal separator.\n"
        "\n"
        "Commands:\n"
        "  status                 prints \"connected <product name>\" or \"not connected\"\n"
        "  read                   reads the parameter block and prints 17 lines NAME=VALUE\n"
        "                         (eACC ... eMNT_SRS_Y, then ignoreT=0|1)\n"
        "  read --raw             prints bytes 2..27 of the block as 26 hex numbers\n"
        "  watch [--count N]      once a second asks for the measurements and prints\n"
        "                         \"acc=12.34 atx=12.10 temp=25.3\"; N lines, endless without "
        "--count\n"
        "  buttons [--count N]    prints \"code=N\" for the first report of each wheel-button\n"
        "                         press (a report after more than 1000 ms without any)\n"
        "  write NAME=VALUE ...   changes the named parameters (names as printed by read) and\n"
        "                         writes the block; the others keep the controller's values.\n"
        "                         A value out of its range is refused and nothing is sent.\n"
        "  keys [--verbose]       types the wheel buttons as the window program does, without\n"
        "                         a window: the key table, Differ, Val.First and Val.Next from\n"
        "                         the same Control.ini (never written), through uinput where\n"
        "                         /dev/uinput may be written, else XTest on $DISPLAY. Waits for\n"
        "                         the controller and outlives unplugging it. SIGHUP reads\n"
        "                         the file again (ends it when started from a terminal),\n"
        "                         SIGTERM and SIGINT end it. --verbose prints\n"
        "                         \"code=N entry=NN key=VK modifiers=Shift+Ctrl\" per keystroke.\n"
        "                         One typist per user: it does not start while\n"
        "                         drevonix runs, nor drevonix while it runs.\n"
        "\n"
        "Options:\n"
        "  --simulate             use the built-in controller emulator instead of USB\n"
        "  --simulate=STATE       ... and keep the emulator's parameter block in file STATE\n"
        "                         (a plain file; run as root, never a symbolic link)\n"
        "  --help                 shows this text\n"
        "  --version              prints the version\n"
        "\n"
        "Emulator options (with --simulate):\n"
        "  --sim-telemetry ACC,ATX,TEMP  raw measurement values (default: slowly varying\n"
        "                                around 13.8 V, 12.1 V and 25 degrees C)\n"
        "  --sim-press CODE:REPORTS      a wheel-button press of that many reports at\n"
        "                                1000 reports/s; repeatable, presses 1.5 s apart.\n"
        "                                buttons ends after the last press.\n"
        "  --sim-unplugged               no controller attached\n"
        "  --sim-mute                    a controller that answers no command\n"
        "\n"
        "Exit status:\n"
        "  0  done\n"
        "  1  no controller attached (status: \"not connected\"), one that may not be\n"
        "     opened (stderr says where it is and why), or it was unplugged; keys:\n"
        "     another typist runs, or there is no way to type\n"
        "  2  bad arguments, with a one-line message naming what is wrong (also a\n"
        "     STATE file that cannot be written)\n"
        "  3  no answer from the controller in time (2 s for a block, 1 s for measurements)\n"
        "  4  the output could not be written (a full disk, a closed standard output);\n"
        "     watch and buttons end at the first line lost\n");
}

}  // namespace cli
