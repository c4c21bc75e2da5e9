#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>
#include <stdexcept>

namespace qb {

// A picture that cannot be shown. The message is meant for the user as it
// stands (the decoder's own words, or ours in Chinese).
class PictureError : public std::runtime_error
{
public:
    explicit PictureError(const QString& message);
    const QString& message() const { return m_message; }

private:
    QString m_message;
};

// Decodes a picture file for an image box of size `box`; the caller stretches
// the result to the box without keeping its aspect ratio, so the result may
// be any size that still has enough detail for the box. An empty box asks for
// the picture's own size. The decoder is chosen by the file extension (one of
// kPictureTypes in util/PictureTypes.h, in any letter case); content
// whose own signature says it is another of these formats is decoded as that
// format, since the picture folder keeps every import under a ".jpg" name.
// Throws PictureError.
QImage loadPicture(const QString& path, QSize box = QSize());

// Decodes JPEG bytes, upright per their EXIF orientation, at the smallest
// DCT scale whose output still covers the box. Data cut short inside the scan
// is not a failure (libjpeg only warns): the rows that are there show and the
// rest is grey. Throws PictureError.
QImage decodeJpeg(const QByteArray& bytes, QSize box = QSize());

} // namespace qb
