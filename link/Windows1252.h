#pragma once

#include <QByteArray>
#include <QString>

// The robot speaks Windows-1252, one byte per character.

// The character a byte stands for; U+FFFD for the five unassigned bytes.
QChar fromWindows1252(unsigned char byte);

// Each character as its byte; '?' where Windows-1252 has none.
QByteArray toWindows1252(const QString &text);
