#include "util/gui/WindowPlacement.h"

#include <QRect>
#include <QScreen>
#include <QWidget>

namespace qb {

void centreOnScreen(QWidget& window)
{
    const QScreen* screen = window.screen();
    if (!screen)
        return;
    QRect frame = window.frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window.move(frame.topLeft());
}

} // namespace qb
