// The password codec against Qt's Base64: for texts of units up to U+00FF
// encode() is standard Base64 and decode() gives the text back; above that
// only the low byte counts; decode() takes any text and yields such units.
#include "login/codec/vornjiami.h"
#include "tests/fuzz/FuzzSupport.h"

using namespace qb;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = fuzz::bytesOf(data, size);

    const QString latin1 = QString::fromLatin1(bytes);
    const QString encoded = vornjiami::encode(latin1);
    if (encoded != QString::fromLatin1(bytes.toBase64()))
        fuzz::fail("encode() differs from QByteArray::toBase64()");
    if (vornjiami::decode(encoded) != latin1)
        fuzz::fail("decode(encode(x)) != x");

    // The same bytes as UTF-16 units, any value.
    QString wide(qsizetype(size / 2), Qt::Uninitialized);
    QString lowBytes(wide.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < wide.size(); ++i) {
        const auto unit = char16_t(data[2 * i] | data[2 * i + 1] << 8);
        wide[i] = QChar(unit);
        lowBytes[i] = QChar(char16_t(unit & 0xFF));
    }
    if (vornjiami::encode(wide) != vornjiami::encode(lowBytes))
        fuzz::fail("encode() of units above U+00FF is not that of their low bytes");

    for (const QString& any : {latin1, wide}) {
        const QString decoded = vornjiami::decode(any);
        if (decoded.size() > any.size() / 4 * 3)
            fuzz::fail("decode() yields more than three units per group of four");
        for (QChar c : decoded)
            if (c.unicode() > 0xFF)
                fuzz::fail("decode() yields a unit above U+00FF");
    }
    return 0;
}
