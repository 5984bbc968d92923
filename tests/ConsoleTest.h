#pragma once

#include "ConsoleState.h"
#include "Pty.h"
#include "Unit1.h"
#include "Usage.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <utility>

inline void PrintTo(const QString &text, std::ostream *os) { *os << '"' << text.toStdString() << '"'; }

// Answers every message box the moment it shows, so no test blocks on a
// dialog, and records what each said; a box not titled "Dravel" or not in
// plain text is recorded as such. `whileOpen`, when set, runs once with the
// next box still open, before it is answered.
class MessageCatcher : public QObject
{
public:
    MessageCatcher() { qApp->installEventFilter(this); }
    ~MessageCatcher() override { qApp->removeEventFilter(this); }
    QStringList texts;
    std::function<void(QMessageBox *)> whileOpen;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *box = qobject_cast<QMessageBox *>(watched);
        if (box && event->type() == QEvent::Show) {
            const bool plain = box->textFormat() == Qt::PlainText;
            texts << (box->windowTitle() != QLatin1String("Dravel") ? QStringLiteral("<untitled>")
                      : plain ? box->text() : QStringLiteral("<rich text>"));
            QTimer::singleShot(0, box, [this, box] {
                if (const auto act = std::exchange(whileOpen, nullptr))
                    act(box);
                box->accept();
            });
        }
        return QObject::eventFilter(watched, event);
    }
};

// A fresh console state and window per test, its port a pseudo-terminal.
class ConsoleTest : public ::testing::Test
{
protected:
    void SetUp() override { Console.mode = InputMode::Mouse; }
    void TearDown() override
    {
        form.reset();
        Form1 = nullptr;
        Console.link.close();
    }
    void create(const QString &port)
    {
        form = std::make_unique<TForm1>(port);
        Form1 = form.get();
        form->show();
    }
    void createOnPty() { create(pty.slavePath()); ASSERT_EQ(Console.link.state(), PortState::Open); }
    // Bytes at the far end: `expect` of them, or whatever comes in 100 ms if none are expected.
    QByteArray sent(int expect) { return expect == 0 ? pty.read(100) : pty.read(2000, expect); }

    Pty pty;
    std::unique_ptr<TForm1> form;
    MessageCatcher messages;
};
