#include "app/export/ExportNames.h"

#include "picture/Decoders.h"
#include "util/Trim.h"

#include <QFileInfo>
#include <QStringList>

namespace qb {

namespace {

bool forbidden(char16_t c)
{
    return c < 0x20 || c == 0x7F || QStringView(u"<>:\"/\\|?*").contains(QChar(c));
}

// `text` with every character no file system of ours takes replaced.
QString cleaned(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            out.append(c).append(text.at(++i));
        } else if (c.isSurrogate() || forbidden(c.unicode())) {
            out.append(u'_');
        } else {
            out.append(c);
        }
    }
    return out;
}

// The longest start of `text` of at most `bytes` bytes in UTF-8 that does
// not end inside a character.
QString cutToBytes(const QString& text, int bytes)
{
    int used = 0;
    qsizetype end = 0;
    while (end < text.size()) {
        const bool pair = text.at(end).isHighSurrogate() && end + 1 < text.size();
        const char32_t c =
            pair ? QChar::surrogateToUcs4(text.at(end), text.at(end + 1)) : text.at(end).unicode();
        const int width = c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
        if (used + width > bytes)
            break;
        used += width;
        end += pair ? 2 : 1;
    }
    return text.left(end);
}

QString withoutTrailingDotsAndBlanks(QString text)
{
    while (!text.isEmpty() && (text.endsWith(u'.') || text.endsWith(u' ')))
        text.chop(1);
    return text;
}

QString joined(const QString& base, const QString& extension)
{
    return extension.isEmpty() ? base : base + u'.' + extension;
}

// `base` + `suffix` + "." + `extension`, made safe; the base gives way
// to the suffix and the extension when the name is too long.
QString fittedName(const QString& base, const QString& extension, const QString& suffix)
{
    const QString ext = withoutTrailingDotsAndBlanks(cleaned(extension));
    const int room = kMaxExportNameBytes - (ext.isEmpty() ? 0 : int(ext.toUtf8().size()) + 1) -
                     int(suffix.toUtf8().size());
    QString name = withoutTrailingDotsAndBlanks(cutToBytes(cleaned(base), room));
    if (name.isEmpty())
        name = QStringLiteral("_");
    return joined(name + suffix, ext);
}

QString foldedName(const QString& name)
{
    return name.normalized(QString::NormalizationForm_C).toCaseFolded();
}

} // namespace

QString safeFileName(const QString& base, const QString& extension)
{
    return fittedName(base, extension, QString());
}

void UniqueNames::reserve(const QString& name)
{
    m_taken.insert(foldedName(name));
}

QString UniqueNames::take(const QString& base, const QString& extension)
{
    for (int n = 1;; ++n) {
        const QString name = fittedName(base, extension, n == 1 ? QString() : QStringLiteral("~%1").arg(n));
        if (!m_taken.contains(foldedName(name))) {
            m_taken.insert(foldedName(name));
            return name;
        }
    }
}

QString exportedPictureBase(const QString& number, const QString& category, const QString& title)
{
    QStringList parts{number};
    for (const QString& part : {category, title})
        if (!part.isEmpty())
            parts.append(part);
    return parts.join(u'_');
}

QString trueExtension(const QByteArray& head, const QString& storedName)
{
    if (const auto format = picture::formatOfContent(head)) {
        switch (*format) {
        case PictureFormat::Jpeg:
            return QStringLiteral("jpg");
        case PictureFormat::Bmp:
            return QStringLiteral("bmp");
        case PictureFormat::Ico:
            return QStringLiteral("ico");
        case PictureFormat::Tiff:
            return QStringLiteral("tif");
        case PictureFormat::Emf:
            return QStringLiteral("emf");
        case PictureFormat::Wmf:
            return QStringLiteral("wmf");
        }
    }
    return QFileInfo(storedName).suffix().toLower();
}

QString exportFolderName(const QString& category, const QString& text, const QDate& date)
{
    QStringList parts{QStringLiteral("票据导出"), date.toString(Qt::ISODate)};
    for (const QString& part : {trimmed(category), trimmed(text)})
        if (!part.isEmpty())
            parts.append(part);
    // Room is left for the " (2)" that a second export of the day gets.
    return safeFileName(cutToBytes(parts.join(u' '), kMaxExportNameBytes - 12));
}

} // namespace qb
