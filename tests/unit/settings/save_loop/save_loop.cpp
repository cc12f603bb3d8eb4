// Loads the settings file named on the command line and saves a new generation of all its
// values again and again, writing one byte to stdout after each save, until killed.
#include <unistd.h>

#include <cstdio>

#include "generation.hpp"
#include "settings/value_forms.hpp"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s Control.ini\n", argv[0]);
        return 2;
    }
    settings::IniFile ini(QString::fromLocal8Bit(argv[1]));
    settings_test::FakeKeyTable keys;
    settings_test::FakeWindow window;
    keymap::SystemSettings system;
    settings::load(ini, keys, window, system);
    int g = settings::parseInteger(keys.text(1, keymap::KeyField::JCode)).value_or(0);
    try {
        for (;;) {
            settings_test::fillGeneration(keys, window, ++g);
            settings::Save_all(ini, keys, window, system);
            if (write(STDOUT_FILENO, "s", 1) != 1) return 4;
        }
    } catch (const settings::WriteError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 3;
    }
}
