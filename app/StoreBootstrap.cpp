#include "app/StoreBootstrap.h"

#include "store/Connection.h"
#include "store/RecordSet.h"
#include "store/vorndata.h"

#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <sys/stat.h>

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

void bootstrapStore(const QString& programFolder, Connection& connection, RecordSet& receipts,
                    RecordSet& categories)
{
    const QString storePath = programFolder + kStoreFileName;
    if (!QFileInfo(storePath).isFile()) {
        vorndata::createDatabase(storePath, kStorePassword);
        vorndata::connect(connection, storePath, kStorePassword);
        vorndata::execute(receipts,
                          QStringLiteral("create table ml(ID  COUNTER   PRIMARY   KEY,类别 char(50))"));
        vorndata::execute(receipts,
                          QStringLiteral("create table pj(ID  COUNTER   PRIMARY   KEY,类别 char(50),"
                                         "票据标题 char(50),说明 memo,图片 char(50))"));
        connection.close();
    }

    const QString pictureFolder = programFolder + kPictureFolderName;
    if (!QFileInfo(pictureFolder).isDir()) {
        if (::mkdir(QFile::encodeName(pictureFolder).constData(), 0777) != 0)
            throw InOutError(InOutError::codeForErrno(errno));
    }

    vorndata::connect(connection, storePath, kStorePassword);
    vorndata::openTable(receipts, QStringLiteral("pj"));
    vorndata::openTable(categories, QStringLiteral("ml"));
}

} // namespace qb
