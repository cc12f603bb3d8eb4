#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>
#include <thread>
#include <vector>

#include "default_file.hpp"
#include "fakes.hpp"
#include "settings/settings_binding.hpp"

namespace {

using settings::IniFile;
using settings::WriteError;
using settings_test::FakeKeyTable;
using settings_test::FakeWindow;
using settings_test::kDefaultFile;
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

TEST_F(SaveFailure, ReadOnlyFolderKeepsTheFile) {
    IniFile ini = prepare();
    ImmutableGuard guard;
    if (geteuid() != 0) {
        ASSERT_TRUE(
            QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    } else if (setImmutable(dir.path(), true)) {
        guard.path = dir.path();
    } else {
        GTEST_SKIP() << "running as root without chattr: a folder cannot be made read-only";
    }
    expectWriteError(ini);
    EXPECT_EQ(readBytes(path()), old);
    EXPECT_EQ(folderEntries(), QStringList{"Control.ini"});
    QFile::setPermissions(dir.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

// A full disk or a file-size limit shows as a failing write (ENOSPC, EFBIG). The limit is
// per process, so the save runs in a child.
TEST_F(SaveFailure, FailingWritesKeepTheOldFile) {
    IniFile ini = prepare();
    std::fflush(nullptr);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{1000, 1000};
        setrlimit(RLIMIT_FSIZE, &limit);
        int code = 1;
        try {
            settings::Save_all(ini, keys, window, system);
        } catch (const WriteError&) {
            code = 0;
        } catch (...) {
            code = 2;
        }
        _exit(code);
    }
    int status = 0;
    pid_t done = 0;
    for (int i = 0; i < 1000 && done == 0; ++i) {
        done = waitpid(child, &status, WNOHANG);
        if (done == 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (done == 0) {
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
        FAIL() << "the saving child did not end";
    }
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: the save succeeded, 2: another exception";
    EXPECT_EQ(readBytes(path()), old);
    EXPECT_EQ(folderEntries(), QStringList{"Control.ini"});
}

TEST_F(SaveFailure, DirectoryInPlaceOfTheFile) {
    ASSERT_TRUE(QDir(dir.path()).mkdir("Control.ini"));
    IniFile ini(path());
    EXPECT_EQ(ini.diskState(), IniFile::DiskState::Unreadable);
    settings::load(ini, keys, window, system);
    EXPECT_EQ(keys.text(1, keymap::KeyField::JCode), "1024");
    expectWriteError(ini);
    EXPECT_TRUE(QFileInfo(path()).isDir());
}

// Far beyond any settings file: not loaded into memory, and not replaced either, since
// its other lines could not be kept.
TEST_F(SaveFailure, HugeFileGivesDefaultsAndIsNotReplaced) {
    QByteArray huge = "[Key 01]\r\nJ.Code=5\r\n";
    huge.append(QByteArray(10 * 1024 * 1024, 'z'));
    ASSERT_TRUE(writeBytes(path(), huge));
    IniFile ini(path());
    settings::load(ini, keys, window, system);
    EXPECT_EQ(keys.text(1, keymap::KeyField::JCode), "1024");
    expectWriteError(ini);
    EXPECT_EQ(readBytes(path()), huge);
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

    IniFile fresh(dir.filePath("a/b/Control.ini"));
    settings::Save_all(fresh, keys, window, system);
    EXPECT_TRUE(QFileInfo(dir.filePath("a/b/Control.ini")).isFile());
}

}  // namespace
