#include "picture/ViewedPicture.h"

#include "picture/Decoders.h"
#include "picture/ViewGeometry.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <optional>
#include <tiffio.h>

namespace qb {

namespace {

using picture::Format;

// The format the loader will decode the file as: its signature's, else its
// extension's (see loadPicture()).
std::optional<Format> formatOf(const QString& path)
{
    QFile file(path);
    if (file.open(QIODevice::ReadOnly))
        if (auto byContent = picture::formatOfContent(file.read(64)))
            return byContent;
    if (const PictureType* type = pictureTypeOf(QFileInfo(path).suffix()))
        return type->format;
    return std::nullopt;
}

int quietTiff(TIFF*, void*, const char*, const char*, va_list)
{
    return 1;
}

// The size in a TIFF's first directory, without reading its pixels.
QSize tiffSize(const QString& path)
{
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(options, quietTiff, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options, quietTiff, nullptr);
    TIFF* tiff = TIFFOpenExt(QFile::encodeName(path).constData(), "r", options);
    TIFFOpenOptionsFree(options);
    if (!tiff)
        return QSize();
    uint32_t width = 0, height = 0;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
    TIFFClose(tiff);
    if (!picture::withinLimits(width, height))
        return QSize();
    return QSize(int(width), int(height));
}

// The picture's own size from its header, upright as the decoder turns it;
// empty when the header does not tell (the decoder then says why).
QSize headerSize(const QString& path, Format format)
{
    if (format == Format::Tiff)
        return tiffSize(path);
    QImageReader reader(path, format == Format::Jpeg ? "jpeg" : "bmp");
    QSize size = reader.size();
    if (format == Format::Jpeg && reader.transformation().testFlag(QImageIOHandler::TransformationRotate90))
        size.transpose();
    return size.isValid() && picture::withinLimits(size.width(), size.height()) ? size : QSize();
}

} // namespace

ViewedPicture::ViewedPicture(const QString& path) : m_path(path)
{
    const std::optional<Format> format = formatOf(path);
    m_format = format;
    m_scalable = format == Format::Emf || format == Format::Wmf;
    // Metafiles and icons have no size the header tells as the decoder sees
    // it; they are decoded whole once, which their limits keep small.
    if (format && !m_scalable && *format != Format::Ico)
        m_natural = headerSize(path, *format);
    if (m_natural.isEmpty()) {
        m_image = loadPicture(path);
        m_natural = m_image.size();
    }
}

namespace {
bool fits(QSize size)
{
    return qint64(size.width()) * size.height() <= ViewedPicture::kMaxPixels &&
           size.width() <= ViewedPicture::kMaxSide && size.height() <= ViewedPicture::kMaxSide;
}
// What libjpeg makes of the picture at scale n/8.
QSize jpegScaled(QSize natural, int n)
{
    return QSize((natural.width() * n + 7) / 8, (natural.height() * n + 7) / 8);
}
} // namespace

// The size to ask the decoder for instead of `wanted` when what it would
// decode at `wanted` is beyond the viewer's limit: the decoders do not give
// exactly the size asked (libjpeg scales by eighths, the others shrink by
// whole factors), so the largest of their own sizes within the limit.
QSize ViewedPicture::withinLimit(QSize wanted) const
{
    if (m_scalable || !m_format)
        return view::capped(wanted, kMaxPixels, kMaxSide);
    if (*m_format == picture::Format::Jpeg) {
        int n = 1;
        while (n < 8 && (jpegScaled(m_natural, n).width() < wanted.width() ||
                         jpegScaled(m_natural, n).height() < wanted.height()))
            ++n;
        for (; n > 1 && !fits(jpegScaled(m_natural, n)); --n) {
        }
        return jpegScaled(m_natural, n).boundedTo(wanted);
    }
    if (fits(picture::shrunkSize(m_natural, wanted)))
        return wanted;
    for (int k = 2;; ++k) {
        const QSize box(std::max(1, m_natural.width() / k), std::max(1, m_natural.height() / k));
        if (fits(picture::shrunkSize(m_natural, box)) || box == QSize(1, 1))
            return box;
    }
}

bool ViewedPicture::detailedEnough(QSize target) const
{
    if (m_image.isNull())
        return false;
    if (m_image.size() == m_natural && !m_scalable)
        return true;
    const bool covers = m_image.width() >= target.width() - 1 && m_image.height() >= target.height() - 1;
    // A metafile drawn at far more than is shown is drawn again smaller: its
    // memory is better spent elsewhere and a smaller drawing is as sharp.
    if (m_scalable)
        return covers && m_image.width() <= 2 * target.width() + 1;
    return covers;
}

bool ViewedPicture::prepare(double scale, double pixelRatio)
{
    const QSize wanted = view::decodeSize(m_natural, scale * pixelRatio, m_scalable);
    const QSize target = withinLimit(wanted);
    m_note.clear();
    if (target != wanted)
        m_note = QStringLiteral("图片太大，无法以这个倍数显示全部细节：现以 %1 × %2 像素显示。")
                     .arg(target.width())
                     .arg(target.height());
    if (detailedEnough(target))
        return false;
    // A size that failed once (a metafile the converter cannot draw in its
    // second) would fail again, a second later each time.
    if (!m_failedAt.isEmpty() && target.width() >= m_failedAt.width() &&
        target.height() >= m_failedAt.height()) {
        m_note = m_failure;
        return false;
    }
    try {
        QImage decoded = loadPicture(m_path, target);
        // A header that understated the size: the pixels are what counts.
        if (!m_scalable && (decoded.width() > m_natural.width() || decoded.height() > m_natural.height()))
            m_natural = decoded.size();
        m_image = std::move(decoded);
        return true;
    } catch (const PictureError& e) {
        if (m_image.isNull())
            throw;
        m_failure = m_note = QStringLiteral("无法以这个倍数显示全部细节：%1").arg(e.message());
        m_failedAt = target;
        return false;
    }
}

} // namespace qb
