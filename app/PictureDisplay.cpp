#include "app/PictureDisplay.h"

#include "controls/ImageBox.h"
#include "picture/PictureLoader.h"
#include "util/FilePaths.h"
#include "util/gui/BusyCursor.h"
#include "util/vornDialogs.h"

#include <QFileInfo>
#include <QImage>
#include <QString>

namespace qb {

// A picture that cannot be decoded leaves the start picture before its
// failure is reported: the box must not go on showing the picture of the
// receipt shown before beside this receipt's fields.
void displayStoredPicture(const QString& path, ImageBox& box, PictureSource source,
                          const QImage& startPicture, Dialogs& dialogs,
                          const std::function<QImage(const QString& path, QSize box)>& load)
{
    if (fileExists(path)) {
        const BusyCursor busy;
        try {
            box.setPicture(load ? load(path, box.size()) : loadPicture(path, box.size()));
        } catch (...) {
            box.setPicture(startPicture);
            throw;
        }
        box.setAccessibleDescription(QFileInfo(path).fileName());
        source.path = path;
        box.setSource(source);
        return;
    }
    box.setPicture(startPicture);
    dialogs.info(QStringLiteral("票据相关的图片丢失"));
}

} // namespace qb
