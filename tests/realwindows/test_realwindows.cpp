// Checks of the real windows on a real X server with a window manager, where
// frames have a size and the window manager places windows: the outer heights
// and the place of the login dialog, the main window's sizes, and what the
// vendor link looks like on the screen. Starts its own Xvfb and openbox; skips
// when either is missing.

#include "app/Form_main.h"
#include "login/Form_mm.h"
#include "tests/app/EntryFixture.h"
#include "tests/store/StoreFixture.h"
#include "tests/support/RecordingDialogs.h"
#include "tests/support/TempFolder.h"
#include "tests/support/Widgets.h"
#include "util/FailureReport.h"

#include <QAbstractButton>
#include <QLabel>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
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

// Keys pressed as a user presses them: through the X server to the window
// that has the input focus.
void press(const char* keys)
{
    QProcess::execute("xdotool", {"key", "--clearmodifiers", keys});
    QTest::qWait(60);
}

// The control that has the focus; the edit part of a combo box counts as
// the box.
QString focused()
{
    QWidget* w = QApplication::focusWidget();
    while (w && w->objectName().isEmpty())
        w = w->parentWidget();
    return w ? w->objectName() : QString();
}

// Presses `key` from `first` until the focus is back there: every control it
// visits, in order, once (the grid's cells count as one).
QStringList walk(QWidget& window, QWidget* first, const char* key)
{
    window.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
    first->setFocus();
    QTest::qWait(60);
    QStringList order{focused()};
    for (int i = 0; i < 60; ++i) {
        press(key);
        const QString now = focused();
        if (now == order.front())
            break;
        if (now != order.back())
            order.append(now);
    }
    return order;
}

QStringList reversed(QStringList order)
{
    std::reverse(order.begin() + 1, order.end());
    return order;
}

bool haveXdotool()
{
    return !QStandardPaths::findExecutable("xdotool").isEmpty();
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
    const QStringList folded{"MaskEdit1", "BitBtn1", "BitBtn3"};
    QWidget* password = child<QWidget>(login, "MaskEdit1");
    if (haveXdotool()) {
        EXPECT_EQ(walk(login, password, "Tab"), folded) << "folded-away fields take no focus";
        EXPECT_EQ(walk(login, password, "shift+Tab"), reversed(folded));
    }
    child<QAbstractButton>(login, "BitBtn3")->click();
    QTest::qWait(300);
    EXPECT_EQ(login.frameGeometry().height(), 315);
    const QStringList unfolded{"MaskEdit1", "BitBtn1", "MaskEdit2", "MaskEdit3", "BitBtn2", "BitBtn3"};
    if (haveXdotool()) {
        EXPECT_EQ(walk(login, password, "Tab"), unfolded);
        EXPECT_EQ(walk(login, password, "shift+Tab"), reversed(unfolded));
    }
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

namespace {

class RealKeyboardTest : public PageFixture
{
protected:
    void SetUp() override
    {
        if (!haveXdotool())
            GTEST_SKIP() << "xdotool is not installed";
        PageFixture::SetUp();
    }
};

} // namespace

TEST_F(RealKeyboardTest, TabVisitsEveryControlInOrderAndEnterOpensAGridRow)
{
    file("办公", "打印纸", "两箱", photo("red.jpg"));
    file("差旅", "车票", "", photo("blue.jpg", Qt::blue));
    const QStringList entry{"BitBtn2", "BitBtn3", "ComboBox1", "Edit1",   "Edit2",  "Edit3",
                            "Button1", "Button2", "Button3",   "Button4", "DBGrid1"};
    click("BitBtn2");
    EXPECT_EQ(walk(*window, find<QWidget>("BitBtn2"), "Tab"), entry);
    EXPECT_EQ(walk(*window, find<QWidget>("BitBtn2"), "shift+Tab"), reversed(entry));

    // Out of the grid from any cell with Ctrl+Tab either way; Enter on the
    // current row loads that receipt as a click does.
    QTableView* view = grid();
    for (const auto& [keys, next] :
         {std::pair{"ctrl+Tab", "BitBtn2"}, std::pair{"ctrl+shift+Tab", "Button4"}}) {
        view->setFocus();
        view->setCurrentIndex(view->model()->index(0, 2));
        press(keys);
        EXPECT_EQ(focused(), next) << keys;
    }
    view->setFocus();
    view->setCurrentIndex(view->model()->index(0, 1));
    press("Down");
    EXPECT_EQ(text("Edit1"), "") << "moving the current row loads nothing";
    press("Return");
    EXPECT_EQ(text("Edit1"), "车票");

    const QStringList search{"BitBtn2", "BitBtn3", "ListBox1", "ComboBox2", "Edit4", "Button5", "Memo1"};
    click("BitBtn3");
    EXPECT_EQ(walk(*window, find<QWidget>("BitBtn2"), "Tab"), search);
    EXPECT_EQ(walk(*window, find<QWidget>("BitBtn2"), "shift+Tab"), reversed(search));
}
