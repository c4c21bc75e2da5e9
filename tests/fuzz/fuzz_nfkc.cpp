// The store's folding against ICU's own NFKC case folding. Input: any bytes.
// Valid UTF-8 must fold exactly as ICU folds it; any bytes at all must fold
// to a text that folds to itself and holds no byte 0xFF, and read back as
// LIKE reads it.
#include "store/FoldedText.h"
#include "store/JetLike.h"
#include "tests/fuzz/FuzzSupport.h"

#include <unicode/normalizer2.h>
#include <unicode/unistr.h>
#include <unicode/ustring.h>
#include <vector>

using namespace qb;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 4000)
        return 0;
    const char* text = reinterpret_cast<const char*>(data);
    const int bytes = int(size);
    std::string got;
    appendFolded(got, text, bytes);
    if (got.find('\xFF') != std::string::npos)
        fuzz::fail("a folded text holds the byte 0xFF");
    if (folded(QByteArray::fromStdString(got)) != got)
        fuzz::fail("a folded text does not fold to itself");
    const std::u32string read = jet::LikePattern::readUtf8(got.data(), int(got.size()));
    if (jet::LikePattern::foldUtf8(text, bytes) != read)
        fuzz::fail("LIKE's folding differs from the copy's");

    std::vector<UChar> utf16(size + 1);
    int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strFromUTF8(utf16.data(), int32_t(utf16.size()), &length, text, bytes, &status);
    if (U_FAILURE(status))
        return 0; // no UTF-8: ICU has no folding of it to compare with
    const icu::Normalizer2* icu = icu::Normalizer2::getNFKCCasefoldInstance(status);
    const icu::UnicodeString want = icu->normalize(icu::UnicodeString(utf16.data(), length), status);
    std::string wantUtf8;
    want.toUTF8String(wantUtf8);
    if (U_FAILURE(status) || got != wantUtf8)
        fuzz::fail("the folding differs from ICU's NFKC_Casefold");
    return 0;
}
