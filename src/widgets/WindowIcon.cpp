#include "widgets/WindowIcon.h"

#include <QPainter>
#include <QPixmap>

QImage keldanIconImage(int sizePixels)
{
    // Drawn on a 32 x 32 grid from the 16 classic colours only, without
    // antialiasing; other sizes scale the grid.
    QImage image(sizePixels, sizePixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(0, 0, 128));
    QPainter painter(&image);
    painter.scale(sizePixels / 32.0, sizePixels / 32.0);
    painter.setPen(QPen(QColor(255, 255, 0), 2));
    painter.drawLine(16, 8, 16, 28);
    painter.drawLine(10, 28, 22, 28);
    painter.setPen(QPen(QColor(0, 255, 255), 1));
    painter.drawArc(10, 2, 12, 12, 30 * 16, 120 * 16);
    painter.drawArc(6, -2, 20, 20, 35 * 16, 110 * 16);
    painter.setPen(QPen(QColor(255, 0, 0), 1));
    painter.drawPoint(16, 8);
    return image;
}

QIcon keldanWindowIcon()
{
    return QIcon(QPixmap::fromImage(keldanIconImage(32)));
}
