#include "settings/settings_binding.hpp"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <functional>

#include "default_file.hpp"
#include "fakes.hpp"

namespace {

using keymap::KeyField;
using keymap::KeyTick;
using settings::IniFile;
using settings_test::FakeKeyTable;
using settings_test::FakeWindow;
using settings_test::kDefaultFile;
using settings_test::readBytes;
using settings_test::writeBytes;

const char* const kDescriptions[] = {
    "Старт",
    "Стоп",
    "Следущая песня",
    "Предыдущая песня",
    "Вперед на 5 секунд",
    "Назад на 5 секунд",
    "Громче",
    "Тише",
    "На 10 песен вперед",
    "На 10 песен назад",
    "Пауза/Продолжить",
    "Закрыть",
};

// The raw bytes of `key`'s line in `section` of a saved file, or "<absent>".
QByteArray savedLine(const QByteArray& file, const QByteArray& section, const QByteArray& key) {
    bool inSection = false;
    for (const QByteArray& line : file.split('\n')) {
        const QByteArray l = line.endsWith('\r') ? line.chopped(1) : line;
        if (l.startsWith('['))
            inSection = l == '[' + section + ']';
        else if (inSection && l.startsWith(key + '='))
            return l;
    }
    return "<absent>";
}

class SettingsBinding : public ::testing::Test {
protected:
    QTemporaryDir dir;
    FakeKeyTable keys;
    FakeWindow window;
    keymap::SystemSettings system{-9, -9, -9};

    QString path() const { return dir.filePath("Control.ini"); }
    IniFile loadFrom(const QByteArray* bytes) {
        if (bytes) {
            EXPECT_TRUE(writeBytes(path(), *bytes));
        }
        IniFile ini(path());
        settings::load(ini, keys, window, system);
        return ini;
    }
    void expectDefaults() {
        for (int row = 1; row <= 12; ++row) {
            SCOPED_TRACE(row);
            EXPECT_EQ(keys.text(row, KeyField::JCode), "1024");
            EXPECT_FALSE(keys.tick(row, KeyTick::Shift));
            EXPECT_FALSE(keys.tick(row, KeyTick::Ctrl));
            EXPECT_FALSE(keys.tick(row, KeyTick::Alt));
            EXPECT_EQ(keys.text(row, KeyField::Symbol), QString(QChar('A' + row - 1)));
            EXPECT_EQ(keys.text(row, KeyField::Value), QString::number(64 + row));
            EXPECT_EQ(keys.text(row, KeyField::Descript),
                      QString::fromUtf8(kDescriptions[row - 1]));
        }
        EXPECT_EQ(window.x, 100);
        EXPECT_EQ(window.y, 100);
        EXPECT_EQ(system.Differ, 5);
        EXPECT_EQ(system.ValFirst, 200);
        EXPECT_EQ(system.ValNext, 100);
    }
};

TEST_F(SettingsBinding, NoFileGivesDefaultsAndTheFirstSaveWritesThemAll) {
    IniFile ini = loadFrom(nullptr);
    expectDefaults();
    settings::Save_all(ini, keys, window, system);
    const QByteArray saved = readBytes(path());
    EXPECT_EQ(saved, kDefaultFile);
    EXPECT_EQ(saved.count('='), 89);
    EXPECT_EQ(saved.count('['), 14);
    EXPECT_EQ(saved.count("\r\n"), 89 + 14);
}

TEST_F(SettingsBinding, UnusableFilesGiveDefaults) {
    QByteArray garbage;
    quint32 x = 12345;
    for (int i = 0; i < 65536; ++i) {
        x = x * 1664525u + 1013904223u;
        garbage.append(static_cast<char>(x >> 24));
    }
    const QByteArray files[] = {QByteArray(), QByteArray("\r\n\r\n"), garbage,
                                QByteArray("[Key 01\r\nJ.Code=5\r\n")};
    for (const QByteArray& f : files) {
        loadFrom(&f);
        expectDefaults();
    }
}

TEST_F(SettingsBinding, FileAsWindowsWritesItIsReadAndSavedBackUnchanged) {
    QByteArray file = kDefaultFile;
    file.replace("[Key 03]\r\nJ.Code=1024\r\nShift=0\r\nCtrl=0\r\nAlt=0\r\n",
                 "[Key 03]\r\nJ.Code=777\r\nShift=1\r\nCtrl=0\r\nAlt=1\r\n");
    // "Громче" -> "Громче!", "Тише" -> "Тихо" (cp1251)
    file.replace("Descript=\xC3\xF0\xEE\xEC\xF7\xE5\r\n", "Descript=\xC3\xF0\xEE\xEC\xF7\xE5!\r\n");
    file.replace("Descript=\xD2\xE8\xF8\xE5\r\n", "Descript=\xD2\xE8\xF5\xEE\r\n");
    file.replace("Left=100", "Left=-20").replace("Differ=5", "Differ=8");
    ASSERT_NE(file, kDefaultFile);

    IniFile ini = loadFrom(&file);
    EXPECT_EQ(keys.text(3, KeyField::JCode), "777");
    EXPECT_TRUE(keys.tick(3, KeyTick::Shift));
    EXPECT_FALSE(keys.tick(3, KeyTick::Ctrl));
    EXPECT_TRUE(keys.tick(3, KeyTick::Alt));
    EXPECT_EQ(keys.text(7, KeyField::Descript), "Громче!");
    EXPECT_EQ(keys.text(8, KeyField::Descript), "Тихо");
    EXPECT_EQ(keys.text(12, KeyField::Descript), "Закрыть");
    EXPECT_EQ(window.x, -20);
    EXPECT_EQ(system.Differ, 8);

    settings::Save_all(ini, keys, window, system);
    EXPECT_EQ(readBytes(path()), file);
}

struct EdgeCase {
    const char* what;
    QByteArray file;
    std::function<void(const FakeKeyTable&, const FakeWindow&, const keymap::SystemSettings&)>
        loaded;
    std::function<void(FakeKeyTable&)> edit;  // between load and save, may be empty
    QByteArray section;
    QByteArray key;
    QByteArray savedAs;
};

TEST_F(SettingsBinding, ValuesLoadAndSaveAsTheFileFormWants) {
    const QByteArray longText(3000, 'w');
    const EdgeCase cases[] = {
        {"empty code",
         "[Key 01]\r\nJ.Code=\r\n",
         [](auto& k, auto&, auto&) { EXPECT_EQ(k.text(1, KeyField::JCode), ""); },
         {},
         "Key 01",
         "J.Code",
         "J.Code="},
        {"empty left",
         "[Position]\r\nLeft=\r\n",
         [](auto&, auto& w, auto&) { EXPECT_EQ(w.x, 100); },
         {},
         "Position",
         "Left",
         "Left=100"},
        {"left 0x20",
         "[Position]\r\nLeft=0x20\r\n",
         [](auto&, auto& w, auto&) { EXPECT_EQ(w.x, 32); },
         {},
         "Position",
         "Left",
         "Left=32"},
        {"left $20",
         "[Position]\r\nLeft=$20\r\n",
         [](auto&, auto& w, auto&) { EXPECT_EQ(w.x, 32); },
         {},
         "Position",
         "Left",
         "Left=32"},
        {"left abc",
         "[Position]\r\nLeft=abc\r\n",
         [](auto&, auto& w, auto&) { EXPECT_EQ(w.x, 100); },
         {},
         "Position",
         "Left",
         "Left=100"},
        {"top alone",
         "[Position]\r\nTop=-7\r\n",
         [](auto&, auto& w, auto&) {
             EXPECT_EQ(w.x, 100);
             EXPECT_EQ(w.y, -7);
         },
         {},
         "Position",
         "Top",
         "Top=-7"},
        {"differ -3",
         "[System]\r\nDiffer=-3\r\n",
         [](auto&, auto&, auto& s) { EXPECT_EQ(s.Differ, -3); },
         {},
         "System",
         "Differ",
         "Differ=-3"},
        {"differ 8, first $FFFFFFFF",
         "[System]\r\nDiffer=8\r\nVal.First=$FFFFFFFF\r\n",
         [](auto&, auto&, auto& s) {
             EXPECT_EQ(s.Differ, 8);
             EXPECT_EQ(s.ValFirst, -1);
             EXPECT_EQ(s.ValNext, 100);
         },
         {},
         "System",
         "Val.First",
         "Val.First=-1"},
        {"shift 2",
         "[Key 05]\r\nShift=2\r\n",
         [](auto& k, auto&, auto&) { EXPECT_TRUE(k.tick(5, KeyTick::Shift)); },
         {},
         "Key 05",
         "Shift",
         "Shift=1"},
        {"shift yes",
         "[Key 05]\r\nShift=yes\r\n",
         [](auto& k, auto&, auto&) { EXPECT_FALSE(k.tick(5, KeyTick::Shift)); },
         {},
         "Key 05",
         "Shift",
         "Shift=0"},
        {"symbol XY",
         "[Key 12]\r\nSymbol=XY\r\n",
         [](auto& k, auto&, auto&) { EXPECT_EQ(k.text(12, KeyField::Symbol), "XY"); },
         {},
         "Key 12",
         "Symbol",
         "Symbol=XY"},
        {"symbol edited empty", "", [](auto&, auto&, auto&) {},
         [](FakeKeyTable& k) { k.setText(4, KeyField::Symbol, ""); }, "Key 04", "Symbol",
         "Symbol="},
        {"description of 3000 characters",
         "[Key 02]\r\nDescript=" + longText + "\r\n",
         [](auto& k, auto&, auto&) {
             EXPECT_EQ(k.text(2, KeyField::Descript), QString(2047, 'w'));
         },
         {},
         "Key 02",
         "Descript",
         "Descript=" + QByteArray(2047, 'w')},
        {"edited description, Cyrillic out of the code page", "", [](auto&, auto&, auto&) {},
         [](FakeKeyTable& k) { k.setText(9, KeyField::Descript, "Ёлка ♪"); }, "Key 09", "Descript",
         "Descript=\xA8\xEB\xEA\xE0 ?"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(path());
        IniFile ini = loadFrom(c.file.isEmpty() ? nullptr : &c.file);
        c.loaded(keys, window, system);
        if (c.edit) c.edit(keys);
        settings::Save_all(ini, keys, window, system);
        EXPECT_EQ(savedLine(readBytes(path()), c.section, c.key), c.savedAs);
    }
}

TEST_F(SettingsBinding, ForeignLinesAreKeptByteForByte) {
    const QByteArray before =
        "; Written by hand\r\n"
        "[Other]\r\n"
        "x=\x98\xFF\r\n"
        "\r\n"
        "[key 01]\n"
        "J.Code = 7\n"
        "Note=keep me\n"
        "; row one\n"
        "[Position]\r\n"
        "Left=5\r\n"
        "  ;indented\r";
    IniFile ini = loadFrom(&before);
    EXPECT_EQ(keys.text(1, KeyField::JCode), "7");
    keys.setText(1, KeyField::JCode, "8");
    window.x = 6;

    // A second program edits a foreign line while we run; the save keeps its edit.
    QByteArray edited = before;
    edited.replace("keep me", "edited");
    ASSERT_TRUE(writeBytes(path(), edited));

    settings::Save_all(ini, keys, window, system);
    const QByteArray row1Rest =
        "Shift=0\r\nCtrl=0\r\nAlt=0\r\nSymbol=A\r\nValue=65\r\nDescript=\xD1\xF2\xE0\xF0\xF2\r\n";
    const qsizetype key02 = kDefaultFile.indexOf("[Key 02]");
    const qsizetype position = kDefaultFile.indexOf("[Position]");
    const qsizetype systemAt = kDefaultFile.indexOf("[System]");
    const QByteArray expected =
        "; Written by hand\r\n"
        "[Other]\r\n"
        "x=\x98\xFF\r\n"
        "\r\n"
        "[key 01]\n"
        "J.Code = 8\n"
        "Note=edited\n" +
        row1Rest +
        "; row one\n"
        "[Position]\r\n"
        "Left=6\r\n"
        "Top=100\r\n"
        "  ;indented\r" +
        kDefaultFile.mid(key02, position - key02) + kDefaultFile.mid(systemAt);
    EXPECT_EQ(readBytes(path()), expected);

    // Leaving through the menu saves twice: the second save changes nothing.
    settings::Save_all(ini, keys, window, system);
    EXPECT_EQ(readBytes(path()), expected);
}

}  // namespace
