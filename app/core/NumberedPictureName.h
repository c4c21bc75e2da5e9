#pragma once

#include <QString>
#include <QtGlobal>
#include <cstddef>
#include <string_view>

namespace qb {

// The names the program gives the pictures it copies into the picture
// folder: the number in decimal, at least five digits (zeros in front), then
// ".jpg". Written and read only here.

// "00001.jpg" for 1, "100000.jpg" for 100000: at least five digits, no upper limit.
QString numberedPictureName(qint64 number);

// The numbered picture name of `number` into `out`, without a text of Qt's:
// the search for a free number may try a hundred thousand. Returns the length.
size_t writeNumberedPictureName(qint64 number, char (&out)[32]);

// The number whose numbered picture name `name` is ("00042.jpg" is 42), or 0.
qint64 pictureNumberOf(std::string_view name);

} // namespace qb
