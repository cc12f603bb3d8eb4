#include "keymap/key_table_data.hpp"

namespace keymap {

// In the order of KeyField and KeyTick.
QString& KeyTableData::field(int row, KeyField f) {
    using Text = QString Row::*;
    static constexpr Text fields[] = {&Row::jcode, &Row::symbol, &Row::value, &Row::descript};
    return rows.at(static_cast<std::size_t>(row - 1)).*fields[static_cast<std::size_t>(f)];
}

bool& KeyTableData::box(int row, KeyTick b) {
    using Tick = bool Row::*;
    static constexpr Tick boxes[] = {&Row::shift, &Row::ctrl, &Row::alt};
    return rows.at(static_cast<std::size_t>(row - 1)).*boxes[static_cast<std::size_t>(b)];
}

QString KeyTableData::text(int row, KeyField f) const {
    return const_cast<KeyTableData*>(this)->field(row, f);
}

void KeyTableData::setText(int row, KeyField f, const QString& t) {
    field(row, f) = t;
}

bool KeyTableData::tick(int row, KeyTick b) const {
    return const_cast<KeyTableData*>(this)->box(row, b);
}

void KeyTableData::setTick(int row, KeyTick b, bool on) {
    box(row, b) = on;
}

}  // namespace keymap
