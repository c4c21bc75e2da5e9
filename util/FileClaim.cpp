#include "util/FileClaim.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>
#include <cerrno>
#include <cstdio>
#include <cstring>

#ifdef Q_OS_UNIX
#include <dirent.h>
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

namespace {
// The names in `folder` that start with `prefix`. The picture folder can hold
// a hundred thousand pictures and is looked through at every start, so the
// names are compared as the bytes the system gives, and only the few that
// match become texts.
QStringList namesStartingWith(const QString& folder, const QString& prefix)
{
    QStringList found;
#ifdef Q_OS_UNIX
    const QByteArray start = QFile::encodeName(prefix);
    DIR* dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return found;
    while (const dirent* entry = ::readdir(dir))
        if (std::strncmp(entry->d_name, start.constData(), size_t(start.size())) == 0)
            found.append(QFile::decodeName(entry->d_name));
    ::closedir(dir);
#else
    found = QDir(folder).entryList({prefix + u'*'}, QDir::Files | QDir::Hidden | QDir::System);
#endif
    return found;
}
} // namespace

int removeLeftoverTemporaries(const QString& folder, const QString& prefix, const QString& suffix)
{
    int removed = 0;
    for (const QString& name : namesStartingWith(folder, prefix)) {
        if (!name.endsWith(suffix) || name.size() < prefix.size() + suffix.size())
            continue;
        const QStringView middle = QStringView(name).mid(prefix.size(), name.size() - prefix.size() - suffix.size());
        const QString path = QDir(folder).filePath(name);
        if (writerMayRun(middle) || !QFileInfo(path).isFile())
            continue;
        if (QFile::remove(path))
            ++removed;
    }
    return removed;
}

} // namespace qb
