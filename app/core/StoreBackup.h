#pragma once

#include <QString>
#include <atomic>
#include <functional>
#include <stdexcept>
#include <vector>

struct sqlite3;

namespace qb {

// A backup that could not be made; the message is what the user is shown.
class BackupError : public std::runtime_error
{
public:
    explicit BackupError(const QString& message);
    QString message() const { return QString::fromUtf8(what()); }
};

// The name of the manifest inside an archive.
inline const QString kBackupManifestName = QStringLiteral("备份清单.txt");

// What a store holds, as a backup's manifest counts it.
struct StoreCounts
{
    long long receipts = 0;
    long long categories = 0;
};

// Counts the receipts and categories of the store file at `path`, opened
// read-only with `password`. Throws BackupError when it cannot be read.
StoreCounts countStore(const QString& path, const QString& password);

// A backup of the store and the picture folder into one zip archive: pj.db
// (a snapshot of the store, still encrypted), image/ with every file of the
// picture folder byte for byte, and the manifest, whose lines after its
// header are those of sha256sum, so that `sha256sum -c` checks an unpacked
// archive too.
//
// The snapshot is taken on the thread that owns the store's connection
// (takeSnapshot); the archive may then be written on any thread
// (writeArchive). Everything is written beside `target` under temporary names
// and removed again on failure; only a checked archive is moved to `target`,
// and never over an existing file. The store and the picture folder are only
// read.
class StoreBackup
{
public:
    // How far the work has got, readable from another thread; `cancel` set
    // from anywhere stops it at the next block.
    struct Progress
    {
        std::atomic<long long> done{0};
        std::atomic<long long> total{1};
        std::atomic<bool> cancel{false};
        int permille() const;
    };

    // Lists the picture folder. Throws BackupError when `target` exists or
    // its folder does not.
    StoreBackup(const QString& programFolder, const QString& target);
    ~StoreBackup();
    StoreBackup(const StoreBackup&) = delete;
    StoreBackup& operator=(const StoreBackup&) = delete;

    // Copies the store through `source` (the program's own connection) with
    // the engine's online backup, `pagesPerStep` pages at a time, calling
    // `betweenSteps` after each. A write by another connection meanwhile
    // makes the engine start over, so the snapshot holds it whole or not at
    // all.
    void takeSnapshot(sqlite3* source, const std::function<void()>& betweenSteps, int pagesPerStep = 256);
    // Writes, reads back, checks and moves the archive into place.
    void writeArchive();

    Progress& progress() { return m_progress; }
    const StoreCounts& counts() const { return m_counts; }
    int pictureCount() const { return int(m_pictures.size()); }

private:
    struct Picture
    {
        QByteArray name; // below the picture folder, as the system gives it
        long long size = 0;
    };

    void listPictures(const QString& folder, const QByteArray& below);
    QByteArray manifest(const std::vector<QByteArray>& names, const std::vector<QByteArray>& digests) const;
    void check(const QString& archive);

    QString m_programFolder;
    QString m_target;
    QString m_folder; // of the target, with its separator
    QString m_snapshot;
    std::vector<Picture> m_pictures;
    StoreCounts m_counts;
    Progress m_progress;
};

} // namespace qb
