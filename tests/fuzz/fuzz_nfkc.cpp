// The store's folding against ICU's own NFKC case folding. Input: any bytes.
// They must fold exactly as ICU folds the characters LIKE's reader makes of
// them (valid UTF-8 reads as itself), a run of Unicode characters at a time,
// with the codes that are no characters kept as they are between the runs;
// and fold to a text that folds to itself, holds no byte 0xFF, and reads
// back as LIKE reads it.
#include "store/FoldedText.h"
#include "store/JetLike.h"
#include "tests/fuzz/FuzzSupport.h"

#include <unicode/normalizer2.h>
#include <unicode/unistr.h>

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

    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* icu = icu::Normalizer2::getNFKCCasefoldInstance(status);
    std::string want;
    icu::UnicodeString run;
    const auto foldRun = [&] {
        icu->normalize(run, status).toUTF8String(want);
        run.remove();
    };
    const auto* s = reinterpret_cast<const unsigned char*>(text);
    for (int i = 0; i < bytes;) {
        const char32_t c = readTextChar(s, i, bytes);
        if (c < 0xD800 || (c > 0xDFFF && c <= 0x10FFFF)) {
            run.append(UChar32(c));
            continue;
        }
        foldRun();
        appendCharacter(want, c);
    }
    foldRun();
    if (U_FAILURE(status) || got != want)
        fuzz::fail("the folding differs from ICU's NFKC_Casefold of the characters read");
    return 0;
}
