#pragma once

#include <QByteArray>
#include <QString>
#include <string>

namespace qb {

// Texts folded as the store's LIKE and "=" compare them, as bytes: each
// character of the text, read from its bytes exactly as LikePattern::foldUtf8
// reads them and folded the same way, becomes one UTF-8-like sequence
// (surrogates and the codes above Unicode included). A byte match of one
// folded text inside another is then a match of their folded characters, and
// the byte 0xFF never occurs in a folded text.
void appendFolded(std::string& out, const char* text, int bytes);
std::string folded(const QByteArray& utf8);

// A category as every part of the program compares it: the list of
// categories, the entry page's test whether a category is new, the store's
// "=" and the receipts' copy. Folded as LIKE folds letters, and trimmed at
// both ends of the characters from U+0000 up to the blank, as the list shows
// it. Two texts are one category exactly when their keys are equal.
std::string categoryKey(const char* text, int bytes);
std::string categoryKey(const QString& text);

} // namespace qb
