#pragma once

#include "fakes.hpp"

namespace settings_test {

// Every one of the 89 values depends on the generation number, so a file that mixes two
// saves shows it. The long descriptions make a save take long enough to be interrupted.
inline void fillGeneration(FakeKeyTable& keys, FakeWindow& window, int g) {
    for (int row = 1; row <= keymap::KeyTableRows; ++row) {
        keys.setText(row, keymap::KeyField::JCode, QString::number(g));
        keys.setTick(row, keymap::KeyTick::Shift, (g + row) % 2 == 1);
        keys.setTick(row, keymap::KeyTick::Ctrl, (g / 2 + row) % 2 == 1);
        keys.setTick(row, keymap::KeyTick::Alt, g % 3 == 0);
        keys.setText(row, keymap::KeyField::Symbol, QString::number(g % 97));
        keys.setText(row, keymap::KeyField::Value, QString::number(g + row));
        keys.setText(row, keymap::KeyField::Descript,
                     QStringLiteral("Поколение %1, строка %2 ").arg(g).arg(row) +
                         QString(1500, QChar(u'ж')));
    }
    window.x = g;
    window.y = -g;
}

}  // namespace settings_test
