#include "PortName.h"
#include "ShowMessage.h"
#include "Unit1.h"

#include <QApplication>

#include <exception>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    try {
        QApplication::setApplicationName(QStringLiteral("Dravel"));
        QGuiApplication::setDesktopFileName(QStringLiteral("dravel"));
        TForm1 form(devicePathFor(QStringLiteral("Com1")));
        Form1 = &form;
        form.show();
        QApplication::exec();
    } catch (const std::exception &error) {
        ShowMessage(QString::fromLocal8Bit(error.what()));
    }
    Form1 = nullptr;
    return 0;
}
