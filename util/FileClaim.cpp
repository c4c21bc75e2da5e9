#include "util/FileClaim.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#ifdef Q_OS_UNIX
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
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

void forEachEntry(const QString& folder,
                  const std::function<void(std::string_view name, bool isFolder)>& visit)
{
#ifdef Q_OS_UNIX
    // Closed however the walk ends: `visit` may throw.
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(QFile::encodeName(folder).constData()),
                                                  ::closedir);
    if (!dir)
        return;
    const int dirFd = ::dirfd(dir.get());
    while (const dirent* entry = ::readdir(dir.get())) {
        bool isFolder = entry->d_type == DT_DIR;
        // Links and file systems that do not type their entries need a look.
        if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            struct stat info;
            isFolder = ::fstatat(dirFd, entry->d_name, &info, 0) == 0 && S_ISDIR(info.st_mode);
        }
        visit(std::string_view(entry->d_name), isFolder);
    }
#else
    const QFileInfoList entries =
        QDir(folder).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo& entry : entries) {
        const QByteArray name = QFile::encodeName(entry.fileName());
        visit(std::string_view(name.constData(), size_t(name.size())), entry.isDir());
    }
#endif
}

namespace {
// The names in `folder` that start with `prefix`. The picture folder is
// looked through at every start, so the names are compared as the bytes the
// system gives, and only the few that match become texts.
QStringList namesStartingWith(const QString& folder, const QString& prefix)
{
    QStringList found;
    const QByteArray start = QFile::encodeName(prefix);
    forEachEntry(folder, [&](std::string_view name, bool) {
        if (name.substr(0, size_t(start.size())) == std::string_view(start.constData(), size_t(start.size())))
            found.append(QFile::decodeName(QByteArray(name.data(), qsizetype(name.size()))));
    });
    return found;
}
} // namespace

int removeLeftoverTemporaries(const QString& folder, const QString& prefix, const QString& suffix)
{
    int removed = 0;
    for (const QString& name : namesStartingWith(folder, prefix)) {
        if (!name.endsWith(suffix) || name.size() < prefix.size() + suffix.size())
            continue;
        const QStringView middle =
            QStringView(name).mid(prefix.size(), name.size() - prefix.size() - suffix.size());
        const QString path = QDir(folder).filePath(name);
        if (writerMayRun(middle) || !QFileInfo(path).isFile())
            continue;
        if (QFile::remove(path))
            ++removed;
    }
    return removed;
}

} // namespace qb
