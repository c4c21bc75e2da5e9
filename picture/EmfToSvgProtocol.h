#pragma once

#include "util/platform/Platform.h"

#include <QString>
#include <cstdint>

// What passes between the EMF converter and the program that starts it, once
// per picture:
//
//   tavrellquillbox-emf2svg <width> <height>     0 0: the picture's own size
//
// The picture goes to the converter's standard input. Its standard output
// gets the image's width and height (two 32-bit integers) and then its rows,
// ARGB32 premultiplied; when the size is beyond the program's limits only the
// two integers. Exit status kDrawn on success; else standard error says why,
// in words the program shows.
namespace qb::emf {

// The converter executable, which sits beside the program.
inline const QString kEmfConverterName =
    platform::helperProgramName(QStringLiteral("tavrellquillbox-emf2svg"));

// The answer's header: width, then height.
using AnswerSize = std::int32_t;
inline constexpr std::int64_t kAnswerHeaderBytes = 2 * sizeof(AnswerSize);
inline constexpr int kAnswerBytesPerPixel = 4;

enum ExitStatus : int {
    kDrawn = 0,
    kUsage = 1,
    // The picture cannot be converted or drawn.
    kRefused = 2,
    // The picture is larger than the converter reads.
    kInputTooLarge = 3,
    // The answer could not be written.
    kNotWritten = 4,
};

} // namespace qb::emf
