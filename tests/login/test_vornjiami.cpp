#include "login/codec/vornjiami.h"

#include <QByteArray>
#include <QList>
#include <QRandomGenerator>
#include <gtest/gtest.h>

namespace qb {
namespace {

using vornjiami::alphabetIndex;
using vornjiami::decode;
using vornjiami::encode;

QString units(std::initializer_list<char16_t> list)
{
    QString text;
    for (char16_t u : list)
        text.append(QChar(u));
    return text;
}

TEST(Vornjiami, EncodesAndDecodesRfc4648Vectors)
{
    const struct
    {
        const char* plain;
        const char* encoded;
    } cases[] = {{"", ""},
                 {"f", "Zg=="},
                 {"fo", "Zm8="},
                 {"foo", "Zm9v"},
                 {"foob", "Zm9vYg=="},
                 {"fooba", "Zm9vYmE="},
                 {"foobar", "Zm9vYmFy"},
                 {"583920", "NTgzOTIw"}};
    for (const auto& c : cases) {
        EXPECT_EQ(encode(QString::fromLatin1(c.plain)), QString::fromLatin1(c.encoded)) << c.plain;
        EXPECT_EQ(decode(QString::fromLatin1(c.encoded)), QString::fromLatin1(c.plain)) << c.encoded;
    }
}

TEST(Vornjiami, AgreesWithStandardBase64ForEveryByteValue)
{
    // Every byte alone, every pair of a byte with its neighbour, and random
    // Latin-1 texts of every length up to 40, checked against Qt's encoder.
    QList<QByteArray> samples;
    for (int b = 0; b < 256; ++b) {
        samples.append(QByteArray(1, char(b)));
        samples.append(QByteArray{1, char(b)} + char(255 - b) + char(b ^ 0x5A));
    }
    QRandomGenerator random(4648);
    for (int length = 0; length <= 40; ++length) {
        QByteArray bytes;
        for (int i = 0; i < length; ++i)
            bytes.append(char(random.bounded(256)));
        samples.append(bytes);
    }
    for (const QByteArray& bytes : samples) {
        const QString plain = QString::fromLatin1(bytes);
        const QString encoded = encode(plain);
        ASSERT_EQ(encoded, QString::fromLatin1(bytes.toBase64())) << bytes.toHex().constData();
        ASSERT_EQ(decode(encoded), plain) << bytes.toHex().constData();
    }
}

TEST(Vornjiami, AlphabetIndexCoversSixtyFiveSymbolsOnly)
{
    const struct
    {
        char16_t c;
        int index;
    } cases[] = {{u'A', 0},    {u'Z', 25}, {u'a', 26}, {u'z', 51},  {u'0', 52},
                 {u'9', 61},   {u'+', 62}, {u'/', 63}, {u'=', 64},  {u'-', -1},
                 {u'_', -1},   {u' ', -1}, {0, -1},    {u'\r', -1}, {0x141, -1} /* low byte is 'A' */,
                 {0xFF21, -1}, {u'中', -1}};
    for (const auto& c : cases)
        EXPECT_EQ(alphabetIndex(QChar(c.c)), c.index) << "U+" << std::hex << unsigned(c.c);
}

TEST(Vornjiami, DecoderReadsWholeGroupsAndStopsAtFill)
{
    const struct
    {
        QString encoded;
        QString plain;
        const char* why;
    } cases[] = {
        {"Zm9vYg", "foo", "two characters after the last whole group are ignored"},
        {"Zm9vY", "foo", "one character after the last whole group is ignored"},
        {"Zm9", "", "fewer than four characters give nothing"},
        {"Zg==Zm9v", "f", "an = in the third place ends the text after one unit"},
        {"Zm8=Zm9v", "fo", "an = in the fourth place ends the text after two units"},
        {"Zg=AZm9v", "f", "an = in the third place ends even when the fourth is a symbol"},
        {" Zm9v", units({0xFD, 0x99, 0xBD}), "a blank is outside the alphabet, not skipped"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(decode(c.encoded), c.plain) << c.why << ": " << c.encoded.toStdString();
}

TEST(Vornjiami, DecoderTakesOddSymbolsAsEightBitValues)
{
    // "=" counts 64 where it does not stop the group, a foreign character 255.
    const struct
    {
        QString encoded;
        QString plain;
    } cases[] = {
        {"==AA", units({0x04, 0x00, 0x00})},
        {"A=AA", units({0x04, 0x00, 0x00})},
        {"*AAA", units({0xFC, 0x00, 0x00})},
        {"A*AA", units({0x0F, 0xF0, 0x00})},
        {"AA*A", units({0x00, 0x3F, 0xC0})},
        {"AAA*", units({0x00, 0x00, 0xFF})},
        {"****", units({0xFF, 0xFF, 0xFF})},
        {QStringLiteral("中AAA"), units({0xFC, 0x00, 0x00})},
        {QStringLiteral("\u0141AAA"), units({0xFC, 0x00, 0x00})},
    };
    for (const auto& c : cases) {
        const QString plain = decode(c.encoded);
        EXPECT_EQ(plain, c.plain) << c.encoded.toStdString();
    }
}

TEST(Vornjiami, EncoderStaysInsideAlphabetForUnitsAboveLatin1)
{
    // Such units have no byte form; their low byte is what gets encoded.
    const QString wide = QStringLiteral("中文密码\uFFFF\u0100");
    const QString encoded = encode(wide);
    ASSERT_EQ(encoded.size(), 8);
    for (QChar c : encoded)
        EXPECT_NE(alphabetIndex(c), -1) << encoded.toStdString();
    QString lowBytes;
    for (QChar c : wide)
        lowBytes.append(QChar(char16_t(c.unicode() & 0xFF)));
    EXPECT_EQ(encoded, encode(lowBytes));
}

} // namespace
} // namespace qb
