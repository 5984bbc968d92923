// The yardsticks: an empty Qt Widgets main window, built like the console;
// with --chrome, the same window with a menu bar and a status bar text, so
// that Qt's own one-time font and cursor set-up is paid as the console pays it.
#include <QApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QStatusBar>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QMainWindow window;
    window.resize(392, 366);
    if (QApplication::arguments().contains(QStringLiteral("--chrome"))) {
        window.menuBar()->addMenu(QStringLiteral("Port Série"));
        window.statusBar()->showMessage(QStringLiteral(" Com 1"));
    }
    window.show();
    return QApplication::exec();
}
