#include "CommandLineOutput.h"

bool WriteCommandLineText(std::FILE* stream, const QString& text)
{
    std::fputs(text.toUtf8().constData(), stream);
    return std::fflush(stream) == 0 && !std::ferror(stream);
}
