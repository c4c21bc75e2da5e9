#include "picture/Decoders.h"
#include "util/ProgramFolder.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QPainter>
#include <QProcess>
#include <QSvgRenderer>

namespace qb::picture {

namespace {

// The converter sits beside the program. It runs in its own process because
// libemf2svg is not safe on damaged input: a crash or a runaway conversion
// must cost one picture, not the program.
const QString converterName = QStringLiteral("tavrellquillbox-emf2svg");
constexpr int conversionTimeoutMs = 15000;
constexpr qsizetype maxSvgBytes = 128 * 1024 * 1024;

[[noreturn]] void fail(const QString& why)
{
    throw PictureError(QStringLiteral("EMF 图元文件无法显示：%1").arg(why));
}

QByteArray convertToSvg(const QByteArray& emf)
{
    if (!QCoreApplication::instance())
        fail(QStringLiteral("程序尚未初始化"));
    // Qt's idea of the program's folder is empty when the folder's name is not valid in the locale.
    const QString converter = programFolder().value_or(QString()) + converterName;
    if (!QFileInfo(converter).isExecutable())
        fail(QStringLiteral("找不到转换程序 %1").arg(converter));
    QProcess process;
    process.start(converter, {});
    if (!process.waitForStarted(5000))
        fail(QStringLiteral("无法启动转换程序：%1").arg(process.errorString()));
    process.write(emf);
    process.closeWriteChannel();

    // Read as we go so that neither the pipe nor our buffer grows without
    // bound, and give up on a conversion that does not end.
    QByteArray svg;
    const QDeadlineTimer deadline(conversionTimeoutMs);
    while (process.state() != QProcess::NotRunning) {
        process.waitForReadyRead(int(qBound<qint64>(1, deadline.remainingTime(), qint64(200))));
        svg += process.readAllStandardOutput();
        if (svg.size() > maxSvgBytes || deadline.hasExpired()) {
            process.kill();
            process.waitForFinished(2000);
            fail(svg.size() > maxSvgBytes ? QStringLiteral("转换结果过大") : QStringLiteral("转换超时"));
        }
    }
    svg += process.readAllStandardOutput();
    if (process.exitStatus() != QProcess::NormalExit)
        fail(QStringLiteral("转换程序异常退出"));
    if (process.exitCode() != 0) {
        const QString said = QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
        fail(said.isEmpty() ? QStringLiteral("转换失败（退出码 %1）").arg(process.exitCode()) : said);
    }
    return svg;
}

} // namespace

QImage decodeEmf(const QByteArray& bytes, QSize box)
{
    QSvgRenderer renderer(convertToSvg(bytes));
    if (!renderer.isValid())
        fail(QStringLiteral("转换结果不是有效的 SVG"));
    // Damaged bounds come out of the converter as a picture of no size.
    if (renderer.defaultSize().isEmpty())
        fail(QStringLiteral("画面大小无效"));
    const QSize size = vectorRenderSize(renderer.defaultSize(), box);
    QImage image = newImage(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter, QRectF(QPointF(0, 0), size));
    return image;
}

} // namespace qb::picture
