#pragma once

#include <cstddef>
#include <string>
#include <vector>

// The conversion that the converter executable runs on one EMF picture,
// with the guards libemf2svg needs: input shorter than an EMF header is
// refused, so is one that asks for more records or drawing than the
// converter's memory allows, and the buffer is padded with zeros past the
// picture's end.
// Only the converter process (and the fuzzing of exactly this call) may run
// it: the library can crash on damaged input.
namespace qb::emf {

// Beyond what a scanned page holds as a bitmap; the converter keeps the
// file, its SVG and the drawing in memory at once.
constexpr size_t maxInputBytes = 64u * 1024 * 1024;
// Why a picture of more than maxInputBytes is refused.
inline constexpr char inputTooLargeReason[] = "文件过大";

// Converts `input` (which it may pad) to SVG. Returns nullptr on success,
// else why the picture cannot be converted.
const char* convertToSvg(std::vector<char>& input, std::string& svg);

} // namespace qb::emf
