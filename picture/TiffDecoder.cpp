#include "picture/Decoders.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <tiffio.h>

namespace qb::picture {

namespace {

struct Source
{
    const QByteArray& bytes;
    toff_t position = 0;
    QString error;
};

tmsize_t readProc(thandle_t handle, void* buffer, tmsize_t wanted)
{
    auto* s = static_cast<Source*>(handle);
    const auto size = toff_t(s->bytes.size());
    if (wanted <= 0 || s->position >= size)
        return 0;
    const auto n = tmsize_t(qMin<toff_t>(toff_t(wanted), size - s->position));
    std::memcpy(buffer, s->bytes.constData() + s->position, size_t(n));
    s->position += toff_t(n);
    return n;
}

tmsize_t writeProc(thandle_t, void*, tmsize_t)
{
    return -1;
}

toff_t seekProc(thandle_t handle, toff_t offset, int whence)
{
    auto* s = static_cast<Source*>(handle);
    const auto delta = qint64(offset);
    qint64 base = 0;
    if (whence == SEEK_CUR)
        base = qint64(s->position);
    else if (whence == SEEK_END)
        base = s->bytes.size();
    const qint64 target = base + delta;
    if (target < 0)
        return toff_t(-1);
    s->position = toff_t(target);
    return s->position;
}

int closeProc(thandle_t)
{
    return 0;
}

toff_t sizeProc(thandle_t handle)
{
    return toff_t(static_cast<Source*>(handle)->bytes.size());
}

int mapProc(thandle_t, void**, toff_t*)
{
    return 0;
}

void unmapProc(thandle_t, void*, toff_t) {}

// Keeps libtiff's first complaint about this file: the later ones are
// usually consequences of it. Nothing reaches stderr.
int onError(TIFF*, void* user, const char* module, const char* format, va_list args)
{
    auto* s = static_cast<Source*>(user);
    if (s->error.isEmpty()) {
        char text[512];
        std::vsnprintf(text, sizeof text, format, args);
        s->error = module && *module ? QStringLiteral("%1: %2").arg(QString::fromLocal8Bit(module),
                                                                    QString::fromLocal8Bit(text))
                                     : QString::fromLocal8Bit(text);
    }
    return 1;
}

int onWarning(TIFF*, void*, const char*, const char*, va_list)
{
    return 1;
}

[[noreturn]] void fail(const Source& source, const char* fallback)
{
    throw PictureError(QStringLiteral("TIFF error: %1")
                           .arg(source.error.isEmpty() ? QString::fromLatin1(fallback) : source.error));
}

// The flips that turn rows stored in `orientation` upright, as libtiff's
// own RGBA reader does it (the transposing orientations are read like their
// flipped cousins).
struct Flips
{
    bool horizontal = false, vertical = false;
};

Flips flipsFor(uint16_t orientation)
{
    switch (orientation) {
    case ORIENTATION_TOPRIGHT:
    case ORIENTATION_RIGHTTOP:
        return {true, false};
    case ORIENTATION_BOTRIGHT:
    case ORIENTATION_RIGHTBOT:
        return {true, true};
    case ORIENTATION_BOTLEFT:
    case ORIENTATION_LEFTBOT:
        return {false, true};
    default:
        return {};
    }
}

// libtiff's packed RGBA words to Qt's ARGB, in place.
void toArgb(uint32_t* pixels, uint32_t count)
{
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t p = pixels[i];
        pixels[i] = TIFFGetA(p) << 24 | TIFFGetR(p) << 16 | TIFFGetG(p) << 8 | TIFFGetB(p);
    }
}

// A band of rows converted at once must stay small whatever the file's
// strips or tiles claim.
constexpr qint64 maxBandBytes = 64LL * 1024 * 1024;

} // namespace

// The picture is decoded row by row (or band by band for tiled files and
// the rarer layouts) into a result no larger than about twice the box, so
// a page scan or a header that claims a huge page costs the box's memory,
// not the page's.
QImage decodeTiff(const QByteArray& bytes, QSize box)
{
    Source source{bytes, 0, {}};
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (!options)
        throw PictureError(QStringLiteral("内存不足，无法打开 TIFF 图片。"));
    TIFFOpenOptionsSetErrorHandlerExtR(options, onError, &source);
    TIFFOpenOptionsSetWarningHandlerExtR(options, onWarning, &source);
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, 128 * 1024 * 1024);
    TIFF* tif = TIFFClientOpenExt("picture", "rm", &source, readProc, writeProc, seekProc, closeProc,
                                  sizeProc, mapProc, unmapProc, options);
    TIFFOpenOptionsFree(options);
    if (!tif)
        fail(source, "not a readable TIFF file");
    struct Closer
    {
        TIFF* tif;
        ~Closer() { TIFFClose(tif); }
    } closer{tif};

    uint32_t width = 0, height = 0;
    if (!TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width) || !TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height) ||
        width == 0 || height == 0)
        fail(source, "the picture has no size");
    checkPictureSize(width, height);
    char why[1024] = "";
    if (!TIFFRGBAImageOK(tif, why))
        throw PictureError(QStringLiteral("TIFF error: %1").arg(QString::fromLocal8Bit(why)));
    TIFFRGBAImage rgba{};
    if (!TIFFRGBAImageBegin(&rgba, tif, 1, why))
        throw PictureError(QStringLiteral("TIFF error: %1").arg(QString::fromLocal8Bit(why)));
    struct Ender
    {
        TIFFRGBAImage& rgba;
        ~Ender() { TIFFRGBAImageEnd(&rgba); }
    } ender{rgba};
    rgba.req_orientation = ORIENTATION_TOPLEFT;
    const Flips flips = flipsFor(rgba.orientation);

    Shrinker shrinker(QSize(int(width), int(height)), box, QImage::Format_ARGB32_Premultiplied);
    // Strips of interleaved samples are read a scanline at a time and
    // converted by libtiff's own routine for the layout, so nothing is
    // decoded twice; subsampled YCbCr needs rows in pairs and goes by band.
    if (!TIFFIsTiled(tif) && rgba.isContig && rgba.photometric != PHOTOMETRIC_YCBCR) {
        std::vector<unsigned char> line(size_t(TIFFScanlineSize(tif)));
        std::vector<uint32_t> row(width);
        if (line.empty())
            fail(source, "cannot read the picture data");
        for (uint32_t stored = 0; stored < height; ++stored) {
            if (TIFFReadScanline(tif, line.data(), stored, 0) < 0)
                fail(source, "cannot read the picture data");
            const int y = int(flips.vertical ? height - 1 - stored : stored);
            if (!shrinker.wants(y))
                continue;
            rgba.put.contig(&rgba, row.data(), 0, 0, width, 1, 0, 0, line.data());
            if (flips.horizontal)
                std::reverse(row.begin(), row.end());
            toArgb(row.data(), width);
            shrinker.addRow(y, reinterpret_cast<const QRgb*>(row.data()));
        }
        return shrinker.result();
    }

    // By bands that match the tiles or strips, so that libtiff reads each
    // of them once.
    uint32_t band = 0;
    if (TIFFIsTiled(tif))
        TIFFGetField(tif, TIFFTAG_TILELENGTH, &band);
    else
        TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &band);
    band = qBound<uint32_t>(1, band, height);
    if (qint64(width) * band * 4 > maxBandBytes)
        throw PictureError(
            QStringLiteral("TIFF 图片的分块太大（%1 × %2 像素），无法显示。").arg(width).arg(band));
    std::vector<uint32_t> raster(size_t(width) * band);
    for (uint32_t first = 0; first < height; first += band) {
        const uint32_t rows = qMin(band, height - first);
        // The band as it is stored; upright, it sits at the other end of the
        // picture when the rows are stored bottom up.
        rgba.row_offset = int(first);
        rgba.col_offset = 0;
        if (!TIFFRGBAImageGet(&rgba, raster.data(), width, rows))
            fail(source, "cannot read the picture data");
        const uint32_t top = flips.vertical ? height - first - rows : first;
        for (uint32_t i = 0; i < rows; ++i) {
            if (!shrinker.wants(int(top + i)))
                continue;
            uint32_t* row = raster.data() + size_t(i) * width;
            toArgb(row, width);
            shrinker.addRow(int(top + i), reinterpret_cast<const QRgb*>(row));
        }
    }
    return shrinker.result();
}

} // namespace qb::picture
