#pragma once

#include "controls/FileDropPan.h"
#include "controls/ImageBox.h"
#include "tests/app/MainWindowFixture.h"

#include <QDir>
#include <QImage>
#include <QListView>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTableView>
#include <QTest>
#include <QUrl>

namespace qb::test {

// A shown main window with helpers that act as a user of its pages would.
class PageFixture : public MainWindowFixture
{
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }

    // A real JPEG of one colour, written with Qt's own writer.
    QString photo(const QString& name, QColor colour = Qt::red, QSize size = QSize(64, 48))
    {
        QImage image(size, QImage::Format_RGB32);
        image.fill(colour);
        const QString path = folder.file(name);
        QDir().mkpath(QFileInfo(path).absolutePath());
        EXPECT_TRUE(image.save(path, "JPEG", 95));
        return path;
    }

    void fill(const QString& category, const QString& title, const QString& description,
              const QString& picture)
    {
        find<QComboBox>("ComboBox1")->setEditText(category);
        find<QLineEdit>("Edit1")->setText(title);
        find<QLineEdit>("Edit2")->setText(description);
        find<QLineEdit>("Edit3")->setText(picture);
    }

    void file(const QString& category, const QString& title, const QString& description,
              const QString& picture)
    {
        fill(category, title, description, picture);
        click("Button2");
    }

    QTableView* grid() { return find<QTableView>("DBGrid1"); }

    void clickGridRow(int row, Qt::MouseButton button = Qt::LeftButton)
    {
        QTableView* view = grid();
        const QModelIndex index = view->model()->index(row, 1);
        view->scrollTo(index);
        QTest::mouseClick(view->viewport(), button, {}, view->visualRect(index).center());
    }

    QString text(const char* edit) { return find<QLineEdit>(edit)->text(); }
    QString cell(int row, int column) { return grid()->model()->index(row, column).data().toString(); }
    int gridRows() { return grid()->model()->rowCount(); }
    QString pictureFolder() { return folder.path() + "image" + QDir::separator(); }
    QStringList pictures() { return QDir(pictureFolder()).entryList(QDir::Files, QDir::Name); }

    // The colour in the middle of an image box: tells which picture it shows.
    QColor centreOf(const char* box)
    {
        const QImage shown = find<ImageBox>(box)->picture();
        return shown.isNull() ? QColor() : shown.pixelColor(shown.width() / 2, shown.height() / 2);
    }
    bool showsStartPicture(const char* box)
    {
        return find<ImageBox>(box)->picture() == window->startPicture();
    }

    void drop(const QStringList& paths)
    {
        auto* panel = find<TAIFileDropPan>("AIFileDropPan1");
        QMimeData mime;
        QList<QUrl> urls;
        for (const QString& p : paths)
            urls.append(QUrl::fromLocalFile(p));
        mime.setUrls(urls);
        const QPoint at(200, 100);
        QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(panel, &enter);
        QDropEvent dropEvent(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(panel, &dropEvent);
    }
};

inline bool isRed(const QColor& c)
{
    return c.red() > 200 && c.green() < 60 && c.blue() < 60;
}
inline bool isBlue(const QColor& c)
{
    return c.blue() > 200 && c.red() < 60 && c.green() < 60;
}

} // namespace qb::test
