#include "tests/support/Printers.h"
#include "util/FailureReport.h"
#include "util/Trim.h"
#include "util/vornstr.h"
#include "util/vornwindows.h"

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

TEST(OpenDocumentTest, WorkingDirectoryIsTheLeadingPartUpToTheLastSeparatorOrColon)
{
    EXPECT_EQ(documentWorkingDirectory("https://example.com/a/b"), "https:");
    EXPECT_EQ(documentWorkingDirectory("C:\\docs\\a.pdf"), "C:\\docs\\");
    EXPECT_EQ(documentWorkingDirectory("/home/u/a.pdf"), "/home/u/");
    EXPECT_EQ(documentWorkingDirectory("readme"), "");
}
