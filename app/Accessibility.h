#pragma once

#include <QString>

class QWidget;

namespace qb {

// What a screen reader learns about the main window beyond its .ui file
// (which names the fields by their labels and names the picture boxes, the
// grid and the lists): the window is reported as a window with its caption,
// the picture boxes say what they show, and Enter presses a focused button
// as Space does. Call once, when the window's controls exist.
void describeMainWindow(QWidget& formMain);

// What a picture box tells about the start picture.
QString startPictureDescription();

} // namespace qb
