// Control.ini that the program cannot use: bytes the code page lacks, a pipe, a file it
// may not read. Start-up gets the defaults and never hangs or crashes; nothing that was
// in the file is lost by a later save.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <functional>
#include <thread>

#include "default_file.hpp"
#include "fakes.hpp"
#include "settings/settings_binding.hpp"
#include "support/child_process.hpp"

// While not negative, this program's pwrite (standing in for libc's, like the syncs in
// save_failure_linux_test.cpp) lets that many more bytes through, then fails once with EIO.
static std::atomic<long> bytesBeforeEio{-1};
extern "C" ssize_t pwrite(int fd, const void* bytes, size_t size, off_t at) {
    using Write = ssize_t (*)(int, const void*, size_t, off_t);
    static const auto real = reinterpret_cast<Write>(dlsym(RTLD_NEXT, "pwrite"));
    const long left = bytesBeforeEio.exchange(-1);
    if (left == 0) errno = EIO;
    if (left <= 0) return left == 0 ? -1 : real(fd, bytes, size, at);
    const ssize_t n = real(fd, bytes, std::min<size_t>(size, static_cast<size_t>(left)), at);
    bytesBeforeEio = left - std::max<ssize_t>(n, 0);
    return n;
}

namespace {

using settings::IniFile;
using settings_test::FakeKeyTable;
using settings_test::FakeWindow;
using settings_test::kDefaultFile;
using settings_test::keptAside;
using settings_test::readBytes;
using settings_test::writeBytes;

// Literal bytes, NULs included.
template <std::size_t N>
QByteArray bytes(const char (&s)[N]) {
    return QByteArray(s, N - 1);
}

struct Loaded {
    FakeKeyTable keys;
    FakeWindow window;
    keymap::SystemSettings system;
};

bool hasDefaults(const Loaded& l) {
    return l.keys.text(1, keymap::KeyField::JCode) == "1024" &&
           l.keys.text(12, keymap::KeyField::Symbol) == "L" && l.window.left() == 100 &&
           l.window.top() == 100 && l.system.Differ == 5 && l.system.ValFirst == 200 &&
           l.system.ValNext == 100;
}

using testing_support::inChild;

class SettingsFaults : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path() const { return dir.filePath("Control.ini"); }

    // Runs `body` in a child, as an unprivileged user when we are root, with the file
    // writable and its folder not: a save can then only go in place. Gives the child's
    // code, 10 when it could not give up root.
    int inPlaceOnly(const std::function<int()>& body) {
        EXPECT_EQ(chmod(path().toLocal8Bit().constData(), 0666), 0);
        EXPECT_EQ(chmod(dir.path().toLocal8Bit().constData(), 0555), 0);
        const bool root = geteuid() == 0;
        const int code = inChild([&] {
            if (root && (setgid(65534) != 0 || setuid(65534) != 0)) return 10;
            return body();
        });
        EXPECT_EQ(chmod(dir.path().toLocal8Bit().constData(), 0700), 0);
        EXPECT_NE(code, 10) << "could not become an unprivileged user";
        return code;
    }
};

// Windows-1251 leaves 0x98 undefined; a file can hold it (and NUL bytes) anyway. Such
// bytes load as replacement characters and, untouched, go back to the disk as they were.
TEST_F(SettingsFaults, BytesTheCodePageLacksSurviveASave) {
    QByteArray file = kDefaultFile;
    file.replace("Descript=\xD1\xF2\xEE\xEF", bytes("Descript=\x98\xD1\x98\0z"));
    file.replace("[Position]", bytes("[Odd \x98 section]\r\n\x98=\x98\r\nx\0y=1\r\n[Position]"));
    file.replace("J.Code=1024\r\nShift=0\r\nCtrl=0\r\nAlt=0\r\nSymbol=C",
                 "J.Code=\x98\r\nShift=0\r\nCtrl=0\r\nAlt=0\r\nSymbol=C");
    ASSERT_TRUE(writeBytes(path(), file));

    IniFile ini(path());
    Loaded l;
    settings::load(ini, l.keys, l.window, l.system);
    EXPECT_EQ(l.keys.text(2, keymap::KeyField::Descript),
              QString::fromUtf8("\uFFFDС\uFFFD") + QChar(0) + "z");
    EXPECT_EQ(l.keys.text(3, keymap::KeyField::JCode), QString(QChar(0xFFFD)));
    settings::Save_all(ini, l.keys, l.window, l.system);
    EXPECT_EQ(readBytes(path()), file);

    // An edit elsewhere leaves those lines alone too.
    l.keys.setText(1, keymap::KeyField::JCode, "7");
    settings::Save_all(ini, l.keys, l.window, l.system);
    QByteArray edited = file;
    edited.replace(edited.indexOf("J.Code=1024"), 11, "J.Code=7");  // row 1's
    EXPECT_EQ(readBytes(path()), edited);
}

// A pipe would block the start-up in open() until someone writes to it; the save puts it
// aside and writes a file.
TEST_F(SettingsFaults, PipeInPlaceOfTheFileDoesNotHangTheStart) {
    ASSERT_EQ(mkfifo(path().toLocal8Bit().constData(), 0644), 0);
    const int code = inChild([&] {
        IniFile ini(path());
        Loaded l;
        settings::load(ini, l.keys, l.window, l.system);
        if (!hasDefaults(l)) return 1;
        settings::Save_all(ini, l.keys, l.window, l.system);
        return 0;
    });
    EXPECT_EQ(code, 0) << "-1: hung or crashed, 1: not the defaults";
    EXPECT_TRUE(QFileInfo(path()).isFile());
    const QFileInfoList aside = keptAside(dir.path());
    ASSERT_EQ(aside.size(), 1);
    EXPECT_FALSE(aside[0].isFile());
}

// Root reads any file, so the tests drop to an unprivileged user in a child first.
TEST_F(SettingsFaults, FileWithoutReadPermissionGivesDefaultsAndIsKeptAside) {
    QByteArray file = kDefaultFile;
    file.replace("J.Code=1024", "J.Code=1");
    ASSERT_TRUE(writeBytes(path(), file));
    ASSERT_EQ(chmod(path().toLocal8Bit().constData(), 0200), 0);  // write only
    ASSERT_EQ(chmod(dir.path().toLocal8Bit().constData(), 0777), 0);
    const bool root = geteuid() == 0;

    const int code = inChild([&] {
        if (root && (setgid(65534) != 0 || setuid(65534) != 0)) return 10;
        if (access(path().toLocal8Bit().constData(), R_OK) == 0) return 11;
        IniFile ini(path());
        if (ini.diskState() != IniFile::DiskState::Unreadable) return 1;
        Loaded l;
        settings::load(ini, l.keys, l.window, l.system);
        if (!hasDefaults(l)) return 2;
        // Its other lines could not be kept: it goes aside whole, and the save goes on.
        settings::Save_all(ini, l.keys, l.window, l.system);
        return 0;
    });
    ASSERT_NE(code, 10) << "could not become an unprivileged user";
    ASSERT_NE(code, 11) << "the file is still readable";
    EXPECT_EQ(code, 0) << "1: not unreadable, 2: not the defaults";
    const QFileInfoList aside = keptAside(dir.path());
    ASSERT_EQ(aside.size(), 1);
    ASSERT_EQ(chmod(aside[0].filePath().toLocal8Bit().constData(), 0600), 0);
    EXPECT_EQ(readBytes(aside[0].filePath()), file);
    EXPECT_EQ(readBytes(path()), kDefaultFile);
}

// Files in /proc report no size; they are read on to their end all the same, in steps for
// a large one.
TEST_F(SettingsFaults, FileThatReportsNoSizeIsReadWhole) {
    for (const char* file : {"/proc/version", "/proc/kallsyms"}) {
        SCOPED_TRACE(file);
        const QByteArray bytes = readBytes(file);
        ASSERT_GT(bytes.size(), 0);
        const IniFile ini(file);
        EXPECT_EQ(ini.diskState(), IniFile::DiskState::Read);
        EXPECT_EQ(ini.contents(), bytes);
    }
}

// A file the user may write in a folder the user may not: no temporary file can be made
// beside it, so it is written in place.
TEST_F(SettingsFaults, WritableFileInAReadOnlyFolderIsWrittenInPlace) {
    ASSERT_TRUE(writeBytes(path(), kDefaultFile));
    const int code = inPlaceOnly([&] {
        IniFile ini(path());
        Loaded l;
        settings::load(ini, l.keys, l.window, l.system);
        l.keys.setText(1, keymap::KeyField::JCode, "7");
        settings::Save_all(ini, l.keys, l.window, l.system);
        return 0;
    });
    EXPECT_EQ(code, 0) << "the save failed";
    QByteArray expected = kDefaultFile;
    expected.replace(expected.indexOf("J.Code=1024"), 11, "J.Code=7");
    EXPECT_EQ(readBytes(path()), expected);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"Control.ini"});
}

}  // namespace

// Only what a killed save of ours left goes at the next start: files named as our
// temporaries whose process is gone (or is us, from before a reboot) or that are old.
TEST_F(SettingsFaults, StaleTemporariesOfOursGoAtTheNextStart) {
    const pid_t gone = fork();
    if (gone == 0) _exit(0);
    waitpid(gone, nullptr, 0);
    const QString dead = ".Control.ini." + QString::number(gone);
    const QString live = ".Control.ini." + QString::number(getppid());
    const QStringList removed = {dead + "-0", ".Control.ini." + QString::number(getpid()) + "-3",
                                 live + "-1"};  // made two hours ago
    const QStringList kept = {live + "-0", dead + "-0x",
                              QString(dead).replace("Control", "Other") + "-0", dead.mid(1) + "-0",
                              dead + "-1/"};
    for (const QString& name : removed + kept)
        ASSERT_TRUE(name.endsWith('/') ? QDir(dir.path()).mkdir(name.chopped(1))
                                       : writeBytes(dir.filePath(name), "x"));
    QFile old(dir.filePath(removed[2]));
    ASSERT_TRUE(old.open(QIODevice::ReadWrite) &&
                old.setFileTime(QDateTime::currentDateTime().addSecs(-7200),
                                QFileDevice::FileModificationTime));
    const IniFile ini(path());
    for (const QString& name : removed + kept)
        EXPECT_EQ(QFileInfo::exists(dir.filePath(name)), kept.contains(name)) << name.toStdString();
}

// Only a file read at start is merged with the save. One that was missing or unreadable
// then may be a table the user never saw loaded: it is kept aside whole, not overwritten.
TEST_F(SettingsFaults, FileNotReadAtStartIsKeptAsideBeforeTheSave) {
    QByteArray custom = kDefaultFile;
    custom.replace("J.Code=1024", "J.Code=77");
    const QByteArray edited = custom + "; added by hand\r\n";
    struct {
        const char* what;
        std::function<void()> atStart, beforeSave;
        QByteArray aside;  // empty: nothing kept aside
        QByteArray saved;
    } cases[] = {
        {"missing at start", [] {}, [&] { writeBytes(path(), custom); }, custom, kDefaultFile},
        {"unreadable at start (a folder)", [&] { QDir(dir.path()).mkdir("Control.ini"); },
         [&] {
             QDir(dir.path()).rmdir("Control.ini");
             writeBytes(path(), custom);
         },
         custom, kDefaultFile},
        {"read at start",
         [&] { writeBytes(path(), custom); },
         [&] { writeBytes(path(), edited); },
         {},
         edited},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QDir(dir.path()).removeRecursively();
        QDir().mkpath(dir.path());
        c.atStart();
        IniFile ini(path());
        Loaded l;
        settings::load(ini, l.keys, l.window, l.system);
        c.beforeSave();
        settings::Save_all(ini, l.keys, l.window, l.system);
        const QFileInfoList aside = keptAside(dir.path());
        ASSERT_EQ(aside.size(), c.aside.isEmpty() ? 0 : 1);
        if (!c.aside.isEmpty()) {
            EXPECT_EQ(readBytes(aside[0].filePath()), c.aside);
        }
        EXPECT_EQ(readBytes(path()), c.saved);
        // Once saved, the file is ours: the next save keeps it and moves nothing aside.
        settings::Save_all(ini, l.keys, l.window, l.system);
        EXPECT_EQ(keptAside(dir.path()).size(), aside.size());
    }
}

// In place, a full disk shows when the file grows; a disk may also fail once part way
// through the overwrite. Either fails the save with the file as it was, byte for byte and
// size included (a last line without its line end too).
TEST_F(SettingsFaults, FailedInPlaceSaveLeavesTheFileAsItWas) {
    QByteArray file = kDefaultFile;
    for (int i = 0; file.size() < 20000; ++i) file += "; comment " + QByteArray::number(i) + "\r\n";
    file += "[Mine]\r\nlast=value without a line end";
    ASSERT_TRUE(writeBytes(path(), file));
    const int code = inPlaceOnly([&] {
        IniFile ini(path());
        Loaded l;
        settings::load(ini, l.keys, l.window, l.system);
        const auto fails = [&] {
            try {
                settings::Save_all(ini, l.keys, l.window, l.system);
            } catch (const settings::WriteError&) {
                return true;
            }
            return false;
        };
        l.keys.setText(1, keymap::KeyField::Descript, QString(100, u'x'));
        // Room for 10 more bytes only: the write beyond the old end comes up short.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{static_cast<rlim_t>(file.size() + 10), RLIM_INFINITY};
        setrlimit(RLIMIT_FSIZE, &limit);
        if (!fails()) return 1;
        // EIO once, half way through overwriting the old bytes of a file that shrinks.
        limit.rlim_cur = RLIM_INFINITY;
        setrlimit(RLIMIT_FSIZE, &limit);
        l.keys.setText(1, keymap::KeyField::Descript, "x");
        bytesBeforeEio = 10000;
        return fails() ? 0 : 2;
    });
    EXPECT_EQ(code, 0) << "the save did not fail: 1 on the full disk, 2 on EIO";
    EXPECT_EQ(readBytes(path()), file);
}
