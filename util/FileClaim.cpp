#include "util/FileClaim.h"

#include "util/platform/Platform.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace qb {

int moveWithoutReplacing(const QString& from, const QString& to)
{
    return platform::moveWithoutReplacing(from, to);
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
    // A process whose state cannot be told may run.
    return platform::processState(pid) != platform::Liveness::Gone;
}
} // namespace

void forEachEntry(const QString& folder,
                  const std::function<void(std::string_view name, bool isFolder)>& visit)
{
    platform::forEachEntry(folder, visit);
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
