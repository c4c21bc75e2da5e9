#include "util/FileClaim.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QUuid>
#include <cerrno>
#include <cstdio>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>
#endif

namespace qb {

int moveWithoutReplacing(const QString& from, const QString& to)
{
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
#ifdef Q_OS_LINUX
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // The file system cannot refuse to replace in a rename; a hard link can
    // refuse, and the temporary name is let go once the link stands.
#endif
#ifdef Q_OS_UNIX
    if (::link(source.constData(), target.constData()) != 0)
        return errno;
    ::unlink(source.constData());
    return 0;
#else
    // QFile::rename never replaces an existing file.
    if (QFile::exists(to))
        return EEXIST;
    return QFile::rename(from, to) ? 0 : EIO;
#endif
}

QString temporaryName(const QString& folder, const QString& prefix, const QString& suffix)
{
    return folder + prefix + QString::number(QCoreApplication::applicationPid()) + u'-' +
           QUuid::createUuid().toString(QUuid::Id128) + suffix;
}

namespace {
// Whether the process that made a temporary of this name may still run. A
// name without a process id comes from a version that did not record one;
// its writer is long gone.
bool writerMayRun(QStringView middle)
{
    const qsizetype dash = middle.indexOf(u'-');
    if (dash <= 0)
        return false;
    bool ok = false;
    const qint64 pid = middle.left(dash).toLongLong(&ok);
    if (!ok || pid <= 0)
        return false;
    if (pid == QCoreApplication::applicationPid())
        return true;
#ifdef Q_OS_UNIX
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
#else
    return true;
#endif
}
} // namespace

int removeLeftoverTemporaries(const QString& folder, const QString& prefix, const QString& suffix)
{
    int removed = 0;
    const QStringList names =
        QDir(folder).entryList({prefix + u'*'}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : names) {
        if (!name.startsWith(prefix) || !name.endsWith(suffix) || name.size() < prefix.size() + suffix.size())
            continue;
        const QStringView middle = QStringView(name).mid(prefix.size(), name.size() - prefix.size() - suffix.size());
        if (writerMayRun(middle))
            continue;
        if (QFile::remove(QDir(folder).filePath(name)))
            ++removed;
    }
    return removed;
}

} // namespace qb
