#include "util/ProgramFolder.h"

#include "util/platform/Platform.h"

#include <QFile>

namespace qb {

QByteArray executablePath()
{
    return platform::executablePath();
}

std::optional<QString> programFolderOf(const QByteArray& executable)
{
    const qsizetype slash = executable.lastIndexOf('/');
    if (!executable.startsWith('/') || slash < 0)
        return std::nullopt;
    // The root folder keeps its one slash.
    const QByteArray folder = executable.left(slash > 0 ? slash : 1);
    const QString name = QFile::decodeName(folder);
    if (QFile::encodeName(name) == folder) {
        if (!platform::folderExists(folder))
            return std::nullopt;
        return slash > 0 ? name + u'/' : name;
    }
    return platform::folderByHandle(folder);
}

const std::optional<QString>& programFolder()
{
    static const std::optional<QString> folder = programFolderOf(executablePath());
    return folder;
}

} // namespace qb
