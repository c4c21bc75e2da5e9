#pragma once

#include <QByteArray>
#include <QString>
#include <string>

namespace qb {

// Texts folded as the store's LIKE and "=" compare them, as bytes: Unicode's
// NFKC case folding (width and compatibility forms, full case folding,
// composed and decomposed accents alike), by ICU, of the whole text. Bytes
// that are no UTF-8 are read as readTextChar() below reads them, one
// character a sequence; of those, the codes that are no Unicode characters
// (surrogates, codes above Unicode) stay as they are, in the same UTF-8-like
// form, and part the text around them. A byte match of one folded text
// inside another is then a match of their folded characters, and the byte
// 0xFF never occurs in a folded text.
void appendFolded(std::string& out, const char* text, int bytes);
std::string folded(const QByteArray& utf8);

// Reads one character of UTF-8 bytes at `i` as the folding (and so LIKE)
// reads text, and moves `i` past it: a sequence is taken by its first byte's
// length whatever the bytes that follow, a stray continuation byte reads as
// U+FFFD. Every byte string is so read as some characters, none lost.
inline char32_t readTextChar(const unsigned char* s, int& i, int bytes)
{
    const unsigned char b = s[i++];
    if (b < 0x80)
        return b;
    const int extra = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : 0;
    char32_t c = extra == 3 ? (b & 0x07) : extra == 2 ? (b & 0x0F) : extra == 1 ? (b & 0x1F) : 0xFFFD;
    for (int k = 0; k < extra && i < bytes; ++k, ++i)
        c = (c << 6) | (s[i] & 0x3F);
    return c;
}

// Appends one character in the form folded texts keep it: UTF-8, and the
// same form for surrogates and codes above Unicode.
void appendCharacter(std::string& out, char32_t c);

// A category as every part of the program compares it: the list of
// categories, the entry page's test whether a category is new, the store's
// "=" and the receipts' copy. Folded as LIKE folds text, and trimmed at
// both ends of the characters from U+0000 up to the blank, as the list shows
// it; trimmed after folding, so blanks of other widths (U+3000) go too.
// Two texts are one category exactly when their keys are equal.
std::string categoryKey(const char* text, int bytes);
std::string categoryKey(const QString& text);

} // namespace qb
