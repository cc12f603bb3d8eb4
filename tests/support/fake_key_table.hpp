#pragma once

#include <array>

#include "keymap/key_table_view.hpp"

namespace testing_support {

// The key table's controls as plain data.
struct FakeKeyTable final : keymap::KeyTableView {
    struct Row {
        QString jcode, symbol, value, descript;
        bool shift = false, ctrl = false, alt = false;
    };

    // As the settings file's defaults leave it: code 1024 everywhere, keys A..L.
    static FakeKeyTable defaults() {
        FakeKeyTable t;
        for (int i = 0; i < keymap::KeyTableRows; ++i) {
            t.rows[i].jcode = QStringLiteral("1024");
            t.rows[i].symbol = QChar(u'A' + i);
            t.rows[i].value = QString::number(65 + i);
        }
        return t;
    }

    QString& field(int row, keymap::KeyField f) {
        Row& r = rows.at(row - 1);
        switch (f) {
            case keymap::KeyField::JCode:
                return r.jcode;
            case keymap::KeyField::Symbol:
                return r.symbol;
            case keymap::KeyField::Value:
                return r.value;
            case keymap::KeyField::Descript:
                break;
        }
        return r.descript;
    }
    bool& box(int row, keymap::KeyTick b) {
        Row& r = rows.at(row - 1);
        return b == keymap::KeyTick::Shift ? r.shift : b == keymap::KeyTick::Ctrl ? r.ctrl : r.alt;
    }

    QString text(int row, keymap::KeyField f) const override {
        return const_cast<FakeKeyTable*>(this)->field(row, f);
    }
    void setText(int row, keymap::KeyField f, const QString& t) override {
        field(row, f) = t;
        ++writes;
    }
    bool tick(int row, keymap::KeyTick b) const override {
        return const_cast<FakeKeyTable*>(this)->box(row, b);
    }
    void setTick(int row, keymap::KeyTick b, bool on) override { box(row, b) = on; }
    int focusedCodeRow() const override { return focus; }

    std::array<Row, keymap::KeyTableRows> rows;
    int focus = 0;
    int writes = 0;
};

}  // namespace testing_support
