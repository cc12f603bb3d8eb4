#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <vector>

namespace cli {

enum ExitCode : int {
    ExitDone = 0,
    ExitNoController = 1,
    ExitBadArguments = 2,
    ExitNoAnswer = 3,
    ExitOutputLost = 4,  // what the command printed did not reach standard output
    ExitCannotType = 1,  // keys: another typist runs, or no way to type
};

enum class Command { Help, Version, Status, Read, Watch, Buttons, Write, Keys };

struct SimulatedPress {
    int code = 0;
    int reports = 0;
};

struct Options {
    Command command = Command::Help;
    bool simulate = false;
    QString statePath;  // --simulate=STATE
    std::optional<std::array<std::uint16_t, 3>> simTelemetry;
    std::vector<SimulatedPress> simPresses;
    bool simUnplugged = false;
    bool simMute = false;
    bool raw = false;                // read --raw
    std::optional<long long> count;  // watch, buttons
    QStringList assignments;         // write
    bool verbose = false;            // keys
};

struct ParseResult {
    Options options;
    QString error;  // one line naming what is wrong; empty when the arguments are good
};

// The arguments without the program name.
ParseResult parseArguments(const QStringList& args);

QString usageText();

}  // namespace cli
