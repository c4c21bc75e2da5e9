#include "store/Schema.h"
#include "tests/app/EntryFixture.h"
#include "util/gui/MessageBoxDialogs.h"

#include <QFile>
#include <QFileDialog>
#include <QRandomGenerator>
#include <QWheelEvent>
#include <map>
#include <sys/mount.h>
#include <unistd.h>

using namespace qb;
using namespace qb::test;

class EntryPageTest : public PageFixture
{
protected:
    void SetUp() override
    {
        PageFixture::SetUp();
        click("BitBtn2");
    }
};

TEST_F(EntryPageTest, IncompleteEntryIsRefusedInFieldOrder)
{
    const QString picture = photo("a.jpg");
    struct Case
    {
        QString category, title, picture;
    };
    for (const Case& c : std::vector<Case>{{"", "t", picture}, {"c", "", picture}, {"c", "t", ""}}) {
        dialogs.infos.clear();
        file(c.category, c.title, "d", c.picture);
        EXPECT_EQ(dialogs.infos, QStringList{"项目信息不全，请填写。"});
        EXPECT_EQ(text("Edit2"), "d") << "an incomplete entry keeps the fields";
    }
    EXPECT_EQ(window->ADOQuery1().recordCount(), 0);
    EXPECT_TRUE(pictures().isEmpty());
}

TEST_F(EntryPageTest, NewReceiptCopiesItsPictureAndAddsItsCategoryOnce)
{
    const QString outside = photo("outside/receipt.jpg");
    file("交通", "出租车", "", outside);
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.shown.join('\n').toStdString();
    ASSERT_EQ(gridRows(), 1);
    EXPECT_EQ(cell(0, 0), "1");
    EXPECT_EQ(cell(0, 1), "交通");
    EXPECT_EQ(cell(0, 3), "(WIDEMEMO)") << "the grid shows the placeholder, not the description";
    EXPECT_EQ(cell(0, 4), "00001.jpg");
    EXPECT_EQ(pictures(), QStringList{"00001.jpg"});
    EXPECT_EQ(items("ComboBox1"), QStringList{"交通"});
    EXPECT_EQ(items("ComboBox2"), QStringList{"交通"});
    EXPECT_EQ(find<QComboBox>("ComboBox1")->currentText(), "") << "a new category empties the field";
    EXPECT_TRUE(text("Edit1").isEmpty() && text("Edit2").isEmpty() && text("Edit3").isEmpty());
    EXPECT_TRUE(showsStartPicture("Image2"));

    file("交通", "  ", "地铁", outside);
    EXPECT_EQ(items("ComboBox1"), QStringList{"交通"}) << "a stored category is not added again";
    EXPECT_EQ(find<QComboBox>("ComboBox1")->currentText(), "交通") << "a stored category stays in the field";
    EXPECT_EQ(pictures(), (QStringList{"00001.jpg", "00002.jpg"})) << "the same outside file is copied again";
    clickGridRow(1);
    EXPECT_EQ(text("Edit1"), "") << "a title of blanks is filed and shows empty";
    EXPECT_EQ(text("Edit2"), "地铁");
}

TEST_F(EntryPageTest, GridClickLoadsTheReceiptAndRefilingItSharesThePicture)
{
    file("办公", "打印纸", "两箱", photo("red.jpg", Qt::red));
    file("办公", "墨盒", "", photo("blue.jpg", Qt::blue));
    clickGridRow(0);
    EXPECT_EQ(find<QComboBox>("ComboBox1")->currentText(), "办公");
    EXPECT_EQ(text("Edit1"), "打印纸");
    EXPECT_EQ(text("Edit2"), "两箱");
    EXPECT_EQ(text("Edit3"), pictureFolder() + "00001.jpg");
    EXPECT_TRUE(isRed(centreOf("Image2"))) << "the clicked receipt's picture is shown";

    click("Button2");
    EXPECT_EQ(cell(2, 4), "00001.jpg") << "a picture already in the folder is not copied again";
    EXPECT_EQ(pictures(), (QStringList{"00001.jpg", "00002.jpg"}));
}

// In the grid Tab goes from cell to cell, but not round: out after the last
// cell and before the first; Ctrl+Tab always goes out. Moving loads nothing;
// Enter or Space loads the current row as a click on a cell does.
TEST_F(EntryPageTest, KeyboardLeavesTheGridAndEnterOrSpaceLoadsTheCurrentRow)
{
    file("a", "one", "", photo("red.jpg", Qt::red));
    file("b", "two", "", photo("blue.jpg", Qt::blue));
    QTableView* view = grid();
    const int last = view->model()->columnCount() - 1;
    const std::tuple<Qt::Key, Qt::KeyboardModifiers, int, int, const char*> moves[] = {
        {Qt::Key_Tab, {}, 0, last, "DBGrid1"},
        {Qt::Key_Tab, {}, 1, last, "BitBtn2"},
        {Qt::Key_Backtab, Qt::ShiftModifier, 0, 0, "Button4"},
        {Qt::Key_Tab, Qt::ControlModifier, 0, 1, "BitBtn2"},
        {Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier, 1, 1, "Button4"}};
    for (const auto& [key, modifiers, row, column, focus] : moves) {
        view->setFocus();
        view->setCurrentIndex(view->model()->index(row, column));
        QTest::keyClick(view, key, modifiers);
        EXPECT_EQ(window->focusWidget()->objectName().toStdString(), std::string(focus))
            << key << " at " << row << "," << column;
    }
    EXPECT_EQ(text("Edit1"), "");
    view->setCurrentIndex(view->model()->index(0, 2));
    QTest::keyClick(view, Qt::Key_Return);
    EXPECT_EQ(text("Edit1"), "one");
    QTest::keyClick(view, Qt::Key_Down);
    QTest::keyClick(view, Qt::Key_Space);
    EXPECT_EQ(text("Edit3"), pictureFolder() + "00002.jpg");
    EXPECT_TRUE(isBlue(centreOf("Image2")));
    EXPECT_EQ(view->currentIndex().row(), 1) << "the keys load, and move nothing";
}

TEST_F(EntryPageTest, ChangeAsksFirstAndWritesTheFieldsBack)
{
    file("办公", "打印纸", "两箱", photo("red.jpg"));
    clickGridRow(0);
    find<QLineEdit>("Edit1")->setText("复印纸");
    dialogs.answers = {false};
    click("Button3");
    EXPECT_EQ(dialogs.questions, QStringList{"确定要修改原来的票据内容？"});
    EXPECT_EQ(cell(0, 2), "打印纸") << "No changes nothing";
    EXPECT_EQ(text("Edit1"), "复印纸");

    find<QComboBox>("ComboBox1")->setEditText("杂项");
    click("Button3");
    EXPECT_EQ(cell(0, 1), "杂项");
    EXPECT_EQ(cell(0, 2), "复印纸");
    EXPECT_EQ(cell(0, 4), "00001.jpg") << "the loaded picture is kept, not copied";
    EXPECT_EQ(pictures(), QStringList{"00001.jpg"});
    EXPECT_FALSE(items("ComboBox1").contains("杂项")) << "a change adds no category";
    EXPECT_TRUE(text("Edit1").isEmpty());
}

TEST_F(EntryPageTest, ChangeOnAnEmptyStoreFilesANewReceipt)
{
    fill("餐饮", "午饭", "", photo("red.jpg"));
    click("Button3");
    ASSERT_EQ(gridRows(), 1);
    EXPECT_EQ(cell(0, 2), "午饭");
    EXPECT_EQ(cell(0, 4), "00001.jpg");
}

TEST_F(EntryPageTest, FailedImportStoresNothingAndKeepsTheFields)
{
    file("办公", "打印纸", "", photo("red.jpg"));
    const QString gone = folder.file("gone.jpg");
    fill("办公", "新的", "说明", gone);
    click("Button2");
    ASSERT_EQ(dialogs.failures.size(), 1);
    EXPECT_TRUE(dialogs.failures[0].contains(gone)) << dialogs.failures[0].toStdString();
    EXPECT_EQ(gridRows(), 1);
    EXPECT_EQ(text("Edit1"), "新的");

    clickGridRow(0);
    find<QLineEdit>("Edit1")->setText("改过");
    find<QLineEdit>("Edit3")->setText(gone);
    click("Button3");
    EXPECT_EQ(dialogs.failures.size(), 2);
    clickGridRow(0);
    EXPECT_EQ(cell(0, 2), "打印纸") << "a change whose picture failed must not be posted later";
    EXPECT_EQ(pictures(), QStringList{"00001.jpg"});

    Connection other; // another copy deletes the clicked receipt: the change is stored nowhere
    other.open(folder.file("pj.db"), schema::kStorePassword);
    other.execute("delete from pj");
    fill("a", "changed", "", photo("blue.jpg"));
    click("Button3");
    EXPECT_EQ(dialogs.failures.last(), "ADOQuery1: Row cannot be located for updating. Some values may have "
                                       "been changed since it was last read.");
    EXPECT_EQ(text("Edit1"), "changed");
    EXPECT_EQ(pictures(), QStringList{"00001.jpg"}) << "the change's copy is taken back";
}

TEST_F(EntryPageTest, RefusedReceiptTakesItsPictureCopyBack)
{
    file(QString(51, u'类'), "t", "", photo("red.jpg"));
    ASSERT_EQ(dialogs.failures.size(), 1);
    EXPECT_TRUE(dialogs.failures[0].contains("类别")) << dialogs.failures[0].toStdString();
    EXPECT_EQ(gridRows(), 0);
    EXPECT_TRUE(pictures().isEmpty()) << "no picture may stay that no receipt names";
}

TEST_F(EntryPageTest, DeleteRemovesTheDeletedReceiptsOwnPictureOnly)
{
    file("a", "one", "", photo("red.jpg", Qt::red));
    file("a", "two", "", photo("blue.jpg", Qt::blue));
    file("a", "three", "", photo("green.jpg", Qt::green));
    clickGridRow(0);
    click("Button2"); // a fourth receipt naming 00001.jpg as well

    // A click on row 1, then a key moves the grid to row 2: delete acts on
    // row 2 and must remove row 2's picture, not the clicked one's.
    clickGridRow(1);
    grid()->setFocus();
    QTest::keyClick(grid(), Qt::Key_Down);
    EXPECT_EQ(text("Edit1"), "two") << "a key move does not reload the fields";
    dialogs.answers = {true};
    click("Button4");
    EXPECT_EQ(dialogs.questions.last(), "确定要删除当前的票据？");
    EXPECT_EQ(pictures(), (QStringList{"00001.jpg", "00002.jpg", "00004.jpg"}).mid(0, 2))
        << "the deleted receipt's picture 00003.jpg goes, the clicked one's stays";

    clickGridRow(0);
    click("Button4");
    EXPECT_TRUE(pictures().contains("00001.jpg")) << "a picture another receipt still names stays";
    EXPECT_TRUE(text("Edit3").isEmpty());
    EXPECT_TRUE(showsStartPicture("Image2"));
    EXPECT_EQ(gridRows(), 2);

    file("a", "five", "", photo("red2.jpg"));
    EXPECT_EQ(cell(2, 4), "00003.jpg") << "the freed number is handed out again";
}

TEST_F(EntryPageTest, DeleteWithNoReceiptReportsTheEmptyRecordSet)
{
    fill("a", "kept", "", "");
    click("Button4");
    EXPECT_EQ(dialogs.failures, QStringList{"ADOQuery1: Cannot perform this operation on an empty dataset."});
    EXPECT_EQ(text("Edit1"), "kept");
}

TEST_F(EntryPageTest, MissingPictureShowsTheStartPictureAndSaysSo)
{
    file("a", "one", "", photo("red.jpg"));
    ASSERT_TRUE(QFile::remove(pictureFolder() + "00001.jpg"));
    find<ImageBox>("Image2")->setPicture(QImage());
    clickGridRow(0);
    EXPECT_EQ(dialogs.infos, QStringList{"票据相关的图片丢失"});
    EXPECT_TRUE(showsStartPicture("Image2"));
    EXPECT_EQ(text("Edit1"), "one");
}

TEST_F(EntryPageTest, DropTakesTheFirstFileAndReportsUndecodableOnes)
{
    const QString red = photo("red.jpg", Qt::red);
    const QString blue = photo("blue.jpg", Qt::blue);
    drop({red, blue});
    EXPECT_EQ(text("Edit3"), red);
    EXPECT_TRUE(isRed(centreOf("Image2")));

    const QString note = folder.write("note.txt", "not a picture");
    drop({note});
    EXPECT_EQ(text("Edit3"), note) << "the path is taken before the load fails";
    EXPECT_EQ(dialogs.failures, QStringList{"Unknown picture file extension (.txt)"})
        << "')' comes before '.'";
    EXPECT_TRUE(isRed(centreOf("Image2"))) << "the preview keeps its picture";
}

// A picture no decoder takes, or that its decoder refused at the preview or
// since, is refused by new and change: filed, it would never show.
TEST_F(EntryPageTest, PictureTheProgramCannotShowIsNotFiled)
{
    const QString replaced = photo("was.jpg");
    for (const QString& path : {folder.write("scan.png", "png"), folder.write("notes.jpg", "no"), replaced}) {
        drop({path});
        if (path == replaced)
            folder.write("was.jpg", "replaced after the preview");
        dialogs.failures.clear();
        fill("a", "t", "d", path);
        click("Button2");
        click("Button3");
        const QString failure =
            path.endsWith("png") ? "Unknown picture file extension (.png)" : "JPEG error #53.";
        EXPECT_EQ(dialogs.failures, QStringList(2, failure));
        EXPECT_TRUE(gridRows() == 0 && pictures().isEmpty() && text("Edit3") == path) << path.toStdString();
    }
}

TEST_F(EntryPageTest, PictureDialogFillsThePictureFieldAndFiltersPictureTypes)
{
    const QString blue = photo("blue.jpg", Qt::blue);
    dialogs.pictures = {blue};
    click("Button1");
    EXPECT_EQ(text("Edit3"), blue);
    EXPECT_TRUE(isBlue(centreOf("Image2")));
    click("Button1");
    EXPECT_EQ(text("Edit3"), blue) << "a cancelled dialog changes nothing";

    const QStringList filters = MessageBoxDialogs::pictureFilters();
    ASSERT_EQ(filters.size(), 9);
    EXPECT_TRUE(filters[0].startsWith("All (*.jpg "));
    EXPECT_TRUE(filters[1].startsWith("JPEG Image File (*.jpg"));
    EXPECT_TRUE(filters[8].startsWith("Metafiles (*.wmf"));
}

TEST_F(EntryPageTest, PictureDialogShowsPicturesOnlyWhateverTheirLetterCase)
{
    TempFolder pictures;
    for (const char* name : {"a.jpg", "B.JPG", "c.jpeg", "d.bmp", "e.TIF", "f.tiff", "g.ico", "h.emf",
                             "i.wmf", "notes.txt", "photo.png", "jpg"})
        pictures.write(QString::fromLatin1(name), "x");
    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    MessageBoxDialogs::preparePictureDialog(dialog);
    dialog.setDirectory(pictures.path());
    dialog.show();
    auto* list = dialog.findChild<QListView*>(QStringLiteral("listView"));
    ASSERT_NE(list, nullptr);
    QStringList shown;
    for (int tries = 0; tries < 300 && shown.size() < 9; ++tries) {
        QTest::qWait(20);
        shown.clear();
        for (int row = 0; row < list->model()->rowCount(list->rootIndex()); ++row)
            shown.append(list->model()->index(row, 0, list->rootIndex()).data().toString());
    }
    QTest::qWait(100); // let a late entry show up if the filter were to let it through
    shown.clear();
    for (int row = 0; row < list->model()->rowCount(list->rootIndex()); ++row)
        shown.append(list->model()->index(row, 0, list->rootIndex()).data().toString());
    shown.sort(Qt::CaseInsensitive);
    EXPECT_EQ(shown, (QStringList{"a.jpg", "B.JPG", "c.jpeg", "d.bmp", "e.TIF", "f.tiff", "g.ico", "h.emf",
                                  "i.wmf"}));
    EXPECT_EQ(dialog.selectedNameFilter(), MessageBoxDialogs::pictureFilters().constFirst());
}

TEST_F(EntryPageTest, DeleteKeepsAPictureThatAnotherReceiptNamesWithBlanksAround)
{
    file("a", "one", "", photo("red.jpg"));
    // Padded as a fixed-width column may hand it back (or as another program wrote it).
    window->ADOQuery1().appendRecord({std::nullopt, "a", "two", "", "00001.jpg "});
    clickGridRow(0);
    click("Button4");
    EXPECT_EQ(pictures(), QStringList{"00001.jpg"}) << "the second receipt still shows 00001.jpg";
    clickGridRow(0);
    EXPECT_TRUE(isRed(centreOf("Image2")));
    EXPECT_TRUE(dialogs.infos.isEmpty()) << dialogs.infos.join('\n').toStdString();
}

TEST_F(EntryPageTest, FieldsKeepTextsLongerThanALineEditsDefaultLimit)
{
    const QString description(40'000, u'账');
    file("a", "long", description, photo("red.jpg"));
    clickGridRow(0);
    EXPECT_EQ(text("Edit2").size(), description.size());
    click("Button3"); // unedited
    EXPECT_EQ(window->ADOQuery1().fieldAsText("说明"), description) << "the change must not cut the text";
    find<QComboBox>("ComboBox1")->setEditText(QString(40'000, u'c'));
    EXPECT_EQ(find<QComboBox>("ComboBox1")->currentText().size(), 40'000);
}

// The grid reads rows while it paints; a row that cannot be read then must
// not unwind through the paint, and is reported once, after it.
TEST_F(EntryPageTest, GridReadFailureShowsEmptyCellsAndIsReportedOnceAfterThePaint)
{
    file("a", "one", "", photo("red.jpg"));
    click("BitBtn2"); // the grid reads its rows afresh
    window->ADOConnection1().execute("alter table pj rename to gone");
    grid()->viewport()->repaint();
    EXPECT_TRUE(dialogs.failures.isEmpty()) << "no report from inside the paint";
    EXPECT_EQ(cell(0, 2), "");
    QCoreApplication::processEvents();
    grid()->viewport()->repaint();
    QCoreApplication::processEvents();
    ASSERT_EQ(dialogs.failures.size(), 1) << dialogs.failures.join('\n').toStdString();
    EXPECT_TRUE(dialogs.failures[0].contains("no such table")) << dialogs.failures[0].toStdString();
}

TEST_F(EntryPageTest, WheelMovesTheCurrentReceiptWithoutLoadingIt)
{
    for (const char* title : {"one", "two", "three"})
        file("a", QString::fromUtf8(title), "", photo(QStringLiteral("%1.jpg").arg(title)));
    clickGridRow(0);
    const auto turn = [&](int delta) {
        QWheelEvent wheel(QPointF(50, 30), grid()->viewport()->mapToGlobal(QPointF(50, 30)), QPoint(),
                          QPoint(0, delta), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(grid()->viewport(), &wheel);
    };
    turn(-120); // one notch towards the user: the next row
    EXPECT_EQ(window->ADOQuery1().currentIndex(), 1);
    EXPECT_EQ(grid()->currentIndex().row(), 1)
        << "the grid highlights the receipt that change and delete act on";
    EXPECT_EQ(text("Edit1"), "one") << "the fields keep the clicked receipt";
    turn(-60);
    turn(-60);
    EXPECT_EQ(window->ADOQuery1().currentIndex(), 2) << "small steps add up to a notch";
    turn(360);
    EXPECT_EQ(window->ADOQuery1().currentIndex(), 0);
    turn(-120);
    click("Button4");
    EXPECT_EQ(cell(0, 2), "one");
    EXPECT_EQ(cell(1, 2), "three") << "delete acts on the row the wheel moved to";
}

// A receipt whose picture was lost outside the program keeps its number: the
// next import does not fill it in with another receipt's picture. And the
// receipt can still be corrected: the path its grid click built keeps the
// stored name, file or no file.
TEST_F(EntryPageTest, LostPictureKeepsItsNumberAndItsReceiptCanStillBeChanged)
{
    file("a", "one", "", photo("red.jpg", Qt::red));
    ASSERT_TRUE(QFile::remove(pictureFolder() + "00001.jpg"));
    file("a", "two", "", photo("blue.jpg", Qt::blue));
    EXPECT_EQ(cell(1, 4), "00002.jpg") << "the lost picture's number was handed to another receipt";

    clickGridRow(0);
    EXPECT_EQ(dialogs.infos, QStringList{"票据相关的图片丢失"});
    EXPECT_TRUE(showsStartPicture("Image2"));
    find<QLineEdit>("Edit1")->setText("one, corrected");
    click("Button3");
    EXPECT_TRUE(dialogs.failures.isEmpty()) << dialogs.failures.join('\n').toStdString();
    EXPECT_EQ(cell(0, 2), "one, corrected");
    EXPECT_EQ(cell(0, 4), "00001.jpg");
    EXPECT_EQ(pictures(), QStringList{"00002.jpg"});
}

// A clicked receipt whose picture cannot be decoded must not go on showing
// the picture of the receipt clicked before.
TEST_F(EntryPageTest, UndecodablePictureOnAGridClickLeavesTheStartPictureBeforeTheReport)
{
    file("a", "red", "", photo("red.jpg", Qt::red));
    // Filed by another program: the program itself files no such picture.
    folder.write("image/00002.jpg", "receipt notes, no picture");
    window->ADOQuery1().appendRecord({std::nullopt, "a", "notes", "", "00002.jpg"});
    clickGridRow(0);
    ASSERT_TRUE(isRed(centreOf("Image2")));
    clickGridRow(1);
    ASSERT_EQ(dialogs.failures.size(), 1);
    EXPECT_TRUE(dialogs.failures[0].startsWith("JPEG error #")) << dialogs.failures[0].toStdString();
    EXPECT_TRUE(showsStartPicture("Image2"));
    EXPECT_EQ(text("Edit1"), "notes");
}

// A full disk while the picture is copied: the system's reason reaches the
// user and nothing is filed.
TEST_F(EntryPageTest, FullDiskDuringThePictureCopyIsReportedAndFilesNothing)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "the full disk is a mounted tmpfs, which needs root";
    const QByteArray at = QFile::encodeName(pictureFolder());
    ASSERT_EQ(::mount("tmpfs", at.constData(), "tmpfs", 0, "size=64k"), 0);
    const std::unique_ptr<const char, void (*)(const char*)> unmount(
        at.constData(), [](const char* a) { ::umount2(a, MNT_DETACH); });
    QFile red(photo("red.jpg"));
    ASSERT_TRUE(red.open(QIODevice::ReadOnly));
    file("a", "big", "", folder.write("big.jpg", red.readAll() + QByteArray(1 << 20, 'x')));
    ASSERT_EQ(dialogs.failures.size(), 1);
    EXPECT_TRUE(dialogs.failures[0].contains("No space left on device")) << dialogs.failures[0].toStdString();
    EXPECT_EQ(gridRows(), 0);
    EXPECT_TRUE(pictures().isEmpty()) << pictures().join(' ').toStdString();
}

// Random filings, changes, deletions and pictures lost outside the program:
// whatever a receipt's stored name finds in the picture folder must be the
// picture filed for that receipt, never one filed for another.
TEST_F(EntryPageTest, NoReceiptEverShowsAPictureFiledForAnother)
{
    QRandomGenerator random(20261209);
    std::map<QString, QByteArray> filedFor; // receipt id -> the bytes of its picture
    int sources = 0;
    QByteArray sourceBytes; // of the last source made
    const auto newSource = [&] {
        ++sources;
        const QString path =
            photo(QStringLiteral("src/%1.jpg").arg(sources), QColor::fromRgb(random.generate()));
        QFile made(path);
        sourceBytes = made.open(QIODevice::ReadOnly) ? made.readAll() : QByteArray();
        return path;
    };
    const auto ids = [&] {
        QStringList out;
        for (int row = 0; row < gridRows(); ++row)
            out.append(cell(row, 0));
        return out;
    };
    for (int step = 0; step < 300; ++step) {
        const int rows = gridRows();
        const int row = rows > 0 ? random.bounded(rows) : 0;
        const QString id = rows > 0 ? cell(row, 0) : QString();
        QString what;
        switch (rows > 0 ? random.bounded(6) : 0) {
        case 0: { // file a new receipt from a file elsewhere
            const QString source = newSource();
            const QStringList before = ids();
            file("c", "t", "", source);
            for (const QString& added : ids())
                if (!before.contains(added))
                    filedFor[added] = sourceBytes;
            what = "file";
            break;
        }
        case 1: // change, with a new picture or keeping the one loaded
            clickGridRow(row);
            find<QLineEdit>("Edit1")->setText(QStringLiteral("changed %1").arg(step));
            if (random.bounded(2)) {
                find<QLineEdit>("Edit3")->setText(newSource());
                click("Button3");
                if (cell(row, 2) == QStringLiteral("changed %1").arg(step))
                    filedFor[id] = sourceBytes;
            } else {
                click("Button3");
            }
            what = "change";
            break;
        case 2: // delete
            clickGridRow(row);
            click("Button4");
            filedFor.erase(id);
            what = "delete";
            break;
        case 3: { // file another receipt right after a click: both name one picture
            clickGridRow(row);
            const QStringList before = ids();
            click("Button2");
            for (const QString& added : ids())
                if (!before.contains(added))
                    filedFor[added] = filedFor[id];
            what = "refile";
            break;
        }
        default: // the picture is lost outside the program
            QFile::remove(pictureFolder() + cell(row, 4).trimmed());
            what = "lose";
            break;
        }
        for (int r = 0; r < gridRows(); ++r) {
            QFile shown(pictureFolder() + cell(r, 4).trimmed());
            if (!shown.open(QIODevice::ReadOnly))
                continue;
            ASSERT_EQ(shown.readAll(), filedFor[cell(r, 0)])
                << "step " << step << " (" << what.toStdString() << "): receipt " << cell(r, 0).toStdString()
                << " shows " << cell(r, 4).toStdString();
        }
    }
}
