// Why a network port did not open or stopped working, for the operator. Each
// names the address, says why in words and, where the operator can act, what
// to do; lumkctl prints it after "Причина: ", the window in its box.
#pragma once

#include <QAbstractSocket>
#include <QString>

#include <cstdint>

namespace NetworkTexts {

inline const QString BadAddress = QStringLiteral(
    "адрес не понят: нужен rfc2217://УЗЕЛ:ПОРТ или socket://УЗЕЛ:ПОРТ (IPv6 в скобках: [::1])");
// %1 the address, %2 why (SocketError), %3 what to do (SocketAdvice).
inline const QString ConnectFailed = QStringLiteral("%1: соединение не установлено: %2; %3");
inline const QString ConnectTimedOut =
    QStringLiteral("%1: сервер не ответил на соединение за %2 с; проверьте адрес узла и что "
                   "сетевой экран пропускает соединения к этому порту");
inline const QString OptionRefused =
    QStringLiteral("%1: сервер отказался от управления портом (RFC 2217, Com Port Control); для "
                   "простого TCP-порта укажите socket://");
inline const QString OptionUnanswered = QStringLiteral(
    "%1: сервер не ответил на управление портом (RFC 2217) за %2 с; если это простой "
    "TCP-порт, укажите socket://");
// %2 the line the server reports (LineText).
inline const QString LineRefused =
    QStringLiteral("%1: сервер установил линию %2 вместо 2400 бод, 8 бит данных, без чётности, "
                   "1 стоп-бит; настройте порт на сервере на 2400 8N1 или разрешите клиентам "
                   "менять его настройки");
inline const QString ClosedByServer =
    QStringLiteral("%1: сервер закрыл соединение; возможно, порт на сервере занят другим "
                   "клиентом или отключён");
inline const QString ConnectionLost = QStringLiteral("%1: соединение потеряно: %2");

// The window's box for a network port that did not open; %1 one of the above.
inline const QString NotOpened = QStringLiteral("Сетевой порт не открыт.\n\n%1.");

// Why a connection failed or ended, in words.
inline QString SocketError(QAbstractSocket::SocketError error)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return QStringLiteral("сервер отказал в соединении");
    case QAbstractSocket::RemoteHostClosedError:
        return QStringLiteral("сервер закрыл соединение");
    case QAbstractSocket::HostNotFoundError:
        return QStringLiteral("узел не найден");
    case QAbstractSocket::NetworkError:
        return QStringLiteral("сеть или узел недоступны");
    case QAbstractSocket::SocketAccessError:
        return QStringLiteral("нет разрешения на сетевое соединение");
    case QAbstractSocket::SocketResourceError:
        return QStringLiteral("не хватает системных ресурсов");
    case QAbstractSocket::SocketTimeoutError:
        return QStringLiteral("истекло время ожидания");
    case QAbstractSocket::UnsupportedSocketOperationError:
        return QStringLiteral("система не поддерживает адреса этого вида");
    default:
        return QStringLiteral("ошибка сети %1").arg(int(error));
    }
}

// What the operator can do about a failed connection.
inline QString SocketAdvice(QAbstractSocket::SocketError error)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return QStringLiteral("проверьте номер порта и что сервер портов запущен");
    case QAbstractSocket::HostNotFoundError:
        return QStringLiteral("проверьте имя узла");
    default:
        return QStringLiteral("проверьте адрес и подключение к сети");
    }
}

// A line as a server reports it, in words: "9600 бод, 8 бит данных, чётность,
// 1 стоп-бит" (RFC 2217 codes for parity and stop bits).
inline QString LineText(std::uint32_t baud, std::uint8_t dataBits, std::uint8_t parity,
                        std::uint8_t stopBits)
{
    QString parityText;
    switch (parity) {
    case 1:
        parityText = QStringLiteral("без чётности");
        break;
    case 2:
        parityText = QStringLiteral("нечётность");
        break;
    case 3:
        parityText = QStringLiteral("чётность");
        break;
    case 4:
        parityText = QStringLiteral("бит чётности всегда 1");
        break;
    case 5:
        parityText = QStringLiteral("бит чётности всегда 0");
        break;
    default:
        parityText = QStringLiteral("чётность неизвестного вида");
        break;
    }
    const QString stopText = stopBits == 2   ? QStringLiteral("2 стоп-бита")
                             : stopBits == 3 ? QStringLiteral("1,5 стоп-бита")
                                             : QStringLiteral("1 стоп-бит");
    return QStringLiteral("%1 бод, %2 бит данных, %3, %4")
        .arg(baud)
        .arg(dataBits)
        .arg(parityText, stopText);
}

} // namespace NetworkTexts
