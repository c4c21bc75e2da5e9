#pragma once

#include <QImage>
#include <QString>

class QWidget;

namespace qb {

// What the program's windows tell a screen reader beyond what Qt and their
// .ui files (labels' buddies, accessible names) tell by themselves.

// A picture box (ImageBox) is reported as a graphic whose description
// follows its picture: `description` while it shows `picture`, the window's
// start picture; otherwise the box's own accessible description, which the
// page sets to the file name of the picture it loaded. Call once the
// window's start picture is known.
void describeStartPicture(QWidget& window, const QImage& picture, const QString& description);

// Enter on a focused button of `window` presses it, as Space does. Push
// buttons do that by themselves only inside a dialog, tool buttons never.
void pressButtonsWithEnter(QWidget& window);

} // namespace qb
