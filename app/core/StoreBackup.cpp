#include "app/core/StoreBackup.h"

#include "store/Schema.h"
#include "util/FileClaim.h"
#include "util/FilePaths.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <openssl/evp.h>
#include <sqlcipher/sqlite3.h>
#include <thread>
#include <zip.h>

namespace qb {

namespace {

constexpr qint64 kBlock = 1 << 20;

// SHA-256 through OpenSSL, which uses the processor's SHA instructions where
// it has them: the backup hashes every byte twice.
class Sha256
{
public:
    Sha256() : m_context(EVP_MD_CTX_new()) { reset(); }
    ~Sha256() { EVP_MD_CTX_free(m_context); }
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;
    void reset() { EVP_DigestInit_ex(m_context, EVP_sha256(), nullptr); }
    void addData(QByteArrayView bytes) { EVP_DigestUpdate(m_context, bytes.data(), size_t(bytes.size())); }
    QByteArray result()
    {
        QByteArray digest(EVP_MAX_MD_SIZE, Qt::Uninitialized);
        unsigned int size = 0;
        EVP_DigestFinal_ex(m_context, reinterpret_cast<unsigned char*>(digest.data()), &size);
        digest.resize(qsizetype(size));
        return digest;
    }

private:
    EVP_MD_CTX* m_context;
};

QString failed(const QString& why)
{
    return QStringLiteral("%1，备份没有写成。").arg(why);
}

// What the user is told about a failed write of ours at `path`.
QString writeFailure(int error, const QString& path)
{
    if (error == ENOSPC || error == EDQUOT)
        return failed(QStringLiteral("磁盘空间不足"));
    if (error == EACCES || error == EPERM || error == EROFS)
        return failed(QStringLiteral("没有权限写入“%1”").arg(QDir::toNativeSeparators(path)));
    return failed(
        QStringLiteral("无法写入“%1”（错误代码 %2）").arg(QDir::toNativeSeparators(path)).arg(error));
}

// Removes a temporary file of ours when the backup leaves, done or not.
class Temporary
{
public:
    explicit Temporary(QString path = {}) : m_path(std::move(path)) {}
    ~Temporary()
    {
        if (!m_path.isEmpty())
            QFile::remove(m_path);
    }
    Temporary(const Temporary&) = delete;
    Temporary& operator=(const Temporary&) = delete;
    void release() { m_path.clear(); }

private:
    QString m_path;
};

struct EngineCloser
{
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using Engine = std::unique_ptr<sqlite3, EngineCloser>;

Engine openKeyed(const QString& path, const QString& password, int flags)
{
    sqlite3* opened = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &opened, flags, nullptr);
    Engine db(opened);
    if (rc != SQLITE_OK)
        return nullptr;
    const QByteArray key = QStringLiteral("PRAGMA key = '%1'")
                               .arg(QString(password).replace(u'\'', QStringLiteral("''")))
                               .toUtf8();
    if (sqlite3_exec(db.get(), key.constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
        return nullptr;
    return db;
}

long long countRows(sqlite3* db, const QString& table)
{
    sqlite3_stmt* statement = nullptr;
    const QByteArray sql = QStringLiteral("SELECT count(*) FROM %1").arg(table).toUtf8();
    if (sqlite3_prepare_v2(db, sql.constData(), -1, &statement, nullptr) != SQLITE_OK) {
        sqlite3_finalize(statement);
        return -1;
    }
    const long long count = sqlite3_step(statement) == SQLITE_ROW ? sqlite3_column_int64(statement, 0) : -1;
    sqlite3_finalize(statement);
    return count;
}

// The name as sha256sum writes it: a backslash or a line break in it is
// escaped, and the line then starts with a backslash.
QByteArray manifestLine(const QByteArray& digest, const QByteArray& name)
{
    QByteArray escaped = name;
    const bool escape = name.contains('\\') || name.contains('\n');
    escaped.replace("\\", "\\\\").replace("\n", "\\n");
    return (escape ? "\\" : "") + digest.toHex() + "  " + escaped + "\n";
}

QByteArray unescapeName(const QByteArray& escaped)
{
    QByteArray name;
    for (qsizetype i = 0; i < escaped.size(); ++i) {
        if (escaped[i] == '\\' && i + 1 < escaped.size()) {
            ++i;
            name.append(escaped[i] == 'n' ? '\n' : escaped[i]);
        } else {
            name.append(escaped[i]);
        }
    }
    return name;
}

// One file that goes into the archive, hashed while the archive library reads
// it. The manifest's own entry is produced last, from the digests of all the
// others, when the library gets to it.
struct Entry
{
    QString path;                         // for messages
    QByteArray native;                    // to read; empty for the manifest
    long long size = -1;                  // unknown for the manifest
    std::function<QByteArray()> contents; // the manifest's
    StoreBackup::Progress* progress = nullptr;
    FILE* file = nullptr;
    QByteArray text;
    qsizetype offset = 0;
    Sha256 hash;
    QByteArray digest;
    bool unreadable = false;
    zip_error_t error{};
};

zip_int64_t entrySource(void* state, void* data, zip_uint64_t length, zip_source_cmd_t command)
{
    if (command == ZIP_SOURCE_FREE)
        return 0; // the entries belong to the writer
    Entry& entry = *static_cast<Entry*>(state);
    switch (command) {
    case ZIP_SOURCE_OPEN:
        if (entry.contents) {
            entry.text = entry.contents();
            entry.offset = 0;
            return 0;
        }
        entry.hash.reset();
        entry.file = std::fopen(entry.native.constData(), "rb");
        if (!entry.file) {
            entry.unreadable = true;
            zip_error_set(&entry.error, ZIP_ER_OPEN, errno);
            return -1;
        }
        return 0;
    case ZIP_SOURCE_READ: {
        if (entry.progress->cancel) {
            zip_error_set(&entry.error, ZIP_ER_CANCELLED, 0);
            return -1;
        }
        if (entry.contents) {
            const qsizetype n = std::min<qsizetype>(qsizetype(length), entry.text.size() - entry.offset);
            std::memcpy(data, entry.text.constData() + entry.offset, size_t(n));
            entry.offset += n;
            return n;
        }
        const size_t n = std::fread(data, 1, length, entry.file);
        if (n < length && std::ferror(entry.file)) {
            entry.unreadable = true;
            zip_error_set(&entry.error, ZIP_ER_READ, errno);
            return -1;
        }
        entry.hash.addData(QByteArrayView(static_cast<const char*>(data), qsizetype(n)));
        entry.progress->done += qint64(n);
        return zip_int64_t(n);
    }
    case ZIP_SOURCE_CLOSE:
        if (entry.file) {
            std::fclose(entry.file);
            entry.file = nullptr;
            entry.digest = entry.hash.result();
        }
        return 0;
    case ZIP_SOURCE_STAT: {
        auto* stat = static_cast<zip_stat_t*>(data);
        zip_stat_init(stat);
        stat->valid = ZIP_STAT_MTIME;
        stat->mtime = time(nullptr);
        if (entry.size >= 0) {
            stat->size = zip_uint64_t(entry.size);
            stat->valid |= ZIP_STAT_SIZE;
        }
        return sizeof(*stat);
    }
    case ZIP_SOURCE_ERROR:
        return zip_error_to_data(&entry.error, data, length);
    case ZIP_SOURCE_SUPPORTS:
        return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE,
                                              ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
    default:
        zip_error_set(&entry.error, ZIP_ER_OPNOTSUPP, 0);
        return -1;
    }
}

struct ArchiveCloser
{
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
using Archive = std::unique_ptr<zip_t, ArchiveCloser>;

} // namespace

BackupError::BackupError(const QString& message) : std::runtime_error(message.toStdString()) {}

int StoreBackup::Progress::permille() const
{
    const long long all = std::max(1LL, total.load());
    return int(std::min(1000LL, done.load() * 1000 / all));
}

StoreCounts countStore(const QString& path, const QString& password)
{
    Engine db = openKeyed(path, password, SQLITE_OPEN_READONLY);
    StoreCounts counts;
    if (db) {
        counts.receipts = countRows(db.get(), schema::kReceipts);
        counts.categories = countRows(db.get(), schema::kCategories);
    }
    if (!db || counts.receipts < 0 || counts.categories < 0)
        throw BackupError(failed(QStringLiteral("票据库无法读取")));
    return counts;
}

StoreBackup::StoreBackup(const QString& programFolder, const QString& target)
    : m_programFolder(programFolder), m_target(target)
{
    const QFileInfo info(target);
    m_folder = info.absolutePath() + u'/';
    if (info.exists() || info.isSymLink())
        throw BackupError(QStringLiteral("“%1”已经存在，备份没有写成。请换一个文件名。")
                              .arg(QDir::toNativeSeparators(target)));
    if (!QFileInfo(m_folder).isDir())
        throw BackupError(failed(QStringLiteral("文件夹“%1”不存在").arg(QDir::toNativeSeparators(m_folder))));
    listPictures(programFolder + schema::kPictureFolderName + u'/', QByteArray());
    const long long store = QFileInfo(programFolder + schema::kStoreFileName).size();
    long long bytes = store;
    for (const Picture& picture : m_pictures)
        bytes += picture.size;
    // The store is read once for the snapshot; everything is read once more
    // for the archive and once for the check.
    m_progress.total = store + 2 * bytes;
}

StoreBackup::~StoreBackup()
{
    if (!m_snapshot.isEmpty())
        QFile::remove(m_snapshot);
}

void StoreBackup::listPictures(const QString& folder, const QByteArray& below)
{
    forEachEntry(folder, [&](std::string_view name, bool isFolder) {
        const QByteArray bytes(name.data(), qsizetype(name.size()));
        if (bytes == "." || bytes == "..")
            return;
        // A folder below the picture folder is taken along, but not one that
        // a link leads to: it may lead back up.
        if (isFolder) {
            if (!QFileInfo(folder + QFile::decodeName(bytes)).isSymLink())
                listPictures(folder + QFile::decodeName(bytes) + u'/', below + bytes + '/');
            return;
        }
        // By bytes: a name need not survive a QString.
        std::error_code error;
        const auto size =
            std::filesystem::file_size((QFile::encodeName(folder) + bytes).toStdString(), error);
        m_pictures.push_back({below + bytes, error ? 0 : (long long)size});
    });
}

void StoreBackup::takeSnapshot(sqlite3* source, const std::function<void()>& betweenSteps, int pagesPerStep)
{
    m_snapshot = temporaryName(m_folder, QStringLiteral(".票据备份-"), QStringLiteral(".db.tmp"));
    Engine copy = openKeyed(m_snapshot, schema::kStorePassword,
                            SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_EXCLUSIVE);
    if (!copy)
        throw BackupError(writeFailure(errno, m_snapshot));
    sqlite3_backup* backup = sqlite3_backup_init(copy.get(), "main", source, "main");
    if (!backup)
        throw BackupError(failed(QStringLiteral("票据库无法读取")));
    const long long before = m_progress.done;
    int rc = SQLITE_OK;
    while (rc == SQLITE_OK || rc == SQLITE_BUSY || rc == SQLITE_LOCKED) {
        if (m_progress.cancel)
            break;
        if (rc != SQLITE_OK)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        rc = sqlite3_backup_step(backup, pagesPerStep);
        const int pages = sqlite3_backup_pagecount(backup);
        m_progress.done = before + (pages - sqlite3_backup_remaining(backup)) * 1024LL;
        if (rc != SQLITE_DONE)
            betweenSteps();
    }
    sqlite3_backup_finish(backup);
    if (m_progress.cancel)
        throw BackupError(QStringLiteral("备份已取消，没有留下备份文件。"));
    if (rc != SQLITE_DONE) {
        const int error = sqlite3_system_errno(copy.get());
        if (rc == SQLITE_FULL || error == ENOSPC)
            throw BackupError(writeFailure(ENOSPC, m_snapshot));
        throw BackupError(error ? writeFailure(error, m_snapshot) : failed(QStringLiteral("票据库无法读取")));
    }
    copy.reset();
    m_counts = countStore(m_snapshot, schema::kStorePassword);
}

QByteArray StoreBackup::manifest(const std::vector<QByteArray>& names,
                                 const std::vector<QByteArray>& digests) const
{
    QByteArray text = QStringLiteral("# TavrellQuillbox 票据备份\n"
                                     "# 版本: %1\n# 日期: %2\n# 票据: %3\n# 类别: %4\n# 文件: %5\n")
                          .arg(QStringLiteral(QB_VERSION),
                               QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                               QString::number(m_counts.receipts), QString::number(m_counts.categories),
                               QString::number(names.size()))
                          .toUtf8();
    for (size_t i = 0; i < names.size(); ++i)
        text += manifestLine(digests[i], names[i]);
    return text;
}

void StoreBackup::writeArchive()
{
    const QString temporary =
        temporaryName(m_folder, QStringLiteral(".票据备份-"), QStringLiteral(".zip.tmp"));
    Temporary removeArchive(temporary);
    // The entries outlive the archive: the library reads them when it is
    // closed, and lets go of them when it is freed.
    std::vector<std::unique_ptr<Entry>> entries;
    std::vector<QByteArray> names;
    int openError = 0;
    Archive archive(zip_open(QFile::encodeName(temporary).constData(), ZIP_CREATE | ZIP_EXCL, &openError));
    if (!archive)
        throw BackupError(writeFailure(errno, temporary));

    const auto add = [&](const QByteArray& name, std::unique_ptr<Entry> entry) {
        entry->progress = &m_progress;
        zip_source_t* source = zip_source_function(archive.get(), entrySource, entry.get());
        const zip_int64_t index =
            source ? zip_file_add(archive.get(), name.constData(), source, ZIP_FL_ENC_GUESS) : -1;
        if (index < 0) {
            zip_source_free(source);
            throw BackupError(failed(QStringLiteral("备份文件无法组成")));
        }
        zip_set_file_compression(archive.get(), zip_uint64_t(index), ZIP_CM_STORE, 0);
        entries.push_back(std::move(entry));
    };
    auto store = std::make_unique<Entry>();
    store->path = m_snapshot;
    store->native = QFile::encodeName(m_snapshot);
    store->size = QFileInfo(m_snapshot).size();
    names.push_back(schema::kStoreFileName.toUtf8());
    add(names.back(), std::move(store));
    const QString pictureFolder = m_programFolder + schema::kPictureFolderName + u'/';
    for (const Picture& picture : m_pictures) {
        auto entry = std::make_unique<Entry>();
        entry->path = pictureFolder + QFile::decodeName(picture.name);
        entry->native = QFile::encodeName(pictureFolder) + picture.name;
        entry->size = picture.size;
        names.push_back(schema::kPictureFolderName.toUtf8() + '/' + picture.name);
        add(names.back(), std::move(entry));
    }
    auto manifestEntry = std::make_unique<Entry>();
    manifestEntry->contents = [&] {
        std::vector<QByteArray> digests;
        for (size_t i = 0; i < names.size(); ++i)
            digests.push_back(entries[i]->digest);
        return manifest(names, digests);
    };
    add(kBackupManifestName.toUtf8(), std::move(manifestEntry));

    if (zip_close(archive.get()) != 0) {
        const zip_error_t* error = zip_get_error(archive.get());
        if (m_progress.cancel)
            throw BackupError(QStringLiteral("备份已取消，没有留下备份文件。"));
        for (size_t i = 1; i < names.size(); ++i)
            if (entries[i]->unreadable)
                throw BackupError(failed(
                    QStringLiteral("图片“%1”无法读取").arg(QDir::toNativeSeparators(entries[i]->path))));
        if (entries[0]->unreadable)
            throw BackupError(failed(QStringLiteral("票据库的快照无法读取")));
        const int system = zip_error_system_type(error) == ZIP_ET_SYS ? zip_error_code_system(error) : EIO;
        throw BackupError(writeFailure(system, temporary));
    }
    archive.release(); // closed and freed by zip_close

    check(temporary);
    const int moved = moveWithoutReplacing(temporary, m_target);
    if (moved == EEXIST)
        throw BackupError(QStringLiteral("“%1”已经存在，备份没有写成。请换一个文件名。")
                              .arg(QDir::toNativeSeparators(m_target)));
    if (moved != 0)
        throw BackupError(writeFailure(moved, m_target));
    removeArchive.release();
}

// Reads the archive back as a restore would: every file against the
// manifest's digest, nothing missing and nothing more, and the store's copy
// opened with the key and counted.
void StoreBackup::check(const QString& path)
{
    const QString mismatch = QStringLiteral("备份文件读回后与原文件不符（%1）");
    int openError = 0;
    Archive archive(zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY | ZIP_CHECKCONS, &openError));
    if (!archive)
        throw BackupError(failed(QStringLiteral("备份文件无法读回")));
    std::map<QByteArray, QByteArray> expected; // name -> digest
    QByteArray header;
    const QString restored = temporaryName(m_folder, QStringLiteral(".票据备份-"), QStringLiteral(".db.tmp"));
    Temporary removeRestored(restored);
    std::map<QByteArray, QByteArray> found;
    QByteArray block(kBlock, Qt::Uninitialized);
    const zip_int64_t count = zip_get_num_entries(archive.get(), 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const QByteArray name = zip_get_name(archive.get(), zip_uint64_t(i), ZIP_FL_ENC_RAW);
        zip_file_t* file = zip_fopen_index(archive.get(), zip_uint64_t(i), 0);
        if (!file)
            throw BackupError(failed(mismatch.arg(QString::fromUtf8(name))));
        const bool manifest = name == kBackupManifestName.toUtf8();
        const bool store = name == schema::kStoreFileName.toUtf8();
        QFile out(restored);
        if (store && !out.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            zip_fclose(file);
            throw BackupError(writeFailure(ENOSPC, restored));
        }
        Sha256 hash;
        QByteArray text;
        zip_int64_t n = 0;
        while ((n = zip_fread(file, block.data(), kBlock)) > 0 && !m_progress.cancel) {
            const QByteArrayView read(block.constData(), qsizetype(n));
            hash.addData(read);
            if (manifest)
                text += read;
            if (store && out.write(read.data(), read.size()) != read.size()) {
                zip_fclose(file);
                throw BackupError(writeFailure(ENOSPC, restored));
            }
            if (!manifest)
                m_progress.done += n;
        }
        // The library compares the checksum of each file as it reaches its end.
        if (zip_fclose(file) != 0 || n < 0 || (store && !out.flush()))
            throw BackupError(m_progress.cancel ? QStringLiteral("备份已取消，没有留下备份文件。")
                                                : failed(mismatch.arg(QString::fromUtf8(name))));
        if (m_progress.cancel)
            throw BackupError(QStringLiteral("备份已取消，没有留下备份文件。"));
        if (manifest) {
            for (const QByteArray& line : text.split('\n')) {
                if (line.startsWith('#')) {
                    header += line + '\n';
                } else if (line.size() > 66) {
                    const bool escaped = line.startsWith('\\');
                    const QByteArray rest = line.mid(escaped ? 1 : 0);
                    expected[escaped ? unescapeName(rest.mid(66)) : rest.mid(66)] =
                        QByteArray::fromHex(rest.left(64));
                }
            }
        } else {
            found[name] = hash.result();
        }
    }
    if (found != expected || found.size() != m_pictures.size() + 1) {
        for (const auto& [name, digest] : found)
            if (expected.count(name) == 0 || expected[name] != digest)
                throw BackupError(failed(mismatch.arg(QString::fromUtf8(name))));
        throw BackupError(failed(mismatch.arg(kBackupManifestName)));
    }
    const StoreCounts counts = countStore(restored, schema::kStorePassword);
    const QByteArray counted = QStringLiteral("# 票据: %1\n# 类别: %2\n")
                                   .arg(QString::number(counts.receipts), QString::number(counts.categories))
                                   .toUtf8();
    if (counts.receipts != m_counts.receipts || counts.categories != m_counts.categories ||
        !header.contains(counted))
        throw BackupError(failed(mismatch.arg(schema::kStoreFileName)));
}

} // namespace qb
