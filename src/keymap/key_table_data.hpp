#pragma once

#include <QString>
#include <array>

#include "keymap/key_table_view.hpp"

namespace keymap {

// The key table as plain data, for a mapper that runs without the window (drevonix-cli
// keys): filled from the settings file and read by the mapper like the window's controls.
// No field ever has the focus, so code capture never writes here.
class KeyTableData : public KeyTableView {
public:
    struct Row {
        QString jcode, symbol, value, descript;
        bool shift = false, ctrl = false, alt = false;
    };

    QString& field(int row, KeyField f);
    bool& box(int row, KeyTick b);

    QString text(int row, KeyField f) const override;
    void setText(int row, KeyField f, const QString& t) override;
    bool tick(int row, KeyTick b) const override;
    void setTick(int row, KeyTick b, bool on) override;
    int focusedCodeRow() const override { return 0; }

    std::array<Row, KeyTableRows> rows;
};

}  // namespace keymap
