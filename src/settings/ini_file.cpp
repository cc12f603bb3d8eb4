#include "settings/ini_file.hpp"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <optional>

#include "common/cp1251.hpp"
#include "settings/value_forms.hpp"

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace settings {
namespace {

const QByteArray kCrLf = QByteArrayLiteral("\r\n");
const QByteArray kUtf8Bom = QByteArrayLiteral("\xEF\xBB\xBF");

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}
bool isBlank(QChar c) {
    return c == u' ' || c == u'\t';
}

QByteArray trimmed(const QByteArray& bytes) {
    qsizetype begin = 0;
    qsizetype end = bytes.size();
    while (begin < end && isBlank(bytes[begin])) ++begin;
    while (end > begin && isBlank(bytes[end - 1])) --end;
    return bytes.mid(begin, end - begin);
}

QString folded(const QString& name) {
    return name.toCaseFolded();
}

enum class Kind { Other, Header, Key };

struct Parsed {
    Kind kind = Kind::Other;
    QByteArray name;           // header or key name, trimmed
    qsizetype valueStart = 0;  // key lines: first byte of the value (after the blanks)
    QByteArray value;          // key lines: the value, trimmed, quotes still on
};

Parsed classify(const QByteArray& line) {
    Parsed p;
    qsizetype b = 0;
    while (b < line.size() && isBlank(line[b])) ++b;
    if (b == line.size() || line[b] == ';') return p;
    if (line[b] == '[') {
        const qsizetype close = line.indexOf(']', b + 1);
        if (close < 0) return p;
        p.kind = Kind::Header;
        p.name = trimmed(line.mid(b + 1, close - b - 1));
        return p;
    }
    const qsizetype eq = line.indexOf('=', b);
    if (eq < 0) return p;
    p.name = trimmed(line.mid(b, eq - b));
    if (p.name.isEmpty()) return p;
    p.kind = Kind::Key;
    p.valueStart = eq + 1;
    while (p.valueStart < line.size() && isBlank(line[p.valueStart])) ++p.valueStart;
    p.value = trimmed(line.mid(p.valueStart));
    return p;
}

QString decodeValue(const QByteArray& raw) {
    if (raw.size() >= 2 && raw.front() == '"' && raw.back() == '"')
        return common::fromCp1251(raw.mid(1, raw.size() - 2));
    return common::fromCp1251(raw);
}

// The bytes of a value such that reading them gives the value back: a line break would
// split the line (and could forge keys), so it becomes a blank; blanks at the ends and
// enclosing quotes would be dropped on reading, so such a value is quoted.
QByteArray encodeValue(QString value) {
    value.replace(u'\r', u' ').replace(u'\n', u' ');
    const bool needsQuotes =
        !value.isEmpty() && (isBlank(value.front()) || isBlank(value.back()) ||
                             (value.size() >= 2 && value.front() == u'"' && value.back() == u'"'));
    if (needsQuotes) value = u'"' + value + u'"';
    return common::toCp1251(value);
}

// What the file holds, up to MaxFileSize; nothing when it could not be read whole or holds
// more. Memory follows the file's size: asking for the bound up front would cost 16 MiB
// for every small file.
std::optional<QByteArray> readBounded(const QString& path, qint64 expectedSize) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) return std::nullopt;
    QByteArray data(qBound<qint64>(0, expectedSize, IniFile::MaxFileSize), Qt::Uninitialized);
    const qint64 got = file.read(data.data(), data.size());
    if (got < 0) return std::nullopt;
    data.resize(got);
    // The size may have been stale or a lie (a file that grows, or reports none): read on
    // to the end, never past the bound.
    char more[16 * 1024];
    for (;;) {
        const qint64 n = file.read(more, sizeof more);
        if (n < 0 || data.size() + n > IniFile::MaxFileSize) return std::nullopt;
        if (n == 0) return data;
        data.append(more, n);
    }
}

}  // namespace

WriteError::WriteError(const QString& path)
    : std::runtime_error(QStringLiteral("Unable to write to %1").arg(path).toStdString()) {}

IniFile::IniFile(const QString& path)
    : path_(QDir::toNativeSeparators(QDir::cleanPath(QFileInfo(path).absoluteFilePath()))) {
    reload();
    ours_ = state_ == DiskState::Read;
    started_ = true;
}

void IniFile::reload() {
    lines_.clear();
    sections_.clear();
    sectionIndex_.clear();
    bom_.clear();
    state_ = DiskState::Missing;

    const QFileInfo info(path_);
    if (!info.exists()) return;
    state_ = DiskState::Unreadable;
    // A directory, a pipe (whose open would block the start) or a device is not ours.
    if (!info.isFile() || info.size() > MaxFileSize) return;
    const std::optional<QByteArray> data = readBounded(path_, info.size());
    if (!data) return;
    // A file that came, or became readable, after a start that read none is not merged:
    // writing our defaults into it would overwrite a table the user never saw loaded.
    if (started_ && !ours_) {
        state_ = DiskState::Unread;
        return;
    }
    parse(*data);
    state_ = DiskState::Read;
}

void IniFile::parse(const QByteArray& data) {
    // Editors put a UTF-8 byte-order mark in front; Windows' profile functions read
    // through it, and a first section hidden behind it would be written a second time.
    qsizetype pos = 0;
    if (data.startsWith(kUtf8Bom)) {
        bom_ = kUtf8Bom;
        pos = kUtf8Bom.size();
    }
    while (pos < data.size()) {
        qsizetype end = pos;
        while (end < data.size() && data[end] != '\r' && data[end] != '\n') ++end;
        Line line{data.mid(pos, end - pos), {}};
        if (end < data.size()) {
            const qsizetype eolLength =
                (data[end] == '\r' && end + 1 < data.size() && data[end + 1] == '\n') ? 2 : 1;
            line.eol = data.mid(end, eolLength);
            end += eolLength;
        }
        lines_.push_back(std::move(line));
        pos = end;
    }

    int current = -1;
    for (int i = 0; i < static_cast<int>(lines_.size()); ++i) {
        const Parsed p = classify(lines_[i].bytes);
        if (p.kind == Kind::Header) {
            Section section;
            section.name = common::fromCp1251(p.name);
            section.headerLine = i;
            const QString key = folded(section.name);
            if (!sectionIndex_.contains(key)) sectionIndex_.insert(key, sections_.size());
            sections_.push_back(std::move(section));
            current = static_cast<int>(sections_.size()) - 1;
        } else if (p.kind == Kind::Key && current >= 0) {
            Section& section = sections_[current];
            const QString key = folded(common::fromCp1251(p.name));
            if (!section.keyLines.contains(key)) section.keyLines.insert(key, i);
            section.lastKeyLine = i;
        }
    }
}

const IniFile::Section* IniFile::findSection(const QString& name) const {
    const auto it = sectionIndex_.constFind(folded(name));
    return it == sectionIndex_.cend() ? nullptr : &sections_[*it];
}

IniFile::Section& IniFile::sectionForWrite(const QString& name) {
    const QString key = folded(name);
    const auto it = sectionIndex_.constFind(key);
    if (it != sectionIndex_.cend()) return sections_[*it];
    Section section;
    section.name = name;
    sectionIndex_.insert(key, sections_.size());
    sections_.push_back(std::move(section));
    return sections_.back();
}

bool IniFile::lookup(const QString& section, const QString& key, QString* value) const {
    const Section* s = findSection(section);
    if (!s) return false;
    const QString k = folded(key);
    if (const auto it = s->keyLines.constFind(k); it != s->keyLines.cend()) {
        *value = decodeValue(classify(lines_[*it].bytes).value);
        return true;
    }
    if (const auto it = s->addedIndex.constFind(k); it != s->addedIndex.cend()) {
        *value = s->added[*it].second;
        return true;
    }
    return false;
}

QString IniFile::readString(const QString& section, const QString& key, const QString& def) const {
    QString value;
    if (!lookup(section, key, &value)) return def;
    value.truncate(MaxTextLength);
    return value;
}

std::int32_t IniFile::readInteger(const QString& section, const QString& key,
                                  std::int32_t def) const {
    QString value;
    if (!lookup(section, key, &value)) return def;
    value.truncate(MaxTextLength);
    return parseInteger(value).value_or(def);
}

bool IniFile::readBool(const QString& section, const QString& key, bool def) const {
    return readInteger(section, key, def ? 1 : 0) != 0;
}

void IniFile::writeString(const QString& section, const QString& key, const QString& value) {
    Section& s = sectionForWrite(section);
    const QString k = folded(key);
    if (const auto it = s.keyLines.constFind(k); it != s.keyLines.cend()) {
        Line& line = lines_[*it];
        const Parsed p = classify(line.bytes);
        // An unchanged value keeps its line as it is: its quotes, spacing and any bytes
        // that would not survive a round trip through the code page.
        if (decodeValue(p.value) == value) return;
        line.bytes = line.bytes.left(p.valueStart) + encodeValue(value);
        return;
    }
    if (const auto it = s.addedIndex.constFind(k); it != s.addedIndex.cend()) {
        s.added[*it].second = value;
        return;
    }
    s.addedIndex.insert(k, s.added.size());
    s.added.emplace_back(key, value);
}

void IniFile::writeInteger(const QString& section, const QString& key, std::int32_t value) {
    writeString(section, key, formatInteger(value));
}

void IniFile::writeBool(const QString& section, const QString& key, bool value) {
    writeString(section, key, formatBool(value));
}

QByteArray IniFile::contents() const {
    auto appendAdded = [](QByteArray& out, const Section& s) {
        for (const auto& [key, value] : s.added)
            out += common::toCp1251(key) + '=' + encodeValue(value) + kCrLf;
    };

    // New keys of a section in the file go right after its last key line.
    QHash<int, const Section*> insertAfter;
    for (const Section& s : sections_)
        if (s.headerLine >= 0 && !s.added.empty())
            insertAfter.insert(s.lastKeyLine >= 0 ? s.lastKeyLine : s.headerLine, &s);

    QByteArray out;
    for (int i = 0; i < static_cast<int>(lines_.size()); ++i) {
        const Line& line = lines_[i];
        out += line.bytes;
        const auto it = insertAfter.constFind(i);
        if (it == insertAfter.cend()) {
            out += line.eol;
            continue;
        }
        out += line.eol.isEmpty() ? kCrLf : line.eol;
        appendAdded(out, **it);
    }
    for (const Section& s : sections_) {
        if (s.headerLine >= 0) continue;
        if (!out.isEmpty() && !out.endsWith('\n') && !out.endsWith('\r')) out += kCrLf;
        out += '[' + common::toCp1251(s.name) + ']' + kCrLf;
        appendAdded(out, s);
    }
    return bom_ + out;
}

bool IniFile::moveAside() const {
    const QFileInfo info(path_);
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    for (int n = 1; n <= 100; ++n) {
        QString aside = path_ + u'.' + stamp;
        if (n > 1) aside += QStringLiteral("-%1").arg(n);
        // QDir::rename never replaces an existing file, and never falls back to copying
        // (which would block on a pipe).
        if (QFileInfo::exists(aside)) continue;
        if (!info.dir().rename(info.fileName(), QFileInfo(aside).fileName())) return false;
        const char* why =
            state_ == DiskState::Unread ? "was not read at start" : "could not be read";
        qWarning("drevonix: %s %s; it is kept as %s and written anew", qPrintable(path_), why,
                 qPrintable(aside));
        return true;
    }
    return false;
}

namespace {

#ifdef Q_OS_UNIX
// The new file is made by us, so it belongs to us; give it the old file's owner and group
// (root saving a user's file must not lock that user out of it). False when we may not.
bool keepOwner(int fd, const struct stat& old) {
    struct stat now {};
    if (::fstat(fd, &now) != 0) return false;
    if (now.st_uid == old.st_uid && now.st_gid == old.st_gid) return true;
    return ::fchown(fd, old.st_uid, old.st_gid) == 0;
}
#endif

// Writes over the file itself: it keeps its owner, group, mode and links by nature. What is
// lost is the power-cut guarantee only: a cut in the middle leaves a torn file. A full disk
// is still found before any old byte is touched, since the space is taken first.
bool writeInPlace(const QString& path, const QByteArray& data) {
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite)) return false;
#ifdef Q_OS_UNIX
    const qint64 old = file.size();
    if (data.size() > old && ::posix_fallocate(file.handle(), old, data.size() - old) != 0)
        return false;
#endif
    if (file.write(data) != data.size() || !file.flush() || !file.resize(data.size())) return false;
#ifdef Q_OS_UNIX
    if (::fsync(file.handle()) != 0) return false;
#endif
    return true;
}

}  // namespace

void IniFile::save() {
    replaceFile();
    // What stands at the path now is what we hold: later saves merge with it.
    ours_ = true;
    state_ = DiskState::Read;
}

void IniFile::replaceFile() const {
    // A car computer loses power without warning, also while we save. So the new file is
    // written beside the old one, synced, and renamed over it: after a cut the disk holds
    // the old file or the new one, whole, never a torn mix.
    const auto fail = [this] { throw WriteError(path_); };

    // We could not read what is there (or did not), so we could not keep its other lines:
    // keep the whole of it under another name, so that the user can always save and quit.
    if ((state_ == DiskState::Unreadable || state_ == DiskState::Unread) && !moveAside()) fail();

    const QFileInfo info(path_);
    const bool existed = info.exists();
    // A read-only file stays unchanged, even for a user (root) whom the mode does not stop
    // and although a rename would not need write access to the file itself. The mode bits
    // only: the "user" flags come from access(), which root passes.
    constexpr auto anyWrite =
        QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    if (existed && (!info.isWritable() || !(info.permissions() & anyWrite))) fail();

    const QString folder = info.absolutePath();
    if (!QDir(folder).exists() && !QDir().mkpath(folder)) fail();

    const QByteArray data = contents();
    QSaveFile file(path_);
    if (!file.open(QIODevice::WriteOnly)) {
        // No new file can be made beside it (a folder the user may not write), but the
        // file itself may be written.
        if (existed && writeInPlace(path_, data)) return;
        fail();
    }
#ifdef Q_OS_UNIX
    struct stat old {};
    if (existed && ::stat(QFile::encodeName(path_).constData(), &old) == 0 &&
        !keepOwner(file.handle(), old)) {
        // Only root may give a file away; in place the file stays whose it is.
        file.cancelWriting();
        if (writeInPlace(path_, data)) return;
        fail();
    }
#endif
    // Qt copies the mode too, but with the current user's access flags folded into the
    // owner bits; pass the mode bits alone so that the mode stays exactly as it was. After
    // the owner: a change of owner may clear mode bits.
    constexpr auto userFlags =
        QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser;
    if (existed && !file.setPermissions(info.permissions() & ~userFlags)) fail();
    if (file.write(data) != data.size() || !file.flush()) fail();
#ifdef Q_OS_UNIX
    // commit() syncs too, but quietly ignores a failure there; a disk that is full only
    // when the data is allocated must fail the save here.
    if (::fsync(file.handle()) != 0) fail();
#endif
    if (!file.commit()) fail();
#ifdef Q_OS_UNIX
    // Make the rename itself survive a power cut; best effort, not every file system can.
    const QByteArray dir = QFile::encodeName(folder);
    const int fd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
#endif
}

}  // namespace settings
