// Times JPEG decoding for an image box: a 12-megapixel photo shown in the
// program's 521 × 275 box against the same photo decoded at full size.
#include "util/picture/PictureLoader.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

// Smooth gradients, shapes and sensor-like noise: close enough to a photo
// for the entropy decoder to do a photo's work.
QImage photoLike(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient sky(0, 0, width, height);
    sky.setColorAt(0, QColor(90, 140, 200));
    sky.setColorAt(1, QColor(230, 200, 150));
    painter.fillRect(image.rect(), sky);
    QRandomGenerator random(7);
    for (int i = 0; i < 300; ++i) {
        painter.setBrush(
            QColor::fromHsv(random.bounded(360), 120 + random.bounded(100), 80 + random.bounded(170)));
        painter.setPen(Qt::NoPen);
        painter.drawEllipse(QPoint(random.bounded(width), random.bounded(height)), random.bounded(20, 300),
                            random.bounded(20, 300));
    }
    painter.end();
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int n = int(random.bounded(25)) - 12;
            const QRgb p = row[x];
            row[x] = qRgb(qBound(0, qRed(p) + n, 255), qBound(0, qGreen(p) + n, 255),
                          qBound(0, qBlue(p) + n, 255));
        }
    }
    return image;
}

struct Figures
{
    double median, fastest;
    QSize size;
};

Figures timeRuns(int runs, const std::function<QImage()>& decode)
{
    std::vector<double> ms;
    QSize size;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        size = decode().size();
        ms.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms.front(), size};
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int runs = 9;
    QTemporaryDir folder;
    const QString path = folder.filePath("00001.jpg");
    if (!photoLike(4000, 3000).save(path, "JPG", 90)) {
        std::fprintf(stderr, "cannot write the test photo\n");
        return 1;
    }
    const QSize box(521, 275);
    struct Case
    {
        const char* name;
        std::function<QImage()> decode;
    } cases[] = {
        {"loadPicture, 521 x 275 box", [&] { return qb::loadPicture(path, box); }},
        {"loadPicture, full size", [&] { return qb::loadPicture(path); }},
    };
    std::printf("4000 x 3000 JPEG (%lld bytes), %d runs each\n\n",
                static_cast<long long>(QFileInfo(path).size()), runs);
    std::printf("%-30s %12s %12s %12s\n", "case", "output", "median ms", "fastest ms");
    for (const Case& c : cases) {
        const Figures f = timeRuns(runs, c.decode);
        const QString output = QStringLiteral("%1 x %2").arg(f.size.width()).arg(f.size.height());
        std::printf("%-30s %12s %12.1f %12.1f\n", c.name, qPrintable(output), f.median, f.fastest);
    }
    return 0;
}
