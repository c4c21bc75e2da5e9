#include "app/core/ReceiptSearch.h"
#include "app/export/ExportNames.h"
#include "tests/app/EntryFixture.h"

#include <QAction>
#include <QFile>
#include <QPushButton>

using namespace qb;
using namespace qb::test;

class SearchPageTest : public PageFixture
{
protected:
    void SetUp() override
    {
        PageFixture::SetUp();
        click("BitBtn2");
        file("办公", "打印纸", "A4 两箱", photo("red.jpg", Qt::red));
        file("交通", "出租车 to Airport", "机场", photo("blue.jpg", Qt::blue));
        file("办公", "墨盒", "打折50%", photo("green.jpg", Qt::green));
        file("办公电费", "三月", "电费单", photo("red2.jpg", Qt::red));
        click("BitBtn3");
    }

    QStringList search(const QString& category, const QString& text)
    {
        find<QComboBox>("ComboBox2")->setEditText(category);
        find<QLineEdit>("Edit4")->setText(text);
        click("Button5");
        return lines();
    }
    QStringList lines()
    {
        QStringList out;
        const QAbstractItemModel* model = find<QListView>("ListBox1")->model();
        for (int i = 0; i < model->rowCount(); ++i)
            out.append(model->index(i, 0).data().toString());
        return out;
    }
    void clickLine(int row)
    {
        auto* list = find<QListView>("ListBox1");
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualRect(list->model()->index(row, 0)).center());
    }
    QString memo() { return find<QPlainTextEdit>("Memo1")->toPlainText(); }
};

TEST_F(SearchPageTest, FindsByCategoryTextOrBoth)
{
    struct Case
    {
        QString category, text;
        QStringList expected;
    };
    const std::vector<Case> cases{
        {"", "", {"1|打印纸", "2|出租车 to Airport", "3|墨盒", "4|三月"}},
        {"办公", "", {"1|打印纸", "3|墨盒"}},
        {"", "电费", {"4|三月"}},
        {"", "两箱", {"1|打印纸"}},
        {"办公", "墨", {"3|墨盒"}},
        {"交通", "墨", {}},
        {"", "办公", {}},
        {"", "airport", {"2|出租车 to Airport"}},
        {"", "a4", {"1|打印纸"}},
        {"", "50%", {"3|墨盒"}},
        {"", "%", {"3|墨盒"}},
        {"", "_", {}},
        {"办公 ", "", {"1|打印纸", "3|墨盒"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(search(c.category, c.text), c.expected)
            << "category '" << c.category.toStdString() << "' text '" << c.text.toStdString() << "'";
    EXPECT_TRUE(dialogs.failures.isEmpty()) << dialogs.failures.join('\n').toStdString();
}

TEST_F(SearchPageTest, QuotesAndSeparatorsInTextsAreSearchedForLiterally)
{
    click("BitBtn2");
    file("O'Neil's", "Joe's 午餐|外卖", "it's", photo("q.jpg"));
    click("BitBtn3");
    EXPECT_EQ(search("O'Neil's", ""), QStringList{"5|Joe's 午餐|外卖"});
    EXPECT_EQ(search("", "it's"), QStringList{"5|Joe's 午餐|外卖"});
    EXPECT_TRUE(dialogs.failures.isEmpty()) << dialogs.failures.join('\n').toStdString();
    clickLine(0);
    EXPECT_EQ(memo(), "Joe's 午餐|外卖\nit's") << "a line with '|' in its title still finds its receipt";
}

TEST_F(SearchPageTest, SelectingALineShowsTheReceiptByMouseAndKeyboard)
{
    search("办公", "");
    clickLine(1);
    EXPECT_EQ(memo(), "墨盒\n打折50%");
    EXPECT_EQ(centreOf("Image3").green() > 100, true) << "the selected receipt's picture is shown";
    auto* list = find<QListView>("ListBox1");
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Up);
    EXPECT_EQ(memo(), "打印纸\nA4 两箱");
    EXPECT_TRUE(isRed(centreOf("Image3")));

    search("", "没有这个");
    EXPECT_TRUE(lines().isEmpty()) << "a search without hits empties the list";
    EXPECT_EQ(memo(), "打印纸\nA4 两箱") << "a search leaves the shown receipt alone";
    EXPECT_TRUE(dialogs.infos.isEmpty());
}

TEST_F(SearchPageTest, DeletedReceiptOrMissingPictureLeaveTheViewSound)
{
    search("", "");
    clickLine(0);
    const QString shown = memo();
    // The receipt on line 3 goes, and line 2's picture file goes.
    window->ADOQuery1().moveTo(2);
    window->ADOQuery1().deleteRecord();
    ASSERT_TRUE(QFile::remove(pictureFolder() + "00002.jpg"));

    clickLine(2);
    EXPECT_EQ(memo(), shown) << "a receipt deleted since the search changes nothing";
    EXPECT_TRUE(dialogs.infos.isEmpty());

    clickLine(1);
    EXPECT_EQ(memo(), "出租车 to Airport\n机场");
    EXPECT_EQ(dialogs.infos, QStringList{"票据相关的图片丢失"});
    EXPECT_TRUE(showsStartPicture("Image3"));
}

TEST_F(SearchPageTest, MemoShowsAnEmptyTitleOrDescriptionAsAnEmptyLine)
{
    click("BitBtn2");
    file("x", " ", "只有说明", photo("a.jpg"));
    file("x", "只有标题", "", photo("b.jpg"));
    click("BitBtn3");
    search("x", "");
    clickLine(0);
    EXPECT_EQ(memo(), "只有说明\n");
    clickLine(1);
    EXPECT_EQ(memo(), "只有标题\n");
}

TEST_F(SearchPageTest, EnterOnTheFocusedFindButtonOrInTheSearchTextSearches)
{
    find<QLineEdit>("Edit4")->setText("墨盒");
    auto* button = find<QPushButton>("Button5");
    button->setFocus();
    QTest::keyClick(button, Qt::Key_Return);
    EXPECT_EQ(lines(), QStringList{"3|墨盒"});
    find<QLineEdit>("Edit4")->setText("打");
    QTest::keyClick(find<QLineEdit>("Edit4"), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(lines(), (QStringList{"1|打印纸", "3|墨盒"})) << "Enter in the search text presses 查找";
}

// Stored fixed-width texts compare without their trailing blanks, and
// letters without regard to case, as the category list shows them.
TEST_F(SearchPageTest, CategorySearchFindsCategoriesStoredWithTrailingBlanksOrOtherCase)
{
    click("BitBtn2");
    file("办公 ", "订书机", "", photo("a.jpg"));
    file("Office", "Pens", "", photo("b.jpg"));
    click("BitBtn3");
    EXPECT_EQ(search("办公", ""), (QStringList{"1|打印纸", "3|墨盒", "5|订书机"}));
    EXPECT_EQ(search("office", ""), QStringList{"6|Pens"});
    EXPECT_EQ(search("offic", ""), QStringList{}) << "still equality, not a pattern";
}

TEST_F(SearchPageTest, ControlClickThatClearsTheSelectionShowsNothingNew)
{
    search("", "");
    clickLine(0);
    ASSERT_EQ(memo(), "打印纸\nA4 两箱");
    find<QPlainTextEdit>("Memo1")->setPlainText("untouched");
    auto* list = find<QListView>("ListBox1");
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier,
                      list->visualRect(list->model()->index(0, 0)).center());
    ASSERT_FALSE(list->selectionModel()->hasSelection());
    EXPECT_EQ(memo(), "untouched");
}

// A selected receipt whose picture cannot be decoded must not go on showing
// the picture of the line selected before.
TEST_F(SearchPageTest, UndecodablePictureLeavesTheStartPictureBeforeTheReport)
{
    ASSERT_TRUE(QFile::remove(pictureFolder() + "00002.jpg"));
    folder.write("image/00002.jpg", "receipt notes, no picture");
    search("", "");
    clickLine(0);
    ASSERT_TRUE(isRed(centreOf("Image3")));
    clickLine(1);
    ASSERT_EQ(dialogs.failures.size(), 1);
    EXPECT_TRUE(dialogs.failures[0].startsWith("JPEG error #")) << dialogs.failures[0].toStdString();
    EXPECT_TRUE(showsStartPicture("Image3"));
    EXPECT_EQ(memo(), "出租车 to Airport\n机场");
}

// What the category lists show as one category is one everywhere: filing
// under another spelling adds no row to ml, and a search by any spelling
// finds the same receipts by the copy (the page) and by the statement.
TEST_F(SearchPageTest, EverySpellingOfACategoryIsTheSameCategory)
{
    struct Group
    {
        QStringList spellings; // the first is the one the list shows
        QStringList receipts;  // filed under the group, by number
    };
    std::vector<Group> groups{
        {{"办公", " 办公", "办公 ", "\t办公\n", QString(QChar(0)) + "办公"}, {"1", "3"}},
        {{"Office", "OFFICE", "office", " oFFice\r"}, {}},
    };
    click("BitBtn2");
    int number = 4;
    for (Group& g : groups)
        for (const QString& spelling : g.spellings) {
            file(spelling, "t" + QString::number(++number), "", photo("p.jpg"));
            g.receipts.append(QString::number(number));
        }
    // A spelling another program put into ml directly shows once all the same.
    window->ADOConnection1().execute("insert into ml(类别) values(' OFFICE  ')");
    click("BitBtn3");

    EXPECT_EQ(window->ADOQuery2().recordCount(), 4) << "办公, 交通, 办公电费, Office";
    EXPECT_EQ(items("ComboBox2"), (QStringList{"办公", "交通", "办公电费", "Office"}));
    const auto numbers = [](const auto& lines) {
        QStringList out;
        for (int i = 0; i < lines.size(); ++i)
            out.append(lines.at(i).section('|', 0, 0));
        return out;
    };
    for (const Group& g : groups)
        for (const QString& spelling : g.spellings) {
            EXPECT_EQ(numbers(search(spelling, "")), g.receipts)
                << "the copy, for '" << spelling.toStdString() << "'";
            EXPECT_EQ(numbers(scanForReceipts(window->ADOConnection1(), spelling, "")), g.receipts)
                << "the statement, for '" << spelling.toStdString() << "'";
        }
}

TEST_F(SearchPageTest, ResultsAreExportedByKeyOrMenuOnlyWhenThereAreAny)
{
    auto* list = find<QListView>("ListBox1");
    auto* exportResults = child<QAction>(*window, "ExportResults");
    EXPECT_TRUE(list->actions().contains(exportResults) &&
                list->actions().contains(child<QAction>(*window, "PrintResults")))
        << "both are in the list's context menu";
    search("", "没有这个");
    EXPECT_FALSE(exportResults->isEnabled()) << "an empty list has nothing to export";
    search("办公", "");
    ASSERT_TRUE(exportResults->isEnabled());

    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    dialogs.folders.push_back(folder.path());
    dialogs.answers.push_back(false);
    find<QLineEdit>("Edit4")->setText("changed since");
    for (const char* focus : {"ListBox1", "Edit4"}) {
        find<QWidget>(focus)->setFocus();
        QTest::keyClick(find<QWidget>(focus), Qt::Key_E, Qt::ControlModifier);
    }
    const QString made = folder.path() + exportFolderName("办公", "", QDate::currentDate());
    EXPECT_TRUE(QFileInfo(made + "/票据.pdf").isFile()) << "named after the search that listed the lines";
    EXPECT_EQ(dialogs.shown.filter("folder: ").size(), 2) << "Ctrl+E works in the list and in the text field";
    ASSERT_FALSE(dialogs.questions.isEmpty());
    EXPECT_EQ(dialogs.questions.constFirst(), "已导出 2 张票据到“" + made + "”。要打开这个文件夹吗？");
}
