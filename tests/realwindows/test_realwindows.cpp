// Checks of the real windows on a real X server with a window manager, where
// frames have a size and the window manager places windows: the outer heights
// and the place of the login dialog, the main window's sizes, and what the
// vendor link looks like on the screen. Starts its own Xvfb and openbox; skips
// when either is missing.

#include "app/Form_main.h"
#include "login/Form_mm.h"
#include "store/Connection.h"
#include "store/vorndata.h"
#include "tests/support/RecordingDialogs.h"
#include "tests/support/TempFolder.h"
#include "util/FailureReport.h"
#include "util/Fonts.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

using namespace qb;
using namespace qb::test;

namespace {

// Waits until the window manager has framed the window and let it settle.
void settle(QWidget& window)
{
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    for (int i = 0; i < 100 && window.frameGeometry() == window.geometry(); ++i)
        QTest::qWait(20);
    QTest::qWait(300);
}

int centreOffset(const QWidget& window)
{
    const QPoint offset = window.frameGeometry().center() - window.screen()->availableGeometry().center();
    return std::max(std::abs(offset.x()), std::abs(offset.y()));
}

} // namespace

TEST(RealWindowTest, LoginDialogHasItsOuterHeightsAndStandsInTheMiddle)
{
    TempFolder folder;
    Connection connection;
    ASSERT_TRUE(vorndata::createDatabase(folder.file("pj.db"), "kvqe"));
    ASSERT_TRUE(vorndata::connect(connection, folder.file("pj.db"), "kvqe"));
    RecordingDialogs dialogs;
    FailureReport report(dialogs, "real windows");
    Form_mm login(connection, dialogs, report, [] {}, [] {});
    login.show();
    settle(login);
    EXPECT_GT(login.frameGeometry().height() - login.geometry().height(), 0) << "the window manager adds a frame";
    EXPECT_EQ(login.frameGeometry().height(), 162);
    EXPECT_LE(centreOffset(login), 2) << "centred on the desktop";
    login.findChild<QAbstractButton*>("BitBtn3")->click();
    QTest::qWait(300);
    EXPECT_EQ(login.frameGeometry().height(), 315);
}

TEST(RealWindowTest, MainWindowSizesAndTheUnderlinedLinkOnTheScreen)
{
    TempFolder folder;
    RecordingDialogs dialogs;
    FailureReport report(dialogs, "real windows");
    Form_main window(folder.path(), dialogs, report);
    window.show();
    settle(window);
    EXPECT_EQ(window.size(), QSize(1008, 662));
    window.findChild<QAbstractButton*>("BitBtn2")->click();
    QTest::qWait(100);
    EXPECT_EQ(window.findChild<QWidget*>("AIFileDropPan1")->size(), QSize(998, 335));
    EXPECT_EQ(window.findChild<QWidget*>("DBGrid1")->size(), QSize(1000, 210));

    // The link as the X server shows it: a blue line under most of the text.
    auto* link = window.findChild<QLabel*>("Label1");
    const QPoint at = link->mapToGlobal(QPoint(0, 0));
    const QImage shot = window.screen()->grabWindow(0, at.x(), at.y(), link->width(), link->height()).toImage();
    ASSERT_FALSE(shot.isNull());
    int longestRun = 0;
    for (int y = shot.height() / 2; y < shot.height(); ++y)
        for (int x = 0, run = 0; x < shot.width(); ++x) {
            const QColor c = shot.pixelColor(x, y);
            run = (c.blue() > 150 && c.red() < 120 && c.green() < 120) ? run + 1 : 0;
            longestRun = std::max(longestRun, run);
        }
    EXPECT_GT(longestRun, link->fontMetrics().horizontalAdvance(link->text()) * 8 / 10);
}

int main(int argc, char** argv)
{
    const QString xvfb = QStandardPaths::findExecutable("Xvfb");
    const QString openbox = QStandardPaths::findExecutable("openbox");
    if (xvfb.isEmpty() || openbox.isEmpty()) {
        std::printf("Xvfb or openbox missing: skipped\n");
        return 77;
    }
    // A display of our own, so that tests running side by side do not meet.
    const QString display = QStringLiteral(":%1").arg(140 + QCoreApplication::applicationPid() % 100);
    QProcess server;
    server.start(xvfb, {display, "-screen", "0", "1280x900x24", "-nolisten", "tcp"});
    const QString socket = QStringLiteral("/tmp/.X11-unix/X%1").arg(display.mid(1));
    for (int i = 0; i < 100 && !QFileInfo::exists(socket); ++i)
        QThread::msleep(50);
    qputenv("DISPLAY", display.toLatin1());
    qputenv("QT_QPA_PLATFORM", "xcb");
    QProcess manager;
    manager.start(openbox, {});
    QThread::msleep(500);

    int result = 1;
    {
        QApplication app(argc, argv);
        substituteFonts();
        testing::InitGoogleTest(&argc, argv);
        result = RUN_ALL_TESTS();
    }
    manager.kill();
    manager.waitForFinished();
    server.kill();
    server.waitForFinished();
    return result;
}
