#include "picture/EmfToSvg.h"

#include <cstdlib>
#include <emf2svg.h>

namespace qb::emf {

namespace {
// The fixed part of the EMR_HEADER record.
constexpr size_t headerBytes = 88;
constexpr size_t paddingBytes = 4096;
} // namespace

const char* convertToSvg(std::vector<char>& input, std::string& svg)
{
    if (input.empty())
        return "文件是空的";
    if (input.size() > maxInputBytes)
        return "文件过大";
    // libemf2svg reads the header's fields before it checks any length.
    if (input.size() < headerBytes)
        return "文件比 EMF 文件头还短，不是 EMF 图元文件";
    const size_t length = input.size();
    // The library reads a little past the end of a record that claims more
    // than the file holds; those reads land on zeros of our own.
    input.resize(length + paddingBytes, 0);
    char emptyNamespace[] = "";
    generatorOptions options{};
    options.nameSpace = emptyNamespace;
    options.verbose = false;
    options.emfplus = true;
    options.svgDelimiter = true;
    char* out = nullptr;
    size_t outLength = 0;
    const int ok = emf2svg(input.data(), length, &out, &outLength, &options);
    if (ok == 1 && out && outLength > 0)
        svg.assign(out, outLength);
    std::free(out);
    input.resize(length);
    return svg.empty() ? "不是可读的 EMF 图元文件" : nullptr;
}

} // namespace qb::emf
