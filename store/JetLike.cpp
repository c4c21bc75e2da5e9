#include "store/JetLike.h"

#include "store/FoldedText.h"

#include <QChar>
#include <QList>
#include <memory>
#include <sqlcipher/sqlite3.h>

namespace qb::jet {

char32_t foldLikeChar(char32_t c)
{
    std::string one;
    appendCharacter(one, c);
    const std::u32string f = LikePattern::foldUtf8(one.data(), int(one.size()));
    return f.size() == 1 ? f[0] : c;
}

LikePattern::LikePattern(const QString& pattern)
{
    const QByteArray utf8 = pattern.toUtf8();
    *this = LikePattern(readUtf8(utf8.constData(), int(utf8.size())));
}

// Reads the pattern into elements. Where each set ends is looked up in a
// table of the next "]" at or after every position, so that a pattern of
// many "[" with no "]" is read in one pass rather than one pass per "[".
LikePattern::LikePattern(const std::u32string& pattern)
{
    const size_t n = pattern.size();
    constexpr size_t none = std::u32string::npos;
    std::vector<size_t> nextClose(n + 1, none);
    for (size_t i = n; i-- > 0;)
        nextClose[i] = pattern[i] == U']' ? i : nextClose[i + 1];

    m_elements.reserve(n);
    // The ordinary characters since the last other element, folded together.
    std::string run;
    const auto endRun = [&] {
        if (run.empty())
            return;
        for (char32_t c : foldUtf8(run.data(), int(run.size()))) {
            Element literal{Element::Char};
            literal.c = c;
            m_elements.push_back(literal);
        }
        run.clear();
    };
    size_t p = 0;
    while (p < n) {
        const char32_t pc = pattern[p];
        if (pc == U'%' || pc == U'_')
            endRun();
        if (pc == U'%') {
            m_elements.push_back({Element::AnyRun});
            ++p;
            continue;
        }
        if (pc == U'_') {
            m_elements.push_back({Element::AnyOne});
            ++p;
            continue;
        }
        if (pc == U'[') {
            size_t first = p + 1;
            const bool negate = first < n && pattern[first] == U'!';
            if (negate)
                ++first;
            // The first member may itself be a "]".
            const size_t close = first < n ? nextClose[first + 1] : none;
            if (close != none) {
                endRun();
                Element set{negate ? Element::NotSet : Element::Set};
                set.first = m_ranges.size();
                for (size_t i = first; i < close; ++i) {
                    if (i + 2 < close && pattern[i + 1] == U'-') {
                        m_ranges.push_back({foldLikeChar(pattern[i]), foldLikeChar(pattern[i + 2])});
                        i += 2;
                    } else {
                        const char32_t member = foldLikeChar(pattern[i]);
                        m_ranges.push_back({member, member});
                    }
                }
                set.count = m_ranges.size() - set.first;
                m_elements.push_back(set);
                p = close + 1;
                continue;
            }
        }
        appendCharacter(run, pc);
        ++p;
    }
    endRun();
}

std::u32string LikePattern::fold(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    return foldUtf8(utf8.constData(), int(utf8.size()));
}

std::u32string LikePattern::foldUtf8(const char* text, int bytes)
{
    std::string out;
    appendFolded(out, text, bytes);
    return readUtf8(out.data(), int(out.size()));
}

std::u32string LikePattern::readUtf8(const char* text, int bytes)
{
    std::u32string out;
    out.reserve(size_t(bytes));
    const auto* s = reinterpret_cast<const unsigned char*>(text);
    int i = 0;
    while (i < bytes)
        out.push_back(readTextChar(s, i, bytes));
    return out;
}

bool LikePattern::matches(const QString& text) const
{
    return matchesFolded(fold(text));
}

bool LikePattern::accepts(const Element& element, char32_t c) const
{
    switch (element.kind) {
    case Element::AnyOne:
        return true;
    case Element::Char:
        return element.c == c;
    case Element::Set:
    case Element::NotSet: {
        bool found = false;
        for (size_t i = element.first; i < element.first + element.count && !found; ++i)
            found = c >= m_ranges[i].low && c <= m_ranges[i].high;
        return found != (element.kind == Element::NotSet);
    }
    case Element::AnyRun:
        break;
    }
    return false;
}

// Iterative matching with one backtrack point, the last "%": every other
// element takes exactly one character, so retrying from the last "%" alone
// finds a match if there is one, in at most (text x elements) steps.
bool LikePattern::matchesFolded(const std::u32string& text) const
{
    const size_t n = m_elements.size();
    constexpr size_t none = size_t(-1);
    size_t e = 0;
    size_t t = 0;
    size_t starE = none;
    size_t starT = 0;
    while (t < text.size()) {
        if (e < n) {
            if (m_elements[e].kind == Element::AnyRun) {
                starE = ++e;
                starT = t;
                continue;
            }
            if (accepts(m_elements[e], text[t])) {
                ++e;
                ++t;
                continue;
            }
        }
        if (starE == none)
            return false;
        e = starE;
        t = ++starT;
    }
    while (e < n && m_elements[e].kind == Element::AnyRun)
        ++e;
    return e == n;
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
        own = std::make_unique<LikePattern>(LikePattern::readUtf8(p, sqlite3_value_bytes(args[0])));
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
