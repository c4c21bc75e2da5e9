#include "util/gui/vornwindows.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QUrl>

namespace qb {

QString documentWorkingDirectory(const QString& document)
{
    // A web address keeps its scheme; only a file path is cut at this
    // platform's separator.
    qsizetype cut = std::max(document.lastIndexOf(u'\\'), document.lastIndexOf(u':'));
    if (!document.contains(QStringLiteral("://")))
        cut = std::max(cut, document.lastIndexOf(u'/'));
    return cut < 0 ? QString() : document.left(cut + 1);
}

bool isWebAddress(const QString& document)
{
    // A scheme of two letters or more: "C:" is a drive, not a scheme.
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    return scheme.match(document).hasMatch();
}

bool openDocument(const QString& document, const QString& parameters)
{
    if (isWebAddress(document)) {
        const QUrl url(document);
        return url.isValid() && QDesktopServices::openUrl(url);
    }
    // Anything else is a file, a relative path taken from the current folder.
    const QFileInfo file(document);
    if (document.isEmpty() || !file.exists())
        return false;
    // A program gets the parameters; the desktop's opener of documents takes none.
    if (!parameters.isEmpty() && file.isFile() && file.isExecutable()) {
        const QString folder = documentWorkingDirectory(document);
        return QProcess::startDetached(file.absoluteFilePath(), QProcess::splitCommand(parameters),
                                       folder.isEmpty() ? file.absolutePath()
                                                        : QFileInfo(folder).absoluteFilePath());
    }
    return QDesktopServices::openUrl(QUrl::fromLocalFile(file.absoluteFilePath()));
}

} // namespace qb
