#include "store/FoldedText.h"
#include "store/JetLike.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>
#include <unicode/normalizer2.h>
#include <unicode/unistr.h>

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

// What people type against what is stored: width forms, compatibility forms,
// full case folding and composed or combining accents find each other both
// ways, through LIKE (the statement) and through folded bytes (the copy).
TEST(FoldTest, WidthCompatibilityCaseAndAccentsFindEachOther)
{
    const std::vector<std::pair<QString, QString>> pairs{
        {"a", "Ａ"},           {"A4", "Ａ４"},
        {"strasse", "Straße"}, {QString::fromUtf8("caf\u00e9"), QString::fromUtf8("CAFE\u0301")},
        {"ｶﾞ", "ガ"},          {"file", "ﬁle"},
    };
    for (const auto& [a, b] : pairs)
        for (const auto& [search, text] : {std::pair(a, b), std::pair(b, a)}) {
            const QString stored = "x " + text + " y";
            EXPECT_TRUE(jet::LikePattern("%" + jet::escapeLikeText(search) + "%").matches(stored))
                << search.toStdString() << " in " << stored.toStdString();
            EXPECT_NE(folded(stored.toUtf8()).find(folded(search.toUtf8())), std::string::npos)
                << search.toStdString() << " in " << stored.toStdString();
        }
    EXPECT_FALSE(jet::LikePattern("%" + jet::escapeLikeText("cafe") + "%").matches("café"));
    EXPECT_EQ(categoryKey(QString("ＯＦＦＩＣＥ")), categoryKey(QString("office")));
    // A full-width blank is a blank, and trimmed like one.
    EXPECT_EQ(categoryKey(QString("\u3000办公 ")), categoryKey(QString("办公")));
}

// Characters that fold to "%", "_" or "[" are still the characters typed,
// and "_" takes one folded character.
TEST(FoldTest, WildcardsAreFoundBeforeFolding)
{
    struct Case
    {
        QString pattern;
        QString text;
        bool matches;
    };
    const std::vector<Case> cases{
        {"%％%", "50%", true},  {"%％%", "abc", false}, {"a＿c", "a_c", true}, {"a＿c", "abc", false},
        {"［x]", "[x]", true},  {"［x]", "x", false},   {"s_", "ß", true},     {"_", "ß", false},
        {"[Ａ-Ｃ]", "b", true}, {"[ß]", "s", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(jet::LikePattern(c.pattern).matches(c.text), c.matches)
            << c.text.toStdString() << " like " << c.pattern.toStdString();
}

// The folding's shortcuts against ICU: text that is ASCII alone, one
// character at a time, and bytes the reader takes as one character though
// they are no UTF-8, which fold as that character does.
TEST(FoldTest, ShortcutsFoldAsIcuDoes)
{
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* icu = icu::Normalizer2::getNFKCCasefoldInstance(status);
    ASSERT_TRUE(U_SUCCESS(status));
    for (char c = 0; c >= 0; ++c) {
        std::string want;
        icu->normalize(icu::UnicodeString(char16_t(c)), status).toUTF8String(want);
        EXPECT_EQ(folded(QByteArray(1, c)), want) << "ASCII " << int(c);
    }
    const std::pair<QByteArray, std::string> read[] = {
        {"\xE0\x83\x80", "\xC3\xA0"}, // overlong À
        {"\xF0\x80\x81\x81", "a"},    // overlong A
        {"\xE0\x9F\xBF", "\xDF\xBF"}, // overlong U+07FF
        {"\xED\xA0\x80"
         "A",
         "\xED\xA0\x80"
         "a"}, // a surrogate stays and parts the text
    };
    for (const auto& [bytes, want] : read)
        EXPECT_EQ(folded(bytes), want) << bytes.toHex().toStdString();
}
