#pragma once

#include <QIODevice>
#include <QString>
#include <QTextStream>

namespace cli {

// Standard output that knows whether what was written reached it: a backup written to a
// full disk or a closed descriptor must not end as a success.
class StandardOutput : public QIODevice {
public:
    StandardOutput();

    QTextStream& stream() { return stream_; }
    // Flushes what the stream holds; false once any write has failed.
    bool ok();
    // Flushes and closes standard output; false when anything written was lost.
    bool finish();
    // Why the output was lost, e.g. "No space left on device".
    QString failure() const { return failure_; }

    // Call first in main, before anything opens a file: a standard descriptor the caller
    // closed (">&-") would be reused by the next file opened, and what is meant for standard
    // output or error would land in it. A closed standard output is remembered as such.
    static void reserveClosedDescriptors();

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override;

private:
    void failWith(int error);

    QTextStream stream_;
    QString failure_;
    bool finished_ = false;
    static inline bool closedAtStart_ = false;
};

}  // namespace cli
