#pragma once

#include <QImage>
#include <QString>
#include <optional>

class QPainter;
class QPagedPaintDevice;

namespace qb {

class Connection;

// One receipt as an export shows it: the texts trimmed as the display trims
// them, and where its picture lies.
struct ReceiptSheet
{
    QString number;
    QString category;
    QString title;
    QString description;
    // The stored picture name, trimmed, and the file the display reads for it.
    QString pictureName;
    QString picturePath;
};

// The receipt numbered `number`, read from the store, or nothing when no
// receipt has that number (any more). Throws StoreError when the store
// cannot be read.
std::optional<ReceiptSheet> readReceiptSheet(Connection& connection, const QString& pictureFolder,
                                             const QString& number);

// A receipt's picture as a page shows it: the decoded picture, or why there
// is none (in Chinese), and whether the file is missing altogether.
struct PagePicture
{
    QImage image;
    QString problem;
    bool missing = false;
};

// Decodes the receipt's picture for the picture area of a page, upright as
// the previews show it, at about 150 dots per inch of that area: enough for
// print, and a thousand pages stay a file one can mail.
PagePicture loadPagePicture(const ReceiptSheet& sheet, QPagedPaintDevice& device);

// Paints one A4 page of a receipt on `painter`, whose device is a PDF
// writer or a printer: number, category, title and description at the top,
// the picture below, fitted with its proportions kept, or the problem in
// its place. A description too long for its part of the page is cut with
// a note that the table holds it whole.
void paintReceiptPage(QPainter& painter, const ReceiptSheet& sheet, const PagePicture& picture);

} // namespace qb
