#pragma once

#include <QPoint>
#include <QSize>
#include <QSizeF>
#include <QTransform>

// Where the picture viewer puts a picture: fitted to the window, zoomed,
// turned by quarter turns. Sizes are in the same pixels throughout (the
// viewer passes device pixels); `natural` is the picture's own size, upright
// as the decoders give it, before any turn.
namespace qb::view {

constexpr double kMinZoom = 0.02;
constexpr double kMaxZoom = 16.0;

// Quarter turns clockwise, kept in 0..3 (negative turns count backwards).
int normalTurns(int quarterTurns);

// The picture's size once turned.
QSize turned(QSize natural, int quarterTurns);

// The scale at which the turned picture fits the window whole, proportions kept.
double fitScale(QSize natural, int quarterTurns, QSize window);

// The size the turned picture takes at `scale`, each side rounded to the
// nearest pixel and at least one.
QSize shownSize(QSize natural, int quarterTurns, double scale);

// The size the picture must be decoded at (not turned) to be shown at
// `scale`: never more than its own size unless `scalable` (a metafile,
// drawn at any size).
QSize decodeSize(QSize natural, double scale, bool scalable);

// `wanted` shrunk with its proportions kept until it has at most
// `maxPixels` pixels and no side longer than `maxSide`.
QSize capped(QSize wanted, qint64 maxPixels, int maxSide);

// The next zoom step in or out from `scale`, within kMinZoom..kMaxZoom.
double zoomedIn(double scale);
double zoomedOut(double scale);

// The shown picture's top left corner in a viewport: centred on an axis
// where it is smaller than the viewport, moved by the scroll offset where it
// is larger.
QPoint placement(QSize shown, QSize viewport, QPoint scroll);

// Maps a picture of `image` size onto the rectangle of size `shown` at the
// origin, turned by `quarterTurns`.
QTransform pictureTransform(QSizeF image, int quarterTurns, QSizeF shown);

} // namespace qb::view
