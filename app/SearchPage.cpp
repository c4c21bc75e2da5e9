// The receipt search page: find receipts by category and text, show one.

#include "app/Form_main.h"
#include "app/ReceiptSearch.h"
#include "store/Schema.h"
#include "store/vorndata.h"
#include "ui_Form_main.h"
#include "util/Trim.h"

namespace qb {

void Form_main::Button5Click()
{
    FoundReceipts lines =
        findReceipts(m_receiptIndex, m_connection, ui->ComboBox2->currentText(), ui->Edit4->text());
    m_fillingResults = true;
    m_results.setLines(std::move(lines));
    m_fillingResults = false;
}

void Form_main::ListBox1Click()
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
                         trimmed(query.fieldAsText(schema::kId)), title);
}

} // namespace qb
