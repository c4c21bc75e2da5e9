#pragma once

namespace qb {

// Makes the program's font, "宋体" (SimSun), come out in the installed CJK
// serif face with Simplified Chinese glyph forms; without a substitution Qt
// may pick Japanese forms or draw boxes.
void substituteFonts();

} // namespace qb
