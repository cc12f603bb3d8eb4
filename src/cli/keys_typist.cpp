#include "cli/keys_typist.hpp"

#include <QStringList>

#include "settings/ini_file.hpp"
#include "settings/settings_binding.hpp"

namespace cli {
namespace {

// "Shift+Ctrl", in the order they go down; "none" without any.
QString modifierText(const keymap::Keystroke& k) {
    QStringList names;
    if (k.shift) names << QStringLiteral("Shift");
    if (k.ctrl) names << QStringLiteral("Ctrl");
    if (k.alt) names << QStringLiteral("Alt");
    return names.isEmpty() ? QStringLiteral("none") : names.join(QLatin1Char('+'));
}

}  // namespace

KeysTypist::KeysTypist(const QString& settingsPath, keymap::KeyEmitter& emitter, QTextStream& out,
                       QTextStream& err, bool verbose)
    : path_(settingsPath), out_(out), err_(err), mapper_(table_, emitter, clock_) {
    load("key table from");
    if (verbose)
        mapper_.setKeystrokeObserver(
            [this](std::int32_t code, int row, const keymap::Keystroke& k) {
                out_ << QStringLiteral("code=%1 entry=%2 key=%3 modifiers=%4")
                            .arg(code)
                            .arg(row, 2, 10, QLatin1Char('0'))
                            .arg(k.vk ? QString::number(*k.vk) : QStringLiteral("none"),
                                 modifierText(k))
                     << Qt::endl;  // flushed: read live from a pipe or the journal
            });
    timer2_.setInterval(keymap::KeyMapper::Timer2IntervalMs);
    connect(&timer2_, &QTimer::timeout, this, [this] { mapper_.Timer2Timer(); });
    timer2_.start();
}

void KeysTypist::reload() {
    load("key table read again from", true);
}

void KeysTypist::load(const char* what, bool keepUnlessRead) {
    const settings::IniFile ini(path_);
    // A file that is away for a moment (an editor saving it) or unreadable holds no table:
    // the one that types now goes on, rather than the defaults, which would stop the wheel
    // buttons the user set up.
    if (keepUnlessRead && ini.diskState() != settings::IniFile::DiskState::Read) {
        err_ << "drevonix-cli: the key table is not read again: " << ini.path()
             << (ini.diskState() == settings::IniFile::DiskState::Missing ? " does not exist"
                                                                          : " cannot be read")
             << "; the table in use is kept" << Qt::endl;
        return;
    }
    settings::loadKeyTable(ini, table_);
    settings::loadSystemSettings(ini, mapper_.systemSettings());
    const char* state = "";
    switch (ini.diskState()) {
        case settings::IniFile::DiskState::Missing:
            state = " (no such file: the defaults)";
            break;
        case settings::IniFile::DiskState::Unreadable:
        case settings::IniFile::DiskState::Unread:  // a fresh object never is; said as unreadable
            state = " (cannot be read: the defaults)";
            break;
        case settings::IniFile::DiskState::Read:
            break;
    }
    err_ << "drevonix-cli: " << what << ' ' << ini.path() << state << Qt::endl;
}

}  // namespace cli
