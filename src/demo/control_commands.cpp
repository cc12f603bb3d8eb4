#include "demo/control_commands.hpp"

#include <QRegularExpression>
#include <QStringList>
#include <array>
#include <optional>

namespace demo {
namespace {

using Kind = ControlCommand::Kind;

std::optional<int> parseNumber(QStringView word, int min, int max) {
    // Digits only: no sign, no blanks, no hex, which toInt would let through.
    if (word.isEmpty() || word.size() > 9) return std::nullopt;
    for (const QChar c : word)
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return std::nullopt;
    const int value = word.toInt();
    if (value < min || value > max) return std::nullopt;
    return value;
}

ParsedCommand refuse(const QString& reason) {
    ParsedCommand p;
    p.error = reason;
    return p;
}

ParsedCommand accept(const ControlCommand& command) {
    ParsedCommand p;
    p.ok = true;
    p.command = command;
    return p;
}

ParsedCommand simple(Kind kind) {
    ControlCommand c;
    c.kind = kind;
    return accept(c);
}

QString range(const char* what, int min, int max) {
    return QStringLiteral("%1 must be a whole number from %2 to %3")
        .arg(QLatin1String(what))
        .arg(min)
        .arg(max);
}

}  // namespace

bool isControlName(QStringView name) {
    if (name.isEmpty() || name.size() > 64) return false;
    for (const QChar c : name) {
        const bool ok = (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
                        (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
                        (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('_') ||
                        c == QLatin1Char('.');
        if (!ok) return false;
    }
    return true;
}

ParsedCommand parseControlCommand(QStringView line) {
    static const QRegularExpression blanks(QStringLiteral("[ \\t\\r\\n]+"));
    const QStringList w = line.toString().split(blanks, Qt::SkipEmptyParts);
    if (w.isEmpty()) return refuse(QStringLiteral("empty command"));

    const QString& verb = w[0];
    const auto usage = [](const char* text) {
        return refuse(QStringLiteral("usage: %1").arg(QLatin1String(text)));
    };

    if (verb == QLatin1String("plug") || verb == QLatin1String("unplug")) {
        if (w.size() != 1) return usage(verb == QLatin1String("plug") ? "plug" : "unplug");
        return simple(verb == QLatin1String("plug") ? Kind::Plug : Kind::Unplug);
    }
    if (verb == QLatin1String("other")) {
        if (w.size() == 2 && w[1] == QLatin1String("plug")) return simple(Kind::OtherPlug);
        if (w.size() == 2 && w[1] == QLatin1String("unplug")) return simple(Kind::OtherUnplug);
        return usage("other plug | other unplug");
    }
    if (verb == QLatin1String("adc")) {
        if (w.size() == 2 && w[1] == QLatin1String("auto")) return simple(Kind::AdcAuto);
        if (w.size() != 4) return usage("adc ACC ATX TEMP | adc auto");
        std::array<std::uint16_t, 3> raw{};
        static const char* const names[] = {"ACC", "ATX", "TEMP"};
        for (int i = 0; i < 3; ++i) {
            const auto v = parseNumber(w[i + 1], 0, 0xFFFF);
            if (!v) return refuse(range(names[i], 0, 0xFFFF));
            raw[static_cast<std::size_t>(i)] = static_cast<std::uint16_t>(*v);
        }
        ControlCommand c;
        c.kind = Kind::Adc;
        c.adc = {raw[0], raw[1], raw[2]};
        return accept(c);
    }
    if (verb == QLatin1String("rate")) {
        if (w.size() != 2) return usage("rate N");
        const auto v = parseNumber(w[1], 1, emulator::ControllerEmulator::MaxRate);
        if (!v) return refuse(range("N", 1, emulator::ControllerEmulator::MaxRate));
        ControlCommand c;
        c.kind = Kind::Rate;
        c.number = *v;
        return accept(c);
    }
    if (verb == QLatin1String("hold")) {
        if (w.size() != 2) return usage("hold CODE");
        const auto v = parseNumber(w[1], 0, MaxCode);
        if (!v) return refuse(range("CODE", 0, MaxCode));
        ControlCommand c;
        c.kind = Kind::Hold;
        c.number = *v;
        return accept(c);
    }
    if (verb == QLatin1String("release")) {
        if (w.size() != 1) return usage("release");
        return simple(Kind::Release);
    }
    if (verb == QLatin1String("burst")) {
        if (w.size() != 3) return usage("burst CODE N");
        const auto code = parseNumber(w[1], 0, MaxCode);
        if (!code) return refuse(range("CODE", 0, MaxCode));
        const auto n = parseNumber(w[2], 1, MaxBurst);
        if (!n) return refuse(range("N", 1, MaxBurst));
        ControlCommand c;
        c.kind = Kind::Burst;
        c.number = *code;
        c.count = *n;
        return accept(c);
    }
    if (verb == QLatin1String("block")) {
        if (w.size() != 1) return usage("block");
        return simple(Kind::Block);
    }
    if (verb == QLatin1String("get")) {
        if (w.size() != 2) return usage("get NAME");
        if (!isControlName(w[1])) return refuse(QStringLiteral("not a control name"));
        ControlCommand c;
        c.kind = Kind::Get;
        c.name = w[1];
        return accept(c);
    }
    if (verb == QLatin1String("quit")) {
        if (w.size() != 1) return usage("quit");
        return simple(Kind::Quit);
    }
    return refuse(QStringLiteral("unknown command"));
}

}  // namespace demo
