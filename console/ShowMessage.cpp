#include "ShowMessage.h"

#include "Commands.h"
#include "ConsoleState.h"
#include "Unit1.h"

#include <QApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QMessageBox>
#include <QToolButton>

namespace {

// Keeps the box modal for everything but Stop: a robot driving at speed must
// stop while "Erreur de Touche Clavier" waits for its OK. Qt's own modality
// would block the Stop button's window as a whole, so the box is shown
// without it and this filter lets through only what stops the robot.
class StopStillWorks : public QObject
{
public:
    explicit StopStillWorks(QMessageBox *box) : m_box(box) { qApp->installEventFilter(this); }
    ~StopStillWorks() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (stopKey(event))
            return true;
        auto *widget = qobject_cast<QWidget *>(watched);
        if (!widget || widget == m_box || m_box->isAncestorOf(widget))
            return false;
        if (event->type() == QEvent::Close && widget == Form1) {
            event->ignore(); // closing the window waits for the box too
            return true;
        }
        // While the box is open nothing else reaches the window but Stop's clicks.
        return isInput(event->type()) && !(Form1 && widget == Form1->SpeedButton8);
    }

private:
    static bool isInput(QEvent::Type type)
    {
        switch (type) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
            return true;
        default:
            return false;
        }
    }

    // In keyboard mode "q" stops, wherever it is typed; true if it did.
    static bool stopKey(QEvent *event)
    {
        if (event->type() != QEvent::KeyPress || Console.mode != InputMode::Keyboard
            || static_cast<QKeyEvent *>(event)->text() != QLatin1String("q"))
            return false;
        sendCommand(Console.link, Command::Stop);
        return true;
    }

    QMessageBox *m_box;
};

} // namespace

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
    box.setWindowModality(Qt::NonModal);
    StopStillWorks modal(&box);
    QEventLoop loop;
    QObject::connect(&box, &QDialog::finished, &loop, &QEventLoop::quit);
    box.show();
    box.activateWindow();
    if (box.isVisible())
        loop.exec(QEventLoop::DialogExec);
}
