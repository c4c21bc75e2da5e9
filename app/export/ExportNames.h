#pragma once

#include <QByteArray>
#include <QDate>
#include <QSet>
#include <QString>

namespace qb {

// File names of an export. An export is handed to other people and other
// systems, so every name it writes must be one that Windows and Linux both
// take: no character either forbids, no trailing dot or blank, and no more
// than 255 bytes in UTF-8 (which is also within 255 UTF-16 units).
inline constexpr int kMaxExportNameBytes = 255;

// `base` + "." + `extension` made safe: the characters < > : " / \ | ? *,
// control characters and unpaired surrogates become "_", trailing dots and
// blanks go, and the base is cut (never inside a character) so that the
// whole name fits kMaxExportNameBytes. An empty base becomes "_".
QString safeFileName(const QString& base, const QString& extension = QString());

// Hands out names that no other name of the same export takes, compared as
// case-insensitive file systems compare them: a name already given gets
// "~2", "~3", ... before its extension, still within the length limit.
class UniqueNames
{
public:
    // Reserves a name without changing it (the table and the PDF).
    void reserve(const QString& name);
    QString take(const QString& base, const QString& extension);

private:
    QSet<QString> m_taken;
};

// The file name of an exported picture: "<number>_<category>_<title>.<ext>",
// empty parts left out.
QString exportedPictureBase(const QString& number, const QString& category, const QString& title);

// The extension a picture's content calls for, told by the first bytes of
// the file (JPEG, BMP, ICO, TIFF, EMF, WMF), whatever its stored name says.
// Content of no known kind keeps the stored name's extension.
QString trueExtension(const QByteArray& head, const QString& storedName);

// The export folder's name: "票据导出 <date>" followed by the search's
// category and text, when there are any, e.g. "票据导出 2026-12-10 办公".
QString exportFolderName(const QString& category, const QString& text, const QDate& date);

} // namespace qb
