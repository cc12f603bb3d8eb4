#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <array>

#include "keymap/key_table_view.hpp"
#include "settings/settings_binding.hpp"

namespace settings_test {

// The key table and the window as plain data.
struct FakeKeyTable : keymap::KeyTableView {
    std::array<std::array<QString, 4>, keymap::KeyTableRows> texts{};
    std::array<std::array<bool, 3>, keymap::KeyTableRows> ticks{};

    QString text(int row, keymap::KeyField f) const override {
        return texts[row - 1][static_cast<int>(f)];
    }
    void setText(int row, keymap::KeyField f, const QString& t) override {
        texts[row - 1][static_cast<int>(f)] = t;
    }
    bool tick(int row, keymap::KeyTick b) const override {
        return ticks[row - 1][static_cast<int>(b)];
    }
    void setTick(int row, keymap::KeyTick b, bool on) override {
        ticks[row - 1][static_cast<int>(b)] = on;
    }
    int focusedCodeRow() const override { return 0; }
};

struct FakeWindow : settings::WindowPositionView {
    int x = -1;
    int y = -1;
    int left() const override { return x; }
    int top() const override { return y; }
    void setLeft(int v) override { x = v; }
    void setTop(int v) override { y = v; }
};

inline QByteArray readBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

}  // namespace settings_test
