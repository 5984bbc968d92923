#include "MessageCatcher.h"

#include <QApplication>
#include <QEvent>
#include <QMessageBox>
#include <QTimer>

MessageCatcher::MessageCatcher()
{
    qApp->installEventFilter(this);
}

MessageCatcher::~MessageCatcher()
{
    qApp->removeEventFilter(this);
}

QStringList MessageCatcher::texts() const
{
    QStringList all;
    for (const Box &box : boxes)
        all << box.text;
    return all;
}

bool MessageCatcher::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Show) {
        if (auto *box = qobject_cast<QMessageBox *>(watched)) {
            boxes.append({box->windowTitle(), box->text(), box->textFormat() == Qt::PlainText});
            QTimer::singleShot(0, box, &QMessageBox::accept);
        }
    }
    return QObject::eventFilter(watched, event);
}
