// The LIKE matcher against a plain recursive one written from the rules in
// store/JetLike.h, folding with ICU directly. Input: pattern, a zero byte, text (UTF-8); without a zero
// byte the text is the pattern itself.
#include "store/JetLike.h"
#include "tests/fuzz/FuzzSupport.h"

#include <unicode/normalizer2.h>
#include <unicode/unistr.h>
#include <vector>

using qb::jet::LikePattern;

namespace {

// Both sides short, so that the memo table stays small.
constexpr qsizetype maxLength = 200;

// NFKC case folding by ICU itself.
std::u32string icuFolded(const std::u32string& s)
{
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* icu = icu::Normalizer2::getNFKCCasefoldInstance(status);
    const icu::UnicodeString folded = icu->normalize(
        icu::UnicodeString::fromUTF32(reinterpret_cast<const UChar32*>(s.data()), int32_t(s.size())), status);
    std::u32string out(size_t(folded.countChar32()), U'\0');
    folded.toUTF32(reinterpret_cast<UChar32*>(out.data()), int32_t(out.size()), status);
    return out;
}

char32_t icuFoldedMember(char32_t c)
{
    const std::u32string f = icuFolded(std::u32string(1, c));
    return f.size() == 1 ? f[0] : c;
}

class Reference
{
public:
    Reference(const std::u32string& pattern, const std::u32string& text)
        : m_p(tokens(pattern)), m_t(icuFolded(text)), m_memo((m_p.size() + 1) * (m_t.size() + 1), Unknown)
    {
    }
    bool matches() { return from(0, 0); }

private:
    enum : char { Unknown, No, Yes };
    struct Token
    {
        enum { Run, One, Char, Set } kind;
        char32_t c = 0;
        bool negate = false;
        std::vector<std::pair<char32_t, char32_t>> ranges = {};
    };

    // The pattern's "%", "_" and sets as written; the ordinary characters
    // between them folded together.
    static std::vector<Token> tokens(const std::u32string& p)
    {
        std::vector<Token> out;
        std::u32string plain;
        const auto flush = [&] {
            for (char32_t c : icuFolded(plain))
                out.push_back({Token::Char, c});
            plain.clear();
        };
        for (size_t i = 0; i < p.size();) {
            if (p[i] == U'%' || p[i] == U'_') {
                flush();
                out.push_back({p[i] == U'%' ? Token::Run : Token::One});
                ++i;
                continue;
            }
            if (p[i] == U'[') {
                size_t first = i + 1;
                const bool negate = first < p.size() && p[first] == U'!';
                if (negate)
                    ++first;
                size_t close = first + 1;
                while (close < p.size() && p[close] != U']')
                    ++close;
                if (close < p.size()) {
                    flush();
                    Token set{Token::Set, 0, negate};
                    for (size_t k = first; k < close;) {
                        if (k + 2 < close && p[k + 1] == U'-') {
                            set.ranges.emplace_back(icuFoldedMember(p[k]), icuFoldedMember(p[k + 2]));
                            k += 3;
                        } else {
                            set.ranges.emplace_back(icuFoldedMember(p[k]), icuFoldedMember(p[k]));
                            k += 1;
                        }
                    }
                    out.push_back(set);
                    i = close + 1;
                    continue;
                }
                // No "]": an ordinary "[".
            }
            plain.push_back(p[i]);
            ++i;
        }
        flush();
        return out;
    }

    // Do tokens[p..] match text[t..]?
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
        const Token& token = m_p[p];
        if (token.kind == Token::Run)
            return from(p + 1, t) || (t < m_t.size() && from(p, t + 1));
        if (t == m_t.size())
            return false;
        const char32_t c = m_t[t];
        if (token.kind == Token::Set) {
            bool member = false;
            for (const auto& [low, high] : token.ranges)
                member = member || (low <= c && c <= high);
            return member != token.negate && from(p + 1, t + 1);
        }
        return (token.kind == Token::One || token.c == c) && from(p + 1, t + 1);
    }

    const std::vector<Token> m_p;
    const std::u32string m_t;
    std::vector<char> m_memo;
};

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

    const bool want = Reference(pattern.toStdU32String(), text.toStdU32String()).matches();
    if (LikePattern(pattern).matches(text) != want)
        qb::fuzz::fail("LikePattern differs from the reference matcher");
    // The engine's path: UTF-8 in, folded there.
    const QByteArray p8 = pattern.toUtf8(), t8 = text.toUtf8();
    if (LikePattern(LikePattern::readUtf8(p8.constData(), int(p8.size())))
            .matchesFolded(LikePattern::foldUtf8(t8.constData(), int(t8.size()))) != want)
        qb::fuzz::fail("the UTF-8 path differs from the reference matcher");
    if (!LikePattern("%" + qb::jet::escapeLikeText(text) + "%").matches(text))
        qb::fuzz::fail("an escaped text does not find itself");
    return 0;
}
