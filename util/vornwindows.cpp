#include "util/vornwindows.h"

#include <QDesktopServices>
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

bool openDocument(const QString& document, const QString& parameters)
{
    // The desktop's opener takes no parameter text and no working directory;
    // both are part of the request on platforms whose shell uses them.
    Q_UNUSED(parameters);
    const QUrl url = QUrl::fromUserInput(document, documentWorkingDirectory(document));
    return url.isValid() && QDesktopServices::openUrl(url);
}

} // namespace qb
