#pragma once

#include "SerialLink.h"

#include <QString>

// Asks the robot for its version: sends the version query, pauses briefly,
// then reads once into the link's reply buffer. Returns the count received.
quint32 versionExchange(SerialLink &link);

// The robot's reply as the operator should see it: the bytes before the
// first zero byte, as Windows-1252 characters, with control characters made
// visible instead of acted upon.
QString replyText(const char *bytes, quint32 count);
