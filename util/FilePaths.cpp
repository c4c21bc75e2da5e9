#include "util/FilePaths.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <sys/stat.h>

namespace qb {

bool fileExists(const QString& path)
{
    struct stat info;
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return false;
    return !S_ISDIR(info.st_mode);
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
