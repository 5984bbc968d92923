#include "ShowMessage.h"

#include "Unit1.h"

#include <QApplication>
#include <QMessageBox>

void ShowMessage(const QString &text)
{
    QWidget *owner = QApplication::activeWindow();
    if (!owner)
        owner = Form1;
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(), text,
                    QMessageBox::Ok, owner);
    box.setTextFormat(Qt::PlainText);
    if (owner)
        box.setWindowIcon(owner->windowIcon());
    box.exec();
}
