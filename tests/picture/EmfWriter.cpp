// libEMF's headers define min and max as macros; they stay in this file.
#include "tests/picture/PictureFiles.h"

#include <libEMF/emf.h>
#include <vector>

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

// `points` random points joined by one line, or `lines` random line
// segments of a MOVETOEX and a LINETO each, across a 2000 x 1000 frame.
void writeEmfScribble(const QString& path, int points, int lines)
{
    const RECT frame = {0, 0, 2000, 1000};
    HDC dc = CreateEnhMetaFileA(0, path.toLocal8Bit().constData(), &frame, "test\0\0");
    unsigned state = 12345;
    const auto next = [&state](unsigned range) {
        state = state * 1103515245u + 12345u;
        return LONG((state >> 8) % range);
    };
    std::vector<POINT> line(size_t(points > 0 ? points : 0));
    for (POINT& p : line)
        p = {next(2000), next(1000)};
    if (!line.empty())
        Polyline(dc, line.data(), INT(line.size()));
    for (int i = 0; i < lines; ++i) {
        MoveToEx(dc, next(2000), next(1000), nullptr);
        LineTo(dc, next(2000), next(1000));
    }
    DeleteEnhMetaFile(CloseEnhMetaFile(dc));
}

} // namespace qb::test
