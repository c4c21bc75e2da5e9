// Widget tests need a QApplication before the first widget; this main takes
// the place of gtest_main's.
#include "util/Fonts.h"

#include <QApplication>
#include <gtest/gtest.h>

namespace {
QtMessageHandler previousHandler = nullptr;

// The offscreen platform warns on every fixed-size window; the noise would
// bury real warnings.
void quietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (!message.contains(QLatin1String("propagateSizeHints")))
        previousHandler(type, context, message);
}
} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    previousHandler = qInstallMessageHandler(quietHandler);
    QApplication app(argc, argv);
    qb::substituteFonts();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
