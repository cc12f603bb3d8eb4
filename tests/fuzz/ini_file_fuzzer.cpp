// Control.ini from arbitrary bytes: parse, the 89 writes of a save, save, parse again.
// Every written value must read back, and every line the writes had no business with
// must come out byte for byte, in its order, with nothing foreign added.
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <vector>

#include "common/cp1251.hpp"
#include "fuzz_check.hpp"
#include "settings/ini_file.hpp"

namespace {

enum class Form { Text, Bool, Integer };
struct KeySpec {
    const char* name;
    Form form;
};
const KeySpec kRowKeys[] = {{"J.Code", Form::Text},  {"Shift", Form::Bool},  {"Ctrl", Form::Bool},
                            {"Alt", Form::Bool},     {"Symbol", Form::Text}, {"Value", Form::Text},
                            {"Descript", Form::Text}};

struct Write {
    QString section, key;
    Form form;
};
// What one input writes there. Held by the run alone: memory left over from one input to
// the next would make libFuzzer suspect a leak and run the input again.
struct Value {
    QString text;
    std::int32_t number = 0;
};

// The folder lives in memory: save() syncs twice, which would make a disk the bottleneck.
// Its name is never destroyed: the handler that removes the folder runs after the static
// destructors registered later.
const QString& workFolder() {
    static const QString& folder = *new QString([] {
        std::string pattern =
            (QDir("/dev/shm").exists() ? "/dev/shm" : QDir::tempPath().toStdString()) +
            "/drevonix-fuzz-XXXXXX";
        FUZZ_CHECK(::mkdtemp(pattern.data()) != nullptr);
        const QString path = QString::fromStdString(pattern);
        std::atexit([] { QDir(workFolder()).removeRecursively(); });
        return path;
    }());
    return folder;
}

// Views into the bytes split.
struct Line {
    QByteArrayView bytes, eol;
};

// Line splitting written apart from the parser: CR LF, LF or a lone CR end a line.
// The list is sized once: each allocation costs the sanitizer's bookkeeping.
std::vector<Line> splitLines(QByteArrayView data) {
    const char* d = data.data();  // by pointer: Qt's bounds-checked access is not inlined here
    std::size_t ends = 1;
    for (const char* p = d; p != d + data.size(); ++p) ends += *p == '\r' || *p == '\n';
    std::vector<Line> lines;
    lines.reserve(ends);
    qsizetype begin = 0;
    for (qsizetype i = 0; i < data.size(); ++i) {
        const char c = d[i];
        if (c != '\r' && c != '\n') continue;
        const qsizetype eol = (c == '\r' && i + 1 < data.size() && d[i + 1] == '\n') ? 2 : 1;
        lines.push_back(
            {QByteArrayView(data).sliced(begin, i - begin), QByteArrayView(data).sliced(i, eol)});
        i += eol - 1;
        begin = i + 1;
    }
    if (begin < data.size()) lines.push_back({data.sliced(begin), {}});
    return lines;
}

QByteArrayView trimBlanks(QByteArrayView b) {
    const char* begin = b.begin();
    const char* end = b.end();
    while (begin != end && (*begin == ' ' || *begin == '\t')) ++begin;
    while (end != begin && (end[-1] == ' ' || end[-1] == '\t')) --end;
    return QByteArrayView(begin, end);
}

// Our names are ASCII, and no character of the code page folds to an ASCII letter, so
// an ASCII comparison without case finds exactly the names that fold to ours.
bool isOneOf(QByteArrayView name, std::initializer_list<const char*> names) {
    for (const char* n : names)
        if (name.compare(QByteArrayView(n), Qt::CaseInsensitive) == 0) return true;
    return false;
}

bool isOurSectionName(QByteArrayView name) {
    return isOneOf(name, {"Key 01", "Key 02", "Key 03", "Key 04", "Key 05", "Key 06", "Key 07",
                          "Key 08", "Key 09", "Key 10", "Key 11", "Key 12", "Position", "System"});
}

bool isOurKeyName(QByteArrayView name) {
    return isOneOf(name, {"J.Code", "Shift", "Ctrl", "Alt", "Symbol", "Value", "Descript", "Left",
                          "Top", "Differ", "Val.First", "Val.Next"});
}

// Lines a save may change or add: a key line named like one of ours, or a header of one of
// our sections. Broader than the real rules on purpose; everything else is foreign.
bool mayBeOurs(QByteArrayView line) {
    const QByteArrayView t = trimBlanks(line);
    if (t.startsWith('[')) {
        const qsizetype close = t.indexOf(']');
        return close > 0 && isOurSectionName(trimBlanks(t.sliced(1, close - 1)));
    }
    const qsizetype eq = t.indexOf('=');
    return eq >= 0 && isOurKeyName(trimBlanks(t.first(eq)));
}

// Characters a settings value may hold: anything the code page has, but no line break
// (the key table's edits are single-line).
QChar valueChar(std::uint8_t b) {
    if (b == 0x98 || b == '\r' || b == '\n') b = 'x';
    return common::cp1251Char(b);
}

QString makeText(FuzzedDataProvider& in, const settings::IniFile& ini, const Write& w, bool wide) {
    switch (in.ConsumeIntegralInRange(0, 4)) {
        case 0:  // unchanged: the line must stay as it is
            return ini.readString(w.section, w.key, QStringLiteral("1024"));
        case 1:
            return QString();
        case 2:  // a Unicode file holds what the code page lacks
            return wide ? QStringLiteral("Следущая песня ✓") : QStringLiteral("Следущая песня");
        default: {
            QString s;
            const std::size_t n = in.ConsumeIntegralInRange<std::size_t>(0, 40);
            s.reserve(static_cast<qsizetype>(n));
            for (std::size_t i = 0; i < n && in.remaining_bytes() > 0; ++i)
                s += valueChar(in.ConsumeIntegral<std::uint8_t>());
            return s;
        }
    }
}

// The 89 values of a save, names made once.
const std::vector<Write>& allWrites() {
    static const std::vector<Write> writes = [] {
        std::vector<Write> w;
        for (int row = 1; row <= 12; ++row)
            for (const KeySpec& k : kRowKeys)
                w.push_back({QStringLiteral("Key %1").arg(row, 2, 10, QLatin1Char('0')),
                             QString::fromLatin1(k.name), k.form});
        for (const char* k : {"Left", "Top"}) w.push_back({"Position", k, Form::Integer});
        for (const char* k : {"Differ", "Val.First", "Val.Next"})
            w.push_back({"System", k, Form::Integer});
        return w;
    }();
    return writes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    // The file is the first part of the input, the values come from the rest.
    const std::string fileBytes = in.ConsumeRandomLengthString(size);
    const QByteArray original = QByteArray::fromStdString(fileBytes);
    static const QString path = workFolder() + "/Control.ini";
    {
        QFile f(path);
        FUZZ_CHECK(f.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered));
        FUZZ_CHECK(f.write(original) == original.size());
    }

    settings::IniFile ini(path);
    FUZZ_CHECK(ini.diskState() == settings::IniFile::DiskState::Read);
    const bool wide = original.startsWith("\xFF\xFE");  // UTF-16LE

    const std::vector<Write>& writes = allWrites();
    FUZZ_CHECK(writes.size() == 89);
    std::vector<Value> values(writes.size());

    for (std::size_t i = 0; i < writes.size(); ++i) {
        const Write& w = writes[i];
        Value& v = values[i];
        switch (w.form) {
            case Form::Text:
                v.text = makeText(in, ini, w, wide);
                ini.writeString(w.section, w.key, v.text);
                break;
            case Form::Bool:
                v.number = in.ConsumeBool();
                ini.writeBool(w.section, w.key, v.number != 0);
                break;
            case Form::Integer:
                v.number = in.ConsumeIntegral<std::int32_t>();
                ini.writeInteger(w.section, w.key, v.number);
                break;
        }
    }
    ini.save();

    QFile f(path);
    FUZZ_CHECK(f.open(QIODevice::ReadOnly | QIODevice::Unbuffered));
    const QByteArray saved = f.readAll();
    f.close();

    settings::IniFile again(path);
    FUZZ_CHECK(again.diskState() == settings::IniFile::DiskState::Read);
    for (std::size_t i = 0; i < writes.size(); ++i) {
        const Write& w = writes[i];
        const Value& v = values[i];
        switch (w.form) {
            case Form::Text:
                FUZZ_CHECK(again.readString(w.section, w.key, QStringLiteral("<missing>")) ==
                           v.text.left(settings::IniFile::MaxTextLength));
                break;
            case Form::Bool:
                FUZZ_CHECK(again.readBool(w.section, w.key, v.number == 0) == (v.number != 0));
                FUZZ_CHECK(again.readInteger(w.section, w.key, 7) == v.number);
                break;
            case Form::Integer:
                FUZZ_CHECK(again.readInteger(w.section, w.key, v.number ^ 1) == v.number);
                break;
        }
    }

    // Saving what was just read changes nothing.
    FUZZ_CHECK(again.contents() == saved);
    // A UTF-16LE file stays one, its odd last byte kept; its lines are the unit tests' part.
    if (wide) {
        FUZZ_CHECK(saved.startsWith("\xFF\xFE") && saved.size() % 2 == original.size() % 2 &&
                   (saved.size() % 2 == 0 || saved.back() == original.back()));
        return 0;
    }

    // A UTF-8 byte-order mark stays as it was, in front of the lines.
    const QByteArray bom = QByteArrayLiteral("\xEF\xBB\xBF");
    FUZZ_CHECK(saved.startsWith(bom) == original.startsWith(bom));
    const qsizetype bomSize = original.startsWith(bom) ? bom.size() : 0;

    // Foreign lines: all there, unchanged, in order; whatever lies between them is ours.
    const std::vector<Line> before = splitLines(QByteArrayView(original).sliced(bomSize));
    const std::vector<Line> after = splitLines(QByteArrayView(saved).sliced(bomSize));
    std::size_t j = 0;
    for (std::size_t i = 0; i < before.size(); ++i) {
        if (mayBeOurs(before[i].bytes)) continue;
        while (j < after.size() && after[j].bytes != before[i].bytes) {
            FUZZ_CHECK(mayBeOurs(after[j].bytes));
            ++j;
        }
        FUZZ_CHECK(j < after.size());
        // The last line may gain a line end when something is added behind it.
        FUZZ_CHECK(after[j].eol == before[i].eol || before[i].eol.isEmpty());
        ++j;
    }
    for (; j < after.size(); ++j) FUZZ_CHECK(mayBeOurs(after[j].bytes));
    return 0;
}
