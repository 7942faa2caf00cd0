// A PDF as poppler-utils see it (Debian's poppler-utils, from scripts/setup):
// its text in reading layout, its page count and its fonts.
#pragma once

#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

// Standard output of a poppler tool, or "<tool failed>" (which no check expects).
inline QString PopplerOutput(const QString& tool, const QStringList& arguments)
{
    QProcess process;
    process.start(tool, arguments);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        return QStringLiteral("<%1 failed>").arg(tool);
    return QString::fromUtf8(process.readAllStandardOutput());
}

// The text with the page's columns kept on their lines (pdftotext -layout).
inline QString PdfText(const QString& path)
{
    return PopplerOutput(QStringLiteral("pdftotext"),
                         {QStringLiteral("-layout"), path, QStringLiteral("-")});
}

// "Pages:" of pdfinfo, or -1.
inline int PdfPages(const QString& path)
{
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("^Pages:\\s+(\\d+)$"), QRegularExpression::MultilineOption)
            .match(PopplerOutput(QStringLiteral("pdfinfo"), {path}));
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

// The font table of pdffonts (name, type, encoding, emb, sub, uni, object).
inline QString PdfFonts(const QString& path)
{
    return PopplerOutput(QStringLiteral("pdffonts"), {path});
}
