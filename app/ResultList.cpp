#include "app/ResultList.h"

namespace qb {

void ResultList::setLines(FoundReceipts lines)
{
    beginResetModel();
    m_lines = std::move(lines);
    endResetModel();
}

int ResultList::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_lines.size();
}

QVariant ResultList::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_lines.size() ||
        (role != Qt::DisplayRole && role != Qt::EditRole))
        return QVariant();
    return m_lines.at(index.row());
}

} // namespace qb
