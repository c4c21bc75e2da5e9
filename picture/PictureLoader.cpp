#include "picture/PictureLoader.h"

#include "picture/Decoders.h"
#include "util/PictureTypes.h"
#include "util/platform/Platform.h"

#include <QFile>
#include <QFileInfo>
#include <cstring>
#include <optional>

namespace qb {

PictureError::PictureError(const QString& message)
    : std::runtime_error(message.toStdString()), m_message(message)
{
}

namespace picture {

namespace {

// Far beyond any scan or photo of a receipt (an uncompressed A4 colour scan
// at 600 dpi is some 105 MB); the limit keeps a hostile or mistaken file (a
// disk image named .jpg) from being read into memory whole, and leaves room
// beside the file for decoding it.
constexpr qint64 maxFileBytes = 160LL * 1024 * 1024;

// A large file is read into memory of its own (platform::LargeMemory).
constexpr qint64 largeFileBytes = 16LL * 1024 * 1024;
using LargeBuffer = std::optional<platform::LargeMemory>;

// The file's bytes in `buffer`, or nothing if that memory is not to be had
// or the file grew while being read.
std::optional<QByteArray> readLarge(QFile& file, LargeBuffer& buffer)
{
    // One more byte, to notice growth.
    const platform::LargeMemory& memory = buffer.emplace(size_t(file.size()) + 1);
    if (!memory.data())
        return std::nullopt;
    char* at = memory.data();
    size_t got = 0;
    while (got < memory.size()) {
        const qint64 n = file.read(at + got, qint64(memory.size() - got));
        if (n <= 0)
            break;
        got += size_t(n);
    }
    if (got == memory.size() || !file.seek(0))
        return std::nullopt;
    return QByteArray::fromRawData(at, qsizetype(got));
}

// The file's bytes; for a large file they may live in `buffer`, which must
// outlive them.
QByteArray readPictureFile(const QString& path, LargeBuffer& buffer)
{
    const QFileInfo info(path);
    if (!info.exists())
        throw PictureError(missingPictureText(path));
    if (info.isDir())
        throw PictureError(QStringLiteral("无法打开图片文件“%1”：这是一个文件夹。").arg(path));
    if (!info.isFile())
        throw PictureError(QStringLiteral("无法打开图片文件“%1”：这不是普通文件。").arg(path));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw PictureError(QStringLiteral("无法打开图片文件“%1”：%2").arg(path, file.errorString()));
    const auto tooLarge = [&] {
        return PictureError(QStringLiteral("图片文件“%1”太大（超过 %2 MB），无法显示。")
                                .arg(path, QString::number(maxFileBytes >> 20)));
    };
    if (file.size() > maxFileBytes)
        throw tooLarge();
    if (file.size() >= largeFileBytes) {
        if (auto bytes = readLarge(file, buffer); bytes && file.error() == QFileDevice::NoError)
            return *bytes;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw PictureError(QStringLiteral("无法读取图片文件“%1”：%2").arg(path, file.errorString()));
    // The file may have grown since its size was asked.
    if (bytes.size() > maxFileBytes)
        throw tooLarge();
    return bytes;
}

QImage decodeAs(Format format, const QByteArray& bytes, QSize box)
{
    switch (format) {
    case Format::Jpeg:
        return decodeJpeg(bytes, box);
    case Format::Bmp:
    case Format::Ico:
        return decodeQtBitmap(bytes, format, box);
    case Format::Tiff:
        return decodeTiff(bytes, box);
    case Format::Emf:
        return decodeEmf(bytes, box);
    case Format::Wmf:
        return decodeWmf(bytes, box);
    }
    Q_UNREACHABLE();
}

} // namespace

std::optional<Format> formatOfContent(const QByteArray& bytes)
{
    const auto startsWith = [&](const char* signature, qsizetype length) {
        return bytes.size() >= length && std::memcmp(bytes.constData(), signature, size_t(length)) == 0;
    };
    if (startsWith("\xFF\xD8", 2))
        return Format::Jpeg;
    if (startsWith("BM", 2))
        return Format::Bmp;
    if (startsWith("II*\0", 4) || startsWith("MM\0*", 4) || startsWith("II+\0", 4) || startsWith("MM\0+", 4))
        return Format::Tiff;
    if (startsWith("\0\0\1\0", 4))
        return Format::Ico;
    if (bytes.size() >= 44 && le32(bytes.constData()) == 1 &&
        std::memcmp(bytes.constData() + 40, " EMF", 4) == 0)
        return Format::Emf;
    if (startsWith("\xD7\xCD\xC6\x9A", 4))
        return Format::Wmf;
    if (bytes.size() >= 6) {
        const char* p = bytes.constData();
        const quint16 type = le16(p), headerWords = le16(p + 2), version = le16(p + 4);
        if ((type == 1 || type == 2) && headerWords == 9 && (version == 0x0100 || version == 0x0300))
            return Format::Wmf;
    }
    return std::nullopt;
}

void refuseTooLarge(qint64 width, qint64 height)
{
    throw PictureError(QStringLiteral("图片太大（%1 × %2 像素），无法显示。").arg(width).arg(height));
}

void refuseOutOfMemory(qint64 width, qint64 height)
{
    throw PictureError(QStringLiteral("内存不足，无法显示图片（%1 × %2 像素）。").arg(width).arg(height));
}

void checkPictureSize(qint64 width, qint64 height)
{
    if (!withinLimits(width, height))
        refuseTooLarge(width, height);
}

QImage newImage(QSize size, QImage::Format format)
{
    QImage image(size, format);
    if (image.isNull())
        refuseOutOfMemory(size.width(), size.height());
    return image;
}

QSize vectorRenderSize(QSizeF natural, QSize box)
{
    if (!box.isEmpty()) {
        checkPictureSize(box.width(), box.height());
        return box;
    }
    const qint64 width = qMax<qint64>(1, qRound64(qAbs(natural.width())));
    const qint64 height = qMax<qint64>(1, qRound64(qAbs(natural.height())));
    checkPictureSize(width, height);
    return QSize(int(width), int(height));
}

} // namespace picture

QImage loadPicture(const QString& path, QSize box)
{
    const PictureType* byExtension = pictureTypeOf(QFileInfo(path).suffix());
    if (!byExtension)
        throw PictureError(
            QStringLiteral("Unknown picture file extension (.%1)").arg(QFileInfo(path).suffix()));
    picture::LargeBuffer buffer;
    const QByteArray bytes = picture::readPictureFile(path, buffer);
    // The picture folder keeps bitmaps, icons, TIFFs and metafiles under
    // numbered ".jpg" names, so a recognised signature outranks the name.
    // Content nobody recognises goes to the extension's decoder, whose
    // failure is what the user should read.
    return picture::decodeAs(picture::formatOfContent(bytes).value_or(byExtension->format), bytes, box);
}

} // namespace qb
