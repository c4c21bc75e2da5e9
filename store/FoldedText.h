#pragma once

#include <QByteArray>
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

// A category as "=" compares it: folded, without trailing blanks.
std::string categoryKey(const char* text, int bytes);

} // namespace qb
