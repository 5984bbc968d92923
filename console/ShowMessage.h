#pragma once

#include <QString>

// A modal box with `text` shown as plain text, one OK button and the
// application name as caption.
void ShowMessage(const QString &text);
