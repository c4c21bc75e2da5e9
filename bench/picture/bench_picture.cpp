// Time and peak memory of showing one picture in an image box, per file.
//
//   bench_picture [--only <text>] [folder...]
//
// writes a set of genuine large pictures (phone and camera photos, A4 scans,
// big metafiles) to a temporary folder, adds the files of every folder given,
// and shows each one in a 521 x 275 image box in a fresh process of its own,
// so that each peak is the whole program's for that one picture: the
// decoder, the image box and the painting. Each file is shown three times;
// the figures printed are the median wall time from the load to the painted
// box and the largest peak resident memory of the process (VmHWM; in
// brackets, of the EMF converter it started, if any).
//
//   bench_picture --one <file> <width> <height>
//
// is that child process.
//
//   bench_picture --viewer
//
// measures the picture viewer instead: a 12 MP JPEG opened fitted to a
// 1280 x 900 window beside djpeg at the same scale as a whole process, the
// switch to 1:1 beside a full djpeg, the peak memory beside the decoded
// picture's bytes, and an EMF and a WMF zoomed to 400 %.
#include "controls/ImageBox.h"
#include "picture/PictureLoader.h"
#include "picture/ViewGeometry.h"
#include "picture/ViewedPicture.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <jpeglib.h>
#include <sys/resource.h>
#include <tiffio.h>
#include <vector>

namespace {

const QSize box(521, 275);

// ---- genuine pictures, written row by row so that the bench itself stays small

// One row of a photo: smooth gradients, a few soft shapes and sensor-like
// noise, enough for the entropy decoder to do a photo's work.
void photoRow(int y, int width, int height, QRandomGenerator& random, unsigned char* rgb)
{
    for (int x = 0; x < width; ++x) {
        const double u = double(x) / width, v = double(y) / height;
        const double wave = std::sin(u * 17 + v * 5) * std::cos(v * 11 - u * 3);
        const int n = int(random.bounded(25)) - 12;
        rgb[3 * x] = uchar(qBound(0, int(90 + 140 * u + 30 * wave) + n, 255));
        rgb[3 * x + 1] = uchar(qBound(0, int(140 + 60 * v - 40 * wave) + n, 255));
        rgb[3 * x + 2] = uchar(qBound(0, int(200 - 50 * u * v + 50 * wave) + n, 255));
    }
}

// One row of a scanned page: paper with a little grain and lines of text.
void scanRow(int y, int width, QRandomGenerator& random, unsigned char* rgb)
{
    const bool textLine = (y / 60) % 2 == 1 && y % 60 > 10;
    for (int x = 0; x < width; ++x) {
        int value = 246 + int(random.bounded(6));
        if (textLine && x > 400 && x < width - 400 && (x / 7 + y / 5) % 5 < 2 && (x / 180) % 4 != 3)
            value = 30 + int(random.bounded(20));
        rgb[3 * x] = rgb[3 * x + 1] = uchar(value);
        rgb[3 * x + 2] = uchar(qMax(0, value - 6));
    }
}

bool writeJpeg(const QString& path, int width, int height)
{
    FILE* out = std::fopen(QFile::encodeName(path).constData(), "wb");
    if (!out)
        return false;
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, out);
    cinfo.image_width = JDIMENSION(width);
    cinfo.image_height = JDIMENSION(height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 90, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<unsigned char> row(size_t(width) * 3);
    QRandomGenerator random(7);
    for (int y = 0; y < height; ++y) {
        photoRow(y, width, height, random, row.data());
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return std::fclose(out) == 0;
}

bool writeTiff(const QString& path, int width, int height)
{
    TIFF* tif = TIFFOpen(QFile::encodeName(path).constData(), "w");
    if (!tif)
        return false;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(width));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(height));
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 16);
    TIFFSetField(tif, TIFFTAG_XRESOLUTION, 600.0);
    TIFFSetField(tif, TIFFTAG_YRESOLUTION, 600.0);
    std::vector<unsigned char> row(size_t(width) * 3);
    QRandomGenerator random(11);
    for (int y = 0; y < height; ++y) {
        scanRow(y, width, random, row.data());
        if (TIFFWriteScanline(tif, row.data(), uint32_t(y), 0) < 0) {
            TIFFClose(tif);
            return false;
        }
    }
    TIFFClose(tif);
    return true;
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

QByteArray bmpHeader(int width, int height, int bits, int compression, qint64 dataBytes, int colors)
{
    const qint64 offset = 14 + 40 + 4 * colors;
    QByteArray h("BM");
    put32(h, offset + dataBytes);
    put32(h, 0);
    put32(h, offset);
    put32(h, 40);
    put32(h, width);
    put32(h, height);
    put16(h, 1);
    put16(h, bits);
    put32(h, compression);
    put32(h, dataBytes);
    put32(h, 23622); // 600 dpi
    put32(h, 23622);
    put32(h, colors);
    put32(h, 0);
    for (int i = 0; i < colors; ++i)
        put32(h, qint64(i) * 0x010101);
    return h;
}

bool writeBmp24(const QString& path, int width, int height)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const qint64 stride = (qint64(width) * 3 + 3) / 4 * 4;
    file.write(bmpHeader(width, height, 24, 0, stride * height, 0));
    QByteArray row(stride, '\0');
    QRandomGenerator random(13);
    for (int y = height - 1; y >= 0; --y) {
        scanRow(y, width, random, reinterpret_cast<unsigned char*>(row.data()));
        file.write(row);
    }
    return file.error() == QFileDevice::NoError;
}

// A grey scan compressed with RLE8: runs of paper and ink, about 1.5 MB for
// an A4 page at 600 dpi.
bool writeBmpRle8(const QString& path, int width, int height)
{
    QByteArray data;
    QRandomGenerator random(17);
    for (int y = 0; y < height; ++y) {
        int x = 0;
        bool ink = false;
        while (x < width) {
            const int run = qMin(width - x, int(ink ? random.bounded(8, 40) : random.bounded(20, 90)));
            data.append(char(run)).append(char(ink ? 20 + random.bounded(30) : 240 + random.bounded(10)));
            x += run;
            ink = !ink;
        }
        data.append('\0').append('\0');
    }
    data.append('\0').append('\1');
    QFile file(path);
    return file.open(QIODevice::WriteOnly) &&
           file.write(bmpHeader(width, height, 8, 1, data.size(), 256)) > 0 &&
           file.write(data) == data.size();
}

// A placeable metafile: header, the records, the end record.
bool writeWmf(const QString& path, quint16 objects, const std::function<void(QByteArray&)>& records)
{
    QByteArray body;
    records(body);
    put32(body, 3);
    put16(body, 0); // EOF
    QByteArray file;
    put32(file, 0x9AC6CDD7);
    put16(file, 0);
    for (int v : {0, 0, 2000, 1000, 96})
        put16(file, v);
    put32(file, 0);
    put16(file, 0); // checksum, not checked
    put16(file, 1);
    put16(file, 9);
    put16(file, 0x0300);
    put32(file, (18 + body.size()) / 2);
    put16(file, objects);
    put32(file, 16);
    put16(file, 0);
    QFile out(path);
    return out.open(QIODevice::WriteOnly) && out.write(file + body) == file.size() + body.size();
}

// SAVEDC records without end, `megabytes` of them.
bool writeSaveDcWmf(const QString& path, int megabytes)
{
    return writeWmf(path, 8, [=](QByteArray& b) {
        b.reserve(qsizetype(megabytes) * 1000 * 1000);
        for (int i = 0; i < megabytes * 1000 * 1000 / 6; ++i) {
            put32(b, 3);
            put16(b, 0x001E); // SAVEDC
        }
    });
}

// An enhanced metafile of a 2000 x 1000 frame: header, `body` holding
// `records` records, the end record.
bool writeEmf(const QString& path, QByteArray body, int records)
{
    for (quint32 v : {14u, 20u, 0u, 16u, 20u}) // EOF
        put32(body, v);
    QByteArray file;
    put32(file, 1); // HEADER
    put32(file, 88);
    for (int v : {0, 0, 1999, 999, 0, 0, 52900, 26450})
        put32(file, v);
    put32(file, 0x464D4520);
    put32(file, 0x10000);
    put32(file, 88 + body.size());
    put32(file, records + 2);
    put16(file, 1);
    put16(file, 0);
    for (int v : {0, 0, 0, 1024, 768, 270, 203})
        put32(file, v);
    QFile out(path);
    return out.open(QIODevice::WriteOnly) && out.write(file + body) == file.size() + body.size();
}

// `lines` line segments, each a MOVETOEX and a LINETO.
bool writeEmfLines(const QString& path, int lines)
{
    QByteArray body;
    body.reserve(qsizetype(lines) * 32);
    QRandomGenerator random(13);
    for (int i = 0; i < lines; ++i) {
        for (int type : {27, 54}) { // MOVETOEX, LINETO
            put32(body, type);
            put32(body, 16);
            put32(body, random.bounded(2000));
            put32(body, random.bounded(1000));
        }
    }
    return writeEmf(path, body, 2 * lines);
}

// One POLYLINE16 record of `points` points zigzagging across the frame.
bool writeEmfPolyline(const QString& path, int points)
{
    QByteArray body;
    put32(body, 87); // POLYLINE16
    put32(body, 28 + 4 * points);
    for (int v : {0, 0, 1999, 999})
        put32(body, v);
    put32(body, points);
    QRandomGenerator random(17);
    for (int i = 0; i < points; ++i) {
        put16(body, int(random.bounded(2000)));
        put16(body, int(random.bounded(1000)));
    }
    return writeEmf(path, body, 1);
}

struct Genuine
{
    const char* name;
    std::function<bool(const QString&)> write;
};

std::vector<Genuine> genuinePictures()
{
    return {
        {"phone-12mp.jpg", [](const QString& p) { return writeJpeg(p, 4000, 3000); }},
        {"camera-100mp.jpg", [](const QString& p) { return writeJpeg(p, 12240, 8160); }},
        {"scan-a4-600dpi.tif", [](const QString& p) { return writeTiff(p, 5000, 7000); }},
        {"scan-a4-600dpi.bmp", [](const QString& p) { return writeBmp24(p, 5000, 7000); }},
        {"scan-a4-rle8.bmp", [](const QString& p) { return writeBmpRle8(p, 5000, 7000); }},
        {"object-slots.wmf",
         [](const QString& p) {
             return writeWmf(p, 65535, [](QByteArray& b) {
                 for (int i = 0; i < 200000; ++i) {
                     put32(b, 7);
                     put16(b, 0x02FC); // CREATEBRUSHINDIRECT
                     put16(b, 0);
                     put32(b, i & 0xFFFFFF);
                     put16(b, 0);
                 }
             });
         }},
        {"savedc-20mb.wmf", [](const QString& p) { return writeSaveDcWmf(p, 20); }},
        {"savedc-60mb.wmf", [](const QString& p) { return writeSaveDcWmf(p, 60); }},
        {"lines-2k.emf", [](const QString& p) { return writeEmfLines(p, 2000); }},
        {"lines-9990.emf", [](const QString& p) { return writeEmfLines(p, 9990); }},
        {"lines-20k.emf", [](const QString& p) { return writeEmfLines(p, 20000); }},
        {"polyline-512kb.emf", [](const QString& p) { return writeEmfPolyline(p, 130000); }},
        {"lines-100k.emf", [](const QString& p) { return writeEmfLines(p, 100000); }},
        {"lines-500k.emf", [](const QString& p) { return writeEmfLines(p, 500000); }},
    };
}

// ---- one picture in one process

int showOne(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString path = QString::fromLocal8Bit(argv[2]);
    const QSize size(atoi(argv[3]), atoi(argv[4]));
    ImageBox imageBox;
    imageBox.resize(size);
    QString outcome = QStringLiteral("shown");
    QElapsedTimer timer;
    timer.start();
    try {
        imageBox.setPicture(qb::loadPicture(path, imageBox.size()));
        // grab() paints the box the way the screen would.
        (void)imageBox.grab();
    } catch (const qb::PictureError& e) {
        outcome = e.message().simplified();
    }
    const double ms = timer.nsecsElapsed() / 1e6;
    // The peak of this process's own memory: getrusage() would report the
    // parent's peak as well, which an exec'd child inherits. For the
    // converter only getrusage() is left, so its figure is an upper bound.
    long peakKb = 0;
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("VmHWM:"))
                peakKb = line.mid(6).trimmed().split(' ').value(0).toLong();
        }
    }
    rusage children{};
    getrusage(RUSAGE_CHILDREN, &children);
    const QSize kept = imageBox.picture().size();
    std::printf("%.1f\t%ld\t%ld\t%dx%d\t%s\n", ms, peakKb / 1024, children.ru_maxrss / 1024, kept.width(),
                kept.height(), outcome.toUtf8().constData());
    return 0;
}

// ---- the viewer

long peakOfThisProcessMb(const char* field = "VmHWM:")
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly))
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith(field))
                return line.mid(int(qstrlen(field))).trimmed().split(' ').value(0).toLong() / 1024;
    return 0;
}

// In a process of its own: opens the picture fitted to the window as the
// viewer does (decoded for the view and scaled to the size shown), then
// zooms to `zoom` (0: stay fitted). Prints the times, the scale libjpeg
// used in eighths, the peaks and what the viewer says.
int viewOne(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString path = QString::fromLocal8Bit(argv[2]);
    const double zoom = atof(argv[3]);
    const QSize window(1280, 900);
    const long before = peakOfThisProcessMb("VmRSS:");
    QString outcome = QStringLiteral("shown");
    double openMs = 0, zoomMs = 0;
    int eighths = 0;
    QElapsedTimer timer;
    timer.start();
    try {
        qb::ViewedPicture picture(path);
        const double fit = qb::view::fitScale(picture.naturalSize(), 0, window);
        picture.prepare(fit);
        const QSize shown = qb::view::shownSize(picture.naturalSize(), 0, fit);
        (void)picture.image().scaled(shown, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        openMs = timer.nsecsElapsed() / 1e6;
        eighths = int(std::lround(8.0 * picture.image().width() / picture.naturalSize().width()));
        if (zoom > 0) {
            timer.restart();
            picture.prepare(zoom);
            zoomMs = timer.nsecsElapsed() / 1e6;
            if (!picture.note().isEmpty())
                outcome = picture.note().simplified();
        }
        outcome += QStringLiteral(" (%1 x %2)").arg(picture.image().width()).arg(picture.image().height());
    } catch (const qb::PictureError& e) {
        outcome = e.message().simplified();
    }
    std::printf("%.1f\t%.1f\t%d\t%ld\t%ld\t%s\n", openMs, zoomMs, eighths, peakOfThisProcessMb(), before,
                outcome.toUtf8().constData());
    return 0;
}

// Median wall time of a whole process, in ms; negative when it failed.
double processMs(const QString& program, const QStringList& arguments, int runs = 5)
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        QProcess process;
        process.setStandardOutputFile(QProcess::nullDevice());
        QElapsedTimer timer;
        timer.start();
        process.start(program, arguments);
        if (!process.waitForFinished(60000) || process.exitCode() != 0)
            return -1;
        ms.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

// Medians over fresh processes of viewOne's figures.
QStringList viewMedians(const QString& file, double zoom, int runs = 5)
{
    std::vector<double> open, zoomed;
    QStringList last;
    for (int i = 0; i < runs; ++i) {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {"--view", file, QString::number(zoom)});
        child.waitForFinished(120000);
        last = QString::fromUtf8(child.readAllStandardOutput()).trimmed().split(u'\t');
        if (last.size() < 6)
            return {};
        open.push_back(last[0].toDouble());
        zoomed.push_back(last[1].toDouble());
    }
    std::sort(open.begin(), open.end());
    std::sort(zoomed.begin(), zoomed.end());
    last[0] = QString::number(open[open.size() / 2], 'f', 1);
    last[1] = QString::number(zoomed[zoomed.size() / 2], 'f', 1);
    return last;
}

bool writeWmfDrawing(const QString& path)
{
    // A ruled form: 200 lines and 200 boxes.
    return writeWmf(path, 8, [](QByteArray& b) {
        const auto record = [&b](quint16 function, std::initializer_list<int> params) {
            put32(b, 3 + qint64(params.size()));
            put16(b, function);
            for (int p : params)
                put16(b, p);
        };
        for (int i = 0; i < 200; ++i) {
            record(0x0214, {10 + i * 5, 10});                                 // MOVETO y, x
            record(0x0213, {10 + i * 5, 990});                                // LINETO y, x
            record(0x041B, {14 + i * 5, 60 + i * 4, 11 + i * 5, 20 + i * 4}); // RECTANGLE b, r, t, l
        }
    });
}

int benchViewer()
{
    QTemporaryDir folder;
    const QString jpeg = folder.filePath(QStringLiteral("phone-12mp.jpg"));
    const QString emf = folder.filePath(QStringLiteral("lines-2k.emf"));
    const QString wmf = folder.filePath(QStringLiteral("form-600.wmf"));
    if (!writeJpeg(jpeg, 4000, 3000) || !writeEmfLines(emf, 2000) || !writeWmfDrawing(wmf)) {
        std::fprintf(stderr, "cannot write the pictures\n");
        return 1;
    }
    const QString djpeg = QStandardPaths::findExecutable(QStringLiteral("djpeg"));
    std::printf("the viewer, each figure the median of 5 fresh processes, a 1280 x 900 window\n\n");
    std::printf("%-44s %10s %12s %8s  %s\n", "what", "ms", "floor ms", "ratio", "floor");
    const QStringList fitted = viewMedians(jpeg, 1.0);
    if (fitted.isEmpty()) {
        std::fprintf(stderr, "the viewer's child process gave no answer\n");
        return 1;
    }
    const int eighths = fitted[2].toInt();
    const auto row = [&](const char* what, double ms, double floor, const QString& floorName) {
        if (floor > 0)
            std::printf("%-44s %10.1f %12.1f %8.2f  %s\n", what, ms, floor, ms / floor,
                        qPrintable(floorName));
        else
            std::printf("%-44s %10.1f %12s %8s  %s\n", what, ms, "-", "-",
                        "djpeg not found (libjpeg-turbo-progs)");
    };
    const double scaledFloor =
        djpeg.isEmpty() ? -1
                        : processMs(djpeg, {"-scale", QStringLiteral("%1/8").arg(eighths), "-bmp", jpeg});
    const double fullFloor = djpeg.isEmpty() ? -1 : processMs(djpeg, {"-bmp", jpeg});
    row("12 MP JPEG opened fitted", fitted[0].toDouble(), scaledFloor,
        QStringLiteral("djpeg -scale %1/8, whole process").arg(eighths));
    row("  then switched to 1:1", fitted[1].toDouble(), fullFloor, QStringLiteral("djpeg, whole process"));
    const long decodedMb = 4000L * 3000 * 4 >> 20;
    std::printf("%-44s %10ld %12ld %8.2f  %s\n", "  peak MB beyond the process's start",
                fitted[3].toLong() - fitted[4].toLong(), 2 * decodedMb,
                double(fitted[3].toLong() - fitted[4].toLong()) / decodedMb,
                "goal: twice the decoded picture's bytes; ratio to the picture's bytes");
    for (const QString& file : {emf, wmf}) {
        const QStringList zoomed = viewMedians(file, 4.0);
        if (zoomed.isEmpty())
            continue;
        std::printf("%-44s %10s %12s %8s  %s\n",
                    qPrintable(QFileInfo(file).fileName() + QStringLiteral(" zoomed to 400 %")),
                    qPrintable(zoomed[1]), "1000.0", "-", qPrintable(QStringLiteral("limit; ") + zoomed[5]));
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 5 && qstrcmp(argv[1], "--one") == 0)
        return showOne(argc, argv);
    if (argc == 4 && qstrcmp(argv[1], "--view") == 0)
        return viewOne(argc, argv);
    if (argc == 2 && qstrcmp(argv[1], "--viewer") == 0) {
        QCoreApplication app(argc, argv);
        return benchViewer();
    }

    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    // --only <text>: just the pictures whose names hold it.
    QString only;
    if (args.size() >= 2 && args[0] == u"--only") {
        only = args[1];
        args = args.mid(2);
    }
    QTemporaryDir folder;
    QStringList files;
    for (const Genuine& g : genuinePictures()) {
        if (!QString::fromLatin1(g.name).contains(only))
            continue;
        const QString path = folder.filePath(QString::fromLatin1(g.name));
        if (!g.write(path)) {
            std::fprintf(stderr, "cannot write %s\n", g.name);
            return 1;
        }
        files << path;
    }
    for (const QString& arg : args) {
        const QDir dir(arg);
        for (const QFileInfo& info : dir.entryInfoList(QDir::Files, QDir::Name)) {
            if (info.suffix().toLower() != u"md" && info.fileName().contains(only))
                files << info.filePath();
        }
    }

    // The machine may be busy: each file is shown three times, each time in
    // a fresh process; the median time and the largest peak are printed.
    constexpr int runs = 3;
    std::printf("each picture %d times, each in a fresh process, shown in a %d x %d image box\n\n", runs,
                box.width(), box.height());
    std::printf("%-30s %10s %10s %9s %12s  %s\n", "file", "bytes", "median ms", "peak MB", "box keeps",
                "outcome");
    for (const QString& file : files) {
        std::vector<double> ms;
        long peak = 0, converterPeak = 0;
        QStringList last;
        for (int run = 0; run < runs; ++run) {
            QProcess child;
            child.start(QCoreApplication::applicationFilePath(),
                        {"--one", file, QString::number(box.width()), QString::number(box.height())});
            QString line;
            if (!child.waitForFinished(120000)) {
                child.kill();
                child.waitForFinished();
                line = QStringLiteral("120000\t0\t0\t-\tno answer within 120 s");
            } else if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0) {
                line = QStringLiteral("0\t0\t0\t-\tcrashed (exit %1)").arg(child.exitCode());
            } else {
                line = QString::fromUtf8(child.readAllStandardOutput()).trimmed();
            }
            last = line.split(u'\t');
            if (last.size() < 5)
                break;
            ms.push_back(last[0].toDouble());
            peak = qMax(peak, last[1].toLong());
            converterPeak = qMax(converterPeak, last[2].toLong());
        }
        if (last.size() < 5) {
            std::printf("%-30s unreadable answer: %s\n", qPrintable(QFileInfo(file).fileName()),
                        qPrintable(last.join(u' ')));
            continue;
        }
        std::sort(ms.begin(), ms.end());
        // The converter runs beside the program, in brackets.
        const QString peaks = converterPeak == 0 ? QString::number(peak)
                                                 : QStringLiteral("%1 (+%2)").arg(peak).arg(converterPeak);
        std::printf("%-30s %10lld %10.1f %9s %12s  %s\n", qPrintable(QFileInfo(file).fileName()),
                    static_cast<long long>(QFileInfo(file).size()), ms[ms.size() / 2], qPrintable(peaks),
                    qPrintable(last[3]), last.mid(4).join(u' ').toUtf8().constData());
        std::fflush(stdout);
    }
    return 0;
}
