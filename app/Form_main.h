#pragma once

#include "app/PictureFolderNumbers.h"
#include "app/PictureRules.h"
#include "app/ResultList.h"
#include "store/Connection.h"
#include "store/ReceiptIndex.h"
#include "store/RecordSet.h"

#include <QImage>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

class ImageBox;
class QWheelEvent;

namespace Ui {
class Form_main;
}

namespace qb {

class DataSource;
class Dialogs;
class FailureReport;

// The main window: a tool band with the two page buttons and the vendor
// link, and the pages (start, receipt entry, receipt search). It owns the one
// store connection and the two record sets that live for the whole run.
class Form_main : public QWidget
{
    Q_OBJECT
public:
    // `programFolder` is the folder the store and the picture folder live in,
    // with its trailing separator. Creating the window makes the store ready
    // (FormCreate); a failure there is reported and the window still comes up.
    Form_main(const QString& programFolder, Dialogs& dialogs, FailureReport& report,
              QWidget* parent = nullptr);
    ~Form_main() override;

    Connection& ADOConnection1() { return m_connection; }
    RecordSet& ADOQuery1() { return m_receipts; }
    RecordSet& ADOQuery2() { return m_categories; }
    const QImage& startPicture() const { return m_startPicture; }
    const QString& programFolder() const { return m_programFolder; }
    // The picture folder with its trailing separator.
    QString pictureFolder() const;

    static QString vendorAddress();

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void BitBtn2Click();
    void BitBtn3Click();
    void Label1Click();
    void Button1Click();
    void AIFileDropPan1DragFile(QObject* sender, const QStringList& FileList);
    void Button2Click();
    void Button3Click();
    void Button4Click();
    void DBGrid1CellClick();
    void Button5Click();
    void ListBox1Click();

    void refreshCategoryLists();
    void displayStoredPicture(const QString& path, ImageBox& box);
    bool clickedPictureStillShown();
    void followGridCurrentRow(int row);
    void moveGridByWheel(const QWheelEvent& wheel);
    void connectHandlers();
    void showPictureInPreview(const QString& path);
    void resetEntryFields();
    void preparePictureNumbers();

    std::unique_ptr<Ui::Form_main> ui;
    QString m_programFolder;
    Dialogs& m_dialogs;
    FailureReport& m_report;
    // Declared in this order so that the record sets go before the connection.
    Connection m_connection;
    RecordSet m_receipts{QStringLiteral("ADOQuery1")};
    RecordSet m_categories{QStringLiteral("ADOQuery2")};
    std::unique_ptr<DataSource> m_dataSource1;
    QImage m_startPicture;
    bool m_placed = false;
    // Set while a search refills the result list, which selects nothing.
    bool m_fillingResults = false;
    // The searches' copy of the receipts; it watches the connection. Once the
    // window is shown it is read a few milliseconds at a time while nothing
    // else happens, so that the first search finds it ready.
    ReceiptIndex m_receiptIndex{m_connection};
    QTimer m_prepareCopy;
    // The picture folder's taken numbers, kept between filings. Once the
    // entry page is shown they are read, and the folder's change notices
    // taken, while nothing else happens, so that filing finds them ready.
    std::unique_ptr<PictureFolderNumbers> m_pictureNumbers;
    // The result lines of the search page: a search over a million receipts
    // lists a million lines.
    ResultList m_results;
    // Whether the last press on the result list already selected another line.
    bool m_resultRowChanged = false;
    // The picture path that the last grid click built, and the receipt (its
    // id) it was built for.
    QString m_clickedPicturePath;
    QString m_clickedReceipt;
    // Wheel turns in the grid that have not yet made a whole notch.
    int m_wheelRemainder = 0;
};

} // namespace qb
