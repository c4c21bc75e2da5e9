#pragma once

#include <QString>
#include <string_view>

namespace qb {

// Every value read back from the store is cleaned before use: the characters
// from U+0000 up to and including the blank are cut from both ends.
constexpr bool isTrimmedAway(char32_t c)
{
    return c <= 0x20;
}

// The same rule for a byte of UTF-8 text: those characters are single bytes
// there, and no byte of a longer sequence lies in their range, so the bytes
// can be cut directly.
constexpr bool isTrimmedAwayByte(char byte)
{
    return isTrimmedAway(static_cast<unsigned char>(byte));
}

// The value trimmed.
QString trimmed(const QString& text);

// UTF-8 text trimmed, byte by byte.
constexpr std::string_view trimmedBytes(std::string_view text)
{
    while (!text.empty() && isTrimmedAwayByte(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isTrimmedAwayByte(text.back()))
        text.remove_suffix(1);
    return text;
}

} // namespace qb
