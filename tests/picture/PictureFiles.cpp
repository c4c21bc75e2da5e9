#include "tests/picture/PictureFiles.h"

#include <QBuffer>
#include <QPainter>
#include <QTemporaryFile>
#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>
#include <stdexcept>
#include <tiffio.h>
#include <vector>

namespace qb::test {

QImage redBlue(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QPainter(&image).fillRect(0, 0, width / 2, height, Qt::red);
    return image;
}

namespace {

QByteArray exifBlock(int orientation, bool bigEndian)
{
    const auto u16 = [&](quint16 v) {
        const char hi = char(v >> 8), lo = char(v & 0xFF);
        return bigEndian ? QByteArray(1, hi) + lo : QByteArray(1, lo) + hi;
    };
    const auto u32 = [&](quint32 v) {
        return bigEndian ? u16(quint16(v >> 16)) + u16(quint16(v)) : u16(quint16(v)) + u16(quint16(v >> 16));
    };
    QByteArray exif("Exif\0\0", 6);
    exif += bigEndian ? "MM" : "II";
    exif += u16(42) + u32(8);
    // Two entries, orientation second, so that the walk over the IFD is tested.
    exif += u16(2);
    exif += u16(0x010F) + u16(2) + u32(4) + QByteArray("Cam\0", 4);
    exif += u16(0x0112) + u16(3) + u32(1) + u16(quint16(orientation)) + u16(0);
    exif += u32(0);
    return exif;
}

} // namespace

QByteArray jpegBytes(const QImage& image, int orientation, bool bigEndianExif, bool progressive)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &out, &size);
    c.image_width = JDIMENSION(rgb.width());
    c.image_height = JDIMENSION(rgb.height());
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 92, TRUE);
    if (progressive)
        jpeg_simple_progression(&c);
    jpeg_start_compress(&c, TRUE);
    if (orientation > 0) {
        const QByteArray exif = exifBlock(orientation, bigEndianExif);
        jpeg_write_marker(&c, JPEG_APP0 + 1, reinterpret_cast<const JOCTET*>(exif.constData()),
                          unsigned(exif.size()));
    }
    while (c.next_scanline < c.image_height) {
        auto* row = const_cast<JSAMPROW>(rgb.constScanLine(int(c.next_scanline)));
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    QByteArray bytes(reinterpret_cast<const char*>(out), qsizetype(size));
    std::free(out);
    return bytes;
}

QByteArray cmykJpegRedBlue(int width, int height)
{
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &out, &size);
    c.image_width = JDIMENSION(width);
    c.image_height = JDIMENSION(height);
    c.input_components = 4;
    c.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&c); // writes the Adobe marker for CMYK
    jpeg_start_compress(&c, TRUE);
    // Inverted, as Adobe applications store it: 255 means no ink.
    std::vector<JSAMPLE> row(size_t(width) * 4);
    for (int x = 0; x < width; ++x) {
        const bool red = x < width / 2;
        const JSAMPLE ink[4] = {JSAMPLE(red ? 255 : 0), JSAMPLE(0), JSAMPLE(red ? 0 : 255), JSAMPLE(255)};
        std::copy(ink, ink + 4, row.begin() + 4 * x);
    }
    while (c.next_scanline < c.image_height) {
        JSAMPROW line = row.data();
        jpeg_write_scanlines(&c, &line, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    QByteArray bytes(reinterpret_cast<const char*>(out), qsizetype(size));
    std::free(out);
    return bytes;
}

QByteArray qtBytes(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, format))
        throw std::runtime_error(std::string("Qt cannot write ") + format);
    return bytes;
}

namespace {

// libtiff writes to a path; the bytes come back through a temporary file.
template <typename Write> QByteArray throughTiffFile(Write write)
{
    QTemporaryFile file;
    if (!file.open())
        throw std::runtime_error("no temporary file");
    TIFF* tif = TIFFOpen(file.fileName().toLocal8Bit().constData(), "w");
    if (!tif)
        throw std::runtime_error("libtiff cannot write");
    write(tif);
    TIFFClose(tif);
    file.seek(0);
    return file.readAll();
}

} // namespace

QByteArray tiffBytes(const QImage& image)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    return throughTiffFile([&](TIFF* tif) {
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(rgb.width()));
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(rgb.height()));
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
        TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 8);
        for (int y = 0; y < rgb.height(); ++y)
            TIFFWriteScanline(tif, const_cast<uchar*>(rgb.constScanLine(y)), uint32_t(y), 0);
    });
}

QByteArray tiffG4White(quint32 width, quint32 height)
{
    return throughTiffFile([&](TIFF* tif) {
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
        TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, height);
        std::vector<unsigned char> row((width + 7) / 8, 0);
        for (quint32 y = 0; y < height; ++y)
            TIFFWriteScanline(tif, row.data(), y, 0);
    });
}

QByteArray tiffHeaderOnly(quint32 width, quint32 height)
{
    return throughTiffFile([&](TIFF* tif) {
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, height);
        char strip[16] = {};
        TIFFWriteRawStrip(tif, 0, strip, sizeof strip);
    });
}

QByteArray WmfBuilder::words(std::initializer_list<qint16> params)
{
    QByteArray bytes;
    for (qint16 w : params)
        bytes += QByteArray(1, char(w & 0xFF)) + char(quint16(w) >> 8);
    return bytes;
}

WmfBuilder& WmfBuilder::add(quint16 function, std::initializer_list<qint16> params)
{
    return add(function, words(params));
}

WmfBuilder& WmfBuilder::add(quint16 function, const QByteArray& params)
{
    QByteArray padded = params;
    if (padded.size() % 2)
        padded += '\0';
    const auto size = quint32(3 + padded.size() / 2);
    m_records += words({qint16(size & 0xFFFF), qint16(size >> 16), qint16(function)}) + padded;
    return *this;
}

QByteArray WmfBuilder::bytes(std::optional<QRect> frame, quint16 inch, quint16 objects) const
{
    QByteArray out;
    if (frame) {
        const QByteArray head =
            words({qint16(0xCDD7), qint16(0x9AC6), 0, qint16(frame->left()), qint16(frame->top()),
                   qint16(frame->right() + 1), qint16(frame->bottom() + 1), qint16(inch), 0, 0});
        quint16 checksum = 0;
        for (int i = 0; i < 10; ++i)
            checksum ^= quint16(quint8(head[2 * i]) | quint8(head[2 * i + 1]) << 8);
        out += head + words({qint16(checksum)});
    }
    const QByteArray records = m_records + words({3, 0, 0});
    const auto total = quint32(9 + records.size() / 2);
    out += words({1, 9, 0x0300, qint16(total & 0xFFFF), qint16(total >> 16), qint16(objects), 0, 0, 0});
    return out + records;
}

qint16 colorLow(QColor c)
{
    return qint16(c.red() | c.green() << 8);
}

qint16 colorHigh(QColor c)
{
    return qint16(c.blue());
}

} // namespace qb::test
