// The receipts' copy searches folded bytes; the store searches with LIKE.
// For any text and any search text both must agree. Input: search text, a
// zero byte, text (any bytes, as a peer may store them).
#include "store/FoldedText.h"
#include "store/JetLike.h"
#include "tests/fuzz/FuzzSupport.h"

#include <QString>
#include <cstring>

using namespace qb;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const auto* zero = static_cast<const uint8_t*>(std::memchr(data, 0, size));
    if (!zero || size > 4000)
        return 0;
    const QString search = QString::fromUtf8(reinterpret_cast<const char*>(data), zero - data);
    if (search.isEmpty())
        return 0;
    const char* text = reinterpret_cast<const char*>(zero + 1);
    const int bytes = int(size - size_t(zero + 1 - data));

    // What the statement asks of the engine.
    const QByteArray pattern = (u'%' + jet::escapeLikeText(search) + u'%').toUtf8();
    const bool like = jet::LikePattern(jet::LikePattern::readUtf8(pattern.constData(), int(pattern.size())))
                          .matchesFolded(jet::LikePattern::foldUtf8(text, bytes));
    // What the copy does.
    std::string haystack;
    appendFolded(haystack, text, bytes);
    const std::string needle = folded(search.toUtf8());
    const bool copy = memmem(haystack.data(), haystack.size(), needle.data(), needle.size()) != nullptr;
    if (haystack.find('\xFF') != std::string::npos)
        fuzz::fail("a folded text holds the field end");
    if (like != copy)
        fuzz::fail(like ? "the copy misses what LIKE finds" : "the copy finds what LIKE does not");
    return 0;
}
