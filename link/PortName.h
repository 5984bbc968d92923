#pragma once

#include <QString>

// Maps a port name as operators know it ("Com1") to this platform's device:
// "COM1" on Windows, the first serial device ("/dev/ttyS" + 0) elsewhere.
QString devicePathFor(const QString &portName);
