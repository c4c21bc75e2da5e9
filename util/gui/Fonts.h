#pragma once

#include <QFont>

namespace qb {

// Makes the program's font, "宋体" (SimSun), come out in the installed CJK
// serif face with Simplified Chinese glyph forms; without a substitution Qt
// may pick Japanese forms or draw boxes.
void substituteFonts();

// The font of every window: "宋体" at 16 pixels. Made from the family name,
// not a family list, so that the substitution above applies to it.
QFont programFont();

} // namespace qb
