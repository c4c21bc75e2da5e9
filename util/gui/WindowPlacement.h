#pragma once

class QWidget;

namespace qb {

// Puts the window, frame included, in the middle of the free part of its
// screen; a window without a screen stays where it is.
void centreOnScreen(QWidget& window);

} // namespace qb
