#pragma once

class ImageBox;
class QImage;
class QString;

namespace qb {

class Dialogs;

// Shows a stored picture in `box`, or the start picture and a message when
// its file is gone; both pages show their receipt's picture with it.
void displayStoredPicture(const QString& path, ImageBox& box, const QImage& startPicture, Dialogs& dialogs);

} // namespace qb
