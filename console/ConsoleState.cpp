#include "ConsoleState.h"

ConsoleState Console;
