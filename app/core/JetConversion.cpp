#include "app/core/JetConversion.h"

#include "app/core/StoreBootstrap.h"
#include "store/Schema.h"
#include "util/FileClaim.h"
#include "util/platform/Platform.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace qb {

namespace {

bool isJetFile(const QString& path)
{
    QFile file(path);
    return QFileInfo(path).isFile() && file.open(QIODevice::ReadOnly) &&
           hasJetSignature(file.read(kJetSignatureBytes));
}

using FileIdentity = platform::FileIdentity;

std::optional<FileIdentity> identityOf(const QString& path)
{
    return platform::fileIdentity(path);
}

// Makes a finished file, or a new name in a folder, survive a power cut.
void syncPath(const QString& path)
{
    platform::syncToDisk(path);
}

// Whether two names stand for one file: a hard link, not a symbolic link
// to it, which would not keep the file once its name is taken.
bool sameFile(const QString& a, const QString& b)
{
    return platform::sameFile(a, b);
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
        const int linked = platform::hardLink(storePath, kept);
        if (linked == 0) {
            syncPath(programFolder);
            return kept;
        }
        if (linked == EEXIST)
            continue;
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

std::chrono::milliseconds conversionTimeLimit(long long bytes)
{
    // A sound file converts at more than 100 MB a second.
    return std::chrono::milliseconds(10'000 + bytes / 10'000);
}

namespace {

void removeTemporary(const QString& temporary)
{
    QFile::remove(temporary);
    QFile::remove(temporary + schema::kJournalSuffix);
}

// What a converter that did not convert the store tells by the way it ended:
// exit status 2, the Jet file cannot be read (so does a converter that the
// system ended, or one that worked past its time on the file); 4, the file
// holds no receipts table; anything else, the new store was not written.
JetConversion::Outcome failure(const QProcess& process, bool started, bool pastLimit)
{
    if (pastLimit)
        return JetConversion::Unreadable;
    if (!started)
        return JetConversion::NotWritten;
    if (process.exitStatus() != QProcess::NormalExit)
        return JetConversion::Unreadable;
    switch (process.exitCode()) {
    case jetimport::kUnreadable:
        return JetConversion::Unreadable;
    case jetimport::kNotReceiptStore:
        return JetConversion::NotReceiptStore;
    default:
        return JetConversion::NotWritten;
    }
}

} // namespace

JetConversion convertJetStore(const QString& programFolder, const QString& converter,
                              const std::function<void(long long done, long long total)>& progress,
                              std::optional<std::chrono::milliseconds> limit)
{
    const QString storePath = programFolder + schema::kStoreFileName;
    JetConversion result;
    const std::optional<FileIdentity> jet = identityOf(storePath);
    if (!jet || !isJetFile(storePath))
        return result;
    result.jetPath = storePath;
    const long long timeLimit = limit.value_or(conversionTimeLimit(jet->size)).count();

    // The converter writes the new store whole under a temporary name that a
    // later start removes when this one is cut short.
    const QString temporary = temporaryName(programFolder, kStoreTemporaryPrefix, kStoreTemporarySuffix);
    QElapsedTimer clock;
    clock.start();
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(converter, {storePath, temporary});
    QByteArray pending;
    bool converted = false;
    bool pastLimit = false;
    long long done = 0;
    long long total = 0;
    const bool started = process.waitForStarted(int(timeLimit));
    while (started && (process.state() != QProcess::NotRunning || process.bytesAvailable() > 0)) {
        progress(done, total);
        if (clock.elapsed() > timeLimit) {
            pastLimit = true;
            process.kill();
            process.waitForFinished(-1);
            break;
        }
        process.waitForReadyRead(100);
        pending += process.readAllStandardOutput();
        for (qsizetype end = pending.indexOf('\n'); end >= 0; end = pending.indexOf('\n')) {
            const QList<QByteArray> words = pending.left(end).split(' ');
            pending.remove(0, end + 1);
            if (words.size() == 3 && words[0] == jetimport::kProgressWord) {
                done = words[1].toLongLong();
                total = words[2].toLongLong();
            } else if (words.size() == 3 && words[0] == jetimport::kConvertedWord) {
                result.receipts = words[1].toLongLong();
                result.categories = words[2].toLongLong();
                converted = true;
            }
        }
    }
    progress(done, total);
    if (!converted || pastLimit || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != jetimport::kConverted) {
        removeTemporary(temporary);
        result.outcome = failure(process, started, pastLimit);
        return result;
    }

    // Another start of the program may convert the store at the same time.
    // The one that comes second to this lock finds pj.db no longer the file
    // it converted and leaves the other's store in place; checking, keeping
    // the Jet file and renaming all happen under the lock.
    QLockFile lock(programFolder + kConversionLockName);
    lock.setStaleLockTime(0); // held as long as the disk takes; a holder that died frees it
    if (!lock.tryLock(60'000)) {
        removeTemporary(temporary);
        result.outcome = JetConversion::NotWritten;
        return result;
    }
    if (identityOf(storePath) != jet) {
        removeTemporary(temporary);
        // Some other Jet file took the name meanwhile: the next start converts it.
        if (isJetFile(storePath)) {
            result.outcome = JetConversion::NotWritten;
            return result;
        }
        return JetConversion();
    }
    syncPath(temporary);
    const QString kept = keepJetFile(programFolder, storePath);
    // Only with the Jet file safe under its second name does the new store
    // replace the first, in one step.
    if (kept.isEmpty() || platform::moveReplacing(temporary, storePath) != 0) {
        removeTemporary(temporary);
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
        return QStringLiteral("票据库 %4 原为 Jet (Access) 格式，已转换为本程序的格式：共转入 %1 张票据、%2 "
                              "个类别。原文件未作改动，另存为本程序文件夹中的 %3。")
            .arg(QString::number(conversion.receipts), QString::number(conversion.categories), name,
                 schema::kStoreFileName);
    // The messages of a store that stays unconverted come first, before
    // those of a store that cannot be opened, and say what to do.
    case JetConversion::Unreadable:
        return QStringLiteral("票据库 %1 是 Jet (Access) 格式，但无法读取（文件已损坏，或其编码无法识别），"
                              "因此没有转换。该文件未作任何改动，请保留该文件；换上完好的副本后重新启动"
                              "本程序，即可转换。在此之前无法打开票据库，也无法登录。")
            .arg(name);
    case JetConversion::NotWritten:
        return QStringLiteral(
                   "票据库 %1 是 Jet (Access) "
                   "格式，但这次未能完成转换（转换程序无法运行，或新的票据库无法写入"
                   "本程序的文件夹）。该文件未作任何改动，请保留该文件；请让本程序的文件夹可以"
                   "写入，然后重新启动本程序，届时将再次转换。在此之前无法打开票据库，也无法登录。")
            .arg(name);
    case JetConversion::NotReceiptStore:
        return QStringLiteral("文件 %1 是 Jet (Access) 格式的数据库，但其中没有票据表，不是票据库，因此没有"
                              "转换。该文件未作任何改动，请保留该文件；要在本程序的文件夹中使用新的票据库，"
                              "请把该文件移到别处，然后重新启动本程序。在此之前无法打开票据库，也无法登录。")
            .arg(name);
    }
    return QString();
}

} // namespace qb
