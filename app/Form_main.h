#pragma once

#include "app/core/PictureRules.h"
#include "store/Connection.h"
#include "store/RecordSet.h"

#include <QImage>
#include <QWidget>
#include <memory>

namespace Ui {
class Form_main;
}

namespace qb {

class Dialogs;
class EntryPage;
class FailureReport;
class SearchPage;

// The main window: a tool band with the two page buttons and the vendor
// link, and the pages (start, receipt entry, receipt search). It owns the one
// store connection and the two record sets that live for the whole run, the
// start picture and the category-list refresh, which the pages lean on; each
// page owns the rest of what it uses (app/EntryPage.h, app/SearchPage.h).
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

    // Refills both pages' category lists from the categories record set.
    void refreshCategoryLists();

    static QString vendorAddress();

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The window's creation: makes the store ready, selects the start page.
    void FormCreate();
    // BitBtn2: 票据录入
    void BitBtn2Click();
    // BitBtn3: 票据查询
    void BitBtn3Click();
    // Label1: 定做软件就找Tavrell软件工作室 (the vendor link)
    void Label1Click();

    void connectHandlers();

    std::unique_ptr<Ui::Form_main> ui;
    QString m_programFolder;
    Dialogs& m_dialogs;
    FailureReport& m_report;
    // Declared in this order so that the record sets go before the connection.
    Connection m_connection;
    RecordSet m_receipts{QStringLiteral("ADOQuery1")};
    RecordSet m_categories{QStringLiteral("ADOQuery2")};
    QImage m_startPicture;
    bool m_placed = false;
    // The pages go before what they lean on; the entry page goes first, so
    // that the grid lets go of its model while the receipts' copy that
    // counts its rows is still there.
    std::unique_ptr<SearchPage> m_searchPage;
    std::unique_ptr<EntryPage> m_entryPage;
};

} // namespace qb
