// The picture viewer opened from the preview boxes: each way of opening
// shows the file the box shows, and nothing for the start picture.
#include "app/PictureViewer.h"
#include "tests/app/EntryFixture.h"

#include <QMenu>
#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QTimer>

using namespace qb;
using namespace qb::test;

class PictureViewerTest : public PageFixture
{
protected:
    PictureViewer* viewer() { return window->findChild<PictureViewer*>("PictureViewer"); }
    bool viewerShows(const QString& path)
    {
        return viewer() && viewer()->isVisible() && viewer()->source().path == path;
    }
    void closeViewer()
    {
        if (viewer())
            viewer()->close();
    }

    // Opens the box's context menu and reads its one item; chooses it when it can.
    QString menuItem(const char* box)
    {
        QString seen;
        QTimer::singleShot(0, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu)
                return;
            QAction* item = menu->actions().value(0);
            seen =
                item->text() + ' ' + item->shortcut().toString() + (item->isEnabled() ? "" : " (disabled)");
            item->isEnabled() ? item->trigger() : void();
            menu->close();
        });
        ImageBox* target = find<ImageBox>(box);
        QContextMenuEvent event(QContextMenuEvent::Keyboard, target->rect().center(),
                                target->mapToGlobal(target->rect().center()));
        QApplication::sendEvent(target, &event);
        return seen;
    }
    void pressF3()
    {
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
        QTest::keyClick(window.get(), Qt::Key_F3);
    }
};

TEST_F(PictureViewerTest, EachWayOfOpeningShowsTheFileTheBoxShows)
{
    click("BitBtn2");
    pressF3();
    EXPECT_EQ(menuItem("Image2"), "查看原图 F3 (disabled)");
    QTest::mouseDClick(find<ImageBox>("Image2"), Qt::LeftButton);
    EXPECT_FALSE(viewer() && viewer()->isVisible()) << "the start picture opened a viewer";

    const QString dropped = photo("dropped.jpg", Qt::red, QSize(300, 600));
    drop({dropped});
    QTest::mouseDClick(find<ImageBox>("Image2"), Qt::LeftButton);
    ASSERT_TRUE(viewerShows(dropped)) << "double-click";
    EXPECT_EQ(viewer()->windowTitle(), "查看图片 - dropped.jpg");
    closeViewer();
    pressF3();
    EXPECT_TRUE(viewerShows(dropped)) << "F3";

    file("办公", "打印纸", "", dropped);
    file("交通", "出租车", "", photo("blue.jpg", Qt::blue));
    file("交通", "火车", "", photo("green.jpg", Qt::green));
    clickGridRow(1);
    closeViewer();
    EXPECT_EQ(menuItem("Image2"), "查看原图 F3");
    EXPECT_TRUE(viewerShows(pictureFolder() + "00002.jpg")) << "context menu";
    EXPECT_EQ(viewer()->windowTitle(), "查看图片 - 票据 2：出租车");
    EXPECT_EQ(viewer()->accessibleName(), viewer()->windowTitle());

    // On the search page PageDown and PageUp walk the hits without closing.
    click("BitBtn3");
    closeViewer();
    pressF3();
    EXPECT_FALSE(viewer()->isVisible()) << "the search page's start picture opened a viewer";
    click("Button5");
    auto* list = find<QListView>("ListBox1");
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualRect(list->model()->index(0, 0)).center());
    pressF3();
    ASSERT_TRUE(viewerShows(pictureFolder() + "00001.jpg"));
    // The keys go to the active window, as a user's do.
    QApplication::setActiveWindow(viewer());
    ASSERT_EQ(QApplication::activeWindow(), viewer());
    QTest::keyClick(viewer(), Qt::Key_PageDown);
    QTest::keyClick(viewer(), Qt::Key_PageDown);
    EXPECT_TRUE(viewerShows(pictureFolder() + "00003.jpg"));
    EXPECT_EQ(viewer()->windowTitle(), "查看图片 - 票据 3：火车");
    QTest::keyClick(viewer(), Qt::Key_PageDown);
    QTest::keyClick(viewer(), Qt::Key_PageUp);
    EXPECT_TRUE(viewerShows(pictureFolder() + "00002.jpg"));
    EXPECT_EQ(list->selectionModel()->selectedIndexes().value(0).row(), 1);

    // A file gone since the preview: a message naming it, nothing else changes.
    ASSERT_TRUE(QFile::remove(pictureFolder() + "00002.jpg"));
    closeViewer();
    pressF3();
    EXPECT_FALSE(viewer()->isVisible());
    ASSERT_EQ(dialogs.infos.size(), 1);
    EXPECT_TRUE(dialogs.infos[0].startsWith("图片“" + pictureFolder() + "00002.jpg”无法显示。"))
        << dialogs.infos[0].toStdString();
    EXPECT_TRUE(dialogs.failures.isEmpty()) << dialogs.failures.join("\n").toStdString();
}

// Printed as shown: a landscape picture turned a quarter right prints red
// above blue, fitted to the page; pdftoppm reads the PDF back.
TEST_F(PictureViewerTest, PrintsThePictureTurnedAsShown)
{
    QImage picture(640, 480, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    QPainter(&picture).fillRect(0, 0, 320, 480, Qt::red);
    const QString path = folder.file("wide.jpg");
    ASSERT_TRUE(picture.save(path, "JPEG", 95));
    PictureViewer viewer(dialogs);
    ASSERT_TRUE(viewer.showSource({path, "7", "发票"}));
    viewer.turn(1);
    viewer.toggleOneToOne();
    EXPECT_EQ(viewer.scale(), 1.0);
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(folder.file("out.pdf"));
    viewer.print(printer);
    QProcess pdftoppm;
    pdftoppm.start("pdftoppm",
                   {"-r", "20", "-png", "-singlefile", folder.file("out.pdf"), folder.file("page")});
    ASSERT_TRUE(pdftoppm.waitForFinished(20000) && pdftoppm.exitCode() == 0)
        << pdftoppm.readAllStandardError().toStdString();
    const QImage page(folder.file("page.png"));
    ASSERT_FALSE(page.isNull());
    EXPECT_TRUE(isRed(page.pixelColor(page.width() / 2, page.height() * 3 / 10)));
    EXPECT_TRUE(isBlue(page.pixelColor(page.width() / 2, page.height() * 7 / 10)));
    EXPECT_FALSE(isRed(page.pixelColor(page.width() / 2, 2)))
        << "not fitted to the page: red at its top edge";
}
