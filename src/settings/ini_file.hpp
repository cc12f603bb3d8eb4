#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QString>
#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <vector>

namespace settings {

// A save that could not replace the file. The file on disk is then the old one, whole.
// what() is "Unable to write to <absolute path>", in UTF-8.
class WriteError : public std::runtime_error {
public:
    explicit WriteError(const QString& path);
};

// Control.ini in the dialect the Windows private-profile functions read and write:
// Windows-1251 bytes, "[Section]" headers, "Key=Value" lines, CR LF line ends (LF and a
// lone CR accepted too). Names compare case-insensitively; blanks around names and values
// are dropped and a value in matching double quotes loses them; the first of duplicate
// sections or keys wins. A UTF-8 byte-order mark at the start is read through and kept.
// A file that starts with the UTF-16LE mark (Notepad's "Unicode") is read in UTF-16LE, the
// same dialect, and written back so, mark and all, as Windows writes a Unicode file.
//
// The object holds the file's bytes in memory, once, and notes where its section headers
// are. Writes are kept beside them: a key's value is replaced in its own line, a missing
// key goes after the last key line of its section, a missing section at the end. save()
// then replaces the file as a whole. Every line that no write touched comes out byte for
// byte as it was read.
class IniFile {
public:
    // Our own file stays far below this even with every text at its longest (about 200 KB),
    // but a hand-edited one may carry anything; this only bounds the memory and time the
    // start-up spends. A larger file is moved aside by the next save, never overwritten.
    static constexpr qint64 MaxFileSize = 16 * 1024 * 1024;
    // Texts are cut to this length when read, as the Windows program's 2048-byte read
    // buffer cuts them.
    static constexpr int MaxTextLength = 2047;

    enum class DiskState {
        Missing,     // no file: reads give defaults, save creates it
        Read,        // the file's lines are in memory
        Unreadable,  // something is there that we could not read: defaults, and the save
                     // moves it aside before writing a fresh file
        Unread,      // a file is there now, but none was read at start (missing or
                     // unreadable then): it is not read now either, and the save moves it
                     // aside like an unreadable one
    };

    // Reads the file at once (see reload()).
    explicit IniFile(const QString& path);

    // The absolute path, as used in error messages.
    const QString& path() const { return path_; }
    DiskState diskState() const { return state_; }

    // Reads the file again, dropping unsaved writes. Never fails: a missing, unreadable
    // or oversized file, or anything that is not a regular file, reads as empty. So does a
    // file where none was read at start and none saved since (DiskState::Unread).
    void reload();

    // A missing file, section or key gives the default. A text present with an empty
    // value is empty; an empty or unusable integer gives the default.
    QString readString(const QString& section, const QString& key, const QString& def) const;
    std::int32_t readInteger(const QString& section, const QString& key, std::int32_t def) const;
    bool readBool(const QString& section, const QString& key, bool def) const;

    // Names must be plain (no brackets in a section, no '=' in a key, no line breaks).
    void writeString(const QString& section, const QString& key, const QString& value);
    void writeInteger(const QString& section, const QString& key, std::int32_t value);
    void writeBool(const QString& section, const QString& key, bool value);

    // The bytes save() would write.
    QByteArray contents() const;

    // Replaces the file atomically with contents(), keeping its owner, group and mode;
    // creates its folder when missing. A file whose folder may not be written is written in
    // place instead. What could not be read, or was not read, is first moved aside, to
    // "<name>.<date-time>" beside it, with one line on stderr. Throws WriteError ("Unable to
    // write to <path>") on any failure, leaving the old file.
    void save();

private:
    // One line of data_: its bytes are [begin, end), its line end [end, next).
    struct LineSpan {
        qsizetype begin = 0, end = 0, next = 0;
    };
    struct Header {
        quint32 begin;     // where its line starts in data_
        quint32 nameHash;  // of the folded name
    };
    // A section a write went to that needs new keys, or that the file lacks. Few of them,
    // with few keys each (what the program writes), so they are found by a plain search.
    struct Written {
        QString name;
        int header = -1;  // in headers_; -1: not in the file, appended at the end
        std::vector<std::pair<QString, QString>> added;  // keys not in the file, write order
    };

    void parse();
    LineSpan lineAt(qsizetype begin) const;
    QByteArrayView original(const LineSpan& line) const;
    // The line as a write left it.
    QByteArrayView current(const LineSpan& line) const;
    // The first header of that name; -1 when there is none.
    int findHeader(const QString& name) const;
    // The key lines of one section.
    struct KeyIndex {
        std::vector<quint64> keys;  // folded name's hash above, line begin below: sorted by both
        qsizetype lastKey = 0;      // where new keys go: the last key line, or the header
    };
    // The reference holds until the next call.
    const KeyIndex& keyIndex(int header) const;
    // The first line holding that key in the header's section.
    // With `value` given, it gets the line's value as read (trimmed, quotes still on).
    std::optional<LineSpan> findKey(int header, const QString& key,
                                    QByteArrayView* value = nullptr) const;
    // Where that section is in written_; -1 when no write added keys to it.
    int findWritten(const QString& section) const;
    // Where a value is: its bytes in the file (unquoted, not cut), or a value written since.
    struct Found {
        QByteArrayView raw;
        const QString* written = nullptr;
    };
    // Nothing when the key is absent.
    std::optional<Found> lookup(const QString& section, const QString& key) const;

    void replaceFile() const;
    // Root saves through the opened folder and never reads through a link.
    static bool runAsRoot();
    // Renames what is at the path to a free dated name beside it; false when it could not.
    bool moveAside() const;
    // Removes what killed saves of ours left beside the file, at start and before a save.
    void removeStaleTemporaries() const;

    QString path_;
    DiskState state_ = DiskState::Missing;
    // The file at the path is one we read at start or have saved since: only such a file
    // is merged with our values. Anything else there may be someone's table we never saw.
    bool ours_ = false;
    bool started_ = false;
    QByteArray data_;          // the file as read, byte-order mark and all
    qsizetype bodyStart_ = 0;  // after a UTF-8 byte-order mark, which is kept as it was
    bool wide_ = false;        // a UTF-16LE file: data_ holds its units, one to three bytes each
    QByteArray oddByte_;       // a UTF-16LE file's last byte when their number is odd, kept
    std::vector<Header> headers_;                               // file order
    mutable QHash<QString, int> headerCache_;                   // folded name -> findHeader()
    mutable std::vector<std::pair<int, KeyIndex>> keyIndexes_;  // header, its keys: once asked for
    std::map<qsizetype, QByteArray> replaced_;  // line begin -> the line with its new value
    std::vector<Written> written_;              // first-write order
};

}  // namespace settings
