#pragma once

#include <QString>

class QDialog;
class QWidget;

namespace qb {

// What a screen reader learns about the windows beyond what Qt tells by
// itself: the labels in front of the fields name them (they are the fields'
// buddies), the picture boxes say what they show, the grid and lists are
// named, the main window is reported as a window with its caption, and Enter
// presses a focused button as Space does. Widgets are found by their object
// names; call once, when the window's controls exist.
void describeMainWindow(QWidget& formMain);
void describeLoginDialog(QDialog& formMm);

// What a picture box tells about the start picture.
QString startPictureDescription();

} // namespace qb
