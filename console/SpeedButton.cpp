#include "SpeedButton.h"

#include <QMouseEvent>
#include <QSignalBlocker>

void SpeedButton::mouseReleaseEvent(QMouseEvent *event)
{
    const bool completesClick = event->button() == Qt::LeftButton && isDown()
        && hitButton(event->position().toPoint());
    if (!completesClick)
        return QToolButton::mouseReleaseEvent(event);
    emit clicked();
    const QSignalBlocker once(this);
    QToolButton::mouseReleaseEvent(event);
}
