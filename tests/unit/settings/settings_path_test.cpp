#include "settings/settings_path.hpp"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "support/qt_print.hpp"

#ifdef Q_OS_UNIX
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

struct PathCase {
    const char* what;
    settings::SettingsLocation where;
    QString expected;
};

TEST(SettingsPath, BesideTheProgramOrInTheUserConfig) {
    const PathCase cases[] = {
        {"file there, folder read-only",
         {"/opt/d", true, false, "/x", "/home/u", "/usr/bin"},
         "/opt/d/Control.ini"},
        {"no file, folder writable",
         {"/opt/d/", false, true, "/x", "/home/u", "/usr/bin"},
         "/opt/d/Control.ini"},
        {"read-only folder without a file",
         {"/opt/d", false, false, "/home/u/cfg", "/home/u", ""},
         "/home/u/cfg/drevonix/Control.ini"},
        {"installed",
         {"/usr/bin", false, false, "/home/u/cfg", "/home/u", "/usr/bin"},
         "/home/u/cfg/drevonix/Control.ini"},
        {"installed, run as root: folder writable and a file left there",
         {"/usr/bin", true, true, "", "/root", "/usr/bin"},
         "/root/.config/drevonix/Control.ini"},
        {"installed, the prefix spelt differently",
         {"/usr/local/bin/", true, true, "", "/home/u", "/usr/local//bin"},
         "/home/u/.config/drevonix/Control.ini"},
        {"a copy in another folder of the prefix",
         {"/usr/local/games", false, true, "", "/home/u", "/usr/local/bin"},
         "/usr/local/games/Control.ini"},
        {"XDG_CONFIG_HOME unset",
         {"/usr/bin", false, false, "", "/home/u", "/usr/bin"},
         "/home/u/.config/drevonix/Control.ini"},
        {"XDG_CONFIG_HOME relative",
         {"/usr/bin", false, false, "cfg", "/home/u", "/usr/bin"},
         "/home/u/.config/drevonix/Control.ini"},
    };
    for (const auto& c : cases) EXPECT_EQ(settings::settingsPath(c.where), c.expected) << c.what;
}

// The running executable's folder comes resolved (/proc/self/exe) while the configured
// prefix may be reached through a link, as /bin is on a merged-/usr system.
TEST(SettingsPath, ProbeSeesTheInstallFolderThroughALink) {
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString bin = root.filePath("usr/bin");
    ASSERT_TRUE(QDir().mkpath(bin));
    ASSERT_TRUE(QFile::link(bin, root.filePath("bin")));
    QFile stray(QDir(bin).filePath("Control.ini"));
    ASSERT_TRUE(stray.open(QIODevice::WriteOnly));

    qputenv("XDG_CONFIG_HOME", root.filePath("cfg").toUtf8());
    const auto installed = settings::probeSettingsLocation(bin, root.filePath("bin"));
    const auto elsewhere = settings::probeSettingsLocation(bin, root.filePath("opt/bin"));
    qunsetenv("XDG_CONFIG_HOME");

    EXPECT_EQ(settings::settingsPath(installed), root.filePath("cfg/drevonix/Control.ini"));
    EXPECT_EQ(settings::settingsPath(elsewhere),
              QDir(QFileInfo(bin).canonicalFilePath()).filePath("Control.ini"));
}

#ifdef Q_OS_UNIX
// Run as root, a copy in a folder another user can change would let that user swap the
// file, or a folder above it, for a link between root's check and its open.
TEST(SettingsPath, RootKeepsOutOfFoldersOthersCanChange) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root";
    QTemporaryDir root;  // root's, 0700, in the sticky /tmp
    const auto make = [&](const QString& sub, uid_t owner, mode_t mode) {
        const QByteArray p = QFile::encodeName(root.filePath(sub));
        EXPECT_TRUE(QDir().mkpath(p) && chown(p, owner, 0) == 0 && chmod(p, mode) == 0);
        return root.filePath(sub);
    };
    qputenv("XDG_CONFIG_HOME", make("cfg", 0, 0755).toUtf8());
    const QString own = root.filePath("cfg/drevonix/Control.ini");
    const struct {
        const char* what;
        QString exeDir, expected;
    } cases[] = {
        {"root's folder", make("safe", 0, 0755), root.filePath("safe/Control.ini")},
        {"another user's folder", make("user", 65534, 0755), own},
        {"root's folder in another user's", make("user/app", 0, 0755), own},
        {"a folder all may write", make("open", 0, 0777), own},
        {"a sticky folder all may write", make("tmp", 0, 01777), own},
    };
    for (const auto& c : cases)
        EXPECT_EQ(settings::settingsPathFor(c.exeDir), c.expected) << c.what;
    // su keeps the user's XDG_CONFIG_HOME: root's own home then.
    qputenv("XDG_CONFIG_HOME", root.filePath("user/cfg").toUtf8());
    EXPECT_EQ(settings::settingsPathFor(root.filePath("user")),
              QFile::decodeName(getpwuid(0)->pw_dir) + "/.config/drevonix/Control.ini");
    qunsetenv("XDG_CONFIG_HOME");
}
#endif

}  // namespace
