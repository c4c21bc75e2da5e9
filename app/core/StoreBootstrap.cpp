#include "app/core/StoreBootstrap.h"

#include "app/core/PictureRules.h"
#include "store/Connection.h"
#include "store/JetText.h"
#include "store/NewStore.h"
#include "store/RecordSet.h"
#include "store/vorndata.h"
#include "util/FileClaim.h"
#include "util/platform/Platform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>

namespace qb {

InOutError::InOutError(int code) : std::runtime_error(textFor(code).toStdString()), m_code(code) {}

QString InOutError::textFor(int code)
{
    if (code == 5)
        return QStringLiteral("File access denied");
    return QStringLiteral("I/O error %1").arg(code);
}

int InOutError::codeForErrno(int error)
{
    switch (error) {
    case EACCES:
    case EPERM:
        return 5; // access denied
    case EEXIST:
    case ENOTDIR:
        return 183; // already exists
    case ENOENT:
        return 3; // path not found
    case EROFS:
        return 19; // write protected
    case ENOSPC:
        return 112; // disk full
    case ENAMETOOLONG:
        return 206; // name too long
    default:
        return error;
    }
}

int removeLeftoverFiles(const QString& programFolder)
{
    const QString pictureFolder = pictureFolderPath(programFolder);
    return removeLeftoverTemporaries(programFolder, kStoreTemporaryPrefix, kStoreTemporarySuffix) +
           removeLeftoverTemporaries(programFolder, kStoreTemporaryPrefix,
                                     kStoreTemporarySuffix + schema::kJournalSuffix) +
           removeLeftoverTemporaries(pictureFolder, kPictureTemporaryPrefix, kPictureTemporarySuffix);
}

namespace {
// A new store is made complete, with both tables, under a temporary name and
// only then moved to its name, so that a start killed halfway leaves either
// no store (the next start makes one) or a whole one, never a file without
// its tables that no later start would repair. Whether it worked shows, as
// for every store failure at start-up, as a store that cannot be opened.
void createStore(const QString& programFolder, const QString& storePath)
{
    const QString temporary = temporaryName(programFolder, kStoreTemporaryPrefix, kStoreTemporarySuffix);
    bool complete = false;
    if (vorndata::createDatabase(temporary, schema::kStorePassword)) {
        Connection creating;
        if (vorndata::connect(creating, temporary, schema::kStorePassword)) {
            try {
                makeStoreTables(creating);
                complete = true;
            } catch (...) {
                // Not complete: thrown away below.
            }
        }
    }
    // A store that another start put in place meanwhile is kept as it is.
    if (!complete || moveWithoutReplacing(temporary, storePath) != 0)
        QFile::remove(temporary);
}
} // namespace

void bootstrapStore(const QString& programFolder, Connection& connection, RecordSet& receipts,
                    RecordSet& categories)
{
    const QString storePath = programFolder + schema::kStoreFileName;
    removeLeftoverFiles(programFolder);
    if (!QFileInfo(storePath).isFile()) {
        createStore(programFolder, storePath);
        // The connection knows the store from now on, as if it had made it:
        // a record set opened later connects with it on demand.
        connection.setConnectionString(jet::connectionText(storePath, schema::kStorePassword), storePath,
                                       schema::kStorePassword);
    }

    const QString pictureFolder = pictureFolderPath(programFolder);
    if (!QFileInfo(pictureFolder).isDir()) {
        // Another start of the program may make the folder at the same moment.
        if (const int error = platform::makeFolder(pictureFolder)) {
            if (!(error == EEXIST && QFileInfo(pictureFolder).isDir()))
                throw InOutError(InOutError::codeForErrno(error));
        }
    }

    if (vorndata::connect(connection, storePath, schema::kStorePassword)) {
        // A store made before the indexes existed gets them now, once.
        addProgramIndexes(connection);
    }
    vorndata::openTable(receipts, schema::kReceipts);
    vorndata::openTable(categories, schema::kCategories);
}

} // namespace qb
