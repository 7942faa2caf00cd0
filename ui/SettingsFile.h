// Where the window programs keep their settings.
#pragma once

#include <QString>

// The user's settings file of the window programs, where Qt keeps INI
// settings of "lumk-config": ~/.config/lumk-config/lumk-config.ini (after
// XDG_CONFIG_HOME), %APPDATA%\lumk-config\lumk-config.ini.
QString SettingsFilePath();
