// Every fixed text of the main window, its menus and its boxes.
#pragma once

#include <QString>
#include <QStringList>

namespace UiTexts {

inline const QString ApplicationTitle = QStringLiteral("ЛУМ-К конфигуратор");
inline const QString WindowCaption = QStringLiteral("Программа конфигурирования ЛУМ-К");

inline const QString PortGroup = QStringLiteral("Порт для связи с БС");
// The port selector's tooltip: devices present but not usable, one a line.
inline const QString UnusablePorts = QStringLiteral("Есть, но недоступны:");
// The port selector's last entry, and the dialog it opens.
inline const QString NetworkPortItem = QStringLiteral("Сетевой порт…");
inline const QString NetworkPortTitle = QStringLiteral("Сетевой порт");
inline const QString NetworkPortHelp = QStringLiteral(
    "Порт сервера последовательных портов в сети, в одной из двух форм:\n\n"
    "rfc2217://УЗЕЛ:ПОРТ — Telnet с управлением портом (RFC 2217): скорость и формат "
    "линии (2400 бод, 8N1) устанавливает программа;\n"
    "socket://УЗЕЛ:ПОРТ — простое TCP-соединение: линия настраивается на сервере "
    "(2400 бод, 8N1).\n\n"
    "УЗЕЛ — имя или адрес IPv4; адрес IPv6 — в квадратных скобках, например [::1].\n"
    "Связь не шифруется и не защищена паролем: только в доверенной сети, через VPN "
    "или SSH-туннель.");
inline const QString OkButton = QStringLiteral("ОК");
inline const QString CancelButton = QStringLiteral("Отмена");
inline const QString ModeGroup = QStringLiteral("Режим работы ЛУМ-К");
inline const QString CommonGroup = QStringLiteral("Общие свойства ЛУМ-К");
inline const QString CheckFault = QStringLiteral("проверять неисправность по входу КН");
inline const QString AcknowledgeStart = QStringLiteral("квитирование запуска");
inline const QString ControlUpa = QStringLiteral("Управление УПА");
inline const QString ControlAnnouncement = QStringLiteral("Управление оповещением");
inline const QString ReadButton = QStringLiteral("прочесть");
inline const QString WriteButton = QStringLiteral("записать");

inline const QString FileMenu = QStringLiteral("Файл");
inline const QString OpenItem = QStringLiteral("Открыть");
inline const QString SaveItem = QStringLiteral("Сохранить");
inline const QString ExitItem = QStringLiteral("Выход");
// Recent files and the window's backups (Файл menu).
inline const QString RecentFilesItem = QStringLiteral("Последние файлы");
inline const QString BackupsItem = QStringLiteral("Резервные копии…");
inline const QString BackupsTitle = QStringLiteral("Резервные копии конфигурации устройства");
inline const QString BackupsHelp =
    QStringLiteral("Перед каждой записью программа сохраняет прежнюю конфигурацию устройства "
                   "в папке\n%1");
inline const QString BackupDateColumn = QStringLiteral("Дата");
inline const QString BackupPortColumn = QStringLiteral("Порт");
inline const QString BackupDiffersColumn = QStringLiteral("Отличия от таблицы");
inline const QString BackupSame = QStringLiteral("нет");
inline QString BackupDiffers(int addresses, int otherBytes)
{
    QStringList parts;
    if (addresses > 0)
        parts << QStringLiteral("%1 адр.").arg(addresses);
    if (otherBytes > 0)
        parts << QStringLiteral("%1 служ. байт").arg(otherBytes);
    return parts.join(QStringLiteral(", "));
}
inline const QString BackupUnreadable = QStringLiteral("не читается");
inline const QString BackupsNone = QStringLiteral("Резервных копий пока нет.");
inline const QString BackupOpenButton = QStringLiteral("Открыть");
inline const QString BackupFolderButton = QStringLiteral("Показать папку");
inline const QString BackupDateFormat = QStringLiteral("dd.MM.yyyy HH:mm:ss");
inline const QString DeviceMenu = QStringLiteral("ЛУМ-К");
inline const QString ModeMenu = QStringLiteral("Режим");
inline const QString SpeechItem = QStringLiteral("Речевое оповещение Тилан");
inline const QString OtherDevicesItem = QStringLiteral("Другие устройства");
inline const QString ActionMenu = QStringLiteral("Действие");
inline const QString ReadItem = QStringLiteral("Прочесть параметры");
inline const QString WriteItem = QStringLiteral("Записать параметры");
// Comparison of the table with the device or a file (Действие menu).
inline const QString CompareDeviceItem = QStringLiteral("Сравнить с устройством");
inline const QString CompareFileItem = QStringLiteral("Сравнить с файлом…");
// Ends the running transfer (Esc).
inline const QString AbortItem = QStringLiteral("Прервать");
inline const QString HelpMenu = QStringLiteral("Помощь");
inline const QString AboutItem = QStringLiteral("О программе");
// Undo and redo (the Правка menu): the items name the step they would take.
inline const QString EditMenu = QStringLiteral("Правка");
inline const QString UndoItem = QStringLiteral("Отменить");
inline const QString RedoItem = QStringLiteral("Повторить");
inline QString CellStep(int address)
{
    return QStringLiteral("правку адреса %1").arg(address);
}
inline QString ModeColumnStep(int first, int last)
{
    return QStringLiteral("переключение адресов %1–%2").arg(first).arg(last);
}
inline QString DelayColumnStep(int first, int last)
{
    return QStringLiteral("смену задержек адресов %1–%2").arg(first).arg(last);
}
inline const QString OperatingModeStep = QStringLiteral("смену режима");
inline const QString OptionsStep = QStringLiteral("изменение общих свойств");
inline QString OpenStep(const QString& file)
{
    return QStringLiteral("открытие %1").arg(file);
}
inline const QString ReadStep = QStringLiteral("чтение параметров");
// The operator's guide (F1) and its window, titled as the guide's HTML is.
inline const QString GuideItem = QStringLiteral("Руководство оператора");
inline const QString GuideTitle = QStringLiteral("ЛУМ-К конфигуратор: руководство оператора");
inline const QString CloseButton = QStringLiteral("Закрыть");

inline const QString AboutTitle = QStringLiteral("Информация о программе");
inline const QString MakerNotice = QStringLiteral("Разработка: группа сопровождения конфигуратора");
inline const QString Version = QStringLiteral("Версия 1.0");
// The program name, two blank lines, the maker's notice and the version.
inline QString AboutText()
{
    return ApplicationTitle + QStringLiteral("\n\n\n") + MakerNotice + QStringLiteral("\n") +
           Version;
}

// Selecting a port when the table holds what the device may not.
inline const QString ReplaceTableQuestion =
    QStringLiteral("Прочесть параметры устройства и заменить ими таблицу?");
// Exit or closing the window with changes neither saved nor written.
inline const QString SaveChangesQuestion = QStringLiteral("Сохранить изменения?");
// Exit with a device left partly written and nothing else unsaved.
inline const QString ExitAnywayQuestion = QStringLiteral("Всё равно выйти?");
// The table was loaded from bytes it cannot show all of; a write encodes the table.
inline const QString UnshownBitsNote =
    QStringLiteral("запись изменит биты, которых таблица не показывает");
// The same in the state line, whose tooltip says it in full.
inline const QString UnshownBitsShort = QStringLiteral("есть биты вне таблицы");

// Where the table stands against the device (title, state line, its tooltip).
// Short forms follow "порт: "; %1 is the port throughout.
inline const QString StateNoPort = QStringLiteral("порт не выбран");
inline const QString StateNoPortLong =
    QStringLiteral("Порт для связи с БС не выбран: таблица ни с чем не сравнивается.");
inline const QString StateUnknown = QStringLiteral("%1: содержимое не известно");
inline const QString StateUnknownLong = QStringLiteral(
    "Что хранит устройство на %1, не известно: оно не прочитано или с тех пор менялось.");
inline const QString StateConfirming = QStringLiteral("%1: проверка чтения");
inline const QString StateConfirmingLong =
    QStringLiteral("Таблица прочитана с устройства на %1; повторное чтение проверяет её.");
// %2: HH:MM of the read or of the write's read-back.
inline const QString StateSameRead = QStringLiteral("%1: как в устройстве, %2");
inline const QString StateSameReadLong =
    QStringLiteral("Таблица — то, что хранит устройство на %1: два чтения в %2 совпали.");
inline const QString StateSameWritten = QStringLiteral("%1: записано и проверено %2");
inline const QString StateSameWrittenLong =
    QStringLiteral("Таблица записана в устройство на %1 и проверена чтением в %2.");
inline QString StateDiffers(const QString& port, int addresses, int otherBytes)
{
    QString text = QStringLiteral("%1: отличается").arg(port);
    if (addresses > 0)
        text += QStringLiteral(", %1 адр.").arg(addresses);
    if (otherBytes > 0)
        text += QStringLiteral(", %1 служ. байт").arg(otherBytes);
    return text;
}
// `written`: the last the device was told was a verified write; %2 its HH:MM.
inline QString StateDiffersLong(const QString& port, bool written, const QString& at, int addresses,
                                int otherBytes)
{
    QString text = (written ? QStringLiteral("Таблица отличается от того, что записано в "
                                             "устройство на %1 в %2: адресов: %3")
                            : QStringLiteral("Таблица отличается от того, что устройство на %1 "
                                             "хранило при чтении в %2: адресов: %3"))
                       .arg(port, at)
                       .arg(addresses);
    if (otherBytes > 0)
        text += QStringLiteral(", служебных байтов: %1").arg(otherBytes);
    return text + QStringLiteral(". Запись или чтение устранят различие.");
}
// %2: blocks the device confirmed of 6.
inline const QString StatePartlyWritten = QStringLiteral("%1: записано не полностью, %2 из 6");
inline QString PartlyWrittenLong(const QString& port, int blocks, const QString& backup)
{
    return QStringLiteral("Устройство на %1 записано не полностью (%2 из 6 блоков). ")
               .arg(port)
               .arg(blocks) +
           (backup.isEmpty() ? QStringLiteral("Резервной копии нет.")
                             : QStringLiteral("Резервная копия: %1").arg(backup));
}
inline const QString StateReadsDisagree = QStringLiteral("%1: чтения не совпали");
inline const QString StateReadsDisagreeLong = QStringLiteral(
    "Чтения устройства на %1 дали разные данные (помехи на линии): что оно хранит, не "
    "известно. Прочтите его ещё раз.");
inline const QString StateUnconfirmed = QStringLiteral("%1: чтение не подтверждено");
inline const QString StateUnconfirmedLong = QStringLiteral(
    "Таблица прочитана с устройства на %1, но проверочное чтение не завершено: она может "
    "отличаться от устройства.");
// %2: seconds without an accepted reply.
inline const QString StateNoReply = QStringLiteral("%1: нет ответа %2 с");
inline const QString StateNoReplyLong =
    QStringLiteral("нет ответа от БС %1 с: проверьте кабель, питание БС и выбор порта; "
                   "выберите порт снова, чтобы повторить");
inline const QString StateLost = QStringLiteral("%1: соединение потеряно");
// %2: the reason the connection gave.
inline const QString StateLostLong =
    QStringLiteral("Соединение с %1 потеряно: %2. Выберите порт снова, чтобы повторить.");
// A read's confirmation disagreed: one more read settles it.
inline const QString ReadAgainQuestion =
    QStringLiteral("Два чтения устройства дали разные данные (помехи на линии). Прочесть ещё раз?");
inline QString WriteDiffers(int addresses, int otherBytes)
{
    QString text = QStringLiteral("Устройство прочитано после записи и хранит не то, что записано: "
                                  "отличается адресов: %1.")
                       .arg(addresses);
    if (otherBytes > 0)
        text += QStringLiteral(" Отличается служебных байтов: %1.").arg(otherBytes);
    return text;
}
// The box after a comparison; `other` is the port or the file.
inline QString CompareSame(const QString& other)
{
    return QStringLiteral("Таблица и %1: отличий нет.").arg(other);
}
inline QString CompareDiffers(const QString& other, int addresses)
{
    if (addresses == 0)
        return QStringLiteral("Таблица и %1: адреса совпадают.").arg(other);
    return QStringLiteral("Таблица и %1: отличается адресов: %2 (отмечены в таблице).")
        .arg(other)
        .arg(addresses);
}
inline const QString CompareModeDiffers = QStringLiteral("Отличается режим работы.");
inline const QString CompareOptionsDiffer = QStringLiteral("Отличаются общие свойства.");
inline QString CompareUnshownBytes(int bytes)
{
    return QStringLiteral("Байтов с отличиями в битах, которых таблица не показывает: %1.")
        .arg(bytes);
}
inline QString CompareDeviceSide(const QString& port)
{
    return QStringLiteral("устройство на %1").arg(port);
}
inline QString CompareFileSide(const QString& file)
{
    return QStringLiteral("файл %1").arg(file);
}
inline const QString CompareNoPort =
    QStringLiteral("Устройство не сравнить: выберите порт для связи с БС.");
inline const QString CompareBusy =
    QStringLiteral("Идёт обмен с устройством: сравните, когда он закончится.");
inline const QString CompareReadFailed =
    QStringLiteral("Устройство не прочитано: сравнение не выполнено.");
inline const QString WriteAgainQuestion = QStringLiteral("Записать ещё раз?");
inline const QString WriteUnconfirmed =
    QStringLiteral("Запись не подтверждена: устройство не удалось прочитать после записи.");
inline QString WriteCut(const QString& port, int confirmedBlocks)
{
    return QStringLiteral("Запись на порт %1 не завершена: устройство подтвердило блоков: %2 из 6, "
                          "его конфигурация теперь частично новая.")
        .arg(port)
        .arg(confirmedBlocks);
}
inline QString BackupNote(const QString& path)
{
    return QStringLiteral("Прежняя конфигурация устройства сохранена в файле\n%1").arg(path);
}
inline QString BackupFailed(const QString& path, const QString& reason)
{
    return QStringLiteral("Резервная копия конфигурации устройства не сохранена, запись не "
                          "начата.\n%1: %2")
        .arg(path, reason);
}
inline const QString BackupReadFailed =
    QStringLiteral("Устройство не прочитано, резервная копия его конфигурации не сохранена: "
                   "запись не начата.");
// The window programs' command line.
inline const QString ConfigHelp = QStringLiteral(
    "Использование: lumk-config [ФАЙЛ]\n"
    "Конфигуратор ЛУМ-К: чтение, правка и запись параметров устройства через\n"
    "последовательный порт, файлы конфигурации .lmk.\n"
    "\n"
    "  ФАЙЛ        открыть при запуске именно этот файл конфигурации\n"
    "              (его расширение, в отличие от команды «Открыть», не заменяется)\n"
    "  --help      показать эту справку и выйти\n"
    "  --version   показать версию и выйти\n");
inline const QString DemoHelp =
    QStringLiteral("Использование: lumk-demo\n"
                   "Конфигуратор ЛУМ-К с симулятором БС на псевдотерминале: порт симулятора\n"
                   "предлагается после портов компьютера, оборудование не нужно.\n"
                   "\n"
                   "  --help      показать эту справку и выйти\n"
                   "  --version   показать версию и выйти\n");
// Where there are no pseudo-terminals the station runs inside the program.
inline const QString DemoHelpInProcess =
    QStringLiteral("Использование: lumk-demo\n"
                   "Конфигуратор ЛУМ-К с симулятором БС внутри программы: порт симулятора\n"
                   "station:demo предлагается после портов компьютера, оборудование не нужно.\n"
                   "\n"
                   "  --help      показать эту справку и выйти\n"
                   "  --version   показать версию и выйти\n");
inline QString UnknownOption(const QString& program, const QString& option)
{
    return QStringLiteral("%1: неизвестный параметр %2\nСправка: %1 --help\n").arg(program, option);
}
inline QString ExtraArgument(const QString& program, const QString& word)
{
    return QStringLiteral("%1: лишний аргумент %2\nСправка: %1 --help\n").arg(program, word);
}

// The printed configuration sheet (Файл menu).
inline const QString SavePdfItem = QStringLiteral("Сохранить как PDF…");
inline const QString PrintItem = QStringLiteral("Печать…");
inline const QString PdfFilter = QStringLiteral("Документы PDF (*.pdf)");
inline const QString PdfDefaultName = QStringLiteral("Лист конфигурации ЛУМ-К.pdf");

} // namespace UiTexts
