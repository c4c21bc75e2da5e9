// Writes the seed corpus of the fuzz targets into <folder>/<target>/:
// small valid pictures made by the same writers as the picture tests, and a
// few texts for the text routines. tools/fuzz.sh runs it before each run.
#include "tests/picture/PictureFiles.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <cstdio>

using namespace qb::test;

namespace {

QString root;

void write(const char* target, const char* name, const QByteArray& bytes)
{
    const QString folder = root + u'/' + QLatin1String(target);
    QDir().mkpath(folder);
    QFile file(folder + u'/' + QLatin1String(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
        std::exit(1);
    }
}

enum : quint16 {
    SETWINDOWORG = 0x020B,
    SETWINDOWEXT = 0x020C,
    SETBKMODE = 0x0102,
    SETTEXTCOLOR = 0x0209,
    SELECTOBJECT = 0x012D,
    DELETEOBJECT = 0x01F0,
    CREATEPENINDIRECT = 0x02FA,
    CREATEBRUSHINDIRECT = 0x02FC,
    CREATEFONTINDIRECT = 0x02FB,
    MOVETO = 0x0214,
    LINETO = 0x0213,
    RECTANGLE = 0x041B,
    ELLIPSE = 0x0418,
    POLYGON = 0x0324,
    POLYLINE = 0x0325,
    TEXTOUT = 0x0521,
};

// Pen, brush, font and the common drawing records, with GBK text.
QByteArray wmfDrawing(bool placeable)
{
    const QByteArray text = QStringEncoder("GBK").encode(QStringLiteral("票据"));
    QByteArray font = WmfBuilder::words({-12, 0, 0, 0, 400, 0, 0, 0, 0});
    font += QStringEncoder("GBK").encode(QStringLiteral("宋体")) + QByteArray(1, '\0');
    WmfBuilder wmf;
    wmf.add(SETWINDOWORG, {0, 0})
        .add(SETWINDOWEXT, {48, 64})
        .add(CREATEPENINDIRECT, {2, 1, 0, colorLow(Qt::black), colorHigh(Qt::black)})
        .add(CREATEBRUSHINDIRECT, {0, colorLow(Qt::red), colorHigh(Qt::red), 0})
        .add(CREATEFONTINDIRECT, font)
        .add(SELECTOBJECT, {0})
        .add(SELECTOBJECT, {1})
        .add(SELECTOBJECT, {2})
        .add(RECTANGLE, {20, 30, 2, 2})
        .add(ELLIPSE, {46, 62, 24, 34})
        .add(POLYGON, {3, 0, 40, 10, 47, 20, 40})
        .add(POLYLINE, {3, 5, 5, 10, 20, 30, 5})
        .add(MOVETO, {0, 0})
        .add(LINETO, {47, 63})
        .add(SETBKMODE, {1})
        .add(SETTEXTCOLOR, {0, 0})
        .add(TEXTOUT, WmfBuilder::words({qint16(text.size())}) + text + WmfBuilder::words({40, 4}))
        .add(DELETEOBJECT, {1});
    return wmf.bytes(placeable ? std::optional<QRect>(QRect(0, 0, 64, 48)) : std::nullopt);
}

QByteArray emfRedBlue()
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("p.emf"));
    writeEmfRedBlue(path);
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
        return 2;
    }
    QGuiApplication app(argc, argv);
    root = QString::fromLocal8Bit(argv[1]);

    const QImage image = redBlue(16, 8);
    write("fuzz_jpeg", "seed-rgb.jpg", jpegBytes(image));
    write("fuzz_jpeg", "seed-exif6.jpg", jpegBytes(image, 6));
    write("fuzz_jpeg", "seed-exif3-motorola.jpg", jpegBytes(image, 3, true));
    write("fuzz_jpeg", "seed-cmyk.jpg", cmykJpegRedBlue(16, 8));
    write("fuzz_jpeg", "seed-gray.jpg", jpegBytes(image.convertToFormat(QImage::Format_Grayscale8)));

    write("fuzz_bmp", "seed-rgb32.bmp", qtBytes(image, "BMP"));
    write("fuzz_bmp", "seed-indexed.bmp", qtBytes(image.convertToFormat(QImage::Format_Indexed8), "BMP"));
    write("fuzz_bmp", "seed-mono.bmp", qtBytes(image.convertToFormat(QImage::Format_Mono), "BMP"));
    write("fuzz_ico", "seed-16.ico", qtBytes(redBlue(16, 16), "ICO"));
    write("fuzz_ico", "seed-alpha.ico", qtBytes(redBlue(8, 8).convertToFormat(QImage::Format_ARGB32), "ICO"));

    write("fuzz_tiff", "seed-rgb-lzw.tif", tiffBytes(image));
    write("fuzz_tiff", "seed-header-only.tif", tiffHeaderOnly(16, 16));

    write("fuzz_wmf", "seed-placeable.wmf", wmfDrawing(true));
    write("fuzz_wmf", "seed-plain.wmf", wmfDrawing(false));

    const QByteArray emf = emfRedBlue();
    write("fuzz_emf", "seed-redblue.emf", emf);
    write("fuzz_emf2svg", "seed-redblue.emf", emf);

    write("fuzz_vornjiami", "seed-first-password", "583920");
    write("fuzz_vornjiami", "seed-latin1", QByteArray("caf\xE9 \xFF\x00\x01", 8));
    write("fuzz_vornjiami", "seed-encoded", "NTgzOTIw");

    // Pattern, a zero byte, text.
    const auto like = [](const char* pattern, const char* text) {
        return QByteArray(pattern) + '\0' + QByteArray(text);
    };
    write("fuzz_like", "seed-word", like("%电费%", "三月电费单"));
    write("fuzz_like", "seed-sets", like("[!a]b[c-e][]][%]_", "xbd]%z"));
    write("fuzz_like", "seed-folding", like("%ÉQUIPE%ａ", "l'équipeＡ"));
    write("fuzz_like", "seed-unclosed", like("%[[[!x", "[[[!x"));

    write("fuzz_split", "seed-bar", "|00001|标题||说明|");
    write("fuzz_split", "seed-comma", ",a,b,,c");
    return 0;
}
