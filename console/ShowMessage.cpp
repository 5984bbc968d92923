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
                    QMessageBox::NoButton, owner);
    // A plain OK button: the standard one looks up a themed icon first, which
    // doubled the time until the first box appeared.
    box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.setTextFormat(Qt::PlainText);
    if (owner)
        box.setWindowIcon(owner->windowIcon());
    box.exec();
}
