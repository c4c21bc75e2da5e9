#include "controls/ImageBox.h"
#include "store/Schema.h"
#include "tests/app/MainWindowFixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QTableView>

using namespace qb;
using namespace qb::test;

using MainWindowTest = MainWindowFixture;

TEST_F(MainWindowTest, FirstStartShowsTheStartPictureOnTheStartPage)
{
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.shown.join('\n').toStdString();
    EXPECT_EQ(page(), 0);
    EXPECT_EQ(window->startPicture().size(), QSize(1920, 1184));
    EXPECT_EQ(find<ImageBox>("Image1")->picture(), window->startPicture());
    EXPECT_TRUE(items("ComboBox1").isEmpty());
    EXPECT_TRUE(items("ComboBox2").isEmpty());
    EXPECT_EQ(window->windowTitle(), "TavrellQuillbox");
    EXPECT_EQ(window->size(), QSize(1008, 662));
    EXPECT_EQ(find<QLabel>("Label1")->text(), "定做软件就找Tavrell软件工作室");
}

TEST_F(MainWindowTest, PageButtonsSwitchPagesAndRefillBothCategoryLists)
{
    for (const char* name : {"办公", "  餐饮  ", "办公", ""})
        window->ADOQuery2().appendRecord({std::nullopt, QString::fromUtf8(name)});
    find<QComboBox>("ComboBox1")->setEditText("typed");
    find<QComboBox>("ComboBox2")->setEditText("kept");
    find<QLineEdit>("Edit1")->setText("title stays");

    click("BitBtn2");
    EXPECT_EQ(page(), 1);
    const QStringList expected{"办公", "餐饮", ""};
    EXPECT_EQ(items("ComboBox1"), expected)
        << "stored order, each category once, empty entries kept, blanks trimmed";
    EXPECT_EQ(items("ComboBox2"), expected);
    EXPECT_EQ(find<QComboBox>("ComboBox1")->currentText(), "") << "the entry page's category text is emptied";
    EXPECT_EQ(find<QComboBox>("ComboBox2")->currentText(), "kept");
    EXPECT_EQ(find<QLineEdit>("Edit1")->text(), "title stays");
    EXPECT_EQ(find<ImageBox>("Image2")->picture(), window->startPicture());

    window->ADOQuery2().appendRecord({std::nullopt, "交通"});
    click("BitBtn3");
    EXPECT_EQ(page(), 2);
    EXPECT_EQ(items("ComboBox2").last(), "交通")
        << "a category appended since opening shows at the next refresh";
    EXPECT_EQ(find<QComboBox>("ComboBox2")->currentText(), "kept");
    EXPECT_EQ(find<ImageBox>("Image3")->picture(), window->startPicture());
    EXPECT_TRUE(dialogs.failures.isEmpty()) << dialogs.failures.join('\n').toStdString();
}

// The store locked by another program at the first press: the next one shows the rows.
TEST_F(MainWindowTest, GridShowsTheRowsAtThePressAfterALockedOne)
{
    Connection other;
    other.open(folder.file("pj.db"), schema::kStorePassword);
    other.execute("insert into pj(类别) values('a')");
    start(); // a record set that has not counted its rows yet
    other.execute("begin exclusive");
    click("BitBtn2");
    EXPECT_EQ(dialogs.failures.size(), 1) << "the lock is reported";
    other.execute("commit");
    click("BitBtn2");
    EXPECT_EQ(find<QTableView>("DBGrid1")->model()->rowCount(), 1);
}

TEST_F(MainWindowTest, FileInPlaceOfThePictureFolderIsReportedAndLeavesTheStoreClosed)
{
    ASSERT_TRUE(QDir(folder.file("image")).removeRecursively());
    folder.write("image", "a file, not a folder");
    start();
    EXPECT_EQ(dialogs.failures, QStringList{"I/O error 183."});
    EXPECT_EQ(dialogs.failureCaptions, QStringList{kTitle});
    EXPECT_EQ(page(), 1) << "the page selection after the failure must not run";

    find<QComboBox>("ComboBox1")->setEditText("stays");
    click("BitBtn3");
    EXPECT_EQ(page(), 2) << "the page switches before the refresh fails";
    EXPECT_EQ(dialogs.failures.last(), "ADOQuery2: Cannot perform this operation on a closed dataset.");
    EXPECT_TRUE(find<ImageBox>("Image3")->picture().isNull()) << "the preview is not reset after the failure";
}

TEST_F(MainWindowTest, PagesHaveTheirDesignedSizes)
{
    window->show();
    ASSERT_EQ(window->size(), QSize(1008, 662));
    struct Case
    {
        const char* page;
        const char* name;
        QSize size;
    };
    const std::vector<Case> cases{
        {"BitBtn2", "Panel1", {1000, 337}},  {"BitBtn2", "AIFileDropPan1", {998, 335}},
        {"BitBtn2", "DBGrid1", {1000, 210}}, {"BitBtn3", "Panel3", {329, 547}},
        {"BitBtn3", "Panel4", {327, 144}},   {"BitBtn3", "Panel5", {671, 547}},
        {"BitBtn3", "Memo1", {669, 144}},
    };
    for (const Case& c : cases) {
        click(c.page);
        QCoreApplication::processEvents();
        EXPECT_EQ(find<QWidget>(c.name)->size(), c.size) << c.name;
    }
}

// Inside the search page's left panel the result list comes first, then the
// search form; the memo on the right follows.
TEST_F(MainWindowTest, SearchPageTabOrderStartsWithTheResultList)
{
    window->show();
    click("BitBtn3");
    QWidget* page = find<QWidget>("TabSheet3");
    QStringList order;
    QWidget* w = find<QWidget>("ListBox1");
    for (int i = 0; i < 50 && order.size() < 5; ++i, w = w->nextInFocusChain())
        if (page->isAncestorOf(w) && (w->focusPolicy() & Qt::TabFocus) && !w->objectName().isEmpty() &&
            !order.contains(w->objectName()))
            order.append(w->objectName());
    EXPECT_EQ(order, (QStringList{"ListBox1", "ComboBox2", "Edit4", "Button5", "Memo1"}));
}

// The link is blue and visibly underlined: a blue line runs under most of
// its text inside the label's own 16 pixels.
TEST_F(MainWindowTest, VendorLinkShowsItsUnderline)
{
    window->show();
    auto* link = find<QLabel>("Label1");
    ASSERT_EQ(link->size(), QSize(240, 16));
    const QImage shot = link->grab().toImage();
    const int textWidth = link->fontMetrics().horizontalAdvance(link->text());
    int longestRun = 0;
    for (int y = shot.height() / 2; y < shot.height(); ++y) {
        int run = 0;
        for (int x = 0; x < shot.width(); ++x) {
            const QColor c = shot.pixelColor(x, y);
            run = (c.blue() > 150 && c.red() < 120 && c.green() < 120) ? run + 1 : 0;
            longestRun = std::max(longestRun, run);
        }
    }
    EXPECT_GT(longestRun, textWidth * 8 / 10) << "text " << textWidth << " px wide";
}
