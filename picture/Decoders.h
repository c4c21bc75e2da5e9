#pragma once

#include "picture/PictureLoader.h"
#include "util/PictureTypes.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QSizeF>
#include <optional>
#include <vector>

// The decoders behind loadPicture(). Each takes the whole file content and
// throws PictureError.
namespace qb::picture {

using Format = PictureFormat;

// The format whose signature the content starts with, if any.
std::optional<Format> formatOfContent(const QByteArray& bytes);

// Pictures larger than this are refused before any pixel is allocated: a
// hostile header must not make us reserve gigabytes.
constexpr qint64 maxPixels = 200'000'000;
constexpr qint64 maxSide = 65535;

constexpr bool withinLimits(qint64 width, qint64 height)
{
    return width <= maxSide && height <= maxSide && width * height <= maxPixels;
}
// The failure for a picture beyond the limits, naming the size it declares.
[[noreturn]] void refuseTooLarge(qint64 width, qint64 height);
// The failure for a picture whose pixels the memory cannot hold.
[[noreturn]] void refuseOutOfMemory(qint64 width, qint64 height);
// Refuses a declared size beyond the limits.
void checkPictureSize(qint64 width, qint64 height);

// An image of that size; throws instead of returning a null image when the
// memory is not there.
QImage newImage(QSize size, QImage::Format format);

// The size to render a vector picture at: the box when there is one (the
// caller stretches to it anyway), else its own size in pixels.
QSize vectorRenderSize(QSizeF natural, QSize box);

// The size a picture of `natural` size is decoded to for a box: shrunk on
// each axis by the largest whole factor that still leaves at least the box's
// pixels, so at most about twice the box. An empty box keeps the picture's
// own size.
QSize shrunkSize(QSize natural, QSize box);

// Shrinks a picture row by row while it is being decoded, so that a large
// picture never exists at full size. Rows may come in any order; each source
// pixel block is averaged from at most 4 × 4 samples, which is plenty for a
// picture the box stretches further anyway.
class Shrinker
{
public:
    Shrinker(QSize natural, QSize box, QImage::Format format = QImage::Format_ARGB32);
    QSize size() const { return m_image.size(); }
    // Whether source row y adds anything; rows that do not can be skipped
    // without being converted.
    bool wants(int y) const;
    // Source row y: natural.width() pixels of 32 bits in the given format.
    void addRow(int y, const QRgb* row);
    QImage result();

private:
    QSize m_natural;
    int m_fx = 1, m_fy = 1, m_rowStep = 1, m_colStep = 1;
    QImage m_image;
    std::vector<quint32> m_sums;
    std::vector<quint16> m_rowsAdded;
};

QImage decodeQtBitmap(const QByteArray& bytes, Format format, QSize box = QSize());
QImage decodeTiff(const QByteArray& bytes, QSize box = QSize());
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
