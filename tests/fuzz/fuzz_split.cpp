// The delimiter split against its promises and against QString::split.
// Input: UTF-8; its first unit is the delimiter, the rest the text.
#include "tests/fuzz/FuzzSupport.h"
#include "util/vornstr.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString input = QString::fromUtf8(qb::fuzz::bytesOf(data, size));
    if (input.isEmpty())
        return 0;
    const QChar delimiter = input.front();
    const QString text = input.mid(1);
    qb::Fvornfenjiestr pieces{QStringLiteral("left over from before")};
    qb::splitAt(text, delimiter, pieces);
    if (pieces.size() != qb::pieceCount(text, delimiter))
        qb::fuzz::fail("splitAt() gives another number of pieces than pieceCount()");
    if (pieces.join(delimiter) != text)
        qb::fuzz::fail("the pieces joined do not give the text back");
    for (const QString& piece : pieces)
        if (piece.contains(delimiter))
            qb::fuzz::fail("a piece holds the delimiter");
    if (pieces != text.split(delimiter, Qt::KeepEmptyParts))
        qb::fuzz::fail("splitAt() differs from QString::split()");
    return 0;
}
