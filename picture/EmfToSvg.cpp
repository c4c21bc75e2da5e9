#include "picture/EmfToSvg.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <emf2svg.h>
#include <string>

namespace qb::emf {

namespace {
// The fixed part of the EMR_HEADER record.
constexpr size_t headerBytes = 88;
constexpr size_t paddingBytes = 4096;

// What one picture may ask of the converter's memory. Every record becomes
// an SVG element, some 4 KB each once Qt has parsed it, and a record's points
// cost about as much as its bytes. Bitmaps are bounded by their pixels and
// do not count here. (Time is bounded by the program, which stops waiting.)
constexpr size_t mostRecords = 50000;
constexpr size_t mostDrawingMegabytes = 4;
constexpr size_t mostDrawingBytes = mostDrawingMegabytes * 1024 * 1024;

// The reasons that name a budget, written once from it.
const char* tooManyRecords()
{
    static const std::string text = "图元记录超过 " + std::to_string(mostRecords) + " 条，画面太复杂";
    return text.c_str();
}
const char* tooMuchDrawing()
{
    static const std::string text =
        "绘图数据超过 " + std::to_string(mostDrawingMegabytes) + " MB，画面太复杂";
    return text.c_str();
}

std::uint32_t word(const std::vector<char>& input, size_t at)
{
    std::uint32_t value = 0;
    std::memcpy(&value, input.data() + at, sizeof value);
    return value; // EMF is little-endian, as every machine we build for
}

bool carriesBitmap(std::uint32_t type)
{
    switch (type) {
    case 76:  // BITBLT
    case 77:  // STRETCHBLT
    case 78:  // MASKBLT
    case 79:  // PLGBLT
    case 80:  // SETDIBITSTODEVICE
    case 81:  // STRETCHDIBITS
    case 93:  // CREATEMONOBRUSH
    case 94:  // CREATEDIBPATTERNBRUSHPT
    case 114: // ALPHABLEND
    case 116: // TRANSPARENTBLT
        return true;
    default:
        return false;
    }
}

// Walks the records as their sizes chain them, up to the end record or the
// first size that cannot be right (the converter deals with the damage).
const char* tooMuchWork(const std::vector<char>& input)
{
    constexpr std::uint32_t endRecord = 14;
    size_t records = 0;
    size_t drawingBytes = 0;
    for (size_t at = 0; at + 8 <= input.size();) {
        const std::uint32_t type = word(input, at);
        const std::uint32_t size = word(input, at + 4);
        if (size < 8 || size > input.size() - at)
            break;
        if (++records > mostRecords)
            return tooManyRecords();
        if (!carriesBitmap(type) && (drawingBytes += size) > mostDrawingBytes)
            return tooMuchDrawing();
        if (type == endRecord)
            break;
        at += size;
    }
    return nullptr;
}
} // namespace

const char* convertToSvg(std::vector<char>& input, std::string& svg)
{
    if (input.empty())
        return "文件是空的";
    if (input.size() > maxInputBytes)
        return inputTooLargeReason;
    // libemf2svg reads the header's fields before it checks any length.
    if (input.size() < headerBytes)
        return "文件比 EMF 文件头还短，不是 EMF 图元文件";
    if (const char* why = tooMuchWork(input))
        return why;
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
