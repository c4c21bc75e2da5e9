#pragma once

#include <QString>
#include <string>
#include <vector>

struct sqlite3;

namespace qb::jet {

// Pattern matching as the program's statements expect of LIKE: "%" any run
// of characters, "_" any one character, "[...]" one character of a set
// ("[!...]" not of it, "a-z" ranges), so "[%]" matches a percent sign. Text
// compares folded (FoldedText.h: NFKC case folding, so "É" matches "é", "Ａ"
// matches "a" and "ß" matches "ss").
//
// In detail: a set ends at the first "]" after its first member, so "[]]"
// is the set of "]" and "[!]]" every character but "]"; "x-y" is a range
// when both ends are inside the set, and a "-" anywhere else is a member.
// A "[" with no such "]" after it is an ordinary character. The pattern's
// "%", "_" and sets are found before anything is folded, so a "％" is a
// percent sign to match, not a run. Between them, each run of ordinary
// characters is folded as a whole and must match the folded text
// character by character; "_" and a set take one character of the folded
// text, and a set's members are folded one by one (foldLikeChar).
//
// The pattern is read into its elements once; a match then takes at most
// (text length) x (pattern length) steps, whatever the pattern.
class LikePattern
{
public:
    explicit LikePattern(const QString& pattern);
    // A pattern as read, not folded (readUtf8).
    explicit LikePattern(const std::u32string& pattern);
    bool matches(const QString& text) const;
    bool matchesFolded(const std::u32string& text) const;

    static std::u32string fold(const QString& text);
    static std::u32string foldUtf8(const char* text, int bytes);
    // The characters of UTF-8 bytes as readTextChar() reads them, unfolded.
    static std::u32string readUtf8(const char* text, int bytes);

private:
    // One "%", one "_", one character, or one set: every element but "%"
    // stands for exactly one character of the text.
    struct Element
    {
        enum Kind : unsigned char { AnyRun, AnyOne, Char, Set, NotSet } kind;
        char32_t c = 0;   // Char
        size_t first = 0; // Set, NotSet: the members are
        size_t count = 0; // m_ranges[first, first + count)
    };
    struct Range
    {
        char32_t low;
        char32_t high;
    };

    bool accepts(const Element& element, char32_t c) const;

    std::vector<Element> m_elements;
    std::vector<Range> m_ranges;
};

// One character folded alone, as a set's member: its folding when that is
// one character, the character itself otherwise.
char32_t foldLikeChar(char32_t c);

// Makes a text match itself literally inside a LIKE pattern: "%", "_" and
// "[" are put in brackets.
QString escapeLikeText(const QString& text);

// Puts LIKE with these rules in place of the engine's own on a connection.
void installLike(sqlite3* db);

} // namespace qb::jet
