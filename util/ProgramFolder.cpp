#include "util/ProgramFolder.h"

#include <QFile>
#include <fcntl.h>
#include <unistd.h>

namespace qb {

QByteArray executablePath()
{
    QByteArray path(4096, Qt::Uninitialized);
    for (;;) {
        const ssize_t length = ::readlink("/proc/self/exe", path.data(), size_t(path.size()));
        if (length < 0)
            return QByteArray();
        if (length < path.size()) {
            path.truncate(int(length));
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::optional<QString> programFolderOf(const QByteArray& executable)
{
    const qsizetype slash = executable.lastIndexOf('/');
    if (!executable.startsWith('/') || slash < 0)
        return std::nullopt;
    // The root folder keeps its one slash.
    const QByteArray folder = executable.left(slash > 0 ? slash : 1);
    const int handle = ::open(folder.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (handle < 0)
        return std::nullopt;
    const QString name = QFile::decodeName(folder);
    if (QFile::encodeName(name) == folder) {
        ::close(handle);
        return slash > 0 ? name + u'/' : name;
    }
    // The process id rather than "self": a helper program started on a
    // picture in the folder must reach it through the same handle.
    return QStringLiteral("/proc/%1/fd/%2/").arg(QString::number(::getpid()), QString::number(handle));
}

const std::optional<QString>& programFolder()
{
    static const std::optional<QString> folder = programFolderOf(executablePath());
    return folder;
}

} // namespace qb
