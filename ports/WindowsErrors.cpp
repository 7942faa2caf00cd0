// Win32 error codes in words. The codes are fixed by the Win32 API, so the
// table needs no Windows header and is checked on every platform.
#include "WindowsErrors.h"

#include "SystemErrors.h"

#include <cerrno>

namespace {

// Win32 error codes (winerror.h) that file and port operations meet.
enum : unsigned long {
    InvalidFunction = 1,      // ERROR_INVALID_FUNCTION
    FileNotFound = 2,         // ERROR_FILE_NOT_FOUND
    PathNotFound = 3,         // ERROR_PATH_NOT_FOUND
    TooManyOpenFiles = 4,     // ERROR_TOO_MANY_OPEN_FILES
    AccessDenied = 5,         // ERROR_ACCESS_DENIED
    InvalidHandle = 6,        // ERROR_INVALID_HANDLE
    NotEnoughMemory = 8,      // ERROR_NOT_ENOUGH_MEMORY
    InvalidAccess = 12,       // ERROR_INVALID_ACCESS
    OutOfMemory = 14,         // ERROR_OUTOFMEMORY
    InvalidDrive = 15,        // ERROR_INVALID_DRIVE
    NotSameDevice = 17,       // ERROR_NOT_SAME_DEVICE
    WriteProtect = 19,        // ERROR_WRITE_PROTECT
    BadUnit = 20,             // ERROR_BAD_UNIT
    NotReady = 21,            // ERROR_NOT_READY
    BadCommand = 22,          // ERROR_BAD_COMMAND
    Crc = 23,                 // ERROR_CRC
    Seek = 25,                // ERROR_SEEK
    SectorNotFound = 27,      // ERROR_SECTOR_NOT_FOUND
    WriteFault = 29,          // ERROR_WRITE_FAULT
    ReadFault = 30,           // ERROR_READ_FAULT
    GenFailure = 31,          // ERROR_GEN_FAILURE
    SharingViolation = 32,    // ERROR_SHARING_VIOLATION
    LockViolation = 33,       // ERROR_LOCK_VIOLATION
    HandleEof = 38,           // ERROR_HANDLE_EOF
    HandleDiskFull = 39,      // ERROR_HANDLE_DISK_FULL
    NotSupported = 50,        // ERROR_NOT_SUPPORTED
    BadNetPath = 53,          // ERROR_BAD_NETPATH
    NetworkBusy = 54,         // ERROR_NETWORK_BUSY
    DevNotExist = 55,         // ERROR_DEV_NOT_EXIST
    UnexpectedNetError = 59,  // ERROR_UNEXP_NET_ERR
    NetNameDeleted = 64,      // ERROR_NETNAME_DELETED
    NetworkAccessDenied = 65, // ERROR_NETWORK_ACCESS_DENIED
    BadDevType = 66,          // ERROR_BAD_DEV_TYPE
    BadNetName = 67,          // ERROR_BAD_NET_NAME
    FileExists = 80,          // ERROR_FILE_EXISTS
    CannotMake = 82,          // ERROR_CANNOT_MAKE
    InvalidParameter = 87,    // ERROR_INVALID_PARAMETER
    BrokenPipe = 109,         // ERROR_BROKEN_PIPE
    OpenFailed = 110,         // ERROR_OPEN_FAILED
    DiskFull = 112,           // ERROR_DISK_FULL
    SemTimeout = 121,         // ERROR_SEM_TIMEOUT
    InvalidName = 123,        // ERROR_INVALID_NAME
    DirNotEmpty = 145,        // ERROR_DIR_NOT_EMPTY
    BadPathname = 161,        // ERROR_BAD_PATHNAME
    Busy = 170,               // ERROR_BUSY
    AlreadyExists = 183,      // ERROR_ALREADY_EXISTS
    FilenameTooLong = 206,    // ERROR_FILENAME_EXCED_RANGE
    PipeBusy = 231,           // ERROR_PIPE_BUSY
    NoData = 232,             // ERROR_NO_DATA
    PipeNotConnected = 233,   // ERROR_PIPE_NOT_CONNECTED
    Directory = 267,          // ERROR_DIRECTORY
    DeletePending = 303,      // ERROR_DELETE_PENDING
    OperationAborted = 995,   // ERROR_OPERATION_ABORTED
    IoIncomplete = 996,       // ERROR_IO_INCOMPLETE
    NoAccess = 998,           // ERROR_NOACCESS
    FileInvalid = 1006,       // ERROR_FILE_INVALID
    CounterTimeout = 1121,    // ERROR_COUNTER_TIMEOUT
    DeviceNotConnected = 1167, // ERROR_DEVICE_NOT_CONNECTED
    UserMappedFile = 1224,    // ERROR_USER_MAPPED_FILE
    PrivilegeNotHeld = 1314,  // ERROR_PRIVILEGE_NOT_HELD
    FileCorrupt = 1392,       // ERROR_FILE_CORRUPT
    DiskCorrupt = 1393,       // ERROR_DISK_CORRUPT
    NoSystemResources = 1450, // ERROR_NO_SYSTEM_RESOURCES
    Timeout = 1460,           // ERROR_TIMEOUT
    DeviceRemoved = 1617,     // ERROR_DEVICE_REMOVED
    CantAccessFile = 1920,    // ERROR_CANT_ACCESS_FILE
    CantResolveFilename = 1921, // ERROR_CANT_RESOLVE_FILENAME
    DeviceInUse = 2404,       // ERROR_DEVICE_IN_USE
    FileReadOnly = 6009,      // ERROR_FILE_READ_ONLY
};

} // namespace

QString WindowsErrorText(unsigned long error)
{
    switch (error) {
    case FileNotFound:
    case PathNotFound:
    case InvalidDrive:
    case BadNetPath:
    case BadNetName:
    case DevNotExist:
        return SystemErrorText(ENOENT);
    case AccessDenied:
    case NetworkAccessDenied:
    case PrivilegeNotHeld:
    case CantAccessFile:
        return SystemErrorText(EACCES);
    // Not a matter of rights: closing the other program lets the file be used.
    case SharingViolation:
    case LockViolation:
    case UserMappedFile:
        return QStringLiteral("файл занят другой программой");
    case FileExists:
    case AlreadyExists:
        return SystemErrorText(EEXIST);
    case DiskFull:
    case HandleDiskFull:
        return SystemErrorText(ENOSPC);
    case WriteProtect:
    case FileReadOnly:
        return QStringLiteral("носитель или файл защищён от записи");
    case TooManyOpenFiles:
        return SystemErrorText(EMFILE);
    case NotEnoughMemory:
    case OutOfMemory:
    case NoSystemResources:
        return SystemErrorText(ENOMEM);
    case InvalidHandle:
        return QStringLiteral("устройство или файл не принимает эту операцию (недопустимый "
                              "дескриптор)");
    case InvalidFunction:
    case BadCommand:
    case NotSupported:
    case InvalidAccess:
        return QStringLiteral("операция не поддерживается этим устройством или файлом");
    case BadDevType:
        return QStringLiteral("это устройство, а не файл или последовательный порт");
    case InvalidName:
    case BadPathname:
        return QStringLiteral("недопустимое имя файла или устройства");
    case FilenameTooLong:
        return SystemErrorText(ENAMETOOLONG);
    case Directory:
        return SystemErrorText(EISDIR);
    case DirNotEmpty:
        return QStringLiteral("папка не пуста");
    case NotSameDevice:
        return QStringLiteral("файл нельзя перенести на другой диск");
    case BadUnit:
    case NotReady:
        return QStringLiteral("устройство не готово");
    case Crc:
    case Seek:
    case SectorNotFound:
    case WriteFault:
    case ReadFault:
    case GenFailure:
    case FileCorrupt:
    case DiskCorrupt:
        return SystemErrorText(EIO);
    case HandleEof:
        return QStringLiteral("достигнут конец файла");
    case NetworkBusy:
    case UnexpectedNetError:
    case NetNameDeleted:
        return QStringLiteral("сетевой ресурс недоступен");
    case CannotMake:
        return QStringLiteral("файл или папку создать нельзя");
    case InvalidParameter:
        return SystemErrorText(EINVAL);
    case BrokenPipe:
    case NoData:
    case PipeNotConnected:
        return SystemErrorText(EPIPE);
    case PipeBusy:
    case Busy:
    case DeviceInUse:
        return SystemErrorText(EBUSY);
    case OpenFailed:
    case FileInvalid:
        return QStringLiteral("файл не открывается");
    case SemTimeout:
    case CounterTimeout:
    case Timeout:
        return QStringLiteral("истекло время ожидания");
    case DeletePending:
        return QStringLiteral("файл удаляется");
    case OperationAborted:
    case IoIncomplete:
        return QStringLiteral("операция прервана");
    case NoAccess:
        return QStringLiteral("недопустимый адрес памяти");
    case DeviceNotConnected:
    case DeviceRemoved:
        return QStringLiteral("устройство отключено");
    case CantResolveFilename:
        return SystemErrorText(ELOOP);
    default:
        // The system's own text may be English on a Russian desktop.
        return QStringLiteral("системная ошибка %1").arg(error);
    }
}
