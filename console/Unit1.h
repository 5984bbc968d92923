#pragma once

#include <QMainWindow>
#include <QString>

class QAction;
class QLabel;
class QMenu;
class QMenuBar;
class QStatusBar;
class QToolButton;

// The console's one window: the drive pad, the menus and the status bar.
class TForm1 : public QMainWindow
{
    Q_OBJECT

public:
    // `port` is the device the console opens; creating the window opens it.
    explicit TForm1(const QString &port, QWidget *parent = nullptr);

    QToolButton *SpeedButton1;
    QToolButton *SpeedButton2;
    QToolButton *SpeedButton3;
    QToolButton *SpeedButton4;
    QToolButton *SpeedButton5;
    QToolButton *SpeedButton6;
    QToolButton *SpeedButton7;
    QToolButton *SpeedButton8;
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
    void SerialLinkHungUp();
    void Quitter1Click();
    void SpeedButton1Click();
    void SpeedButton2Click();
    void SpeedButton3Click();
    void SpeedButton4Click();
    void SpeedButton5Click();
    void SpeedButton6Click();
    void SpeedButton7Click();
    void SpeedButton8Click();
    void FormKeyPress(QChar key);
    void Commande1Click();
    void Version1Click();

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void placeOnScreen();
    void buildDrivePad();
    QToolButton *padButton(const QRect &geometry, void (TForm1::*handler)());
    QToolButton *pictureButton(const QRect &geometry, const QString &picture, const QSize &size,
                               const QString &action, void (TForm1::*handler)());
    QToolButton *captionButton(const QRect &geometry, const QString &caption,
                               void (TForm1::*handler)());
    void buildMenus();
    void buildStatusBar();
    void setConnectionText(const QString &text);
    void explainPort(bool failed);

    QString m_port;
    QLabel *m_panels[3];
    bool m_askingVersion = false;
    int m_deadKey = 0; // a dead key typed just before, composing with the next character
};

extern TForm1 *Form1;
