#include "settings/ini_file.hpp"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QVarLengthArray>
#include <algorithm>
#include <array>
#include <cstring>
#include <optional>

#include "common/cp1251.hpp"
#include "settings/value_forms.hpp"

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace settings {
namespace {

const QByteArray kCrLf = QByteArrayLiteral("\r\n");
// Room made up front for what the program itself keeps there, 14 sections of at most seven
// keys, so that the lists of a usual file are allocated once; a larger file only grows them.
constexpr std::size_t kUsualSections = 16;
constexpr std::size_t kUsualKeys = 8;
const QByteArray kUtf8Bom = QByteArrayLiteral("\xEF\xBB\xBF");
const QByteArray kUtf16Bom = QByteArrayLiteral("\xFF\xFE");

// A file in UTF-16LE (Notepad's "Unicode") is held as 8-bit text like the others, so that
// one parser reads both: each 16-bit unit as one to three bytes, as UTF-8 writes it, and a
// surrogate on its own too. Every unit comes back as it was, a lone surrogate included,
// and the bytes that shape a line (CR, LF, blanks, brackets, '=', ';', '"') stay the same.
void appendUnit(QByteArray& out, char16_t u) {
    if (u >= 0x800) out += static_cast<char>(0xE0 | u >> 12);
    if (u >= 0x80) out += static_cast<char>((u >= 0x800 ? 0x80 : 0xC0) | (u >> 6 & 0x3F));
    out += static_cast<char>(u < 0x80 ? u : 0x80 | (u & 0x3F));
}
void appendUnits(QByteArray& out, QStringView text) {
    for (QChar c : text) appendUnit(out, c.unicode());
}
QString unitsOf(QByteArrayView held) {
    QString out;
    out.reserve(held.size());
    for (qsizetype i = 0; i < held.size();) {
        const auto b = static_cast<unsigned char>(held[i]);
        const int n = b < 0x80 ? 1 : b < 0xE0 ? 2 : 3;
        char16_t u = n == 1 ? b : b & (n == 2 ? 0x1F : 0x0F);
        for (int k = 1; k < n && i + k < held.size(); ++k)
            u = static_cast<char16_t>(u << 6 | (static_cast<unsigned char>(held[i + k]) & 0x3F));
        out += QChar(u);
        i += n;
    }
    return out;
}

void appendText(QByteArray& out, QStringView text, bool wide) {
    if (wide)
        appendUnits(out, text);
    else
        common::appendCp1251(out, text.toString());
}

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

bool sameFolded(QStringView a, QStringView b) {
    if (a.size() != b.size()) return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (a[i].toCaseFolded() != b[i].toCaseFolded()) return false;
    return true;
}

// The name as asked for is folded on the way, without a copy.
bool sameName(QByteArrayView bytes, const QString& name, bool wide) {
    if (wide) return sameFolded(unitsOf(bytes), name);
    if (bytes.size() != name.size()) return false;
    const auto& fold = foldedBytes();
    const QChar* n = name.constData();
    for (char c : bytes)
        if (fold[static_cast<unsigned char>(c)] != (n++)->toCaseFolded().unicode()) return false;
    return true;
}

// Finds headers quickly among many; equal names give equal hashes.
quint32 nameHash(const QString& name);
quint32 nameHash(QByteArrayView bytes, bool wide) {
    if (wide) return nameHash(unitsOf(bytes));
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
bool sameValue(QByteArrayView raw, const QString& value, bool wide) {
    raw = unquoted(raw);
    if (wide) return unitsOf(raw) == value;
    if (raw.size() != value.size()) return false;
    const QChar* v = value.constData();
    for (char c : raw)
        if (common::cp1251Char(static_cast<unsigned char>(c)) != *v++) return false;
    return true;
}

// Adds the bytes of a value such that reading them gives the value back: a line break
// would split the line (and could forge keys), so it becomes a blank; blanks at the ends
// and enclosing quotes would be dropped on reading, so such a value is quoted.
void appendValue(QByteArray& out, QString value, bool wide) {
    if (value.contains(u'\r') || value.contains(u'\n'))
        value.replace(u'\r', u' ').replace(u'\n', u' ');
    const QString& v = value;  // reading must not detach
    const bool needsQuotes =
        !v.isEmpty() && (isBlank(v.front()) || isBlank(v.back()) ||
                         (v.size() >= 2 && v.front() == u'"' && v.back() == u'"'));
    if (needsQuotes) out += '"';
    appendText(out, v, wide);
    if (needsQuotes) out += '"';
}

// Names given to the writes compare as the file's names do.
bool sameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

#ifdef Q_OS_UNIX
bool isSymLink(const QString& path) {
    struct stat st = {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISLNK(st.st_mode);
}

#endif

// What the file holds, up to MaxFileSize; nothing when it could not be read whole or holds
// more. Memory follows the file's size: asking for the bound up front would cost 16 MiB
// for every small file.
std::optional<QByteArray> readBounded(const QString& path, qint64 expectedSize) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) return std::nullopt;
    // One byte more than the size says, so that a file that grew (or reports no size, like
    // those in /proc) shows as more and is read on to its end, never past the bound.
    QByteArray data(qBound<qint64>(0, expectedSize, IniFile::MaxFileSize) + 1, Qt::Uninitialized);
    qsizetype got = 0;
    for (;;) {
        if (got == data.size()) {
            if (got > IniFile::MaxFileSize) return std::nullopt;
            data.resize(qMin<qsizetype>(got + 64 * 1024, IniFile::MaxFileSize + 1));
        }
        const qint64 n = file.read(data.data() + got, data.size() - got);
        if (n < 0) return std::nullopt;
        if (n == 0) break;
        got += n;
    }
    data.resize(got);
    if (got > expectedSize) data.squeeze();  // grown in steps: the spare room goes
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
    removeStaleTemporaries();
}

void IniFile::reload() {
    data_.clear();
    data_.squeeze();
    bodyStart_ = 0;
    wide_ = false;
    oddByte_.clear();
    headers_.clear();
    headers_.shrink_to_fit();
    headerCache_.clear();
    keyIndexes_.clear();
    replaced_.clear();
    written_.clear();
    state_ = DiskState::Missing;

#ifdef Q_OS_UNIX
    // Run as root, a link at the path is someone else's way into any file: not read, and
    // moved aside by the save like anything else we could not read.
    if (runAsRoot() && isSymLink(path_)) {
        qWarning("%s: %s is a symbolic link, which the program does not follow as root",
                 qPrintable(QCoreApplication::applicationName()), qPrintable(path_));
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
    // Windows reads a file that starts with this mark as UTF-16LE, and writes it so.
    wide_ = data_.startsWith(kUtf16Bom);
    if (wide_) {
        QByteArray held;
        held.reserve(data_.size());
        for (qsizetype i = 2; i + 1 < data_.size(); i += 2)
            appendUnit(held, static_cast<char16_t>(static_cast<unsigned char>(data_[i]) |
                                                   static_cast<unsigned char>(data_[i + 1]) << 8));
        oddByte_ = data_.size() % 2 ? data_.right(1) : QByteArray();
        data_ = std::move(held);
    }
    parse();
    state_ = DiskState::Read;
}

void IniFile::parse() {
    headers_.reserve(kUsualSections);
    // Editors put a UTF-8 byte-order mark in front; Windows' profile functions read
    // through it, and a first section hidden behind it would be written a second time.
    if (!wide_ && data_.startsWith(kUtf8Bom)) bodyStart_ = kUtf8Bom.size();
    // Only the headers are noted, a few bytes each: the file is held once, whatever its
    // lines, and keys are found by reading their section.
    for (qsizetype pos = bodyStart_; pos < data_.size();) {
        const LineSpan line = lineAt(pos);
        const Parsed p = classify(original(line));
        if (p.kind == Kind::Header)
            headers_.push_back({static_cast<quint32>(pos), nameHash(p.name, wide_)});
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
        if (sameName(classify(original(lineAt(headers_[i].begin))).name, name, wide_))
            found = static_cast<int>(i);
    }
    headerCache_.insert(name, found);
    return found;
}

const IniFile::KeyIndex& IniFile::keyIndex(int header) const {
    // Few sections are asked for (ours): a list is quicker than a tree, and allocated once.
    for (const auto& [h, index] : keyIndexes_)
        if (h == header) return index;
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
            index.keys.push_back(quint64{nameHash(p.name, wide_)} << 32 |
                                 static_cast<quint32>(pos));
            index.lastKey = pos;
        }
        pos = line.next;
    }
    std::sort(index.keys.begin(), index.keys.end());
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
        if (!sameName(p.name, key, wide_)) continue;
        if (value) *value = p.value;
        return line;
    }
    return std::nullopt;
}

int IniFile::findWritten(const QString& section) const {
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
    if (wide_) return unitsOf(found->raw).left(MaxTextLength);
    return common::fromCp1251(cutText(found->raw));
}

std::int32_t IniFile::readInteger(const QString& section, const QString& key,
                                  std::int32_t def) const {
    const auto found = lookup(section, key);
    if (!found) return def;
    if (found->written)
        return parseInteger(QStringView(*found->written).left(MaxTextLength)).value_or(def);
    if (wide_) return parseInteger(unitsOf(found->raw).left(MaxTextLength)).value_or(def);
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
            if (sameValue(p.value, value, wide_)) return;
            QByteArray changed;
            changed.reserve(p.valueStart + value.size() + 2);
            changed.append(bytes.first(p.valueStart));
            appendValue(changed, value, wide_);
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
    auto appendAdded = [this](QByteArray& out, const Written& w) {
        for (const auto& [key, value] : w.added) {
            appendText(out, key, wide_);
            out += '=';
            appendValue(out, value, wide_);
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
        appendText(out, w.name, wide_);
        out += ']';
        out += kCrLf;
        appendAdded(out, w);
    }
    if (!wide_) return out;
    QByteArray file = kUtf16Bom;
    file.reserve(kUtf16Bom.size() + out.size() * 2 + oddByte_.size());
    for (QChar c : unitsOf(out)) {
        file += static_cast<char>(c.unicode() & 0xFF);
        file += static_cast<char>(c.unicode() >> 8);
    }
    return file + oddByte_;
}

}  // namespace settings
