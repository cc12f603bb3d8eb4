#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfoList>
#include <QString>

#include "settings/settings_binding.hpp"
#include "support/fake_key_table.hpp"

namespace settings_test {

using testing_support::FakeKeyTable;

// The window as plain data.
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

// What the save kept aside beside the file: files, folders, links (dangling too), pipes.
inline QFileInfoList keptAside(const QString& folder) {
    return QDir(folder).entryInfoList({"Control.ini.*"},
                                      QDir::AllEntries | QDir::System | QDir::Hidden);
}

}  // namespace settings_test
