// Checks of the real windows on a real X server with a window manager, where
// frames have a size and the window manager places windows: the outer heights
// and the place of the login dialog, the main window's sizes, and what the
// vendor link looks like on the screen. Starts its own Xvfb and openbox; skips
// when either is missing.

#include "app/Form_main.h"
#include "login/Form_mm.h"
#include "tests/store/StoreFixture.h"
#include "tests/support/RecordingDialogs.h"
#include "tests/support/TempFolder.h"
#include "tests/support/Widgets.h"
#include "util/FailureReport.h"

#include <QAbstractButton>
#include <QLabel>
#include <QScreen>
#include <QTest>
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

// The login dialog on a fresh store.
class RealLoginTest : public StoreFixture
{
};

} // namespace

TEST_F(RealLoginTest, LoginDialogHasItsOuterHeightsAndStandsInTheMiddle)
{
    RecordingDialogs dialogs;
    FailureReport report(dialogs, "real windows");
    Form_mm login(
        connection, dialogs, report, [] {}, [] {});
    login.show();
    settle(login);
    EXPECT_GT(login.frameGeometry().height() - login.geometry().height(), 0)
        << "the window manager adds a frame";
    EXPECT_EQ(login.frameGeometry().height(), 162);
    EXPECT_LE(centreOffset(login), 2) << "centred on the desktop";
    child<QAbstractButton>(login, "BitBtn3")->click();
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
    child<QAbstractButton>(window, "BitBtn2")->click();
    QTest::qWait(100);
    EXPECT_EQ(child<QWidget>(window, "AIFileDropPan1")->size(), QSize(998, 335));
    EXPECT_EQ(child<QWidget>(window, "DBGrid1")->size(), QSize(1000, 210));

    // The link as the X server shows it: a blue line under most of the text.
    auto* link = child<QLabel>(window, "Label1");
    const QPoint at = link->mapToGlobal(QPoint(0, 0));
    const QImage shot =
        window.screen()->grabWindow(0, at.x(), at.y(), link->width(), link->height()).toImage();
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
