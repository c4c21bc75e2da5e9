#include "login/codec/vornjiami.h"

#include <cstdint>

namespace qb::vornjiami {

namespace {

constexpr char16_t kAlphabet[] = u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=";
constexpr int kAlphabetSize = 65;
static_assert(sizeof(kAlphabet) / sizeof(kAlphabet[0]) == kAlphabetSize + 1);

QChar symbol(unsigned value)
{
    return QChar(kAlphabet[value]);
}

} // namespace

int alphabetIndex(QChar c)
{
    for (int i = 0; i < kAlphabetSize; ++i) {
        if (kAlphabet[i] == c.unicode())
            return i;
    }
    return -1;
}

QString encode(const QString& plain)
{
    // Masking to the low byte keeps every index inside the alphabet even for
    // units the byte form cannot carry.
    const auto unit = [&plain](qsizetype i) -> unsigned { return plain.at(i).unicode() & 0xFFu; };

    const qsizetype length = plain.size();
    QString out;
    out.reserve((length + 2) / 3 * 4);
    qsizetype i = 0;
    for (; i + 3 <= length; i += 3) {
        const unsigned u1 = unit(i), u2 = unit(i + 1), u3 = unit(i + 2);
        out.append(symbol(u1 >> 2));
        out.append(symbol(((u1 << 4) & 0x30) | (u2 >> 4)));
        out.append(symbol(((u2 << 2) & 0x3C) | (u3 >> 6)));
        out.append(symbol(u3 & 0x3F));
    }
    if (length - i == 2) {
        const unsigned u1 = unit(i), u2 = unit(i + 1);
        out.append(symbol(u1 >> 2));
        out.append(symbol(((u1 << 4) & 0x30) | (u2 >> 4)));
        out.append(symbol((u2 << 2) & 0x3C));
        out.append(u'=');
    } else if (length - i == 1) {
        const unsigned u1 = unit(i);
        out.append(symbol(u1 >> 2));
        out.append(symbol((u1 << 4) & 0x30));
        out.append(u'=');
        out.append(u'=');
    }
    return out;
}

QString decode(const QString& encoded)
{
    QString out;
    const qsizetype whole = encoded.size() / 4 * 4;
    out.reserve(whole / 4 * 3);
    for (qsizetype i = 0; i < whole; i += 4) {
        // The index is taken as an 8-bit value: "=" is 64, an unknown character 255.
        const auto x = [&](qsizetype k) -> unsigned {
            return static_cast<std::uint8_t>(alphabetIndex(encoded.at(i + k)));
        };
        const unsigned x1 = x(0), x2 = x(1), x3 = x(2), x4 = x(3);
        out.append(QChar(static_cast<char16_t>(((x1 << 2) & 0xFF) | (x2 >> 4))));
        if (x3 == 64)
            break;
        out.append(QChar(static_cast<char16_t>(((x2 << 4) & 0xFF) | (x3 >> 2))));
        if (x4 == 64)
            break;
        out.append(QChar(static_cast<char16_t>(((x3 << 6) & 0xFF) | x4)));
    }
    return out;
}

} // namespace qb::vornjiami
