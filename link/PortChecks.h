#pragma once

#include <QString>
#include <QStringList>

// What the link asks of a device before it touches it, and the holds it puts
// on a device it opens, as other Linux serial programs expect: the kernel's
// consoles, UUCP lock files, flock() and the terminal's exclusive flag.

// The folder of the system's UUCP lock files.
QString lockFolder();

// The lock files that name `device`: under the name given ("LCK..com1") and,
// for a link, under the device it resolves to ("LCK..ttyUSB0").
QStringList lockFilesFor(const QString &device);

// The process a lock file names: ASCII digits (HDB, padded or not), else the
// pid's own four bytes (older UUCP). 0 when it names none.
qint64 lockOwner(const QString &path);

// Whether any of `lockFiles` names a live process other than this one.
bool lockHeldByAnother(const QStringList &lockFiles);

// Writes this process's HDB lock under each of `lockFiles` that is free or
// whose owner has died; a live owner's file is never replaced. Returns the
// files written, for releaseLocks(); `held` turns true, and nothing stays
// written, when another process holds one. A folder this process may not
// write to holds nothing.
QStringList takeLocks(const QStringList &lockFiles, bool *held);
void releaseLocks(const QStringList &written);

// Whether another descriptor holds the terminal exclusively (TIOCEXCL, which
// root would otherwise pass through).
bool exclusiveFlagSet(int descriptor);

// Takes an exclusive flock() on `descriptor`; false if another holds one.
bool takeExclusiveFlock(int descriptor);

// Whether the device behind `descriptor` has hung up (USB adapter pulled,
// pty's far end closed): a full output queue is not a hang-up.
bool hasHungUp(int descriptor);

// Whether `device` is one the kernel lists in /proc/consoles as its console.
bool isKernelConsole(const QString &device);
