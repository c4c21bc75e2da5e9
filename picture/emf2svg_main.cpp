// Draws one EMF picture for the program (picture/EmfToSvgProtocol.h says how
// they talk). The picture goes through libemf2svg to SVG, which Qt draws into
// an image of the size asked for. The program starts this per picture, so
// that neither a damaged file (libemf2svg is not safe on one) nor a picture
// that takes seconds to draw can take the program down or hold it up.
#include "picture/Decoders.h"
#include "picture/EmfToSvg.h"
#include "picture/EmfToSvgProtocol.h"
#include "util/platform/Platform.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// A hostile file must not make the converter eat the machine: cap its
// memory and processor time (the program stops waiting long before).
void limitResources()
{
    qb::platform::limitHelperProcess(30, 2048LL * 1024 * 1024, false);
}

int refuse(const char* why, int status = qb::emf::kRefused)
{
    std::fprintf(stderr, "%s\n", why);
    return status;
}

bool write(const void* data, size_t bytes)
{
    return std::fwrite(data, 1, bytes, stdout) == bytes;
}

} // namespace

int main(int argc, char** argv)
{
    limitResources();
    if (argc != 3)
        return refuse((QStringLiteral("用法：") + qb::emf::kEmfConverterName + QStringLiteral(" <宽> <高>"))
                          .toUtf8()
                          .constData(),
                      qb::emf::kUsage);
    const QSize box(std::atoi(argv[1]), std::atoi(argv[2]));

    std::vector<char> input;
    char chunk[65536];
    size_t n = 0;
    while ((n = std::fread(chunk, 1, sizeof chunk, stdin)) > 0) {
        input.insert(input.end(), chunk, chunk + n);
        if (input.size() > qb::emf::maxInputBytes)
            return refuse(qb::emf::inputTooLargeReason, qb::emf::kInputTooLarge);
    }
    std::string svg;
    if (const char* why = qb::emf::convertToSvg(input, svg))
        return refuse(why);
    input = {};

    // Text needs the font database, which needs a GUI application; no
    // window is ever shown. Standard error carries only our own reason.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    QGuiApplication app(argc, argv);
    QSvgRenderer renderer(QByteArray::fromRawData(svg.data(), qsizetype(svg.size())));
    if (!renderer.isValid())
        return refuse("转换结果不是有效的 SVG");
    // Damaged bounds come out of the conversion as a picture of no size.
    if (renderer.defaultSize().isEmpty())
        return refuse("画面大小无效");
    const QSize size = box.isEmpty() ? renderer.defaultSize() : box;
    const qb::emf::AnswerSize header[2] = {size.width(), size.height()};
    if (!write(header, sizeof header))
        return qb::emf::kNotWritten;
    if (!qb::picture::withinLimits(size.width(), size.height()))
        return std::fflush(stdout) == 0 ? qb::emf::kDrawn : qb::emf::kNotWritten;

    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return refuse("内存不足");
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        renderer.render(&painter, QRectF(QPointF(0, 0), size));
    }
    const bool written = write(image.constBits(), size_t(image.sizeInBytes())) && std::fflush(stdout) == 0;
    return written ? qb::emf::kDrawn : qb::emf::kNotWritten;
}
