#include "PortName.h"
#include "ShowMessage.h"
#include "Unit1.h"

#include <QApplication>

#include <cstdio>
#include <exception>

int main(int argc, char *argv[])
{
    // Without one, Qt would abort with advice to reinstall.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        std::fprintf(stderr, "dravel: no display to show the console on\n");
        return 1;
    }
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
