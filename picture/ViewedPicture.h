#pragma once

#include "util/PictureTypes.h"

#include <QImage>
#include <QSize>
#include <QString>
#include <optional>

namespace qb {

// One picture file as the picture viewer shows it: decoded with as much
// detail as the view needs and no more. A JPEG is decoded at the DCT scale
// that covers the view and again larger when zoomed in, up to its own size; a
// metafile is drawn again at the size shown, so that lines and text stay
// sharp; TIFF, BMP and icons are decoded for the view as the loader shrinks
// them. Every decode goes through loadPicture() and so keeps its limits of
// time and memory. No widgets; the viewer window paints image().
class ViewedPicture
{
public:
    // The most the viewer decodes a picture to, whatever the zoom: 64
    // megapixels, 256 MB as ARGB.
    static constexpr qint64 kMaxPixels = 64LL * 1024 * 1024;
    static constexpr int kMaxSide = 32767;

    // Finds out the picture's own size; a metafile is drawn once at it.
    // Throws PictureError, as loadPicture() does.
    explicit ViewedPicture(const QString& path);

    const QString& path() const { return m_path; }
    // The picture's own size, upright: what 1:1 shows.
    QSize naturalSize() const { return m_natural; }
    bool scalable() const { return m_scalable; }

    // Makes image() detailed enough for showing the picture at `scale`
    // times its own size on a screen of `pixelRatio` device pixels per
    // pixel. Returns whether image() changed. A decode that fails keeps the
    // picture decoded before and says why in note(); with nothing decoded
    // before it throws PictureError.
    bool prepare(double scale, double pixelRatio = 1.0);

    // The decoded picture, upright, not turned; any size with the picture's
    // proportions.
    const QImage& image() const { return m_image; }
    // Empty, or why the picture shows with less detail than the view asks:
    // beyond the viewer's limit, or a decode at this size that failed.
    const QString& note() const { return m_note; }

private:
    bool detailedEnough(QSize target) const;
    QSize withinLimit(QSize wanted) const;

    QString m_path;
    QSize m_natural;
    std::optional<PictureFormat> m_format;
    bool m_scalable = false;
    QImage m_image;
    QString m_note;
    // The smallest size whose decode failed, and why.
    QSize m_failedAt;
    QString m_failure;
};

} // namespace qb
