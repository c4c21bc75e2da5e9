#pragma once

#include "util/TextLines.h"

#include <QAbstractListModel>

namespace qb {

// The search page's result list: one line per receipt found.
class ResultList : public QAbstractListModel
{
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;

    void setLines(TextLines lines);
    QString line(int row) const { return m_lines.at(row); }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    TextLines m_lines;
};

} // namespace qb
