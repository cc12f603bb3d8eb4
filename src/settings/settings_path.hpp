#pragma once

#include <QString>

namespace settings {

// What decides where Control.ini lives.
struct SettingsLocation {
    QString exeDir;             // folder of the running executable
    bool fileInExeDir = false;  // Control.ini exists there
    bool exeDirWritable = false;
    QString xdgConfigHome;  // $XDG_CONFIG_HOME as set, possibly empty (%APPDATA% on Windows)
    QString home;           // the user's home folder
    QString installBinDir;  // the bin folder of the prefix we were built for; empty if absent
};

// An installed program (its executable in the install prefix's bin folder) always uses
// $XDG_CONFIG_HOME/drevonix/Control.ini, with ~/.config when that variable is unset or
// not absolute: a run as root must not leave a file beside /usr/bin that every user then
// reads and nobody can save. A copy anywhere else keeps Control.ini beside itself when the
// file is there or could be made there, and falls back to the user's folder otherwise.
// On Windows there is no installed case, and the user's folder is %APPDATA%\drevonix.
QString settingsPath(const SettingsLocation& where);

// The install prefix's bin folder as the build was configured (CMAKE_INSTALL_FULL_BINDIR).
QString defaultInstallBinDir();

// The location as the file system and the environment give it now; `installBinDir`
// defaults to the bin folder of the configured install prefix.
SettingsLocation probeSettingsLocation(const QString& exeDir,
                                       const QString& installBinDir = defaultInstallBinDir());

// settingsPath(probeSettingsLocation(exeDir)); run as root, never a path through a folder
// another user can change (owns, or may write): then root's config folder, with one line
// on stderr.
QString settingsPathFor(const QString& exeDir);

}  // namespace settings
