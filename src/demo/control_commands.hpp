#pragma once

#include <QString>
#include <QStringView>

#include "emulator/controller_emulator.hpp"

namespace demo {

// One line of the control socket, checked but not yet carried out.
struct ControlCommand {
    enum class Kind {
        Plug,
        Unplug,
        OtherPlug,
        OtherUnplug,
        Adc,      // raw telemetry fixed at `adc`
        AdcAuto,  // slow variation back on
        Rate,     // `number` reports/s
        Hold,     // code `number`
        Release,
        Burst,  // `count` reports of code `number`
        Block,
        Get,  // state of the control or pseudo-name `name`
        Quit,
    };
    Kind kind = Kind::Block;
    emulator::RawTelemetry adc;
    int number = 0;
    int count = 0;
    QString name;
};

struct ParsedCommand {
    bool ok = false;
    ControlCommand command;
    QString error;  // why the line was refused, when !ok
};

// Wheel codes travel as 16 bits.
inline constexpr int MaxCode = 0xFFFF;
// A burst at the lowest rate has to end within a working day; at the default rate within
// a quarter of an hour.
inline constexpr int MaxBurst = 1'000'000;

// Words are separated by blanks or tabs; surrounding white space (a CR of a CR LF client
// too) is ignored. Numbers are plain decimal digits; a value out of range is refused, not
// clamped, so that a script learns of its mistake.
ParsedCommand parseControlCommand(QStringView line);

// Object names as Qt Designer makes them, plus the dots of the pseudo-names.
bool isControlName(QStringView name);

}  // namespace demo
