#include "app/PictureRules.h"

#include "util/FileClaim.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

namespace qb {

QString numberedPictureName(qint64 number)
{
    return QStringLiteral("%1.jpg").arg(number, 5, 10, QLatin1Char('0'));
}

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

namespace {
bool syncFile(const QString& path)
{
#ifdef Q_OS_UNIX
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
#else
    Q_UNUSED(path);
    return true;
#endif
}
} // namespace

// One listing of the folder finds the numbers in use, instead of one
// existence test per number: a folder with a hundred thousand pictures would
// otherwise cost a hundred thousand system calls for every new receipt. The
// candidate is still tested on its own, since the folder may change between
// the listing and the test.
namespace {
QString lowestFreeName(const QString& pictureFolder, bool foldersTakeNames)
{
    QSet<qint64> taken;
    QDir::Filters kinds = QDir::Files | QDir::Hidden | QDir::System;
    if (foldersTakeNames)
        kinds |= QDir::Dirs;
    const QStringList names = QDir(pictureFolder).entryList({QStringLiteral("*.jpg")}, kinds);
    for (const QString& name : names) {
        bool ok = false;
        const qint64 n = QStringView(name).chopped(4).toLongLong(&ok);
        if (ok && n >= 1 && numberedPictureName(n) == name)
            taken.insert(n);
    }
    qint64 n = 1;
    for (;; ++n) {
        if (taken.contains(n))
            continue;
        const QString path = pictureFolder + numberedPictureName(n);
        if (!fileExists(path) && !(foldersTakeNames && QFileInfo(path).isDir()))
            return path;
    }
}
} // namespace

QString nextFreePictureName(const QString& pictureFolder)
{
    return lowestFreeName(pictureFolder, false);
}

bool isInPictureFolder(const QString& path, const QString& pictureFolder)
{
    if (path.isEmpty())
        return false;
    const QFileInfo file(path);
    return QDir::cleanPath(file.absolutePath()) == QDir::cleanPath(QFileInfo(pictureFolder).absoluteFilePath()) &&
           fileExists(path);
}

QString importPicture(const QString& chosen, const QString& pictureFolder, QString* copiedTo)
{
    if (copiedTo)
        copiedTo->clear();
    if (isInPictureFolder(chosen, pictureFolder))
        return fileNamePart(chosen);

    if (chosen.isEmpty())
        throw PictureImportError(QStringLiteral("没有指定票据图片，请选择图片文件。"));
    const QFileInfo source(chosen);
    if (!source.exists())
        throw PictureImportError(QStringLiteral("图片文件“%1”不存在。").arg(chosen));
    if (source.isDir())
        throw PictureImportError(QStringLiteral("“%1”是文件夹，不是图片文件。").arg(chosen));

    const auto failed = [&](const QString& partial, const QString& reason) {
        QFile::remove(partial);
        return PictureImportError(QStringLiteral("无法把图片文件“%1”复制到图片文件夹：%2").arg(chosen, reason));
    };
    // The copy is written under a temporary name and then moved to its
    // number, so that a copy cut short (a full disk, a vanished source, the
    // program killed) never leaves a partial picture under a numbered name.
    const QString partial = temporaryName(pictureFolder, kPictureTemporaryPrefix, kPictureTemporarySuffix);
    namespace fs = std::filesystem;
    std::error_code error;
    fs::copy_file(fs::path(QFile::encodeName(chosen).toStdString()),
                  fs::path(QFile::encodeName(partial).toStdString()), fs::copy_options::overwrite_existing,
                  error);
    if (error)
        throw failed(partial, QString::fromLocal8Bit(error.message()));
    // On the disk before it gets its name, so that a receipt never names a
    // picture that a power cut took back.
    if (!syncFile(partial))
        throw failed(partial, QString::fromLocal8Bit(std::strerror(errno)));

    // A folder bearing a numbered name does not make the name taken, but a
    // file cannot be written there either: the copy goes to the next name.
    // A name that another copy of the program takes between the search and
    // the move is left to it, and the search goes on from there.
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const QString dest = lowestFreeName(pictureFolder, true);
        const int result = moveWithoutReplacing(partial, dest);
        if (result == EEXIST)
            continue;
        if (result != 0)
            throw failed(partial, QString::fromLocal8Bit(std::strerror(result)));
        syncFile(pictureFolder);
        if (copiedTo)
            *copiedTo = dest;
        return fileNamePart(dest);
    }
    throw failed(partial, QString::fromLocal8Bit(std::strerror(EEXIST)));
}

} // namespace qb
