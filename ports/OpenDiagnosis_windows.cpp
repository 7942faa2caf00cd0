// Reproduces the failed open step by step: the exclusive open (its error tells
// missing ports and ports held by another program apart), then the line
// settings the station needs.
#include "OpenDiagnosis.h"

#include "SerialDevices.h"

#include <windows.h>

QString ResolvePortArgument(const QString& port)
{
    // "COM3", "\\.\COM12" and network ports are names, not paths.
    return port;
}

QString ExplainOpenFailure(const QString& port)
{
    const SerialDevice device = InspectSerialDevice(port);
    if (device.state != PortState::Usable)
        return DiagnosisTexts::OtherReason.arg(device.reason);

    const HANDLE handle = ::CreateFileW(reinterpret_cast<const wchar_t*>(device.path.utf16()),
                                        GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return DiagnosisTexts::HeldByOther;
    DCB dcb = {};
    dcb.DCBlength = sizeof dcb;
    bool applied = ::GetCommState(handle, &dcb) != 0;
    if (applied) {
        dcb.BaudRate = CBR_2400;
        dcb.ByteSize = 8;
        dcb.Parity = NOPARITY;
        dcb.StopBits = ONESTOPBIT;
        dcb.fBinary = TRUE;
        applied = ::SetCommState(handle, &dcb) != 0;
    }
    ::CloseHandle(handle);
    return applied ? DiagnosisTexts::UnknownReason : DiagnosisTexts::SettingsRejected;
}
