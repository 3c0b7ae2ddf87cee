#include "widgets/WindowIcon.h"

#include <QPainter>
#include <QPixmap>

QIcon keldanWindowIcon()
{
    // Drawn from the 16 classic colours only, without antialiasing.
    QPixmap pixmap(32, 32);
    pixmap.fill(QColor(0, 0, 128));
    QPainter painter(&pixmap);
    painter.setPen(QPen(QColor(255, 255, 0), 2));
    painter.drawLine(16, 8, 16, 28);
    painter.drawLine(10, 28, 22, 28);
    painter.setPen(QPen(QColor(0, 255, 255), 1));
    painter.drawArc(10, 2, 12, 12, 30 * 16, 120 * 16);
    painter.drawArc(6, -2, 20, 20, 35 * 16, 110 * 16);
    painter.setPen(QPen(QColor(255, 0, 0), 1));
    painter.drawPoint(16, 8);
    return QIcon(pixmap);
}
