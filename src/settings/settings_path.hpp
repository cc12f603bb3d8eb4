#pragma once

#include <QString>

namespace settings {

// What decides where Control.ini lives.
struct SettingsLocation {
    QString exeDir;             // folder of the running executable
    bool fileInExeDir = false;  // Control.ini exists there
    bool exeDirWritable = false;
    QString xdgConfigHome;  // $XDG_CONFIG_HOME as set, possibly empty
    QString home;           // the user's home folder
};

// Beside the executable when the file is there or could be made there; otherwise (an
// installed program in a read-only folder) $XDG_CONFIG_HOME/drevonix/Control.ini, with
// ~/.config when that variable is unset or not absolute.
QString settingsPath(const SettingsLocation& where);

// The location as the file system and the environment give it now.
SettingsLocation probeSettingsLocation(const QString& exeDir);

// settingsPath(probeSettingsLocation(exeDir)).
QString settingsPathFor(const QString& exeDir);

}  // namespace settings
