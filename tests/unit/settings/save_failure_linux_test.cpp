#include <dlfcn.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "default_file.hpp"
#include "fakes.hpp"
#include "settings/settings_binding.hpp"
#include "settings/settings_path.hpp"
#include "support/child_process.hpp"
#include "support/qt_print.hpp"

namespace {
// While set, the disk refuses to sync: fsync and fdatasync of this program, Qt's included,
// fail with EIO (as on a failing or full thin-provisioned disk).
std::atomic<bool> syncFails{false};

using Sync = int (*)(int);
int syncUnlessFailing(int fd, Sync real) {
    if (syncFails) {
        errno = EIO;
        return -1;
    }
    return real(fd);
}
}  // namespace

// They stand in for libc's in this test program.
extern "C" int fsync(int fd) {
    static const auto real = reinterpret_cast<Sync>(dlsym(RTLD_NEXT, "fsync"));
    return syncUnlessFailing(fd, real);
}
extern "C" int fdatasync(int fd) {
    static const auto real = reinterpret_cast<Sync>(dlsym(RTLD_NEXT, "fdatasync"));
    return syncUnlessFailing(fd, real);
}

namespace {

using settings::IniFile;
using settings::WriteError;
using settings_test::FakeKeyTable;
using settings_test::FakeWindow;
using settings_test::kDefaultFile;
using settings_test::keptAside;
using settings_test::readBytes;
using settings_test::writeBytes;

// Root ignores mode bits; the immutable attribute stops root too.
bool setImmutable(const QString& path, bool on) {
    QProcess chattr;
    chattr.start("chattr", {on ? "+i" : "-i", path});
    if (!chattr.waitForFinished(5000)) {
        chattr.kill();
        chattr.waitForFinished(1000);
        return false;
    }
    return chattr.exitStatus() == QProcess::NormalExit && chattr.exitCode() == 0;
}

struct ImmutableGuard {
    QString path;
    ~ImmutableGuard() {
        if (!path.isEmpty()) setImmutable(path, false);
    }
};

class SaveFailure : public ::testing::Test {
protected:
    QTemporaryDir dir;
    FakeKeyTable keys;
    FakeWindow window;
    keymap::SystemSettings system;
    QByteArray old;

    QString path() const { return dir.filePath("Control.ini"); }

    // A valid file, loaded, and a change waiting to be saved.
    IniFile prepare() {
        old = kDefaultFile;
        old.replace("J.Code=1024", "J.Code=1");
        EXPECT_TRUE(writeBytes(path(), old));
        IniFile ini(path());
        settings::load(ini, keys, window, system);
        keys.setText(1, keymap::KeyField::JCode, "2");
        return ini;
    }

    void expectWriteError(IniFile& ini) {
        try {
            settings::Save_all(ini, keys, window, system);
            ADD_FAILURE() << "the save did not fail";
        } catch (const WriteError& e) {
            EXPECT_EQ(QString::fromStdString(e.what()),
                      "Unable to write to " + QFileInfo(path()).absoluteFilePath());
        }
    }

    QStringList folderEntries() const {
        return QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    }
};

TEST_F(SaveFailure, ReadOnlyFileKeepsItsContent) {
    IniFile ini = prepare();
    ASSERT_TRUE(QFile::setPermissions(
        path(), QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther));
    expectWriteError(ini);
    EXPECT_EQ(readBytes(path()), old);
    EXPECT_EQ(folderEntries(), QStringList{"Control.ini"});
}

TEST_F(SaveFailure, ImmutableFileKeepsItsContent) {
    IniFile ini = prepare();
    if (!setImmutable(path(), true)) GTEST_SKIP() << "chattr +i is not available here";
    ImmutableGuard guard{path()};
    expectWriteError(ini);
    EXPECT_EQ(readBytes(path()), old);
}

// A save goes one of two ways: root's own, through the opened folder, or every other
// user's, through QSaveFile. A fault of the disk must fail either, so each runs on both: as
// root, and as user 65534 (the effective uid, which decides the way and every access).
enum class Saver { Root, User };

class SaveFault : public SaveFailure, public ::testing::WithParamInterface<Saver> {
protected:
    void SetUp() override {
        if (GetParam() == Saver::Root && geteuid() != 0) GTEST_SKIP() << "root's save needs root";
        if (GetParam() == Saver::Root || geteuid() != 0) return;
        // The user's own folder and file, so that the save is not one that goes in place.
        ASSERT_EQ(chown(dir.path().toLocal8Bit().constData(), 65534, 65534), 0);
        ASSERT_TRUE(setegid(65534) == 0 && seteuid(65534) == 0);
        user = true;
    }
    void TearDown() override {
        if (user) {
            EXPECT_TRUE(seteuid(0) == 0 && setegid(0) == 0);
        }
    }
    bool user = false;
};

INSTANTIATE_TEST_SUITE_P(BothPaths, SaveFault, ::testing::Values(Saver::Root, Saver::User),
                         [](const auto& info) -> std::string {
                             return info.param == Saver::Root ? "Root" : "User";
                         });

// Both saves keep who may read and write the file: an ACL's entries, and its mask, which
// the mode alone would give to the whole group.
TEST_P(SaveFault, SavingKeepsTheAccessControlList) {
    IniFile ini = prepare();
    ASSERT_TRUE(
        QFile::setPermissions(path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    const auto acl = [&] {
        char buf[256];
        const ssize_t n = getxattr(qPrintable(path()), "system.posix_acl_access", buf, sizeof buf);
        return std::string(buf, n > 0 ? size_t(n) : 0);
    };
    if (QProcess::execute("setfacl", {"-m", "u:1:rw", path()}) != 0 || acl().empty())
        GTEST_SKIP() << "no setfacl, or no ACLs on this file system";
    const std::string before = acl();
    settings::Save_all(ini, keys, window, system);
    EXPECT_NE(readBytes(path()), old);
    EXPECT_EQ(acl(), before);
}

// A disk that cannot make the new file durable: the save fails and the old file stays,
// whole, with nothing left beside it. Once the disk syncs again, the same save goes through.
TEST_P(SaveFault, FailedSyncKeepsTheOldFile) {
    IniFile ini = prepare();
    syncFails = true;
    expectWriteError(ini);
    syncFails = false;
    EXPECT_EQ(readBytes(path()), old);
    EXPECT_EQ(folderEntries(), QStringList{"Control.ini"});

    settings::Save_all(ini, keys, window, system);
    EXPECT_TRUE(readBytes(path()).contains("[Key 01]\r\nJ.Code=2\r\n"));
}

// A full disk or a file-size limit shows as a failing write (ENOSPC, EFBIG). The limit is
// per process, so the save runs in a child.
TEST_P(SaveFault, FailingWritesKeepTheOldFile) {
    IniFile ini = prepare();
    const int code = testing_support::inChild([&] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{1000, 1000};
        setrlimit(RLIMIT_FSIZE, &limit);
        try {
            settings::Save_all(ini, keys, window, system);
        } catch (const WriteError&) {
            return 0;
        } catch (...) {
            return 2;
        }
        return 1;
    });
    EXPECT_EQ(code, 0) << "1: the save succeeded, 2: another exception, -1: no normal end";
    EXPECT_EQ(readBytes(path()), old);
    EXPECT_EQ(folderEntries(), QStringList{"Control.ini"});
}

// What cannot be read is kept whole under a dated name, and the save goes on: a trap that
// neither saves nor lets the program end would be worse than the defaults. A file up to
// the bound is read, comment and all.
TEST_F(SaveFailure, UnreadableFileIsMovedAsideAndWrittenAnew) {
    QByteArray big = "[Key 01]\r\nJ.Code=5\r\n;";
    big.append(QByteArray(10 * 1024 * 1024, 'z')).append("\r\n");
    const QByteArray huge = big + QByteArray(IniFile::MaxFileSize, 'z');
    struct {
        const char* what;
        std::function<void()> make;
        QString jcode;                                // as loaded
        std::function<bool(const QFileInfo&)> aside;  // what is kept aside; none when empty
    } cases[] = {
        {"10 MB", [&] { writeBytes(path(), big); }, "5", {}},
        {"over the bound", [&] { writeBytes(path(), huge); }, "1024",
         [&](const QFileInfo& f) { return readBytes(f.filePath()) == huge; }},
        {"a directory", [&] { QDir(dir.path()).mkdir("Control.ini"); }, "1024",
         [](const QFileInfo& f) { return f.isDir(); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QDir(dir.path()).removeRecursively();
        QDir().mkpath(dir.path());
        c.make();
        IniFile ini(path());
        settings::load(ini, keys, window, system);
        EXPECT_EQ(keys.text(1, keymap::KeyField::JCode), c.jcode);
        settings::Save_all(ini, keys, window, system);
        const QFileInfoList aside = keptAside(dir.path());
        ASSERT_EQ(aside.size(), c.aside ? 1 : 0);
        if (c.aside) {
            EXPECT_TRUE(c.aside(aside[0]));
            EXPECT_TRUE(aside[0].fileName().contains(QDate::currentDate().toString("yyyyMMdd")));
            EXPECT_EQ(readBytes(path()).count("\r\n["), 13);  // a fresh file
        } else {
            EXPECT_EQ(readBytes(path()).count('z'), 10 * 1024 * 1024);
        }
    }
}

TEST_F(SaveFailure, SavingKeepsTheModeAndMakesTheFolder) {
    using P = QFileDevice;
    std::vector<P::Permissions> modes = {
        P::ReadOwner | P::WriteOwner, P::ReadOwner | P::WriteOwner | P::ReadGroup,
        P::ReadOwner | P::WriteOwner | P::ReadGroup | P::WriteGroup | P::ReadOther};
    // Only root may write a file whose owner may not; the mode must not gain owner bits.
    if (geteuid() == 0) modes.push_back(P::ReadOwner | P::ReadGroup | P::WriteGroup);
    for (const auto mode : modes) {
        IniFile ini = prepare();
        ASSERT_TRUE(QFile::setPermissions(path(), mode));
        settings::Save_all(ini, keys, window, system);
        // The mode bits, not the flags for the current user.
        constexpr int bits = 0x7077;
        EXPECT_EQ(QFileInfo(path()).permissions() & bits, mode & bits);
        EXPECT_NE(readBytes(path()), old);
    }

    // Root saving a user's file leaves it that user's.
    if (geteuid() == 0) {
        IniFile ini = prepare();
        ASSERT_EQ(chown(path().toLocal8Bit().constData(), 65534, 65534), 0);
        settings::Save_all(ini, keys, window, system);
        EXPECT_EQ(QFileInfo(path()).ownerId(), 65534u);
        EXPECT_EQ(QFileInfo(path()).groupId(), 65534u);
    }

    IniFile fresh(dir.filePath("a/b/Control.ini"));
    settings::Save_all(fresh, keys, window, system);
    EXPECT_TRUE(QFileInfo(dir.filePath("a/b/Control.ini")).isFile());
}

}  // namespace

// The next start reads files up to the bound whole; a save never writes one it would not.
TEST_F(SaveFailure, SaveNeverOutgrowsWhatTheNextStartReads) {
    const auto padded = [](QByteArray file) {
        file += ';';
        file += QByteArray(IniFile::MaxFileSize - 2 - file.size() - 100, 'z');
        return file + "\r\n";
    };
    struct {
        const char* what;
        QByteArray file;
        bool saves;
    } cases[] = {
        // Our 89 values would add about 1.2 kB.
        {"100 bytes below the bound, none of our values", padded(QByteArray()), false},
        {"100 bytes below the bound, our values in place", padded(kDefaultFile), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(writeBytes(path(), c.file));
        IniFile ini(path());
        ASSERT_EQ(ini.diskState(), IniFile::DiskState::Read);
        settings::load(ini, keys, window, system);
        keys.setText(1, keymap::KeyField::JCode, "2");
        if (c.saves) {
            settings::Save_all(ini, keys, window, system);
            EXPECT_EQ(IniFile(path()).diskState(), IniFile::DiskState::Read);
            EXPECT_EQ(readBytes(path()).size(), c.file.size() - 3);  // "1024" became "2"
        } else {
            expectWriteError(ini);
            EXPECT_EQ(readBytes(path()), c.file);
        }
        EXPECT_EQ(folderEntries(), QStringList{"Control.ini"});
    }
}

// Run as root, a save never writes through a link someone put at the settings path; a
// user's own link (dotfile managers) is still written through.
TEST_F(SaveFailure, RootNeverWritesThroughALinkAtThePath) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root";
    QTemporaryDir elsewhere;
    const QByteArray secret = "root:x:0:0\n";
    const QString existing = elsewhere.filePath("shadow");
    ASSERT_TRUE(writeBytes(existing, secret));
    const QString absent = elsewhere.filePath("new-file");
    for (const QString& target : {existing, absent}) {
        SCOPED_TRACE(target.toStdString());
        IniFile ini = prepare();
        // Swapped for a link while the program runs.
        ASSERT_TRUE(QFile::remove(path()));
        ASSERT_TRUE(QFile::link(target, path()));
        settings::Save_all(ini, keys, window, system);
        EXPECT_EQ(readBytes(existing), secret);
        EXPECT_FALSE(QFileInfo::exists(absent));
        const QFileInfo saved(path());
        EXPECT_FALSE(saved.isSymLink());
        EXPECT_TRUE(readBytes(path()).contains("J.Code=2\r\n"));
        // The link is kept aside, not followed.
        const QFileInfoList aside = keptAside(dir.path());
        ASSERT_EQ(aside.size(), 1);
        EXPECT_TRUE(aside[0].isSymLink());
        QFile::remove(aside[0].filePath());
    }

    // A user's own link, saved by that user.
    QTemporaryDir userDir;
    const QString own = userDir.filePath("dotfiles-Control.ini");
    ASSERT_TRUE(writeBytes(own, kDefaultFile));
    const QString link = userDir.filePath("Control.ini");
    ASSERT_TRUE(QFile::link(own, link));
    for (const QString& p : {userDir.path(), own})
        ASSERT_EQ(chown(p.toLocal8Bit().constData(), 65534, 65534), 0);
    const int code = testing_support::inChild([&] {
        if (setgid(65534) != 0 || setuid(65534) != 0) return 10;
        IniFile ini(link);
        settings::load(ini, keys, window, system);
        keys.setText(1, keymap::KeyField::JCode, "3");
        settings::Save_all(ini, keys, window, system);
        return 0;
    });
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_TRUE(readBytes(own).startsWith("[Key 01]\r\nJ.Code=3\r\n"));
}

// Run as root, a copy in a folder another user can change would let that user swap the
// file, or a folder above it, for a link between root's check and its open.
TEST(SettingsPathAsRoot, KeepsOutOfFoldersOthersCanChange) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root";
    QTemporaryDir root;  // root's, 0700, in the sticky /tmp
    const auto make = [&](const QString& sub, uid_t owner, mode_t mode) {
        const QByteArray p = QFile::encodeName(root.filePath(sub));
        EXPECT_TRUE(QDir().mkpath(p) && chown(p, owner, 0) == 0 && chmod(p, mode) == 0);
        return root.filePath(sub);
    };
    qputenv("XDG_CONFIG_HOME", make("cfg", 0, 0755).toUtf8());
    EXPECT_EQ(settings::settingsPathFor(make("safe", 0, 0755)), root.filePath("safe/Control.ini"));
    for (const QString& unsafe : {make("user", 65534, 0755), make("user/app", 0, 0755),
                                  make("open", 0, 0777), make("sticky", 0, 01777)})
        EXPECT_EQ(settings::settingsPathFor(unsafe), root.filePath("cfg/drevonix/Control.ini"));
    // su keeps the user's XDG_CONFIG_HOME: root's own home then.
    qputenv("XDG_CONFIG_HOME", root.filePath("user/cfg").toUtf8());
    EXPECT_EQ(settings::settingsPathFor(root.filePath("user")),
              QFile::decodeName(getpwuid(0)->pw_dir) + "/.config/drevonix/Control.ini");
    qunsetenv("XDG_CONFIG_HOME");
}
