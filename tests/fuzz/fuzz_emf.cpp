// EMF pictures through loadPicture, as the image box shows them: the bytes
// go to a file named .emf, and the loader hands them to the converter
// process beside this executable. A converter that crashes or runs too long
// must come back as a PictureError; this process must never go down.
#include "picture/PictureLoader.h"
#include "tests/fuzz/FuzzApplication.h"
#include "tests/fuzz/FuzzSupport.h"

#include <QFile>
#include <QTemporaryDir>

namespace {

QString picturePath;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char*** argv)
{
    qb::fuzz::startApplication((*argv)[0]);
    static QTemporaryDir folder;
    if (!folder.isValid())
        qb::fuzz::fail("no temporary folder");
    picturePath = folder.filePath(QStringLiteral("picture.emf"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QFile file(picturePath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(reinterpret_cast<const char*>(data), qint64(size)) != qint64(size))
        qb::fuzz::fail("cannot write the picture file");
    file.close();
    try {
        if (qb::loadPicture(picturePath, QSize(521, 275)).isNull())
            qb::fuzz::fail("a null picture without a failure");
    } catch (const qb::PictureError& e) {
        if (e.message().isEmpty())
            qb::fuzz::fail("a failure without a message");
    }
    return 0;
}
