#pragma once

#include <QImage>
#include <QSize>
#include <QString>
#include <functional>

class ImageBox;

namespace qb {

class Dialogs;

// Shows a stored picture in `box`, or the start picture and a message when
// its file is gone; both pages show their receipt's picture with it. `load`
// decodes the picture (the picture loader when none is given).
void displayStoredPicture(const QString& path, ImageBox& box, const QImage& startPicture, Dialogs& dialogs,
                          const std::function<QImage(const QString& path, QSize box)>& load = {});

} // namespace qb
