#pragma once

#include "util/picture/PictureLoader.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QSizeF>
#include <optional>

// The decoders behind loadPicture(). Each takes the whole file content and
// throws PictureError.
namespace qb::picture {

enum class Format { Jpeg, Bmp, Ico, Tiff, Emf, Wmf };

// The format whose signature the content starts with, if any.
std::optional<Format> formatOfContent(const QByteArray& bytes);

// Pictures larger than this are refused before any pixel is allocated: a
// hostile header must not make us reserve gigabytes.
constexpr qint64 maxPixels = 200'000'000;
constexpr qint64 maxSide = 65535;

bool withinLimits(qint64 width, qint64 height);
// The failure for a picture beyond the limits, naming the size it declares.
[[noreturn]] void refuseTooLarge(qint64 width, qint64 height);
// Refuses a declared size beyond the limits.
void checkPictureSize(qint64 width, qint64 height);

// An image of that size; throws instead of returning a null image when the
// memory is not there.
QImage newImage(QSize size, QImage::Format format);

// The size to render a vector picture at: the box when there is one (the
// caller stretches to it anyway), else its own size in pixels.
QSize vectorRenderSize(QSizeF natural, QSize box);

QImage decodeQtBitmap(const QByteArray& bytes, Format format);
QImage decodeTiff(const QByteArray& bytes);
QImage decodeEmf(const QByteArray& bytes, QSize box);
QImage decodeWmf(const QByteArray& bytes, QSize box);

// Little-endian readers for headers whose length the caller has checked.
inline quint16 le16(const char* p)
{
    return quint16(quint8(p[0]) | quint8(p[1]) << 8);
}
inline quint32 le32(const char* p)
{
    return quint32(le16(p)) | quint32(le16(p + 2)) << 16;
}

} // namespace qb::picture
