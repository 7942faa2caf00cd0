// No X11 or Wayland display is needed to draw a PDF: the offscreen platform
// (in libqt6gui6) has the fonts of fontconfig.
#include "ToolApplication.h"

#include <QByteArray>

void UseHeadlessPlatform()
{
    qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
}
