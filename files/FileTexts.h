// Every fixed text of the configuration file commands, as the operator sees it.
#pragma once

#include <QString>

namespace FileTexts {

inline const QString ReadError = QStringLiteral("Ошибка чтения");
inline const QString WriteError = QStringLiteral("Ошибка записи");

// Why an output cannot be written, shown after "Ошибка записи".
inline const QString IsFolder = QStringLiteral("это папка, а не файл");
inline const QString IsDevice = QStringLiteral("это устройство, а не обычный файл");
inline const QString IsPipe = QStringLiteral("это канал (FIFO), а не обычный файл");
inline const QString IsSocket = QStringLiteral("это сокет, а не обычный файл");
inline const QString NotRegular = QStringLiteral("это не обычный файл");
inline const QString ForeignLink = QStringLiteral(
    "символическая ссылка в общей папке принадлежит другому пользователю; по ней не пишется");
inline const QString ForeignLinkOrDenied =
    QStringLiteral("нет доступа (или система не позволяет пройти по символической ссылке)");
inline const QString DanglingLink =
    QStringLiteral("символическая ссылка ведёт к несуществующему файлу");

// Why a backup could not be written into its folder.
inline QString NotAFolder(const QString& folder)
{
    return QStringLiteral("%1 — не папка").arg(folder);
}
inline QString FolderNotCreated(const QString& folder)
{
    return QStringLiteral("папку %1 не удалось создать").arg(folder);
}
inline const QString BackupNamesTaken =
    QStringLiteral("все имена резервной копии этой секунды заняты");

// The one entry of the open and save dialogs' type list.
inline const QString NameFilter = QStringLiteral("Файлы конфигурации ЛУМ-К(*.lmk)");
inline const QString Extension = QStringLiteral(".lmk");

// Asked before Save replaces a ".lmk" file other than the one the operator chose.
inline QString ReplaceQuestion(const QString& path)
{
    return QStringLiteral("Файл «%1» уже существует.\nЗаменить его?").arg(path);
}

// What keeps a first line from being exactly 140 hexadecimal digits.
inline const QString LineEmpty = QStringLiteral("первая строка пуста");
inline const QString LineTooShort = QStringLiteral("в первой строке %1 символов вместо 140");
inline const QString LineTooLong = QStringLiteral("в первой строке больше 140 символов");
inline const QString LineNotHex =
    QStringLiteral("в первой строке символ %1 в позиции %2 — не шестнадцатеричная цифра");

} // namespace FileTexts
