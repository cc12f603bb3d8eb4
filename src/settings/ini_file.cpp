#include "settings/ini_file.hpp"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QVarLengthArray>
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
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
// Room made up front for what the program itself keeps there, 14 sections of at most seven
// keys, so that the lists of a usual file are allocated once; a larger file only grows them.
constexpr std::size_t kUsualSections = 16;
constexpr std::size_t kUsualKeys = 8;
const QByteArray kUtf8Bom = QByteArrayLiteral("\xEF\xBB\xBF");

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}
bool isBlank(QChar c) {
    return c == u' ' || c == u'\t';
}

// Names compare case-insensitively, as Windows compares them. Windows-1251 maps each byte
// to one character, and each of those folds to one character: a name in the file compares
// with a folded name one byte at a time, without decoding a copy of every line.
const std::array<char16_t, 256>& foldedBytes() {
    static const std::array<char16_t, 256> table = [] {
        std::array<char16_t, 256> t{};
        for (int b = 0; b < 256; ++b)
            t[static_cast<std::size_t>(b)] =
                common::cp1251Char(static_cast<unsigned char>(b)).toCaseFolded().unicode();
        return t;
    }();
    return table;
}

// The name as asked for is folded on the way, without a copy.
bool sameName(QByteArrayView bytes, const QString& name) {
    if (bytes.size() != name.size()) return false;
    const auto& fold = foldedBytes();
    const QChar* n = name.constData();
    for (char c : bytes)
        if (fold[static_cast<unsigned char>(c)] != (n++)->toCaseFolded().unicode()) return false;
    return true;
}

// Finds headers quickly among many; equal names give equal hashes.
quint32 nameHash(QByteArrayView bytes) {
    const auto& fold = foldedBytes();
    quint32 h = 2166136261u;
    for (char c : bytes) h = (h ^ fold[static_cast<unsigned char>(c)]) * 16777619u;
    return h;
}
quint32 nameHash(const QString& name) {
    quint32 h = 2166136261u;
    for (QChar c : name) h = (h ^ c.toCaseFolded().unicode()) * 16777619u;
    return h;
}

// Lines are walked by pointer: every line of the file passes here, some of them often.
const char* skipBlanks(const char* p, const char* end) {
    while (p != end && isBlank(*p)) ++p;
    return p;
}

QByteArrayView trimmed(QByteArrayView bytes) {
    const char* begin = skipBlanks(bytes.begin(), bytes.end());
    const char* end = bytes.end();
    while (end != begin && isBlank(end[-1])) --end;
    return QByteArrayView(begin, end);
}

enum class Kind { Other, Header, Key };

// What one line is. The views point into the line given.
struct Parsed {
    Kind kind = Kind::Other;
    QByteArrayView name;       // header or key name, trimmed
    qsizetype valueStart = 0;  // key lines: first byte of the value (after the blanks)
    QByteArrayView value;      // key lines: the value, trimmed, quotes still on
};

Parsed classify(QByteArrayView line) {
    Parsed p;
    const char* const end = line.end();
    const char* b = skipBlanks(line.begin(), end);
    if (b == end || *b == ';') return p;
    if (*b == '[') {
        const auto* close = static_cast<const char*>(std::memchr(b + 1, ']', end - b - 1));
        if (!close) return p;
        p.kind = Kind::Header;
        p.name = trimmed(QByteArrayView(b + 1, close));
        return p;
    }
    const auto* eq = static_cast<const char*>(std::memchr(b, '=', end - b));
    if (!eq) return p;
    p.name = trimmed(QByteArrayView(b, eq));
    if (p.name.isEmpty()) return p;
    p.kind = Kind::Key;
    const char* value = skipBlanks(eq + 1, end);
    p.valueStart = value - line.begin();
    p.value = trimmed(QByteArrayView(value, end));
    return p;
}

QByteArrayView unquoted(QByteArrayView raw) {
    if (raw.size() >= 2 && raw.front() == '"' && raw.back() == '"')
        return raw.sliced(1, raw.size() - 2);
    return raw;
}

// Values are read no longer than this, as the Windows program's read buffer cuts them.
QByteArrayView cutText(QByteArrayView raw) {
    return raw.first(qMin<qsizetype>(raw.size(), IniFile::MaxTextLength));
}

// Whether the stored value reads as `value`, without decoding a copy of it.
bool sameValue(QByteArrayView raw, const QString& value) {
    raw = unquoted(raw);
    if (raw.size() != value.size()) return false;
    const QChar* v = value.constData();
    for (char c : raw)
        if (common::cp1251Char(static_cast<unsigned char>(c)) != *v++) return false;
    return true;
}

// Adds the bytes of a value such that reading them gives the value back: a line break
// would split the line (and could forge keys), so it becomes a blank; blanks at the ends
// and enclosing quotes would be dropped on reading, so such a value is quoted.
void appendValue(QByteArray& out, QString value) {
    if (value.contains(u'\r') || value.contains(u'\n'))
        value.replace(u'\r', u' ').replace(u'\n', u' ');
    const QString& v = value;  // reading must not detach
    const bool needsQuotes =
        !v.isEmpty() && (isBlank(v.front()) || isBlank(v.back()) ||
                         (v.size() >= 2 && v.front() == u'"' && v.back() == u'"'));
    if (needsQuotes) out += '"';
    common::appendCp1251(out, v);
    if (needsQuotes) out += '"';
}

// Names given to the writes compare as the file's names do.
bool sameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

#ifdef Q_OS_UNIX
bool runAsRoot() {
    return ::geteuid() == 0;
}

bool isSymLink(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISLNK(st.st_mode);
}

#endif

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
    // Whole, as the size said: the usual case, with nothing read twice.
    char probe = 0;
    qint64 n = file.read(&probe, 1);
    if (n == 0) return data;
    // The size was stale or a lie (a file that grows, or reports none): read on to the
    // end, never past the bound.
    while (n > 0) {
        data.append(probe);
        if (data.size() > IniFile::MaxFileSize) return std::nullopt;
        const qsizetype had = data.size();
        const qint64 room = qMin<qint64>(64 * 1024, IniFile::MaxFileSize + 1 - had);
        data.resize(had + room);
        n = file.read(data.data() + had, room);
        data.resize(had + qMax<qint64>(n, 0));
        if (data.size() > IniFile::MaxFileSize) return std::nullopt;
        if (n > 0) n = file.read(&probe, 1);
    }
    if (n < 0) return std::nullopt;
    data.squeeze();
    return data;
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
    data_.clear();
    data_.squeeze();
    bodyStart_ = 0;
    headers_.clear();
    headers_.shrink_to_fit();
    headerCache_.clear();
    keyIndexes_.clear();
    lastKeyIndex_ = 0;
    replaced_.clear();
    written_.clear();
    state_ = DiskState::Missing;

#ifdef Q_OS_UNIX
    // Run as root, a link at the path is someone else's way into any file: not read, and
    // moved aside by the save like anything else we could not read.
    if (runAsRoot() && isSymLink(path_)) {
        qWarning("drevonix: %s is a symbolic link, which the program does not follow as root",
                 qPrintable(path_));
        state_ = DiskState::Unreadable;
        return;
    }
#endif
    const QFileInfo info(path_);
    if (!info.exists()) return;
    state_ = DiskState::Unreadable;
    // A directory, a pipe (whose open would block the start) or a device is not ours.
    if (!info.isFile() || info.size() > MaxFileSize) return;
    std::optional<QByteArray> data = readBounded(path_, info.size());
    if (!data) return;
    // A file that came, or became readable, after a start that read none is not merged:
    // writing our defaults into it would overwrite a table the user never saw loaded.
    if (started_ && !ours_) {
        state_ = DiskState::Unread;
        return;
    }
    data_ = std::move(*data);
    parse();
    state_ = DiskState::Read;
}

void IniFile::parse() {
    headers_.reserve(kUsualSections);
    // Editors put a UTF-8 byte-order mark in front; Windows' profile functions read
    // through it, and a first section hidden behind it would be written a second time.
    if (data_.startsWith(kUtf8Bom)) bodyStart_ = kUtf8Bom.size();
    // Only the headers are noted, a few bytes each: the file is held once, whatever its
    // lines, and keys are found by reading their section.
    for (qsizetype pos = bodyStart_; pos < data_.size();) {
        const LineSpan line = lineAt(pos);
        const Parsed p = classify(original(line));
        if (p.kind == Kind::Header)
            headers_.push_back({static_cast<quint32>(pos), nameHash(p.name)});
        pos = line.next;
    }
}

IniFile::LineSpan IniFile::lineAt(qsizetype begin) const {
    const char* d = data_.constData();
    const qsizetype size = data_.size();
    LineSpan line{begin, begin, begin};
    // The library's search is many times quicker than a loop on a large file. It stops at
    // a NUL too, and a QByteArray's bytes are always followed by one: a NUL inside a line
    // only resumes the search.
    while (line.end < size) {
        line.end += static_cast<qsizetype>(std::strcspn(d + line.end, "\r\n"));
        if (line.end >= size || d[line.end] != '\0') break;
        ++line.end;
    }
    line.next = line.end;
    if (line.next < size)
        line.next +=
            (d[line.next] == '\r' && line.next + 1 < size && d[line.next + 1] == '\n') ? 2 : 1;
    return line;
}

QByteArrayView IniFile::original(const LineSpan& line) const {
    return QByteArrayView(data_).sliced(line.begin, line.end - line.begin);
}

QByteArrayView IniFile::current(const LineSpan& line) const {
    const auto it = replaced_.find(line.begin);
    return it == replaced_.end() ? original(line) : QByteArrayView(it->second);
}

int IniFile::findHeader(const QString& name) const {
    if (const auto it = headerCache_.constFind(name); it != headerCache_.cend()) return *it;
    const quint32 hash = nameHash(name);
    int found = -1;
    for (std::size_t i = 0; i < headers_.size() && found < 0; ++i) {
        if (headers_[i].nameHash != hash) continue;
        if (sameName(classify(original(lineAt(headers_[i].begin))).name, name))
            found = static_cast<int>(i);
    }
    headerCache_.insert(name, found);
    return found;
}

const IniFile::KeyIndex& IniFile::keyIndex(int header) const {
    // Few sections are asked for (ours): a list is quicker than a tree, and allocated once.
    // They are asked for one after the other: the one asked for last is tried first.
    if (lastKeyIndex_ < keyIndexes_.size() && keyIndexes_[lastKeyIndex_].first == header)
        return keyIndexes_[lastKeyIndex_].second;
    for (std::size_t i = 0; i < keyIndexes_.size(); ++i) {
        if (keyIndexes_[i].first != header) continue;
        lastKeyIndex_ = i;
        return keyIndexes_[i].second;
    }
    if (keyIndexes_.empty()) keyIndexes_.reserve(kUsualSections);
    // Built once per section asked for, a few bytes per key line: lookups stay quick in a
    // large section, and memory stays small for one with very many keys.
    KeyIndex index;
    index.keys.reserve(kUsualKeys);
    const std::size_t h = static_cast<std::size_t>(header);
    const qsizetype end = h + 1 < headers_.size() ? headers_[h + 1].begin : data_.size();
    index.lastKey = headers_[h].begin;
    for (qsizetype pos = lineAt(headers_[h].begin).next; pos < end;) {
        const LineSpan line = lineAt(pos);
        const Parsed p = classify(original(line));
        if (p.kind == Kind::Key) {
            index.keys.push_back(quint64{nameHash(p.name)} << 32 | static_cast<quint32>(pos));
            index.lastKey = pos;
        }
        pos = line.next;
    }
    std::sort(index.keys.begin(), index.keys.end());
    lastKeyIndex_ = keyIndexes_.size();
    return keyIndexes_.emplace_back(header, std::move(index)).second;
}

std::optional<IniFile::LineSpan> IniFile::findKey(int header, const QString& key,
                                                  QByteArrayView* value) const {
    const KeyIndex& index = keyIndex(header);
    const quint64 hash = nameHash(key);
    // Sorted by hash, then by place: the first that matches is the first in the file.
    auto it = std::lower_bound(index.keys.begin(), index.keys.end(), hash << 32);
    for (; it != index.keys.end() && *it >> 32 == hash; ++it) {
        const LineSpan line = lineAt(static_cast<quint32>(*it));
        const Parsed p = classify(original(line));
        if (!sameName(p.name, key)) continue;
        if (value) *value = p.value;
        return line;
    }
    return std::nullopt;
}

int IniFile::findWritten(const QString& section) const {
    // The program writes a section's keys one after the other: try the last one first.
    if (!written_.empty() && sameName(written_.back().name, section))
        return static_cast<int>(written_.size() - 1);
    for (std::size_t i = 0; i < written_.size(); ++i)
        if (sameName(written_[i].name, section)) return static_cast<int>(i);
    return -1;
}

std::optional<IniFile::Found> IniFile::lookup(const QString& section, const QString& key) const {
    if (const int h = findHeader(section); h >= 0) {
        QByteArrayView value;
        if (const auto line = findKey(h, key, &value)) {
            // A value written since replaced the line as read.
            if (const auto it = replaced_.find(line->begin); it != replaced_.end())
                value = classify(it->second).value;
            return Found{unquoted(value)};
        }
    }
    if (const int w = findWritten(section); w >= 0) {
        for (const auto& [k, v] : written_[static_cast<std::size_t>(w)].added)
            if (sameName(k, key)) return Found{{}, &v};
    }
    return std::nullopt;
}

QString IniFile::readString(const QString& section, const QString& key, const QString& def) const {
    const auto found = lookup(section, key);
    if (!found) return def;
    if (found->written) return found->written->left(MaxTextLength);
    return common::fromCp1251(cutText(found->raw));
}

std::int32_t IniFile::readInteger(const QString& section, const QString& key,
                                  std::int32_t def) const {
    const auto found = lookup(section, key);
    if (!found) return def;
    if (found->written)
        return parseInteger(QStringView(*found->written).left(MaxTextLength)).value_or(def);
    // Decoded on the stack: numbers are short, and half the values the program reads are.
    QVarLengthArray<QChar, 32> text;
    for (char c : cutText(found->raw))
        text.append(common::cp1251Char(static_cast<unsigned char>(c)));
    return parseInteger(QStringView(text.constData(), text.size())).value_or(def);
}

bool IniFile::readBool(const QString& section, const QString& key, bool def) const {
    return readInteger(section, key, def ? 1 : 0) != 0;
}

void IniFile::writeString(const QString& section, const QString& key, const QString& value) {
    const int h = findHeader(section);
    if (h >= 0) {
        if (const auto line = findKey(h, key)) {
            const QByteArrayView bytes = current(*line);
            const Parsed p = classify(bytes);
            // An unchanged value keeps its line as it is: its quotes, spacing and any bytes
            // that would not survive a round trip through the code page.
            if (sameValue(p.value, value)) return;
            QByteArray changed;
            changed.reserve(p.valueStart + value.size() + 2);
            changed.append(bytes.first(p.valueStart));
            appendValue(changed, value);
            replaced_[line->begin] = std::move(changed);
            return;
        }
    }
    const int found = findWritten(section);
    if (found < 0) {
        if (written_.empty()) written_.reserve(kUsualSections);
        written_.push_back({section, h, {}});
        written_.back().added.reserve(kUsualKeys);
    }
    Written& w = found >= 0 ? written_[static_cast<std::size_t>(found)] : written_.back();
    for (auto& [k, v] : w.added) {
        if (!sameName(k, key)) continue;
        v = value;
        return;
    }
    w.added.emplace_back(key, value);
}

void IniFile::writeInteger(const QString& section, const QString& key, std::int32_t value) {
    writeString(section, key, formatInteger(value));
}

void IniFile::writeBool(const QString& section, const QString& key, bool value) {
    writeString(section, key, formatBool(value));
}

QByteArray IniFile::contents() const {
    auto appendAdded = [](QByteArray& out, const Written& w) {
        for (const auto& [key, value] : w.added) {
            common::appendCp1251(out, key);
            out += '=';
            appendValue(out, value);
            out += kCrLf;
        }
    };

    // What changes, by the line it happens at: a replaced value, or a section's new keys
    // right after its last key line (its header when it has none). The size is counted on
    // the way, at most one byte per character, so that the bytes are allocated once.
    struct Change {
        qsizetype begin = 0;
        const QByteArray* replacement = nullptr;
        const Written* added = nullptr;
    };
    std::vector<Change> changes;
    changes.reserve(replaced_.size() + written_.size());
    qsizetype size = data_.size();
    for (const auto& [begin, bytes] : replaced_) {
        changes.push_back({begin, &bytes, nullptr});
        size += bytes.size();
    }
    for (const Written& w : written_) {
        if (w.header < 0) size += w.name.size() + 6;  // a line end before, "[", "]", CR LF
        for (const auto& [key, value] : w.added) size += key.size() + value.size() + 5;
        if (w.header >= 0 && !w.added.empty())
            changes.push_back({keyIndex(w.header).lastKey, nullptr, &w});
    }
    std::sort(changes.begin(), changes.end(),
              [](const Change& a, const Change& b) { return a.begin < b.begin; });

    QByteArray out;
    out.reserve(size);
    qsizetype pos = 0;
    for (std::size_t i = 0; i < changes.size(); ++i) {
        Change change = changes[i];
        // A replaced last key line with new keys after it comes as two entries.
        if (i + 1 < changes.size() && changes[i + 1].begin == change.begin) {
            const Change& more = changes[++i];
            if (more.replacement) change.replacement = more.replacement;
            if (more.added) change.added = more.added;
        }
        const qsizetype begin = change.begin;
        out.append(data_.constData() + pos, begin - pos);
        const LineSpan line = lineAt(begin);
        out.append(change.replacement ? QByteArrayView(*change.replacement) : original(line));
        const QByteArrayView eol = QByteArrayView(data_).sliced(line.end, line.next - line.end);
        if (change.added) {
            out.append(eol.isEmpty() ? QByteArrayView(kCrLf) : eol);
            appendAdded(out, *change.added);
        } else {
            out.append(eol);
        }
        pos = line.next;
    }
    out.append(data_.constData() + pos, data_.size() - pos);
    for (const Written& w : written_) {
        if (w.header >= 0) continue;
        if (out.size() > bodyStart_ && !out.endsWith('\n') && !out.endsWith('\r')) out += kCrLf;
        out += '[';
        common::appendCp1251(out, w.name);
        out += ']';
        out += kCrLf;
        appendAdded(out, w);
    }
    return out;
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

#ifdef Q_OS_UNIX
bool writeAll(int fd, const char* bytes, qint64 size, off_t at) {
    while (size > 0) {
        const ssize_t n = ::pwrite(fd, bytes, static_cast<size_t>(size), at);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes += n;
        size -= n;
        at += n;
    }
    return true;
}
#endif

// Writes over the file itself: it keeps its owner, group, mode and links by nature. What is
// lost is the power-cut guarantee only: a cut in the middle leaves a torn file. A full disk
// is found before any old byte is touched: what goes beyond the old end is written first,
// and when that fails the file is cut back to its old size, as it was byte for byte.
bool writeInPlace(const QString& path, const QByteArray& data) {
#ifdef Q_OS_UNIX
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    const off_t old = st.st_size;
    if (ok && data.size() > old && !writeAll(fd, data.constData() + old, data.size() - old, old)) {
        // Space was short (ENOSPC, EFBIG): what got written beyond the end goes again.
        if (::ftruncate(fd, old) == 0) ::fsync(fd);
        ok = false;
    }
    ok = ok && writeAll(fd, data.constData(), qMin<qint64>(old, data.size()), 0) &&
         (data.size() >= old || ::ftruncate(fd, data.size()) == 0) && ::fsync(fd) == 0;
    ::close(fd);
    return ok;
#else
    QFile file(path);
    return file.open(QIODevice::ReadWrite) && file.write(data) == data.size() && file.flush() &&
           file.resize(data.size());
#endif
}

#ifdef Q_OS_UNIX
// Root may write anywhere, and the user who owns the settings folder may put a link at the
// file's name at any moment: followed, it would let a save create or overwrite any file.
// So root works on the folder itself, never through a link at the file's name or the
// folder's: a new file made beside the old one, renamed over whatever stands there.
// False with `why` set when a link stood in the way.
bool saveAsRoot(const QString& path, const QByteArray& data, const char** why) {
    const QFileInfo info(path);
    const QByteArray name = QFile::encodeName(info.fileName());
    const int dir = ::open(QFile::encodeName(info.absolutePath()).constData(),
                           O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (dir < 0) {
        if (errno == ELOOP || errno == ENOTDIR) *why = "its folder is a symbolic link";
        return false;
    }
    struct stat old {};
    const bool existed = ::fstatat(dir, name.constData(), &old, AT_SYMLINK_NOFOLLOW) == 0;
    if (existed && !S_ISREG(old.st_mode)) {
        *why = "it is not a plain file (a symbolic link?)";
        ::close(dir);
        return false;
    }
    QByteArray temp;
    int fd = -1;
    for (int n = 0; n < 100 && fd < 0; ++n) {
        temp = '.' + name + '.' + QByteArray::number(::getpid()) + '-' + QByteArray::number(n);
        fd = ::openat(dir, temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                      0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    bool ok = fd >= 0 && writeAll(fd, data.constData(), data.size(), 0) &&
              (!existed || (::fchown(fd, old.st_uid, old.st_gid) == 0 &&
                            ::fchmod(fd, old.st_mode & 07777) == 0)) &&
              ::fsync(fd) == 0;
    if (fd >= 0) ::close(fd);
    ok = ok && ::renameat(dir, temp.constData(), dir, name.constData()) == 0;
    if (!ok && fd >= 0) ::unlinkat(dir, temp.constData(), 0);
    if (ok) ::fsync(dir);
    ::close(dir);
    return ok;
}
#endif

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

    const QByteArray data = contents();
    // What we write must be what the next start reads whole.
    if (data.size() > MaxFileSize) {
        qWarning("drevonix: %s would grow past %lld bytes; it is left as it was", qPrintable(path_),
                 static_cast<long long>(MaxFileSize));
        fail();
    }

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
#ifdef Q_OS_UNIX
    if (runAsRoot()) {
        const char* why = nullptr;
        if (saveAsRoot(path_, data, &why)) return;
        if (why) qWarning("drevonix: not saving %s as root: %s", qPrintable(path_), why);
        fail();
    }
#endif

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
