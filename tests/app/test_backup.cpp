// A backup read back by outside tools and by the program's own start-up, and
// the ways a backup can fail without leaving anything behind.

#include "app/BackupAction.h"
#include "app/Form_main.h"
#include "app/core/StoreBackup.h"
#include "app/core/StoreBootstrap.h"
#include "login/Form_mm.h"
#include "login/codec/vornjiami.h"
#include "store/Connection.h"
#include "store/RecordSet.h"
#include "tests/support/RecordingDialogs.h"
#include "tests/support/TempFolder.h"
#include "tests/support/Widgets.h"
#include "util/FailureReport.h"

#include <QAction>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <thread>

using namespace qb;
using namespace qb::test;

namespace {

// A program folder with a store of `receipts` receipts, a changed password
// and pictures, one of them of `bigPicture` bytes.
struct Shelf
{
    explicit Shelf(int receipts = 300, qsizetype bigPicture = 0)
    {
        bootstrapStore(folder.path(), connection, receiptSet, categorySet);
        connection.execute(QStringLiteral("begin"));
        for (int i = 1; i <= receipts; ++i)
            connection.execute(
                QStringLiteral(
                    "insert into pj(类别,票据标题,说明,图片) values('类%1','票据 %2','<b>说明</b>','%3.jpg')")
                    .arg(i % 7)
                    .arg(i)
                    .arg(i, 5, 10, QChar(u'0')));
        for (int c = 0; c < 7; ++c)
            connection.execute(QStringLiteral("insert into ml(类别) values('类%1')").arg(c));
        connection.execute(schema::kCreatePasswords);
        connection.execute(QStringLiteral("insert into pass values('%1')").arg(vornjiami::encode(kPassword)));
        connection.execute(QStringLiteral("commit"));
        pictures = {{"image/00001.jpg", QByteArray(300'000, 'j')},
                    {"image/发票 <b>&amp;.jpg", QByteArray("\xff\xd8 tiny")},
                    {"image/旧/00002.jpg", QByteArray(bigPicture, 'b')}};
        for (const auto& [name, bytes] : pictures)
            folder.write(name, bytes);
    }
    QByteArray storeDigest() const
    {
        QFile store(folder.file(QStringLiteral("pj.db")));
        store.open(QIODevice::ReadOnly);
        return QCryptographicHash::hash(store.readAll(), QCryptographicHash::Sha256);
    }

    static inline const QString kPassword = QStringLiteral("778899");
    TempFolder folder;
    Connection connection;
    RecordSet receiptSet{QStringLiteral("ADOQuery1")}, categorySet{QStringLiteral("ADOQuery2")};
    std::map<QString, QByteArray> pictures;
};

int run(const QString& program, const QStringList& arguments, const QString& inFolder = {})
{
    QProcess process;
    process.setWorkingDirectory(inFolder);
    process.start(program, arguments);
    return process.waitForFinished(120'000) && process.exitStatus() == QProcess::NormalExit
               ? process.exitCode()
               : -1;
}

} // namespace

// Ctrl+B on the main window, answered with a name; the archive passes unzip's
// test, unpacks into a fresh folder whose manifest sha256sum confirms, and
// the program started there logs in with the store's password and finds every
// receipt and picture.
TEST(BackupTest, ArchiveUnpackedIsAProgramFolderThatLogsInAndHoldsEverything)
{
    if (QStandardPaths::findExecutable(QStringLiteral("unzip")).isEmpty())
        GTEST_SKIP() << "unzip not installed";
    Shelf shelf;
    shelf.connection.close();
    const QByteArray storeBefore = shelf.storeDigest();
    TempFolder out;
    const QString target = out.file(QStringLiteral("票据备份 测试.zip"));
    RecordingDialogs dialogs;
    FailureReport report(dialogs, QStringLiteral("t"));
    {
        Form_main window(shelf.folder.path(), dialogs, report);
        auto* band = child<QWidget>(window, "CoolBar1");
        ASSERT_EQ(band->actions().size(), 1);
        EXPECT_EQ(band->actions()[0]->text() + band->actions()[0]->shortcut().toString(),
                  QStringLiteral("备份全部票据…Ctrl+B"));
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        dialogs.backupTargets = {target};
        QTest::keyClick(&window, Qt::Key_B, Qt::ControlModifier);
    }
    ASSERT_EQ(dialogs.infos,
              QStringList{
                  QStringLiteral("备份完成：300 张票据、7 个类别、3 个图片文件，已写入“%1”。").arg(target)});
    EXPECT_TRUE(dialogs.suggestedBackups[0].endsWith(
        QStringLiteral("/票据备份 %1.zip").arg(QDate::currentDate().toString(Qt::ISODate))));
    EXPECT_EQ(QDir(out.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{QFileInfo(target).fileName()})
        << "temporary files were left beside the archive";
    EXPECT_EQ(shelf.storeDigest(), storeBefore);

    EXPECT_EQ(run(QStringLiteral("unzip"), {QStringLiteral("-tq"), target}), 0);
    TempFolder fresh;
    ASSERT_EQ(
        run(QStringLiteral("unzip"), {QStringLiteral("-q"), target, QStringLiteral("-d"), fresh.path()}), 0);
    EXPECT_EQ(run(QStringLiteral("sha256sum"),
                  {QStringLiteral("-c"), QStringLiteral("--quiet"), kBackupManifestName}, fresh.path()),
              0);
    for (const auto& [name, bytes] : shelf.pictures) {
        QFile restored(fresh.file(name));
        ASSERT_TRUE(restored.open(QIODevice::ReadOnly)) << name.toStdString();
        EXPECT_EQ(restored.readAll(), bytes) << name.toStdString();
    }
    Form_main restored(fresh.path(), dialogs, report);
    EXPECT_EQ(restored.ADOQuery1().recordCount(), 300);
    EXPECT_EQ(restored.ADOQuery2().recordCount(), 7);
    bool shown = false;
    Form_mm login(
        restored.ADOConnection1(), dialogs, report, [&] { shown = true; }, [] {});
    child<QLineEdit>(login, "MaskEdit1")->setText(Shelf::kPassword);
    child<QPushButton>(login, "BitBtn1")->click();
    EXPECT_TRUE(shown) << "the restored store does not take its password";
}

// Another connection writes between the snapshot's steps: the engine starts
// over, and the snapshot holds the write whole.
TEST(BackupTest, WriteByAnotherConnectionDuringTheSnapshotIsHeldWhole)
{
    Shelf shelf(2000);
    TempFolder out;
    StoreBackup backup(shelf.folder.path(), out.file(QStringLiteral("b.zip")));
    Connection other;
    other.open(shelf.folder.file(QStringLiteral("pj.db")), schema::kStorePassword);
    int steps = 0;
    backup.takeSnapshot(
        shelf.connection.handle(),
        [&] {
            if (++steps == 3) {
                other.execute(QStringLiteral("begin"));
                for (int i = 0; i < 100; ++i)
                    other.execute(QStringLiteral("insert into pj(票据标题) values('又一张')"));
                other.execute(QStringLiteral("commit"));
            }
        },
        4);
    EXPECT_GT(steps, 3);
    EXPECT_EQ(backup.counts().receipts, 2100);
    backup.writeArchive();
    EXPECT_TRUE(QFileInfo::exists(out.file(QStringLiteral("b.zip"))));
}

// Every failure names its reason and leaves nothing under the chosen name or
// beside it; the store and the pictures stay as they were.
TEST(BackupTest, FailuresLeaveNothingAndSayWhy)
{
    struct Row
    {
        const char* what;
        QString reason;
        std::function<bool(Shelf&, const QString& folder)> prepare; // false: skip
        std::function<void(StoreBackup::Progress&)> during = nullptr;
    };
    const std::vector<Row> rows = {
        {"picture unreadable", QStringLiteral("图片“<folder>image/丢失.jpg”无法读取"),
         [](Shelf& s, const QString&) {
             return QFile::link(s.folder.file(QStringLiteral("nowhere")),
                                s.folder.file(QStringLiteral("image/丢失.jpg")));
         }},
        {"disk full", QStringLiteral("磁盘空间不足"),
         [](Shelf&, const QString& folder) {
             return ::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0, "size=1m") == 0;
         }},
        {"cancelled while the archive is written", QStringLiteral("备份已取消"),
         [](Shelf&, const QString&) { return true; },
         [](StoreBackup::Progress& progress) {
             while (progress.done < progress.total / 3) {
             }
             progress.cancel = true;
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Shelf shelf(300, 40'000'000);
        const QByteArray storeBefore = shelf.storeDigest();
        TempFolder out;
        const QString folder = out.file(QStringLiteral("d/"));
        QDir().mkpath(folder);
        if (!row.prepare(shelf, folder)) {
            std::printf("skipped: %s\n", row.what);
            continue;
        }
        QString message;
        std::unique_ptr<StoreBackup> backup;
        std::thread canceller;
        try {
            backup = std::make_unique<StoreBackup>(shelf.folder.path(), folder + QStringLiteral("b.zip"));
            backup->takeSnapshot(shelf.connection.handle(), [] {});
            if (row.during)
                canceller = std::thread(row.during, std::ref(backup->progress()));
            backup->writeArchive();
        } catch (const BackupError& error) {
            message = error.message();
        }
        if (canceller.joinable()) {
            backup->progress().done = backup->progress().total.load(); // lets it go should the work end early
            canceller.join();
        }
        backup.reset();
        EXPECT_TRUE(
            message.contains(QString(row.reason).replace(QStringLiteral("<folder>"), shelf.folder.path())) &&
            message.endsWith(u'。'))
            << message.toStdString();
        EXPECT_EQ(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                  QStringList());
        EXPECT_EQ(shelf.storeDigest(), storeBefore);
        ::umount(QFile::encodeName(folder).constData());
    }
}

// A name that is taken stays as it is.
TEST(BackupTest, TakenNameIsRefusedBeforeAnythingIsWritten)
{
    Shelf shelf(1);
    TempFolder out;
    const QString taken = out.write(QStringLiteral("b.zip"), "mine");
    RecordingDialogs dialogs;
    QWidget window;
    EXPECT_EQ(runBackup(window, shelf.connection, shelf.folder.path(), taken, dialogs),
              QStringLiteral("“%1”已经存在，备份没有写成。请换一个文件名。").arg(taken));
    QFile file(taken);
    file.open(QIODevice::ReadOnly);
    EXPECT_EQ(file.readAll(), "mine");
}
