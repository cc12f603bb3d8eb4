#include "settings/ini_file.hpp"

#include <gtest/gtest.h>

#include <QDir>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <functional>

#include "fakes.hpp"

namespace {

using settings::IniFile;
using settings_test::readBytes;
using settings_test::writeBytes;
using namespace Qt::Literals::StringLiterals;

// Notepad's "Unicode": UTF-16LE after its byte-order mark.
QByteArray utf16(const QString& text) {
    return QStringEncoder(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom)(text);
}

class IniFileTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path() const { return dir.filePath("Control.ini"); }
    IniFile fileWith(const QByteArray& bytes) {
        EXPECT_TRUE(writeBytes(path(), bytes));
        return IniFile(path());
    }
};

struct ReadCase {
    const char* what;
    QByteArray file;
    QString section;
    QString key;
    QString expected;  // "<default>" when the key must not be found
};

TEST_F(IniFileTest, ReadsTheDialect) {
    const QString def = QStringLiteral("<default>");
    const ReadCase cases[] = {
        {"plain", "[S]\r\nk=v\r\n", "S", "k", "v"},
        {"section case", "[key 01]\r\nk=v\r\n", "Key 01", "k", "v"},
        {"key case", "[S]\r\nJ.CODE=v\r\n", "S", "J.Code", "v"},
        {"Cyrillic name case", "[\xCA\xEB\xFE\xF7]\r\nk=v\r\n", "КЛЮЧ", "k", "v"},
        {"blanks around names", "  [  S  ]  \r\n \t k \t= v\r\n", "S", "k", "v"},
        {"blanks around value", "[S]\r\nk=  \t v w \t \r\n", "S", "k", "v w"},
        {"quoted value", "[S]\r\nk=\" v \"\r\n", "S", "k", " v "},
        {"quotes inside kept", "[S]\r\nk=\"a\"b\"\r\n", "S", "k", "a\"b"},
        {"empty quotes", "[S]\r\nk=\"\"\r\n", "S", "k", ""},
        {"lone quote", "[S]\r\nk=\"abc\r\n", "S", "k", "\"abc"},
        {"single quote char", "[S]\r\nk=\"\r\n", "S", "k", "\""},
        {"empty value", "[S]\r\nk=\r\n", "S", "k", ""},
        {"second equals is value", "[S]\r\nk=a=b\r\n", "S", "k", "a=b"},
        {"first duplicate key wins", "[S]\r\nk=1\r\nK=2\r\n", "S", "k", "1"},
        {"first duplicate section wins", "[S]\r\nk=1\r\n[s]\r\nk=2\r\nj=3\r\n", "S", "j", def},
        {"other section", "[T]\r\nk=v\r\n", "S", "k", def},
        {"key before any section", "k=v\r\n[S]\r\n", "S", "k", def},
        {"key of the previous section", "[S]\r\n[T]\r\nk=v\r\n", "S", "k", def},
        {"comment line", "[S]\r\n;k=v\r\n", "S", "k", def},
        {"line without equals", "[S]\r\nk\r\n", "S", "k", def},
        {"unclosed header", "[S]\r\n[T\r\nk=v\r\n", "S", "k", "v"},
        {"text after header", "[S] ; note\r\nk=v\r\n", "S", "k", "v"},
        {"LF", "[S]\nk=v\nj=w\n", "S", "j", "w"},
        {"lone CR", "[S]\rk=v\rj=w\r", "S", "j", "w"},
        {"mixed endings", "[S]\r\n\nk=v\r\rj=w", "S", "j", "w"},
        {"no final line end", "[S]\r\nk=v", "S", "k", "v"},
        {"UTF-8 byte-order mark", "\xEF\xBB\xBF[S]\r\nk=v\r\n", "S", "k", "v"},
        {"UTF-16LE", utf16("; ✓\r\n[s]\r\n K = \" Пауза ✓\" \r\n"), "S", "k", " Пауза ✓"},
        {"UTF-16LE names", utf16("[Ключ]\nклюЧ=v"), "КЛЮЧ", "ключ", "v"},
        {"Windows-1251", "[S]\r\nk=\xD1\xF2\xE0\xF0\xF2\r\n", "S", "k", "Старт"},
        {"undefined byte", "[S]\r\nk=a\x98z\r\n", "S", "k", QStringLiteral("a\uFFFDz")},
        {"NUL bytes", QByteArray("[S]\r\nk=a\0b\r\n", 12), "S", "k", QString("a") + QChar(0) + "b"},
    };
    for (const auto& c : cases) {
        const IniFile ini = fileWith(c.file);
        EXPECT_EQ(ini.readString(c.section, c.key, def), c.expected) << c.what;
    }
}

TEST_F(IniFileTest, TextsAreCutWhenRead) {
    const QByteArray longText(3000, 'x');
    const IniFile ini = fileWith("[S]\r\nk=" + longText + "\r\nq=\"" + longText + "\"\r\n");
    EXPECT_EQ(ini.readString("S", "k", {}), QString(2047, 'x'));
    EXPECT_EQ(ini.readString("S", "q", {}), QString(2047, 'x'));
}

TEST_F(IniFileTest, IntegerAndBooleanKeys) {
    const IniFile ini = fileWith(
        "[S]\r\nhex=0x20\r\ndollar=$20\r\nbad=abc\r\nneg=-3\r\nempty=\r\nquoted=\" 20\"\r\n"
        "two=2\r\nyes=yes\r\nzero=0\r\n");
    EXPECT_EQ(ini.readInteger("S", "hex", 100), 32);
    EXPECT_EQ(ini.readInteger("S", "dollar", 100), 32);
    EXPECT_EQ(ini.readInteger("S", "bad", 100), 100);
    EXPECT_EQ(ini.readInteger("S", "neg", 100), -3);
    EXPECT_EQ(ini.readInteger("S", "empty", 100), 100);
    EXPECT_EQ(ini.readInteger("S", "quoted", 100), 20);
    EXPECT_EQ(ini.readInteger("S", "missing", 100), 100);
    EXPECT_TRUE(ini.readBool("S", "two", false));
    EXPECT_FALSE(ini.readBool("S", "yes", false));
    EXPECT_TRUE(ini.readBool("S", "yes", true));
    EXPECT_FALSE(ini.readBool("S", "zero", true));
    EXPECT_FALSE(ini.readBool("S", "empty", false));
    EXPECT_TRUE(ini.readBool("S", "empty", true));
}

struct WriteCase {
    const char* what;
    QByteArray before;
    std::function<void(IniFile&)> writes;
    QByteArray after;
};

TEST_F(IniFileTest, WritesKeepEveryOtherLine) {
    const WriteCase cases[] = {
        {"new file", "", [](IniFile& f) { f.writeString("S", "k", "v"); }, "[S]\r\nk=v\r\n"},
        {"in place, key spelling and line end kept", "; top\n[s]\nJ.CODE = 1 \n\n",
         [](IniFile& f) { f.writeString("S", "j.code", "2"); }, "; top\n[s]\nJ.CODE = 2\n\n"},
        {"unchanged value keeps quotes and odd bytes", "[S]\r\nk=  \"a\x98\"\t\r\n",
         [](IniFile& f) { f.writeString("S", "k", QStringLiteral("a\uFFFD")); },
         "[S]\r\nk=  \"a\x98\"\t\r\n"},
        {"only the first duplicate changes", "[S]\r\nk=1\r\nk=2\r\n",
         [](IniFile& f) { f.writeInteger("S", "k", 3); }, "[S]\r\nk=3\r\nk=2\r\n"},
        {"new key after the last key line, before comments and blanks",
         "[S]\r\na=1\r\n; c\r\n\r\n[T]\r\nb=2\r\n",
         [](IniFile& f) {
             f.writeString("S", "x", "9");
             f.writeString("S", "y", "8");
         },
         "[S]\r\na=1\r\nx=9\r\ny=8\r\n; c\r\n\r\n[T]\r\nb=2\r\n"},
        {"new key in a section without keys", "[S]\r\n; only a comment\r\n[T]\r\n",
         [](IniFile& f) { f.writeString("S", "x", "9"); },
         "[S]\r\nx=9\r\n; only a comment\r\n[T]\r\n"},
        {"new key after a last line without line end", "[S]\r\na=1",
         [](IniFile& f) { f.writeString("S", "b", "2"); }, "[S]\r\na=1\r\nb=2\r\n"},
        {"new section at the end", "x\n[S]\na=1", [](IniFile& f) { f.writeBool("T", "b", true); },
         "x\n[S]\na=1\r\n[T]\r\nb=1\r\n"},
        {"written twice, last wins", "",
         [](IniFile& f) {
             f.writeString("S", "k", "1");
             f.writeString("s", "K", "2");
         },
         "[S]\r\nk=2\r\n"},
        {"Windows-1251, and '?' for what it cannot hold", "",
         [](IniFile& f) { f.writeString("S", "k", "Стоп €✓"); },
         "[S]\r\nk=\xD1\xF2\xEE\xEF \x88?\r\n"},
        {"values that reading would change are quoted", "[S]\r\na=x\r\n",
         [](IniFile& f) {
             f.writeString("S", "a", " x ");
             f.writeString("S", "b", "\"q\"");
             f.writeString("S", "c", "\"");
         },
         "[S]\r\na=\" x \"\r\nb=\"\"q\"\"\r\nc=\"\r\n"},
        {"UTF-16LE stays so, with its mark", utf16("; ✓\n[S]\nk=1\n"),
         [](IniFile& f) {
             f.writeString("S", "k", "Стоп ✓");
             f.writeBool("T", "b", true);
         },
         utf16("; ✓\n[S]\nk=Стоп ✓\n[T]\r\nb=1\r\n")},
        {"a line break cannot forge lines", "",
         [](IniFile& f) { f.writeString("S", "k", "a\r\n[T]\nb=1"); }, "[S]\r\nk=a  [T] b=1\r\n"},
    };
    for (const auto& c : cases) {
        QFile::remove(path());
        IniFile ini = c.before.isEmpty() ? IniFile(path()) : fileWith(c.before);
        c.writes(ini);
        ini.save();
        EXPECT_EQ(readBytes(path()), c.after) << c.what;
    }
}

TEST_F(IniFileTest, WrittenValuesReadBackExactly) {
    const QString values[] = {"",  " ",  "  a  ", "\"", "\"\"", "\"x\"", "a\"b", "Пауза/Продолжить",
                              "=", ";x", "[x]"};
    IniFile ini(path());
    for (int i = 0; i < static_cast<int>(std::size(values)); ++i)
        ini.writeString("S", QString::number(i), values[i]);
    ini.save();
    const IniFile back(path());
    for (int i = 0; i < static_cast<int>(std::size(values)); ++i)
        EXPECT_EQ(back.readString("S", QString::number(i), "<none>"), values[i]);
}

TEST_F(IniFileTest, UnchangedFileIsSavedByteForByte) {
    static const char raw[] =
        "\xEF\xBB\xBF[Key 01]\r\n; not ours\r\nJ.Code=5\n\r\r\n[X]\rk=\x98\x00z\r\n  \t\n";
    // In UTF-16LE: a lone surrogate, NUL, and an odd last byte.
    const QByteArray wide = utf16(u"[Key 01]\r\nJ.Code=5\r\nx=\xD800\0y\r\n"_s) + 'z';
    for (const QByteArray& odd : {QByteArray(raw, sizeof raw - 1), wide}) {
        IniFile ini = fileWith(odd);
        EXPECT_EQ(ini.contents(), odd);
        ini.writeString("Key 01", "J.Code", "5");
        ini.save();
        EXPECT_EQ(readBytes(path()), odd);
    }
}

}  // namespace
