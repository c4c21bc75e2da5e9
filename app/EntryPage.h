#pragma once

#include "app/core/PictureFolderNumbers.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

class QImage;
class QWheelEvent;

namespace Ui {
class Form_main;
}

namespace qb {

class Connection;
class DataSource;
class Dialogs;
class FailureReport;
class Form_main;
class RecordSet;

// The receipt entry page (TabSheet2): filing, changing, deleting and loading
// receipts. It writes through the window's two record sets and owns what only
// it uses: the grid's model, the picture folder's taken numbers and their
// notices, and what the last grid click and the wheel left behind. Its
// widgets live in the window's one .ui.
class EntryPage : public QObject
{
    Q_OBJECT
public:
    EntryPage(Form_main& window, Ui::Form_main& ui, Dialogs& dialogs, FailureReport& report);
    ~EntryPage() override;

    // The parts of 票据录入 (BitBtn2Click) that are this page's: the grid
    // starts showing its rows, and once the page has come up the picture
    // numbers are read while nothing else happens.
    void startShowingGrid();
    void preparePictureNumbersWhenIdle();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Button1: ... (choose the picture file)
    void Button1Click();
    // AIFileDropPan1: files dropped on the upper part of the page
    void AIFileDropPan1DragFile(QObject* sender, const QStringList& FileList);
    // Button2: 新增票据
    void Button2Click();
    // Button3: 修改票据
    void Button3Click();
    // Button4: 删除票据
    void Button4Click();
    // DBGrid1: a left click on a cell, or Enter or Space on the current row
    void DBGrid1CellClick();

    void connectHandlers();
    QString pictureFolder() const;
    void refreshCategoryLists();
    bool clickedPictureStillShown();
    void followGridCurrentRow(int row);
    void moveGridByWheel(const QWheelEvent& wheel);
    void showPictureInPreview(const QString& path);
    QImage loadAndRemember(const QString& path, QSize box);
    void requireShowablePicture(const QString& path);
    void resetEntryFields();
    void preparePictureNumbers();

    Form_main& m_window;
    Ui::Form_main* ui;
    Dialogs& m_dialogs;
    FailureReport& m_report;
    // The window's; they outlive the page.
    Connection& m_connection;
    RecordSet& m_receipts;
    RecordSet& m_categories;
    const QImage& m_startPicture;
    std::unique_ptr<DataSource> m_dataSource1;
    // The picture folder's taken numbers, kept between filings. Once the
    // entry page is shown they are read, and the folder's change notices
    // taken, while nothing else happens, so that filing finds them ready.
    std::unique_ptr<PictureFolderNumbers> m_pictureNumbers;
    // The picture path that the last grid click built, and the receipt (its
    // id) it was built for.
    QString m_clickedPicturePath;
    QString m_clickedReceipt;
    // What the last load on the entry page made of a picture file (the
    // decoder's failure, or none), for the file as it was then: filing that
    // file takes the verdict instead of decoding it again.
    struct PictureVerdict
    {
        QString path;
        qint64 size = -1;
        qint64 modified = 0;
        QString failure;
    };
    PictureVerdict m_lastLoad;
    // Wheel turns in the grid that have not yet made a whole notch.
    int m_wheelRemainder = 0;
};

} // namespace qb
