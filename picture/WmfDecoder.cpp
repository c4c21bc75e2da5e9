#include "picture/Decoders.h"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QStringDecoder>
#include <cmath>
#include <functional>
#include <numbers>
#include <optional>
#include <queue>
#include <utility>
#include <vector>

// A player for Windows metafiles: the common drawing records on QPainter.
// Records we do not draw (palettes, regions, raster operations, escapes) are
// skipped; objects they create still take their slot in the object table, so
// that later SELECTOBJECT indexes stay right.
namespace qb::picture {

namespace {

constexpr quint32 placeableKey = 0x9AC6CDD7;
constexpr double screenDpi = 96.0;

// Limits that keep a hostile file from taking the program's time or memory.
// GDI saves device contexts without a limit; files nest a few levels.
constexpr qsizetype maxSavedStates = 1024;
// A dashed outline with more dashes than this is drawn solid.
constexpr double maxDashes = 2000;

enum Function : quint16 {
    EOF_ = 0x0000,
    SAVEDC = 0x001E,
    CREATEPALETTE = 0x00F7,
    SETBKMODE = 0x0102,
    SETMAPMODE = 0x0103,
    SETPOLYFILLMODE = 0x0106,
    RESTOREDC = 0x0127,
    SELECTOBJECT = 0x012D,
    SETTEXTALIGN = 0x012E,
    DIBCREATEPATTERNBRUSH = 0x0142,
    DELETEOBJECT = 0x01F0,
    CREATEPATTERNBRUSH = 0x01F9,
    SETBKCOLOR = 0x0201,
    SETTEXTCOLOR = 0x0209,
    SETWINDOWORG = 0x020B,
    SETWINDOWEXT = 0x020C,
    OFFSETWINDOWORG = 0x020F,
    LINETO = 0x0213,
    MOVETO = 0x0214,
    CREATEPENINDIRECT = 0x02FA,
    CREATEFONTINDIRECT = 0x02FB,
    CREATEBRUSHINDIRECT = 0x02FC,
    POLYGON = 0x0324,
    POLYLINE = 0x0325,
    SCALEWINDOWEXT = 0x0410,
    ELLIPSE = 0x0418,
    RECTANGLE = 0x041B,
    SETPIXEL = 0x041F,
    TEXTOUT = 0x0521,
    POLYPOLYGON = 0x0538,
    ROUNDRECT = 0x061C,
    PATBLT = 0x061D,
    CREATEREGION = 0x06FF,
    ARC = 0x0817,
    PIE = 0x081A,
    CHORD = 0x0830,
    DIBBITBLT = 0x0940,
    EXTTEXTOUT = 0x0A32,
    DIBSTRETCHBLT = 0x0B41,
    STRETCHDIB = 0x0F43,
};

struct Damaged
{
};

// The parameters of one record, every read checked against its length.
class Params
{
public:
    Params(const char* data, qsizetype words) : m_data(data), m_words(words) {}
    qsizetype words() const { return m_words; }
    qint16 s16(qsizetype i) const { return qint16(u16(i)); }
    quint16 u16(qsizetype i) const
    {
        if (i < 0 || i >= m_words)
            throw Damaged{};
        return le16(m_data + 2 * i);
    }
    quint32 u32(qsizetype i) const { return quint32(u16(i)) | quint32(u16(i + 1)) << 16; }
    QColor color(qsizetype i) const
    {
        const quint32 ref = u32(i);
        return QColor(int(ref & 0xFF), int(ref >> 8 & 0xFF), int(ref >> 16 & 0xFF));
    }
    QByteArray bytes(qsizetype word, qsizetype count) const
    {
        if (word < 0 || count < 0 || 2 * word + count > 2 * m_words)
            throw Damaged{};
        return QByteArray(m_data + 2 * word, count);
    }

private:
    const char* m_data;
    qsizetype m_words;
};

struct Record
{
    quint16 function;
    Params params;
};

struct LogPen
{
    int style = 0; // PS_SOLID
    int width = 0;
    QColor color = Qt::black;
};

struct LogBrush
{
    int style = 0; // BS_SOLID
    QColor color = Qt::white;
    int hatch = 0;
};

struct LogFont
{
    int height = 0, weight = 400, escapement = 0;
    bool italic = false, underline = false, strikeOut = false;
    QString face;
};

struct GdiObject
{
    enum Kind { Free, Pen, Brush, Font, Other } kind = Free;
    LogPen pen;
    LogBrush brush;
    LogFont font;
};

struct DcState
{
    LogPen pen;
    LogBrush brush;
    LogFont font;
    QColor textColor = Qt::black, backColor = Qt::white;
    bool opaqueBack = true;
    int textAlign = 0;
    Qt::FillRule fillRule = Qt::OddEvenFill;
    QPointF windowOrg, windowExt;
    QPointF position;
};

class Player
{
public:
    explicit Player(const QByteArray& bytes);
    QSizeF naturalSize() const { return m_natural; }
    void play(QPainter& painter, QSize device);
    // The drawing work done so far, in pixels touched (roughly).
    double work() const { return m_work; }

private:
    QPointF map(double x, double y) const;
    QRectF mapRect(double left, double top, double right, double bottom) const;
    double scaleX() const { return m_device.width() / m_dc.windowExt.x(); }
    double scaleY() const { return m_device.height() / m_dc.windowExt.y(); }
    void applyPen(double outlineLength);
    void applyBrush();
    double penWidth() const;
    void charge(double pixels);
    void chargeStroke(double length) { charge(length * qMax(1.0, penWidth())); }
    void chargeFill(const QRectF& rect);
    void createObject(const GdiObject& object);
    void draw(const Record& r);
    void drawText(QPointF at, const QByteArray& text, const std::vector<int>& advances, int options,
                  const QRectF& clip);
    void drawDib(const Params& p, qsizetype dibWord, QRectF source, QRectF target);
    QString decodeText(const QByteArray& bytes) const;

    const QByteArray& m_bytes;
    qsizetype m_firstRecord = 0, m_recordCount = 0;
    QSizeF m_natural;
    QRectF m_frame;
    qsizetype m_objectSlots = 0;
    std::vector<GdiObject> m_objects;
    // The free slots below m_objects.size(), lowest first.
    std::priority_queue<quint16, std::vector<quint16>, std::greater<>> m_freeSlots;
    std::vector<DcState> m_saved;
    double m_work = 0, m_workBudget = 0;
    DcState m_dc;
    QPainter* m_painter = nullptr;
    QSize m_device;
};

[[noreturn]] void damaged(const QString& why)
{
    throw PictureError(QStringLiteral("WMF 图元文件已损坏：%1。").arg(why));
}

// Reads the headers and checks every record's length up front, so that a
// damaged file fails before anything is drawn. The records are not kept:
// play() walks the checked file again, so a file of millions of tiny
// records costs no memory beyond its bytes.
Player::Player(const QByteArray& bytes) : m_bytes(bytes)
{
    const char* p = bytes.constData();
    const qsizetype size = bytes.size();
    qsizetype at = 0;
    bool placeable = false;
    if (size >= 22 && le32(p) == placeableKey) {
        const auto left = qint16(le16(p + 6)), top = qint16(le16(p + 8));
        const auto right = qint16(le16(p + 10)), bottom = qint16(le16(p + 12));
        const quint16 inch = le16(p + 14);
        if (inch == 0 || left == right || top == bottom)
            damaged(QStringLiteral("画面尺寸无效"));
        m_frame = QRectF(QPointF(left, top), QPointF(right, bottom));
        m_natural = QSizeF(qAbs(right - left) * screenDpi / inch, qAbs(bottom - top) * screenDpi / inch);
        placeable = true;
        at = 22;
    }
    if (size - at < 18)
        damaged(QStringLiteral("文件头不完整"));
    const quint16 headerWords = le16(p + at + 2);
    if (headerWords < 9 || at + 2 * headerWords > size)
        damaged(QStringLiteral("文件头无效"));
    m_objectSlots = le16(p + at + 10);
    at += 2 * headerWords;
    m_firstRecord = at;

    bool ended = false;
    std::optional<QPointF> org, ext;
    while (!ended) {
        if (size - at < 6)
            damaged(QStringLiteral("第 %1 个记录不完整（缺少结束记录）").arg(m_recordCount + 1));
        const quint32 words = le32(p + at);
        const quint16 function = le16(p + at + 4);
        if (words < 3 || qint64(words) * 2 > size - at)
            damaged(QStringLiteral("第 %1 个记录的长度无效").arg(m_recordCount + 1));
        const Record record{function, Params(p + at + 6, qsizetype(words) - 3)};
        at += qsizetype(words) * 2;
        ended = function == EOF_;
        try {
            if (function == SETWINDOWORG && !org)
                org = QPointF(record.params.s16(1), record.params.s16(0));
            else if (function == SETWINDOWEXT && !ext)
                ext = QPointF(record.params.s16(1), record.params.s16(0));
        } catch (const Damaged&) {
            damaged(QStringLiteral("第 %1 个记录不完整").arg(m_recordCount + 1));
        }
        ++m_recordCount;
    }
    if (!placeable) {
        // Without the placeable header the window the file sets up is its
        // frame, in pixels of the device it was made for.
        if (!ext || ext->x() == 0 || ext->y() == 0)
            damaged(QStringLiteral("没有给出画面大小"));
        m_frame = QRectF(org.value_or(QPointF()), QSizeF(ext->x(), ext->y()));
        m_natural = QSizeF(qAbs(ext->x()), qAbs(ext->y()));
    }
}

QPointF Player::map(double x, double y) const
{
    return QPointF((x - m_dc.windowOrg.x()) * scaleX(), (y - m_dc.windowOrg.y()) * scaleY());
}

QRectF Player::mapRect(double left, double top, double right, double bottom) const
{
    return QRectF(map(left, top), map(right, bottom)).normalized();
}

// The pen's width on the device. A pen wider than twice the device's
// diagonal looks the same as one of exactly that width, and costs far less
// to outline.
double Player::penWidth() const
{
    if ((m_dc.pen.style & 0x0F) == 5) // PS_NULL
        return 0;
    const double widest = 2 * std::hypot(m_device.width(), m_device.height());
    return qBound(1.0, m_dc.pen.width * qAbs(scaleX()), widest);
}

// Every drawing record is charged what it costs, roughly in pixels; a file
// that asks for more work than many screenfuls is refused rather than left
// to freeze the program.
void Player::charge(double pixels)
{
    constexpr double perRecord = 256;
    m_work += perRecord + pixels;
    if (m_work > m_workBudget)
        throw PictureError(QStringLiteral("WMF 图元文件的绘图量太大，无法显示。"));
}

void Player::chargeFill(const QRectF& rect)
{
    const QRectF touched = rect.intersected(QRectF(QPointF(0, 0), m_device));
    charge(touched.width() * touched.height());
}

// `outlineLength` is the length of what the pen will outline, on the device.
void Player::applyPen(double outlineLength)
{
    const LogPen& logical = m_dc.pen;
    const int style = logical.style & 0x0F;
    if (style == 5) { // PS_NULL
        m_painter->setPen(Qt::NoPen);
        return;
    }
    QPen pen(logical.color);
    const double width = penWidth();
    pen.setWidthF(width);
    static constexpr Qt::PenStyle styles[] = {Qt::SolidLine, Qt::DashLine, Qt::DotLine, Qt::DashDotLine,
                                              Qt::DashDotDotLine};
    // Qt's shortest dash pattern repeats every three pen widths.
    const bool dashable = outlineLength / (3 * width) <= maxDashes;
    pen.setStyle(style < 5 && dashable ? styles[style] : Qt::SolidLine);
    m_painter->setPen(pen);
    chargeStroke(qMin(outlineLength, 4 * std::hypot(m_device.width(), m_device.height())));
}

void Player::applyBrush()
{
    const LogBrush& logical = m_dc.brush;
    if (logical.style == 1) { // BS_NULL
        m_painter->setBrush(Qt::NoBrush);
        return;
    }
    if (logical.style == 2) { // BS_HATCHED
        static constexpr Qt::BrushStyle hatches[] = {Qt::HorPattern,   Qt::VerPattern,
                                                     Qt::FDiagPattern, Qt::BDiagPattern,
                                                     Qt::CrossPattern, Qt::DiagCrossPattern};
        m_painter->setBrush(QBrush(logical.color, logical.hatch >= 0 && logical.hatch < 6
                                                      ? hatches[logical.hatch]
                                                      : Qt::CrossPattern));
        return;
    }
    m_painter->setBrush(logical.style == 0 ? QBrush(logical.color) : QBrush(Qt::NoBrush));
}

// Like GDI, a new object takes the lowest free slot of the table.
void Player::createObject(const GdiObject& object)
{
    if (!m_freeSlots.empty()) {
        m_objects[m_freeSlots.top()] = object;
        m_freeSlots.pop();
    } else if (qsizetype(m_objects.size()) < qMax<qsizetype>(m_objectSlots, 1024)) {
        m_objects.push_back(object);
    }
}

QString Player::decodeText(const QByteArray& bytes) const
{
    // Text in these files is in the Windows code page of the machine that
    // wrote them; for our users that is GBK (936).
    QStringDecoder decoder("GBK");
    if (!decoder.isValid())
        return QString::fromLocal8Bit(bytes);
    return decoder.decode(bytes);
}

void Player::drawText(QPointF at, const QByteArray& text, const std::vector<int>& advances, int options,
                      const QRectF& clip)
{
    // Fonts exist only once the GUI application object does; the program
    // always has one, a command-line tool might not.
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        throw PictureError(QStringLiteral("WMF 图元文件中的文字需要图形界面才能显示。"));
    const LogFont& logical = m_dc.font;
    QFont font(logical.face.isEmpty() ? QStringLiteral("SimSun") : logical.face);
    // Letters taller than twice the device show nothing more than letters
    // of that height would.
    const double tallest = 2.0 * qMax(m_device.width(), m_device.height());
    const auto pixels = [&](double h) { return qMax(1, qRound(qBound(1.0, h, tallest))); };
    const double height = logical.height == 0 ? 12.0 : qMin(qAbs(logical.height * scaleY()), tallest);
    font.setPixelSize(pixels(height));
    if (logical.height > 0) {
        // A positive height is the cell height, leading included.
        const double cell = QFontMetricsF(font).height();
        if (cell > 0)
            font.setPixelSize(pixels(height * height / cell));
    }
    font.setWeight(QFont::Weight(qBound(100, logical.weight == 0 ? 400 : logical.weight, 900)));
    font.setItalic(logical.italic);
    font.setUnderline(logical.underline);
    font.setStrikeOut(logical.strikeOut);
    const QFontMetricsF metrics(font);

    // Split into characters (GBK lead bytes start two-byte characters) so
    // that per-byte advances from EXTTEXTOUT can place each one.
    struct Piece
    {
        QString text;
        double x;
    };
    std::vector<Piece> pieces;
    double width = 0;
    if (advances.empty()) {
        const QString whole = decodeText(text);
        pieces.push_back({whole, 0});
        width = metrics.horizontalAdvance(whole);
    } else {
        for (qsizetype i = 0; i < text.size();) {
            const qsizetype len = quint8(text[i]) >= 0x81 && i + 1 < text.size() ? 2 : 1;
            pieces.push_back({decodeText(text.mid(i, len)), width});
            for (qsizetype k = i; k < i + len; ++k)
                width += (k < qsizetype(advances.size()) ? advances[size_t(k)] : 0) * qAbs(scaleX());
            i += len;
        }
    }

    const int horizontal = m_dc.textAlign & 6, vertical = m_dc.textAlign & 24;
    const double dx = horizontal == 6 ? -width / 2 : horizontal == 2 ? -width : 0;
    const double baseline = vertical == 24 ? 0 : vertical == 8 ? -metrics.descent() : metrics.ascent();

    charge(pieces.size() * 4 * metrics.height() * metrics.height());
    m_painter->save();
    if (options & 0x0004) // ETO_CLIPPED
        m_painter->setClipRect(clip);
    if (options & 0x0002) // ETO_OPAQUE
        m_painter->fillRect(clip, m_dc.backColor);
    m_painter->translate(at);
    m_painter->rotate(-logical.escapement / 10.0);
    if (m_dc.opaqueBack)
        m_painter->fillRect(QRectF(dx, baseline - metrics.ascent(), width, metrics.height()), m_dc.backColor);
    m_painter->setFont(font);
    m_painter->setPen(m_dc.textColor);
    for (const Piece& piece : pieces)
        m_painter->drawText(QPointF(dx + piece.x, baseline), piece.text);
    m_painter->restore();
    if (m_dc.textAlign & 1) // TA_UPDATECP
        m_dc.position += QPointF(width / scaleX(), 0);
}

// A device-independent bitmap inside a record: given a file header, it is an
// ordinary BMP for the bitmap decoder (which checks it like any file).
void Player::drawDib(const Params& p, qsizetype dibWord, QRectF source, QRectF target)
{
    const qsizetype dibBytes = 2 * (p.words() - dibWord);
    if (dibBytes < 40)
        return;
    const QByteArray dib = p.bytes(dibWord, dibBytes);
    const quint32 headerSize = le32(dib.constData());
    const quint16 bitCount = headerSize >= 16 ? le16(dib.constData() + 14) : 0;
    const quint32 compression = headerSize >= 40 ? le32(dib.constData() + 16) : 0;
    const quint32 used = headerSize >= 40 ? le32(dib.constData() + 32) : 0;
    qint64 colors = bitCount <= 8 ? (used ? used : 1u << bitCount) : 0;
    const qint64 masks = headerSize == 40 && compression == 3 ? 12 : 0;
    const qint64 offset = 14 + qint64(headerSize) + masks + colors * (headerSize == 12 ? 3 : 4);
    const qint64 naturalWidth =
        headerSize == 12 ? le16(dib.constData() + 4) : qint32(le32(dib.constData() + 4));
    const qint64 naturalHeight =
        qAbs(headerSize == 12 ? le16(dib.constData() + 6) : qint32(le32(dib.constData() + 8)));
    QByteArray file("BM", 2);
    file.resize(14);
    const quint32 total = quint32(14 + dibBytes);
    const quint32 fields[] = {total, 0, quint32(offset)};
    for (int i = 0; i < 3; ++i)
        for (int b = 0; b < 4; ++b)
            file[2 + 4 * i + b] = char(fields[i] >> (8 * b) & 0xFF);
    chargeFill(target);
    // Decoded no larger than the device needs; the source rectangle is in
    // the bitmap's own pixels.
    const QImage image = decodeQtBitmap(file + dib, Format::Bmp, m_device);
    if (naturalWidth <= 0 || naturalHeight <= 0)
        return;
    const double sx = image.width() / double(naturalWidth), sy = image.height() / double(naturalHeight);
    const QRectF from = source.isEmpty() ? QRectF(image.rect())
                                         : QRectF(source.x() * sx, source.y() * sy, source.width() * sx,
                                                  source.height() * sy);
    m_painter->drawImage(target, image, from);
}

void Player::draw(const Record& r)
{
    const Params& p = r.params;
    switch (r.function) {
    case SAVEDC:
        if (qsizetype(m_saved.size()) < maxSavedStates)
            m_saved.push_back(m_dc);
        break;
    case RESTOREDC: {
        const int n = p.s16(0);
        const qsizetype keep = n < 0 ? qsizetype(m_saved.size()) + n : n - 1;
        if (keep >= 0 && keep < qsizetype(m_saved.size())) {
            m_dc = m_saved[size_t(keep)];
            m_saved.resize(size_t(keep));
        }
        break;
    }
    case SETBKMODE:
        m_dc.opaqueBack = p.u16(0) == 2;
        break;
    case SETPOLYFILLMODE:
        m_dc.fillRule = p.u16(0) == 2 ? Qt::WindingFill : Qt::OddEvenFill;
        break;
    case SETTEXTALIGN:
        m_dc.textAlign = p.u16(0);
        break;
    case SETBKCOLOR:
        m_dc.backColor = p.color(0);
        break;
    case SETTEXTCOLOR:
        m_dc.textColor = p.color(0);
        break;
    case SETWINDOWORG:
        m_dc.windowOrg = QPointF(p.s16(1), p.s16(0));
        break;
    case SETWINDOWEXT:
        if (p.s16(0) != 0 && p.s16(1) != 0)
            m_dc.windowExt = QPointF(p.s16(1), p.s16(0));
        break;
    case OFFSETWINDOWORG:
        m_dc.windowOrg += QPointF(p.s16(1), p.s16(0));
        break;
    case SCALEWINDOWEXT: {
        const int yDen = p.s16(0), yNum = p.s16(1), xDen = p.s16(2), xNum = p.s16(3);
        const double x = xDen ? m_dc.windowExt.x() * xNum / xDen : 0,
                     y = yDen ? m_dc.windowExt.y() * yNum / yDen : 0;
        if (x != 0 && y != 0)
            m_dc.windowExt = QPointF(x, y);
        break;
    }
    case SELECTOBJECT: {
        const quint16 index = p.u16(0);
        if (index >= m_objects.size())
            break;
        const GdiObject& object = m_objects[index];
        if (object.kind == GdiObject::Pen)
            m_dc.pen = object.pen;
        else if (object.kind == GdiObject::Brush)
            m_dc.brush = object.brush;
        else if (object.kind == GdiObject::Font)
            m_dc.font = object.font;
        break;
    }
    case DELETEOBJECT: {
        const quint16 index = p.u16(0);
        if (index < m_objects.size() && m_objects[index].kind != GdiObject::Free) {
            m_objects[index] = GdiObject{};
            m_freeSlots.push(index);
        }
        break;
    }
    case CREATEPENINDIRECT: {
        GdiObject object;
        object.kind = GdiObject::Pen;
        object.pen = {p.u16(0), p.s16(1), p.color(3)};
        createObject(object);
        break;
    }
    case CREATEBRUSHINDIRECT: {
        GdiObject object;
        object.kind = GdiObject::Brush;
        object.brush = {p.u16(0), p.color(1), p.u16(3)};
        createObject(object);
        break;
    }
    case CREATEFONTINDIRECT: {
        GdiObject object;
        object.kind = GdiObject::Font;
        LogFont& font = object.font;
        font.height = p.s16(0);
        font.escapement = p.s16(2);
        font.weight = p.s16(4);
        const QByteArray flags = p.bytes(5, 3);
        font.italic = flags[0] != 0;
        font.underline = flags[1] != 0;
        font.strikeOut = flags[2] != 0;
        QByteArray face = p.bytes(9, qMin<qsizetype>(32, 2 * (p.words() - 9)));
        face.truncate(face.indexOf('\0') < 0 ? face.size() : face.indexOf('\0'));
        font.face = decodeText(face);
        createObject(object);
        break;
    }
    case CREATEPALETTE:
    case CREATEPATTERNBRUSH:
    case DIBCREATEPATTERNBRUSH:
    case CREATEREGION: {
        GdiObject object;
        object.kind = GdiObject::Other;
        createObject(object);
    } break;
    case MOVETO:
        m_dc.position = QPointF(p.s16(1), p.s16(0));
        break;
    case LINETO: {
        const QPointF to(p.s16(1), p.s16(0));
        const QLineF line(map(m_dc.position.x(), m_dc.position.y()), map(to.x(), to.y()));
        applyPen(line.length());
        m_painter->drawLine(line);
        m_dc.position = to;
        break;
    }
    case RECTANGLE:
    case ELLIPSE:
    case ROUNDRECT: {
        const qsizetype b = r.function == ROUNDRECT ? 2 : 0;
        const QRectF rect = mapRect(p.s16(b + 3), p.s16(b + 2), p.s16(b + 1), p.s16(b));
        applyPen(2 * (rect.width() + rect.height()));
        applyBrush();
        chargeFill(rect);
        if (r.function == RECTANGLE)
            m_painter->drawRect(rect);
        else if (r.function == ELLIPSE)
            m_painter->drawEllipse(rect);
        else
            m_painter->drawRoundedRect(rect, qAbs(p.s16(1) * scaleX()) / 2, qAbs(p.s16(0) * scaleY()) / 2);
        break;
    }
    case ARC:
    case PIE:
    case CHORD: {
        const QRectF rect = mapRect(p.s16(7), p.s16(6), p.s16(5), p.s16(4));
        QPointF start = map(p.s16(3), p.s16(2)), end = map(p.s16(1), p.s16(0));
        // Arcs run counter-clockwise in logical space; a window that flips
        // one axis makes that clockwise on the device.
        if (scaleX() * scaleY() < 0)
            std::swap(start, end);
        if (rect.isEmpty())
            break;
        const QPointF c = rect.center();
        // Angles in QPainter run counter-clockwise with y pointing down.
        const double a0 = std::atan2(c.y() - start.y(), start.x() - c.x()) * 180 / std::numbers::pi;
        double span = std::atan2(c.y() - end.y(), end.x() - c.x()) * 180 / std::numbers::pi - a0;
        if (span <= 0)
            span += 360;
        const int from = qRound(a0 * 16), length = qRound(span * 16);
        applyPen(2 * (rect.width() + rect.height()));
        applyBrush();
        chargeFill(rect);
        if (r.function == ARC)
            m_painter->drawArc(rect, from, length);
        else if (r.function == PIE)
            m_painter->drawPie(rect, from, length);
        else
            m_painter->drawChord(rect, from, length);
        break;
    }
    case POLYGON:
    case POLYLINE: {
        const int count = p.s16(0);
        QPolygonF polygon;
        double length = 0;
        for (int i = 0; i < count; ++i) {
            polygon << map(p.s16(1 + 2 * i), p.s16(2 + 2 * i));
            if (i > 0)
                length += QLineF(polygon[i - 1], polygon[i]).length();
        }
        applyPen(length);
        if (r.function == POLYLINE) {
            m_painter->drawPolyline(polygon);
        } else {
            applyBrush();
            chargeFill(polygon.boundingRect());
            m_painter->drawPolygon(polygon, m_dc.fillRule);
        }
        break;
    }
    case POLYPOLYGON: {
        const int polygons = p.u16(0);
        QPainterPath path;
        path.setFillRule(m_dc.fillRule);
        qsizetype at = 1 + polygons;
        double length = 0;
        for (int k = 0; k < polygons; ++k) {
            QPolygonF polygon;
            for (int i = 0; i < p.u16(1 + k); ++i, at += 2) {
                polygon << map(p.s16(at), p.s16(at + 1));
                if (i > 0)
                    length += QLineF(polygon[i - 1], polygon[i]).length();
            }
            path.addPolygon(polygon);
            path.closeSubpath();
        }
        applyPen(length);
        applyBrush();
        chargeFill(path.boundingRect());
        m_painter->drawPath(path);
        break;
    }
    case SETPIXEL:
        m_painter->fillRect(QRectF(map(p.s16(3), p.s16(2)), QSizeF(1, 1)), p.color(0));
        break;
    case PATBLT: {
        const quint32 rop = p.u32(0);
        const QRectF rect =
            QRectF(map(p.s16(5), p.s16(4)), map(p.s16(5) + p.s16(3), p.s16(4) + p.s16(2))).normalized();
        chargeFill(rect);
        if (rop == 0x00000042)
            m_painter->fillRect(rect, Qt::black);
        else if (rop == 0x00FF0062)
            m_painter->fillRect(rect, Qt::white);
        else if (rop == 0x00F00021 && m_dc.brush.style != 1)
            m_painter->fillRect(rect, m_dc.brush.color);
        break;
    }
    case TEXTOUT: {
        const int count = p.s16(0);
        const qsizetype after = 1 + (count + 1) / 2;
        const QByteArray text = p.bytes(1, count);
        const QPointF at = m_dc.textAlign & 1 ? m_dc.position : QPointF(p.s16(after + 1), p.s16(after));
        drawText(map(at.x(), at.y()), text, {}, 0, {});
        break;
    }
    case EXTTEXTOUT: {
        const int count = p.s16(2), options = p.u16(3);
        const bool hasRect = options & 0x0006;
        const qsizetype textWord = hasRect ? 8 : 4;
        const QRectF clip = hasRect ? mapRect(p.s16(4), p.s16(5), p.s16(6), p.s16(7)) : QRectF();
        const QByteArray text = p.bytes(textWord, count);
        std::vector<int> advances;
        const qsizetype dxWord = textWord + (count + 1) / 2;
        if (p.words() >= dxWord + count) {
            for (int i = 0; i < count; ++i)
                advances.push_back(p.s16(dxWord + i));
        }
        const QPointF at = m_dc.textAlign & 1 ? m_dc.position : QPointF(p.s16(1), p.s16(0));
        drawText(map(at.x(), at.y()), text, advances, options, clip);
        break;
    }
    case STRETCHDIB:
        drawDib(
            p, 11, QRectF(p.s16(6), p.s16(5), p.s16(4), p.s16(3)),
            QRectF(map(p.s16(10), p.s16(9)), map(p.s16(10) + p.s16(8), p.s16(9) + p.s16(7))).normalized());
        break;
    case DIBSTRETCHBLT:
        drawDib(p, 10, QRectF(p.s16(5), p.s16(4), p.s16(3), p.s16(2)),
                QRectF(map(p.s16(9), p.s16(8)), map(p.s16(9) + p.s16(7), p.s16(8) + p.s16(6))).normalized());
        break;
    case DIBBITBLT:
        drawDib(p, 8, QRectF(p.s16(3), p.s16(2), p.s16(5), p.s16(4)),
                QRectF(map(p.s16(7), p.s16(6)), map(p.s16(7) + p.s16(5), p.s16(6) + p.s16(4))).normalized());
        break;
    default:
        break;
    }
}

void Player::play(QPainter& painter, QSize device)
{
    m_painter = &painter;
    m_device = device;
    m_dc = DcState{};
    m_dc.windowOrg = m_frame.topLeft();
    m_dc.windowExt = QPointF(m_frame.width(), m_frame.height());
    m_objects.clear();
    m_freeSlots = {};
    m_saved.clear();
    // Hundreds of screenfuls of drawing, or tens of thousands of small
    // shapes, take a fraction of a second; a file asking for more is not a
    // picture of a receipt.
    m_work = 0;
    m_workBudget = 400.0 * device.width() * device.height() + 4e6;
    painter.setRenderHint(QPainter::Antialiasing);
    const char* p = m_bytes.constData();
    qsizetype at = m_firstRecord;
    for (qsizetype i = 0; i < m_recordCount; ++i) {
        // The constructor checked every length.
        const quint32 words = le32(p + at);
        const Record record{le16(p + at + 4), Params(p + at + 6, qsizetype(words) - 3)};
        at += qsizetype(words) * 2;
        try {
            draw(record);
        } catch (const Damaged&) {
            damaged(QStringLiteral("第 %1 个记录（0x%2）不完整")
                        .arg(i + 1)
                        .arg(record.function, 4, 16, QLatin1Char('0')));
        }
    }
}

} // namespace

QImage decodeWmf(const QByteArray& bytes, QSize box)
{
    Player player(bytes);
    const QSize size = vectorRenderSize(player.naturalSize(), box);
    QImage image = newImage(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    player.play(painter, size);
    return image;
}

} // namespace qb::picture
