// The main of every test executable, in place of gtest_main's: the
// application object exists before the first test and lives until the last.
// qb_test() in tests/CMakeLists.txt picks its kind with QB_TEST_QAPP:
//   0  QCoreApplication, for tests without a GUI
//   1  QGuiApplication, for fonts, images and the cursor
//   2  QApplication with the program's font substitutions and Qt's own texts
//      in Chinese, as the program has them, for widgets
// With QB_TEST_REAL_DISPLAY the tests run on an Xvfb and openbox of their own
// instead of the offscreen platform, and skip when either is missing.
#include <QCoreApplication>
#include <cstring>
#include <gtest/gtest.h>

#if QB_TEST_REAL_DISPLAY
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <cstdio>
#endif

#if QB_TEST_QAPP == 0
using TestApplication = QCoreApplication;
#elif QB_TEST_QAPP == 1
#include <QGuiApplication>
using TestApplication = QGuiApplication;
#elif QB_TEST_QAPP == 2
#include "util/gui/Fonts.h"
#include "util/gui/QtTranslations.h"
#include <QApplication>
using TestApplication = QApplication;
#else
#error "QB_TEST_QAPP must be 0, 1 or 2"
#endif

namespace {
QtMessageHandler previousHandler = nullptr;

// The offscreen platform warns on every fixed-size window; the noise would
// bury real warnings.
void quietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (!message.contains(QLatin1String("propagateSizeHints")))
        previousHandler(type, context, message);
}

bool onlyListing(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--gtest_list_tests") == 0)
            return true;
    return false;
}

int runTests(int argc, char** argv)
{
    // ctest lists the cases before it runs them, one process each; the list
    // needs no application, no fonts and no display.
    if (onlyListing(argc, argv)) {
        testing::InitGoogleTest(&argc, argv);
        return RUN_ALL_TESTS();
    }
    TestApplication app(argc, argv);
#if QB_TEST_QAPP == 2
    qb::substituteFonts();
    qb::installQtTranslations(app);
#endif
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

#if QB_TEST_REAL_DISPLAY
// An X server and a window manager for this process alone, on a display of
// its own so that tests running side by side do not meet. Killed on exit.
class RealDisplay
{
public:
    bool start()
    {
        const QString xvfb = QStandardPaths::findExecutable("Xvfb");
        const QString openbox = QStandardPaths::findExecutable("openbox");
        if (xvfb.isEmpty() || openbox.isEmpty())
            return false;
        const QString display = QStringLiteral(":%1").arg(140 + QCoreApplication::applicationPid() % 100);
        m_server.start(xvfb, {display, "-screen", "0", "1280x900x24", "-nolisten", "tcp"});
        const QString socket = QStringLiteral("/tmp/.X11-unix/X%1").arg(display.mid(1));
        for (int i = 0; i < 100 && !QFileInfo::exists(socket); ++i)
            QThread::msleep(50);
        qputenv("DISPLAY", display.toLatin1());
        qputenv("QT_QPA_PLATFORM", "xcb");
        // Windows shown before the window manager runs are never framed as
        // on a desktop: wait for openbox to say that it manages the screen.
        const QString ready = QStringLiteral("/tmp/.qb-openbox-ready-%1").arg(display.mid(1));
        QFile::remove(ready);
        m_manager.start(openbox, {"--startup", "touch " + ready});
        for (int i = 0; i < 200 && !QFileInfo::exists(ready); ++i)
            QThread::msleep(50);
        QFile::remove(ready);
        QThread::msleep(100);
        return true;
    }
    ~RealDisplay()
    {
        for (QProcess* p : {&m_manager, &m_server}) {
            p->kill();
            p->waitForFinished();
        }
    }

private:
    QProcess m_server;
    QProcess m_manager;
};
#endif
} // namespace

#if defined(__SANITIZE_ADDRESS__)
// Leaks inside system libraries that the program cannot free, named in
// tests/lsan.supp; set here so that every way of starting a test (ctest, the
// executable by hand, a debugger) reads the same list.
extern "C" const char* __lsan_default_options()
{
    return "suppressions=" QB_LSAN_SUPPRESSIONS ":print_suppressions=0";
}
#endif

int main(int argc, char** argv)
{
#if QB_TEST_REAL_DISPLAY
    RealDisplay display;
    if (!display.start()) {
        std::printf("Xvfb or openbox missing: skipped\n");
        return 77;
    }
#endif
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    previousHandler = qInstallMessageHandler(quietHandler);
    return runTests(argc, argv);
}
