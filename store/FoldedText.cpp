#include "store/FoldedText.h"

#include "util/Trim.h"

#include <cstdlib>
#include <new>
#include <unicode/bytestream.h>
#include <unicode/normalizer2.h>

namespace qb {

namespace {

} // namespace

void appendCharacter(std::string& out, char32_t c)
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

namespace {

bool isScalar(char32_t c)
{
    return c < 0xD800 || (c > 0xDFFF && c <= 0x10FFFF);
}

const icu::Normalizer2& normalizer()
{
    static const icu::Normalizer2* const instance = [] {
        UErrorCode status = U_ZERO_ERROR;
        const icu::Normalizer2* n = icu::Normalizer2::getNFKCCasefoldInstance(status);
        if (U_FAILURE(status) || !n)
            std::abort(); // ICU's own data is part of the library
        return n;
    }();
    return *instance;
}

// Folds valid UTF-8 onto the end of `out`. ICU copies the runs that are
// already folded (lower-case ASCII, Chinese) as they are.
void appendNormalized(std::string& out, const char* text, size_t bytes)
{
    if (bytes == 0)
        return;
    UErrorCode status = U_ZERO_ERROR;
    // No room reserved by the sink: reserving exactly this text's length
    // each time would grow a long `out` one text at a time.
    icu::StringByteSink<std::string> sink(&out);
    normalizer().normalizeUTF8(0, icu::StringPiece(text, int32_t(bytes)), sink, nullptr, status);
    if (status == U_MEMORY_ALLOCATION_ERROR)
        throw std::bad_alloc();
    if (U_FAILURE(status))
        std::abort(); // only for text that is no UTF-8, which never comes here
}

// The length of the sequence at `i` when it is the shortest UTF-8 of a
// Unicode scalar value, and so reads as exactly that; 0 otherwise.
int validSequence(const unsigned char* s, int i, int bytes)
{
    const unsigned char b = s[i];
    if (b < 0x80)
        return 1;
    const int length = b >= 0xF8 ? 0 : b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC2 ? 2 : 0;
    if (length == 0 || i + length > bytes)
        return 0;
    for (int k = 1; k < length; ++k) {
        if ((s[i + k] & 0xC0) != 0x80)
            return 0;
    }
    int at = i;
    const char32_t c = readTextChar(s, at, bytes);
    const char32_t least = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
    return c >= least && isScalar(c) ? length : 0;
}

// Text with sequences that are no UTF-8 (another program's bytes): each
// sequence reads as the one character LIKE's reader makes of it. Those that
// are Unicode characters are folded with their neighbours; the rest
// (surrogates, codes above Unicode) fold to themselves and part the text.
void appendFoldedRead(std::string& out, const unsigned char* s, int bytes)
{
    std::string clean;
    int i = 0;
    while (i < bytes) {
        const char32_t c = readTextChar(s, i, bytes);
        if (isScalar(c)) {
            appendCharacter(clean, c);
            continue;
        }
        appendNormalized(out, clean.data(), clean.size());
        clean.clear();
        appendCharacter(out, c);
    }
    appendNormalized(out, clean.data(), clean.size());
}

} // namespace

void appendFolded(std::string& out, const char* text, int bytes)
{
    const auto* s = reinterpret_cast<const unsigned char*>(text);
    // Lower-case ASCII alone folds to itself.
    int i = 0;
    while (i < bytes && s[i] < 0x80 && !(s[i] >= 'A' && s[i] <= 'Z'))
        ++i;
    if (i == bytes) {
        out.append(text, size_t(bytes));
        return;
    }
    while (i < bytes) {
        const int length = validSequence(s, i, bytes);
        if (length == 0) {
            appendFoldedRead(out, s, bytes);
            return;
        }
        i += length;
    }
    appendNormalized(out, text, size_t(bytes));
}

std::string folded(const QByteArray& utf8)
{
    std::string out;
    appendFolded(out, utf8.constData(), int(utf8.size()));
    return out;
}

// No character folds to one that contains a character up to the blank
// unless it is one itself or a blank of another width, and each of those is
// one byte of the folded text: so the bytes trimming cuts from the ends are
// the characters that trimming cuts.
std::string categoryKey(const char* text, int bytes)
{
    std::string out;
    appendFolded(out, text, bytes);
    return std::string(trimmedBytes(out));
}

std::string categoryKey(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    return categoryKey(utf8.constData(), int(utf8.size()));
}

} // namespace qb
