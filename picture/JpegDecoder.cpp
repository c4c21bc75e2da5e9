#include "picture/Decoders.h"

#include <QTransform>
#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <jerror.h>
#include <jpeglib.h>

namespace qb {

namespace {

// libjpeg reports fatal errors through error_exit, which must not return. We
// jump back to the guard around the call sequence that failed. Only plain
// data lives in the frames between the guard and libjpeg, so the jump skips
// no destructor.
struct ErrorManager
{
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    int fatalCode = 0;
    bool sawEndOfData = false;
};

struct Session
{
    jpeg_decompress_struct cinfo;
    ErrorManager err;
    const unsigned char* data = nullptr;
    unsigned long size = 0;
    unsigned char* firstRow = nullptr;
    qsizetype stride = 0;
    bool stoppedEarly = false;
    JDIMENSION rowsRead = 0;
};

constexpr int exifOrientationTag = 0x0112;
// What libjpeg may take for itself: a progressive file keeps all its
// coefficients, about 3 bytes a pixel, which this allows up to some 50
// megapixels; a baseline file of any size needs only a few rows.
constexpr long maxJpegMemory = 160L * 1024 * 1024;

[[noreturn]] void onFatal(j_common_ptr cinfo)
{
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    err->fatalCode = cinfo->err->msg_code;
    std::longjmp(err->jump, 1);
}

// Warnings are not failures: a file cut short still shows the part that is
// there, as libjpeg intends. We only note the end of data.
void onMessage(j_common_ptr cinfo, int level)
{
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    if (level < 0 && cinfo->err->msg_code == JWRN_JPEG_EOF)
        err->sawEndOfData = true;
}

void onOutput(j_common_ptr) {}

bool attempt(Session& s, void (*work)(Session&))
{
    if (setjmp(s.err.jump) != 0)
        return false;
    work(s);
    return true;
}

void run(Session& s, void (*work)(Session&))
{
    if (attempt(s, work))
        return;
    // The failures of size and memory get words, since the user can do
    // something about them; the rest keep libjpeg's number.
    switch (s.err.fatalCode) {
    case JERR_IMAGE_TOO_BIG:
        throw PictureError(QStringLiteral("JPEG 图片太大：宽和高最多 %1 像素（JPEG error #%2）。")
                               .arg(JPEG_MAX_DIMENSION)
                               .arg(s.err.fatalCode));
    case JERR_OUT_OF_MEMORY:
    case JERR_NO_BACKING_STORE:
        throw PictureError(QStringLiteral("JPEG 图片太大：解码需要超过 %1 MB 内存（JPEG error #%2）。")
                               .arg(maxJpegMemory >> 20)
                               .arg(s.err.fatalCode));
    default:
        throw PictureError(QStringLiteral("JPEG error #%1").arg(s.err.fatalCode));
    }
}

void readHeader(Session& s)
{
    jpeg_mem_src(&s.cinfo, s.data, s.size);
    jpeg_save_markers(&s.cinfo, JPEG_APP0 + 1, 0xFFFF);
    jpeg_read_header(&s.cinfo, TRUE);
}

// A file cut inside the scan makes libjpeg produce grey rows until the end,
// which for a huge declared size costs seconds; once the data has run out we
// let the current band of rows finish and paint the rest grey ourselves.
void readRows(Session& s)
{
    jpeg_decompress_struct& c = s.cinfo;
    const bool singlePass = !jpeg_has_multiple_scans(&c);
    const JDIMENSION band = JDIMENSION(c.max_v_samp_factor * c.min_DCT_scaled_size);
    JDIMENSION endRow = 0;
    while (c.output_scanline < c.output_height) {
        JSAMPROW row = s.firstRow + qsizetype(c.output_scanline) * s.stride;
        jpeg_read_scanlines(&c, &row, 1);
        if (singlePass && s.err.sawEndOfData) {
            if (endRow == 0)
                endRow = c.output_scanline + band;
            else if (c.output_scanline >= endRow && c.output_scanline < c.output_height) {
                s.stoppedEarly = true;
                break;
            }
        }
    }
    s.rowsRead = c.output_scanline;
    if (s.stoppedEarly)
        jpeg_abort_decompress(&c);
    else
        jpeg_finish_decompress(&c);
}

// The orientation value (1..8) from an EXIF block, 1 when absent or unreadable.
int exifOrientation(const unsigned char* data, unsigned length)
{
    if (length < 6 + 8 || std::memcmp(data, "Exif\0\0", 6) != 0)
        return 1;
    const unsigned char* tiff = data + 6;
    const quint32 size = length - 6;
    const bool little = tiff[0] == 'I' && tiff[1] == 'I';
    if (!little && !(tiff[0] == 'M' && tiff[1] == 'M'))
        return 1;
    const auto u16 = [&](quint32 at) {
        return little ? quint16(tiff[at] | tiff[at + 1] << 8) : quint16(tiff[at] << 8 | tiff[at + 1]);
    };
    const auto u32 = [&](quint32 at) {
        return little ? quint32(u16(at)) | quint32(u16(at + 2)) << 16 : quint32(u16(at)) << 16 | u16(at + 2);
    };
    if (u16(2) != 42)
        return 1;
    const quint32 ifd = u32(4);
    if (ifd > size - 2)
        return 1;
    const quint32 count = u16(ifd);
    for (quint32 i = 0; i < count; ++i) {
        const quint64 entry = quint64(ifd) + 2 + quint64(i) * 12;
        if (entry + 12 > size)
            return 1;
        const auto at = quint32(entry);
        if (u16(at) == exifOrientationTag && u16(at + 2) == 3 /* SHORT */) {
            const int value = u16(at + 8);
            return value >= 1 && value <= 8 ? value : 1;
        }
    }
    return 1;
}

int orientationOf(const jpeg_decompress_struct& cinfo)
{
    for (jpeg_saved_marker_ptr m = cinfo.marker_list; m; m = m->next) {
        if (m->marker == JPEG_APP0 + 1 && m->data_length >= 6 && std::memcmp(m->data, "Exif\0\0", 6) == 0)
            return exifOrientation(m->data, m->data_length);
    }
    return 1;
}

QImage upright(const QImage& image, int orientation)
{
    switch (orientation) {
    case 2:
        return image.mirrored(true, false);
    case 3:
        return image.mirrored(true, true);
    case 4:
        return image.mirrored(false, true);
    case 5:
        return image.transformed(QTransform().rotate(90)).mirrored(true, false);
    case 6:
        return image.transformed(QTransform().rotate(90));
    case 7:
        return image.transformed(QTransform().rotate(90)).mirrored(false, true);
    case 8:
        return image.transformed(QTransform().rotate(270));
    default:
        return image;
    }
}

// The smallest of libjpeg's scales n/8 whose output still covers the box.
unsigned scaleFor(JDIMENSION width, JDIMENSION height, QSize box)
{
    if (box.isEmpty())
        return 8;
    for (unsigned n = 1; n < 8; ++n) {
        const quint64 w = (quint64(width) * n + 7) / 8, h = (quint64(height) * n + 7) / 8;
        if (w >= quint64(box.width()) && h >= quint64(box.height()))
            return n;
    }
    return 8;
}

// Adobe writes CMYK inverted (0 = full ink); others store ink amounts.
void cmykToRgb(QImage& image, bool inverted)
{
    for (int y = 0; y < image.height(); ++y) {
        auto* px = reinterpret_cast<uchar*>(image.scanLine(y));
        auto* out = reinterpret_cast<QRgb*>(px);
        for (int x = 0; x < image.width(); ++x) {
            int c = px[4 * x], m = px[4 * x + 1], ye = px[4 * x + 2], k = px[4 * x + 3];
            if (!inverted) {
                c = 255 - c, m = 255 - m, ye = 255 - ye, k = 255 - k;
            }
            out[x] = qRgb(c * k / 255, m * k / 255, ye * k / 255);
        }
    }
}

struct SessionGuard
{
    Session& s;
    ~SessionGuard() { jpeg_destroy_decompress(&s.cinfo); }
};

} // namespace

QImage decodeJpeg(const QByteArray& bytes, QSize box)
{
    Session s{};
    s.cinfo.err = jpeg_std_error(&s.err.pub);
    s.err.pub.error_exit = onFatal;
    s.err.pub.emit_message = onMessage;
    s.err.pub.output_message = onOutput;
    jpeg_create_decompress(&s.cinfo);
    SessionGuard guard{s};
    s.cinfo.mem->max_memory_to_use = maxJpegMemory;
    s.data = reinterpret_cast<const unsigned char*>(bytes.constData());
    s.size = static_cast<unsigned long>(bytes.size());

    run(s, readHeader);
    // However small the scale, every block of the picture is decoded; a
    // header can claim billions of pixels in a few hundred bytes.
    picture::checkPictureSize(s.cinfo.image_width, s.cinfo.image_height);
    const int orientation = orientationOf(s.cinfo);
    QSize stored = box;
    if (orientation >= 5)
        stored.transpose();
    const unsigned scale = scaleFor(s.cinfo.image_width, s.cinfo.image_height, stored);
    s.cinfo.scale_num = scale;
    s.cinfo.scale_denom = 8;
    const bool cmyk = s.cinfo.jpeg_color_space == JCS_CMYK || s.cinfo.jpeg_color_space == JCS_YCCK;
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    s.cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRX;
#else
    s.cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_XRGB;
#endif
    run(s, [](Session& session) { jpeg_calc_output_dimensions(&session.cinfo); });
    const qint64 outWidth = s.cinfo.output_width, outHeight = s.cinfo.output_height;
    if (!picture::withinLimits(outWidth, outHeight))
        picture::refuseTooLarge(s.cinfo.image_width, s.cinfo.image_height);

    run(s, [](Session& session) { jpeg_start_decompress(&session.cinfo); });
    QImage image = picture::newImage(QSize(int(outWidth), int(outHeight)), QImage::Format_RGB32);
    s.firstRow = image.bits();
    s.stride = image.bytesPerLine();
    run(s, readRows);
    if (cmyk)
        cmykToRgb(image, s.cinfo.saw_Adobe_marker);
    if (s.stoppedEarly) {
        for (int y = int(s.rowsRead); y < image.height(); ++y) {
            auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
            std::fill(row, row + image.width(), qRgb(128, 128, 128));
        }
    }
    return upright(image, orientation);
}

} // namespace qb
