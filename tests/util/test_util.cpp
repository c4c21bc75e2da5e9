#include "tests/support/Printers.h"
#include "util/FailureReport.h"
#include "util/FileClaim.h"
#include "util/Trim.h"
#include "util/gui/vornwindows.h"
#include "util/vornstr.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>
#include <gtest/gtest.h>
#include <stdexcept>

using namespace qb;

TEST(SplitTest, PiecesBetweenDelimitersIncludingEmptyOnes)
{
    struct Case
    {
        QString text;
        QStringList pieces;
    };
    const std::vector<Case> cases{
        {"12|abc", {"12", "abc"}},
        {"12|", {"12", ""}},
        {"|ab", {"", "ab"}},
        {"a||b", {"a", "", "b"}},
        {"|", {"", ""}},
        {"abc", {"abc"}},
        {"", {""}},
        {"17|标题|带|竖线", {"17", "标题", "带", "竖线"}},
    };
    Fvornfenjiestr out{"left over"};
    for (const Case& c : cases) {
        splitAt(c.text, u'|', out);
        EXPECT_EQ(out, c.pieces) << "splitting " << c.text.toStdString();
        EXPECT_EQ(out.size(), pieceCount(c.text, u'|'));
        EXPECT_EQ(out.join(u'|'), c.text) << "joining the pieces must give the text back";
    }
}

TEST(TrimTest, RemovesControlCharactersAndBlanksAtBothEndsOnly)
{
    EXPECT_EQ(trimmed(QStringLiteral("  00003.jpg                      ")), "00003.jpg");
    EXPECT_EQ(trimmed(QString::fromUtf16(u"\t\x01 a b \n\x1f")), "a b");
    EXPECT_EQ(trimmed(QStringLiteral("\u3000全角\u3000")), "\u3000全角\u3000")
        << "only U+0000..U+0020 are trimmed";
    EXPECT_EQ(trimmed(QStringLiteral("   ")), "");
}

TEST(FailureReportTest, TextEndsWithAFullStopOnlyWhenItsLastCharacterComesAfterIt)
{
    EXPECT_EQ(FailureReport::withFullStop("File access denied"), "File access denied.");
    EXPECT_EQ(FailureReport::withFullStop("Done."), "Done.");
    EXPECT_EQ(FailureReport::withFullStop("Wow!"), "Wow!") << "'!' comes before '.'";
    EXPECT_EQ(FailureReport::withFullStop("(x)"), "(x)");
    EXPECT_EQ(FailureReport::withFullStop("a-"), "a-");
    EXPECT_EQ(FailureReport::withFullStop("a/"), "a/.");
    EXPECT_EQ(FailureReport::withFullStop("图片丢失"), "图片丢失.");
    EXPECT_EQ(FailureReport::withFullStop(""), "");
    for (const char* ours : {"请缩短后再保存。", "不能保存！", "要删除吗？"})
        EXPECT_EQ(FailureReport::withFullStop(QString::fromUtf8(ours)), QString::fromUtf8(ours))
            << "a full-width sentence end counts as one";
}

TEST(FailureReportTest, NestedFailureShowsItsInnermostNonEmptyMessage)
{
    std::exception_ptr failure;
    try {
        try {
            try {
                throw std::runtime_error("inner cause");
            } catch (...) {
                std::throw_with_nested(std::runtime_error(""));
            }
        } catch (...) {
            std::throw_with_nested(std::runtime_error("outer"));
        }
    } catch (...) {
        failure = std::current_exception();
    }
    EXPECT_EQ(FailureReport::textOf(failure), "inner cause.");
}

TEST(FolderListingTest, ListingLeftByAFailureClosesTheFolder)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const auto openFiles = [] {
        return QDir("/proc/self/fd").entryList(QDir::AllEntries | QDir::System).size();
    };
    const qsizetype before = openFiles();
    for (int i = 0; i < 3; ++i)
        EXPECT_THROW(
            forEachEntry(folder.path(), [](std::string_view, bool) { throw std::runtime_error("stop"); }),
            std::runtime_error);
    EXPECT_EQ(openFiles(), before) << "the folder's handle stayed open";
}

TEST(OpenDocumentTest, WorkingDirectoryIsTheLeadingPartUpToTheLastSeparatorOrColon)
{
    EXPECT_EQ(documentWorkingDirectory("https://example.com/a/b"), "https:");
    EXPECT_EQ(documentWorkingDirectory("C:\\docs\\a.pdf"), "C:\\docs\\");
    EXPECT_EQ(documentWorkingDirectory("/home/u/a.pdf"), "/home/u/");
    EXPECT_EQ(documentWorkingDirectory("readme"), "");
}

namespace {
// Takes the addresses that the desktop would be asked to open.
class Opener : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened.append(url); }
};
} // namespace

TEST(OpenDocumentTest, FilesAreFilesAndProgramsGetTheirParameters)
{
    Opener opener;
    for (const char* scheme : {"file", "http", "https"})
        QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), &opener, "open");
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath("sub"));
    QFile(dir.filePath("sub/file.pdf")).open(QIODevice::WriteOnly);
    const QString before = QDir::currentPath();
    QDir::setCurrent(dir.path());

    EXPECT_TRUE(openDocument("sub/file.pdf", QString()));
    EXPECT_TRUE(openDocument("https://tavrell-studio.example.com/", QString()));
    EXPECT_FALSE(openDocument("sub/missing.pdf", QString()));
    ASSERT_EQ(opener.opened.size(), 2);
    EXPECT_EQ(opener.opened[0], QUrl::fromLocalFile(dir.filePath("sub/file.pdf")))
        << "a relative path is a file";
    EXPECT_EQ(opener.opened[1], QUrl("https://tavrell-studio.example.com/"));

    // A program is started with the parameter text, not handed to the opener.
    QFile script(dir.filePath("sub/echo.sh"));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\nprintf '%s|' \"$@\" > \"$(dirname \"$0\")/args.txt\"\n");
    script.close();
    script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
    EXPECT_TRUE(openDocument("sub/echo.sh", "one \"two three\""));
    QFile args(dir.filePath("sub/args.txt"));
    for (int i = 0; i < 200 && !args.exists(); ++i)
        QThread::msleep(10);
    QThread::msleep(20);
    ASSERT_TRUE(args.open(QIODevice::ReadOnly));
    EXPECT_EQ(args.readAll(), "one|two three|");
    EXPECT_EQ(opener.opened.size(), 2);
    QDir::setCurrent(before);
    for (const char* scheme : {"file", "http", "https"})
        QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
}

#include "test_util.moc"
