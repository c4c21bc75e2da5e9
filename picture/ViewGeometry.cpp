#include "picture/ViewGeometry.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace qb::view {

int normalTurns(int quarterTurns)
{
    return ((quarterTurns % 4) + 4) % 4;
}

QSize turned(QSize natural, int quarterTurns)
{
    return normalTurns(quarterTurns) % 2 ? natural.transposed() : natural;
}

double fitScale(QSize natural, int quarterTurns, QSize window)
{
    const QSize size = turned(natural, quarterTurns);
    if (size.isEmpty() || window.isEmpty())
        return 1.0;
    return std::min(double(window.width()) / size.width(), double(window.height()) / size.height());
}

namespace {
int scaledSide(int side, double scale)
{
    return int(std::clamp(std::lround(side * scale), 1L, long(std::numeric_limits<int>::max())));
}
} // namespace

QSize shownSize(QSize natural, int quarterTurns, double scale)
{
    const QSize size = turned(natural, quarterTurns);
    return QSize(scaledSide(size.width(), scale), scaledSide(size.height(), scale));
}

QSize decodeSize(QSize natural, double scale, bool scalable)
{
    if (!scalable)
        scale = std::min(scale, 1.0);
    // Rounded up, so that a decoder asked for at least this size never gives
    // a picture with a pixel less than the screen shows.
    const auto side = [scale](int n) { return int(std::max(1.0, std::ceil(n * scale - 1e-9))); };
    return QSize(side(natural.width()), side(natural.height()));
}

QSize capped(QSize wanted, qint64 maxPixels, int maxSide)
{
    if (wanted.isEmpty())
        return wanted;
    double factor = std::min({1.0, double(maxSide) / wanted.width(), double(maxSide) / wanted.height(),
                              std::sqrt(double(maxPixels) / (double(wanted.width()) * wanted.height()))});
    if (factor >= 1.0)
        return wanted;
    const auto side = [&](int n) { return std::max(1, int(std::floor(n * factor))); };
    return QSize(side(wanted.width()), side(wanted.height()));
}

double zoomedIn(double scale)
{
    return std::min(kMaxZoom, scale * 1.25);
}

double zoomedOut(double scale)
{
    return std::max(kMinZoom, scale / 1.25);
}

QPoint placement(QSize shown, QSize viewport, QPoint scroll)
{
    const auto axis = [](int picture, int view, int offset) {
        return picture <= view ? (view - picture) / 2 : -offset;
    };
    return QPoint(axis(shown.width(), viewport.width(), scroll.x()),
                  axis(shown.height(), viewport.height(), scroll.y()));
}

QTransform pictureTransform(QSizeF image, int quarterTurns, QSizeF shown)
{
    const int turns = normalTurns(quarterTurns);
    const QSizeF upright = turns % 2 ? shown.transposed() : shown;
    QTransform t;
    // Turn about the shown rectangle's centre, then scale the picture into it.
    t.translate(shown.width() / 2, shown.height() / 2);
    t.rotate(90.0 * turns);
    t.translate(-upright.width() / 2, -upright.height() / 2);
    t.scale(upright.width() / image.width(), upright.height() / image.height());
    return t;
}

} // namespace qb::view
