#pragma once

#include <QString>
#include <QStringView>
#include <array>

namespace qb {

// The words for a picture file that is not where its name says.
inline QString missingPictureText(const QString& path)
{
    return QStringLiteral("图片文件“%1”不存在。").arg(path);
}

// The picture formats the program decodes.
enum class PictureFormat { Jpeg, Bmp, Ico, Tiff, Emf, Wmf };

// One picture file extension (lower case, without its dot), what the picture
// dialog calls it, and the format the loader decodes it as.
struct PictureType
{
    QStringView extension;
    QStringView description;
    PictureFormat format;
};

// The one list of picture extensions: the loader knows exactly these, and
// the picture dialog offers exactly these, in this order.
inline constexpr std::array<PictureType, 8> kPictureTypes{{
    {u"jpg", u"JPEG Image File", PictureFormat::Jpeg},
    {u"jpeg", u"JPEG Image File", PictureFormat::Jpeg},
    {u"bmp", u"Bitmaps", PictureFormat::Bmp},
    {u"tif", u"TIFF Images", PictureFormat::Tiff},
    {u"tiff", u"TIFF Images", PictureFormat::Tiff},
    {u"ico", u"Icons", PictureFormat::Ico},
    {u"emf", u"Enhanced Metafiles", PictureFormat::Emf},
    {u"wmf", u"Metafiles", PictureFormat::Wmf},
}};

// The type of the extension `extension` (without its dot, in any letter
// case), or null for one the program does not know.
inline const PictureType* pictureTypeOf(QStringView extension)
{
    for (const PictureType& type : kPictureTypes)
        if (extension.compare(type.extension, Qt::CaseInsensitive) == 0)
            return &type;
    return nullptr;
}

} // namespace qb
