#include "util/picture/Decoders.h"

#include <QBuffer>
#include <QImageReader>

namespace qb::picture {

namespace {

// Allows Qt's readers every picture our own size limit allows (Qt's default
// of 256 MB would refuse some of them with a less helpful text).
constexpr int readerLimitMb = int(maxPixels * 4 / (1024 * 1024)) + 1;

[[noreturn]] void damagedBitmap(const QString& why)
{
    throw PictureError(QStringLiteral("位图文件已损坏：%1").arg(why));
}

// Qt's BMP reader fills in whatever rows a cut file lacks and reports
// success, so the header's promises are held against the file's length.
void checkBmpHeader(const QByteArray& bytes)
{
    const char* p = bytes.constData();
    const qint64 size = bytes.size();
    if (size < 26)
        damagedBitmap(QStringLiteral("文件头不完整"));
    const qint64 dataOffset = le32(p + 10);
    const quint32 infoSize = le32(p + 14);
    qint64 width = 0, height = 0, bitCount = 0, compression = 0, imageBytes = 0;
    if (infoSize == 12) {
        width = le16(p + 18);
        height = le16(p + 20);
        bitCount = le16(p + 24);
    } else {
        if (infoSize < 40 || size < 14 + 40)
            damagedBitmap(QStringLiteral("文件头不完整"));
        width = qint32(le32(p + 18));
        height = qint32(le32(p + 22));
        bitCount = le16(p + 28);
        compression = le32(p + 30);
        imageBytes = le32(p + 34);
    }
    height = qAbs(height);
    if (width <= 0 || height == 0)
        damagedBitmap(QStringLiteral("尺寸无效（%1 × %2）").arg(width).arg(height));
    checkPictureSize(width, height);
    qint64 needed = -1;
    if (compression == 0 || compression == 3 || compression == 6) {
        const qint64 stride = (width * bitCount + 31) / 32 * 4;
        needed = dataOffset + stride * height;
    } else if ((compression == 1 || compression == 2) && imageBytes > 0) {
        needed = dataOffset + imageBytes;
    }
    if (dataOffset >= size || needed > size)
        throw PictureError(QStringLiteral("位图文件不完整（文件只有 %1 字节，图像数据需要 %2 字节）")
                               .arg(size)
                               .arg(qMax(needed, dataOffset + 1)));
}

void checkIcoDirectory(const QByteArray& bytes)
{
    const char* p = bytes.constData();
    const qint64 size = bytes.size();
    const qint64 count = size >= 6 ? le16(p + 4) : 0;
    if (count == 0 || 6 + 16 * count > size)
        throw PictureError(QStringLiteral("图标文件已损坏：目录不完整"));
    for (qint64 i = 0; i < count; ++i) {
        const char* entry = p + 6 + 16 * i;
        if (qint64(le32(entry + 12)) + qint64(le32(entry + 8)) > size)
            throw PictureError(QStringLiteral("图标文件不完整：第 %1 个图像超出文件末尾").arg(i + 1));
    }
}

} // namespace

QImage decodeQtBitmap(const QByteArray& bytes, Format format)
{
    const bool icon = format == Format::Ico;
    if (icon)
        checkIcoDirectory(bytes);
    else
        checkBmpHeader(bytes);
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, icon ? "ico" : "bmp");
    reader.setAllocationLimit(readerLimitMb);
    // An icon holds several sizes of one picture; the largest is the one
    // worth stretching into a box.
    QImage best;
    const int count = icon ? qMax(1, reader.imageCount()) : 1;
    for (int i = 0; i < count; ++i) {
        if (i > 0 && !reader.jumpToImage(i))
            break;
        QImage image = reader.read();
        if (image.isNull())
            throw PictureError(
                QStringLiteral("%1无法解码：%2").arg(icon ? u"图标" : u"位图", reader.errorString()));
        if (qint64(image.width()) * image.height() > qint64(best.width()) * best.height())
            best = std::move(image);
    }
    return best;
}

} // namespace qb::picture
