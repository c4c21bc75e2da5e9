// The viewer's geometry: whatever the picture, window and turn, the fitted
// picture keeps its proportions within a pixel and lies inside the window.
#include "picture/ViewGeometry.h"

#include <QRect>
#include <cmath>
#include <gtest/gtest.h>
#include <random>

using namespace qb;

TEST(ViewGeometry, FittedPictureKeepsItsProportionsAndLiesInsideTheWindow)
{
    std::mt19937 random(20261210);
    const auto side = [&](int most) {
        // Mostly ordinary sizes, some extreme ones (a till slip 20,000 high).
        return std::uniform_int_distribution<int>(1, random() % 4 ? 4000 : most)(random);
    };
    for (int i = 0; i < 20000; ++i) {
        const QSize natural(side(30000), side(30000)), window(side(5000), side(5000));
        const int turns = std::uniform_int_distribution<int>(-5, 5)(random);
        const double scale = view::fitScale(natural, turns, window);
        const QSize shown = view::shownSize(natural, turns, scale);
        const QSize upright = view::turned(natural, turns);
        const std::string what = std::to_string(natural.width()) + "x" + std::to_string(natural.height()) +
                                 " turned " + std::to_string(turns) + " into " +
                                 std::to_string(window.width()) + "x" + std::to_string(window.height()) +
                                 " shows " + std::to_string(shown.width()) + "x" +
                                 std::to_string(shown.height());
        ASSERT_LE(std::abs(shown.width() - upright.width() * scale), 1.0) << what;
        ASSERT_LE(std::abs(shown.height() - upright.height() * scale), 1.0) << what;
        // Inside the window, and touching it on one axis (or as small as a pixel).
        const QRect placed(view::placement(shown, window, QPoint()), shown);
        ASSERT_TRUE(QRect(QPoint(), window).contains(placed) || shown.width() == 1 || shown.height() == 1)
            << what;
        ASSERT_TRUE(shown.width() >= window.width() - 1 || shown.height() >= window.height() - 1) << what;
        // The transform puts the decoded picture's corners onto the shown rectangle.
        const QRectF mapped = view::pictureTransform(QSizeF(natural) / 3, turns, QSizeF(shown))
                                  .mapRect(QRectF(QPointF(), QSizeF(natural) / 3));
        ASSERT_LE(std::abs(mapped.left()) + std::abs(mapped.top()) +
                      std::abs(mapped.width() - shown.width()) + std::abs(mapped.height() - shown.height()),
                  1e-6 * (shown.width() + shown.height()))
            << what;
    }
}
