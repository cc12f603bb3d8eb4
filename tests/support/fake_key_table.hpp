#pragma once

#include "keymap/key_table_data.hpp"

namespace testing_support {

// The key table's controls as plain data, with a focus to capture into and a count of
// the texts written.
struct FakeKeyTable final : keymap::KeyTableData {
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

    void setText(int row, keymap::KeyField f, const QString& t) override {
        KeyTableData::setText(row, f, t);
        ++writes;
    }
    int focusedCodeRow() const override { return focus; }

    int focus = 0;
    int writes = 0;
};

}  // namespace testing_support
