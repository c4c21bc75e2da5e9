#pragma once

#include "app/ResultList.h"
#include "store/ReceiptIndex.h"

#include <QObject>
#include <QTimer>
#include <cstddef>
#include <optional>

class QImage;

namespace Ui {
class Form_main;
}

namespace qb {

class Connection;
class Dialogs;
class FailureReport;
class Form_main;

// The receipt search page (TabSheet3): find receipts by category and text,
// show one. It reads through the window's connection and owns what only it
// uses: the receipts' copy in memory with its idle reading, and the result
// lines. Its widgets live in the window's one .ui.
class SearchPage : public QObject
{
    Q_OBJECT
public:
    SearchPage(Form_main& window, Ui::Form_main& ui, Dialogs& dialogs, FailureReport& report);
    ~SearchPage() override;

    // Reads the receipts' copy a few milliseconds at a time while nothing
    // else happens, so that the first search finds it ready; called when the
    // window is shown and when it is active again.
    void prepareCopyWhenIdle();
    // The number of receipts, when the copy is complete and nothing was
    // written since; the grid's record set asks it before the engine.
    std::optional<size_t> receiptCount();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Button5: 查找 (also Enter in Edit4)
    void Button5Click();
    // ListBox1: a result line chosen by mouse or keyboard
    void ListBox1Click();

    void connectHandlers();
    QString pictureFolder() const;

    Form_main& m_window;
    Ui::Form_main* ui;
    Dialogs& m_dialogs;
    FailureReport& m_report;
    // The window's; it outlives the page.
    Connection& m_connection;
    const QImage& m_startPicture;
    // Set while a search refills the result list, which selects nothing.
    bool m_fillingResults = false;
    // The searches' copy of the receipts; it watches the connection. Once the
    // window is shown it is read a few milliseconds at a time while nothing
    // else happens, so that the first search finds it ready.
    ReceiptIndex m_receiptIndex;
    QTimer m_prepareCopy;
    // The result lines of the search page: a search over a million receipts
    // lists a million lines.
    ResultList m_results;
    // Whether the last press on the result list already selected another line.
    bool m_resultRowChanged = false;
};

} // namespace qb
