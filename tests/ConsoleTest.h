#pragma once

#include "ConsoleState.h"
#include "MessageCatcher.h"
#include "Pty.h"
#include "Unit1.h"

#include <gtest/gtest.h>

#include <memory>

// A fresh console state and window per test, its port a pseudo-terminal,
// every message box answered and recorded.
class ConsoleTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Console.link.close();
        Console.mode = InputMode::Mouse;
    }
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
    }
    void createOnPty()
    {
        create(pty.slavePath());
        form->show();
        ASSERT_EQ(Console.link.state(), PortState::Open);
    }
    // Bytes at the far end: `expect` of them, or whatever comes in 100 ms if none are expected.
    QByteArray sent(int expect) { return pty.read(expect == 0 ? 100 : 1000, expect); }

    Pty pty;
    std::unique_ptr<TForm1> form;
    MessageCatcher messages;
};
