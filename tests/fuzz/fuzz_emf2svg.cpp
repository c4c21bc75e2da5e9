// The converter's own conversion (libemf2svg behind its guards) in this
// process. This is the library the converter process exists to contain: its
// crashes here are expected and are not ours.
// tools/fuzz.sh runs this target to count them and does not fail on them.
#include "picture/EmfToSvg.h"

#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > qb::emf::maxInputBytes)
        return 0;
    std::vector<char> input(data, data + size);
    std::string svg;
    qb::emf::convertToSvg(input, svg);
    return 0;
}
