#pragma once

#include <QChar>
#include <QString>

namespace qb {

// The codec that keeps the login password in the store: Base64 over the text
// taken one byte per UTF-16 code unit. For texts whose units all lie in
// U+0000..U+00FF the encoder gives the standard RFC 4648 form ("=" fill, no
// line breaks) and the decoder gives the text back.
namespace vornjiami {

// Position of a character in "A..Za..z0..9+/=" (0 to 64), or -1.
int alphabetIndex(QChar c);

// Base64 form of the text. Units above U+00FF have no byte form; only their
// low byte is encoded, so the result is always well-formed but does not
// decode to the same text. Callers that store passwords refuse such texts.
QString encode(const QString& plain);

// Reads whole groups of four only and never reports an error: an "=" in the
// third place ends the text after one unit, in the fourth after two, and a
// character outside the alphabet counts as 255. Every unit it yields lies in
// U+0000..U+00FF.
QString decode(const QString& encoded);

} // namespace vornjiami
} // namespace qb
