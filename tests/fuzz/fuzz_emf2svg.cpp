// libemf2svg's emf2svg() in this process, called as the converter calls it
// (same size guards, same options). This is the library the converter
// process exists to contain: its crashes here are expected and are not ours.
// tools/fuzz.sh runs this target to count them and does not fail on them.
#include <cstdint>
#include <cstdlib>
#include <emf2svg.h>
#include <vector>

namespace {

constexpr size_t maxInputBytes = 256u * 1024 * 1024;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0 || size > maxInputBytes)
        return 0;
    // The library takes its input as writable memory.
    std::vector<char> input(data, data + size);
    char emptyNamespace[] = "";
    generatorOptions options{};
    options.nameSpace = emptyNamespace;
    options.verbose = false;
    options.emfplus = true;
    options.svgDelimiter = true;
    char* svg = nullptr;
    size_t svgLength = 0;
    emf2svg(input.data(), input.size(), &svg, &svgLength, &options);
    std::free(svg);
    return 0;
}
