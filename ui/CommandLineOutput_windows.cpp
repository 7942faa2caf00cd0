// A window program has no console of its own: its standard streams are a file
// or pipe only when whoever started it redirected them. Redirected, the text
// goes there as UTF-8, the same bytes as on Linux; otherwise it would be lost,
// so a message box shows it.
#include "CommandLineOutput.h"

#include "UiTexts.h"

#include <windows.h>

bool WriteCommandLineText(std::FILE* stream, const QString& text)
{
    const HANDLE handle = ::GetStdHandle(stream == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE &&
        ::GetFileType(handle) != FILE_TYPE_UNKNOWN) {
        std::fputs(text.toUtf8().constData(), stream);
        return std::fflush(stream) == 0 && !std::ferror(stream);
    }
    ::MessageBoxW(nullptr, reinterpret_cast<const wchar_t*>(text.trimmed().utf16()),
                  reinterpret_cast<const wchar_t*>(UiTexts::ApplicationTitle.utf16()),
                  MB_OK | (stream == stderr ? MB_ICONWARNING : MB_ICONINFORMATION));
    return true;
}
