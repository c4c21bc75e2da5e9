// The receipt search page: find receipts by category and text, show one.

#include "app/Form_main.h"
#include "store/JetLike.h"
#include "store/vorndata.h"
#include "ui_Form_main.h"
#include "util/Trim.h"
#include "util/vornstr.h"

namespace qb {

void Form_main::Button5Click()
{
    RecordSet query;
    query.setConnection(&m_connection);

    QString condition;
    const QString category = ui->ComboBox2->currentText();
    const QString text = ui->Edit4->text();
    if (!category.isEmpty())
        condition = vorndata::condition(QStringLiteral("类别"), category, 0, true);
    if (!text.isEmpty()) {
        if (!condition.isEmpty())
            condition += QStringLiteral("  and ");
        // The text is searched for as typed: "%" and "_" in it are no wildcards.
        const QString literal = jet::escapeLikeText(text);
        condition += u'(' + vorndata::condition(QStringLiteral("票据标题"), literal, 1, true) +
                     QStringLiteral(" or ") + vorndata::condition(QStringLiteral("说明"), literal, 1, true) +
                     u')';
    }
    if (condition.isEmpty())
        vorndata::openTable(query, QStringLiteral("pj"));
    else
        vorndata::openFiltered(query, QStringLiteral("pj"), condition);

    query.first();
    // Walking the hits from first to last without asking for their count
    // lets the record set read them in one pass.
    QStringList lines;
    for (; !query.eof(); query.next())
        lines.append(query.fieldAsText(QStringLiteral("id")) + u'|' +
                     trimmed(query.fieldAsText(QStringLiteral("票据标题"))));
    m_fillingResults = true;
    m_results.setStringList(lines);
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
    Fvornfenjiestr pieces;
    splitAt(m_results.stringList().at(row), u'|', pieces);
    vorndata::openFiltered(query, QStringLiteral("pj"),
                           vorndata::condition(QStringLiteral("id"), pieces.constFirst(), 0, false));
    if (query.recordCount() <= 0)
        return;
    const QString title = trimmed(query.fieldAsText(QStringLiteral("票据标题")));
    const QString description = trimmed(query.fieldAsText(QStringLiteral("说明")));
    // A line added to an empty memo ends with a line break of its own.
    ui->Memo1->setPlainText(title.isEmpty() ? description + u'\n' : title + u'\n' + description);
    displayStoredPicture(pictureFolder() + trimmed(query.fieldAsText(QStringLiteral("图片"))), *ui->Image3);
}

} // namespace qb
