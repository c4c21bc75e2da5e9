// Draws every picture the program ships with: the start picture, the program
// icon and the button pictures. The pictures in assets/ are this tool's output;
// change the drawing here and regenerate rather than editing the files by hand,
// so that the pictures can always be rebuilt from source.

#include <QColor>
#include <QDir>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QRadialGradient>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace {

constexpr int StartWidth = 1920;
constexpr int StartHeight = 1184;

const QString CjkFamily = QStringLiteral("Noto Sans CJK SC");
const QString LatinFamily = QStringLiteral("DejaVu Sans");

QImage transparentImage(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// A canvas for a picture designed at width x height and drawn `scale` times
// as large: the drawing code works in design units, the painter's scale does
// the rest, so a high-density rendering has real detail instead of being a
// blown-up copy.
QImage scaledCanvas(int width, int height, qreal scale)
{
    return transparentImage(qRound(width * scale), qRound(height * scale));
}

// One horizontal and one vertical running-sum pass over premultiplied pixels.
// Three passes of this approximate a Gaussian closely enough that the eye
// cannot tell, at a fraction of the cost. Edges clamp, so a blurred picture
// does not darken towards its border.
void boxBlurPass(QImage& image, int radius)
{
    const int w = image.width();
    const int h = image.height();
    const int window = 2 * radius + 1;
    std::vector<QRgb> line(static_cast<size_t>(std::max(w, h)));

    auto blurLine = [&](auto pixelAt, int length) {
        for (int i = 0; i < length; ++i)
            line[static_cast<size_t>(i)] = pixelAt(i);
        int sum[4] = {0, 0, 0, 0};
        auto add = [&](QRgb p, int sign) {
            sum[0] += sign * qAlpha(p);
            sum[1] += sign * qRed(p);
            sum[2] += sign * qGreen(p);
            sum[3] += sign * qBlue(p);
        };
        auto at = [&](int i) { return line[static_cast<size_t>(std::clamp(i, 0, length - 1))]; };
        for (int i = -radius; i <= radius; ++i)
            add(at(i), 1);
        for (int i = 0; i < length; ++i) {
            pixelAt(i) = qRgba(sum[1] / window, sum[2] / window, sum[3] / window, sum[0] / window);
            add(at(i + radius + 1), 1);
            add(at(i - radius), -1);
        }
    };

    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        blurLine([row](int i) -> QRgb& { return row[i]; }, w);
    }
    auto* bits = reinterpret_cast<QRgb*>(image.bits());
    const qsizetype stride = image.bytesPerLine() / 4;
    for (int x = 0; x < w; ++x)
        blurLine([bits, stride, x](int i) -> QRgb& { return bits[i * stride + x]; }, h);
}

void blur(QImage& image, int radius, int passes = 3)
{
    if (image.format() != QImage::Format_ARGB32_Premultiplied)
        image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    for (int i = 0; i < passes; ++i)
        boxBlurPass(image, radius);
}

QFont font(const QString& family, qreal pixelSize, bool bold = false)
{
    QFont f(family);
    f.setPixelSize(std::max(1, static_cast<int>(std::lround(pixelSize))));
    f.setBold(bold);
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

// ---------------------------------------------------------------------------
// Start picture
// ---------------------------------------------------------------------------

struct Receipt
{
    QPointF centre;
    qreal angle;
    qreal width;
    qreal height;
    QString title;
    bool invoice;
};

// A paper outline whose bottom edge is torn off along a zigzag, the way a
// till roll is cut.
QPainterPath tornSheet(qreal width, qreal height, qreal tooth)
{
    QPainterPath path;
    path.moveTo(0, 0);
    path.lineTo(width, 0);
    path.lineTo(width, height - tooth);
    const int teeth = std::max(2, static_cast<int>(width / (2 * tooth)));
    const qreal step = width / teeth;
    for (int i = teeth; i > 0; --i) {
        path.lineTo((i - 0.5) * step, height);
        path.lineTo((i - 1) * step, height - tooth);
    }
    path.closeSubpath();
    return path;
}

void drawBarcode(QPainter& p, QRectF area, std::mt19937& rng)
{
    std::uniform_int_distribution<int> widths(1, 3);
    const qreal unit = area.width() / 150.0;
    qreal x = area.left();
    bool bar = true;
    while (x < area.right()) {
        const qreal w = widths(rng) * unit;
        if (bar)
            p.fillRect(QRectF(x, area.top(), std::min(w, area.right() - x), area.height()),
                       QColor(30, 30, 34));
        x += w;
        bar = !bar;
    }
}

void drawReceipt(QPainter& p, const Receipt& r, std::mt19937& rng)
{
    p.save();
    p.translate(r.centre);
    p.rotate(r.angle);
    p.translate(-r.width / 2, -r.height / 2);

    const QPainterPath sheet = tornSheet(r.width, r.height, r.width / 36);

    // A soft shadow under the paper lifts it off the ground.
    {
        const int pad = 60;
        QImage shadow =
            transparentImage(static_cast<int>(r.width) + 2 * pad, static_cast<int>(r.height) + 2 * pad);
        QPainter sp(&shadow);
        sp.setRenderHint(QPainter::Antialiasing);
        sp.translate(pad, pad);
        sp.fillPath(sheet, QColor(0, 40, 40, 120));
        sp.end();
        blur(shadow, 9);
        p.drawImage(QPointF(-pad + 14, -pad + 22), shadow);
    }

    QLinearGradient paper(0, 0, r.width, r.height);
    paper.setColorAt(0, QColor(255, 255, 252));
    paper.setColorAt(1, QColor(236, 236, 230));
    p.fillPath(sheet, paper);

    const QColor ink(48, 48, 56);
    const QColor faint(150, 150, 158);
    const qreal margin = r.width * 0.09;
    const qreal inner = r.width - 2 * margin;
    qreal y = r.height * 0.05;

    auto dashedRule = [&](qreal at) {
        QPen pen(faint, 3, Qt::DashLine);
        p.setPen(pen);
        p.drawLine(QPointF(margin, at), QPointF(r.width - margin, at));
    };

    if (r.invoice) {
        // Printed invoice forms carry their frame and heading in a blue-green ink.
        const QColor formInk(40, 120, 130);
        p.setPen(QPen(formInk, 4));
        p.setFont(font(CjkFamily, r.width * 0.13, true));
        p.drawText(QRectF(0, y, r.width, r.width * 0.18), Qt::AlignCenter, r.title);
        y += r.width * 0.2;
        p.drawLine(QPointF(r.width * 0.3, y), QPointF(r.width * 0.7, y));
        p.drawLine(QPointF(r.width * 0.3, y + 8), QPointF(r.width * 0.7, y + 8));
        y += r.width * 0.07;
    } else {
        p.setPen(ink);
        p.setFont(font(CjkFamily, r.width * 0.12, true));
        p.drawText(QRectF(0, y, r.width, r.width * 0.17), Qt::AlignCenter, r.title);
        y += r.width * 0.2;
    }

    p.setPen(ink);
    p.setFont(font(CjkFamily, r.width * 0.05));
    const QStringList header = {QStringLiteral("商户名称：青川文具店"),
                                QStringLiteral("日期：2023-06-18 14:32"), QStringLiteral("单号：NO.0028817")};
    for (const QString& line : header) {
        p.drawText(QRectF(margin, y, inner, r.width * 0.07), Qt::AlignLeft | Qt::AlignVCenter, line);
        y += r.width * 0.075;
    }
    y += r.width * 0.02;
    dashedRule(y);
    y += r.width * 0.04;
    p.setPen(ink);

    const QStringList items = {QStringLiteral("笔记本"), QStringLiteral("签字笔"), QStringLiteral("文件夹"),
                               QStringLiteral("打印纸"), QStringLiteral("订书机"), QStringLiteral("便签")};
    std::uniform_int_distribution<int> cents(150, 9800);
    int total = 0;
    const qreal rowHeight = r.width * 0.075;
    // Leave room below the items for the total, the payment line and the barcode.
    const qreal itemsEnd = r.height - r.width * 0.7;
    p.setPen(ink);
    for (int i = 0; y + rowHeight <= itemsEnd; ++i) {
        const int price = cents(rng);
        total += price;
        p.drawText(QRectF(margin, y, inner, rowHeight), Qt::AlignLeft | Qt::AlignVCenter,
                   items[i % items.size()]);
        p.drawText(QRectF(margin, y, inner * 0.55, rowHeight), Qt::AlignRight | Qt::AlignVCenter,
                   QStringLiteral("x%1").arg(1 + price % 3));
        p.drawText(QRectF(margin, y, inner, rowHeight), Qt::AlignRight | Qt::AlignVCenter,
                   QString::number(price / 100.0, 'f', 2));
        y += rowHeight;
    }
    y += r.width * 0.02;
    dashedRule(y);
    y += r.width * 0.04;
    p.setPen(ink);

    p.setFont(font(CjkFamily, r.width * 0.075, true));
    p.drawText(QRectF(margin, y, inner, r.width * 0.1), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("合计"));
    p.drawText(QRectF(margin, y, inner, r.width * 0.1), Qt::AlignRight | Qt::AlignVCenter,
               QStringLiteral("¥ %1").arg(QString::number(total / 100.0, 'f', 2)));
    y += r.width * 0.13;

    p.setFont(font(CjkFamily, r.width * 0.05));
    p.drawText(QRectF(margin, y, inner, r.width * 0.07), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("现金支付  找零 0.00"));
    y += r.width * 0.1;

    if (r.invoice) {
        // The red seal every Chinese invoice carries.
        const QRectF seal(r.width * 0.55, y - r.width * 0.42, r.width * 0.36, r.width * 0.24);
        p.setPen(QPen(QColor(205, 40, 40, 200), 5));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(seal);
        p.setFont(font(CjkFamily, r.width * 0.045, true));
        p.setPen(QColor(205, 40, 40, 200));
        p.drawText(seal, Qt::AlignCenter, QStringLiteral("发票专用章"));
    }

    const qreal barcodeHeight = r.width * 0.16;
    const QRectF barcode(margin + inner * 0.1, y, inner * 0.8, barcodeHeight);
    drawBarcode(p, barcode, rng);
    p.setPen(ink);
    p.setFont(font(LatinFamily, r.width * 0.04));
    p.drawText(QRectF(margin, barcode.bottom() + 4, inner, r.width * 0.06), Qt::AlignCenter,
               QStringLiteral("6 901234 567892"));

    p.restore();
}

QImage receiptScene()
{
    QImage scene(StartWidth, StartHeight, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&scene);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    QRadialGradient ground(StartWidth * 0.5, StartHeight * 0.45, StartWidth * 0.75);
    ground.setColorAt(0, QColor(64, 208, 200));
    ground.setColorAt(0.6, QColor(26, 170, 165));
    ground.setColorAt(1, QColor(10, 110, 112));
    p.fillRect(scene.rect(), ground);

    std::mt19937 rng(20230618);
    const std::vector<Receipt> receipts = {
        {{230, 300}, -16, 330, 760, QStringLiteral("收据"), false},
        {{700, 250}, 6, 320, 700, QStringLiteral("发票"), true},
        {{1230, 330}, -5, 340, 820, QStringLiteral("收据"), false},
        {{1700, 290}, 14, 320, 720, QStringLiteral("发票"), true},
        {{430, 900}, 9, 340, 760, QStringLiteral("发票"), true},
        {{960, 860}, -11, 330, 740, QStringLiteral("收据"), false},
        {{1500, 900}, 4, 340, 800, QStringLiteral("收据"), false},
        {{1880, 980}, -20, 320, 700, QStringLiteral("发票"), true},
        {{-20, 900}, 18, 320, 720, QStringLiteral("收据"), false},
    };
    for (const Receipt& r : receipts)
        drawReceipt(p, r, rng);
    p.end();
    return scene;
}

void drawTitle(QImage& image, const QString& title)
{
    QFont f = font(LatinFamily, 100, true);
    f.setLetterSpacing(QFont::PercentageSpacing, 96);
    // Size the lettering to a fixed share of the picture width, whatever the font.
    const qreal targetWidth = image.width() * 0.8;
    const qreal measured = QFontMetricsF(f).horizontalAdvance(title);
    f.setPixelSize(static_cast<int>(100 * targetWidth / measured));

    QPainterPath text;
    text.addText(0, 0, f, title);
    const QRectF bounds = text.boundingRect();
    text.translate(image.width() / 2.0 - bounds.center().x(), image.height() * 0.5 - bounds.center().y());

    // A dark halo behind the lettering keeps it readable over any part of the background.
    QImage shadow = transparentImage(image.width(), image.height());
    {
        QPainter sp(&shadow);
        sp.setRenderHint(QPainter::Antialiasing);
        sp.translate(8, 14);
        sp.setPen(QPen(QColor(0, 30, 35, 190), 26, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        sp.setBrush(QColor(0, 30, 35, 190));
        sp.drawPath(text);
    }
    blur(shadow, 12);

    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.drawImage(0, 0, shadow);

    p.setPen(QPen(Qt::white, 22, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::white);
    p.drawPath(text);

    const QRectF placed = text.boundingRect();
    QLinearGradient red(0, placed.top(), 0, placed.bottom());
    red.setColorAt(0, QColor(248, 62, 52));
    red.setColorAt(0.55, QColor(214, 18, 24));
    red.setColorAt(1, QColor(150, 6, 16));
    p.setPen(QPen(QColor(120, 0, 10), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(red);
    p.drawPath(text);

    // A gloss on the upper half of each letter.
    p.setClipPath(text);
    QLinearGradient gloss(0, placed.top(), 0, placed.center().y());
    gloss.setColorAt(0, QColor(255, 255, 255, 90));
    gloss.setColorAt(1, QColor(255, 255, 255, 0));
    p.fillRect(QRectF(placed.left(), placed.top(), placed.width(), placed.height() / 2), gloss);
}

QImage startPicture()
{
    const QImage sharp = receiptScene();

    // Blurring at a third of the size is nine times cheaper and, once scaled
    // back up smoothly, indistinguishable from blurring at full size.
    QImage small =
        sharp.scaled(StartWidth / 3, StartHeight / 3, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    blur(small, 2);
    QImage image = small.scaled(StartWidth, StartHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                       .convertToFormat(QImage::Format_ARGB32_Premultiplied);

    // Darken the corners so the eye goes to the middle.
    {
        QPainter p(&image);
        QRadialGradient vignette(StartWidth / 2.0, StartHeight / 2.0, StartWidth * 0.62);
        vignette.setColorAt(0, QColor(0, 0, 0, 0));
        vignette.setColorAt(0.65, QColor(0, 0, 0, 0));
        vignette.setColorAt(1, QColor(0, 20, 25, 110));
        p.fillRect(image.rect(), vignette);
    }

    drawTitle(image, QStringLiteral("TavrellQuillbox"));
    return image.convertToFormat(QImage::Format_RGB32);
}

// ---------------------------------------------------------------------------
// Program icon: an open golden cardboard box with a red gem in it
// ---------------------------------------------------------------------------

QPolygonF poly(std::initializer_list<QPointF> points)
{
    return QPolygonF(QList<QPointF>(points));
}

void fillShape(QPainter& p, const QPolygonF& shape, const QBrush& brush, const QColor& edge,
               qreal edgeWidth = 1.0)
{
    p.setPen(QPen(edge, edgeWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(brush);
    p.drawPolygon(shape);
}

QImage iconPicture(qreal scale = 1)
{
    QImage image = scaledCanvas(72, 72, scale);
    QPainter p(&image);
    p.scale(scale, scale);
    p.setRenderHint(QPainter::Antialiasing);

    const QColor edge(104, 62, 14);

    // Shadow on the ground.
    QRadialGradient ground(36, 66, 30);
    ground.setColorAt(0, QColor(0, 0, 0, 90));
    ground.setColorAt(1, QColor(0, 0, 0, 0));
    p.save();
    p.translate(36, 66);
    p.scale(1, 0.18);
    p.translate(-36, -66);
    p.setPen(Qt::NoPen);
    p.setBrush(ground);
    p.drawEllipse(QPointF(36, 66), 32, 32);
    p.restore();

    // Rim of the opening, seen slightly from above.
    const QPointF backLeft(17, 30), backRight(55, 30), frontRight(62, 39), frontLeft(10, 39);

    // Back flap: its inner face turned towards us.
    QLinearGradient backFlap(0, 9, 0, 30);
    backFlap.setColorAt(0, QColor(250, 214, 128));
    backFlap.setColorAt(1, QColor(214, 160, 62));
    fillShape(p, poly({backLeft, backRight, QPointF(52, 9), QPointF(20, 9)}), backFlap, edge);

    // Inside of the box, darker towards the back wall.
    QLinearGradient inside(0, 30, 0, 39);
    inside.setColorAt(0, QColor(110, 66, 18));
    inside.setColorAt(1, QColor(160, 104, 36));
    fillShape(p, poly({backLeft, backRight, frontRight, frontLeft}), inside, edge);

    // The gem: a brilliant cut whose lower point sinks into the box.
    {
        const qreal cx = 36, table = 19, girdle = 28, tip = 47;
        const QPointF gl(cx - 14, girdle), gr(cx + 14, girdle);
        const QPointF tl(cx - 7.5, table), tr(cx + 7.5, table);
        const QPointF bottom(cx, tip);
        const QColor gemEdge(110, 0, 16);
        p.setPen(Qt::NoPen);
        auto facet = [&](std::initializer_list<QPointF> pts, QColor c) {
            p.setBrush(c);
            p.drawPolygon(poly(pts));
        };
        // Crown.
        facet({tl, tr, QPointF(cx + 4, girdle), QPointF(cx - 4, girdle)}, QColor(240, 60, 70));
        facet({tl, QPointF(cx - 4, girdle), gl}, QColor(255, 110, 115));
        facet({tr, gr, QPointF(cx + 4, girdle)}, QColor(196, 24, 40));
        // Pavilion.
        facet({gl, QPointF(cx - 4, girdle), bottom}, QColor(200, 20, 36));
        facet({QPointF(cx - 4, girdle), QPointF(cx + 4, girdle), bottom}, QColor(228, 40, 54));
        facet({QPointF(cx + 4, girdle), gr, bottom}, QColor(150, 8, 26));
        p.setPen(QPen(gemEdge, 0.9, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        p.drawPolygon(poly({tl, tr, gr, bottom, gl}));
        p.setPen(QPen(QColor(255, 170, 170, 160), 0.6));
        p.drawLine(gl, gr);
        // Sparkle.
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        QPainterPath star;
        const QPointF s(cx - 5.5, table + 3.5);
        star.moveTo(s + QPointF(0, -4));
        star.quadTo(s, s + QPointF(4, 0));
        star.quadTo(s, s + QPointF(0, 4));
        star.quadTo(s, s + QPointF(-4, 0));
        star.quadTo(s, s + QPointF(0, -4));
        p.drawPath(star);
    }

    // Side flaps folded outwards.
    QLinearGradient leftFlap(2, 0, 17, 0);
    leftFlap.setColorAt(0, QColor(236, 184, 84));
    leftFlap.setColorAt(1, QColor(252, 216, 132));
    fillShape(p, poly({backLeft, frontLeft, QPointF(1, 33), QPointF(5, 21)}), leftFlap, edge);
    QLinearGradient rightFlap(55, 0, 71, 0);
    rightFlap.setColorAt(0, QColor(226, 170, 70));
    rightFlap.setColorAt(1, QColor(200, 142, 48));
    fillShape(p, poly({backRight, frontRight, QPointF(71, 33), QPointF(67, 21)}), rightFlap, edge);

    // Front of the box.
    const QPointF bottomLeft(13, 65), bottomRight(59, 65);
    QLinearGradient front(10, 39, 62, 65);
    front.setColorAt(0, QColor(246, 196, 92));
    front.setColorAt(0.5, QColor(226, 164, 58));
    front.setColorAt(1, QColor(186, 122, 34));
    fillShape(p, poly({frontLeft, frontRight, bottomRight, bottomLeft}), front, edge);

    // Front flap hanging forwards, with the shadow it casts on the box.
    const QPolygonF frontFlap = poly({frontLeft, frontRight, QPointF(64, 47), QPointF(8, 47)});
    p.setPen(Qt::NoPen);
    QLinearGradient flapShadow(0, 47, 0, 52);
    flapShadow.setColorAt(0, QColor(90, 50, 0, 110));
    flapShadow.setColorAt(1, QColor(90, 50, 0, 0));
    p.setBrush(flapShadow);
    p.drawPolygon(poly({QPointF(12, 47), QPointF(60, 47), QPointF(59.5, 52), QPointF(12.5, 52)}));
    QLinearGradient flap(0, 39, 0, 47);
    flap.setColorAt(0, QColor(255, 226, 146));
    flap.setColorAt(1, QColor(232, 178, 78));
    fillShape(p, frontFlap, flap, edge);

    // The fold where the flap meets the box catches the light.
    p.setPen(QPen(QColor(255, 244, 210, 170), 1));
    p.drawLine(QPointF(11, 40), QPointF(61, 40));

    p.end();
    return image;
}

// ---------------------------------------------------------------------------
// Button pictures
// ---------------------------------------------------------------------------

QImage receiptButton(qreal scale = 1)
{
    QImage image = scaledCanvas(21, 24, scale);
    QPainter p(&image);
    p.scale(scale, scale);
    p.setRenderHint(QPainter::Antialiasing);

    QPainterPath sheet = tornSheet(15, 21, 2);
    sheet.translate(3, 1.5);
    QLinearGradient paper(3, 1, 18, 23);
    paper.setColorAt(0, QColor(255, 255, 255));
    paper.setColorAt(1, QColor(226, 230, 236));
    p.setPen(QPen(QColor(90, 100, 115), 1, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(paper);
    p.drawPath(sheet);

    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillRect(QRect(6, 4, 9, 2), QColor(40, 90, 170));
    for (int y : {8, 10, 12}) {
        p.fillRect(QRect(6, y, 6, 1), QColor(130, 138, 150));
        p.fillRect(QRect(14, y, 2, 1), QColor(130, 138, 150));
    }
    p.fillRect(QRect(6, 15, 10, 1), QColor(120, 128, 140));
    p.fillRect(QRect(6, 17, 4, 2), QColor(200, 40, 40));
    p.fillRect(QRect(12, 17, 4, 2), QColor(200, 40, 40));
    p.end();
    return image;
}

QImage searchButton(qreal scale = 1)
{
    QImage image = scaledCanvas(24, 24, scale);
    QPainter p(&image);
    p.scale(scale, scale);
    p.setRenderHint(QPainter::Antialiasing);

    // Page with a folded corner.
    QPainterPath page;
    page.moveTo(2.5, 1.5);
    page.lineTo(12.5, 1.5);
    page.lineTo(16.5, 5.5);
    page.lineTo(16.5, 20.5);
    page.lineTo(2.5, 20.5);
    page.closeSubpath();
    p.setPen(QPen(QColor(90, 100, 115), 1, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(QColor(252, 252, 255));
    p.drawPath(page);
    p.setBrush(QColor(210, 216, 226));
    p.drawPolygon(poly({QPointF(12.5, 1.5), QPointF(12.5, 5.5), QPointF(16.5, 5.5)}));
    p.setRenderHint(QPainter::Antialiasing, false);
    for (int y : {5, 8, 11, 14, 17})
        p.fillRect(QRect(5, y, y == 5 ? 6 : 9, 1), QColor(140, 148, 160));
    p.setRenderHint(QPainter::Antialiasing);

    // Magnifying glass over the lower right.
    const QPointF lens(14.5, 13.5);
    p.setPen(QPen(QColor(70, 50, 30), 3.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(18.2, 17.2), QPointF(22, 21));
    p.setPen(QPen(QColor(150, 100, 50), 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(18.6, 17.6), QPointF(21.8, 20.8));
    QRadialGradient glass(lens - QPointF(1.5, 1.5), 6);
    glass.setColorAt(0, QColor(235, 248, 255, 200));
    glass.setColorAt(1, QColor(120, 180, 230, 170));
    p.setPen(QPen(QColor(40, 60, 90), 1.8));
    p.setBrush(glass);
    p.drawEllipse(lens, 4.8, 4.8);
    p.setPen(QPen(QColor(255, 255, 255, 220), 1.0, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(lens.x() - 3, lens.y() - 3, 6, 6), 100 * 16, 70 * 16);
    p.end();
    return image;
}

QImage keyButton(qreal scale = 1)
{
    QImage image = scaledCanvas(32, 32, scale);
    QPainter p(&image);
    p.scale(scale, scale);
    p.setRenderHint(QPainter::Antialiasing);

    // Drawn lying flat, then turned to the diagonal keys are usually shown at.
    p.translate(16, 16);
    p.rotate(45);
    p.translate(-16, -16);

    QPainterPath key;
    key.addEllipse(QPointF(7.5, 16), 6.5, 6.5);
    key.addRect(QRectF(12, 14, 18, 4));
    key.addRect(QRectF(22, 18, 2.5, 4.5));
    key.addRect(QRectF(26.5, 18, 2.5, 3.5));
    key = key.simplified();
    QPainterPath hole;
    hole.addEllipse(QPointF(6, 16), 2.2, 2.2);
    key = key.subtracted(hole);

    QLinearGradient gold(0, 9, 0, 23);
    gold.setColorAt(0, QColor(255, 232, 140));
    gold.setColorAt(0.5, QColor(236, 180, 40));
    gold.setColorAt(1, QColor(176, 118, 16));
    p.setPen(QPen(QColor(110, 70, 0), 1.1, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(gold);
    p.drawPath(key);
    p.setPen(QPen(QColor(255, 248, 210, 200), 0.8, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(13, 15), QPointF(29, 15));
    p.end();
    return image;
}

QImage foldButton(qreal scale = 1)
{
    QImage image = scaledCanvas(32, 32, scale);
    QPainter p(&image);
    p.scale(scale, scale);
    p.setRenderHint(QPainter::Antialiasing);

    QLinearGradient disc(0, 1, 0, 31);
    disc.setColorAt(0, QColor(110, 176, 246));
    disc.setColorAt(1, QColor(22, 84, 180));
    p.setPen(QPen(QColor(16, 60, 130), 1));
    p.setBrush(disc);
    p.drawEllipse(QPointF(16, 16), 14.5, 14.5);

    // Glass highlight on the upper half.
    QLinearGradient shine(0, 2, 0, 16);
    shine.setColorAt(0, QColor(255, 255, 255, 120));
    shine.setColorAt(1, QColor(255, 255, 255, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(shine);
    p.drawEllipse(QRectF(5, 2.5, 22, 13));

    const QPolygonF arrow = poly({QPointF(13, 7), QPointF(19, 7), QPointF(19, 15), QPointF(24, 15),
                                  QPointF(16, 25), QPointF(8, 15), QPointF(13, 15)});
    p.setBrush(QColor(0, 30, 80, 90));
    p.drawPolygon(arrow.translated(0.8, 1.2));
    p.setPen(QPen(QColor(255, 255, 255), 0.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::white);
    p.drawPolygon(arrow);
    p.end();
    return image;
}

QImage saveButton(qreal scale = 1)
{
    QImage image = scaledCanvas(32, 32, scale);
    QPainter p(&image);
    p.scale(scale, scale);
    p.setRenderHint(QPainter::Antialiasing);

    QPainterPath body;
    body.moveTo(4.5, 2.5);
    body.lineTo(25, 2.5);
    body.lineTo(29.5, 7);
    body.lineTo(29.5, 27.5);
    body.quadTo(29.5, 29.5, 27.5, 29.5);
    body.lineTo(4.5, 29.5);
    body.quadTo(2.5, 29.5, 2.5, 27.5);
    body.lineTo(2.5, 4.5);
    body.quadTo(2.5, 2.5, 4.5, 2.5);
    QLinearGradient plastic(0, 2, 32, 30);
    plastic.setColorAt(0, QColor(70, 110, 200));
    plastic.setColorAt(1, QColor(24, 48, 120));
    p.setPen(QPen(QColor(12, 26, 70), 1, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(plastic);
    p.drawPath(body);

    // Metal shutter with its window.
    QLinearGradient metal(8, 0, 24, 0);
    metal.setColorAt(0, QColor(236, 240, 246));
    metal.setColorAt(1, QColor(160, 168, 180));
    p.setPen(QPen(QColor(90, 96, 110), 0.8));
    p.setBrush(metal);
    p.drawRect(QRectF(8.5, 2.5, 15, 9));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 50, 70));
    p.drawRect(QRectF(18, 4, 3.5, 6));

    // Label.
    p.setPen(QPen(QColor(150, 156, 170), 0.8));
    p.setBrush(QColor(250, 250, 252));
    p.drawRoundedRect(QRectF(6.5, 15.5, 19, 14), 1.2, 1.2);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillRect(QRect(9, 19, 14, 1), QColor(120, 150, 210));
    p.fillRect(QRect(9, 22, 14, 1), QColor(120, 150, 210));
    p.fillRect(QRect(9, 25, 9, 1), QColor(120, 150, 210));
    p.end();
    return image;
}

bool save(const QImage& image, const QDir& dir, const QString& name, int quality, QTextStream& err)
{
    const QString path = dir.filePath(name);
    if (!image.save(path, nullptr, quality)) {
        err << "make_assets: cannot write " << path << "\n";
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    QTextStream err(stderr);
    const QStringList args = QGuiApplication::arguments();
    if (args.size() != 2) {
        err << "usage: make_assets OUTPUT_FOLDER\n";
        return 2;
    }
    QDir dir(args.at(1));
    if (!dir.mkpath(QStringLiteral("."))) {
        err << "make_assets: cannot create " << args.at(1) << "\n";
        return 1;
    }

    // Every file is attempted so that one failure reports all of them.
    bool ok = true;
    ok &= save(startPicture(), dir, QStringLiteral("start.jpg"), 90, err);
    ok &= save(iconPicture(), dir, QStringLiteral("icon.png"), -1, err);
    ok &= save(receiptButton(), dir, QStringLiteral("receipt.png"), -1, err);
    ok &= save(searchButton(), dir, QStringLiteral("search.png"), -1, err);
    ok &= save(keyButton(), dir, QStringLiteral("key.png"), -1, err);
    ok &= save(foldButton(), dir, QStringLiteral("fold.png"), -1, err);
    ok &= save(saveButton(), dir, QStringLiteral("save.png"), -1, err);
    // Qt picks "name@2x.png" beside "name.png" by itself on a screen of twice
    // the density; the menu's icon theme wants a large rendering of its own.
    ok &= save(iconPicture(2), dir, QStringLiteral("icon@2x.png"), -1, err);
    ok &= save(iconPicture(256.0 / 72), dir, QStringLiteral("icon-256.png"), -1, err);
    ok &= save(receiptButton(2), dir, QStringLiteral("receipt@2x.png"), -1, err);
    ok &= save(searchButton(2), dir, QStringLiteral("search@2x.png"), -1, err);
    ok &= save(keyButton(2), dir, QStringLiteral("key@2x.png"), -1, err);
    ok &= save(foldButton(2), dir, QStringLiteral("fold@2x.png"), -1, err);
    ok &= save(saveButton(2), dir, QStringLiteral("save@2x.png"), -1, err);
    return ok ? 0 : 1;
}
