// Etched group box frame with the caption over its top line.
#include "GroupBox.h"

#include <QPainter>
#include <qdrawutil.h>

TGroupBox::TGroupBox(const QString& title, QWidget* parent) : QGroupBox(title, parent)
{
}

void TGroupBox::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QFontMetrics fm = fontMetrics();
    const int lineTop = fm.height() / 2 - 1;
    qDrawShadeRect(&p, rect().adjusted(0, lineTop, 0, 0), palette(), true, 1, 0);
    if (title().isEmpty())
        return;
    const QRect caption(6, 0, fm.horizontalAdvance(title()) + 4, fm.height());
    p.fillRect(caption, palette().window());
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(caption, Qt::AlignCenter | Qt::TextSingleLine, title());
}
