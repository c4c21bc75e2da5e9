#include "picture/PictureLoader.h"
#include "tests/picture/PictureFiles.h"
#include "tests/support/TempFolder.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStringEncoder>
#include <functional>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace qb;
using namespace qb::test;

namespace {

bool near(QRgb pixel, QColor want, int tolerance = 60)
{
    return qAlpha(pixel) > 200 && qAbs(qRed(pixel) - want.red()) <= tolerance &&
           qAbs(qGreen(pixel) - want.green()) <= tolerance && qAbs(qBlue(pixel) - want.blue()) <= tolerance;
}

// Left half red, right half blue, as redBlue() draws it.
void expectRedBlue(const QImage& image, const QString& what)
{
    ASSERT_FALSE(image.isNull()) << what.toStdString();
    const int y = image.height() / 2;
    EXPECT_TRUE(near(image.pixel(image.width() / 4, y), Qt::red)) << what.toStdString() << ": left not red";
    EXPECT_TRUE(near(image.pixel(image.width() * 3 / 4, y), Qt::blue))
        << what.toStdString() << ": right not blue";
}

enum : quint16 {
    SETWINDOWORG = 0x020B,
    SETWINDOWEXT = 0x020C,
    SELECTOBJECT = 0x012D,
    CREATEPENINDIRECT = 0x02FA,
    CREATEBRUSHINDIRECT = 0x02FC,
    CREATEFONTINDIRECT = 0x02FB,
    CREATEPALETTE = 0x00F7,
    RECTANGLE = 0x041B,
    ELLIPSE = 0x0418,
    POLYGON = 0x0324,
    TEXTOUT = 0x0521,
    SETBKMODE = 0x0102,
    SETTEXTCOLOR = 0x0209,
};

WmfBuilder wmfRedBlue()
{
    WmfBuilder wmf;
    wmf.add(SETWINDOWORG, {0, 0})
        .add(SETWINDOWEXT, {32, 64})
        .add(CREATEBRUSHINDIRECT, {0, colorLow(Qt::red), colorHigh(Qt::red), 0})
        .add(CREATEBRUSHINDIRECT, {0, colorLow(Qt::blue), colorHigh(Qt::blue), 0})
        .add(CREATEPENINDIRECT, {5, 0, 0, 0, 0})
        .add(SELECTOBJECT, {2})
        .add(SELECTOBJECT, {0})
        .add(RECTANGLE, {32, 32, 0, 0})
        .add(SELECTOBJECT, {1})
        .add(RECTANGLE, {32, 64, 0, 32});
    return wmf;
}

QByteArray emfRedBlue()
{
    TempFolder folder;
    writeEmfRedBlue(folder.file("p.emf"));
    QFile emf(folder.file("p.emf"));
    emf.open(QIODevice::ReadOnly);
    return emf.readAll();
}

struct Sample
{
    QString name;
    QByteArray bytes;
};

// One red-and-blue picture of 64 × 32 pixels in every format.
std::vector<Sample> redBlueSamples()
{
    const QImage image = redBlue(64, 32);
    return {{"p.jpg", jpegBytes(image)},      {"P.JPG", jpegBytes(image)},
            {"p.Jpeg", jpegBytes(image)},     {"cmyk.jpg", cmykJpegRedBlue(64, 32)},
            {"p.bmp", qtBytes(image, "BMP")}, {"p.ICO", qtBytes(image, "ICO")},
            {"p.tif", tiffBytes(image)},      {"p.TIFF", tiffBytes(image)},
            {"p.emf", emfRedBlue()},          {"p.wmf", wmfRedBlue().bytes(QRect(0, 0, 64, 32))}};
}

QByteArray withJpegSize(QByteArray jpeg, quint16 width, quint16 height)
{
    const qsizetype sof = jpeg.indexOf("\xFF\xC0");
    jpeg[sof + 5] = char(height >> 8);
    jpeg[sof + 6] = char(height & 0xFF);
    jpeg[sof + 7] = char(width >> 8);
    jpeg[sof + 8] = char(width & 0xFF);
    return jpeg;
}

QByteArray withBmpSize(QByteArray bmp, qint32 width, qint32 height)
{
    for (int i = 0; i < 4; ++i) {
        bmp[18 + i] = char(quint32(width) >> (8 * i));
        bmp[22 + i] = char(quint32(height) >> (8 * i));
    }
    return bmp;
}

} // namespace

TEST(PictureLoader, DecodesEveryFormatUnderItsOwnNameAndUnderANumberedJpgName)
{
    TempFolder folder;
    int number = 0;
    for (const Sample& s : redBlueSamples()) {
        const QImage own = loadPicture(folder.write(s.name, s.bytes));
        EXPECT_EQ(own.size(), QSize(64, 32)) << s.name.toStdString();
        expectRedBlue(own, s.name);
        // The picture folder keeps every import as 0000n.jpg, whatever it holds.
        const QString numbered = QStringLiteral("%1.jpg").arg(++number, 5, 10, QLatin1Char('0'));
        expectRedBlue(loadPicture(folder.write(numbered, s.bytes), QSize(40, 20)),
                      s.name + " as " + numbered);
    }
    expectRedBlue(loadPicture(folder.write("jpeg-inside.bmp", jpegBytes(redBlue(64, 32)))),
                  "JPEG named .bmp");
}

// A message of our own (it starts in Chinese) ends as a Chinese sentence and
// gives its reason in Chinese; the engines' texts ("JPEG error #53") are theirs.
static void expectOwnMessageReadsAsOne(const QString& name, const QString& message)
{
    if (message.isEmpty() || message.front().unicode() < 0x80)
        return;
    EXPECT_TRUE(message.endsWith(u'。')) << name.toStdString() << ": " << message.toStdString();
    EXPECT_FALSE(message.contains(QRegularExpression("[a-z]{3,}")))
        << name.toStdString() << " gives an English reason: " << message.toStdString();
}

TEST(PictureLoader, ContentNoDecoderKnowsFailsWithTheExtensionsDecoder)
{
    TempFolder folder;
    const QByteArray text("receipt notes, not a picture");
    const struct
    {
        QString name;
        QByteArray bytes;
        QString message;
        bool exact;
    } cases[] = {
        {"t.jpg", text, "JPEG error #53", true},        {"t.JPEG", text, "JPEG error #53", true},
        {"empty.jpg", {}, "JPEG error #42", true},      {"t.bmp", text, "位图文件已损坏", false},
        {"t.ico", text, "图标文件已损坏", false},       {"t.tif", text, "TIFF error: ", false},
        {"t.emf", text, "EMF 图元文件无法显示", false}, {"t.wmf", text, "WMF 图元文件已损坏", false},
        {"empty.wmf", {}, "WMF 图元文件已损坏", false},
    };
    for (const auto& c : cases) {
        const QString path = folder.write(c.name, c.bytes);
        const QString message = failureOf([&] { return loadPicture(path); });
        if (c.exact)
            EXPECT_EQ(message, c.message) << c.name.toStdString();
        else
            EXPECT_TRUE(message.startsWith(c.message))
                << c.name.toStdString() << ": " << message.toStdString();
        expectOwnMessageReadsAsOne(c.name, message);
    }
    // Decoding bytes as JPEG does not sniff: a bitmap is no JPEG.
    EXPECT_EQ(failureOf([] { return decodeJpeg(qtBytes(redBlue(8, 8), "BMP")); }), "JPEG error #53");
}

TEST(PictureLoader, UnknownExtensionIsNamedWithoutItsDot)
{
    TempFolder folder;
    const QByteArray jpeg = jpegBytes(redBlue(8, 8));
    const std::pair<QString, QString> cases[] = {
        {"a.png", "Unknown picture file extension (.png)"},
        {"b.GIF", "Unknown picture file extension (.GIF)"},
        {"noextension", "Unknown picture file extension (.)"},
        {"c.jpg.txt", "Unknown picture file extension (.txt)"},
    };
    for (const auto& [name, message] : cases) {
        EXPECT_EQ(failureOf([&] { return loadPicture(folder.write(name, jpeg)); }), message);
        EXPECT_EQ(failureOf([&] { return loadPicture(folder.file("missing-" + name)); }), message);
    }
}

TEST(PictureLoader, DamagedFilesFailWithAMessage)
{
    TempFolder folder;
    const QImage image = redBlue(64, 32);
    const QByteArray jpeg = jpegBytes(image), bmp = qtBytes(image, "BMP"), ico = qtBytes(image, "ICO");
    const QByteArray tiff = tiffBytes(image), wmf = wmfRedBlue().bytes(QRect(0, 0, 64, 32));
    QByteArray wmfZeroLength = wmf;
    wmfZeroLength[22 + 18] = 0; // the first record claims no words at all
    QByteArray wmfOverlong = wmf;
    wmfOverlong[22 + 18 + 2] = 0x7F; // the first record runs past the end
    const QByteArray emf = emfRedBlue();
    QByteArray emfNoBounds = emf;
    emfNoBounds.replace(8, 32, QByteArray(32, '\xFF'));
    const QByteArray wmfShortPolygon =
        WmfBuilder().add(SETWINDOWEXT, {10, 10}).add(POLYGON, {100, 0, 0, 5, 5}).bytes(std::nullopt);
    const struct
    {
        QString name;
        QByteArray bytes;
        QString prefix;
    } damaged[] = {
        {"cut-in-header.jpg", jpeg.left(30), "JPEG error #"},
        {"cut.bmp", bmp.left(bmp.size() / 2), "位图文件不完整"},
        {"header-only.bmp", bmp.left(40), "位图文件已损坏"},
        {"cut.ico", ico.left(ico.size() / 2), "图标文件不完整"},
        {"cut.tif", tiff.left(tiff.size() / 2), "TIFF error: "},
        {"cut.emf", emf.left(100), "EMF 图元文件无法显示"},
        {"no-bounds.emf", emfNoBounds, "EMF 图元文件无法显示：画面大小无效"},
        {"cut.wmf", wmf.left(wmf.size() - 4), "WMF 图元文件已损坏"},
        {"zero-length-record.wmf", wmfZeroLength, "WMF 图元文件已损坏"},
        {"overlong-record.wmf", wmfOverlong, "WMF 图元文件已损坏"},
        {"short-polygon.wmf", wmfShortPolygon, "WMF 图元文件已损坏：第 2 个记录（0x0324）不完整"},
        {"no-frame.wmf", WmfBuilder().bytes(std::nullopt), "WMF 图元文件已损坏：没有给出画面大小"},
    };
    for (const auto& d : damaged) {
        const QString path = folder.write(d.name, d.bytes);
        const QString message = failureOf([&] { return loadPicture(path); });
        EXPECT_TRUE(message.startsWith(d.prefix)) << d.name.toStdString() << ": " << message.toStdString();
        expectOwnMessageReadsAsOne(d.name, message);
    }
}

TEST(PictureLoader, JpegCutInsideTheScanShowsTheTopAndGreyBelow)
{
    TempFolder folder;
    // Reddish noise, so that the scan and not the tables makes up the file.
    QImage image(256, 256, QImage::Format_RGB32);
    quint32 seed = 1;
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            seed = seed * 1103515245 + 12345;
            image.setPixel(x, y, qRgb(215 + int(seed >> 27), int(seed >> 28), int(seed >> 29)));
        }
    const QByteArray jpeg = jpegBytes(image);
    const QImage shown = loadPicture(folder.write("cut.jpg", jpeg.left(jpeg.size() / 3)));
    ASSERT_EQ(shown.size(), QSize(256, 256));
    EXPECT_TRUE(near(shown.pixel(128, 4), Qt::red));
    EXPECT_TRUE(near(shown.pixel(128, 250), QColor(128, 128, 128), 8));
}

TEST(PictureLoader, ExifOrientationShowsThePictureUpright)
{
    // Stored: 64 × 32, white, with a red square in the top-left corner.
    QImage stored(64, 32, QImage::Format_RGB32);
    stored.fill(Qt::white);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            stored.setPixel(x, y, qRgb(255, 0, 0));
    enum Corner { TopLeft, TopRight, BottomRight, BottomLeft };
    const Corner corners[] = {TopLeft, TopRight, BottomRight, BottomLeft,
                              TopLeft, TopRight, BottomRight, BottomLeft};
    TempFolder folder;
    for (bool bigEndian : {false, true}) {
        for (int orientation = 1; orientation <= 8; ++orientation) {
            const std::string what =
                "orientation " + std::to_string(orientation) + (bigEndian ? " MM" : " II");
            const QString path = folder.write("o.jpg", jpegBytes(stored, orientation, bigEndian));
            const QImage shown = loadPicture(path);
            ASSERT_EQ(shown.size(), orientation >= 5 ? QSize(32, 64) : QSize(64, 32)) << what;
            const int w = shown.width() - 1, h = shown.height() - 1;
            const QPoint at[] = {{4, 4}, {w - 4, 4}, {w - 4, h - 4}, {4, h - 4}};
            const Corner red = corners[orientation - 1];
            for (int c = 0; c < 4; ++c)
                EXPECT_EQ(near(shown.pixel(at[c]), Qt::red), c == red) << what << ", corner " << c;
        }
    }
}

TEST(PictureLoader, JpegDecodesAtTheSmallestScaleThatCoversTheBox)
{
    const QByteArray plain = jpegBytes(redBlue(1600, 1200));
    const QByteArray turned = jpegBytes(redBlue(1600, 1200), 6);
    const struct
    {
        QSize box;
        bool turned;
        QSize expected;
    } cases[] = {
        {QSize(), false, QSize(1600, 1200)},           {QSize(200, 100), false, QSize(200, 150)},
        {QSize(201, 100), false, QSize(400, 300)},     {QSize(521, 275), false, QSize(600, 450)},
        {QSize(4000, 3000), false, QSize(1600, 1200)}, {QSize(521, 275), true, QSize(600, 800)},
        {QSize(150, 200), true, QSize(150, 200)},
    };
    for (const auto& c : cases) {
        const QImage image = decodeJpeg(c.turned ? turned : plain, c.box);
        EXPECT_EQ(image.size(), c.expected)
            << c.box.width() << "x" << c.box.height() << " turned " << c.turned;
        if (!c.turned)
            expectRedBlue(image, QStringLiteral("scaled"));
    }
}

TEST(PictureLoader, RefusesPicturesBeyondThePixelLimit)
{
    TempFolder folder;
    const QImage image = redBlue(16, 16);
    const struct
    {
        QString name;
        QByteArray bytes;
        QString message;
    } cases[] = {
        {"huge.jpg", withJpegSize(jpegBytes(image), 60000, 60000),
         "图片太大（60000 × 60000 像素），无法显示。"},
        {"huge.bmp", withBmpSize(qtBytes(image, "BMP"), 100000, 100000),
         "图片太大（100000 × 100000 像素），无法显示。"},
        {"tall.bmp", withBmpSize(qtBytes(image, "BMP"), 16, -70000),
         "图片太大（16 × 70000 像素），无法显示。"},
        {"huge.tif", tiffHeaderOnly(100000, 100000), "图片太大（100000 × 100000 像素），无法显示。"},
        {"huge.wmf", wmfRedBlue().bytes(QRect(0, 0, 30000, 30000), 1),
         "图片太大（2880000 × 2880000 像素），无法显示。"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(failureOf([&] { return loadPicture(folder.write(c.name, c.bytes)); }), c.message)
            << c.name.toStdString();
    // In a small box the metafile is drawn at the box's size instead.
    EXPECT_EQ(loadPicture(folder.file("huge.wmf"), QSize(100, 50)).size(), QSize(100, 50));
}

TEST(PictureLoader, FolderMissingOrUnreadableFileGivesAMessage)
{
    TempFolder folder;
    QDir().mkpath(folder.file("folder.jpg"));
    EXPECT_TRUE(failureOf([&] { return loadPicture(folder.file("folder.jpg")); }).contains("文件夹"));
    EXPECT_TRUE(failureOf([&] { return loadPicture(folder.file("gone.jpg")); }).contains("不存在"));
    const QString locked = folder.write("locked.jpg", jpegBytes(redBlue(8, 8)));
    QFile::setPermissions(locked, QFileDevice::Permissions());
    if (geteuid() != 0) { // root reads it anyway
        EXPECT_TRUE(failureOf([&] { return loadPicture(locked); }).contains("无法打开"));
    }
}

TEST(PictureLoader, WmfPlayerFollowsTheWindowObjectTableAndText)
{
    // A plain metafile (no placeable header) whose window starts at (100, 100);
    // a palette takes object slot 0, so the pen and brush sit in slots 1 and 2.
    const QByteArray text = QStringEncoder("GBK").encode(QStringLiteral("票据"));
    QByteArray textOut = WmfBuilder::words({qint16(text.size())}) + text;
    textOut += WmfBuilder::words({170, 110}); // y, x
    QByteArray font = WmfBuilder::words({-40, 0, 0, 0, 700, 0, 0, 0, 0});
    font.replace(10, 8, QByteArray("\0\0\0\x86\0\0\0\0", 8));
    font += QStringEncoder("GBK").encode(QStringLiteral("宋体")) + QByteArray(1, '\0');
    const QByteArray wmf = WmfBuilder()
                               .add(SETWINDOWORG, {100, 100})
                               .add(SETWINDOWEXT, {100, 200})
                               .add(CREATEPALETTE, {0x0300, 0})
                               .add(CREATEPENINDIRECT, {0, 0, 0, colorLow(Qt::green), colorHigh(Qt::green)})
                               .add(CREATEBRUSHINDIRECT, {0, colorLow(Qt::green), colorHigh(Qt::green), 0})
                               .add(0x0999, {1, 2, 3}) // not a record we know: skipped
                               .add(SELECTOBJECT, {1})
                               .add(SELECTOBJECT, {2})
                               .add(ELLIPSE, {150, 200, 100, 100})
                               .add(CREATEFONTINDIRECT, font)
                               .add(SELECTOBJECT, {3})
                               .add(SETBKMODE, {1})
                               .add(SETTEXTCOLOR, {0, 0})
                               .add(TEXTOUT, textOut)
                               .bytes(std::nullopt);
    TempFolder folder;
    const QImage image = loadPicture(folder.write("w.wmf", wmf));
    ASSERT_EQ(image.size(), QSize(200, 100));
    EXPECT_TRUE(near(image.pixel(50, 25), Qt::green)) << "ellipse centre";
    EXPECT_EQ(qAlpha(image.pixel(2, 2)), 0) << "outside the ellipse";
    int dark = 0;
    for (int y = 55; y < 100; ++y)
        for (int x = 0; x < 100; ++x)
            dark += near(image.pixel(x, y), Qt::black, 90);
    EXPECT_GT(dark, 100) << "the text left no ink";
}

TEST(PictureLoader, RandomlyDamagedFilesDecodeOrFailWithAMessage)
{
    // Each repetition (--gtest_repeat) damages the files differently.
    static quint32 repetition = 0;
    quint32 seed = 2024 + 7919 * repetition++;
    const auto next = [&seed](quint32 bound) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % bound;
    };
    TempFolder folder;
    for (const Sample& s : redBlueSamples()) {
        for (int round = 0; round < 40; ++round) {
            QByteArray bytes = s.bytes;
            for (quint32 flips = 1 + next(8); flips > 0; --flips)
                bytes[next(quint32(bytes.size()))] = char(next(256));
            if (next(3) == 0)
                bytes.truncate(next(quint32(bytes.size())));
            const QString path = folder.write(s.name, bytes);
            try {
                EXPECT_FALSE(loadPicture(path, QSize(40, 20)).isNull()) << s.name.toStdString();
            } catch (const PictureError& e) {
                EXPECT_FALSE(e.message().isEmpty());
            }
        }
    }
}
