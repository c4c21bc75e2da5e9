#include "picture/Decoders.h"
#include "picture/EmfToSvgProtocol.h"
#include "util/ProgramFolder.h"
#include "util/platform/Platform.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QProcess>
#include <cstdint>
#include <cstring>

namespace qb::picture {

namespace {

// The converter sits beside the program. It converts and draws in its own
// process because libemf2svg is not safe on damaged input and because a
// metafile can take seconds to draw (a few thousand points of one long line
// already take one): a crash, a runaway conversion or a drawing that does
// not end in time must cost one picture, not the program, and must not hold
// up the window.
#if defined(__SANITIZE_ADDRESS__)
// The sanitizers' build runs several times slower.
constexpr int drawingTimeoutMs = 4000;
#else
constexpr int drawingTimeoutMs = 1000;
#endif

[[noreturn]] void fail(const QString& why)
{
    throw PictureError(QStringLiteral("EMF 图元文件无法显示：%1。").arg(why));
}

// The converter's answer: the picture's size, then its pixels unless the
// size is beyond our limits.
QByteArray drawInConverter(const QByteArray& emf, QSize box)
{
    if (!QCoreApplication::instance())
        fail(QStringLiteral("程序尚未初始化"));
    // Qt's idea of the program's folder is empty when the folder's name is not valid in the locale.
    const QString converter = programFolder().value_or(QString()) + emf::kEmfConverterName;
    if (!QFileInfo(converter).isExecutable())
        fail(QStringLiteral("找不到转换程序 %1").arg(converter));
    const QDeadlineTimer deadline(drawingTimeoutMs);
    QProcess process;
    process.start(converter, {QString::number(box.width()), QString::number(box.height())});
    if (!process.waitForStarted(drawingTimeoutMs))
        fail(QStringLiteral("无法启动转换程序"));
    process.write(emf);
    process.closeWriteChannel();

    // Read as we go, so that the pipe never fills, and stop reading at the
    // size the header announces.
    QByteArray answer;
    qint64 expected = -1;
    const auto stop = [&process](const QString& why) {
        process.kill();
        process.waitForFinished(2000);
        fail(why);
    };
    while (process.state() != QProcess::NotRunning) {
        process.waitForReadyRead(int(qBound<qint64>(1, deadline.remainingTime(), qint64(100))));
        answer += process.readAllStandardOutput();
        if (expected < 0 && answer.size() >= emf::kAnswerHeaderBytes) {
            emf::AnswerSize size[2];
            std::memcpy(size, answer.constData(), sizeof size);
            if (size[0] <= 0 || size[1] <= 0)
                stop(QStringLiteral("画面大小无效"));
            if (!withinLimits(size[0], size[1])) {
                process.kill();
                process.waitForFinished(2000);
                refuseTooLarge(size[0], size[1]);
            }
            expected = emf::kAnswerHeaderBytes + qint64(size[0]) * size[1] * emf::kAnswerBytesPerPixel;
        }
        if (expected >= 0 && answer.size() > expected)
            stop(QStringLiteral("转换程序给出的画面大小不符"));
        if (deadline.hasExpired())
            stop(QStringLiteral("画面太复杂，%1 秒内未能画完").arg(drawingTimeoutMs / 1000));
    }
    answer += process.readAllStandardOutput();
    if (process.exitStatus() != QProcess::NormalExit)
        fail(QStringLiteral("转换程序异常退出"));
    if (process.exitCode() != emf::kDrawn) {
        // The converter names its reason in words of its own, in UTF-8.
        const QString said = QString::fromUtf8(process.readAllStandardError()).trimmed();
        fail(said.isEmpty() ? QStringLiteral("转换失败（退出码 %1）").arg(process.exitCode()) : said);
    }
    if (expected < 0 || answer.size() != expected)
        fail(QStringLiteral("转换程序给出的画面不完整"));
    return answer;
}

} // namespace

QImage decodeEmf(const QByteArray& bytes, QSize box)
{
    if (!box.isEmpty())
        checkPictureSize(box.width(), box.height());
    const QByteArray answer = drawInConverter(bytes, box);
    std::int32_t size[2];
    std::memcpy(size, answer.constData(), sizeof size);
    QImage image = newImage(QSize(size[0], size[1]), QImage::Format_ARGB32_Premultiplied);
    std::memcpy(image.bits(), answer.constData() + emf::kAnswerHeaderBytes, size_t(image.sizeInBytes()));
    return image;
}

} // namespace qb::picture
