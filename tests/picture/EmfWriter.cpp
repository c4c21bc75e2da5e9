// libEMF's headers define min and max as macros; they stay in this file.
#include "tests/picture/PictureFiles.h"

#include <libEMF/emf.h>

namespace qb::test {

// Left half red, right half blue, like redBlue(64, 32).
void writeEmfRedBlue(const QString& path)
{
    const RECT frame = {0, 0, 2000, 1000};
    HDC dc = CreateEnhMetaFileA(0, path.toLocal8Bit().constData(), &frame, "test\0\0");
    SelectObject(dc, GetStockObject(NULL_PEN));
    SelectObject(dc, CreateSolidBrush(RGB(255, 0, 0)));
    Rectangle(dc, 0, 0, 32, 32);
    SelectObject(dc, CreateSolidBrush(RGB(0, 0, 255)));
    Rectangle(dc, 32, 0, 64, 32);
    DeleteEnhMetaFile(CloseEnhMetaFile(dc));
}

} // namespace qb::test
