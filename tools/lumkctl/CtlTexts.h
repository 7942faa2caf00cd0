// Every fixed text of the command-line tool: help, usage errors, diagnostics and
// the captions it shares with the window. The engine's own messages come from
// LinkTexts and are printed unchanged.
#pragma once

#include <QString>

namespace CtlTexts {

inline const QString ProgramName = QStringLiteral("lumkctl");

// --- help -------------------------------------------------------------------

inline const QString MainHelp =
    QStringLiteral("Использование: lumkctl КОМАНДА [ПАРАМЕТРЫ]\n"
                   "Пакетная работа с ЛУМ-К через БС, без окна конфигуратора.\n"
                   "\n"
                   "Команды:\n"
                   "  ports [--json]                 последовательные порты и их состояние\n"
                   "  read --port ПОРТ [--output ФАЙЛ] [--confirm]\n"
                   "                                 прочитать конфигурацию устройства\n"
                   "  write --port ПОРТ ФАЙЛ [--no-verify] [--no-backup] [--force]\n"
                   "                                 записать конфигурацию из ФАЙЛа в устройство\n"
                   "  show ФАЙЛ [--json]             показать конфигурацию из ФАЙЛа\n"
                   "  diff --port ПОРТ ФАЙЛ          сравнить конфигурацию устройства с ФАЙЛом\n"
                   "  diff ФАЙЛ1 ФАЙЛ2               сравнить два файла\n"
                   "  sheet (ФАЙЛ | --port ПОРТ) --output ЛИСТ.pdf\n"
                   "                                 лист конфигурации в PDF для печати\n"
                   "\n"
                   "  lumkctl КОМАНДА --help         описание команды\n"
                   "  lumkctl --version              версия\n"
                   "\n"
                   "Коды завершения:\n"
                   "  0  успешно\n"
                   "  2  ошибка в командной строке\n"
                   "  3  порт не открывается\n"
                   "  4  Нет устройства\n"
                   "  5  Не подключен ЛУМ-К\n"
                   "  6  передача не продвигается дольше --timeout секунд или потеряна\n"
                   "     связь с сетевым портом\n"
                   "  7  найдены отличия (write, diff)\n"
                   "  8  файл не читается или не записывается (также стандартный вывод);\n"
                   "     write: ФАЙЛ не конфигурация из 140 шестнадцатеричных цифр\n"
                   "  9  чтения устройства расходятся между собой: связь ненадёжна\n"
                   "     (read --confirm, write)\n"
                   "%1"
                   "\n"
                   "Имена файлов используются побайтно, как заданы. Файл заменяется целиком\n"
                   "или остаётся прежним; папка, устройство, канал и сокет не заменяются.\n");

// Options shared by the commands that talk to the device.
inline const QString DeviceOptionsHelp = QStringLiteral(
    "%1"
    "                    rfc2217://УЗЕЛ:ПОРТ (Telnet с управлением портом, линия\n"
    "                    2400 8N1 задаётся сервером по запросу) или socket://УЗЕЛ:ПОРТ\n"
    "                    (простой TCP, линия настроена на сервере); УЗЕЛ — имя,\n"
    "                    адрес IPv4 или адрес IPv6 в скобках: [::1]\n"
    "  --timeout СЕК     сколько секунд ждать продвижения передачи (по умолчанию 20)\n"
    "  --trace           выводить в стандартный поток ошибок каждый переданный\n"
    "                    и принятый кадр с отметкой времени\n");

inline const QString PortsHelp = QStringLiteral(
    "Использование: lumkctl ports [--json]\n"
    "%1"
    "\n"
    "  --json            вывести массив объектов JSON с ключами \"name\", \"path\",\n"
    "                    \"state\" (\"usable\", \"no-permission\", \"busy\", \"error\"),\n"
    "                    \"reason\", \"description\" и \"by_id\" (null, где нечего сказать)\n");

inline const QString ReadHelp =
    QStringLiteral("Использование: lumkctl read --port ПОРТ [--output ФАЙЛ] [--confirm]\n"
                   "                            [--timeout СЕК] [--trace]\n"
                   "Проверяет связь с БС, читает конфигурацию ЛУМ-К и выводит её в виде строки\n"
                   "из 140 шестнадцатеричных цифр с CR LF, как в файле .lmk.\n"
                   "\n"
                   "  --output ФАЙЛ     записать в ФАЙЛ (имя используется как есть; файл\n"
                   "                    заменяется целиком) вместо стандартного вывода; ФАЙЛ,\n"
                   "                    который не обычный файл, отвергается до открытия порта\n"
                   "  --confirm         прочитать устройство дважды и выдать конфигурацию, только\n"
                   "                    если оба чтения совпали; при расхождении третье чтение\n"
                   "                    решает, иначе код 9 и ничего не выводится\n") +
    DeviceOptionsHelp;

inline const QString WriteHelp =
    QStringLiteral("Использование: lumkctl write --port ПОРТ ФАЙЛ [--no-verify] [--no-backup]\n"
                   "                             [--force] [--timeout СЕК] [--trace]\n"
                   "Проверяет связь с БС, читает конфигурацию устройства, сохраняет её в\n"
                   "резервный файл рядом с ФАЙЛом (в имени дата и время), затем открывает ФАЙЛ\n"
                   "(имя используется как есть) и передаёт устройству его байты 0-69 в точности\n"
                   "как есть, вместе с битами, которых таблица не показывает (их перечисляет\n"
                   "show); байты 70 и 71 остаются такими, как в устройстве.\n"
                   "Первая строка ФАЙЛа должна состоять ровно из 140 шестнадцатеричных цифр\n"
                   "(CR не в счёт), иначе код 8 до открытия порта.\n"
                   "Прерванная запись (сигнал или код 6) сообщает, сколько блоков дошло,\n"
                   "и команду, которая вернёт устройству резервную копию.\n"
                   "\n"
                   "После записи устройство читается снова и байты 0-69 сравниваются с ФАЙЛом\n"
                   "байт в байт; при расхождении оно читается ещё раз: отличия (код 7)\n"
                   "сообщаются, только когда два чтения совпали между собой, вместе с командой,\n"
                   "которая вернёт устройству резервную копию; если три чтения различны,\n"
                   "код 9. Код 0 только тогда, когда устройство хранит то, что в ФАЙЛе.\n"
                   "\n"
                   "  --no-verify       не читать устройство после записи (\"Записано\" и код 0\n"
                   "                    означают лишь, что БС подтвердила блоки)\n"
                   "  --verify          проверка после записи (действует и без него)\n"
                   "  --no-backup       не сохранять резервный файл\n"
                   "  --force           записать и неправильно оформленный ФАЙЛ так, как его\n"
                   "                    прочитал бы конфигуратор (недостающее и не цифры = 0)\n") +
    DeviceOptionsHelp;

inline const QString ShowHelp =
    QStringLiteral("Использование: lumkctl show ФАЙЛ [--json]\n"
                   "Показывает конфигурацию из ФАЙЛа так, как её показал бы конфигуратор после\n"
                   "открытия файла: режим работы, общие свойства и 64 адреса.\n"
                   "\n"
                   "  --json            вывести один объект JSON:\n"
                   "                    {\"mode\", \"options\", \"addresses\": [{\"address\", "
                   "\"mode\", \"delay\"}]}\n");

inline const QString DiffHelp =
    QStringLiteral("Использование: lumkctl diff --port ПОРТ ФАЙЛ [--timeout СЕК] [--trace]\n"
                   "               lumkctl diff ФАЙЛ1 ФАЙЛ2\n"
                   "Читает конфигурацию устройства и выводит, где она отличается от ФАЙЛа:\n"
                   "режим работы, общие свойства и адреса. Код 0, если отличий нет, 7, если есть.\n"
                   "Без --port сравнивает два файла, не открывая порт.\n") +
    DeviceOptionsHelp;

inline const QString SheetHelp =
    QStringLiteral("Использование: lumkctl sheet ФАЙЛ --output ЛИСТ.pdf\n"
                   "               lumkctl sheet --port ПОРТ --output ЛИСТ.pdf [--timeout СЕК] "
                   "[--trace]\n"
                   "Составляет лист конфигурации для документов пусконаладки: одна страница A4\n"
                   "в PDF с датой и временем, файлом или портом, режимом работы, общими\n"
                   "свойствами, 64 адресами в четырёх таблицах, как в окне конфигуратора,\n"
                   "состоянием относительно устройства, битами, которых таблица не показывает,\n"
                   "строкой файла .lmk и местом для подписей «Настроил» и «Проверил».\n"
                   "С ФАЙЛом лист показывает его конфигурацию так, как её показал бы\n"
                   "конфигуратор после открытия файла; состояние относительно устройства\n"
                   "не известно. С --port конфигурация читается из устройства, и лист\n"
                   "говорит, с какого порта и когда она прочитана. Экран не нужен.\n"
                   "\n"
                   "  --output ЛИСТ.pdf куда записать лист (имя используется как есть; файл\n"
                   "                    заменяется целиком); ЛИСТ, который не обычный файл,\n"
                   "                    отвергается до открытия порта\n") +
    DeviceOptionsHelp;

// The platform's parts of the help (%1 above): how --port names a port, what
// "ports" surveys, and the exit statuses of an interrupted transfer.
namespace Linux {
inline const QString PortArgument =
    QStringLiteral("  --port ПОРТ       имя порта из списка \"lumkctl ports\", путь к устройству\n"
                   "                    или его имя в /dev/serial/by-id/; порт сервера по сети:\n");
inline const QString PortsSurvey =
    QStringLiteral("Выводит все последовательные порты (ttyS, ttyUSB, ttyACM и подобные) в том же\n"
                   "порядке, что и список портов конфигуратора, и состояние каждого: доступен\n"
                   "(есть в списке конфигуратора), нет прав (и как их получить), занят (какой\n"
                   "программой, по файлу блокировки или по данным ядра) или ошибка с причиной.\n"
                   "Для адаптера USB выводятся его описание (изготовитель, изделие, серийный\n"
                   "номер) и постоянное имя в /dev/serial/by-id/. В --port годится любое из этих\n"
                   "имён.\n");
inline const QString InterruptStatuses =
    QStringLiteral("  129, 130, 143  прервано сигналом SIGHUP, SIGINT, SIGTERM\n");
} // namespace Linux
namespace Windows {
inline const QString PortArgument =
    QStringLiteral("  --port ПОРТ       имя порта из списка \"lumkctl ports\" (COM3) или путь\n"
                   "                    к устройству (\\\\.\\COM12); порт сервера по сети:\n");
inline const QString PortsSurvey =
    QStringLiteral("Выводит последовательные порты от COM1 до COM128 в том же порядке, что и\n"
                   "список портов конфигуратора, и состояние каждого: доступен (есть в списке\n"
                   "конфигуратора), занят другой программой или ошибка с причиной. Под портом\n"
                   "выводится имя устройства, как его показывает диспетчер устройств.\n");
inline const QString InterruptStatuses = QStringLiteral("  130  прервано: Ctrl+C или Ctrl+Break\n"
                                                        "  143  прервано: окно консоли закрыто\n");
} // namespace Windows

// --- usage errors -------------------------------------------------------------

inline const QString UsageHint = QStringLiteral("Подробнее: lumkctl %1 --help");
inline const QString MainUsageHint = QStringLiteral("Подробнее: lumkctl --help");
inline const QString NoCommand = QStringLiteral("не указана команда");
inline const QString UnknownCommand = QStringLiteral("неизвестная команда «%1»");
inline const QString UnknownOption = QStringLiteral("неизвестный параметр «%1»");
inline const QString MissingValue = QStringLiteral("у параметра %1 нет значения");
inline const QString UnexpectedValue = QStringLiteral("параметр %1 не принимает значения");
inline const QString RepeatedOption = QStringLiteral("параметр %1 указан дважды");
inline const QString EmptyValue = QStringLiteral("пустое значение параметра %1");
inline const QString MissingPort = QStringLiteral("не указан порт (--port)");
inline const QString MissingFile = QStringLiteral("не указан файл");
inline const QString EmptyFileName = QStringLiteral("пустое имя файла");
inline const QString MissingFileOrPort = QStringLiteral("не указан файл или порт (--port)");
inline const QString FileAndPort = QStringLiteral("укажите файл или порт (--port), но не оба");
inline const QString MissingOutput = QStringLiteral("не указан файл листа (--output)");
inline const QString ExtraArgument = QStringLiteral("лишний аргумент «%1»");
inline const QString BadTimeout =
    QStringLiteral("--timeout ожидает число секунд больше 0 и не больше 86400, а не «%1»");

// --- outcomes -------------------------------------------------------------------

inline const QString ReadError = QStringLiteral("Ошибка чтения: %1");
inline const QString ReadErrorWhy = QStringLiteral("Ошибка чтения: %1: %2");
inline const QString WriteError = QStringLiteral("Ошибка записи: %1");
inline const QString WriteErrorWhy = QStringLiteral("Ошибка записи: %1: %2");
inline const QString StandardOutput = QStringLiteral("стандартный вывод");
inline const QString Malformed =
    QStringLiteral("%1: не конфигурация ЛУМ-К: %2. Первая строка должна состоять ровно из 140 "
                   "шестнадцатеричных цифр; устройство не тронуто (--force запишет то, что из неё "
                   "прочитается).");
inline const QString MalformedNote =
    QStringLiteral("Замечание: %1 — не правильно оформленная конфигурация (%2); показано то, что "
                   "прочитал бы конфигуратор.");
inline const QString Interrupted = QStringLiteral("Прервано сигналом %1.");
inline const QString InterruptedUntouched =
    QStringLiteral("Прервано сигналом %1; в устройство ничего не записано.");
inline const QString WriteCut = QStringLiteral(
    "Запись не завершена: устройство подтвердило приём %1 из 6 блоков%2. Теперь в нём "
    "может быть смесь старой и новой конфигурации.");
inline const QString WriteCutOneMore =
    QStringLiteral(", ещё один блок мог дойти без подтверждения");
inline const QString RestoreFrom =
    QStringLiteral("Прежняя конфигурация устройства сохранена в резервной копии; вернуть её:");
inline const QString NoBackupToRestore =
    QStringLiteral("Резервной копии нет (--no-backup); записать файл ещё раз:");
inline const QString ReadsDisagree = QStringLiteral(
    "Три чтения устройства дали разные конфигурации: связь ненадёжна; ничего не выдано.");
inline const QString ReadBackDisturbed =
    QStringLiteral("Проверка: чтения устройства расходились; решило совпадение двух из них.");
inline const QString VerifyUnreliable = QStringLiteral(
    "Проверка не удалась: три чтения устройства различны (связь ненадёжна); записано ли "
    "всё, неизвестно. Это не признак неудачной записи.");
// diff of two files
inline const QString FilesDiffLine = QStringLiteral("%1: файл 1 «%2», файл 2 «%3»");
inline const QString FilesHiddenBytesDiffer = QStringLiteral(
    "Замечание: байты 64-69, которые конфигуратор не показывает, в файлах различаются.");
inline const QString BackupWritten = QStringLiteral("Резервная копия конфигурации устройства: %1");
inline const QString BackupFailed =
    QStringLiteral("Резервная копия не записана, устройство не изменено.");
inline const QString Stalled = QStringLiteral("Передача не продвигается %1 с; работа прервана.");
inline const QString Lost = QStringLiteral("Связь с портом потеряна: %1; работа прервана.");
inline const QString WakeFailed =
    QStringLiteral("Не удалось ответить БС на приглашение; передача не начата.");
inline const QString NoPorts = QStringLiteral("Доступных портов нет.");
inline const QString PortUsable = QStringLiteral("доступен");
inline const QString PortNoPermission = QStringLiteral("нет прав");
inline const QString PortBusy = QStringLiteral("занят");
inline const QString PortError = QStringLiteral("ошибка");
inline const QString Verified = QStringLiteral("Проверка: устройство содержит записанное.");
inline const QString VerifyFailed = QStringLiteral("Проверка: отличий %1.");
inline const QString NoDifferences = QStringLiteral("Отличий нет.");
inline const QString DifferenceCount = QStringLiteral("Отличий: %1.");
inline const QString HiddenBytesDiffer = QStringLiteral(
    "Замечание: байты 64-69, которые конфигуратор не показывает, в устройстве и в файле "
    "различаются; запись файла их изменит.");

// Appended to a trace line of a write that did not go out completely.
inline const QString TraceNotSent = QStringLiteral(" (не передано)");
inline const QString TracePartlySent = QStringLiteral(" (передано %1 из %2)");

} // namespace CtlTexts
