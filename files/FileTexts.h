// Every fixed text of the configuration file commands, as the operator sees it.
#pragma once

#include <QString>

namespace FileTexts {

inline const QString ReadError = QStringLiteral("Ошибка чтения");
inline const QString WriteError = QStringLiteral("Ошибка записи");

// The one entry of the open and save dialogs' type list.
inline const QString NameFilter = QStringLiteral("Файлы конфигурации ЛУМ-К(*.lmk)");
inline const QString Extension = QStringLiteral(".lmk");

// Asked before Save replaces a ".lmk" file other than the one the operator chose.
inline QString ReplaceQuestion(const QString& path)
{
    return QStringLiteral("Файл «%1» уже существует.\nЗаменить его?").arg(path);
}

} // namespace FileTexts
