#include "app/export/ReceiptPage.h"

#include "app/core/ReceiptSearch.h"
#include "picture/PictureLoader.h"
#include "store/RecordSet.h"
#include "store/Schema.h"
#include "store/vorndata.h"
#include "util/FilePaths.h"
#include "util/Trim.h"

#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QTextLayout>

namespace qb {

namespace {

constexpr double kMarginMm = 15;
constexpr double kPictureDpi = 150;

double dotsPerMm(const QPaintDevice& device)
{
    return device.logicalDpiY() / 25.4;
}

// The part of the page below the texts that the picture takes.
QRectF pictureArea(const QPaintDevice& device)
{
    const double mm = dotsPerMm(device);
    const QRectF page(0, 0, device.width(), device.height());
    return page.adjusted(kMarginMm * mm, 95 * mm, -kMarginMm * mm, -kMarginMm * mm);
}

// Lays `text` out in `width`, at most `height` high; returns the height
// used and whether all of it fitted.
bool drawWrapped(QPainter& painter, const QString& text, QPointF at, double width, double height,
                 double* used)
{
    // A layout breaks lines only at line separators.
    QString lines = text;
    lines.replace(QStringLiteral("\r\n"), QChar(QChar::LineSeparator));
    lines.replace(u'\r', QChar(QChar::LineSeparator)).replace(u'\n', QChar(QChar::LineSeparator));
    QTextLayout layout(lines, painter.font(), painter.device());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    double y = 0;
    int fitting = 0;
    bool whole = true;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        if (y + line.height() > height) {
            whole = false;
            break;
        }
        line.setPosition(QPointF(0, y));
        y += line.height();
        ++fitting;
    }
    layout.endLayout();
    for (int i = 0; i < fitting; ++i)
        layout.lineAt(i).draw(&painter, at);
    *used = y;
    return whole;
}

// Texts go on a page as they are, but for U+0000, which no font draws.
QString printable(const QString& text)
{
    QString out = text;
    out.replace(QChar(u'\0'), QChar(0xFFFD));
    return out;
}

} // namespace

std::optional<ReceiptSheet> readReceiptSheet(Connection& connection, const QString& pictureFolder,
                                             const QString& number)
{
    RecordSet query;
    query.setConnection(&connection);
    vorndata::openFiltered(query, schema::kReceipts, receiptNumberCondition(number));
    if (query.recordCount() <= 0)
        return std::nullopt;
    ReceiptSheet sheet;
    sheet.number = number;
    sheet.category = trimmed(query.fieldAsText(schema::kCategory));
    sheet.title = trimmed(query.fieldAsText(schema::kTitle));
    sheet.description = trimmed(query.fieldAsText(schema::kDescription));
    sheet.pictureName = trimmed(query.fieldAsText(schema::kPicture));
    sheet.picturePath = pictureFolder + sheet.pictureName;
    return sheet;
}

PagePicture loadPagePicture(const ReceiptSheet& sheet, QPagedPaintDevice& device)
{
    PagePicture result;
    if (sheet.pictureName.isEmpty() || !fileExists(sheet.picturePath)) {
        result.missing = true;
        result.problem =
            QStringLiteral("票据相关的图片丢失（%1）。")
                .arg(sheet.pictureName.isEmpty() ? QStringLiteral("没有图片") : sheet.pictureName);
        return result;
    }
    const QSizeF area = pictureArea(device).size() * (kPictureDpi / device.logicalDpiY());
    const QSize box = area.toSize();
    try {
        QImage image = loadPicture(sheet.picturePath, box);
        // The decoders give at least the box, up to twice as much: the page
        // needs no more than its own share.
        if (image.width() > box.width() || image.height() > box.height())
            image = image.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        result.image = std::move(image);
    } catch (const PictureError& e) {
        result.problem = QStringLiteral("图片无法显示：%1").arg(e.message());
    }
    return result;
}

void paintReceiptPage(QPainter& painter, const ReceiptSheet& sheet, const PagePicture& picture)
{
    const QPaintDevice& device = *painter.device();
    const double mm = dotsPerMm(device);
    const double left = kMarginMm * mm;
    const double width = device.width() - 2 * kMarginMm * mm;

    // A Ming face like the program's 宋体, but AR PL UMing before it: Qt
    // derives the PDF's map back to text from the font's character map,
    // and for Noto CJK that map loses the digits and gives radicals for
    // common characters (车 as ⻋), so the text could not be searched or
    // copied. Where UMing is missing, the program's font stands in.
    QFont font;
    font.setFamilies({QStringLiteral("AR PL UMing CN"), QStringLiteral("宋体")});
    font.setPointSizeF(12);
    QFont heading = font;
    heading.setPointSizeF(16);
    heading.setBold(true);

    painter.save();
    painter.setPen(Qt::black);
    double y = kMarginMm * mm;
    double used = 0;
    painter.setFont(heading);
    drawWrapped(painter, printable(QStringLiteral("%1  %2").arg(sheet.number, sheet.title)), QPointF(left, y),
                width, 22 * mm, &used);
    y += used + 3 * mm;
    painter.setFont(font);
    const QString lines = QStringLiteral("编号：%1\n类别：%2\n票据标题：%3")
                              .arg(sheet.number, printable(sheet.category), printable(sheet.title));
    drawWrapped(painter, lines, QPointF(left, y), width, 30 * mm, &used);
    y += used + 2 * mm;
    const double descriptionRoom = pictureArea(device).top() - 4 * mm - y;
    const QString description = QStringLiteral("说明：%1").arg(printable(sheet.description));
    const QFontMetricsF metrics(font, painter.device());
    if (!drawWrapped(painter, description, QPointF(left, y), width, descriptionRoom - metrics.height(),
                     &used)) {
        painter.drawText(QPointF(left, y + used + metrics.ascent()),
                         QStringLiteral("……（说明未完，全文见 票据.csv）"));
    }

    const QRectF area = pictureArea(device);
    if (!picture.image.isNull()) {
        QSizeF fitted = QSizeF(picture.image.size()).scaled(area.size(), Qt::KeepAspectRatio);
        const QRectF target(area.left() + (area.width() - fitted.width()) / 2, area.top(), fitted.width(),
                            fitted.height());
        painter.drawImage(target, picture.image);
    } else {
        painter.setPen(QPen(Qt::gray, 0.3 * mm));
        painter.drawRect(area);
        painter.setPen(Qt::black);
        painter.drawText(area.adjusted(5 * mm, 5 * mm, -5 * mm, -5 * mm),
                         Qt::AlignCenter | Qt::TextWrapAnywhere, printable(picture.problem));
    }
    painter.restore();
}

} // namespace qb
