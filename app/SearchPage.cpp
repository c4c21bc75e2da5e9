// The receipt search page: find receipts by category and text, show one.

#include "app/SearchPage.h"

#include "app/Form_main.h"
#include "app/PictureDisplay.h"
#include "app/core/ReceiptSearch.h"
#include "store/Schema.h"
#include "store/vorndata.h"
#include "ui_Form_main.h"
#include "util/FailureReport.h"
#include "util/Trim.h"
#include "util/gui/GuardedHandler.h"

namespace qb {

SearchPage::SearchPage(Form_main& window, Ui::Form_main& ui, Dialogs& dialogs, FailureReport& report)
    : m_window(window), ui(&ui), m_dialogs(dialogs), m_report(report), m_connection(window.ADOConnection1()),
      m_startPicture(window.startPicture()), m_receiptIndex(m_connection)
{
    connectHandlers();
}

SearchPage::~SearchPage() = default;

void SearchPage::connectHandlers()
{
    connect(ui->Button5, &QPushButton::clicked, this,
            guardedHandler(m_report, this, &SearchPage::Button5Click));
    // Enter in the search text presses 查找, as in every search field.
    connect(ui->Edit4, &QLineEdit::returnPressed, ui->Button5, &QPushButton::click);
    ui->ListBox1->setModel(&m_results);
    // Lines shown from the receipts' copy stay as they were found when the copy changes.
    m_receiptIndex.setBeforeChange([this] { m_results.keepLines(); });
    // Slices of a few milliseconds keep the window answering input between them.
    // The timer keeps the copy's wait as its interval, so that coming back to
    // the window does not cut that wait short.
    m_prepareCopy.setSingleShot(true);
    m_prepareCopy.setInterval(0);
    connect(&m_prepareCopy, &QTimer::timeout, this, [this] {
        // A store that did not open stays as it is until the user acts.
        if (m_connection.connected() && !m_receiptIndex.prepare(std::chrono::milliseconds(4)))
            m_prepareCopy.start(m_receiptIndex.idleWait());
    });
    ui->ListBox1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // The view moves the current line before it selects it, so the
    // selection, not the current line, tells which line the user chose.
    connect(ui->ListBox1->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (m_fillingResults)
            return;
        m_resultRowChanged = true;
        guardedHandler(m_report, this, &SearchPage::ListBox1Click)();
    });
    connect(ui->ListBox1, &QListView::clicked, this, [this] {
        // A click on the line already selected shows it again; a click that
        // selected another line was handled by the selection change.
        if (!m_resultRowChanged)
            guardedHandler(m_report, this, &SearchPage::ListBox1Click)();
    });
    ui->ListBox1->viewport()->installEventFilter(this);
}

bool SearchPage::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui->ListBox1->viewport() && event->type() == QEvent::MouseButtonPress)
        m_resultRowChanged = false;
    return QObject::eventFilter(watched, event);
}

void SearchPage::prepareCopyWhenIdle()
{
    m_prepareCopy.start();
}

std::optional<size_t> SearchPage::receiptCount()
{
    return m_receiptIndex.receiptCount();
}

QString SearchPage::pictureFolder() const
{
    return m_window.pictureFolder();
}

void SearchPage::Button5Click()
{
    FoundReceipts lines =
        findReceipts(m_receiptIndex, m_connection, ui->ComboBox2->currentText(), ui->Edit4->text());
    m_fillingResults = true;
    m_results.setLines(std::move(lines));
    m_fillingResults = false;
}

void SearchPage::ListBox1Click()
{
    const QModelIndexList selected = ui->ListBox1->selectionModel()->selectedIndexes();
    if (selected.isEmpty())
        return;
    const int row = selected.constFirst().row();
    RecordSet query;
    query.setConnection(&m_connection);
    vorndata::openFiltered(query, schema::kReceipts,
                           receiptNumberCondition(resultLineNumber(m_results.line(row))));
    if (query.recordCount() <= 0)
        return;
    const QString title = trimmed(query.fieldAsText(schema::kTitle));
    const QString description = trimmed(query.fieldAsText(schema::kDescription));
    // A line added to an empty memo ends with a line break of its own.
    ui->Memo1->setPlainText(title.isEmpty() ? description + u'\n' : title + u'\n' + description);
    displayStoredPicture(pictureFolder() + trimmed(query.fieldAsText(schema::kPicture)), *ui->Image3,
                         {QString(), trimmed(query.fieldAsText(schema::kId)), title}, m_startPicture,
                         m_dialogs);
}

} // namespace qb
