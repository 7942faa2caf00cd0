#include "SystemErrors.h"

#include <cerrno>
#include <cstring>

QString SystemErrorText(int error)
{
    switch (error) {
    case ENOENT:
        return QStringLiteral("нет такого файла или папки");
    case EACCES:
    case EPERM:
        return QStringLiteral("нет прав доступа");
    case EISDIR:
        return QStringLiteral("это папка, а не файл");
    case ENOTDIR:
        return QStringLiteral("часть пути не является папкой");
    case ENOSPC:
        return QStringLiteral("на диске нет места");
#ifdef EDQUOT // not in every C library (MinGW has none)
    case EDQUOT:
        return QStringLiteral("превышена дисковая квота");
#endif
    case EROFS:
        return QStringLiteral("файловая система доступна только для чтения");
    case EFBIG:
        return QStringLiteral("файл слишком велик");
    case EBUSY:
        return QStringLiteral("устройство или ресурс занят");
    case EEXIST:
        return QStringLiteral("файл уже существует");
    case ENAMETOOLONG:
        return QStringLiteral("слишком длинное имя файла");
    case ELOOP:
        return QStringLiteral("слишком много символических ссылок");
    case EIO:
        return QStringLiteral("ошибка ввода-вывода");
    case ENXIO:
    case ENODEV:
        return QStringLiteral("нет такого устройства");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("открыто слишком много файлов");
    case ETXTBSY:
        return QStringLiteral("файл занят");
    case EPIPE:
        return QStringLiteral("канал закрыт читающей стороной");
    case EAGAIN:
        return QStringLiteral("ресурс временно недоступен");
    case EBADF:
        return QStringLiteral("устройство или файл не принимает эту операцию (недопустимый "
                              "дескриптор)");
    case EINVAL:
        return QStringLiteral("недопустимый аргумент");
    case ENOMEM:
        return QStringLiteral("недостаточно памяти");
    default:
        break;
    }
    return QString::fromLocal8Bit(std::strerror(error));
}
