#pragma once

#include <QMainWindow>
#include <QString>

class QAction;
class QLabel;
class QMenu;
class QMenuBar;
class QStatusBar;

// The console's one window: the drive pad, the menus and the status bar.
class TForm1 : public QMainWindow
{
    Q_OBJECT

public:
    // `port` is the device the console opens; creating the window opens it.
    explicit TForm1(const QString &port, QWidget *parent = nullptr);

    QMenuBar *MainMenu1;
    QMenu *PortSrie1;
    QAction *Active1;
    QAction *Ferme1;
    QAction *Quitter1;
    QMenu *Aide1;
    QAction *Commande1;
    QAction *Version1;
    QStatusBar *StatusBar1;

    QLabel *Panel(int index) const { return m_panels[index]; }

    void FormCreate();
    void FormClose();
    void Active1Click();
    void Ferme1Click();
    void Quitter1Click();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildMenus();
    void buildStatusBar();
    void setConnectionText(const QString &text);

    QString m_port;
    QLabel *m_panels[3];
};

extern TForm1 *Form1;
