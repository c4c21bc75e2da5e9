// One picture decoder on arbitrary bytes, as the image box calls it. Every
// input must give a picture or a PictureError with a message; anything else
// (a crash, a sanitizer report, another exception, a null picture, a run
// past the time or memory limit) is a finding.
#include "picture/Decoders.h"
#include "tests/fuzz/FuzzApplication.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

using qb::picture::Format;
constexpr Format format = Format::QB_FUZZ_FORMAT;
QImage decode(const QByteArray& bytes)
{
    // The image box on the pages.
    const QSize box(521, 275);
    if constexpr (format == Format::Jpeg)
        return qb::decodeJpeg(bytes, box);
    else if constexpr (format == Format::Bmp || format == Format::Ico)
        return qb::picture::decodeQtBitmap(bytes, format, box);
    else if constexpr (format == Format::Tiff)
        return qb::picture::decodeTiff(bytes, box);
    else if constexpr (format == Format::Wmf)
        return qb::picture::decodeWmf(bytes, box);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char*** argv)
{
    qb::fuzz::startApplication((*argv)[0]);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    try {
        if (decode(qb::fuzz::bytesOf(data, size)).isNull())
            qb::fuzz::fail("a null picture without a failure");
    } catch (const qb::PictureError& e) {
        if (e.message().isEmpty())
            qb::fuzz::fail("a failure without a message");
    }
    return 0;
}
