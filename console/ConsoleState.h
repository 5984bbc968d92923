#pragma once

#include "SerialLink.h"

#include <QtGlobal>

enum class InputMode : qint32 { Mouse = 0, Keyboard = 1 };

// What the handlers share: one per process, outside the window, alive from
// start to exit.
struct ConsoleState
{
    SerialLink link;
    InputMode mode = InputMode::Mouse;
};

extern ConsoleState Console;
