#include "settings/settings_path.hpp"

#include <gtest/gtest.h>

namespace {

struct PathCase {
    const char* what;
    settings::SettingsLocation where;
    QString expected;
};

TEST(SettingsPath, BesideTheProgramOrInTheUserConfig) {
    const PathCase cases[] = {
        {"file there, folder read-only",
         {"/opt/d", true, false, "/x", "/home/u"},
         "/opt/d/Control.ini"},
        {"no file, folder writable",
         {"/opt/d/", false, true, "/x", "/home/u"},
         "/opt/d/Control.ini"},
        {"installed",
         {"/usr/bin", false, false, "/home/u/cfg", "/home/u"},
         "/home/u/cfg/drevonix/Control.ini"},
        {"XDG_CONFIG_HOME unset",
         {"/usr/bin", false, false, "", "/home/u"},
         "/home/u/.config/drevonix/Control.ini"},
        {"XDG_CONFIG_HOME relative",
         {"/usr/bin", false, false, "cfg", "/home/u"},
         "/home/u/.config/drevonix/Control.ini"},
    };
    for (const auto& c : cases) EXPECT_EQ(settings::settingsPath(c.where), c.expected) << c.what;
}

}  // namespace
