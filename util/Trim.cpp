#include "util/Trim.h"

namespace qb {

QString trimmed(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isTrimmedAway(text.at(begin).unicode()))
        ++begin;
    while (end > begin && isTrimmedAway(text.at(end - 1).unicode()))
        --end;
    return text.mid(begin, end - begin);
}

} // namespace qb
