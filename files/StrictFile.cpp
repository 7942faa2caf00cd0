#include "StrictFile.h"

#include "FileTexts.h"
#include "ImageFile.h"
#include "ParamImage.h"

#include <algorithm>
#include <cctype>

QString FirstLineMalformation(const QByteArray& line)
{
    if (line.isEmpty())
        return FileTexts::LineEmpty;
    for (qsizetype i = 0; i < std::min<qsizetype>(line.size(), ParamImage::TextLength); ++i) {
        const char c = line.at(i);
        if (!std::isxdigit(static_cast<unsigned char>(c))) {
            const QString shown =
                c >= 0x20 && c < 0x7F
                    ? QStringLiteral("«%1»").arg(QLatin1Char(c))
                    : QStringLiteral("0x%1").arg(std::uint8_t(c), 2, 16, QLatin1Char('0'));
            return FileTexts::LineNotHex.arg(shown).arg(i + 1);
        }
    }
    if (line.size() > ParamImage::TextLength)
        return FileTexts::LineTooLong;
    if (line.size() < ParamImage::TextLength)
        return FileTexts::LineTooShort.arg(line.size());
    return QString();
}

bool LoadFileStrictly(const QByteArray& name, ParamImage& image, QString& malformation,
                      QString* reason)
{
    QByteArray line;
    if (!ReadFileFirstLine(name, line, ParamImage::TextLength + 1, reason))
        return false;
    image.fromText(line);
    malformation = FirstLineMalformation(line);
    return true;
}
