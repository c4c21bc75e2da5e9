// Hostile and huge pictures: each is shown box-sized or refused with a
// message, within the decoders' budgets of memory and work.
#include "controls/ImageBox.h"
#include "picture/Decoders.h"
#include "picture/PictureLoader.h"
#include "picture/ViewedPicture.h"
#include "tests/picture/PictureFiles.h"
#include "tests/support/TempFolder.h"

#include <QElapsedTimer>
#include <QFile>
#include <QPainter>
#include <functional>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace qb;
using namespace qb::test;

namespace {

const QColor corners[] = {Qt::red, Qt::blue, Qt::green, Qt::black};

// Red top left, blue top right, green bottom left, black bottom right.
QImage quadrants(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    for (int i = 0; i < 4; ++i)
        painter.fillRect(i % 2 * width / 2, i / 2 * height / 2, width - width / 2, height - height / 2,
                         corners[i]);
    return image;
}

void expectQuadrants(const QImage& image, const std::string& what)
{
    ASSERT_FALSE(image.isNull()) << what;
    for (int i = 0; i < 4; ++i) {
        const QColor got =
            image.pixelColor((1 + 2 * (i % 2)) * image.width() / 4, (1 + 2 * (i / 2)) * image.height() / 4);
        const QColor want = corners[i];
        EXPECT_TRUE(qAbs(got.red() - want.red()) < 40 && qAbs(got.green() - want.green()) < 40 &&
                    qAbs(got.blue() - want.blue()) < 40)
            << what << ": quarter " << i << " is " << got.name().toStdString() << ", not "
            << want.name().toStdString();
    }
}

void put16(QByteArray& b, int v)
{
    b.append(char(v & 0xFF)).append(char(v >> 8 & 0xFF));
}
void put32(QByteArray& b, qint64 v)
{
    put16(b, int(v & 0xFFFF));
    put16(b, int(v >> 16 & 0xFFFF));
}

// An RLE8 bitmap with the palette of `corners`; each stored row is the
// runs rowRuns() gives for it, bottom row first.
QByteArray rle8(qint32 width, qint32 height, const std::function<QByteArray(int y)>& rowRuns)
{
    QByteArray data;
    for (int y = height - 1; y >= 0; --y)
        data += rowRuns(y) + QByteArray("\0\0", 2);
    data += QByteArray("\0\1", 2);
    QByteArray h("BM");
    put32(h, 14 + 40 + 16 + data.size());
    put32(h, 0);
    put32(h, 14 + 40 + 16);
    for (qint64 v : {40, width, height})
        put32(h, v);
    put16(h, 1);
    put16(h, 8);
    for (qint64 v : {1LL, qint64(data.size()), 0LL, 0LL, 4LL, 0LL})
        put32(h, v);
    for (const QColor& c : corners)
        put32(h, qint64(c.rgb() & 0xFFFFFF));
    return h + data;
}

QByteArray rle8Quadrants(int width, int height)
{
    return rle8(width, height, [=](int y) {
        QByteArray runs;
        for (int half = 0; half < 2; ++half) {
            const char index = char((y < height / 2 ? 0 : 2) + half);
            for (int left = width / 2; left > 0; left -= 255)
                runs += QByteArray(1, char(qMin(left, 255))) + index;
        }
        return runs;
    });
}

bool shrunkForBox(QSize size, QSize box)
{
    return size.width() >= box.width() && size.width() <= 2 * box.width() && size.height() >= box.height() &&
           size.height() <= 2 * box.height();
}

long residentMb()
{
    QFile statm("/proc/self/statm");
    statm.open(QIODevice::ReadOnly);
    return statm.readAll().split(' ').value(1).toLong() * sysconf(_SC_PAGESIZE) >> 20;
}

// How much memory `work` needed at its peak beyond what its process held
// before, in MB, measured in a child process of its own.
long extraPeakMb(const std::function<void()>& work)
{
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return -1;
    const pid_t child = fork();
    if (child == 0) {
        close(pipeEnds[0]);
        const long before = residentMb();
        work();
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        const long extra = usage.ru_maxrss / 1024 - before;
        (void)!write(pipeEnds[1], &extra, sizeof extra);
        _exit(0);
    }
    close(pipeEnds[1]);
    long extra = -1;
    if (read(pipeEnds[0], &extra, sizeof extra) != sizeof extra)
        extra = -1;
    close(pipeEnds[0]);
    waitpid(child, nullptr, 0);
    return extra;
}

} // namespace

TEST(PictureLimits, LargePicturesComeBackShrunkForTheBoxAndUpright)
{
    TempFolder folder;
    const QSize box(100, 50);
    const QImage page = quadrants(3000, 2000);
    // The same rows stored top down: a negative height, upside-down data.
    QByteArray topDown = qtBytes(page.mirrored(false, true), "BMP");
    for (int i = 0; i < 4; ++i)
        topDown[22 + i] = char(quint32(-2000) >> (8 * i));
    const struct
    {
        const char* name;
        QByteArray bytes;
    } cases[] = {
        {"bottom-up.bmp", qtBytes(page, "BMP")},
        {"top-down.bmp", topDown},
        {"rgb.tif", tiffBytes(page)},
        {"rle8.bmp", rle8Quadrants(3000, 2000)},
    };
    for (const auto& c : cases) {
        const QImage shown = loadPicture(folder.write(c.name, c.bytes), box);
        EXPECT_TRUE(shrunkForBox(shown.size(), box))
            << c.name << " came back " << shown.width() << " x " << shown.height();
        expectQuadrants(shown, c.name);
    }
}

TEST(PictureLimits, TinyFilesClaimingHugePicturesAreShrunkOrRefused)
{
    TempFolder folder;
    const QSize box(521, 275);
    const QImage page = loadPicture(folder.write("g4.tif", tiffG4White(14000, 14000)), box);
    EXPECT_TRUE(shrunkForBox(page.size(), box)) << page.width() << " x " << page.height();
    EXPECT_EQ(page.pixel(page.width() / 2, page.height() / 2), qRgb(255, 255, 255));

    // A progressive JPEG keeps every coefficient: 8000 × 8000 needs some 190 MB.
    QByteArray progressive = jpegBytes(quadrants(16, 16), 0, false, true);
    const qsizetype sof = progressive.indexOf("\xFF\xC2");
    ASSERT_GT(sof, 0);
    progressive.replace(sof + 5, 4, QByteArray("\x1F\x40\x1F\x40", 4));
    QByteArray shortEmf(60, '\0');
    shortEmf[0] = 1;
    shortEmf.replace(40, 4, " EMF");
    const struct
    {
        const char* name;
        QByteArray bytes;
        QString message;
    } refused[] = {
        {"rle8.bmp", rle8(14000, 14000, [](int) { return QByteArray(); }),
         QStringLiteral("图片太大（14000 × 14000 像素），无法显示。")},
        {"progressive.jpg", progressive, QStringLiteral("JPEG 图片太大：解码需要超过 160 MB 内存")},
        {"short.emf", shortEmf,
         QStringLiteral("EMF 图元文件无法显示：文件比 EMF 文件头还短，不是 EMF 图元文件。")},
    };
    for (const auto& c : refused)
        EXPECT_TRUE(
            failureOf([&] { return loadPicture(folder.write(c.name, c.bytes), box); }).contains(c.message))
            << c.name << ": "
            << failureOf([&] { return loadPicture(folder.file(c.name), box); }).toStdString();

    // Metafiles that would take the program seconds and hundreds of MB to
    // draw: more records than the converter may hold, and a drawing the
    // converter cannot finish in time.
    const struct
    {
        const char* name;
        int points, lines;
        QString message;
    } heavy[] = {
        {"many.emf", 0, 30000, QStringLiteral("EMF 图元文件无法显示：图元记录超过 50000 条，画面太复杂。")},
        {"slow.emf", 130000, 0, QStringLiteral("EMF 图元文件无法显示：画面太复杂，")},
    };
    for (const auto& c : heavy) {
        writeEmfScribble(folder.file(c.name), c.points, c.lines);
        QElapsedTimer timer;
        timer.start();
        const QString failure = failureOf([&] { return loadPicture(folder.file(c.name), box); });
        EXPECT_TRUE(failure.startsWith(c.message)) << c.name << ": " << failure.toStdString();
        EXPECT_LT(timer.elapsed(), 6000) << c.name;
    }

    // Over the file size limit, without the disk space: a name that holds a
    // placeholder is reported as it is.
    QFile big(folder.file("big%1.jpg"));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly) && big.resize(161LL << 20));
    big.close();
    EXPECT_EQ(failureOf([&] { return loadPicture(big.fileName(), box); }),
              QStringLiteral("图片文件“%1”太大（超过 160 MB），无法显示。").arg(big.fileName()));
}

// A block cut short at the right or bottom edge averages the pixels it has,
// not as many as a whole block would hold: one colour in, the same out.
TEST(PictureLimits, ShrinkingKeepsTheColourOfPartialBlocksAtTheEdges)
{
    const struct
    {
        QSize natural, box;
    } cases[] = {
        {{7, 7}, {2, 2}},     {{10, 5}, {3, 2}},         {{13, 9}, {2, 2}},
        {{100, 100}, {7, 7}}, {{1043, 301}, {521, 275}}, {{5, 22}, {1, 4}},
    };
    for (const QRgb colour : {qRgba(200, 120, 40, 255), qRgba(30, 60, 250, 128)})
        for (const auto& c : cases) {
            picture::Shrinker shrinker(c.natural, c.box);
            const std::vector<QRgb> row(size_t(c.natural.width()), colour);
            for (int y = 0; y < c.natural.height(); ++y)
                shrinker.addRow(y, row.data());
            const QImage out = shrinker.result();
            ASSERT_EQ(out.size(), picture::shrunkSize(c.natural, c.box));
            for (int y = 0; y < out.height(); ++y)
                for (int x = 0; x < out.width(); ++x)
                    ASSERT_EQ(out.pixel(x, y), colour)
                        << c.natural.width() << " x " << c.natural.height() << " into " << c.box.width()
                        << " x " << c.box.height() << ": pixel " << x << ", " << y << " of " << out.width()
                        << " x " << out.height();
        }
}

TEST(PictureLimits, WmfPlayerStaysWithinItsBudgets)
{
    enum : quint16 {
        SAVEDC = 0x001E,
        SELECTOBJECT = 0x012D,
        DELETEOBJECT = 0x01F0,
        SETWINDOWEXT = 0x020C,
        CREATEPENINDIRECT = 0x02FA,
        CREATEFONTINDIRECT = 0x02FB,
        CREATEBRUSHINDIRECT = 0x02FC,
        ELLIPSE = 0x0418,
        RECTANGLE = 0x041B,
        TEXTOUT = 0x0521,
    };
    TempFolder folder;
    const QSize box(521, 275);
    const QRect frame(0, 0, 64, 32);

    // A full table of 65,535 slots, 200,000 objects offered to it; then one
    // slot is freed and a red brush must land in it.
    WmfBuilder table;
    for (int i = 0; i < 200000; ++i)
        table.add(CREATEBRUSHINDIRECT, {0, colorLow(Qt::blue), colorHigh(Qt::blue), 0});
    table.add(DELETEOBJECT, {7})
        .add(CREATEBRUSHINDIRECT, {0, colorLow(Qt::red), colorHigh(Qt::red), 0})
        .add(SELECTOBJECT, {7})
        .add(RECTANGLE, {32, 64, 0, 0});
    QElapsedTimer timer;
    timer.start();
    const QImage red = loadPicture(folder.write("slots.wmf", table.bytes(frame, 96, 65535)), box);
    // A search of the whole table per object took over ten seconds here.
    EXPECT_LT(timer.elapsed(), 5000);
    EXPECT_EQ(red.pixelColor(260, 137), QColor(Qt::red));

    // Two million SAVEDC records: each saved state used to be kept.
    WmfBuilder saves;
    for (int i = 0; i < 2000000; ++i)
        saves.add(SAVEDC, {});
    const QString savesPath = folder.write("saves.wmf", saves.bytes(frame));
    const long extra = extraPeakMb([&] { loadPicture(savesPath, box); });
    EXPECT_GE(extra, 0);
    EXPECT_LT(extra, 150) << "MB beyond the file for 2,000,000 SAVEDC records";

    // Thousands of box-filling shapes ask for more work than a picture needs.
    WmfBuilder heavy;
    for (int i = 0; i < 5000; ++i)
        heavy.add(RECTANGLE, {32, 64, 0, 0});
    EXPECT_EQ(failureOf([&] { return loadPicture(folder.write("heavy.wmf", heavy.bytes(frame)), box); }),
              QStringLiteral("WMF 图元文件的绘图量太大，无法显示。"));

    // A dashed pen 1538 units wide around a small ellipse, and a font whose
    // height times the window's scale is beyond an int: both are drawn
    // clamped to the device (without undefined behaviour in the rounding).
    const QByteArray font =
        WmfBuilder::words({15348, 0, 0, 0, 400, 0, 0, 0, 0}) + QByteArray("Arial\0\0\0", 8);
    const QByteArray text = WmfBuilder::words({2}) + "Hi" + WmfBuilder::words({5, 5});
    const QByteArray odd = WmfBuilder()
                               .add(CREATEPENINDIRECT, {1, 1538, 0, 0, 0})
                               .add(SELECTOBJECT, {0})
                               .add(ELLIPSE, {20, 20, 4, 4})
                               .add(SETWINDOWEXT, {-2, -19713})
                               .add(CREATEFONTINDIRECT, font)
                               .add(SELECTOBJECT, {1})
                               .add(TEXTOUT, text)
                               .bytes(QRect(0, 0, 40, 40));
    EXPECT_EQ(loadPicture(folder.write("odd.wmf", odd), box).size(), box);
}

TEST(ImageBox, KeepsALargePictureAtMostTwiceItsSizeAndASmallOneAsGiven)
{
    ImageBox box;
    box.resize(100, 50);
    box.setPicture(quadrants(3000, 2000));
    EXPECT_LE(box.picture().width(), 200);
    EXPECT_LE(box.picture().height(), 100);
    expectQuadrants(box.grab().toImage(), "painted");

    const QImage small = quadrants(64, 32);
    box.setPicture(small);
    EXPECT_EQ(box.picture().cacheKey(), small.cacheKey()) << "a small picture is copied";
}

// The viewer asks the decoders for the detail its zoom needs: a JPEG at the
// scale that covers the view and whole at 1:1, a metafile drawn at the size
// shown, a picture beyond the viewer's limit at the largest size within it,
// with a note saying so.
TEST(PictureLimits, ViewerDecodesForItsZoomWithinItsLimits)
{
    TempFolder folder;
    const QImage photo = quadrants(4000, 3000);
    const QByteArray jpeg = jpegBytes(photo);
    writeEmfRedBlue(folder.file("redblue.emf"));
    const struct
    {
        const char* name;
        QByteArray bytes;
        double scale;
        QSize natural, image;
        bool noted, quarters;
    } cases[] = {
        {"fitted.jpg", jpeg, 0.3, {4000, 3000}, {1500, 1125}, false, true},
        {"whole.jpg", jpeg, 1.0, {4000, 3000}, {4000, 3000}, false, true},
        {"past-whole.jpg", jpeg, 4.0, {4000, 3000}, {4000, 3000}, false, true},
        {"portrait.jpg", jpegBytes(quadrants(400, 300), 6), 2.0, {300, 400}, {300, 400}, false, false},
        {"huge.tif", tiffG4White(14000, 14000), 1.0, {14000, 14000}, {7000, 7000}, true, false},
        {"redblue.emf", QByteArray(), 4.0, {}, {}, false, false},
    };
    for (const auto& c : cases) {
        const QString path = c.bytes.isEmpty() ? folder.file(c.name) : folder.write(c.name, c.bytes);
        ViewedPicture picture(path);
        const QSize natural = c.natural.isEmpty() ? picture.naturalSize() : c.natural;
        EXPECT_EQ(picture.naturalSize(), natural) << c.name;
        picture.prepare(c.scale);
        const QSize want = c.image.isEmpty() ? natural * c.scale : c.image;
        EXPECT_EQ(picture.image().size(), want)
            << c.name << " decoded " << picture.image().width() << " x " << picture.image().height();
        EXPECT_LE(qint64(picture.image().width()) * picture.image().height(), ViewedPicture::kMaxPixels)
            << c.name;
        EXPECT_EQ(!picture.note().isEmpty(), c.noted) << c.name << ": " << picture.note().toStdString();
        if (c.quarters)
            expectQuadrants(picture.image(), c.name);
    }
}
