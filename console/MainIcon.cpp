#include "MainIcon.h"

#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

QIcon mainIcon()
{
    QSvgRenderer drawing(QStringLiteral(":/images/mainicon.svg"));
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        drawing.render(&painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}
