#pragma once

#include <QImage>
#include <QSize>
#include <QString>
#include <functional>

#include "controls/ImageBox.h"

namespace qb {

class Dialogs;

// Shows a stored picture in `box`, or the start picture and a message when
// its file is gone; both pages show their receipt's picture with it. The box
// is told it shows `path` for the receipt that `source` names (its number
// and title). `load` decodes the picture (the picture loader when none is
// given).
void displayStoredPicture(const QString& path, ImageBox& box, PictureSource source,
                          const QImage& startPicture, Dialogs& dialogs,
                          const std::function<QImage(const QString& path, QSize box)>& load = {});

} // namespace qb
