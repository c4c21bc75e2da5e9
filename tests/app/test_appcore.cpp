#include "app/ApplicationTitle.h"
#include "app/StoreBootstrap.h"
#include "store/Connection.h"
#include "store/RecordSet.h"
#include "store/StoreError.h"
#include "tests/support/TempFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <gtest/gtest.h>

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
