// The serial device survey of Windows: the ports COM1 to COM128, each tried as
// the port selector uses it (opened without sharing, its line settings read,
// closed at once), with the name Device Manager shows for it. Windows keeps no
// lock files: a port another program holds refuses the open.
#include "SerialDevices.h"

#include "WindowsErrors.h"

#include <iterator>
#include <windows.h>

#include <devguid.h>
#include <setupapi.h>

namespace {

constexpr int HighestPort = 128;

// An open of the port as the selector and the link make it, or the error.
HANDLE OpenExclusive(const QString& path, DWORD* error)
{
    const HANDLE handle =
        ::CreateFileW(reinterpret_cast<const wchar_t*>(path.utf16()), GENERIC_READ | GENERIC_WRITE,
                      0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    *error = handle == INVALID_HANDLE_VALUE ? ::GetLastError() : 0;
    return handle;
}

bool Absent(DWORD error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

QString RegistryText(HKEY key, const wchar_t* value)
{
    wchar_t text[256] = {};
    DWORD type = 0;
    DWORD size = sizeof text - sizeof(wchar_t);
    if (::RegQueryValueExW(key, value, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ)
        return {};
    return QString::fromWCharArray(text).trimmed();
}

// The ports class's name for the device that is `port` ("USB Serial Port
// (COM3)"), empty when Windows has none.
QString FriendlyName(const QString& port)
{
    const HDEVINFO devices =
        ::SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (devices == INVALID_HANDLE_VALUE)
        return {};
    QString name;
    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof device;
    for (DWORD i = 0; name.isEmpty() && ::SetupDiEnumDeviceInfo(devices, i, &device); ++i) {
        const HKEY key =
            ::SetupDiOpenDevRegKey(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
        if (key == INVALID_HANDLE_VALUE)
            continue;
        const QString portName = RegistryText(key, L"PortName");
        ::RegCloseKey(key);
        if (portName.compare(port, Qt::CaseInsensitive) != 0)
            continue;
        wchar_t text[256] = {};
        if (::SetupDiGetDeviceRegistryPropertyW(devices, &device, SPDRP_FRIENDLYNAME, nullptr,
                                                reinterpret_cast<BYTE*>(text),
                                                sizeof text - sizeof(wchar_t), nullptr))
            name = QString::fromWCharArray(text).trimmed();
    }
    ::SetupDiDestroyDeviceInfoList(devices);
    return name;
}

// "COM12" for "\\.\COM12" and "COM12".
QString PortName(const QString& port)
{
    return port.startsWith(QLatin1String("\\\\.\\")) ? port.mid(4) : port;
}

} // namespace

SystemRoots& CurrentSystemRoots()
{
    static SystemRoots roots;
    return roots;
}

QString DevicePath(const QString& port)
{
    if (port.startsWith(QLatin1String("\\\\.\\")))
        return port;
    return QLatin1String("\\\\.\\") + port;
}

QString CanonicalDevicePath(const QString& path)
{
    return path;
}

QStringList DeviceNames(const QString& path)
{
    return {path};
}

OpenRefusal DescribeOpenError(int error, const QString& path)
{
    const auto code = static_cast<DWORD>(error);
    if (Absent(code))
        return {PortState::Error, DeviceTexts::NoSuchDevice(path)};
    // Windows refuses a port another program has open with "access denied".
    if (code == ERROR_ACCESS_DENIED || code == ERROR_SHARING_VIOLATION)
        return {PortState::Busy, DeviceTexts::BusyUnknown()};
    return {PortState::Error, DeviceTexts::OtherError(WindowsErrorText(code))};
}

SerialDevice InspectSerialDevice(const QString& name)
{
    SerialDevice device;
    device.name = name;
    device.path = DevicePath(name);
    device.description = FriendlyName(PortName(name));
    DWORD error = 0;
    const HANDLE handle = OpenExclusive(device.path, &error);
    if (handle == INVALID_HANDLE_VALUE) {
        const OpenRefusal refusal = DescribeOpenError(int(error), device.path);
        device.state = refusal.state;
        device.reason = refusal.reason;
        return device;
    }
    DCB settings = {};
    settings.DCBlength = sizeof settings;
    const bool isSerial = ::GetCommState(handle, &settings) != 0;
    ::CloseHandle(handle);
    if (!isSerial) {
        device.reason = DeviceTexts::NotSerial(device.path);
        return device;
    }
    device.state = PortState::Usable;
    return device;
}

QStringList SerialDeviceCandidates()
{
    // The names from COM1 up that the system defines; each is opened once, by
    // InspectSerialDevice, not here.
    QStringList names;
    wchar_t target[512];
    for (int n = 1; n <= HighestPort; ++n) {
        const QString name = QStringLiteral("COM%1").arg(n);
        if (::QueryDosDeviceW(reinterpret_cast<const wchar_t*>(name.utf16()), target,
                              DWORD(std::size(target))) != 0 ||
            ::GetLastError() == ERROR_INSUFFICIENT_BUFFER)
            names << name;
    }
    return names;
}
