#include "picture/Decoders.h"

#include <QBuffer>
#include <QImageReader>
#include <algorithm>
#include <numeric>

namespace qb::picture {

namespace {

// Allows Qt's readers every picture our own size limit allows (Qt's default
// of 256 MB would refuse some of them with a less helpful text).
constexpr int readerLimitMb = int(maxPixels * 4 / (1024 * 1024)) + 1;
// Qt's reader decodes run-length bitmaps whole, at a byte a pixel; that is
// a budget of 64 MB, enough for an A4 page at 600 dpi.
constexpr qint64 maxRunLengthPixels = 64'000'000;
// The rows of an uncompressed bitmap handed to Qt's reader at a time.
constexpr qint64 bandBytes = 4 * 1024 * 1024;

[[noreturn]] void damagedBitmap(const QString& why)
{
    throw PictureError(QStringLiteral("位图文件已损坏：%1。").arg(why));
}

struct BmpLayout
{
    qint64 dataOffset = 0, infoSize = 0, width = 0, height = 0, bitCount = 0, compression = 0;
    bool topDown = false;
    bool runLength() const { return compression == 1 || compression == 2; }
    // Rows of a fixed size, which the file's length has been held against.
    bool plainRows() const
    {
        return (compression == 0 || compression == 3 || compression == 6) && stride() > 0;
    }
    qint64 stride() const { return (width * bitCount + 31) / 32 * 4; }
};

// Qt's BMP reader fills in whatever rows a cut file lacks and reports
// success, so the header's promises are held against the file's length.
BmpLayout checkBmpHeader(const QByteArray& bytes)
{
    const char* p = bytes.constData();
    const qint64 size = bytes.size();
    if (size < 26)
        damagedBitmap(QStringLiteral("文件头不完整"));
    BmpLayout b;
    b.dataOffset = le32(p + 10);
    b.infoSize = le32(p + 14);
    qint64 imageBytes = 0;
    if (b.infoSize == 12) {
        b.width = le16(p + 18);
        b.height = le16(p + 20);
        b.bitCount = le16(p + 24);
    } else {
        if (b.infoSize < 40 || size < 14 + 40)
            damagedBitmap(QStringLiteral("文件头不完整"));
        b.width = qint32(le32(p + 18));
        b.height = qint32(le32(p + 22));
        b.bitCount = le16(p + 28);
        b.compression = le32(p + 30);
        imageBytes = le32(p + 34);
    }
    // The pixels follow the headers; data said to start inside them is no
    // bitmap, and a band of rows could not be given a header of its own.
    if (b.dataOffset < 14 + b.infoSize)
        damagedBitmap(QStringLiteral("图像数据的位置无效"));
    b.topDown = b.height < 0;
    b.height = qAbs(b.height);
    if (b.width <= 0 || b.height == 0)
        damagedBitmap(QStringLiteral("尺寸无效（%1 × %2）").arg(b.width).arg(b.height));
    checkPictureSize(b.width, b.height);
    // Run-length data can claim any size in a few bytes and is decoded
    // whole, at a byte a pixel.
    if (b.runLength() && b.width * b.height > maxRunLengthPixels)
        refuseTooLarge(b.width, b.height);
    qint64 needed = -1;
    if (b.compression == 0 || b.compression == 3 || b.compression == 6) {
        needed = b.dataOffset + b.stride() * b.height;
    } else if (b.runLength() && imageBytes > 0) {
        needed = b.dataOffset + imageBytes;
    }
    if (b.dataOffset >= size || needed > size)
        throw PictureError(QStringLiteral("位图文件不完整（文件只有 %1 字节，图像数据需要 %2 字节）。")
                               .arg(size)
                               .arg(qMax(needed, b.dataOffset + 1)));
    return b;
}

QImage readWithQt(const QByteArray& bytes, const char* format)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    reader.setAllocationLimit(readerLimitMb);
    QImage image = reader.read();
    if (image.isNull())
        throw PictureError(QStringLiteral("位图无法解码：图像数据无效。"));
    return image;
}

// Row i of a decoded part is row rows[i] of the picture.
void addRows(Shrinker& shrinker, const QImage& part, const std::vector<int>& rows)
{
    const int width = part.width();
    std::vector<QRgb> row(static_cast<size_t>(width));
    const QVector<QRgb> colors = part.colorTable();
    const bool direct = part.format() == QImage::Format_RGB32 || part.format() == QImage::Format_ARGB32;
    const bool indexed = part.format() == QImage::Format_Indexed8;
    for (int i = 0; i < part.height() && i < int(rows.size()); ++i) {
        const int y = rows[size_t(i)];
        if (!shrinker.wants(y))
            continue;
        if (direct) {
            shrinker.addRow(y, reinterpret_cast<const QRgb*>(part.constScanLine(i)));
            continue;
        }
        if (indexed) {
            const uchar* index = part.constScanLine(i);
            for (int x = 0; x < width; ++x)
                row[size_t(x)] = index[x] < colors.size() ? colors[index[x]] : qRgb(0, 0, 0);
        } else {
            const QImage line = part.copy(0, i, width, 1).convertToFormat(QImage::Format_ARGB32);
            std::copy_n(reinterpret_cast<const QRgb*>(line.constScanLine(0)), width, row.data());
        }
        shrinker.addRow(y, row.data());
    }
}

void put32(QByteArray& bytes, qsizetype at, quint32 value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = char(value >> (8 * i) & 0xFF);
}

// An uncompressed bitmap too large for the box is decoded a band of rows
// at a time, and only the rows the shrunk picture samples: each band is a
// small bitmap of its own (the file's header with the band's height) that
// Qt's reader decodes with every pixel layout it knows.
QImage decodeBitmapInBands(const QByteArray& bytes, const BmpLayout& b, QSize box)
{
    const qint64 stride = b.stride();
    const int bandRows = int(qBound<qint64>(1, bandBytes / stride, b.height));
    Shrinker shrinker(QSize(int(b.width), int(b.height)), box);
    QByteArray band;
    std::vector<int> rows;
    const auto decodeBand = [&] {
        const qint64 count = qint64(rows.size());
        band = bytes.left(b.dataOffset);
        // Stored bottom up, the band's first stored row is its lowest.
        for (qint64 i = 0; i < count; ++i) {
            const qint64 y = rows[size_t(b.topDown ? i : count - 1 - i)];
            const qint64 stored = b.topDown ? y : b.height - 1 - y;
            band.append(bytes.constData() + b.dataOffset + stored * stride, stride);
        }
        put32(band, 2, quint32(band.size()));
        if (b.infoSize == 12) {
            band[20] = char(count & 0xFF);
            band[21] = char(count >> 8 & 0xFF);
        } else {
            put32(band, 22, quint32(b.topDown ? -count : count));
            put32(band, 34, quint32(count * stride));
        }
        addRows(shrinker, readWithQt(band, "bmp"), rows);
        rows.clear();
    };
    for (int y = 0; y < b.height; ++y) {
        if (!shrinker.wants(y))
            continue;
        rows.push_back(y);
        if (int(rows.size()) == bandRows)
            decodeBand();
    }
    if (!rows.empty())
        decodeBand();
    return shrinker.result();
}

void checkIcoDirectory(const QByteArray& bytes)
{
    const char* p = bytes.constData();
    const qint64 size = bytes.size();
    const qint64 count = size >= 6 ? le16(p + 4) : 0;
    if (count == 0 || 6 + 16 * count > size)
        throw PictureError(QStringLiteral("图标文件已损坏：目录不完整。"));
    for (qint64 i = 0; i < count; ++i) {
        const char* entry = p + 6 + 16 * i;
        if (qint64(le32(entry + 12)) + qint64(le32(entry + 8)) > size)
            throw PictureError(QStringLiteral("图标文件不完整：第 %1 个图像超出文件末尾。").arg(i + 1));
    }
}

// An icon holds several sizes of one picture; the largest is the one worth
// stretching into a box.
QImage decodeIcon(const QByteArray& bytes)
{
    checkIcoDirectory(bytes);
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "ico");
    reader.setAllocationLimit(readerLimitMb);
    QImage best;
    const int count = qMax(1, reader.imageCount());
    for (int i = 0; i < count; ++i) {
        if (i > 0 && !reader.jumpToImage(i))
            break;
        QImage image = reader.read();
        if (image.isNull())
            throw PictureError(QStringLiteral("图标无法解码：图像数据无效。"));
        if (qint64(image.width()) * image.height() > qint64(best.width()) * best.height())
            best = std::move(image);
    }
    return best;
}

} // namespace

QImage decodeQtBitmap(const QByteArray& bytes, Format format, QSize box)
{
    if (format == Format::Ico)
        return decodeIcon(bytes);
    const BmpLayout layout = checkBmpHeader(bytes);
    const QSize natural(int(layout.width), int(layout.height));
    if (shrunkSize(natural, box) == natural)
        return readWithQt(bytes, "bmp");
    if (layout.plainRows())
        return decodeBitmapInBands(bytes, layout, box);
    // A compression Qt's reader does not know: it refuses the file itself.
    if (!layout.runLength())
        return readWithQt(bytes, "bmp");
    const QImage whole = readWithQt(bytes, "bmp");
    Shrinker shrinker(whole.size(), box);
    std::vector<int> rows(size_t(whole.height()));
    std::iota(rows.begin(), rows.end(), 0);
    addRows(shrinker, whole, rows);
    return shrinker.result();
}

} // namespace qb::picture
