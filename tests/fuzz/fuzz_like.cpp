// The LIKE matcher against a plain recursive one written from the rules in
// store/JetLike.h. Input: pattern, a zero byte, text (UTF-8); without a zero
// byte the text is the pattern itself.
#include "store/JetLike.h"
#include "tests/fuzz/FuzzSupport.h"

#include <vector>

using qb::jet::LikePattern;

namespace {

// Both sides short, so that the memo table stays small.
constexpr qsizetype maxLength = 200;

class Reference
{
public:
    Reference(const std::u32string& pattern, const std::u32string& text)
        : m_p(pattern), m_t(text), m_memo((pattern.size() + 1) * (text.size() + 1), Unknown)
    {
    }
    bool matches() { return from(0, 0); }

private:
    enum : char { Unknown, No, Yes };

    // Does pattern[p..] match text[t..]?
    bool from(size_t p, size_t t)
    {
        char& memo = m_memo[p * (m_t.size() + 1) + t];
        if (memo == Unknown)
            memo = compute(p, t) ? Yes : No;
        return memo == Yes;
    }

    bool compute(size_t p, size_t t)
    {
        if (p == m_p.size())
            return t == m_t.size();
        const char32_t pc = m_p[p];
        if (pc == U'%')
            return from(p + 1, t) || (t < m_t.size() && from(p, t + 1));
        if (t == m_t.size())
            return false;
        const char32_t c = m_t[t];
        if (pc == U'_')
            return from(p + 1, t + 1);
        if (pc == U'[') {
            size_t first = p + 1;
            const bool negate = first < m_p.size() && m_p[first] == U'!';
            if (negate)
                ++first;
            for (size_t close = first + 1; close < m_p.size(); ++close) {
                if (m_p[close] != U']')
                    continue;
                bool member = false;
                for (size_t i = first; i < close;) {
                    if (i + 2 < close && m_p[i + 1] == U'-') {
                        member = member || (m_p[i] <= c && c <= m_p[i + 2]);
                        i += 3;
                    } else {
                        member = member || m_p[i] == c;
                        i += 1;
                    }
                }
                return member != negate && from(close + 1, t + 1);
            }
            // No "]": an ordinary "[".
        }
        return pc == c && from(p + 1, t + 1);
    }

    const std::u32string& m_p;
    const std::u32string& m_t;
    std::vector<char> m_memo;
};

std::u32string folded(const QString& s)
{
    return s.toCaseFolded().toStdU32String();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = qb::fuzz::bytesOf(data, size);
    // Any bytes at all, as the engine may hand them over.
    LikePattern::foldUtf8(bytes.constData(), int(bytes.size()));

    const qsizetype zero = bytes.indexOf('\0');
    const QString pattern = QString::fromUtf8(zero < 0 ? bytes : bytes.left(zero));
    const QString text = zero < 0 ? pattern : QString::fromUtf8(bytes.mid(zero + 1));
    if (pattern.size() > maxLength || text.size() > maxLength)
        return 0;

    const bool want = Reference(folded(pattern), folded(text)).matches();
    if (LikePattern(pattern).matches(text) != want)
        qb::fuzz::fail("LikePattern differs from the reference matcher");
    // The engine's path: UTF-8 in, folded there.
    const QByteArray p8 = pattern.toUtf8(), t8 = text.toUtf8();
    if (LikePattern(LikePattern::foldUtf8(p8.constData(), int(p8.size())))
            .matchesFolded(LikePattern::foldUtf8(t8.constData(), int(t8.size()))) != want)
        qb::fuzz::fail("the UTF-8 path differs from the reference matcher");
    if (!LikePattern("%" + qb::jet::escapeLikeText(text) + "%").matches(text))
        qb::fuzz::fail("an escaped text does not find itself");
    return 0;
}
