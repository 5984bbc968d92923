#pragma once

#include <QString>

// What the link asks of a device beyond Qt Serial Port: the holds other Linux
// serial programs put on a port, beside Qt's own lock file and TIOCEXCL
// (which root ignores); the kernel's consoles; hang-ups.

// A lock file of the UUCP/HDB kind ("LCK..ttyUSB0" in the system's lock folder)
// that names a live process other than this one.
bool lockFileHeldByAnother(const QString &device);

// Takes an exclusive flock() on `descriptor`; false if another holds one.
bool takeExclusiveFlock(int descriptor);

// Whether the device behind `descriptor` has hung up (USB adapter pulled,
// pty's far end closed): a full output queue is not a hang-up.
bool hasHungUp(int descriptor);

// Whether `device` is one the kernel lists in /proc/consoles as its console.
bool isKernelConsole(const QString &device);
