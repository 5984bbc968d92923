#pragma once

class SerialLink;

// Everything the robot understands: one lower-case letter per command. This
// is the only place that spells a command byte.
enum class Command : char {
    Up = 'e',
    Down = 'x',
    Right = 'd',
    Left = 's',
    Plus = 'o',
    Minus = 'l',
    Stop = 'q',
    VersionQuery = 'v',
};

constexpr char commandByte(Command command)
{
    return static_cast<char>(command);
}

// One command, one byte, now; nothing is awaited.
void sendCommand(SerialLink &link, Command command);
