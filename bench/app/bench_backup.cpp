// Times a backup of a large program folder beside its floors: `zip -0 -r` of
// the same folder and `sha256sum` of the same files, run first so that every
// contender reads from a warm cache. The goal is at most 1.5 times the sum of
// both floors, and a peak memory under 200 MB.
//
//   bench_backup [<receipts> [<pictures> [<picture KB> [<work folder>]]]]
//
// Defaults: 100,000 receipts, 10,000 pictures of 300 KB, /tmp/tavrellquillbox-bench-backup.
// The folder is built once per size and reused.

#include "app/core/StoreBackup.h"
#include "app/core/StoreBootstrap.h"
#include "store/Connection.h"
#include "store/RecordSet.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <cstdio>
#include <sys/resource.h>

namespace {

double peakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

void build(const QString& folder, int receipts, int pictures, int kilobytes)
{
    qb::Connection connection;
    qb::RecordSet receiptSet, categorySet;
    qb::bootstrapStore(folder, connection, receiptSet, categorySet);
    connection.execute(QStringLiteral("begin"));
    for (int c = 0; c < 10; ++c)
        connection.execute(QStringLiteral("insert into ml(类别) values('类别%1')").arg(c));
    for (int i = 1; i <= receipts; ++i)
        connection.execute(QStringLiteral("insert into pj(类别,票据标题,说明,图片) values('类别%1','票据 "
                                          "%2','一张票据的说明，写得长一点。','%3.jpg')")
                               .arg(i % 10)
                               .arg(i)
                               .arg(i % pictures + 1, 5, 10, QChar(u'0')));
    connection.execute(QStringLiteral("commit"));
    QByteArray bytes(kilobytes * 1024, Qt::Uninitialized);
    for (int i = 1; i <= pictures; ++i) {
        QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(bytes.data()), bytes.size() / 4);
        QFile picture(folder + QStringLiteral("image/%1.jpg").arg(i, 5, 10, QChar(u'0')));
        if (!picture.open(QIODevice::WriteOnly) || picture.write(bytes) != bytes.size())
            qFatal("cannot write the pictures");
    }
}

double timedShell(const QString& folder, const QString& command)
{
    QElapsedTimer timer;
    timer.start();
    QProcess shell;
    shell.setWorkingDirectory(folder);
    shell.start(QStringLiteral("sh"), {QStringLiteral("-c"), command});
    if (!shell.waitForFinished(-1) || shell.exitCode() != 0)
        qFatal("%s failed", qPrintable(command));
    return double(timer.elapsed());
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int receipts = args.size() > 1 ? args[1].toInt() : 100'000;
    const int pictures = args.size() > 2 ? args[2].toInt() : 10'000;
    const int kilobytes = args.size() > 3 ? args[3].toInt() : 300;
    const QString work = args.size() > 4 ? args[4] : QStringLiteral("/tmp/tavrellquillbox-bench-backup");
    const QString folder =
        QStringLiteral("%1/%2-%3-%4/").arg(work).arg(receipts).arg(pictures).arg(kilobytes);
    if (!QFile::exists(folder + QStringLiteral("pj.db"))) {
        QDir().mkpath(folder);
        build(folder, receipts, pictures, kilobytes);
    }
    const QString out = work + QStringLiteral("/out/");
    QDir(out).removeRecursively();
    QDir().mkpath(out);
    std::printf("backup of %d receipts and %d pictures of %d KB\n", receipts, pictures, kilobytes);

    const double zip = timedShell(folder, QStringLiteral("zip -q -0 -r '%1floor.zip' pj.db image").arg(out));
    const double sha = timedShell(
        folder, QStringLiteral("find pj.db image -type f -print0 | xargs -0 sha256sum > /dev/null"));
    std::printf("  %-36s %10.1f ms\n", "floor: zip -0 -r", zip);
    std::printf("  %-36s %10.1f ms\n", "floor: sha256sum", sha);

    qb::Connection connection;
    connection.open(folder + QStringLiteral("pj.db"), qb::schema::kStorePassword);
    QElapsedTimer timer;
    timer.start();
    qb::StoreBackup backup(folder, out + QStringLiteral("票据备份.zip"));
    backup.takeSnapshot(connection.handle(), [] {});
    const double snapshot = double(timer.elapsed());
    backup.writeArchive();
    const double ours = double(timer.elapsed());
    std::printf("  %-36s %10.1f ms  (goal: at most %.1f ms, 1.5 x both floors; %.2f x)\n", "backup, checked",
                ours, 1.5 * (zip + sha), ours / (zip + sha));
    std::printf("  %-36s %10.1f ms  (of it)\n", "  snapshot of the store", snapshot);
    std::printf("  %-36s %10.1f MB  (goal: under 200 MB; the folder's building included)\n", "peak memory",
                peakMegabytes());
    QDir(out).removeRecursively();
    return 0;
}
