#pragma once

#include "picture/PictureLoader.h"

#include <functional>

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QRect>
#include <QString>
#include <initializer_list>
#include <optional>

// Real picture files for the decoder tests, written by the formats' own
// libraries (or, for WMF, byte by byte).
namespace qb::test {

// A width × height picture, left half red and right half blue.
QImage redBlue(int width, int height);

// JPEG through libjpeg; orientation > 0 adds an EXIF block with that value.
QByteArray jpegBytes(const QImage& image, int orientation = 0, bool bigEndianExif = false,
                     bool progressive = false);
// Left half red, right half blue, in CMYK.
QByteArray cmykJpegRedBlue(int width, int height);
QByteArray qtBytes(const QImage& image, const char* format);
QByteArray tiffBytes(const QImage& image);
// A white bilevel page in CCITT G4, one strip: a few KB for any size.
QByteArray tiffG4White(quint32 width, quint32 height);
// A TIFF whose header declares the size but holds no pixel data.
QByteArray tiffHeaderOnly(quint32 width, quint32 height);
void writeEmfRedBlue(const QString& path);
// `points` random points joined by one line, then `lines` random segments.
void writeEmfScribble(const QString& path, int points, int lines);

// A Windows metafile record by record.
class WmfBuilder
{
public:
    WmfBuilder& add(quint16 function, std::initializer_list<qint16> params);
    WmfBuilder& add(quint16 function, const QByteArray& params);
    // With a frame: a placeable file in units of 1/inch; else a plain one.
    QByteArray bytes(std::optional<QRect> frame, quint16 inch = 96, quint16 objects = 8) const;

    static QByteArray words(std::initializer_list<qint16> params);

private:
    QByteArray m_records;
};

// The two words of a COLORREF.
qint16 colorLow(QColor c);
qint16 colorHigh(QColor c);

// The message of the picture failure that `load` throws, or "(no failure)".
inline QString failureOf(const std::function<QImage()>& load)
{
    try {
        load();
    } catch (const PictureError& e) {
        return e.message();
    }
    return QStringLiteral("(no failure)");
}

} // namespace qb::test
