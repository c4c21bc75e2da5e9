#include "util/FilePaths.h"

#include "util/platform/Platform.h"

#include <QDir>
#include <algorithm>

namespace qb {

bool fileExists(const QString& path)
{
    return platform::isNonFolder(path);
}

QString fileNamePart(const QString& path)
{
    qsizetype cut = path.lastIndexOf(QDir::separator());
#ifdef Q_OS_WIN
    cut = std::max({cut, path.lastIndexOf(u'/'), path.lastIndexOf(u':')});
#endif
    return path.mid(cut + 1);
}

} // namespace qb
