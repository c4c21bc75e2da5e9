#include "app/DataSource.h"

#include "store/RecordSet.h"

#include <exception>

namespace qb {

DataSource::DataSource(RecordSet& dataSet, QObject* parent) : QAbstractTableModel(parent), m_dataSet(dataSet)
{
    m_readAhead.setSingleShot(true);
    m_readAhead.setInterval(0);
    connect(&m_readAhead, &QTimer::timeout, this, &DataSource::readAhead);
    connect(&dataSet, &RecordSet::reset, this, &DataSource::resetAll);
    connect(&dataSet, &RecordSet::rowInserted, this, [this](int row) {
        if (!m_showing)
            return;
        beginInsertRows(QModelIndex(), row, row);
        ++m_rows;
        endInsertRows();
    });
    connect(&dataSet, &RecordSet::rowRemoved, this, [this](int row) {
        if (!m_showing)
            return;
        beginRemoveRows(QModelIndex(), row, row);
        --m_rows;
        endRemoveRows();
    });
    connect(&dataSet, &RecordSet::rowChanged, this, [this](int row) {
        if (m_showing)
            emit dataChanged(index(row, 0), index(row, columnCount() - 1));
    });
    connect(&dataSet, &RecordSet::currentChanged, this, &DataSource::markCurrent);
    resetAll();
}

// The row count is cached so that the grid's many questions do not each go
// to the record set; the record set announces every change of it.
void DataSource::resetAll()
{
    int rows = 0;
    int marked = -1;
    if (m_showing && m_dataSet.active()) {
        rows = m_dataSet.recordCount();
        marked = m_dataSet.currentIndex();
    }
    beginResetModel();
    m_readFailed = false;
    m_rows = rows;
    m_markedRow = marked;
    endResetModel();
    if (m_showing)
        m_readAhead.start();
}

// The grid's record set reads the ids of the rows it shows; the rest are
// read a piece at a time while nothing else happens, so that the first jump
// to the end (a receipt just filed) finds them read.
void DataSource::readAhead()
{
    bool more = false;
    try {
        more = m_dataSet.active() && m_dataSet.readAhead(16384);
    } catch (...) {
        // Reading ahead is a favour; the rows' own reading reports failures.
    }
    if (more)
        m_readAhead.start();
}

void DataSource::setShowing(bool showing)
{
    if (showing == m_showing)
        return;
    m_showing = showing;
    try {
        resetAll();
    } catch (...) {
        // The rows could not be counted (a store locked by another program):
        // the grid stays empty, and the next showing counts again.
        m_showing = !showing;
        throw;
    }
}

void DataSource::markCurrent(int row)
{
    const int old = m_markedRow;
    m_markedRow = row;
    if (old >= 0 && old < m_rows)
        emit headerDataChanged(Qt::Vertical, old, old);
    if (row >= 0 && row < m_rows)
        emit headerDataChanged(Qt::Vertical, row, row);
    emit currentRowChanged(row);
}

int DataSource::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int DataSource::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_dataSet.fieldCount();
}

// The grid asks for cells while it paints, inside Qt's paint code, where no
// failure may unwind. A cell that cannot be read shows empty, and the first
// failure is reported once the paint is over; the same failure on every
// repaint (the report's own box makes the grid repaint) is not reported again
// until the record set is reset.
QVariant DataSource::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || !m_dataSet.active())
        return QVariant();
    try {
        return m_dataSet.displayText(index.row(), index.column());
    } catch (...) {
        if (!m_readFailed) {
            m_readFailed = true;
            auto* self = const_cast<DataSource*>(this);
            QMetaObject::invokeMethod(
                self, [self, failure = std::current_exception()] { emit self->readFailed(failure); },
                Qt::QueuedConnection);
        }
        return QVariant();
    }
}

QVariant DataSource::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QVariant();
    if (orientation == Qt::Horizontal) {
        const QStringList names = m_dataSet.fieldNames();
        return section < names.size() ? QVariant(names.at(section)) : QVariant();
    }
    return section == m_markedRow ? QStringLiteral("▶") : QString();
}

} // namespace qb
