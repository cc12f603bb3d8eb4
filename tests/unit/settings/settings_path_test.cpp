#include "settings/settings_path.hpp"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

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

#ifndef Q_OS_WIN  // installed programs and symbolic links are Linux's: Windows has neither
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
#endif

}  // namespace
