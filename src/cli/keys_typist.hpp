#pragma once

#include <QObject>
#include <QString>
#include <QTextStream>
#include <QTimer>

#include "keymap/clock.hpp"
#include "keymap/key_emitter.hpp"
#include "keymap/key_mapper.hpp"
#include "keymap/key_table_data.hpp"

namespace cli {

// The window's key mapper without the window: the key table and the system settings read
// from the settings file (never written), the 500 ms release tick, and every firing
// report typed through `emitter`. No window is ever active here.
class KeysTypist : public QObject {
    Q_OBJECT
public:
    KeysTypist(const QString& settingsPath, keymap::KeyEmitter& emitter, QTextStream& out,
               QTextStream& err, bool verbose);

    // Reads the table and the system settings again; the repeat count goes on. A file that
    // cannot be read keeps the table in use.
    void reload();

    keymap::KeyMapper& mapper() { return mapper_; }

private:
    void load(const char* what, bool keepUnlessRead = false);

    QString path_;
    QTextStream& out_;
    QTextStream& err_;
    keymap::KeyTableData table_;
    keymap::SteadyClock clock_;
    keymap::KeyMapper mapper_;
    QTimer timer2_;
};

}  // namespace cli
