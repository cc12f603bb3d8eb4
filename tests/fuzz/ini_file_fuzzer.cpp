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
    QString text;
    std::int32_t number = 0;
};

// The folder lives in memory: save() syncs twice, which would make a disk the bottleneck.
const QString& workFolder() {
    static const QString folder = [] {
        std::string pattern =
            (QDir("/dev/shm").exists() ? "/dev/shm" : QDir::tempPath().toStdString()) +
            "/drevonix-fuzz-XXXXXX";
        FUZZ_CHECK(::mkdtemp(pattern.data()) != nullptr);
        const QString path = QString::fromStdString(pattern);
        std::atexit([] { QDir(workFolder()).removeRecursively(); });
        return path;
    }();
    return folder;
}

struct Line {
    QByteArray bytes, eol;
};

// Line splitting written apart from the parser: CR LF, LF or a lone CR end a line.
std::vector<Line> splitLines(const QByteArray& data) {
    std::vector<Line> lines;
    Line cur;
    for (qsizetype i = 0; i < data.size(); ++i) {
        const char c = data[i];
        if (c == '\r' || c == '\n') {
            cur.eol = (c == '\r' && i + 1 < data.size() && data[i + 1] == '\n') ? "\r\n"
                                                                                : QByteArray(1, c);
            if (cur.eol.size() == 2) ++i;
            lines.push_back(cur);
            cur = Line{};
        } else {
            cur.bytes += c;
        }
    }
    if (!cur.bytes.isEmpty()) lines.push_back(cur);
    return lines;
}

QByteArray trimBlanks(QByteArray b) {
    while (!b.isEmpty() && (b.front() == ' ' || b.front() == '\t')) b.remove(0, 1);
    while (!b.isEmpty() && (b.back() == ' ' || b.back() == '\t')) b.chop(1);
    return b;
}

bool isOurSectionName(const QString& folded) {
    if (folded == u"position" || folded == u"system") return true;
    for (int row = 1; row <= 12; ++row)
        if (folded == QStringLiteral("key %1").arg(row, 2, 10, QLatin1Char('0'))) return true;
    return false;
}

bool isOurKeyName(const QString& folded) {
    for (const KeySpec& k : kRowKeys)
        if (folded == QString::fromLatin1(k.name).toCaseFolded()) return true;
    for (const char* k : {"left", "top", "differ", "val.first", "val.next"})
        if (folded == QLatin1String(k)) return true;
    return false;
}

// Lines a save may change or add: a key line named like one of ours, or a header of one of
// our sections. Broader than the real rules on purpose; everything else is foreign.
bool mayBeOurs(const QByteArray& line) {
    const QByteArray t = trimBlanks(line);
    if (t.startsWith('[')) {
        const qsizetype close = t.indexOf(']');
        return close > 0 &&
               isOurSectionName(common::fromCp1251(trimBlanks(t.mid(1, close - 1))).toCaseFolded());
    }
    const qsizetype eq = t.indexOf('=');
    return eq >= 0 && isOurKeyName(common::fromCp1251(trimBlanks(t.left(eq))).toCaseFolded());
}

// Characters a settings value may hold: anything the code page has, but no line break
// (the key table's edits are single-line).
QChar valueChar(std::uint8_t b) {
    if (b == 0x98 || b == '\r' || b == '\n') b = 'x';
    return common::cp1251Char(b);
}

QString makeText(FuzzedDataProvider& in, const settings::IniFile& ini, const Write& w) {
    switch (in.ConsumeIntegralInRange(0, 4)) {
        case 0:  // unchanged: the line must stay as it is
            return ini.readString(w.section, w.key, QStringLiteral("1024"));
        case 1:
            return QString();
        case 2:
            return QStringLiteral("Следущая песня");
        default: {
            QString s;
            const std::size_t n = in.ConsumeIntegralInRange<std::size_t>(0, 40);
            for (std::size_t i = 0; i < n && in.remaining_bytes() > 0; ++i)
                s += valueChar(in.ConsumeIntegral<std::uint8_t>());
            return s;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    // The file is the first part of the input, the values come from the rest.
    const std::string fileBytes = in.ConsumeRandomLengthString(size);
    const QByteArray original = QByteArray::fromStdString(fileBytes);
    const QString path = workFolder() + "/Control.ini";
    {
        QFile f(path);
        FUZZ_CHECK(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        FUZZ_CHECK(f.write(original) == original.size());
    }

    settings::IniFile ini(path);
    FUZZ_CHECK(ini.diskState() == settings::IniFile::DiskState::Read);

    std::vector<Write> writes;
    for (int row = 1; row <= 12; ++row)
        for (const KeySpec& k : kRowKeys)
            writes.push_back({QStringLiteral("Key %1").arg(row, 2, 10, QLatin1Char('0')),
                              QString::fromLatin1(k.name),
                              k.form,
                              {},
                              0});
    for (const char* k : {"Left", "Top"}) writes.push_back({"Position", k, Form::Integer, {}, 0});
    for (const char* k : {"Differ", "Val.First", "Val.Next"})
        writes.push_back({"System", k, Form::Integer, {}, 0});
    FUZZ_CHECK(writes.size() == 89);

    for (Write& w : writes) {
        switch (w.form) {
            case Form::Text:
                w.text = makeText(in, ini, w);
                ini.writeString(w.section, w.key, w.text);
                break;
            case Form::Bool:
                w.number = in.ConsumeBool();
                ini.writeBool(w.section, w.key, w.number != 0);
                break;
            case Form::Integer:
                w.number = in.ConsumeIntegral<std::int32_t>();
                ini.writeInteger(w.section, w.key, w.number);
                break;
        }
    }
    ini.save();

    QFile f(path);
    FUZZ_CHECK(f.open(QIODevice::ReadOnly));
    const QByteArray saved = f.readAll();
    f.close();

    settings::IniFile again(path);
    FUZZ_CHECK(again.diskState() == settings::IniFile::DiskState::Read);
    for (const Write& w : writes) {
        switch (w.form) {
            case Form::Text:
                FUZZ_CHECK(again.readString(w.section, w.key, "<missing>") ==
                           w.text.left(settings::IniFile::MaxTextLength));
                break;
            case Form::Bool:
                FUZZ_CHECK(again.readBool(w.section, w.key, w.number == 0) == (w.number != 0));
                FUZZ_CHECK(again.readInteger(w.section, w.key, 7) == w.number);
                break;
            case Form::Integer:
                FUZZ_CHECK(again.readInteger(w.section, w.key, w.number ^ 1) == w.number);
                break;
        }
    }

    // Foreign lines: all there, unchanged, in order; whatever lies between them is ours.
    const std::vector<Line> before = splitLines(original);
    const std::vector<Line> after = splitLines(saved);
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

    // Saving what was just read changes nothing.
    FUZZ_CHECK(again.contents() == saved);
    return 0;
}
