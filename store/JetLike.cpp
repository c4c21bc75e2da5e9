#include "store/JetLike.h"

#include <QChar>
#include <QList>
#include <memory>
#include <sqlcipher/sqlite3.h>

namespace qb::jet {

namespace {

char32_t foldChar(char32_t c)
{
    if (c < 0x80)
        return (c >= 'A' && c <= 'Z') ? c + 32 : c;
    return char32_t(QChar::toCaseFolded(uint(c)));
}

// Matches one "[...]" set at pattern position p against c; on success p is
// moved past the set. A "[" without its closing "]" is an ordinary character.
bool matchSet(const std::u32string& pattern, size_t& p, char32_t c, bool& isSet)
{
    size_t q = p + 1;
    bool negate = false;
    if (q < pattern.size() && pattern[q] == U'!') {
        negate = true;
        ++q;
    }
    const size_t first = q;
    // A "]" right after the opening bracket belongs to the set.
    while (q < pattern.size() && (pattern[q] != U']' || q == first))
        ++q;
    if (q >= pattern.size()) {
        isSet = false;
        return c == U'[';
    }
    isSet = true;
    bool found = false;
    for (size_t i = first; i < q; ++i) {
        if (i + 2 < q && pattern[i + 1] == U'-') {
            if (c >= pattern[i] && c <= pattern[i + 2])
                found = true;
            i += 2;
        } else if (pattern[i] == c) {
            found = true;
        }
    }
    p = q + 1;
    return found != negate;
}

} // namespace

LikePattern::LikePattern(const QString& pattern) : m_pattern(fold(pattern)) {}

std::u32string LikePattern::fold(const QString& text)
{
    std::u32string out;
    out.reserve(size_t(text.size()));
    for (char32_t c : text.toUcs4())
        out.push_back(foldChar(c));
    return out;
}

std::u32string LikePattern::foldUtf8(const char* text, int bytes)
{
    std::u32string out;
    out.reserve(size_t(bytes));
    const auto* s = reinterpret_cast<const unsigned char*>(text);
    int i = 0;
    while (i < bytes) {
        const unsigned char b = s[i];
        if (b < 0x80) {
            out.push_back(foldChar(b));
            ++i;
            continue;
        }
        const int extra = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : 0;
        char32_t c = extra == 3 ? (b & 0x07) : extra == 2 ? (b & 0x0F) : extra == 1 ? (b & 0x1F) : 0xFFFD;
        ++i;
        for (int k = 0; k < extra && i < bytes; ++k, ++i)
            c = (c << 6) | (s[i] & 0x3F);
        out.push_back(foldChar(c));
    }
    return out;
}

bool LikePattern::matches(const QString& text) const
{
    return matchesFolded(fold(text));
}

// Iterative matching with one backtrack point per "%": linear for the
// patterns the program builds ("%word%"), never exponential.
bool LikePattern::matchesFolded(const std::u32string& text) const
{
    const std::u32string& pat = m_pattern;
    size_t p = 0;
    size_t t = 0;
    size_t starP = std::u32string::npos;
    size_t starT = 0;
    while (t < text.size()) {
        if (p < pat.size()) {
            const char32_t pc = pat[p];
            if (pc == U'%') {
                starP = ++p;
                starT = t;
                continue;
            }
            if (pc == U'_') {
                ++p;
                ++t;
                continue;
            }
            if (pc == U'[') {
                size_t next = p;
                bool isSet = false;
                if (matchSet(pat, next, text[t], isSet)) {
                    p = isSet ? next : p + 1;
                    ++t;
                    continue;
                }
            } else if (pc == text[t]) {
                ++p;
                ++t;
                continue;
            }
        }
        if (starP == std::u32string::npos)
            return false;
        p = starP;
        t = ++starT;
    }
    while (p < pat.size() && pat[p] == U'%')
        ++p;
    return p == pat.size();
}

QString escapeLikeText(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        if (c == u'%' || c == u'_' || c == u'[') {
            out += u'[';
            out += c;
            out += u']';
        } else {
            out += c;
        }
    }
    return out;
}

namespace {

void deletePattern(void* pattern)
{
    delete static_cast<LikePattern*>(pattern);
}

// like(pattern, text): the engine calls this for "text LIKE pattern". The
// folded pattern is kept with the statement, so a scan folds it once.
void likeFunction(sqlite3_context* context, int, sqlite3_value** args)
{
    if (sqlite3_value_type(args[0]) == SQLITE_NULL || sqlite3_value_type(args[1]) == SQLITE_NULL)
        return; // NULL, as the engine's own LIKE gives
    const auto* pattern = static_cast<const LikePattern*>(sqlite3_get_auxdata(context, 0));
    // The engine may drop kept data whenever it likes (for a pattern that is
    // not a constant, right away), so this call keeps its own copy too.
    std::unique_ptr<LikePattern> own;
    if (!pattern) {
        const char* p = reinterpret_cast<const char*>(sqlite3_value_text(args[0]));
        own = std::make_unique<LikePattern>(LikePattern::foldUtf8(p, sqlite3_value_bytes(args[0])));
        pattern = own.get();
        sqlite3_set_auxdata(context, 0, new LikePattern(*own), deletePattern);
    }
    const char* text = reinterpret_cast<const char*>(sqlite3_value_text(args[1]));
    sqlite3_result_int(context,
                       pattern->matchesFolded(LikePattern::foldUtf8(text, sqlite3_value_bytes(args[1]))));
}

} // namespace

void installLike(sqlite3* db)
{
    sqlite3_create_function_v2(db, "like", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, likeFunction,
                               nullptr, nullptr, nullptr);
}

} // namespace qb::jet
