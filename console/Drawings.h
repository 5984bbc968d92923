#pragma once

#include <QIcon>

// The program's pictures, drawn from their vector originals at whatever size
// and pixel density they are shown, so they stay crisp everywhere.
QIcon drawing(const QString &name);

// The program's icon (MAINICON).
QIcon mainIcon();
