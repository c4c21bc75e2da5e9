#pragma once

#include <QString>
#include <string>

struct sqlite3;

namespace qb::jet {

// Pattern matching as the program's statements expect of LIKE: "%" any run
// of characters, "_" any one character, "[...]" one character of a set
// ("[!...]" not of it, "a-z" ranges), so "[%]" matches a percent sign. Letters
// compare without regard to case (Unicode case folding, so "É" matches "é"
// and "Ａ" matches "ａ"). Works on UTF-32, folded.
class LikePattern
{
public:
    explicit LikePattern(const QString& pattern);
    explicit LikePattern(std::u32string folded) : m_pattern(std::move(folded)) {}
    bool matches(const QString& text) const;
    bool matchesFolded(const std::u32string& text) const;

    static std::u32string fold(const QString& text);
    static std::u32string foldUtf8(const char* text, int bytes);

private:
    std::u32string m_pattern;
};

// Makes a text match itself literally inside a LIKE pattern: "%", "_" and
// "[" are put in brackets.
QString escapeLikeText(const QString& text);

// Puts LIKE with these rules in place of the engine's own on a connection.
void installLike(sqlite3* db);

} // namespace qb::jet
