#pragma once

#include <QToolButton>

// A momentary pad button. Qt repaints a released button before it reports the
// click; this one reports the click first, so the command byte leaves before
// the paint rather than after it.
class SpeedButton : public QToolButton
{
public:
    using QToolButton::QToolButton;

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
};
