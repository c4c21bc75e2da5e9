#pragma once

#include "store/FoundReceipts.h"

#include <QAbstractListModel>

namespace qb {

// The search page's result list: one line per receipt found.
class ResultList : public QAbstractListModel
{
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;

    void setLines(FoundReceipts lines);
    QString line(int row) const { return m_lines.at(row); }
    // Reads lines that come from the receipts' copy out of it.
    void keepLines() { m_lines.keep(); }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    FoundReceipts m_lines;
};

} // namespace qb
