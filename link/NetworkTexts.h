// Why a network port did not open or stopped working, for the operator. Each
// names the address; lumkctl prints it after "Причина: ".
#pragma once

#include <QString>

namespace NetworkTexts {

inline const QString BadAddress = QStringLiteral(
    "адрес не понят: нужен rfc2217://УЗЕЛ:ПОРТ или socket://УЗЕЛ:ПОРТ (IPv6 в скобках: [::1])");
inline const QString ConnectFailed = QStringLiteral("%1: соединение не установлено (%2)");
inline const QString ConnectTimedOut =
    QStringLiteral("%1: сервер не ответил на соединение за %2 с");
inline const QString OptionRefused =
    QStringLiteral("%1: сервер отказался от управления портом (RFC 2217, Com Port Control); для "
                   "простого TCP-порта укажите socket://");
inline const QString OptionUnanswered = QStringLiteral(
    "%1: сервер не ответил на управление портом (RFC 2217) за %2 с; если это простой "
    "TCP-порт, укажите socket://");
inline const QString LineRefused =
    QStringLiteral("%1: сервер установил линию %2 вместо 2400 бод, 8N1");
inline const QString ClosedWhileOpening = QStringLiteral("%1: сервер закрыл соединение");
inline const QString ConnectionLost = QStringLiteral("%1: соединение потеряно (%2)");

} // namespace NetworkTexts
