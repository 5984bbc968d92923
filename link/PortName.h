#pragma once

#include <QString>

// Maps a port name as operators know it ("Com1") to this platform's device:
// "COM1" on Windows. On Linux, "/dev/com1" when that name exists (a link the
// administrator makes to a USB adapter, as Windows lets one assign COM1),
// else the first serial device, "/dev/ttyS0". `devices` is where to look.
QString devicePathFor(const QString &portName, const QString &devices = QStringLiteral("/dev"));
