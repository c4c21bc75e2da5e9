#include "app/core/PictureRules.h"

#include "app/core/PictureFolderNumbers.h"
#include "store/PictureNames.h"
#include "store/Schema.h"
#include "util/FileClaim.h"
#include "util/FilePaths.h"
#include "util/PictureTypes.h"
#include "util/Trim.h"
#include "util/platform/Platform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace qb {

QString pictureFolderPath(const QString& programFolder)
{
    return programFolder + schema::kPictureFolderName + QDir::separator();
}

namespace {
bool syncFile(const QString& path)
{
    return platform::syncToDisk(path);
}
} // namespace

namespace {

// The folder's taken numbers come from one listing (or from `numbers`, kept
// between filings), instead of one existence test per number: a folder with
// a hundred thousand pictures would otherwise cost a hundred thousand system
// calls for every new receipt. The candidate is still tested on its own,
// since the folder may change between the listing and the test, once the
// receipts do not name it.
QString lowestFreeName(const QString& pictureFolder, bool foldersTakeNames, const PictureNamed& named,
                       PictureFolderNumbers* numbers)
{
    std::optional<FolderNumbers> listed;
    const FolderNumbers& taken =
        numbers ? numbers->current() : listed.emplace(FolderNumbers::list(pictureFolder));
    char name[32];
    for (qint64 n = 1;; ++n) {
        if (taken.taken(n, foldersTakeNames))
            continue;
        // The receipts first: a store whose receipts name a long run of
        // pictures no longer in the folder is answered from memory, where a
        // test of the file per number would cost a system call each.
        const size_t length = writeNumberedPictureName(n, name);
        if (named && named(std::string_view(name, length)))
            continue;
        const QString path = pictureFolder + QLatin1StringView(name, qsizetype(length));
        if (fileExists(path) || (foldersTakeNames && QFileInfo(path).isDir()))
            continue;
        return path;
    }
}
} // namespace

QString nextFreePictureName(const QString& pictureFolder, const PictureNamed& named,
                            PictureFolderNumbers* numbers)
{
    return lowestFreeName(pictureFolder, false, named, numbers);
}

bool isInPictureFolder(const QString& path, const QString& pictureFolder)
{
    if (path.isEmpty())
        return false;
    const QFileInfo file(path);
    return QDir::cleanPath(file.absolutePath()) ==
               QDir::cleanPath(QFileInfo(pictureFolder).absoluteFilePath()) &&
           fileExists(path);
}

namespace {
// Copies `from` to the new file `to`, bytes unchanged. Returns 0 or the errno
// of the failure, so that a full disk is reported as one.
int copyFileBytes(const QString& from, const QString& to)
{
    return platform::copyToNewFile(from, to);
}
} // namespace

QString importPicture(const QString& chosen, const QString& pictureFolder, const PictureNamed& named,
                      QString* copiedTo, PictureFolderNumbers* numbers)
{
    if (copiedTo)
        copiedTo->clear();
    const QString ownName = fileNamePart(chosen);
    if (isInPictureFolder(chosen, pictureFolder) && trimmed(ownName) == ownName)
        return ownName;

    if (chosen.isEmpty())
        throw PictureImportError(QStringLiteral("没有指定票据图片，请选择图片文件。"));
    const QFileInfo source(chosen);
    if (!source.exists())
        throw PictureImportError(missingPictureText(chosen));
    if (source.isDir())
        throw PictureImportError(QStringLiteral("“%1”是文件夹，不是图片文件。").arg(chosen));

    const auto failed = [&](const QString& partial, int error) {
        QFile::remove(partial);
        return PictureImportError(QStringLiteral("无法把图片文件“%1”复制到图片文件夹：%2")
                                      .arg(chosen, QString::fromLocal8Bit(std::strerror(error))));
    };
    // The copy is written under a temporary name and then moved to its
    // number, so that a copy cut short (a full disk, a vanished source, the
    // program killed) never leaves a partial picture under a numbered name.
    const QString partial = temporaryName(pictureFolder, kPictureTemporaryPrefix, kPictureTemporarySuffix);
    if (const int error = copyFileBytes(chosen, partial))
        throw failed(partial, error);
    // On the disk before it gets its name, so that a receipt never names a
    // picture that a power cut took back.
    if (!syncFile(partial))
        throw failed(partial, errno);

    // A folder bearing a numbered name does not make the name taken, but a
    // file cannot be written there either: the copy goes to the next name.
    // A name that another copy of the program takes between the search and
    // the move is left to it, and the search goes on from there.
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const QString dest = lowestFreeName(pictureFolder, true, named, numbers);
        const int result = moveWithoutReplacing(partial, dest);
        if (result == EEXIST)
            continue;
        if (result != 0)
            throw failed(partial, result);
        syncFile(pictureFolder);
        if (copiedTo)
            *copiedTo = dest;
        return fileNamePart(dest);
    }
    throw failed(partial, EEXIST);
}

PictureNamed namedInStore(Connection& connection, const QString& pictureFolder)
{
    // One reader for the whole decision: a search of a free number asks
    // about many names that lie close together.
    auto names = std::make_shared<PictureNames>(connection, pictureFolder);
    return [names](std::string_view name) { return names->named(name); };
}

bool removeUnnamedPicture(const QString& stored, const QString& pictureFolder, const PictureNamed& named)
{
    // A stored name with a folder part (another program may have written
    // it) points outside the picture folder: such a file is not ours.
    if (stored.isEmpty() || fileNamePart(stored) != stored)
        return false;
    const QString path = pictureFolder + stored;
    if (!fileExists(path) || named(stored.toUtf8().toStdString()))
        return false;
    return QFile::remove(path);
}

} // namespace qb
