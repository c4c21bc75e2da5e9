#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <functional>
#include <stdexcept>

class QPagedPaintDevice;

namespace qb {

class Connection;

// An export that could not be completed; the message says why, in Chinese.
class ExportError : public std::runtime_error
{
public:
    explicit ExportError(const QString& message)
        : std::runtime_error(message.toStdString()), m_message(message)
    {
    }
    const QString& message() const { return m_message; }

private:
    QString m_message;
};

// Told after each receipt: how many are done of how many. Returning false
// cancels the export.
using ExportProgress = std::function<bool(int done, int total)>;

// What to export: the receipts numbered `numbers` (as the result lines
// start), read from the store through `connection`, with their pictures in
// `pictureFolder` (which ends with a separator).
struct ExportSource
{
    Connection* connection = nullptr;
    QString pictureFolder;
    QStringList numbers;
};

struct ExportOutcome
{
    // Empty when the export was cancelled.
    QString folder;
    int exported = 0;
    // Receipts deleted since the search: not exported.
    int gone = 0;
};

// The names of the table and the PDF in an export folder.
inline const QString kExportTableName = QStringLiteral("票据.csv");
inline const QString kExportPdfName = QStringLiteral("票据.pdf");

// Writes a new folder `folderName` in `target`: each receipt's picture
// copied byte for byte under a name of its own, the table 票据.csv (UTF-8
// with a byte-order mark, quoted per RFC 4180) and 票据.pdf, one A4 page per
// receipt. It is written under a temporary name in `target` and takes its
// name only when whole; a name taken already gets " (2)", " (3)", ...
// A failure throws ExportError, and a cancel returns an empty folder; both
// leave nothing behind. A receipt whose picture is missing or cannot be
// decoded is exported all the same, its row and page saying so.
ExportOutcome exportReceipts(const ExportSource& source, const QString& target, const QString& folderName,
                             const ExportProgress& progress);

// Paints the same pages as the PDF onto `device` (a printer), one per
// receipt. Returns how many were printed, or -1 when cancelled.
int printReceipts(const ExportSource& source, QPagedPaintDevice& device, const ExportProgress& progress);

// One field of the table, quoted when RFC 4180 asks for it (a comma, a
// quote, a line break); U+0000, which spreadsheet programs stop at,
// becomes U+FFFD.
QString csvField(const QString& text);

} // namespace qb
