#include "SettingsFile.h"

#include <QDir>

#include <shlobj.h>
#include <windows.h>

QString SettingsFilePath()
{
    // The roaming application data folder, as Qt's user-scope INI settings.
    QString folder;
    wchar_t* path = nullptr;
    if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_RoamingAppData, KF_FLAG_DONT_VERIFY, nullptr,
                                         &path)))
        folder = QDir::fromNativeSeparators(QString::fromWCharArray(path));
    ::CoTaskMemFree(path);
    if (folder.isEmpty())
        folder = QDir::homePath() + QStringLiteral("/AppData/Roaming");
    return folder + QStringLiteral("/lumk-config/lumk-config.ini");
}
