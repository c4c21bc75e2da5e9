#include "app/JetConversion.h"

#include "app/StoreBootstrap.h"
#include "store/Schema.h"
#include "util/FileClaim.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace qb {

namespace {

bool isJetFile(const QString& path)
{
    QFile file(path);
    return QFileInfo(path).isFile() && file.open(QIODevice::ReadOnly) &&
           hasJetSignature(file.read(kJetSignatureBytes));
}

// Makes a finished file, or a new name in a folder, survive a power cut.
void syncPath(const QString& path)
{
#ifdef Q_OS_UNIX
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
#else
    Q_UNUSED(path);
#endif
}

bool sameFile(const QString& a, const QString& b)
{
#ifdef Q_OS_UNIX
    struct stat first, second;
    return ::stat(QFile::encodeName(a).constData(), &first) == 0 &&
           ::stat(QFile::encodeName(b).constData(), &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
#else
    Q_UNUSED(a);
    Q_UNUSED(b);
    return false;
#endif
}

// Gives the Jet file at `storePath` a second name of its own beside it and
// returns that name, or an empty text when it cannot. A start cut short
// after this step finds the name standing for the same file and uses it
// again. A name that holds another file is never replaced.
QString keepJetFile(const QString& programFolder, const QString& storePath)
{
    for (int n = 1; n < 100; ++n) {
        const QString kept =
            programFolder + kKeptJetName + (n == 1 ? QString() : QStringLiteral("-%1").arg(n));
        if (QFileInfo::exists(kept) || QFileInfo(kept).isSymLink()) {
            if (sameFile(kept, storePath))
                return kept;
            continue;
        }
#ifdef Q_OS_UNIX
        if (::link(QFile::encodeName(storePath).constData(), QFile::encodeName(kept).constData()) == 0) {
            syncPath(programFolder);
            return kept;
        }
        if (errno == EEXIST)
            continue;
#endif
        // A file system without hard links gets a copy, made under a
        // temporary name first so that the kept name never holds half a file.
        const QString temporary = temporaryName(programFolder, kStoreTemporaryPrefix, kStoreTemporarySuffix);
        if (QFile::copy(storePath, temporary)) {
            syncPath(temporary);
            const int error = moveWithoutReplacing(temporary, kept);
            if (error == 0) {
                syncPath(programFolder);
                return kept;
            }
            QFile::remove(temporary);
            if (error == EEXIST)
                continue;
        }
        QFile::remove(temporary);
        return QString();
    }
    return QString();
}

} // namespace

bool hasJetSignature(const QByteArray& header)
{
    static const char start[4] = {0x00, 0x01, 0x00, 0x00};
    return header.size() >= kJetSignatureBytes && std::memcmp(header.constData(), start, 4) == 0 &&
           (header.mid(4, 15) == "Standard Jet DB" || header.mid(4, 15) == "Standard ACE DB");
}

JetConversion convertJetStore(const QString& programFolder, const QString& converter,
                              const std::function<void(long long done, long long total)>& progress)
{
    const QString storePath = programFolder + schema::kStoreFileName;
    JetConversion result;
    if (!isJetFile(storePath))
        return result;
    result.jetPath = storePath;

    // The converter writes the new store whole under a temporary name that a
    // later start removes when this one is cut short.
    const QString temporary = temporaryName(programFolder, kStoreTemporaryPrefix, kStoreTemporarySuffix);
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(converter, {storePath, temporary});
    QByteArray pending;
    bool converted = false;
    if (process.waitForStarted(-1)) {
        while (process.state() != QProcess::NotRunning || process.bytesAvailable() > 0) {
            process.waitForReadyRead(100);
            pending += process.readAllStandardOutput();
            for (qsizetype end = pending.indexOf('\n'); end >= 0; end = pending.indexOf('\n')) {
                const QList<QByteArray> words = pending.left(end).split(' ');
                pending.remove(0, end + 1);
                if (words.size() == 3 && words[0] == "progress") {
                    progress(words[1].toLongLong(), words[2].toLongLong());
                } else if (words.size() == 3 && words[0] == "converted") {
                    result.receipts = words[1].toLongLong();
                    result.categories = words[2].toLongLong();
                    converted = true;
                }
            }
        }
    }
    const bool ok = converted && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    if (!ok) {
        QFile::remove(temporary);
        QFile::remove(temporary + QStringLiteral("-journal"));
        // Exit status 2: the Jet file cannot be read; anything else is ours.
        const bool unreadable = process.exitStatus() != QProcess::NormalExit || process.exitCode() == 2;
        result.outcome = unreadable && process.error() != QProcess::FailedToStart ? JetConversion::Unreadable
                                                                                  : JetConversion::NotWritten;
        return result;
    }

    // Another start of the program may have converted the store meanwhile.
    if (!isJetFile(storePath)) {
        QFile::remove(temporary);
        return JetConversion();
    }
    syncPath(temporary);
    const QString kept = keepJetFile(programFolder, storePath);
    // Only with the Jet file safe under its second name does the new store
    // replace the first, in one step.
    if (kept.isEmpty() ||
        ::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(storePath).constData()) != 0) {
        QFile::remove(temporary);
        result.outcome = JetConversion::NotWritten;
        return result;
    }
    syncPath(programFolder);
    result.outcome = JetConversion::Converted;
    result.jetPath = kept;
    return result;
}

QString conversionMessage(const JetConversion& conversion)
{
    const QString name = QFileInfo(conversion.jetPath).fileName();
    switch (conversion.outcome) {
    case JetConversion::NotJet:
        return QString();
    case JetConversion::Converted:
        return QStringLiteral(
                   "票据库 pj.db 原为 Jet (Access) 格式，已转换为本程序的格式：共转入 %1 张票据、%2 "
                   "个类别。原文件未作改动，另存为本程序文件夹中的 %3。")
            .arg(QString::number(conversion.receipts), QString::number(conversion.categories), name);
    case JetConversion::Unreadable:
        return QStringLiteral("票据库 %1 是 Jet (Access) 格式，但无法读取（文件已损坏，或其编码无法识别），"
                              "因此没有转换。该文件未作任何改动。")
            .arg(name);
    case JetConversion::NotWritten:
        return QStringLiteral("票据库 %1 是 Jet (Access) "
                              "格式，但这次未能完成转换（转换程序无法运行，或新的票据库无法写入"
                              "本程序的文件夹）。该文件未作任何改动，下次启动时将再次转换。")
            .arg(name);
    }
    return QString();
}

} // namespace qb
