#include "util/vornstr.h"

namespace qb {

qsizetype pieceCount(const QString& text, QChar delimiter)
{
    return 1 + text.count(delimiter);
}

void splitAt(const QString& text, QChar delimiter, Fvornfenjiestr& out)
{
    out.clear();
    const qsizetype n = pieceCount(text, delimiter);
    out.reserve(n);
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == delimiter) {
            out.append(text.mid(start, i - start));
            start = i + 1;
        }
    }
    out.append(text.mid(start));
}

} // namespace qb
