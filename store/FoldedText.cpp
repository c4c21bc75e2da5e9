#include "store/FoldedText.h"

#include "store/JetLike.h"

#include <vector>

namespace qb {

namespace {

void appendCode(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out.push_back(char(c));
    } else if (c < 0x800) {
        out.push_back(char(0xC0 | (c >> 6)));
        out.push_back(char(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(char(0xE0 | (c >> 12)));
        out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(char(0x80 | (c & 0x3F)));
    } else {
        out.push_back(char(0xF0 | ((c >> 18) & 0x07)));
        out.push_back(char(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(char(0x80 | (c & 0x3F)));
    }
}

// Which characters of the first plane fold to themselves: most of a text
// (Chinese above all) is then copied as it is.
struct Unfolded
{
    std::vector<char> same = std::vector<char>(0x10000);
    Unfolded()
    {
        for (uint c = 0; c < 0x10000; ++c)
            same[c] = char(jet::foldLikeChar(c) == c);
    }
};

} // namespace

void appendFolded(std::string& out, const char* text, int bytes)
{
    static const Unfolded unfolded;
    const auto* s = reinterpret_cast<const unsigned char*>(text);
    int i = 0;
    while (i < bytes) {
        // The longest run that folds to itself goes in one piece: ASCII but
        // capitals, and whole three-byte sequences of characters without case.
        const int run = i;
        while (i < bytes) {
            const unsigned char b = s[i];
            if (b < 0x80) {
                if (b >= 'A' && b <= 'Z')
                    break;
                ++i;
            } else if (b >= 0xE0 && b < 0xF0 && i + 2 < bytes && (s[i + 1] & 0xC0) == 0x80 &&
                       (s[i + 2] & 0xC0) == 0x80) {
                const char32_t c = char32_t((b & 0x0F) << 12 | (s[i + 1] & 0x3F) << 6 | (s[i + 2] & 0x3F));
                if (c < 0x800 || !unfolded.same[c])
                    break;
                i += 3;
            } else {
                break;
            }
        }
        out.append(text + run, size_t(i - run));
        if (i >= bytes)
            break;
        // A capital, or a character that folds (or bytes that are no UTF-8).
        appendCode(out, jet::foldLikeChar(jet::readLikeChar(s, i, bytes)));
    }
}

std::string folded(const QByteArray& utf8)
{
    std::string out;
    appendFolded(out, utf8.constData(), int(utf8.size()));
    return out;
}

// Folding turns no character into one up to the blank and none of those
// into another, and such a character is one byte of the folded text: so the
// bytes up to 0x20 cut from the ends are the characters that trimming cuts.
std::string categoryKey(const char* text, int bytes)
{
    std::string out;
    appendFolded(out, text, bytes);
    size_t end = out.size();
    while (end > 0 && static_cast<unsigned char>(out[end - 1]) <= 0x20)
        --end;
    size_t begin = 0;
    while (begin < end && static_cast<unsigned char>(out[begin]) <= 0x20)
        ++begin;
    return out.substr(begin, end - begin);
}

std::string categoryKey(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    return categoryKey(utf8.constData(), int(utf8.size()));
}

} // namespace qb
