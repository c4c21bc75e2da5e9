#pragma once

#include <cstddef>
#include <string>
#include <vector>

// The conversion that the converter executable runs on one EMF picture,
// with the guards libemf2svg needs: input shorter than an EMF header is
// refused, and the buffer is padded with zeros past the picture's end.
// Only the converter process (and the fuzzing of exactly this call) may run
// it: the library can crash on damaged input.
namespace qb::emf {

constexpr size_t maxInputBytes = 256u * 1024 * 1024;

// Converts `input` (which it may pad) to SVG. Returns nullptr on success,
// else why the picture cannot be converted.
const char* convertToSvg(std::vector<char>& input, std::string& svg);

} // namespace qb::emf
