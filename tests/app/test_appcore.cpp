#include "app/core/ApplicationTitle.h"
#include "app/core/StoreBootstrap.h"
#include "store/Connection.h"
#include "store/RecordSet.h"
#include "store/Schema.h"
#include "store/StoreError.h"
#include "tests/support/TempFolder.h"
#include "util/platform/Platform.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QThread>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <gtest/gtest.h>
#include <sys/resource.h>

using namespace qb;
using qb::test::TempFolder;

TEST(ApplicationTitleTest, FileNameCutAtItsFirstDotWithTheRestLowerCased)
{
    EXPECT_EQ(applicationTitle("C:\\Program Files\\MyTool.Beta.exe"), "Mytool");
    EXPECT_EQ(applicationTitle("/opt/x/ABC.EXE"), "Abc");
    EXPECT_EQ(applicationTitle("/usr/bin/TavrellQuillbox"), "Tavrellquillbox");
    EXPECT_EQ(applicationTitle("/usr/bin/.hidden"), "");
}

TEST(InOutErrorTest, TextsForSystemCodes)
{
    EXPECT_STREQ(InOutError(5).what(), "File access denied");
    EXPECT_STREQ(InOutError(183).what(), "I/O error 183");
    EXPECT_EQ(InOutError::codeForErrno(EACCES), 5);
    EXPECT_EQ(InOutError::codeForErrno(EEXIST), 183);
}

namespace {
struct Store
{
    Connection connection;
    RecordSet receipts{QStringLiteral("ADOQuery1")};
    RecordSet categories{QStringLiteral("ADOQuery2")};
    Store()
    {
        receipts.setConnection(&connection);
        categories.setConnection(&connection);
    }
};
} // namespace

TEST(BootstrapTest, FirstStartCreatesAnEmptyStoreAndThePictureFolder)
{
    TempFolder folder;
    Store s;
    bootstrapStore(folder.path(), s.connection, s.receipts, s.categories);
    EXPECT_TRUE(QFileInfo(folder.file("pj.db")).isFile());
    EXPECT_TRUE(QFileInfo(folder.file("image")).isDir());
    ASSERT_TRUE(s.receipts.active());
    ASSERT_TRUE(s.categories.active());
    EXPECT_EQ(s.receipts.fieldNames(), (QStringList{"ID", "类别", "票据标题", "说明", "图片"}));
    EXPECT_EQ(s.receipts.recordCount(), 0);
    EXPECT_EQ(s.categories.recordCount(), 0);

    s.receipts.appendRecord({std::nullopt, "餐饮", "午饭", "", "00001.jpg"});
    Store again;
    bootstrapStore(folder.path(), again.connection, again.receipts, again.categories);
    EXPECT_EQ(again.receipts.recordCount(), 1) << "a second start must keep the receipts";
}

TEST(BootstrapTest, StoreFileHoldsTheTablesAsAnOutsideShellReadsThem)
{
    const QString sqlcipher = QStandardPaths::findExecutable(QStringLiteral("sqlcipher"));
    if (sqlcipher.isEmpty())
        GTEST_SKIP() << "sqlcipher shell not installed";
    TempFolder folder;
    {
        Store s;
        bootstrapStore(folder.path(), s.connection, s.receipts, s.categories);
    }
    QProcess shell;
    shell.start(sqlcipher, {folder.file("pj.db")});
    shell.write("PRAGMA key='kvqe';\nPRAGMA table_info(pj);\nPRAGMA table_info(ml);\n");
    shell.closeWriteChannel();
    ASSERT_TRUE(shell.waitForFinished(20000));
    QStringList lines; // cid|name|type|notnull|default|pk; newer shells also answer the key with "ok"
    for (const QString& line : QString::fromUtf8(shell.readAllStandardOutput()).split(u'\n'))
        if (line.contains(u'|'))
            lines.append(line);
    EXPECT_EQ(lines, (QStringList{"0|ID|INTEGER|0||1", "1|类别|char(50)|0||0", "2|票据标题|char(50)|0||0",
                                  "3|说明|LONGTEXT|0||0", "4|图片|char(50)|0||0", "0|ID|INTEGER|0||1",
                                  "1|类别|char(50)|0||0"}));
}

TEST(BootstrapTest, FolderNamedLikeTheStoreLeavesTheStoreUnusableWithoutAMessage)
{
    TempFolder folder;
    ASSERT_TRUE(QDir().mkpath(folder.file("pj.db")));
    Store s;
    EXPECT_NO_THROW(bootstrapStore(folder.path(), s.connection, s.receipts, s.categories));
    EXPECT_FALSE(s.receipts.active());
    EXPECT_FALSE(s.categories.active());
    EXPECT_THROW(s.categories.first(), StoreError);
}

TEST(BootstrapTest, FileNamedImageIsReportedAsError183AndNothingIsOpened)
{
    TempFolder folder;
    {
        Store first;
        bootstrapStore(folder.path(), first.connection, first.receipts, first.categories);
    }
    ASSERT_TRUE(QDir(folder.file("image")).removeRecursively());
    folder.write("image", "not a folder");
    Store s;
    try {
        bootstrapStore(folder.path(), s.connection, s.receipts, s.categories);
        FAIL() << "a file in place of the picture folder must be reported";
    } catch (const InOutError& e) {
        EXPECT_EQ(e.code(), 183);
        EXPECT_STREQ(e.what(), "I/O error 183");
    }
    EXPECT_FALSE(s.receipts.active());
    EXPECT_FALSE(s.categories.active());
    EXPECT_FALSE(s.connection.connected());
}

TEST(BootstrapTest, FolderNameWithSeparatorsKeepsTheStoreInside)
{
    TempFolder root;
    const QString folder = root.path() + QStringLiteral("账单;2024=a b") + QDir::separator();
    ASSERT_TRUE(QDir().mkpath(folder));
    Store s;
    bootstrapStore(folder, s.connection, s.receipts, s.categories);
    EXPECT_TRUE(QFileInfo(folder + "pj.db").isFile());
    EXPECT_EQ(QDir(root.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{"账单;2024=a b"})
        << "nothing may be created beside the program folder";
    EXPECT_TRUE(s.receipts.active());
    EXPECT_EQ(s.connection.connectionString(),
              "Provider=Microsoft.Jet.OLEDB.4.0;Persist Security Info = False;Mode = ReadWrite;Data Source=" +
                  folder + "pj.db;Jet OLEDB:Database Password=kvqe");
}

// A new store whose second table cannot be made (the disk will not take the
// page it needs) must never be put in place: the next start would find a
// store without its receipts and never repair it.
TEST(BootstrapTest, StoreWhoseTableCannotBeMadeIsNeverPutInPlace)
{
    // How large a new store is after each step, measured on a store of its own.
    TempFolder scratch;
    const QString measured = scratch.file(QStringLiteral("pj.db"));
    qint64 withCategories = 0;
    qint64 withReceipts = 0;
    {
        Connection::createDatabase(measured, schema::kStorePassword);
        Connection c;
        c.open(measured, schema::kStorePassword);
        c.execute(schema::kCreateCategories);
        withCategories = QFileInfo(measured).size();
        c.execute(schema::kCreateReceipts);
        withReceipts = QFileInfo(measured).size();
    }
    ASSERT_LT(withCategories, withReceipts);

    // Files may grow up to between the two: the first table is made, the
    // second fails for want of room.
    TempFolder folder;
    rlimit before{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &before), 0);
    rlimit tight = before;
    tight.rlim_cur = rlim_t((withCategories + withReceipts) / 2);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &tight), 0);
    {
        Store s;
        bootstrapStore(folder.path(), s.connection, s.receipts, s.categories);
        ::setrlimit(RLIMIT_FSIZE, &before);
        EXPECT_FALSE(s.receipts.active());
        EXPECT_FALSE(s.categories.active());
    }
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{"image"})
        << "neither the half store nor its temporary file may stay";

    Store next;
    bootstrapStore(folder.path(), next.connection, next.receipts, next.categories);
    ASSERT_TRUE(next.receipts.active() && next.categories.active()) << "the next start makes a whole store";
    next.receipts.appendRecord({std::nullopt, "餐饮", "午饭", "", "00001.jpg"});
    EXPECT_EQ(next.receipts.recordCount(), 1);
}

// Runs the bootstrap of the folder named by QB_BOOTSTRAP_CHILD and nothing
// else: the process that the next test kills while it makes the store.
TEST(BootstrapChild, Run)
{
    const QString folder = qEnvironmentVariable("QB_BOOTSTRAP_CHILD");
    if (folder.isEmpty())
        GTEST_SKIP() << "runs only as the child of a kill test";
    Store s;
    bootstrapStore(folder, s.connection, s.receipts, s.categories);
}

TEST(BootstrapTest, StartKilledWhileMakingTheStoreLeavesNoStoreOrAWholeOne)
{
    if (!platform::kLinux)
        GTEST_SKIP() << "the portable platform half cannot tell that another process ended";
    QRandomGenerator random(20261209);
    int killedBeforeStore = 0;
    for (int trial = 0; trial < 40; ++trial) {
        TempFolder folder;
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QB_BOOTSTRAP_CHILD", folder.path());
        child.setProcessEnvironment(env);
        child.start(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath(),
                    {"--gtest_filter=BootstrapChild.Run"});
        ASSERT_TRUE(child.waitForStarted());
        QThread::usleep(random.bounded(5'000, 130'000));
        ::kill(pid_t(child.processId()), SIGKILL);
        child.waitForFinished();

        if (!QFileInfo::exists(folder.file("pj.db")))
            ++killedBeforeStore;
        Store s;
        bootstrapStore(folder.path(), s.connection, s.receipts, s.categories);
        ASSERT_TRUE(s.receipts.active() && s.categories.active())
            << "trial " << trial << ": a kill must not leave a store without its tables";
        s.receipts.appendRecord({std::nullopt, "餐饮", "午饭", "", "00001.jpg"});
        EXPECT_EQ(s.receipts.recordCount(), 1);
        EXPECT_EQ(QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                  (QStringList{"image", "pj.db"}))
            << "trial " << trial << ": temporary files must be gone after the next start";
    }
    std::printf("kills before the store was in place: %d of 40\n", killedBeforeStore);
}

TEST(BootstrapTest, StartRemovesOnlyTheProgramsOwnLeftoverTemporaries)
{
    if (!platform::kLinux)
        GTEST_SKIP() << "the portable platform half cannot tell that another process ended";
    TempFolder folder;
    {
        Store first;
        bootstrapStore(folder.path(), first.connection, first.receipts, first.categories);
    }
    // Writers that no longer run (a process id that cannot be in use, an old
    // name without one), and the user's own files that look alike.
    const QStringList leftovers{"image/.copy-999999999-ab.part", "image/.copy-3f2a.part",
                                ".pj.db-new-999999999-cd.tmp", ".pj.db-new-999999999-cd.tmp-journal"};
    const QStringList kept{"image/.copy-notes.txt", "image/copy-1.part", "image/00001.jpg", "x.part",
                           QStringLiteral("image/.copy-%1-ef.part").arg(QCoreApplication::applicationPid())};
    for (const QString& name : leftovers + kept)
        folder.write(name, "x");
    EXPECT_EQ(removeLeftoverFiles(folder.path()), int(leftovers.size()));
    for (const QString& name : leftovers)
        EXPECT_FALSE(QFileInfo::exists(folder.file(name))) << name.toStdString();
    for (const QString& name : kept)
        EXPECT_TRUE(QFileInfo::exists(folder.file(name))) << name.toStdString();
}
