#pragma once

#include <QString>

namespace keymap {

inline constexpr int KeyTableRows = 12;

// One row of the key table as its controls hold it. The controls are the only storage:
// readers call this view each time, so an edit takes effect at once.
enum class KeyField { JCode, Symbol, Value, Descript };
enum class KeyTick { Shift, Ctrl, Alt };

// The key table's controls, rows 1..12 (jcodeNN, shiftNN, ctrlNN, altNN, smbNN, valNN, descNN).
class KeyTableView {
public:
    virtual ~KeyTableView() = default;
    virtual QString text(int row, KeyField field) const = 0;
    virtual void setText(int row, KeyField field, const QString& text) = 0;
    virtual bool tick(int row, KeyTick box) const = 0;
    virtual void setTick(int row, KeyTick box, bool ticked) = 0;
    // The row whose wheel-code edit has the keyboard focus, or 0 when none has.
    virtual int focusedCodeRow() const = 0;
};

}  // namespace keymap
