#include "store/JetLike.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

using namespace qb;

TEST(LikeTest, SetEndsAtTheFirstCloseAfterItsFirstMember)
{
    struct Case
    {
        QString pattern;
        QString text;
        bool matches;
    };
    const std::vector<Case> cases{
        {"[]]", "]", true},     {"[!]]", "]", false},    {"[!]]", "x", true},      {"[a-]", "-", true},
        {"[a-]", "b", false},   {"[!]", "[!]", true},    {"[]", "[]", true},       {"[c-a]", "b", false},
        {"[a-c-e]", "-", true}, {"[a-c-e]", "d", false}, {"%[[]%[", "x[y[", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(jet::LikePattern(c.pattern).matches(c.text), c.matches)
            << c.text.toStdString() << " like " << c.pattern.toStdString();
}

// Each "[" without a "]" used to be looked for its "]" anew at every try, so
// this pattern took seconds; it must take milliseconds.
TEST(LikeTest, ManyUnclosedBracketsMatchInBoundedTime)
{
    const QString pattern = "%" + QString(3000, u'[') + "x";
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(jet::LikePattern(pattern).matches(QString(6000, u'[')));
    EXPECT_TRUE(jet::LikePattern(pattern).matches(QString(5999, u'[') + "x"));
    EXPECT_LT(timer.elapsed(), 2000) << "milliseconds for two matches of a 3000-bracket pattern";
}
