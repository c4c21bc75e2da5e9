#include "util/picture/Decoders.h"

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

} // namespace

QImage decodeTiff(const QByteArray& bytes)
{
    Source source{bytes, 0, {}};
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (!options)
        throw PictureError(QStringLiteral("内存不足，无法打开 TIFF 图片"));
    TIFFOpenOptionsSetErrorHandlerExtR(options, onError, &source);
    TIFFOpenOptionsSetWarningHandlerExtR(options, onWarning, &source);
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, 256 * 1024 * 1024);
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
    QImage image = newImage(QSize(int(width), int(height)), QImage::Format_ARGB32_Premultiplied);
    // The raster is width × height packed words; a 32-bit QImage has exactly
    // that layout, so libtiff writes into it directly.
    auto* raster = reinterpret_cast<uint32_t*>(image.bits());
    if (!TIFFReadRGBAImageOriented(tif, width, height, raster, ORIENTATION_TOPLEFT, 1))
        fail(source, "cannot read the picture data");
    const qsizetype count = qsizetype(width) * height;
    for (qsizetype i = 0; i < count; ++i) {
        const uint32_t p = raster[i];
        raster[i] = TIFFGetA(p) << 24 | TIFFGetR(p) << 16 | TIFFGetG(p) << 8 | TIFFGetB(p);
    }
    return image;
}

} // namespace qb::picture
