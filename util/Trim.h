#pragma once

#include <QString>

namespace qb {

// Removes leading and trailing characters from U+0000 up to and including the
// blank, the way every value read back from the store is cleaned before use.
QString trimmed(const QString& text);

} // namespace qb
