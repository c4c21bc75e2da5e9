#pragma once

#include <QChar>
#include <QString>
#include <QStringList>

namespace qb {

// The pieces of a text split at a delimiter: element k is the text between the
// k-th and the (k+1)-th delimiter. Empty pieces stay, so joining the pieces
// with the delimiter gives the text back.
using Fvornfenjiestr = QStringList;

// 1 + the number of code units of `text` equal to `delimiter`.
qsizetype pieceCount(const QString& text, QChar delimiter);

// Replaces `out` by the pieces of `text` at `delimiter`.
void splitAt(const QString& text, QChar delimiter, Fvornfenjiestr& out);

} // namespace qb
