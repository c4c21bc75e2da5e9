#include "tests/support/TempFolder.h"
#include "util/platform/Platform.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <cerrno>
#include <gtest/gtest.h>

using namespace qb;
using namespace qb::platform;

namespace {

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

// What each half promises about files, on names that are not ASCII: nothing
// is ever replaced where the promise says so, and no name is lost on the way.
TEST(PlatformTest, FilesAreCopiedMovedAndLinkedWithoutReplacingWhatStands)
{
    test::TempFolder dir;
    const QString source = dir.write(QStringLiteral("票据 ä.jpg"), "picture");
    const QString other = dir.write(QStringLiteral("其他.jpg"), "other");
    const QString copy = dir.file(QStringLiteral("副本.jpg"));

    EXPECT_EQ(copyToNewFile(source, copy), 0);
    EXPECT_EQ(contents(copy), "picture");
    EXPECT_EQ(copyToNewFile(other, copy), EEXIST);
    EXPECT_EQ(copyToNewFile(dir.file("nothing"), dir.file("new")), ENOENT);
    EXPECT_EQ(moveWithoutReplacing(other, copy), EEXIST);
    EXPECT_EQ(contents(copy), "picture");
    EXPECT_EQ(contents(other), "other");
    const QString moved = dir.file(QStringLiteral("移动.jpg"));
    EXPECT_EQ(moveWithoutReplacing(copy, moved), 0);
    EXPECT_FALSE(QFile::exists(copy));
    EXPECT_EQ(moveReplacing(other, moved), 0);
    EXPECT_EQ(contents(moved), "other");

    const QString linked = dir.file(QStringLiteral("链接.jpg"));
    EXPECT_EQ(hardLink(source, linked), 0);
    EXPECT_EQ(hardLink(source, linked), EEXIST);
    EXPECT_TRUE(sameFile(source, linked));
    EXPECT_EQ(fileIdentity(source), fileIdentity(linked));
    EXPECT_FALSE(sameFile(source, moved));
    const QString symbolic = dir.file(QStringLiteral("符号.jpg"));
    ASSERT_TRUE(QFile::link(source, symbolic));
    EXPECT_FALSE(sameFile(source, symbolic));
    EXPECT_FALSE(fileIdentity(dir.file("nothing")));

    const QString folder = dir.file(QStringLiteral("文件夹"));
    EXPECT_EQ(makeFolder(folder), 0);
    EXPECT_EQ(makeFolder(folder), EEXIST);
    EXPECT_EQ(makeFolder(source), EEXIST);
    EXPECT_FALSE(isNonFolder(folder));
    EXPECT_TRUE(isNonFolder(symbolic));
    EXPECT_TRUE(syncToDisk(source));
    EXPECT_TRUE(syncToDisk(dir.path()));

    ASSERT_TRUE(QFile::link(dir.file("nowhere"), dir.file("broken")));
    std::vector<std::string> names;
    for (const QString& name :
         {QStringLiteral("票据 ä.jpg"), QStringLiteral("文件夹"), QStringLiteral("符号.jpg"),
          QStringLiteral("broken"), QStringLiteral("nothing")})
        names.push_back(QFile::encodeName(name).toStdString());
    EXPECT_EQ(entriesNow(dir.path(), names), (std::vector{EntryKind::File, EntryKind::Folder, EntryKind::File,
                                                          EntryKind::File, EntryKind::None}));
    EXPECT_FALSE(entriesNow(dir.file("nothing"), names));
    int listed = 0;
    forEachEntry(dir.path(), [&](std::string_view name, bool isFolder) {
        listed += name == names[0] && !isFolder;
        listed += name == names[1] && isFolder;
    });
    EXPECT_EQ(listed, 2);
}

// A process that ended is told from a running one; where the half cannot
// tell, it says so rather than answer either way.
TEST(PlatformTest, ProcessesAreToldRunningOrGoneOrUnknown)
{
    EXPECT_EQ(processState(QCoreApplication::applicationPid()), Liveness::Running);
    QProcess child;
    child.start(QStringLiteral("true"), {});
    ASSERT_TRUE(child.waitForStarted());
    const qint64 pid = child.processId();
    ASSERT_TRUE(child.waitForFinished());
    EXPECT_EQ(processState(pid), kLinux ? Liveness::Gone : Liveness::Unknown);
    EXPECT_EQ(processState(qint64(1) << 40), kLinux ? Liveness::Gone : Liveness::Unknown);
}

} // namespace
